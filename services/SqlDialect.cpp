#include "SqlDialect.h"

#include "TextFold.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

bool isPlainIdentifier(const QString& name)
{
    if (name.isEmpty() || name.at(0).isDigit()) return false;
    for (QChar c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'_') return false;
    }
    return true;
}

// Splits a statement into pieces outside and inside single-quoted literals, so
// that rewrites apply to the statement text only.
template <typename F>
QString mapOutsideLiterals(const QString& sql, F&& rewrite)
{
    QString out;
    QString chunk;
    bool inLiteral = false;
    for (int i = 0; i < sql.size(); ++i) {
        QChar c = sql.at(i);
        if (!inLiteral) {
            if (c == u'\'') {
                out += rewrite(chunk);
                chunk.clear();
                inLiteral = true;
                out += c;
            } else {
                chunk += c;
            }
        } else {
            out += c;
            if (c == u'\'') {
                if (i + 1 < sql.size() && sql.at(i + 1) == u'\'') {
                    out += sql.at(++i);
                } else {
                    inLiteral = false;
                }
            }
        }
    }
    if (inLiteral) {
        out += chunk; // unterminated literal: leave as is, the database reports it
    } else {
        out += rewrite(chunk);
    }
    return out;
}

} // namespace

QString SqlDialect::name() const
{
    switch (m_kind) {
    case Kind::SQLite: return QStringLiteral("SQLite");
    case Kind::PostgreSQL: return QStringLiteral("PostgreSQL");
    case Kind::SqlServer: return QStringLiteral("SQL Server");
    }
    return {};
}

QString SqlDialect::foldedLike(const QString& column) const
{
    switch (m_kind) {
    case Kind::SQLite:
        // The connection's own function (registered with the connection).
        return QStringLiteral("molvera_pliegue(%1) LIKE ?").arg(column);
    case Kind::PostgreSQL:
        // The accented letters mapped to their plain ones, then lower case.
        return QStringLiteral("lower(translate(CAST(%1 AS text), '%2', '%3')) LIKE ?")
            .arg(column, TextFold::mapFrom(), TextFold::mapTo());
    case Kind::SqlServer:
        return QStringLiteral("CAST(%1 AS NVARCHAR(4000)) COLLATE Latin1_General_CI_AI LIKE ?")
            .arg(column);
    }
    return {};
}

QString SqlDialect::columnLengths() const
{
    switch (m_kind) {
    case Kind::SQLite:
        return QStringLiteral("SELECT name, type FROM pragma_table_info(?)");
    case Kind::PostgreSQL:
        return QStringLiteral("SELECT column_name, character_maximum_length "
                              "FROM information_schema.columns WHERE lower(table_name) = lower(?) "
                              "AND table_schema = ANY (current_schemas(false)) "
                              "AND character_maximum_length IS NOT NULL");
    case Kind::SqlServer:
        return QStringLiteral("SELECT COLUMN_NAME, CHARACTER_MAXIMUM_LENGTH "
                              "FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = ? "
                              "AND CHARACTER_MAXIMUM_LENGTH > 0");
    }
    return {};
}

QString SqlDialect::quoteIdentifier(const QString& name) const
{
    if (isPlainIdentifier(name)) return name;
    if (m_kind == Kind::SqlServer) {
        QString n = name;
        n.replace(u']', QStringLiteral("]]"));
        return u'[' + n + u']';
    }
    QString n = name;
    n.replace(u'"', QStringLiteral("\"\""));
    return u'"' + n + u'"';
}

