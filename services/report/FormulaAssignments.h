#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The formula assignments handed with a report, "name = 'value'". The value
// is everything between the first quote after "=" and the last quote of the
// assignment, so a value that itself holds an apostrophe ("O'Higgins") is
// kept as written. Names compare without regard to case.
class FormulaAssignments
{
public:
    FormulaAssignments() = default;
    explicit FormulaAssignments(const QStringList& assignments);

    bool contains(const QString& name) const;
    QString value(const QString& name) const;
    // Replaces every {name} in the text by the value of that formula; unknown
    // names are left as they stand.
    QString expand(const QString& text) const;

    // One assignment split into its name and value; false when it has no "=".
    static bool split(const QString& assignment, QString& name, QString& value);

private:
    QHash<QString, QString> m_values; // keyed by the upper-case name
};
