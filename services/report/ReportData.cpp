#include "ReportData.h"

#include "DataService.h"
#include "DateText.h"
#include "RecordSet.h"
#include "ReportDefinition.h"
#include "SelectionFormula.h"
#include "ServiceError.h"
#include "TextFold.h"

#include <QLocale>
#include <QStringList>
#include <cmath>

namespace
{

qint64 thousandths(const QVariant& v)
{
    if (v.isNull()) return 0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d)) return 0;
    return qRound64(d * 1000.0);
}

// The day of a stored date-time. The stored text form "yyyy-MM-dd ..." is
// read directly: going through a local date-time costs a time-zone lookup
// per value, which a month's report cannot afford.
QDate dayOf(const QVariant& v)
{
    if (v.metaType().id() == QMetaType::QString) {
        const QString s = v.toString();
        if (s.size() >= 10 && s.at(4) == u'-' && s.at(7) == u'-') {
            const QDate d = QDate::fromString(QStringView(s).left(10), Qt::ISODate);
            if (d.isValid()) return d;
        }
    }
    return DataService::toDateTime(v).date();
}

// True when the value holds something an operator entered: a text that is not
// blank, a number that is not 0 (an emptied number cell stores 0).
bool entered(const QVariant& v)
{
    if (v.isNull()) return false;
    switch (v.metaType().id()) {
    case QMetaType::QString:
        return !v.toString().trimmed().isEmpty();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return v.toDouble() != 0.0;
    default:
        return true;
    }
}

} // namespace

QString ReportData::statement(const ReportDefinition& def, const QString& where,
                              const SqlDialect& dialect)
{
    QStringList cols;
    for (const auto& c : def.columns)
        cols << dialect.quoteIdentifier(c.field);
    QStringList order;
    if (!def.groupField.isEmpty() && !def.groupByName) order << def.groupField;
    for (const QString& o : def.order)
        if (!order.contains(o, Qt::CaseInsensitive)) order << o;
    for (QString& o : order)
        o = dialect.quoteIdentifier(o);
    QString sql = QStringLiteral("SELECT %1 FROM %2")
                      .arg(cols.join(QStringLiteral(", ")), dialect.quoteIdentifier(def.source));
    if (!where.isEmpty()) sql += QStringLiteral(" WHERE ") + where;
    if (!order.isEmpty()) sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    return sql;
}

ReportData ReportData::read(DataService& data, const ReportDefinition& def,
                            const SelectionFormula& formula)
{
    const SelectionFormula::Where w = formula.toWhere(def, data.dialect());
    const RecordSet rs = data.openRecordSet(statement(def, w.sql, data.dialect()), w.params);
    return fromRecordSet(def, rs);
}

ReportData ReportData::fromRecordSet(const ReportDefinition& def, const RecordSet& rs)
{
    ReportData r;
    r.m_columns = int(def.columns.size());
    r.m_totals.fill(0, r.m_columns);
    // Columns of the record set by the definition's order.
    QVector<int> at(r.m_columns);
    for (int c = 0; c < r.m_columns; ++c) {
        at[c] = rs.indexOf(def.columns.at(c).field);
        if (at[c] < 0)
            throw ServiceError(
                ServiceError::InvalidCall,
                QStringLiteral("La vista %1 no devuelve la columna %2 del reporte «%3».")
                    .arg(def.source, def.columns.at(c).field, def.caption),
                QStringLiteral("Reporte"));
    }
    const int groupCol = def.groupField.isEmpty() ? -1 : def.columnIndex(def.groupField);
    const int dateCol = def.columnIndex(QStringLiteral("Fecha"));
    const int missingCol = def.missingField.isEmpty() ? -1 : def.columnIndex(def.missingField);
    int loadCol = -1; // the first summed column (tonnes)
    for (int c = 0; c < r.m_columns && loadCol < 0; ++c)
        if (def.columns.at(c).sum) loadCol = c;
    r.m_rows.reserve(rs.recordCount());
    for (const auto& src : rs.rows()) {
        QVector<QVariant> row(r.m_columns);
        bool blank = true;
        for (int c = 0; c < r.m_columns; ++c) {
            row[c] = src.at(at[c]);
            if (blank && c != groupCol && c != dateCol && entered(row.at(c))) blank = false;
        }
        if (blank) continue;
        const bool load = loadCol < 0 || thousandths(row.at(loadCol)) > 0;
        if (load) ++r.m_loads;
        const bool missing = load && missingCol >= 0 && row.at(missingCol).isNull();
        if (missing) ++r.m_missing;
        const int index = int(r.m_rows.size());
        if (groupCol >= 0 && !def.groupByName) {
            const QDate day = dayOf(row.at(groupCol));
            if (r.m_groups.isEmpty() || r.m_groups.back().day != day) {
                Group g;
                g.day = day;
                g.first = index;
                g.sums.fill(0, r.m_columns);
                r.m_groups.push_back(g);
            }
            ++r.m_groups.back().count;
            if (load) ++r.m_groups.back().loads;
            if (missing) ++r.m_groups.back().missing;
        }
        for (int c = 0; c < r.m_columns; ++c) {
            if (!def.columns.at(c).sum) continue;
            const qint64 v = thousandths(row.at(c));
            r.m_totals[c] += v;
            if (groupCol >= 0 && !def.groupByName) r.m_groups.back().sums[c] += v;
        }
        r.m_rows.push_back(std::move(row));
    }
    if (groupCol >= 0 && def.groupByName) r.groupByName(def, groupCol, loadCol);
    return r;
}

