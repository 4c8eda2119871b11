#include "DailySheet.h"
#include "DataService.h"
#include "DayTotals.h"
#include "FlexGrid.h"
#include "IniReader.h"
#include "Lib_ClsCons3.h"
#include "ModGlobal.h"
#include "MolveraReportPrinter.h"
#include "ReportCommand.h"
#include "ReportRows.h"
#include "ScriptedDialogs.h"
#include "ServiceError.h"
#include "SheetSettlement.h"
#include "TestDb.h"
#include "TextBox.h"
#include "frmTrigo.h"

#include <QApplication>
#include <QDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

namespace
{

// Keeps what the window hands the printer.
class RecordingPrinter : public ReportPrinter
{
public:
    QList<Request> requests;
    QList<std::array<bool, 3>> options;
    void print(QWidget*, const Request& request) override
    {
        requests << request;
        options << std::array<bool, 3>{option(0), option(1), option(2)};
    }
};

// The intake window over a scratch database, loaded as at start-up.
struct Fixture {
    QTemporaryDir iniDir;
    TestDb db;
    ScriptedDialogs dialogs;
    Lib_ClsCons3 lookup{&db.data()};
    std::unique_ptr<MolveraReportPrinter> own;
    std::unique_ptr<frmTrigo> w;

    // Without a printer given, the window gets the program's own one.
    explicit Fixture(ReportPrinter* printer = nullptr)
    {
        ModGlobal::reset();
        IniReader::setSearchFolders({iniDir.path()});
        if (!printer) {
            own = std::make_unique<MolveraReportPrinter>(db.data());
            printer = own.get();
        }
        w = std::make_unique<frmTrigo>(db.data(), lookup, printer);
        if (!w->Load()) qFatal("window did not load");
        ModGlobal::gCadenaConexion = QStringLiteral("DSN=planta; UID=u; PWD=p");
        w->show();
        QApplication::setActiveWindow(w.get());
        QCoreApplication::processEvents();
    }
    ~Fixture() { IniReader::setSearchFolders({}); }
    void range(const QString& desde, const QString& hasta)
    {
        w->box("FechaDesde")->setText(desde);
        w->box("FechaHasta")->setText(hasta);
    }
};

const QString kF = QStringLiteral("{V_MV_MOLVERA.FECHA}");

} // namespace

