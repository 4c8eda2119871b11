// Weights fit for trade, through the real window: the scale and the analyzer
// on socat pseudo-terminal pairs, the lines sent by hand where their order
// matters, the keys sent to the focused widget as an operator's would be, the
// database read afterwards. A damaged line is never a weight, an empty
// platform is never weighed, a decimal mark is read as the INI says, an old
// analyzer reading is never taken, and a weighing is never deleted (label db:
// also on PostgreSQL).
#include "FakeInstrument.h"
#include "InstrumentHub.h"
#include "InstrumentLink.h"
#include "ServiceError.h"
#include "SheetMenu.h"
#include "WindowFixture.h"

#include <QAction>
#include <QHostInfo>
#include <QLabel>
#include <QTemporaryDir>

namespace
{
QWidget* foco()
{
    QWidget* w = QApplication::focusWidget();
    if (!w) qFatal("nothing has the focus");
    return w;
}
void press(Qt::Key k)
{
    QTest::keyClick(foco(), k);
}
const QDate kDia(2024, 3, 15);
// The README's format: the weight of fixed width.
const char* const kFijo = "^(?<estable>ST|US),GS,(?<peso>[+-][0-9]{6})kg$";
// A format that takes any number of digits, and one that admits marks.
const char* const kLibre = "^(?<estable>ST|US),GS,(?<peso>[+-]?[0-9]+)kg$";
const char* const kConMarcas = "^(?<estable>ST|US),GS,(?<peso>[+-]?[0-9.,]+)kg$";
} // namespace

class TstTradeWeights : public QObject
{
    Q_OBJECT

    // A desk with the scale and the analyzer each on a pseudo-terminal, the
    // day loaded and the cursor on the first row's tonnes.
    struct Desk {
        QTemporaryDir ptyDir;
        FakeInstrument scale, analyzer;
        std::unique_ptr<WindowFixture> f;
        qint64 id = 0;

        explicit Desk(const char* formato, const QByteArray& scaleKeys = {})
        {
            scale.frame = "ST,GS,+028340kg\r\n";
            analyzer.frame = "H=12.8;PH=78.45;FN=310\r\n";
            const QString ps = ptyDir.filePath(QStringLiteral("ttyBalanza"));
            const QString pa = ptyDir.filePath(QStringLiteral("ttyAnalizador"));
            if (!scale.startPty(ps) || !analyzer.startPty(pa))
                qFatal("socat (tools/packages) did not start");
            const QByteArray ini = "[Instrumento1]\nNombre=Balanza\nPuerto=" + ps.toUtf8() +
                                   "\nFormato=" + formato + "\n" + scaleKeys +
                                   "[Instrumento2]\nNombre=Analizador\nPuerto=" + pa.toUtf8() +
                                   "\nFormato=^H=(?<humedad>[0-9.]+);PH=(?<pesohect>[0-9.]+);"
                                   "FN=(?<fallingnumber>[0-9]+)$\n";
            f = std::make_unique<WindowFixture>(ini);
            if (!f->loadDay(kDia)) qFatal("day not loaded");
            f->grid()->setRowCol(2, 1);
            f->grid()->setFocus();
            id = f->idAt(2);
        }
        InstrumentLink& balanza() const { return *f->w->instruments().balanza(); }
        InstrumentLink& analizador() const { return *f->w->instruments().analizador(); }
        QLabel* band() const { return f->w->findChild<QLabel*>(QStringLiteral("lblInstrumentos")); }

        // The scale stops sending by itself; lines on their way are read.
        void byHand()
        {
            scale.pause();
            qint64 n = -1;
            while (n != balanza().lineasRecibidas()) {
                n = balanza().lineasRecibidas();
                QTest::qWait(250);
            }
        }
        // Sends the line n times by hand; true once the scale's link read them.
        bool lines(const QByteArray& l, int n = 1)
        {
            const qint64 before = balanza().lineasRecibidas();
            for (int i = 0; i < n; ++i)
                scale.send(l + "\r\n");
            return QTest::qWaitFor([&] { return balanza().lineasRecibidas() == before + n; }, 3000);
        }
        // Until the scale's weight is that one and confirmed.
        bool settles(double kg)
        {
            return QTest::qWaitFor(
                [&] {
                    const auto& r = balanza().ultima();
                    return r && r->peso && *r->peso == kg && balanza().firme();
                },
                3000);
        }
        QStringList weighings()
        {
            RecordSet rs = f->db.data().openRecordSet(
                QStringLiteral("SELECT tipo, kilos, usuario, linea FROM mv_molvera_pesada WHERE "
                               "id_registro = ? ORDER BY ID"),
                {id});
            QStringList out;
            for (const auto& r : rs.rows())
                out << QStringLiteral("%1 %2 %3 %4")
                           .arg(r.at(0).toString())
                           .arg(r.at(1).toDouble())
                           .arg(r.at(2).toString(), r.at(3).toString());
            return out;
        }
        double tonnes() { return f->column(id, "Toneladas").toDouble(); }
        QString lastMessage() const
        {
            const QStringList m = f->dialogs.messageTexts();
            return m.isEmpty() ? QString() : m.last();
        }
    };

private slots:
    void initTestCase() { InstrumentLink::setTiempos(200, 1000); }

