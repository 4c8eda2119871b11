// The scale and the analyzer through the real window: a local TCP listener
// stands in for each instrument, sending its line ten times a second; the
// keys go to the focused widget as an operator's would; the database is read
// afterwards.
#include "FakeInstrument.h"
#include "FieldValidator.h"
#include "InstrumentCommands.h"
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
void type(const QString& text)
{
    for (QChar c : text)
        QTest::keyClicks(foco(), QString(c));
}
const QDate kDia(2024, 3, 15);
} // namespace

class TstWeighingKeys : public QObject
{
    Q_OBJECT

    // A desk with a scale and an analyzer on the loopback, the day loaded
    // and the cursor on the first row's tonnes.
    struct Desk {
        QTemporaryDir ptyDir;
        FakeInstrument scale, analyzer;
        std::unique_ptr<WindowFixture> f;
        qint64 id = 0;

        // The scale on a TCP listener, the analyzer on a serial port (a
        // socat pseudo-terminal pair).
        Desk()
        {
            scale.frame = "ST,GS,+028340kg\r\n";
            analyzer.frame = "H=12.8;PH=78.45;FN=310\r\n";
            const quint16 ps = scale.listen();
            const QString serial = ptyDir.filePath(QStringLiteral("ttyAnalizador"));
            if (!analyzer.startPty(serial)) qFatal("socat (tools/packages) did not start");
            const QByteArray ini =
                QStringLiteral("[Instrumento1]\nNombre=Balanza\nPuerto=tcp://127.0.0.1:%1\n"
                               "Formato=^(?<estable>ST|US),GS,(?<peso>[+-]?[0-9]+)kg\n"
                               "[Instrumento2]\nNombre=Analizador\nPuerto=%2 ; serial\n"
                               "Baudios=19200\nParidad=E\nBitsDatos=7\n"
                               "Formato=^H=(?<humedad>[0-9.]+);PH=(?<pesohect>[0-9.]+);"
                               "FN=(?<fallingnumber>[0-9]+)\n")
                    .arg(ps)
                    .arg(serial)
                    .toUtf8();
            f = std::make_unique<WindowFixture>(ini);
            if (!f->loadDay(kDia)) qFatal("day not loaded");
            f->grid()->setRowCol(2, 1);
            f->grid()->setFocus();
            id = f->idAt(2);
        }
        InstrumentHub& hub() const { return f->w->instruments(); }
        // Until the scale's last reading is that weight, and (firm) the
        // weight is confirmed as F7 and F9 take it.
        bool scaleReads(double kg, bool firm = true)
        {
            return QTest::qWaitFor(
                [&] {
                    const InstrumentLink* b = hub().balanza();
                    return b && b->ultima() && b->ultima()->peso && *b->ultima()->peso == kg &&
                           b->ultima()->edadMs() < 300 && (!firm || b->firme());
                },
                3000);
        }
        QStringList weighings()
        {
            RecordSet rs = f->db.data().openRecordSet(
                QStringLiteral("SELECT tipo, kilos, instrumento, estacion, linea FROM "
                               "mv_molvera_pesada WHERE id_registro = ? ORDER BY ID"),
                {id});
            QStringList out;
            for (const auto& r : rs.rows())
                out << QStringLiteral("%1 %2 %3 %4 %5")
                           .arg(r.at(0).toString())
                           .arg(r.at(1).toDouble())
                           .arg(r.at(2).toString(), r.at(3).toString(), r.at(4).toString());
            return out;
        }
        double tonnes() { return f->column(id, "Toneladas").toDouble(); }
    };

private slots:
    void initTestCase() { InstrumentLink::setTiempos(200, 1000); }

