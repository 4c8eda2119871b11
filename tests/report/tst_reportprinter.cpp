#include "DataService.h"
#include "MolveraReportPrinter.h"
#include "ReportRows.h"
#include "ScriptedDialogs.h"
#include "ServiceError.h"
#include "TestDb.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

ReportPrinter::Request request(const QString& formula, const QString& company)
{
    ReportPrinter::Request r;
    r.reportName = QStringLiteral("Rp_molvera");
    r.parameters = QStringList{QString(), QString()};
    r.selectionFormula = formula;
    r.connection = QStringLiteral("DSN=x; UID=u; PWD=secret");
    r.formulas =
        QStringList{QStringLiteral("empresa = '") + company + QStringLiteral("'"),
                    QStringLiteral("NOMBREREP= 'Molvera'"), QStringLiteral("Parametros = ''")};
    return r;
}

} // namespace

class TstReportPrinter : public QObject
{
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }

    void findsTheDefinitionUnderItsBaseFolder()
    {
        TestDb db;
        MolveraReportPrinter printer(db.data());
        printer.setBaseFolder(qEnvironmentVariable("MOLVERA_SOURCE_DIR") + u'/');
        QVERIFY(QFileInfo(printer.definitionPath("Rp_molvera")).isFile());
        QCOMPARE(QFileInfo(printer.definitionPath("Rp_molvera")).fileName(),
                 QStringLiteral("Rp_molvera.json"));
        QCOMPARE(QFileInfo(printer.definitionPath("Rp_molvera")).dir().dirName(),
                 QStringLiteral("reports"));
    }

    // Installed as a package: /usr/bin/molvera reads
    // /usr/share/molvera/reports/; one beside the program comes first.
    void findsTheInstalledDefinition()
    {
        TestDb db;
        QTemporaryDir prefix;
        QVERIFY(QDir(prefix.path()).mkpath("bin") &&
                QDir(prefix.path()).mkpath("share/molvera/reports"));
        const QString installed = prefix.filePath("share/molvera/reports/Rp_molvera.json");
        QVERIFY(QFile::copy(qEnvironmentVariable("MOLVERA_SOURCE_DIR") +
                                "/reports/Rp_molvera.json",
                            installed));
        MolveraReportPrinter printer(db.data());
        printer.setBaseFolder(prefix.filePath("bin") + u'/');
        QCOMPARE(printer.definitionPath("Rp_molvera"), installed);
        QVERIFY(QDir(prefix.path()).mkpath("bin/reports"));
        QVERIFY(QFile::copy(installed, prefix.filePath("bin/reports/Rp_molvera.json")));
        QCOMPARE(printer.definitionPath("Rp_molvera"),
                 prefix.filePath("bin/reports/Rp_molvera.json"));
    }

    void missingDefinitionIsOneClearError()
    {
        TestDb db;
        QTemporaryDir empty;
        MolveraReportPrinter printer(db.data());
        printer.setBaseFolder(empty.path());
        printer.setOutputFile(empty.filePath("x.pdf"));
        try {
            printer.print(nullptr, request({}, "Molino"));
            QFAIL("printed without a definition");
        } catch (const ServiceError& e) {
            QVERIFY2(e.description().contains(QStringLiteral("Rp_molvera.json")),
                     qPrintable(e.description()));
        }
        QVERIFY(!QFile::exists(empty.filePath("x.pdf")));
    }

    void manyRowsMakeNumberedPages()
    {
        TestDb db;
        db.data().database().transaction();
        double total = 0;
        for (int i = 0; i < 150; ++i) {
            const double t = 20 + (i % 7) * 1.25;
            total += t;
            ReportRows::add(db.data(), QDateTime(QDate(2024, 3, 1 + i / 10), QTime(8, i % 60)), t,
                            QStringLiteral("Vendedor %1").arg(i));
        }
        db.data().database().commit();
        QTemporaryDir dir;
        MolveraReportPrinter printer(db.data());
        printer.setBaseFolder(qEnvironmentVariable("MOLVERA_SOURCE_DIR"));
        printer.setOutputFile(dir.filePath("r.pdf"));
        printer.print(nullptr, request("{V_MV_MOLVERA.FECHA} >= Date(2024,3,1)", "Molino"));
        QVERIFY(printer.lastPageCount() > 1);
        const QString text = ReportRows::pdfText(dir.filePath("r.pdf"));
        const QString last = QStringLiteral("Página %1 de %1").arg(printer.lastPageCount());
        QVERIFY2(text.contains(last), qPrintable(text.right(400)));
        QVERIFY(text.contains(QStringLiteral("Página 1 de %1").arg(printer.lastPageCount())));
        // Every page carries the title and the column headers.
        QCOMPARE(int(text.count(QStringLiteral("Recepción de trigo - Molvera"))),
                 printer.lastPageCount());
        QCOMPARE(int(text.count(QStringLiteral("PROCEDENCIA"))), printer.lastPageCount());
        QVERIFY(text.contains(QStringLiteral("Vendedor 0 ")));
        QVERIFY(text.contains(QStringLiteral("Vendedor 149")));
        QCOMPARE(int(text.count(QStringLiteral("Total del día"))), 15);
        QVERIFY(text.contains(QStringLiteral("Total general: 150 cargas")));
        QVERIFY(text.contains(QLocale().toString(total, 'f', 2)));
        QVERIFY(text.contains(QStringLiteral("Selección: desde el 1/3/2024")));
    }

    void emptySelectionSaysSo()
    {
        TestDb db;
        ReportRows::add(db.data(), QDateTime(QDate(2024, 3, 15), QTime(8, 0)), 30, "Otro día");
        QTemporaryDir dir;
        MolveraReportPrinter printer(db.data());
        printer.setBaseFolder(qEnvironmentVariable("MOLVERA_SOURCE_DIR"));
        printer.setOutputFile(dir.filePath("r.pdf"));
        printer.print(nullptr, request("{V_MV_MOLVERA.FECHA} = Date(2024,3,16)", "Molino"));
        QCOMPARE(printer.lastPageCount(), 1);
        const QString text = ReportRows::pdfText(dir.filePath("r.pdf"));
        QVERIFY2(text.contains(QStringLiteral("No hay recepciones para la selección.")),
                 qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("Otro día")));
        QVERIFY(text.contains(QStringLiteral("del día 16/3/2024")));
    }

    void csvOutputHoldsTheSelectedRows()
    {
        TestDb db;
        ReportRows::add(db.data(), QDateTime(QDate(2024, 3, 15), QTime(8, 0)), 30, "Dentro");
        ReportRows::add(db.data(), QDateTime(QDate(2024, 3, 17), QTime(8, 0)), 30, "Fuera");
        QTemporaryDir dir;
        MolveraReportPrinter printer(db.data());
        printer.setBaseFolder(qEnvironmentVariable("MOLVERA_SOURCE_DIR"));
        printer.setOutputFile(dir.filePath("r.CSV"));
        printer.print(nullptr, request(" {V_MV_MOLVERA.FECHA} <= Date(2024,3,16)", "Molino"));
        QFile f(dir.filePath("r.CSV"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString csv = QString::fromUtf8(f.readAll());
        QVERIFY(csv.contains(QStringLiteral("Dentro")));
        QVERIFY(!csv.contains(QStringLiteral("Fuera")));
        QCOMPARE(int(csv.count(QStringLiteral("\r\n"))), 2);
    }

    // Option one: the preview goes through the dialog seam; from it the
    // operator saves a PDF. The report is named as the operator knows it in
    // the preview's title, the suggested file and every page's footer.
    void previewOffersSavingAPdf()
    {
        TestDb db;
        ReportRows::add(db.data(), QDateTime(QDate(2024, 3, 15), QTime(8, 0)), 28.5, "Juan");
        ScriptedDialogs dialogs;
        QTemporaryDir dir;
        const QString pdf = dir.filePath("guardado.pdf");
        int previewPages = -1;
        QString previewTitle;
        dialogs.execScripts << [&](QDialog* d) {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(d);
            if (!preview) return int(QDialog::Rejected);
            previewTitle = preview->windowTitle();
            auto* widget = preview->findChild<QPrintPreviewWidget*>();
            if (widget) {
                widget->updatePreview();
                previewPages = widget->pageCount();
            }
            auto* save = preview->findChild<QAction*>(QStringLiteral("savePdf"));
            if (save) save->trigger();
            return int(QDialog::Rejected);
        };
        dialogs.saveFileAnswers << pdf;
        MolveraReportPrinter printer(db.data());
        printer.setBaseFolder(qEnvironmentVariable("MOLVERA_SOURCE_DIR"));
        printer.setOptions(true, true, false);
        printer.print(nullptr, request({}, "Molino"));
        QCOMPARE(dialogs.count("exec"), 1);
        QCOMPARE(dialogs.count("save"), 1);
        QCOMPARE(previewPages, 1);
        QVERIFY(QFile::exists(pdf));
        const QString text = ReportRows::pdfText(pdf);
        QVERIFY(text.contains(QStringLiteral("Juan")));
        const QString caption = QStringLiteral("Reporte de Recepción de Trigo");
        QCOMPARE(previewTitle, caption + QStringLiteral(" - vista previa"));
        QCOMPARE(QFileInfo(dialogs.shown.last().text).fileName(), caption + QStringLiteral(".pdf"));
        QVERIFY2(text.contains(QStringLiteral("Molvera - ") + caption), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("Rp_molvera")), qPrintable(text));
    }

    // Without the preview, the second option asks for the printer first;
    // cancelling it prints nothing.
    void cancellingThePrinterDialogPrintsNothing()
    {
        TestDb db;
        ReportRows::add(db.data(), QDateTime(QDate(2024, 3, 15), QTime(8, 0)), 28.5, "Juan");
        ScriptedDialogs dialogs;
        QString kind;
        dialogs.execScripts << [&](QDialog* d) {
            kind = QString::fromLatin1(d->metaObject()->className());
            return int(QDialog::Rejected);
        };
        MolveraReportPrinter printer(db.data());
        printer.setBaseFolder(qEnvironmentVariable("MOLVERA_SOURCE_DIR"));
        printer.setOptions(false, true, false);
        printer.print(nullptr, request({}, "Molino"));
        QCOMPARE(kind, QStringLiteral("PrintDialog"));
        QCOMPARE(printer.lastPageCount(), 0);
    }

    // The preview's print button opens the program's print dialog (never
    // Qt's, whose file completion opens the files it lists). Printed to a
    // file, the database and its companions are refused in words and left
    // as they were, a file that is there is replaced only after "Sí", and the
    // report is written whole.
    void thePreviewPrintsThroughTheProgramsDialog()
    {
        TestDb db;
        if (db.onServer()) QSKIP("the embedded database's files are the ones refused");
        ReportRows::add(db.data(), QDateTime(QDate(2024, 3, 15), QTime(8, 0)), 28.5, "Juan");
        ScriptedDialogs dialogs;
        QTemporaryDir dir;
        const QString pdf = dir.filePath("impreso.pdf");
        QFile old(pdf);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("viejo") == 5);
        old.close();
        QFile dbFile(db.path());
        QVERIFY(dbFile.open(QIODevice::ReadOnly));
        const QByteArray dbHeader = dbFile.read(100);
        dbFile.close();
        QStringList refusedNames;
        QString suggested;
        bool qtDialog = true, accepted = false;
        dialogs.execScripts << [&](QDialog* d) {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(d);
            auto* print = preview ? preview->findChild<QAction*>(QStringLiteral("printAction"))
                                  : nullptr;
            if (!print) return int(QDialog::Rejected);
            print->trigger();
            qtDialog = preview->findChild<QPrintDialog*>() != nullptr;
            accepted = preview->result() == QDialog::Accepted;
            return preview->result();
        };
        dialogs.execScripts << [&](QDialog* d) {
            auto* file = d->findChild<QLineEdit*>(QStringLiteral("filename"));
            auto* printers = d->findChild<QComboBox*>(QStringLiteral("printers"));
            if (!file || !printers) return int(QDialog::Rejected);
            printers->setCurrentIndex(printers->count() - 1);
            suggested = QFileInfo(file->text()).fileName();
            for (const QString& name : {db.path(), db.path() + "-wal", db.path() + "-shm",
                                        db.path() + "-journal"}) {
                file->setText(name);
                const qsizetype before = dialogs.shown.size();
                d->accept();
                if (d->result() != QDialog::Accepted && dialogs.shown.size() == before + 1 &&
                    dialogs.shown.last().text.contains("es la base de datos"))
                    refusedNames << QFileInfo(name).fileName();
            }
            file->setText(pdf);
            dialogs.messageAnswers << Dialogs::No; // "¿Desea reemplazarlo?"
            d->accept();
            if (d->result() == QDialog::Accepted) return int(QDialog::Rejected);
            dialogs.messageAnswers << Dialogs::Yes;
            d->accept();
            return d->result();
        };
        MolveraReportPrinter printer(db.data());
        printer.setBaseFolder(qEnvironmentVariable("MOLVERA_SOURCE_DIR"));
        printer.setOptions(true, true, false);
        printer.print(nullptr, request({}, "Molino"));
        QCOMPARE(dialogs.count("exec"), 2);
        QVERIFY(!qtDialog);
        QCOMPARE(refusedNames.size(), 4);
        QCOMPARE(suggested, QStringLiteral("Reporte de Recepción de Trigo.pdf"));
        QVERIFY(accepted);
        QVERIFY(ReportRows::pdfText(pdf).contains(QStringLiteral("Juan")));
        QVERIFY(dbFile.open(QIODevice::ReadOnly));
        QCOMPARE(dbFile.read(100), dbHeader);
        QVERIFY(!QFileInfo::exists(db.path() + "-journal"));
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM mv_molvera WHERE vendedor = 'Juan'").toInt(), 1);
    }

    void aBadFormulaPrintsNothing()
    {
        TestDb db;
        ScriptedDialogs dialogs;
        MolveraReportPrinter printer(db.data());
        printer.setBaseFolder(qEnvironmentVariable("MOLVERA_SOURCE_DIR"));
        QVERIFY_THROWS_EXCEPTION(
            ServiceError,
            printer.print(nullptr, request("{V_MV_MOLVERA.FECHA} >= Date(2024,", "M")));
        QCOMPARE(dialogs.shown.size(), 0);
    }
};

QTEST_MAIN(TstReportPrinter)
#include "tst_reportprinter.moc"
