#pragma once

#include "DataService.h"

#include <QCryptographicHash>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QtTest>

// Texts no operator should type and every one of them might: quotes,
// statement fragments, comment markers, very long and control texts,
// right-to-left text and numbers the parsers may take the wrong way.
namespace Hostile
{

struct Input {
    const char* name;
    QString text;
};

inline QString longText()
{
    QString s;
    s.reserve(10000);
    for (int i = 0; s.size() < 10000; ++i) s += QStringLiteral("Trigo%1 ").arg(i % 10);
    return s.left(10000);
}

// The decoding of bytes that are no UTF-8 (a lone continuation byte, an
// overlong form, a cut sequence), as the program receives them.
inline QString fromInvalidUtf8()
{
    return QString::fromUtf8("A\x80\xc3(\xff\xfe\xe2\x82 Z");
}

inline QList<Input> inputs()
{
    return {
        {"apostrophe", QStringLiteral("O'Higgins")},
        {"lone quote", QStringLiteral("'")},
        {"double quotes", QStringLiteral("\"\"x\"")},
        {"semicolons", QStringLiteral(";;a;b;")},
        {"comment dash", QStringLiteral("x -- y")},
        {"comment block", QStringLiteral("/* x */ y")},
        {"drop table", QStringLiteral("'; DROP TABLE mv_molvera; --")},
        {"or true", QStringLiteral("x' OR '1'='1")},
        {"brackets", QStringLiteral("[ID]] = 1 ? %_ \\")},
        {"long 10000", longText()},
        {"control chars", QStringLiteral("a\tb\x01" "c\x1b" "d\x7f" "e") + QChar(0x85) + u'f'},
        {"newline", QStringLiteral("uno\r\ndos")},
        {"nul char", QStringLiteral("ab") + QChar(0) + QStringLiteral("cd")},
        {"invalid utf8", fromInvalidUtf8()},
        {"right to left", QString::fromUtf8("\u202e\u05e9\u05dc\u05d5\u05dd \u0645\u0631\u062d\u0628\u0627\u202c")},
        {"surrogate pair", QString::fromUtf8("\xf0\x9f\x8c\xbe trigo")},
        {"accents", QString::fromUtf8("Ñandú Córdoba")},
        {"1e308", QStringLiteral("1e308")},
        {"1e309", QStringLiteral("1e309")},
        {"minus zero", QStringLiteral("-0")},
        {"NaN", QStringLiteral("NaN")},
        {"inf", QStringLiteral("inf")},
        {"12,5,3", QStringLiteral("12,5,3")},
        {"12.5.3", QStringLiteral("12.5.3")},
        {"hex", QStringLiteral("0x1F")},
        {"blanks", QStringLiteral("   ")},
    };
}

// Every table of the embedded database, row by row, and the schema itself.
class Snapshot
{
public:
    static Snapshot take(DataService& data)
    {
        Snapshot s;
        QSqlDatabase db = data.database();
        QStringList tables;
        {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                       "ORDER BY name")))
                qFatal("snapshot: %s", qPrintable(q.lastError().text()));
            while (q.next()) tables << q.value(0).toString();
        }
        tables << QStringLiteral("sqlite_master");
        for (const QString& t : tables) {
            QSqlQuery q(db);
            const QString sql = t == QLatin1String("sqlite_master")
                                    ? QStringLiteral("SELECT rowid, type, name, tbl_name, sql "
                                                     "FROM sqlite_master")
                                    : QStringLiteral("SELECT rowid, * FROM \"%1\"").arg(t);
            if (!q.exec(sql)) qFatal("snapshot %s: %s", qPrintable(t), qPrintable(q.lastError().text()));
            QMap<qint64, QMap<QString, QString>>& rows = s.m_tables[t];
            const QSqlRecord rec = q.record();
            while (q.next()) {
                QMap<QString, QString> row;
                for (int i = 1; i < rec.count(); ++i) row[rec.fieldName(i).toLower()] = render(q.value(i));
                rows.insert(q.value(0).toLongLong(), row);
            }
        }
        return s;
    }

    int rowCount(const QString& table) const { return int(m_tables.value(table).size()); }
    QStringList tables() const { return m_tables.keys(); }
    QByteArray checksum(const QString& table) const
    {
        QCryptographicHash h(QCryptographicHash::Sha1);
        const auto rows = m_tables.value(table);
        for (auto r = rows.cbegin(); r != rows.cend(); ++r) {
            h.addData(QByteArray::number(r.key()));
            for (auto c = r->cbegin(); c != r->cend(); ++c) h.addData((c.key() + u'=' + c.value() + u'\x1f').toUtf8());
        }
        return h.result().toHex();
    }

    // What changed from this snapshot to the later one: "table:rowid:column"
    // for a changed value, "table:+rowid" for a new row, "table:-rowid" for
    // a row that went away.
    QStringList changesTo(const Snapshot& later) const
    {
        QStringList out;
        QStringList names = tables();
        for (const QString& t : later.tables())
            if (!names.contains(t)) names << t;
        for (const QString& t : names) {
            const auto a = m_tables.value(t);
            const auto b = later.m_tables.value(t);
            if (!m_tables.contains(t)) out << t + QStringLiteral(":created");
            if (!later.m_tables.contains(t)) out << t + QStringLiteral(":dropped");
            for (auto r = a.cbegin(); r != a.cend(); ++r) {
                if (!b.contains(r.key())) {
                    out << QStringLiteral("%1:-%2").arg(t).arg(r.key());
                    continue;
                }
                const auto& other = b[r.key()];
                for (auto c = r->cbegin(); c != r->cend(); ++c)
                    if (other.value(c.key()) != c.value())
                        out << QStringLiteral("%1:%2:%3").arg(t).arg(r.key()).arg(c.key());
            }
            for (auto r = b.cbegin(); r != b.cend(); ++r)
                if (!a.contains(r.key())) out << QStringLiteral("%1:+%2").arg(t).arg(r.key());
        }
        return out;
    }

    QString value(const QString& table, qint64 rowid, const QString& column) const
    {
        return m_tables.value(table).value(rowid).value(column.toLower());
    }

    static QString render(const QVariant& v)
    {
        if (v.isNull()) return QStringLiteral("<null>");
        if (v.metaType().id() == QMetaType::Double)
            return QStringLiteral("r:") + QString::number(v.toDouble(), 'g', 17);
        if (v.metaType().id() == QMetaType::QByteArray)
            return QStringLiteral("b:") + QString::fromLatin1(v.toByteArray().toHex());
        return v.metaType().name() + QStringLiteral(":") + v.toString();
    }

private:
    QMap<QString, QMap<qint64, QMap<QString, QString>>> m_tables;
};

// The silo totals table holds what the intake rows add up to.
inline bool siloTotalsConsistent(DataService& data, QString* detail = nullptr)
{
    QSqlQuery q(data.database());
    if (!q.exec(QStringLiteral(
            "SELECT COUNT(*) FROM (SELECT silodestino, SUM(CAST(ROUND(Toneladas * 1000000) AS "
            "INTEGER)) AS k, COUNT(Toneladas) AS n FROM mv_molvera WHERE silodestino IS NOT "
            "NULL AND Toneladas IS NOT NULL GROUP BY silodestino) AS r LEFT JOIN "
            "mv_molvera_silo_total t ON t.silodestino = r.silodestino WHERE t.gramos IS NULL OR "
            "t.gramos <> r.k OR t.cargas <> r.n")) ||
        !q.next()) {
        if (detail) *detail = q.lastError().text();
        return false;
    }
    if (detail) *detail = QStringLiteral("%1 silos differ").arg(q.value(0).toInt());
    return q.value(0).toInt() == 0;
}

} // namespace Hostile
