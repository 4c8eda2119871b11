#include "MolveraReportPrinter.h"

#include "DataService.h"
#include "Dialogs.h"
#include "OutputFile.h"
#include "PrintDialog.h"
#include "ReportCsv.h"
#include "ReportRenderer.h"
#include "ServiceError.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>

MolveraReportPrinter::MolveraReportPrinter(DataService& data) : m_data(data) {}

QString MolveraReportPrinter::definitionPath(const QString& reportName) const
{
    QString file = reportName.trimmed();
    if (QFileInfo(file).suffix().compare(QLatin1String("json"), Qt::CaseInsensitive) != 0)
        file += QStringLiteral(".json");
    if (QFileInfo(file).isAbsolute()) return file;
    const QDir base(baseFolder().isEmpty() ? QDir::currentPath() : baseFolder());
    // Beside the program (the build folder), then where a package installs
    // them (/usr/bin/molvera: /usr/share/molvera/reports).
    const QStringList candidates{
        base.filePath(QStringLiteral("reports/") + file), base.filePath(file),
        QDir::cleanPath(base.filePath(QStringLiteral("../share/molvera/reports/") + file))};
    for (const QString& c : candidates)
        if (QFileInfo(c).isFile()) return c;
    return candidates.first();
}

MolveraReportPrinter::Prepared MolveraReportPrinter::prepare(const Request& request) const
{
    if (request.reportName.trimmed().isEmpty())
        throw ServiceError(ServiceError::InvalidCall, QStringLiteral("No se indicó el reporte."),
                           QStringLiteral("Reporte"));
    Prepared r;
    r.def = ReportDefinition::load(definitionPath(request.reportName));
    r.formula = SelectionFormula::parse(request.selectionFormula);
    // The formula is checked against the definition before the database is asked.
    r.formula.toWhere(r.def, m_data.dialect());
    if (!m_data.isOpen())
        throw ServiceError(ServiceError::NotConnected,
                           QStringLiteral("No hay conexión abierta con la base de datos."),
                           QStringLiteral("Reporte"));
    r.data = ReportData::read(m_data, r.def, r.formula);
    r.formulas = FormulaAssignments(request.formulas);
    r.selection = r.formula.describe(r.def);
    r.printedAt = QDateTime::currentDateTime();
    return r;
}

void MolveraReportPrinter::print(QWidget* parent, const Request& request)
{
    const Prepared report = prepare(request);
    if (!m_outputFile.isEmpty()) {
        if (QFileInfo(m_outputFile).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) ==
            0)
            writeCsv(m_outputFile, report);
        else
            m_lastPages = writePdf(m_outputFile, report);
        return;
    }
    if (option(0))
        preview(parent, report);
    else
        printNow(parent, report);
}

int MolveraReportPrinter::writePdf(const QString& path, const Prepared& report)
{
    OutputFile file(path);
    if (!file.open())
        throw ServiceError(ServiceError::NotFound, file.message(), QStringLiteral("Reporte"));
    int pages = 0;
    {
        QPdfWriter writer(file.device());
        writer.setCreator(QStringLiteral("Molvera"));
        writer.setResolution(300);
        ReportRenderer renderer(report.def, report.data, report.formulas, report.selection,
                                report.printedAt);
        writer.setTitle(renderer.title() + QStringLiteral(" - ") + report.def.caption);
        ReportRenderer::preparePage(writer, report.def);
        pages = renderer.render(writer);
    }
    if (pages == 0)
        throw ServiceError(
            ServiceError::InvalidCall,
            QStringLiteral("No se pudo componer el reporte «%1».").arg(report.def.caption),
            QStringLiteral("Reporte"));
    if (!file.commit())
        throw ServiceError(ServiceError::NotFound, file.message(), QStringLiteral("Reporte"));
    return pages;
}

void MolveraReportPrinter::writeCsv(const QString& path, const Prepared& report)
{
    ReportCsv::write(path, report.def, report.data);
}

