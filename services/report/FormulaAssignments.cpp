#include "FormulaAssignments.h"

FormulaAssignments::FormulaAssignments(const QStringList& assignments)
{
    for (const QString& a : assignments) {
        QString name, value;
        if (split(a, name, value)) m_values.insert(name.toUpper(), value);
    }
}

bool FormulaAssignments::split(const QString& assignment, QString& name, QString& value)
{
    const qsizetype eq = assignment.indexOf(u'=');
    if (eq < 0) return false;
    name = assignment.left(eq).trimmed();
    if (name.isEmpty()) return false;
    const QString rest = assignment.mid(eq + 1).trimmed();
    if (rest.size() >= 2 && (rest.front() == u'\'' || rest.front() == u'"') &&
        rest.back() == rest.front()) {
        value = rest.mid(1, rest.size() - 2);
    } else {
        value = rest;
    }
    return true;
}

bool FormulaAssignments::contains(const QString& name) const
{
    return m_values.contains(name.trimmed().toUpper());
}

QString FormulaAssignments::value(const QString& name) const
{
    return m_values.value(name.trimmed().toUpper());
}

QString FormulaAssignments::expand(const QString& text) const
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype open = text.indexOf(u'{', i);
        if (open < 0) break;
        const qsizetype close = text.indexOf(u'}', open + 1);
        if (close < 0) break;
        out += text.mid(i, open - i);
        const QString name = text.mid(open + 1, close - open - 1);
        out += contains(name) ? value(name) : text.mid(open, close - open + 1);
        i = close + 1;
    }
    out += text.mid(i);
    return out;
}