    // A damaged line between good ones, then F7 at once: the damaged weight
    // is refused (not confirmed), and so is the good one until it came three
    // times in a row again.
    void aDamagedLineThenF7AtOnce()
    {
        Desk d(kLibre);
        d.byHand();
        QVERIFY(d.lines("ST,GS,+028340kg", 3));
        QVERIFY(d.balanza().firme());
        QVERIFY(d.lines("ST,GS,+0240kg")); // two bytes lost on the line
        press(Qt::Key_F7);
        QCOMPARE(d.f->dialogs.count("message"), 1);
        QVERIFY2(d.lastMessage().contains(QStringLiteral("240 kg")) &&
                     d.lastMessage().contains(QStringLiteral("no está confirmado")) &&
                     d.lastMessage().contains(QStringLiteral("(van 1)")),
                 qPrintable(d.lastMessage()));
        QVERIFY(d.weighings().isEmpty());
        QTest::qWait(600); // the band's clock
        QVERIFY2(d.band()->text().contains(QStringLiteral(" · inestable")),
                 qPrintable(d.band()->text()));

        QVERIFY(d.lines("ST,GS,+028340kg", 2));
        press(Qt::Key_F7);
        QCOMPARE(d.f->dialogs.count("message"), 2);
        QVERIFY2(d.lastMessage().contains(QStringLiteral("(van 2)")), qPrintable(d.lastMessage()));
        QVERIFY(d.weighings().isEmpty());
        QVERIFY(d.lines("ST,GS,+028340kg"));
        press(Qt::Key_F7);
        QCOMPARE(d.f->dialogs.count("message"), 2);
        QCOMPARE(d.weighings(), QStringList{"BRUTO 28340 ANA ST,GS,+028340kg"});
        QTest::qWait(600);
        QVERIFY2(d.band()->text().contains(QStringLiteral(" · estable")),
                 qPrintable(d.band()->text()));
    }

    // With the README's fixed-width format the damaged line is no reading at
    // all: the tooltip shows it as not recognised, and the weight confirmed
    // before it is the one taken.
    void aDamagedLineOfFixedWidthIsNoReading()
    {
        Desk fijo(kFijo);
        fijo.byHand();
        QVERIFY(fijo.lines("ST,GS,+011220kg", 3));
        QVERIFY(fijo.lines("ST,GS,+0240kg"));
        QCOMPARE(*fijo.balanza().ultima()->peso, 11220.0);
        QTest::qWait(600);
        QVERIFY2(fijo.band()->toolTip().contains(
                     QStringLiteral("última línea: ST,GS,+0240kg (no reconocida)")),
                 qPrintable(fijo.band()->toolTip()));
        press(Qt::Key_F9);
        QCOMPARE(fijo.f->dialogs.count("message"), 0);
        QCOMPARE(fijo.weighings(), QStringList{"TARA 11220 ANA ST,GS,+011220kg"});
    }

    // An empty platform, a negative weight and one below PesoMinimo are
    // refused with a message and write nothing; a gross equal to the tare
    // gives no load; real weights give the tonnes.
    void anEmptyPlatformIsNotWeighed()
    {
        Desk d(kFijo, "PesoMinimo=500\n");
        const QString tonnesCell = d.f->grid()->TextMatrix(2, 1);
        struct Case {
            QByteArray frame;
            Qt::Key key;
            const char* said;
        };
        const Case cases[] = {{"ST,GS,+000000kg\r\n", Qt::Key_F7, "la plataforma está vacía"},
                              {"ST,GS,+000000kg\r\n", Qt::Key_F9, "la plataforma está vacía"},
                              {"ST,GS,-000010kg\r\n", Qt::Key_F9, "la plataforma está vacía"},
                              {"ST,GS,+000400kg\r\n", Qt::Key_F7, "peso mínimo de"}};
        int messages = 0;
        for (const Case& c : cases) {
            d.scale.frame = c.frame;
            const double kg = c.frame.mid(6, 7).toDouble();
            QVERIFY2(d.settles(kg), c.frame.constData());
            press(c.key);
            QCOMPARE(d.f->dialogs.count("message"), ++messages);
            QVERIFY2(d.lastMessage().contains(QString::fromUtf8(c.said)) &&
                         d.lastMessage().contains(QStringLiteral("No se registró nada")),
                     qPrintable(d.lastMessage()));
        }
        QVERIFY(d.weighings().isEmpty());
        QCOMPARE(d.f->grid()->TextMatrix(2, 1), tonnesCell);

        d.scale.frame = "ST,GS,+011220kg\r\n";
        QVERIFY(d.settles(11220));
        press(Qt::Key_F9);
        press(Qt::Key_F7); // the same weight as gross: no load
        QCOMPARE(d.f->dialogs.count("message"), ++messages);
        QVERIFY2(d.lastMessage().contains(QStringLiteral("iguales")), qPrintable(d.lastMessage()));
        QCOMPARE(d.weighings(), QStringList{"TARA 11220 ANA ST,GS,+011220kg"});
        d.scale.frame = "ST,GS,+028340kg\r\n";
        QVERIFY(d.settles(28340));
        press(Qt::Key_F7);
        QCOMPARE(d.f->dialogs.count("message"), messages);
        QCOMPARE(d.weighings().size(), 2);
        QCOMPARE(d.tonnes(), 17.12);
    }

