#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <QVector>

class DataService;
class ReportDefinition;
class SelectionFormula;
class SqlDialect;
class RecordSet;

// The rows of a report, read once from the database, with the groups by day
// and the totals of the summed columns. Sums are kept in thousandths so
// that totals are exact for tonnes with kilograms.
class ReportData
{
public:
    struct Group {
        QDate day;
        QString name; // grouped by name: the spelling it is printed under
        int first = 0;
        int count = 0;        // rows listed
        int loads = 0;        // of them, loads (see loadCount)
        int missing = 0;      // loads without the definition's "missing" value
        QVector<qint64> sums; // per column, in thousandths
    };

    // The statement the rows are read with (house form, placeholders).
    static QString statement(const ReportDefinition& def, const QString& where,
                             const SqlDialect& dialect);
    // Reads the rows that the formula selects. Raises ServiceError.
    static ReportData read(DataService& data, const ReportDefinition& def,
                           const SelectionFormula& formula);
    // Builds the groups and totals over rows already read.
    static ReportData fromRecordSet(const ReportDefinition& def, const RecordSet& rs);

    // Rows listed: a row with nothing entered beside its date (no tonnes,
    // no reading, no text; every new day starts with two such rows) is no
    // truckload and is left out.
    int rowCount() const { return int(m_rows.size()); }
    // Loads: listed rows with tonnes (the first summed column above 0), as the
    // day totals band counts trucks; every listed row when no column is summed.
    int loadCount() const { return m_loads; }
    // Loads without the value of the definition's "missing" column.
    int missingCount() const { return m_missing; }
    const QVector<QVariant>& row(int i) const { return m_rows.at(i); }
    const QVector<Group>& groups() const { return m_groups; }
    int columnCount() const { return m_columns; }
    // The overall total of a column (0 for columns that are not summed).
    double total(int column) const;
    double groupTotal(int group, int column) const;

    // A value shown in its column's format: dates in the short form,
    // numbers in the locale's form with the column's decimals.
    static QString format(const ReportDefinition& def, int column, const QVariant& value);
    static QString formatNumber(double value, int decimals);
    QString cellText(const ReportDefinition& def, int row, int column) const;

private:
    // Grouped by name: the rows in groups of one name each, by name.
    void groupByName(const ReportDefinition& def, int groupCol, int loadCol);

    int m_columns = 0;
    QVector<QVector<QVariant>> m_rows;
    QVector<Group> m_groups;
    QVector<qint64> m_totals;
    int m_loads = 0;
    int m_missing = 0;
};
