// The lines an instrument sends, cut and matched against its format, and the
// instruments a workstation's CN000pr.INI names.
#include "FrameParser.h"
#include "IniReader.h"
#include "InstrumentConfig.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
const QString kBalanza = QStringLiteral("^(?<estable>ST|US),GS,(?<peso>[+-]?[0-9]+)kg");
const QString kAnalizador = QStringLiteral(
    "^H=(?<humedad>[0-9.,]+);PH=(?<pesohect>[0-9.,]+)(;FN=(?<fallingnumber>[0-9]+))?");
} // namespace

class TstFrameParser : public QObject
{
    Q_OBJECT

private slots:
    // Bytes as they come off the wire, in any cut, and what the scale's
    // format makes of them.
    void scaleLines_data()
    {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QStringList>("readings"); // "kg stable|unstable"
        QTest::newRow("one line, CRLF")
            << QByteArrayList{"ST,GS,+028340kg\r\n"} << QStringList{"28340 estable"};
        QTest::newRow("unstable") << QByteArrayList{"US,GS,+028120kg\r\n"}
                                  << QStringList{"28120 inestable"};
        QTest::newRow("cut anywhere")
            << QByteArrayList{"ST,GS,+02", "8340kg\r", "\nUS,GS,-000", "010kg\n"}
            << QStringList{"28340 estable", "-10 inestable"};
        QTest::newRow("garbage between lines")
            << QByteArrayList{"\x02\xff\xfe??\r\nST,GS,+011220kg\r\n#!noise\rST,GS,+011230kg\n"}
            << QStringList{"11220 estable", "11230 estable"};
        QTest::newRow("a line cut by a reconnection, then a whole one")
            << QByteArrayList{"kg\r\n,GS,+0283", "\r\nST,GS,+000500kg\r\n"}
            << QStringList{"500 estable"};
        QTest::newRow("no line end yet") << QByteArrayList{"ST,GS,+028340kg"} << QStringList{};
        QTest::newRow("CR alone ends lines")
            << QByteArrayList{"ST,GS,+1kg\rST,GS,+2kg\r"} << QStringList{"1 estable", "2 estable"};
        QTest::newRow("endless noise is dropped, the next line read")
            << QByteArrayList{QByteArray(3000, 'x'), "\r\nST,GS,+7kg\r\n"}
            << QStringList{"7 estable"};
        QTest::newRow("a weight that is no number")
            << QByteArrayList{"ST,GS,+kg\r\nST,GS,+-5kg\r\n"} << QStringList{};
    }
    void scaleLines()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QStringList, readings);
        FrameParser p(kBalanza);
        QVERIFY(p.valido());
        QVERIFY(p.daPeso());
        QVERIFY(p.columnas().isEmpty());
        QStringList got;
        const QDateTime t(QDate(2024, 3, 15), QTime(10, 0), Qt::UTC);
        for (const QByteArray& c : chunks)
            for (const InstrumentReading& r : p.recibir(c, t)) {
                QVERIFY(r.peso.has_value());
                QCOMPARE(r.recibida, t);
                QVERIFY(r.linea.endsWith(QLatin1String("kg")));
                got << QStringLiteral("%1 %2").arg(*r.peso).arg(r.estable ? "estable"
                                                                          : "inestable");
            }
        QCOMPARE(got, readings);
    }

    // An analyzer: its reading columns in the sheet's order, written with a
    // period whatever the instrument's decimal mark; an optional group that
    // did not match gives no reading.
    void analyzerLines()
    {
        FrameParser p(kAnalizador);
        QVERIFY(!p.daPeso());
        QCOMPARE(p.columnas(), (QStringList{"fallingnumber", "humedad", "pesohect"}));
        auto r = p.recibir("H=12,8;PH=78.45;FN=310\r\nH=13.1;PH=77,9\r\nH=;PH=1\r\n");
        QCOMPARE(r.size(), 2);
        QCOMPARE(r.at(0).lecturas.value("humedad"), QStringLiteral("12.8"));
        QCOMPARE(r.at(0).lecturas.value("pesohect"), QStringLiteral("78.45"));
        QCOMPARE(r.at(0).lecturas.value("fallingnumber"), QStringLiteral("310"));
        QVERIFY(r.at(0).estable); // a format without the flag
        QCOMPARE(r.at(1).lecturas.keys(), (QStringList{"humedad", "pesohect"}));
        QVERIFY(!r.at(1).peso);
    }

    // The stable flag: ST or any other captured mark is stable; US and an
    // empty capture are not.
    void stableFlag()
    {
        FrameParser p(QStringLiteral("^(?<estable>[A-Za-z]*) *(?<peso>[0-9]+)$"));
        const auto r = p.recibir("ST 100\n200\nUS 300\nus 400\nS 500\n");
        QCOMPARE(r.size(), 5);
        QCOMPARE(r.at(0).estable, true);
        QCOMPARE(r.at(1).estable, false);
        QCOMPARE(r.at(2).estable, false);
        QCOMPARE(r.at(3).estable, false);
        QCOMPARE(r.at(4).estable, true);
    }

    // A weight as the indicator writes it: with Decimales=0 a "," or "." is a
    // thousands mark; with decimals, exactly that many after the last mark.
    // What does not fit is no weight.
    void weightWithDecimals_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("decimales");
        QTest::addColumn<double>("kg"); // -1: not recognised
        QTest::newRow("plain") << "+028340" << 0 << 28340.0;
        QTest::newRow("comma, thousands") << "+28,340" << 0 << 28340.0;
        QTest::newRow("period, thousands") << "10.340" << 0 << 10340.0;
        QTest::newRow("negative") << "-000010" << 0 << -10.0;
        QTest::newRow("two digits after the mark") << "28.34" << 0 << -1.0;
        QTest::newRow("four digits after the mark") << "28,3400" << 0 << -1.0;
        QTest::newRow("both marks, no decimals") << "1,234.567" << 0 << -1.0;
        QTest::newRow("first group too long") << "2834,000" << 0 << -1.0;
        QTest::newRow("mark last") << "28340." << 0 << -1.0;
        QTest::newRow("a letter") << "28O40" << 0 << -1.0;
        QTest::newRow("one decimal, period") << "28340.5" << 1 << 28340.5;
        QTest::newRow("one decimal and thousands") << "28.340,5" << 1 << 28340.5;
        QTest::newRow("one decimal expected, none written") << "28340" << 1 << -1.0;
        QTest::newRow("one decimal expected, two written") << "28340.50" << 1 << -1.0;
        QTest::newRow("same mark for both") << "28.340.5" << 1 << -1.0;
        QTest::newRow("three decimals") << "28,340" << 3 << 28.34;
    }
    void weightWithDecimals()
    {
        QFETCH(QString, text);
        QFETCH(int, decimales);
        QFETCH(double, kg);
        const auto v = FrameParser::peso(text, decimales);
        if (kg == -1.0) {
            QVERIFY2(!v, qPrintable(QString::number(v.value_or(0))));
            return;
        }
        QVERIFY(v);
        QCOMPARE(*v, kg);
    }

    // Through the format: a line whose weight does not fit is not
    // recognised; the parser keeps the last line and whether it was (noise
    // without a line end counts as one).
    void linesNotRecognised()
    {
        FrameParser p(QStringLiteral("^(?<estable>ST|US),GS,(?<peso>[+-]?[0-9.,]+)kg$"), 0);
        auto r = p.recibir("ST,GS,+28,340kg\r\nST,GS,+28.34kg\r\nST,GS,+028340lb\r\n");
        QCOMPARE(r.size(), 1);
        QCOMPARE(*r.at(0).peso, 28340.0);
        QCOMPARE(p.lineas(), 3);
        QCOMPARE(p.rechazadas(), 2);
        QCOMPARE(p.ultimaLinea(), QStringLiteral("ST,GS,+028340lb"));
        QVERIFY(!p.ultimaReconocida());
        QCOMPARE(p.recibir("ST,GS,+000500kg\n").size(), 1);
        QVERIFY(p.ultimaReconocida());
        p.recibir(QByteArray(2000, '\x7f'));
        QCOMPARE(p.rechazadas(), 3);
        QCOMPARE(p.ultimaLinea().size(), FrameParser::kMuestra);
    }

    void invalidFormat()
    {
        FrameParser p(QStringLiteral("^(?<peso>[0-9+kg"));
        QVERIFY(!p.valido());
        QVERIFY(!p.error().isEmpty());
        QVERIFY(p.recibir("123kg\n").isEmpty());
    }

    // The INI: sections in order up to the first missing number, line
    // settings with their defaults, comments after values, Spanish parity
    // names, and what is wrong with a section said in words.
    void configFromIni()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath("CN000pr.INI"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[MYHOST|OPERADOR]\nFlatToolbars=0\n"
                "[Instrumento1]\nNombre=Balanza\n"
                "Puerto=/dev/ttyUSB0        ; a serial port\n"
                "Baudios=4800 ; slow\nParidad=Par\nBitsParada=2\n"
                "Formato=^(?<estable>ST|US),GS,(?<peso>[+-]?[0-9]+)kg\n"
                "[instrumento2]\nPuerto=tcp://10.0.0.7:4001\n"
                "Formato=^H=(?<humedad>[0-9.]+);PH=(?<pesohect>[0-9.]+)\n"
                "[Instrumento3]\nNombre=Roto\nPuerto=tcp://sinpuerto\nFormato=x\n"
                "[Instrumento5]\nNombre=Suelto\nPuerto=COM3\nFormato=(?<peso>[0-9]+)\n");
        f.close();
        IniReader::setSearchFolders({dir.path()});
        const QVector<InstrumentConfig> c = InstrumentConfig::leer();
        IniReader::setSearchFolders({});
        QCOMPARE(c.size(), 3); // [Instrumento5] comes after a missing 4
        QCOMPARE(c.at(0).nombre, QStringLiteral("Balanza"));
        QCOMPARE(c.at(0).puerto, QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(c.at(0).baudios, 4800);
        QCOMPARE(c.at(0).paridad, QChar(u'E'));
        QCOMPARE(c.at(0).bitsDatos, 8);
        QCOMPARE(c.at(0).bitsParada, 2);
        QVERIFY(!c.at(0).esTcp());
        QCOMPARE(c.at(0).problema(), QString());

        QCOMPARE(c.at(1).nombre, QStringLiteral("Instrumento2"));
        QVERIFY(c.at(1).esTcp());
        QCOMPARE(c.at(1).host(), QStringLiteral("10.0.0.7"));
        QCOMPARE(c.at(1).puertoTcp(), quint16(4001));
        QCOMPARE(c.at(1).baudios, 9600);
        QCOMPARE(c.at(1).paridad, QChar(u'N'));
        QCOMPARE(c.at(1).problema(), QString());

        QVERIFY(c.at(2).problema().contains(QLatin1String("tcp://HOST:PUERTO")));
        InstrumentConfig sinLectura = c.at(2);
        sinLectura.puerto = QStringLiteral("/dev/ttyS0");
        QVERIFY(sinLectura.problema().contains(QLatin1String("no nombra ninguna lectura")));
        sinLectura.formato = QStringLiteral("(?<peso>[0-9]+");
        QVERIFY2(sinLectura.problema().contains(QStringLiteral("Formato no es válido")),
                 qPrintable(sinLectura.problema()));
        InstrumentConfig mal = c.at(0);
        mal.bitsDatos = 9;
        QVERIFY(mal.problema().contains(QLatin1String("BitsDatos")));
    }

    // What a key may take, from the INI: Lecturas, Decimales, PesoMinimo and
    // EdadMaxima, with their defaults, and said in words when wrong.
    void takingRulesFromIni()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath("CN000pr.INI"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QByteArray scale = "Puerto=/dev/ttyUSB0\nFormato=(?<peso>[0-9.,]+)\n";
        f.write("[Instrumento1]\n" + scale + "[Instrumento2]\n" + scale +
                "Lecturas=5 ; five in a row\nDecimales=1\nPesoMinimo=500,5\nEdadMaxima=2,5\n"
                "[Instrumento3]\n" +
                scale + "Lecturas=0\n[Instrumento4]\n" + scale + "Decimales=x\n[Instrumento5]\n" +
                scale +
                "PesoMinimo=1.500,5\n"
                "[Instrumento6]\n" +
                scale + "EdadMaxima=0\n");
        f.close();
        IniReader::setSearchFolders({dir.path()});
        const QVector<InstrumentConfig> c = InstrumentConfig::leer();
        IniReader::setSearchFolders({});
        QCOMPARE(c.size(), 6);
        QCOMPARE(c.at(0).lecturas, 3);
        QCOMPARE(c.at(0).decimales, 0);
        QVERIFY(!c.at(0).pesoMinimo);
        QCOMPARE(c.at(0).edadMaximaMs, 2000);
        QCOMPARE(c.at(1).lecturas, 5);
        QCOMPARE(c.at(1).decimales, 1);
        QCOMPARE(*c.at(1).pesoMinimo, 500.5);
        QCOMPARE(c.at(1).edadMaximaMs, 2500);
        QCOMPARE(c.at(0).problema() + c.at(1).problema(), QString());
        const char* wrong[] = {"Lecturas", "Decimales", "PesoMinimo", "EdadMaxima"};
        for (int i = 0; i < 4; ++i)
            QVERIFY2(c.at(2 + i).problema().contains(QLatin1String(wrong[i])),
                     qPrintable(c.at(2 + i).problema()));
    }

    void noIniNoInstruments()
    {
        QTemporaryDir dir;
        IniReader::setSearchFolders({dir.path()});
        QVERIFY(InstrumentConfig::leer().isEmpty());
        IniReader::setSearchFolders({});
    }
};

QTEST_GUILESS_MAIN(TstFrameParser)
#include "tst_frameparser.moc"