QString SqlDialect::translate(const QString& sql) const
{
    static const QRegularExpression bracket(QStringLiteral("\\[([^\\]]*)\\]"));
    static const QRegularExpression asBefore(QStringLiteral("\\bas\\s*$"),
                                             QRegularExpression::CaseInsensitiveOption);
    auto quoteAlways = [](const QString& name) {
        QString n = name;
        n.replace(u'"', QStringLiteral("\"\""));
        return u'"' + n + u'"';
    };
    static const QRegularExpression top(QStringLiteral("^(\\s*select\\s+)top\\s+(\\d+)\\s+"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression deleteNoFrom(
        QStringLiteral("^(\\s*delete)\\s+(?!from\\b)([A-Za-z_\\[\\]\"][^\\s]*)"),
        QRegularExpression::CaseInsensitiveOption);

    // The house form is SQL Server's own: its statements go as written (a
    // bracketed reserved word or a "]]" inside brackets stays valid).
    if (m_kind == Kind::SqlServer) return sql;

    QString limit;
    QString out = mapOutsideLiterals(sql, [&](const QString& part) {
        QString p = part;
        // Bracketed names.
        QString rebuilt;
        qsizetype last = 0;
        auto it = bracket.globalMatch(p);
        while (it.hasNext()) {
            auto m = it.next();
            const QString before = p.mid(last, m.capturedStart() - last);
            rebuilt += before;
            // A caption given with AS keeps its letters as written: PostgreSQL
            // would fold an unquoted one to lower case.
            if (m_kind == Kind::PostgreSQL && asBefore.match(rebuilt).hasMatch())
                rebuilt += quoteAlways(m.captured(1));
            else
                rebuilt += quoteIdentifier(m.captured(1));
            last = m.capturedEnd();
        }
        rebuilt += p.mid(last);
        return rebuilt;
    });

    if (m_kind != Kind::SqlServer) {
        auto m = top.match(out);
        if (m.hasMatch()) {
            limit = m.captured(2);
            out = m.captured(1) + out.mid(m.capturedEnd());
        }
        auto d = deleteNoFrom.match(out);
        if (d.hasMatch()) {
            out = d.captured(1) + QStringLiteral(" FROM ") + d.captured(2) +
                  out.mid(d.capturedEnd());
        }
        if (!limit.isEmpty()) {
            QString trimmed = out.trimmed();
            if (trimmed.endsWith(u';')) trimmed.chop(1);
            out = trimmed + QStringLiteral(" LIMIT ") + limit;
        }
    }
    return out;
}

QString SqlDialect::insertTarget(const QString& viewOrTable) const
{
    if (m_kind != Kind::SQLite) return viewOrTable;
    const QString lower = viewOrTable.toLower();
    if (lower == QLatin1String("v_mv_molvera")) return QStringLiteral("mv_molvera");
    if (lower == QLatin1String("v_ta_deposito")) return QStringLiteral("ta_deposito");
    return viewOrTable;
}

QString SqlDialect::insertReturningId(const QString& table, const QStringList& columns,
                                      const QString& idColumn) const
{
    QStringList cols;
    QStringList marks;
    for (const QString& c : columns) {
        cols << quoteIdentifier(c);
        marks << QStringLiteral("?");
    }
    const QString target = insertTarget(table);
    switch (m_kind) {
    case Kind::SQLite:
        return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(target, cols.join(u','), marks.join(u','));
    case Kind::PostgreSQL:
        return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING %4")
            .arg(target, cols.join(u','), marks.join(u','), quoteIdentifier(idColumn));
    case Kind::SqlServer:
        // The intake table has triggers (silo totals), and SQL Server refuses
        // OUTPUT without INTO on a table with triggers: the id goes through a
        // table variable and is read back by the batch's one result.
        return QStringLiteral("SET NOCOUNT ON; DECLARE @nuevo TABLE (ID bigint); "
                              "INSERT INTO %1 (%2) OUTPUT INSERTED.%4 INTO @nuevo VALUES (%3); "
                              "SELECT ID FROM @nuevo")
            .arg(target, cols.join(u','), marks.join(u','), quoteIdentifier(idColumn));
    }
    return {};
}

QString SqlDialect::dateTimeLiteral(const QDateTime& value) const
{
    const QString text = value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    switch (m_kind) {
    case Kind::SQLite: return u'\'' + text + u'\'';
    case Kind::PostgreSQL: return QStringLiteral("TIMESTAMP '%1'").arg(text);
    case Kind::SqlServer:
        // Style 120 is read the same under every language setting.
        return QStringLiteral("CONVERT(datetime2(0), '%1', 120)").arg(text);
    }
    return {};
}

std::optional<SqlDialect::Kind> SqlDialect::fromProductName(const QString& product)
{
    const QString p = product.trimmed();
    if (p.startsWith(QLatin1String("PostgreSQL"), Qt::CaseInsensitive)) return Kind::PostgreSQL;
    if (p.startsWith(QLatin1String("Microsoft SQL Server"), Qt::CaseInsensitive) ||
        p.startsWith(QLatin1String("Microsoft SQL Azure"), Qt::CaseInsensitive))
        return Kind::SqlServer;
    if (p.startsWith(QLatin1String("SQLite"), Qt::CaseInsensitive)) return Kind::SQLite;
    return std::nullopt;
}

QString SqlDialect::transactionLock() const
{
    switch (m_kind) {
    case Kind::PostgreSQL: return QStringLiteral("SELECT pg_advisory_xact_lock(?)");
    case Kind::SqlServer:
        return QStringLiteral("EXEC sp_getapplock @Resource = ?, @LockMode = 'Exclusive', "
                              "@LockOwner = 'Transaction'");
    case Kind::SQLite: break;
    }
    return {};
}

QString SqlDialect::beginWriteTransaction() const
{
    return m_kind == Kind::SQLite ? QStringLiteral("BEGIN IMMEDIATE") : QString();
}
