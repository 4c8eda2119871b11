#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Prints a report definition with a selection formula and formula
// assignments. The engine behind it is installed at start-up.
class ReportPrinter
{
public:
    struct Request {
        QString reportName;
        QStringList parameters;
        QString selectionFormula;
        QString connection;
        QStringList formulas; // "name = 'value'" assignments
    };

    virtual ~ReportPrinter() = default;
    virtual void setBaseFolder(const QString& folder) { m_baseFolder = folder; }
    QString baseFolder() const { return m_baseFolder; }
    // The three options, set in this order before printing: first = show a
    // preview (instead of printing at once), second = let the operator choose
    // the printer, third = export without asking.
    virtual void setOptions(bool first, bool second, bool third)
    {
        m_options[0] = first;
        m_options[1] = second;
        m_options[2] = third;
    }
    bool option(int i) const { return m_options[i]; }
    // Produces the report. Raises ServiceError when the definition is missing
    // or broken, the formula cannot be read or the data cannot be read.
    virtual void print(QWidget* parent, const Request& request) = 0;

private:
    QString m_baseFolder;
    bool m_options[3] = {true, true, false};
};
