#pragma once

#include <QDateTime>
#include <QString>

class FormulaAssignments;
class QPagedPaintDevice;
class ReportData;
class ReportDefinition;

// Lays a report out with QPainter on a paged device (a PDF writer, a printer
// or the print preview): on every page the title with the company name and
// the report name, the selection in words, the column headers and the page
// number; one line per row, a total line per day and the overall total.
class ReportRenderer
{
public:
    ReportRenderer(const ReportDefinition& def, const ReportData& data,
                   const FormulaAssignments& formulas, const QString& selection,
                   const QDateTime& printedAt);

    // Sets the definition's paper, orientation and margins on the device.
    static void preparePage(QPagedPaintDevice& device, const ReportDefinition& def);
    // Paints every page; answers the number of pages.
    int render(QPagedPaintDevice& device) const;

    // The texts of the title block, after the formulas are put in.
    QString title() const;
    QString subtitle() const;
    QString selectionLine() const;

private:
    const ReportDefinition& m_def;
    const ReportData& m_data;
    const FormulaAssignments& m_formulas;
    QString m_selection;
    QDateTime m_printedAt;
};