void ReportData::groupByName(const ReportDefinition& def, int groupCol, int loadCol)
{
    struct Name {
        QHash<QString, int> spellings; // how many rows wrote it so
        QStringList order;             // the spellings in the order read
        QVector<int> rows;
    };
    QHash<QString, Name> names;
    for (int i = 0; i < m_rows.size(); ++i) {
        const QVariant& v = m_rows.at(i).at(groupCol);
        const QString spelling = v.isNull() ? QString() : v.toString().trimmed();
        Name& n = names[TextFold::nameKey(spelling)];
        if (!n.spellings.contains(spelling)) n.order << spelling;
        ++n.spellings[spelling];
        n.rows << i;
    }
    QStringList keys = names.keys();
    std::sort(keys.begin(), keys.end());
    const int missingCol = def.missingField.isEmpty() ? -1 : def.columnIndex(def.missingField);
    QVector<int> carry;
    for (const QString& c : def.groupCarry)
        carry << def.columnIndex(c);
    QVector<QVector<QVariant>> rows;
    rows.reserve(m_rows.size());
    m_groups.clear();
    for (const QString& key : std::as_const(keys)) {
        const Name& n = names.value(key);
        QString printed = n.order.first();
        for (const QString& s : n.order)
            if (n.spellings.value(s) > n.spellings.value(printed)) printed = s;
        Group g;
        g.name = printed;
        g.first = int(rows.size());
        g.sums.fill(0, m_columns);
        QVector<QVariant> carried(carry.size());
        for (int i : n.rows)
            for (int k = 0; k < carry.size(); ++k)
                if (carried.at(k).isNull() && entered(m_rows.at(i).at(carry.at(k))))
                    carried[k] = m_rows.at(i).at(carry.at(k));
        for (int i : n.rows) {
            QVector<QVariant> row = m_rows.at(i);
            row[groupCol] = printed.isEmpty() ? QVariant() : QVariant(printed);
            for (int k = 0; k < carry.size(); ++k)
                row[carry.at(k)] = carried.at(k);
            ++g.count;
            const bool load = loadCol < 0 || thousandths(row.at(loadCol)) > 0;
            if (load) ++g.loads;
            if (load && missingCol >= 0 && row.at(missingCol).isNull()) ++g.missing;
            for (int c = 0; c < m_columns; ++c)
                if (def.columns.at(c).sum) g.sums[c] += thousandths(row.at(c));
            rows.push_back(std::move(row));
        }
        m_groups.push_back(g);
    }
    m_rows = std::move(rows);
}

double ReportData::total(int column) const
{
    return column >= 0 && column < m_totals.size() ? double(m_totals.at(column)) / 1000.0 : 0.0;
}

double ReportData::groupTotal(int group, int column) const
{
    const Group& g = m_groups.at(group);
    return column >= 0 && column < g.sums.size() ? double(g.sums.at(column)) / 1000.0 : 0.0;
}

QString ReportData::formatNumber(double value, int decimals)
{
    return QLocale().toString(value, 'f', decimals);
}

QString ReportData::format(const ReportDefinition& def, int column, const QVariant& value)
{
    if (value.isNull()) return {};
    const ReportDefinition::Column& c = def.columns.at(column);
    switch (c.format) {
    case ReportDefinition::Format::Text:
        return value.toString();
    case ReportDefinition::Format::Date: {
        const QDate d = dayOf(value);
        return d.isValid() ? DateText::format(d) : value.toString();
    }
    case ReportDefinition::Format::DateTime: {
        const QDateTime dt = DataService::toDateTime(value);
        return dt.isValid() ? DateText::format(dt.date()) + dt.toString(QStringLiteral(" HH:mm"))
                            : value.toString();
    }
    case ReportDefinition::Format::Number: {
        bool ok = false;
        const double d = value.toDouble(&ok);
        return ok ? formatNumber(d, c.decimals) : value.toString();
    }
    }
    return value.toString();
}

QString ReportData::cellText(const ReportDefinition& def, int row, int column) const
{
    return format(def, column, m_rows.at(row).at(column));
}
