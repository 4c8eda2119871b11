#include "SqlScript.h"

#include <QRegularExpression>

QStringList SqlScript::split(const QString& script)
{
    QStringList out;
    QString cur;
    bool inLiteral = false;
    bool inDollar = false;
    bool inTrigger = false;
    int beginDepth = 0;

    auto flush = [&]() {
        const QString s = cur.trimmed();
        if (!s.isEmpty()) out << s;
        cur.clear();
        inTrigger = false;
        beginDepth = 0;
    };
    static const QRegularExpression triggerStart(
        QStringLiteral("^\\s*create\\s+(temp\\s+|temporary\\s+)?trigger\\b"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression word(QStringLiteral("[A-Za-z_]+"));

    const QStringList lines = script.split(u'\n');
    for (const QString& rawLine : lines) {
        if (!inLiteral && !inDollar && rawLine.trimmed().compare(QLatin1String("GO"),
                                                                 Qt::CaseInsensitive) == 0) {
            flush();
            continue;
        }
        QString line = rawLine;
        int i = 0;
        while (i < line.size()) {
            const QChar c = line.at(i);
            if (inLiteral) {
                cur += c;
                if (c == u'\'') inLiteral = false;
                ++i;
                continue;
            }
            if (inDollar) {
                if (line.mid(i, 2) == QLatin1String("$$")) {
                    cur += QStringLiteral("$$");
                    inDollar = false;
                    i += 2;
                } else {
                    cur += c;
                    ++i;
                }
                continue;
            }
            if (line.mid(i, 2) == QLatin1String("--")) break; // comment to end of line
            if (c == u'\'') {
                inLiteral = true;
                cur += c;
                ++i;
                continue;
            }
            if (line.mid(i, 2) == QLatin1String("$$")) {
                inDollar = true;
                cur += QStringLiteral("$$");
                i += 2;
                continue;
            }
            if (c.isLetter() || c == u'_') {
                auto m = word.match(line, i, QRegularExpression::NormalMatch,
                                    QRegularExpression::AnchorAtOffsetMatchOption);
                const QString w = m.captured(0).toUpper();
                if (inTrigger) {
                    if (w == QLatin1String("BEGIN") || w == QLatin1String("CASE")) ++beginDepth;
                    else if (w == QLatin1String("END")) --beginDepth;
                }
                cur += m.captured(0);
                i += m.capturedLength();
                if (!inTrigger && triggerStart.match(cur).hasMatch()) inTrigger = true;
                continue;
            }
            if (c == u';' && (!inTrigger || beginDepth <= 0)) {
                flush();
                ++i;
                continue;
            }
            cur += c;
            ++i;
        }
        cur += u'\n';
    }
    flush();
    return out;
}
