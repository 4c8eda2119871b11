#include "LookupColumns.h"

#include "Twips.h"

#include <QFontMetrics>
#include <QRegularExpression>
#include <algorithm>

QStringList LookupColumns::sources(const QString& sql)
{
    static const QRegularExpression source(
        QStringLiteral(
            R"re(\b(?:from|join)\s+((?:(?:\[[^\]]+\]|"[^"]+"|[A-Za-z_][\w$]*)\s*\.\s*)*))re"
            R"re((\[[^\]]+\]|"[^"]+"|[A-Za-z_][\w$]*))re"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList out;
    for (auto it = source.globalMatch(sql); it.hasNext();) {
        QString name = it.next().captured(2);
        if (name.startsWith(u'[') || name.startsWith(u'"')) name = name.mid(1, name.size() - 2);
        if (!out.contains(name, Qt::CaseInsensitive)) out << name;
    }
    return out;
}

int LookupColumns::measure(const RecordSet::Field& field, const QHash<QString, int>& declared)
{
    int w = field.definedSize;
    if (!field.declared) w = declared.value(field.name.trimmed().toLower(), w);
    return std::clamp(w, 1, MaxMeasure);
}

int LookupColumns::minimumSearchBox(const QFontMetrics& fm)
{
    return fm.horizontalAdvance(QString(6, u'X')) + 30;
}

int LookupColumns::width(int measure, const QString& header, const QFontMetrics& listFont,
                         const QFontMetrics& headerFont, int cellMargin)
{
    const int text = listFont.horizontalAdvance(QString(measure, u'X')) + cellMargin;
    // The header's margins and the room its sort mark takes once sorted.
    const int head = headerFont.horizontalAdvance(header) + 2 * cellMargin + 20;
    const int box = minimumSearchBox(listFont) + Twips::toPx(50);
    return std::max({text, head, box});
}