void MolveraReportPrinter::preview(QWidget* parent, const Prepared& report)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(report.def.caption);
    printer.setCreator(QStringLiteral("Molvera"));
    ReportRenderer::preparePage(printer, report.def);
    QPrintPreviewDialog dlg(&printer, parent);
    dlg.setObjectName(QStringLiteral("reportPreview"));
    dlg.setWindowTitle(QStringLiteral("%1 - vista previa").arg(report.def.caption));
    QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, &dlg, [&](QPrinter* p) {
        ReportRenderer renderer(report.def, report.data, report.formulas, report.selection,
                                report.printedAt);
        m_lastPages = renderer.render(*p);
    });
    addSaveAction(dlg, report);
    routePrintAction(dlg, printer, report);
    Dialogs::instance().exec(&dlg);
}

void MolveraReportPrinter::routePrintAction(QPrintPreviewDialog& dlg, QPrinter& printer,
                                            const Prepared& report)
{
    // The preview's own print button would open Qt's print dialog; it opens
    // the program's instead.
    const QString caption = QCoreApplication::translate("QPrintPreviewDialog", "Print");
    QAction* print = nullptr;
    for (QToolBar* bar : dlg.findChildren<QToolBar*>())
        for (QAction* a : bar->actions())
            if (a->text() == caption || a->text() == QLatin1String("Print")) print = a;
    if (!print) return;
    print->setObjectName(QStringLiteral("printAction"));
    QObject::disconnect(print, nullptr, &dlg, nullptr);
    QObject::connect(print, &QAction::triggered, &dlg, [this, &dlg, &printer, &report] {
        try {
            if (printWithDialog(&dlg, printer, report)) dlg.accept();
        } catch (const ServiceError& e) {
            Dialogs::instance().message(&dlg, QStringLiteral("Aviso al operador"), e.description(),
                                        Dialogs::Icon::Exclamation);
        }
    });
}

void MolveraReportPrinter::addSaveAction(QPrintPreviewDialog& dlg, const Prepared& report)
{
    QToolBar* bar = dlg.findChild<QToolBar*>();
    if (!bar) return;
    bar->addSeparator();
    QAction* save = bar->addAction(QStringLiteral("Guardar PDF..."));
    save->setObjectName(QStringLiteral("savePdf"));
    save->setToolTip(QStringLiteral("Guardar el reporte en un archivo PDF"));
    QObject::connect(save, &QAction::triggered, &dlg, [this, &dlg, &report] {
        const auto chosen = Dialogs::instance().saveFileName(
            &dlg, QStringLiteral("Guardar reporte en PDF"),
            QDir::home().filePath(report.def.caption + QStringLiteral(".pdf")),
            QStringLiteral("PDF (*.pdf)"));
        if (!chosen || chosen->trimmed().isEmpty()) return;
        const QString path = *chosen;
        try {
            m_lastPages = writePdf(path, report);
        } catch (const ServiceError& e) {
            Dialogs::instance().message(&dlg, QStringLiteral("Aviso al operador"), e.description(),
                                        Dialogs::Icon::Exclamation);
        }
    });
}

bool MolveraReportPrinter::printWithDialog(QWidget* parent, QPrinter& printer,
                                           const Prepared& report)
{
    PrintDialog dlg(&printer, parent);
    if (Dialogs::instance().exec(&dlg) != QDialog::Accepted) return false;
    if (!dlg.fileName().isEmpty()) {
        // A file: written as "Guardar PDF" writes it, whole or not at all.
        m_lastPages = writePdf(dlg.fileName(), report);
        return true;
    }
    ReportRenderer renderer(report.def, report.data, report.formulas, report.selection,
                            report.printedAt);
    m_lastPages = renderer.render(printer);
    if (m_lastPages == 0)
        throw ServiceError(
            ServiceError::InvalidCall,
            QStringLiteral("No se pudo imprimir el reporte «%1».").arg(report.def.caption),
            QStringLiteral("Reporte"));
    return true;
}

void MolveraReportPrinter::printNow(QWidget* parent, const Prepared& report)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(report.def.caption);
    printer.setCreator(QStringLiteral("Molvera"));
    ReportRenderer::preparePage(printer, report.def);
    if (option(1)) {
        printWithDialog(parent, printer, report);
        return;
    }
    ReportRenderer renderer(report.def, report.data, report.formulas, report.selection,
                            report.printedAt);
    m_lastPages = renderer.render(printer);
    if (m_lastPages == 0)
        throw ServiceError(
            ServiceError::InvalidCall,
            QStringLiteral("No se pudo imprimir el reporte «%1».").arg(report.def.caption),
            QStringLiteral("Reporte"));
}