    // With Decimales=0 (the default) "28,340" and "10.340" are kilograms by
    // the thousand; a weight that does not fit ("28.34") is not recognised:
    // the band says so and F7 takes nothing.
    void aDecimalMark()
    {
        Desk d(kConMarcas);
        d.scale.frame = "ST,GS,+28,340kg\r\n";
        QVERIFY(d.settles(28340));
        press(Qt::Key_F7);
        d.scale.frame = "ST,GS,+10.340kg\r\n";
        QVERIFY(d.settles(10340));
        press(Qt::Key_F9);
        QCOMPARE(d.f->dialogs.count("message"), 0);
        QCOMPARE(d.weighings(), (QStringList{"BRUTO 28340 ANA ST,GS,+28,340kg",
                                             "TARA 10340 ANA ST,GS,+10.340kg"}));
        QCOMPARE(d.tonnes(), 18.0);

        d.scale.frame = "ST,GS,+28.34kg\r\n";
        QVERIFY(QTest::qWaitFor(
            [&] { return d.balanza().estado() == InstrumentLink::Estado::NoReconocido; }, 3000));
        QTest::qWait(1300); // the last weight taken is older than the limit
        QVERIFY2(d.band()->text().contains(QStringLiteral("llegan líneas pero no se entienden")),
                 qPrintable(d.band()->text()));
        QVERIFY2(d.band()->toolTip().contains(QStringLiteral("ST,GS,+28.34kg (no reconocida)")),
                 qPrintable(d.band()->toolTip()));
        d.f->grid()->setRowCol(3, 1);
        press(Qt::Key_F7);
        QCOMPARE(d.f->dialogs.count("message"), 1);
        QVERIFY2(d.lastMessage().contains(QStringLiteral("menos de 2 s")),
                 qPrintable(d.lastMessage()));
        QCOMPARE(d.f->db.scalar("SELECT COUNT(*) FROM mv_molvera_pesada").toInt(), 2);
    }

    // The analyzer falls silent: F11 takes no reading older than 2 s (the
    // band says "sin datos"); a fresh one is written and kept with its line,
    // operator and workstation.
    void aStaleAnalyzer()
    {
        Desk d(kFijo);
        const QVariant humedad = d.f->column(d.id, "humedad");
        QVERIFY(QTest::qWaitFor([&] { return d.analizador().ultima().has_value(); }, 3000));
        d.analyzer.pause();
        QVERIFY(QTest::qWaitFor(
            [&] {
                return d.band()->text().contains(QStringLiteral("Analizador: ")) &&
                       d.band()->text().contains(QStringLiteral("sin datos"));
            },
            3000));
        QTest::qWait(1100);
        press(Qt::Key_F11);
        QCOMPARE(d.f->dialogs.count("message"), 1);
        QVERIFY2(d.lastMessage().contains(QStringLiteral("menos de 2 s")) &&
                     d.lastMessage().contains(QStringLiteral("No se registró nada")),
                 qPrintable(d.lastMessage()));
        QCOMPARE(d.f->column(d.id, "humedad"), humedad);
        QCOMPARE(d.f->db.scalar("SELECT COUNT(*) FROM mv_molvera_lectura").toInt(), 0);

        d.analyzer.frame = "H=13.1;PH=77.9;FN=45\r\n"; // a falling number the sheet refuses
        d.analyzer.resume();
        QVERIFY(QTest::qWaitFor(
            [&] {
                const auto& r = d.analizador().ultima();
                return r && r->lecturas.value("humedad") == QLatin1String("13.1") &&
                       r->edadMs() < 300;
            },
            3000));
        press(Qt::Key_F11);
        QCOMPARE(d.f->dialogs.count("message"), 2);
        QCOMPARE(d.f->column(d.id, "humedad").toDouble(), 13.1);
        QCOMPARE(d.f->column(d.id, "pesohect").toDouble(), 77.9);
        RecordSet rs = d.f->db.data().openRecordSet(
            QStringLiteral("SELECT humedad, pesohect, fallingnumber, linea, usuario, estacion, "
                           "instrumento FROM mv_molvera_lectura WHERE id_registro = ?"),
            {d.id});
        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(rs.value(0).toDouble(), 13.1);
        QCOMPARE(rs.value(1).toDouble(), 77.9);
        QVERIFY(rs.value(2).isNull()); // refused, not written
        QCOMPARE(rs.value(3).toString(), QStringLiteral("H=13.1;PH=77.9;FN=45"));
        QCOMPARE(rs.value(4).toString(), QStringLiteral("ANA"));
        QCOMPARE(rs.value(5).toString(), QHostInfo::localHostName().toUpper());
        QCOMPARE(rs.value(6).toString(), QStringLiteral("Analizador"));
    }

