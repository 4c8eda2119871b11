#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

// Fields and files of the CSV exports (the sheet and the report). A text that
// a spreadsheet would take as a formula (it begins with "=", "+", "-", "@", a
// tab or a carriage return and is no number) is written after an apostrophe,
// so that it shows as the text it is; numbers stay numbers.
class CsvText
{
public:
    // The field as written: guarded against formulas, and quoted when it holds
    // the separator, a quote, a line break or blanks at either end.
    static QString field(const QString& text, QChar sep);
    // True when a spreadsheet would read the text as a formula.
    static bool looksLikeFormula(const QString& text);
    // Writes the bytes to the file through a temporary file that replaces it
    // only when every byte is on disk (OutputFile). False, with the sentence
    // that says why in `error`, when the file is one of the database's or any
    // write, the flush or the replacement failed (a full disk, a folder that
    // cannot be written); the file is then left as it was.
    static bool writeFile(const QString& path, const QByteArray& bytes, QString* error);
};