class TstReportCommand : public QObject
{
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }

    void formulaStrings_data()
    {
        QTest::addColumn<bool>("cargada");
        QTest::addColumn<QString>("fecha");
        QTest::addColumn<QString>("desde");
        QTest::addColumn<QString>("hasta");
        QTest::addColumn<QString>("formula");
        QTest::newRow("no range") << false << "15/03/2024"
                                  << ""
                                  << ""
                                  << "";
        QTest::newRow("blank range") << false << ""
                                     << "   "
                                     << "  "
                                     << "";
        QTest::newRow("only from") << false << ""
                                   << "15/03/2024"
                                   << "" << kF + " >= Date(2024,3,15)";
        QTest::newRow("only to, leading blank") << false << ""
                                                << ""
                                                << "31/03/2024"
                                                << " " + kF + " <= Date(2024,3,31)";
        QTest::newRow("both, two blanks after AND")
            << false << ""
            << "01/03/2024"
            << "31/03/2024" << kF + " >= Date(2024,3,1) AND  " + kF + " <= Date(2024,3,31)";
        QTest::newRow("from with blanks around") << false << ""
                                                 << " 1/3/2024 "
                                                 << "" << kF + " >= Date(2024,3,1)";
        QTest::newRow("sheet loaded ignores the range")
            << true << "15/03/2024"
            << "01/03/2024"
            << "31/03/2024" << kF + " = Date(2024,3,15)";
    }
    void formulaStrings()
    {
        QFETCH(bool, cargada);
        QFETCH(QString, fecha);
        QFETCH(QString, desde);
        QFETCH(QString, hasta);
        QFETCH(QString, formula);
        QCOMPARE(ReportCommand::formula(cargada, fecha, desde, hasta), formula);
    }

    void aBoxThatHoldsNoDateIsNamed_data()
    {
        QTest::addColumn<QString>("desde");
        QTest::addColumn<QString>("hasta");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("caption");
        QTest::newRow("from") << "ayer"
                              << "31/03/2024"
                              << "FechaDesde"
                              << "Fecha Desde";
        QTest::newRow("to") << "01/03/2024"
                            << "31/02/2024"
                            << "FechaHasta"
                            << "Fecha Hasta";
        QTest::newRow("to, from blank") << ""
                                        << "32/1/2024"
                                        << "FechaHasta"
                                        << "Fecha Hasta";
    }
    void aBoxThatHoldsNoDateIsNamed()
    {
        QFETCH(QString, desde);
        QFETCH(QString, hasta);
        QFETCH(QString, box);
        QFETCH(QString, caption);
        RecordingPrinter printer;
        Fixture f(&printer);
        f.range(desde, hasta);
        f.w->ImprimirReporte();
        QCOMPARE(printer.requests.size(), 0);
        QCOMPARE(f.dialogs.messageTexts().size(), 1);
        QVERIFY2(f.dialogs.messageTexts().first().startsWith(caption),
                 qPrintable(f.dialogs.messageTexts().first()));
        QCOMPARE(f.dialogs.shown.first().title, QStringLiteral("Atención"));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.w->box(box)));
        // The window stays usable: once corrected, the report prints.
        f.range("01/03/2024", "31/03/2024");
        f.w->ImprimirReporte();
        QCOMPARE(printer.requests.size(), 1);
    }

    void thePrinterGetsWhatTheWindowBuilds()
    {
        RecordingPrinter printer;
        Fixture f(&printer);
        f.range("01/03/2024", "31/03/2024");
        f.w->ProcesarComando("reporte");
        QCOMPARE(printer.requests.size(), 1);
        const auto& r = printer.requests.first();
        QCOMPARE(r.reportName, QStringLiteral("Rp_molvera"));
        QCOMPARE(r.parameters, (QStringList{QString(), QString()}));
        QCOMPARE(r.selectionFormula, kF + " >= Date(2024,3,1) AND  " + kF + " <= Date(2024,3,31)");
        QCOMPARE(r.connection, QStringLiteral("DSN=planta; UID=u; PWD=p"));
        QCOMPARE(r.formulas, (QStringList{"empresa = 'Molino Harinero del Sur S.A.'",
                                          "NOMBREREP= 'Molvera'", "Parametros = ''"}));
        QCOMPARE(printer.options.first(), (std::array<bool, 3>{true, true, false}));
        QCOMPARE(f.dialogs.shown.size(), 0);
    }

    // The seller's statement from the report tab's button: the same
    // selection and assignments, its own definition.
    void theSellersStatementFromItsButton()
    {
        RecordingPrinter printer;
        Fixture f(&printer);
        f.range("01/03/2024", "31/03/2024");
        QToolButton* b = f.w->settlement().botonResumen();
        QCOMPARE(b->text(), QStringLiteral("Resumen por vendedor"));
        f.w->SSTab1()->setCurrentIndex(2);
        QCoreApplication::processEvents();
        QVERIFY(b->isVisible());
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(printer.requests.size(), 1);
        const auto& r = printer.requests.first();
        QCOMPARE(r.reportName, QStringLiteral("Rp_vendedores"));
        QCOMPARE(r.selectionFormula, kF + " >= Date(2024,3,1) AND  " + kF + " <= Date(2024,3,31)");
        QCOMPARE(r.formulas.first(), QStringLiteral("empresa = 'Molino Harinero del Sur S.A.'"));
        QCOMPARE(printer.options.first(), (std::array<bool, 3>{true, true, false}));
    }

    void aCompanyNameWithAnApostropheIsHandedAsStored()
    {
        RecordingPrinter printer;
        Fixture f(&printer);
        f.db.data().execute("UPDATE ta_configuracion SET VALOR = ? WHERE CLAVE = ?",
                            {QStringLiteral("Molino O'Higgins S.A."), QStringLiteral("NOMBRE")});
        f.w->ImprimirReporte();
        QCOMPARE(printer.requests.size(), 1);
        QCOMPARE(printer.requests.first().formulas.first(),
                 QStringLiteral("empresa = 'Molino O'Higgins S.A.'"));
        QCOMPARE(printer.requests.first().selectionFormula, QString());
    }

    void theLoadedDayIsPrinted()
    {
        RecordingPrinter printer;
        Fixture f(&printer);
        f.w->box("Fecha")->setText("15/3/2024");
        QVERIFY(f.w->sheet().Cargar());
        f.range("01/01/2024", "no es fecha");
        f.w->ImprimirReporte();
        QCOMPARE(printer.requests.size(), 1);
        QCOMPARE(printer.requests.first().selectionFormula, kF + " = Date(2024,3,15)");
    }

    // With the program's own printer: a missing definition is one message
    // naming the file, and the window goes on.
    void aMissingDefinitionIsOneMessage()
    {
        Fixture f;
        QTemporaryDir empty;
        f.own->setBaseFolder(empty.path());
        f.w->ImprimirReporte();
        QCOMPARE(f.dialogs.messageTexts().size(), 1);
        QVERIFY2(f.dialogs.messageTexts().first().contains(
                     QDir::toNativeSeparators(empty.filePath("reports/Rp_molvera.json"))),
                 qPrintable(f.dialogs.messageTexts().first()));
        QCOMPARE(f.dialogs.count("exec"), 0);
        // The same window prints once the definition is there: the preview
        // is shown through the seam.
        f.own->setBaseFolder(qEnvironmentVariable("MOLVERA_SOURCE_DIR"));
        bool preview = false;
        f.dialogs.execScripts << [&](QDialog* d) {
            preview = d->inherits("QPrintPreviewDialog");
            return int(QDialog::Rejected);
        };
        f.w->ImprimirReporte();
        QVERIFY(preview);
        QCOMPARE(f.dialogs.messageTexts().size(), 1);
    }

    // A reversed range is said, not printed as "no receptions".
    void aReversedRangeIsSaid()
    {
        RecordingPrinter printer;
        Fixture f(&printer);
        f.range("31/03/2024", "01/03/2024");
        f.w->ImprimirReporte();
        QCOMPARE(printer.requests.size(), 0);
        QCOMPARE(f.dialogs.messageTexts().size(), 1);
        QVERIFY2(f.dialogs.messageTexts().first().contains("posterior a Fecha Hasta"),
                 qPrintable(f.dialogs.messageTexts().first()));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.w->box("FechaDesde")));
        f.range("01/03/2024", "01/03/2024"); // one day is a range
        f.w->ImprimirReporte();
        QCOMPARE(printer.requests.size(), 1);
    }

    // The day's report lists and counts the truckloads the day totals band
    // counts: the blank rows every new day starts with are neither listed
    // nor counted, and the tonnes agree.
    void theDaysReportCountsWhatTheBandCounts()
    {
        Fixture f;
        f.own->setBaseFolder(qEnvironmentVariable("MOLVERA_SOURCE_DIR"));
        f.w->box("Fecha")->setText("15/3/2024");
        QVERIFY(f.w->sheet().Cargar());
        QCOMPARE(f.w->MSflexGrid1()->Rows(), 4); // the two blank rows
        FlexGrid* g = f.w->MSflexGrid1();
        g->setFocus();
        g->setRowCol(2, 1);
        auto type = [](const char* keys) {
            for (const char* k = keys; *k; ++k)
                QTest::keyClick(QApplication::focusWidget(), *k);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        };
        type("28"); // and Enter moves on to the seller
        type("Juan");
        QCOMPARE(g->TextMatrix(2, 2), QStringLiteral("Juan"));
        QTRY_COMPARE(f.w->totals()->figures().camiones, 1);

        const QString formula = ReportCommand::formulaSeleccion(*f.w);
        MolveraReportPrinter::Request r = ReportCommand::pedido(formula, "Molino", {});
        const MolveraReportPrinter::Prepared p = f.own->prepare(r);
        QCOMPARE(p.data.rowCount(), 1);
        QCOMPARE(p.data.loadCount(), f.w->totals()->figures().camiones);
        const int tn = p.def.columnIndex("Toneladas");
        QCOMPARE(p.data.total(tn), f.w->totals()->figures().toneladas);
        QCOMPARE(p.data.groups().size(), 1);
        QCOMPARE(p.data.groups().first().loads, 1);

        QTemporaryDir dir;
        const QString pdf = dir.filePath("dia.pdf");
        MolveraReportPrinter::writePdf(pdf, p);
        const QString text = ReportRows::pdfText(pdf).simplified();
        QVERIFY2(text.contains("Total del día 15/3/2024: 1 carga ") ||
                     text.contains("Total del día 15/03/2024: 1 carga "),
                 qPrintable(text));
        QVERIFY2(text.contains("Total general: 1 carga"), qPrintable(text));
    }

    // Two long names that begin alike are both readable in the PDF: wrapped
    // in their column, not cut to the same beginning.
    void longNamesAreNotCutAlike()
    {
        Fixture f;
        f.own->setBaseFolder(qEnvironmentVariable("MOLVERA_SOURCE_DIR"));
        const QDateTime dia(QDate(2024, 3, 15), QTime(8, 0));
        ReportRows::add(f.db.data(), dia, 20.0,
                        "Cooperativa Agrícola Ganadera Limitada del Partido de Sudoeste");
        ReportRows::add(f.db.data(), dia, 21.0,
                        "Cooperativa Agrícola Ganadera Limitada del Partido de Sudeste");
        const MolveraReportPrinter::Prepared p = f.own->prepare(ReportCommand::pedido(
            ReportCommand::formula(false, {}, "15/3/2024", "15/3/2024"), "Molino", {}));
        QTemporaryDir dir;
        const QString pdf = dir.filePath("largos.pdf");
        QCOMPARE(MolveraReportPrinter::writePdf(pdf, p), 1);
        const QString text = ReportRows::pdfText(pdf);
        QVERIFY2(text.contains("Sudoeste") && text.contains("Sudeste"), qPrintable(text));
        QVERIFY2(!text.contains(QChar(0x2026)), qPrintable(text)); // no "…"
    }
    // Texts longer than their column, up to the 100 characters the sheet
    // takes and beyond (written by another program), print whole: the row
    // grows, every word is on the page, and nothing prints under the day's
    // total. A text too long for a whole page ends in "…" where it is cut.
    void longTextsPrintWholeAboveTheTotals()
    {
        Fixture f;
        f.own->setBaseFolder(qEnvironmentVariable("MOLVERA_SOURCE_DIR"));
        const QDateTime dia(QDate(2024, 3, 15), QTime(8, 0));
        const QString n98 = QStringLiteral("Sociedad Cooperativa Agropecuaria de Productores "
                                           "Trigueros del Sudoeste Bonaerense Alfa Beta Gamma");
        QCOMPARE(n98.size(), 98);
        const QString w100(100, u'W');
        const QString n101 = QStringLiteral("Establecimiento Agricola Ganadero Los Dos Hermanos "
                                            "del Partido de Coronel Suarez Sociedad Anonim Omeg");
        QCOMPARE(n101.size(), 101);
        QStringList many;
        for (int i = 1; i <= 4000; ++i)
            many << QStringLiteral("palabra%1").arg(i);
        ReportRows::add(f.db.data(), dia, 20.0, n98);
        ReportRows::add(f.db.data(), dia, 21.0, w100);
        ReportRows::add(f.db.data(), dia, 22.0, n101);
        ReportRows::add(f.db.data(), dia, 23.0, QStringLiteral("Corto"), "0001", many.join(' '));
        const MolveraReportPrinter::Prepared p = f.own->prepare(ReportCommand::pedido(
            ReportCommand::formula(false, {}, "15/3/2024", "15/3/2024"), "Molino", {}));
        QTemporaryDir dir;
        const QString pdf = dir.filePath("largos.pdf");
        const int pages = MolveraReportPrinter::writePdf(pdf, p);
        QVERIFY(pages >= 2);

        // Every word with its page and place (pdftotext -bbox).
        QProcess pt;
        pt.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
        QVERIFY(pt.waitForFinished(60000) && pt.exitCode() == 0);
        const QString html = QString::fromUtf8(pt.readAllStandardOutput());
        struct Word {
            int page;
            double top, bottom;
            QString text;
        };
        QList<Word> words;
        static const QRegularExpression tag(
            QStringLiteral("<page |<word xMin=\"[^\"]*\" yMin=\"([^\"]*)\" xMax=\"[^\"]*\" "
                           "yMax=\"([^\"]*)\">([^<]*)</word>"));
        int page = -1;
        for (auto m = tag.globalMatch(html); m.hasNext();) {
            const auto g = m.next();
            if (g.captured(0).startsWith(QLatin1String("<page"))) {
                ++page;
                continue;
            }
            words.push_back({page, g.captured(1).toDouble(), g.captured(2).toDouble(),
                             g.captured(3).replace("&amp;", "&")});
        }
        QCOMPARE(page + 1, pages);
        auto printed = [&](const QString& text) {
            QSet<QString> all;
            for (const Word& w : words)
                all.insert(w.text);
            for (const QString& part : text.split(u' '))
                if (!all.contains(part)) return part;
            return QString();
        };
        QCOMPARE(printed(n98), QString());
        QCOMPARE(printed(n101), QString());
        int ws = 0;
        for (const Word& w : words)
            ws += int(w.text.count(u'W'));
        QCOMPARE(ws, 100);
        // The text too long for a page: its start printed, the cut marked.
        QCOMPARE(printed(many.mid(0, 60).join(' ')), QString());
        bool marked = false;
        for (const Word& w : words)
            marked = marked || (w.text.endsWith(QChar(0x2026)) &&
                                (w.text.startsWith(QLatin1String("palabra")) ||
                                 QStringLiteral("palabra").startsWith(w.text.chopped(1))));
        QVERIFY(marked);
        // Above the day's total on its page: every word of the rows.
        int band = -1;
        for (int i = 0; i + 2 < words.size(); ++i)
            if (words.at(i).text == "Total" && words.at(i + 1).text == "del") band = i;
        QVERIFY(band >= 0);
        const Word total = words.at(band);
        for (int i = 0; i < words.size(); ++i) {
            const Word& w = words.at(i);
            if (w.page != total.page || (i >= band && i <= band + 2)) continue;
            const bool fila = w.text.contains(u'W') ||
                              w.text.startsWith(QLatin1String("palabra")) || n98.contains(w.text) ||
                              n101.contains(w.text);
            if (!fila || w.text.size() < 3) continue; // not "de" of the page number
            QVERIFY2(w.bottom <= total.top + 0.5,
                     qPrintable(QStringLiteral("%1 at %2, the total at %3")
                                    .arg(w.text)
                                    .arg(w.bottom)
                                    .arg(total.top)));
        }
    }
};

QTEST_MAIN(TstReportCommand)
#include "tst_reportcommand.moc"
