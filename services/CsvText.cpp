#include "CsvText.h"

#include "OutputFile.h"

#include <QRegularExpression>

bool CsvText::looksLikeFormula(const QString& text)
{
    if (text.isEmpty()) return false;
    const QChar c = text.at(0);
    if (c != u'=' && c != u'+' && c != u'-' && c != u'@' && c != u'\t' && c != u'\r') return false;
    // A signed number as the sheet and the report print it ("-3", "-1.234,5",
    // "+0.5") is a number to the spreadsheet too.
    static const QRegularExpression number(QStringLiteral("^[-+]\\d[\\d.,]*$"));
    return !number.match(text).hasMatch();
}

QString CsvText::field(const QString& text, QChar sep)
{
    QString t = looksLikeFormula(text) ? u'\'' + text : text;
    const bool quote = t.contains(sep) || t.contains(u'"') || t.contains(u'\n') ||
                       t.contains(u'\r') || t != t.trimmed() || t.size() != text.size();
    if (!quote) return t;
    t.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + t + u'"';
}

bool CsvText::writeFile(const QString& path, const QByteArray& bytes, QString* error)
{
    return OutputFile::write(path, bytes, error);
}