    // Gross with F7, tare with F9: each weighing kept with its line, the
    // tonnes written as a typed value once both are there, in the history;
    // a tonnes value typed afterwards wins and the history shows both.
    void grossAndTareGiveTheTonnes()
    {
        Desk d;
        QVERIFY(d.scaleReads(28340));
        // The header band shows the scale live.
        auto* band = d.f->w->findChild<QLabel*>(QStringLiteral("lblInstrumentos"));
        QVERIFY(band && band->isVisible());
        QVERIFY2(band->text().contains(QLatin1String("Balanza: ")) &&
                     band->text().contains(QLatin1String(" estable")) &&
                     band->text().contains(QLatin1String("Analizador: ")),
                 qPrintable(band->text()));

        press(Qt::Key_F7);
        QCOMPARE(d.f->dialogs.count("message"), 0);
        const QString estacion = QHostInfo::localHostName().toUpper();
        QCOMPARE(d.weighings(),
                 QStringList{"BRUTO 28340 Balanza " + estacion + " ST,GS,+028340kg"});
        QCOMPARE(d.tonnes(), 0.0); // no tare yet

        d.scale.frame = "ST,GS,+011220kg\r\n";
        QVERIFY(d.scaleReads(11220));
        press(Qt::Key_F9);
        QCOMPARE(d.f->dialogs.count("message"), 0);
        QCOMPARE(d.weighings().size(), 2);
        QVERIFY(d.weighings().at(1).startsWith(QLatin1String("TARA 11220 Balanza")));
        QCOMPARE(d.tonnes(), 17.12);
        QCOMPARE(d.f->grid()->TextMatrix(2, 1), QStringLiteral("17.12"));
        QCOMPARE(d.f->column(d.id, "modificado_por").toString(), QStringLiteral("ANA"));

        // Typed over: the typed value stays, the history has both.
        QCOMPARE(foco(), d.f->grid());
        type("17,3");
        press(Qt::Key_Return);
        QCOMPARE(d.tonnes(), 17.3);
        RecordSet h = d.f->db.data().openRecordSet(
            QStringLiteral("SELECT valor_anterior, valor_nuevo FROM mv_molvera_historial WHERE "
                           "id_registro = ? AND campo = 'toneladas' AND operacion = "
                           "'MODIFICACION' ORDER BY ID"),
            {d.id});
        QCOMPARE(h.recordCount(), 2);
        QCOMPARE(h.rows().at(0).at(1).toDouble(), 17.12);
        QCOMPARE(h.rows().at(1).at(0).toDouble(), 17.12);
        QCOMPARE(h.rows().at(1).at(1).toDouble(), 17.3);
        // A weighing is never edited.
        QVERIFY_THROWS_EXCEPTION(ServiceError, d.f->db.data().execute(QStringLiteral(
                                                   "UPDATE mv_molvera_pesada SET kilos = 1")));

        // The slip: gross, tare, net and their times, as a PDF.
        const QString pdf = d.f->iniDir.filePath("boleta.pdf");
        d.f->dialogs.saveFileAnswers << pdf;
        d.f->w->sheetMenu().boleta()->trigger();
        QCOMPARE(d.f->dialogs.count("message"), 0);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        if (!text.waitForFinished(10000) || text.exitCode() != 0) QSKIP("pdftotext not available");
        const QString t = QString::fromUtf8(text.readAllStandardOutput());
        const QString hoy = QLocale().toString(QDate::currentDate(), QStringLiteral("dd/MM/yyyy"));
        QVERIFY2(t.contains(QStringLiteral("Carga N° %1").arg(d.id)), qPrintable(t));
        QVERIFY2(t.contains(QStringLiteral("Bruto: ") + QLocale().toString(28340.0, 'f', 0)) &&
                     t.contains(QStringLiteral("Tara: ") + QLocale().toString(11220.0, 'f', 0)) &&
                     t.contains(QStringLiteral("Neto: ") + QLocale().toString(17120.0, 'f', 0)) &&
                     t.count(hoy) >= 2,
                 qPrintable(t));
        QVERIFY2(t.contains(QStringLiteral("Toneladas registradas en la planilla: 17.3")),
                 qPrintable(t));
    }

    // Only a stable reading younger than 2 s is taken; otherwise a message
    // says why and nothing is written.
    void unstableOrOldReadingsAreNotTaken()
    {
        Desk d;
        d.scale.frame = "US,GS,+028500kg\r\n";
        QVERIFY(d.scaleReads(28500, false));
        press(Qt::Key_F7);
        QCOMPARE(d.f->dialogs.count("message"), 1);
        QVERIFY2(d.f->dialogs.messageTexts().last().contains(QStringLiteral("no está estable")),
                 qPrintable(d.f->dialogs.messageTexts().last()));
        QVERIFY(d.weighings().isEmpty());

        d.scale.frame = "ST,GS,+028500kg\r\n";
        QVERIFY(d.scaleReads(28500));
        d.scale.pause();
        QTest::qWait(2200);
        d.f->dialogs.clear();
        press(Qt::Key_F9);
        QCOMPARE(d.f->dialogs.count("message"), 1);
        QVERIFY2(d.f->dialogs.messageTexts().last().contains(QLatin1String("menos de 2 s")),
                 qPrintable(d.f->dialogs.messageTexts().last()));
        QVERIFY(d.weighings().isEmpty());
        QCOMPARE(d.tonnes(), 0.0);

        // The converter drops the connection and, connected again, sends
        // nothing: the message names the state; from the sheet date box.
        d.scale.resume();
        QVERIFY(d.scaleReads(28500));
        d.scale.pause();
        d.scale.dropClients();
        QTest::qWait(2200);
        d.f->w->box("Fecha")->setFocus();
        d.f->dialogs.clear();
        press(Qt::Key_F7);
        QCOMPARE(d.f->dialogs.count("message"), 1);
        QVERIFY2(d.f->dialogs.messageTexts().last().contains(QStringLiteral("(sin datos)")),
                 qPrintable(d.f->dialogs.messageTexts().last()));
        QVERIFY(d.weighings().isEmpty());

        // Back: F7 from the date box takes the weight once.
        d.scale.resume();
        QVERIFY(d.scaleReads(28500));
        press(Qt::Key_F7);
        QCOMPARE(d.f->dialogs.count("message"), 1);
        QCOMPARE(d.weighings().size(), 1);
    }

