#pragma once

#include "FormulaAssignments.h"
#include "ReportData.h"
#include "ReportDefinition.h"
#include "ReportPrinter.h"
#include "SelectionFormula.h"

#include <QDateTime>

class DataService;
class QPrintPreviewDialog;
class QPrinter;

// The program's report engine. It finds the definition "<name>.json" in the
// "reports" folder under its base folder (or in the base folder itself),
// turns the selection formula into a parameterised WHERE clause, reads the
// rows through the program's data service and lays the report out with Qt.
// The connection text of a request is not used for a connection of its own:
// the rows come through the program's one connection.
//
// Options: first = print preview, from which the operator prints or saves a
// PDF; otherwise printed at once, after the print dialog when the second
// option is set (the program's PrintDialog, also from the preview). With an
// output file set, print() writes that file instead
// (".csv": the rows as CSV; anything else: PDF) and shows nothing.
class MolveraReportPrinter : public ReportPrinter
{
public:
    explicit MolveraReportPrinter(DataService& data);

    void print(QWidget* parent, const Request& request) override;

    void setOutputFile(const QString& path) { m_outputFile = path; }
    QString outputFile() const { return m_outputFile; }

    // Where the definition of a report is looked for (the first existing
    // candidate, or the first candidate when none exists).
    QString definitionPath(const QString& reportName) const;

    // A request read and ready to be laid out.
    struct Prepared {
        ReportDefinition def;
        SelectionFormula formula;
        ReportData data;
        FormulaAssignments formulas;
        QString selection; // in words
        QDateTime printedAt;
    };
    // Loads the definition, reads the formula and the rows. Raises
    // ServiceError naming the file, the formula fault or the database error.
    Prepared prepare(const Request& request) const;

    // Writes the report as PDF; answers the number of pages.
    static int writePdf(const QString& path, const Prepared& report);
    static void writeCsv(const QString& path, const Prepared& report);

    // Pages of the last report laid out (PDF or preview).
    int lastPageCount() const { return m_lastPages; }

private:
    void preview(QWidget* parent, const Prepared& report);
    void printNow(QWidget* parent, const Prepared& report);
    void addSaveAction(QPrintPreviewDialog& dlg, const Prepared& report);
    void routePrintAction(QPrintPreviewDialog& dlg, QPrinter& printer, const Prepared& report);
    // The program's print dialog (PrintDialog), then the report printed or
    // written to the PDF file chosen; false when the operator cancelled.
    bool printWithDialog(QWidget* parent, QPrinter& printer, const Prepared& report);

    DataService& m_data;
    QString m_outputFile;
    int m_lastPages = 0;
};
