#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVector>

class ReportDefinition;
class SqlDialect;

// A selection formula in the report notation, for instance
//   {V_MV_MOLVERA.FECHA} >= Date(2024,3,15) AND  {V_MV_MOLVERA.FECHA} <= Date(2024,3,31)
// Comparisons (=, <>, <, <=, >, >=) of a field with a Date(y,m,d), a number
// or a quoted text, joined by AND. An empty formula selects every row.
class SelectionFormula
{
public:
    enum class Op { Eq, Ne, Lt, Le, Gt, Ge };

    struct Condition {
        QString table;
        QString field;
        Op op = Op::Eq;
        QVariant value; // QDate, double or QString
    };

    // Parses the formula. Raises ServiceError (InvalidCall) with the position
    // of the fault when the formula cannot be read.
    static SelectionFormula parse(const QString& formula);

    const QVector<Condition>& conditions() const { return m_conditions; }
    bool isEmpty() const { return m_conditions.isEmpty(); }

    struct Where {
        QString sql;         // "" or "a >= ? AND a < ?"
        QVariantList params; // in the order of the placeholders
    };
    // The WHERE clause (without the keyword) for the definition's source.
    // Fields are checked against the definition and quoted for the database;
    // values are bound. A date compared with "=" means that whole day; dates
    // are bound as date-times of the day's start. Raises ServiceError when a
    // field or table is not the definition's.
    Where toWhere(const ReportDefinition& def, const SqlDialect& dialect) const;

    // The selection in the operator's words, e.g. "desde el 15/03/2024 hasta
    // el 31/03/2024"; empty when there is no condition.
    QString describe(const ReportDefinition& def) const;

private:
    QVector<Condition> m_conditions;
};
