#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

class FlexGrid;
class frmTrigo;

// The loaded sheet as a CSV file, as the grid shows it: one header line with
// the column captions, then one line per row, the numbers as the grid writes
// them. The locale's conventions: ";" between fields where the decimal
// separator is ",", else ","; fields with the separator, a quote, a line
// break or outer blanks in double quotes, quotes doubled; CRLF line ends;
// UTF-8 with a byte-order mark, so that spreadsheets open it right.
class SheetExport
{
public:
    explicit SheetExport(frmTrigo& w) : w(w) {}

    // The field separator for the current locale.
    static QChar separator();
    // One field, quoted when it needs it.
    static QString field(const QString& text, QChar sep);
    // The whole text of the sheet (without the byte-order mark).
    static QString csv(const FlexGrid& grid, QChar sep);
    // Writes the text to the file, with the byte-order mark. False, with the
    // reason, when the file could not be written.
    static bool write(const QString& path, const QString& text, QString* error);

    // Asks for the file name (save dialog) and writes the sheet there.
    // Answers true when a file was written.
    bool exportar();

private:
    frmTrigo& w;
};