    // A weighing is never changed or deleted, on either engine; deleting its
    // load (F3) keeps it, and the load's deletion in the history names it.
    // The slip writes its dates in Spanish on a system in English.
    void aWeighingIsNeverDeleted()
    {
        Desk d(kFijo);
        QVERIFY(d.settles(28340));
        press(Qt::Key_F7);
        d.scale.frame = "ST,GS,+011220kg\r\n";
        QVERIFY(d.settles(11220));
        press(Qt::Key_F9);
        QVERIFY(QTest::qWaitFor([&] { return d.analizador().ultima().has_value(); }, 3000));
        press(Qt::Key_F11);
        QCOMPARE(d.f->dialogs.count("message"), 0);
        QCOMPARE(d.weighings().size(), 2);
        DataService& db = d.f->db.data();
        for (const char* sql :
             {"DELETE FROM mv_molvera_pesada", "DELETE FROM mv_molvera_pesada WHERE tipo = 'TARA'",
              "UPDATE mv_molvera_pesada SET kilos = 1", "DELETE FROM mv_molvera_lectura",
              "UPDATE mv_molvera_lectura SET humedad = 1"})
            QVERIFY_THROWS_EXCEPTION(ServiceError, db.execute(QLatin1String(sql)));
        if (d.f->db.onServer())
            QVERIFY_THROWS_EXCEPTION(ServiceError,
                                     db.execute(QStringLiteral("TRUNCATE mv_molvera_pesada")));
        QCOMPARE(d.weighings().size(), 2);
        QCOMPARE(d.f->db.scalar("SELECT COUNT(*) FROM mv_molvera_lectura").toInt(), 1);

        // The slip, with the system in English.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const QString pdf = d.f->iniDir.filePath("boleta.pdf");
        d.f->dialogs.saveFileAnswers << pdf;
        d.f->w->sheetMenu().boleta()->trigger();
        QLocale::setDefault(QLocale::c());
        QCOMPARE(d.f->dialogs.count("message"), 0);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(10000) && text.exitCode() == 0);
        const QString t = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(t.contains(QStringLiteral("Fecha: 15 de marzo de 2024")) &&
                     !t.contains(QStringLiteral("Mar 2024")),
                 qPrintable(t));
        QVERIFY2(t.contains(QStringLiteral(", ANA")), qPrintable(t));

        // F3 deletes the load; its weighings stay, named in its deletion.
        d.f->grid()->setRowCol(2, 1);
        d.f->grid()->setFocus();
        d.f->w->box("responsable")->setText(QStringLiteral("JEFE"));
        d.f->dialogs.messageAnswers << Dialogs::Yes;
        press(Qt::Key_F3);
        QVERIFY(d.f->column(d.id, "ID").isNull());
        QCOMPARE(d.weighings().size(), 2);
        RecordSet h = db.openRecordSet(
            QStringLiteral("SELECT campo, usuario, valor_anterior FROM mv_molvera_historial WHERE "
                           "id_registro = ? AND operacion = 'BAJA' AND campo IN ('pesada', "
                           "'lectura') ORDER BY ID"),
            {d.id});
        QStringList named;
        for (const auto& r : h.rows())
            named << r.at(0).toString() + u' ' + r.at(1).toString() + u' ' +
                         r.at(2).toString().section(u' ', 0, 1);
        QCOMPARE(named, (QStringList{"pesada JEFE BRUTO 28340", "pesada JEFE TARA 11220",
                                     "lectura JEFE H=12.8;PH=78.45;FN=310 (lectura"}));
    }
};

QTEST_MAIN(TstTradeWeights)
#include "tst_tradeweights.moc"