    // From an open edit the edit is written first; a net beyond the
    // plausible range writes nothing at all, not even the weighing.
    void fromAnOpenEditAndANetOutOfRange()
    {
        Desk d;
        const QString tonnesCell = d.f->grid()->TextMatrix(2, 1);
        d.f->grid()->setRowCol(2, 2);
        type("Acme");
        QVERIFY(d.f->w->TxtEdit()->isVisible());
        d.scale.frame = "ST,GS,+090000kg\r\n";
        QVERIFY(d.scaleReads(90000));
        press(Qt::Key_F7);
        QCOMPARE(d.f->column(d.id, "vendedor").toString(), QStringLiteral("Acme"));
        QVERIFY(!d.f->w->TxtEdit()->isVisible());
        QCOMPARE(foco(), d.f->grid());
        QCOMPARE(d.weighings().size(), 1);

        d.scale.frame = "ST,GS,+010000kg\r\n";
        QVERIFY(d.scaleReads(10000));
        d.f->dialogs.clear();
        press(Qt::Key_F9);
        QCOMPARE(d.f->dialogs.count("message"), 1);
        const QString m = d.f->dialogs.messageTexts().last();
        QVERIFY2(m.contains(QLatin1String("fuera de rango")) &&
                     m.contains(QStringLiteral("no se registró")),
                 qPrintable(m));
        QCOMPARE(d.weighings().size(), 1); // the tare was not kept
        QCOMPARE(d.tonnes(), 0.0);
        QCOMPARE(d.f->grid()->TextMatrix(2, 1), tonnesCell);
    }

    // F11: each reading through the sheet's checks; one refused value
    // leaves the others written and is named.
    void analyzerReadings()
    {
        Desk d;
        d.analyzer.frame = "H=12.8;PH=78.45;FN=45\r\n";
        QVERIFY(QTest::qWaitFor(
            [&] {
                const InstrumentLink* a = d.hub().analizador();
                return a && a->ultima() && a->ultima()->lecturas.value("fallingnumber") == "45";
            },
            3000));
        int n = 0;
        const DailySheet::Columna* cols = DailySheet::columnas(n);
        int fn = 0;
        for (int c = 0; c < n; ++c)
            if (QLatin1String(cols[c].campo) == QLatin1String("fallingnumber")) fn = c + 1;
        QVERIFY(fn > 0);
        const QString fnCell = d.f->grid()->TextMatrix(2, fn);
        const QVariant fnStored = d.f->column(d.id, "fallingnumber");
        d.f->grid()->setRowCol(2, 3);
        type("Rojas"); // an open edit in the origin column
        press(Qt::Key_F11);
        QCOMPARE(d.f->column(d.id, "procedencia").toString(), QStringLiteral("Rojas"));
        QCOMPARE(d.f->column(d.id, "humedad").toDouble(), 12.8);
        QCOMPARE(d.f->column(d.id, "pesohect").toDouble(), 78.45);
        QCOMPARE(d.f->column(d.id, "fallingnumber"), fnStored); // left as it was
        QCOMPARE(d.f->dialogs.count("message"), 1);
        const QString m = d.f->dialogs.messageTexts().last();
        QVERIFY2(m.contains(QLatin1String("Falling")) && !m.contains(QLatin1String("Humedad")),
                 qPrintable(m));
        // The cells show what was written, the refused one what it held.
        for (int c = 0; c < n; ++c)
            if (QLatin1String(cols[c].campo) == QLatin1String("humedad"))
                QCOMPARE(d.f->grid()->TextMatrix(2, c + 1), QStringLiteral("12.8"));
        QCOMPARE(d.f->grid()->TextMatrix(2, fn), fnCell);
    }

    // What the load is worth follows the instruments: F11's humidity and
    // the F7/F9 tonnes each write the shrink, net kilograms and grade with
    // them, and the row's computed cells show them.
    void instrumentsKeepTheLoadSettled()
    {
        Desk d;
        d.f->db.data().execute(
            QStringLiteral("INSERT INTO ta_grado (grado, pesohect_min) VALUES (1, 78)"));
        d.f->w->sheet().Cargar(); // the rules as the plant just entered them
        auto lee = [&](const char* h) {
            return QTest::qWaitFor(
                [&] {
                    const InstrumentLink* a = d.hub().analizador();
                    return a && a->ultima() &&
                           a->ultima()->lecturas.value("humedad") == QLatin1String(h);
                },
                3000);
        };
        QVERIFY(lee("12.8"));
        d.f->grid()->setRowCol(2, 1);
        d.f->grid()->setFocus();
        press(Qt::Key_F11);
        QCOMPARE(d.f->column(d.id, "grado").toString(), QStringLiteral("1"));
        QCOMPARE(d.f->column(d.id, "merma").toDouble(), 0.0);
        QVERIFY(d.scaleReads(28340));
        press(Qt::Key_F7);
        d.scale.frame = "ST,GS,+011220kg\r\n";
        QVERIFY(d.scaleReads(11220));
        press(Qt::Key_F9);
        QCOMPARE(d.tonnes(), 17.12);
        QCOMPARE(d.f->column(d.id, "kg_netos").toLongLong(), qint64(17120));
        const int kg = DailySheet::columnaDe(QStringLiteral("kg_netos"));
        QCOMPARE(d.f->grid()->TextMatrix(2, kg), QStringLiteral("17120"));
        // The next truck's humidity, read into the same row.
        d.analyzer.frame = "H=15.2;PH=77.5;FN=310\r\n";
        QVERIFY(lee("15.2"));
        press(Qt::Key_F11);
        QCOMPARE(d.f->column(d.id, "merma").toDouble(), 2.22);
        QCOMPARE(d.f->column(d.id, "kg_netos").toLongLong(), qint64(16740));
        QCOMPARE(d.f->column(d.id, "grado").toString(), QStringLiteral("fuera de estándar"));
        QCOMPARE(d.f->grid()->TextMatrix(2, kg), QStringLiteral("16740"));
    }

    // The net as the typed tonnes it becomes: to the gram it passes the
    // sheet's check, finer it is refused as a typed value would be.
    void netTonnesAsTyped()
    {
        QCOMPARE(WeighingStore::toneladas(28340, 11220), QStringLiteral("17.12"));
        QCOMPARE(WeighingStore::toneladas(12000.5, 0), QStringLiteral("12.0005"));
        QCOMPARE(WeighingStore::toneladas(1000, 1000), QStringLiteral("0"));
        QCOMPARE(WeighingStore::toneladas(100, 300), QStringLiteral("-0.2"));
        QVERIFY(FieldValidator::rechazoNumero("TONELADAS", "17.12").isEmpty());
        const QString finer = WeighingStore::toneladas(28340.0004, 11220);
        QCOMPARE(finer, QStringLiteral("17.1200004"));
        QVERIFY2(
            FieldValidator::rechazoNumero("TONELADAS", finer).contains(QStringLiteral("gramo")),
            qPrintable(FieldValidator::rechazoNumero("TONELADAS", finer)));
        QVERIFY2(FieldValidator::rechazoNumero("TONELADAS", "-0.2")
                     .contains(QStringLiteral("fuera de rango")),
                 qPrintable(FieldValidator::rechazoNumero("TONELADAS", "-0.2")));
    }

    // Without instruments: no band, and the keys say there is no scale.
    void noInstruments()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(kDia));
        f.grid()->setRowCol(2, 1);
        f.grid()->setFocus();
        auto* band = f.w->findChild<QLabel*>(QStringLiteral("lblInstrumentos"));
        QVERIFY(band && !band->isVisible());
        press(Qt::Key_F7);
        press(Qt::Key_F11);
        QCOMPARE(f.dialogs.count("message"), 2);
        QVERIFY(f.dialogs.messageTexts().at(0).contains(QLatin1String("ninguna balanza")));
        QVERIFY(f.dialogs.messageTexts().at(1).contains(QLatin1String("analizador")));
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM mv_molvera_pesada").toInt(), 0);
    }
};

QTEST_MAIN(TstWeighingKeys)
#include "tst_weighingkeys.moc"
