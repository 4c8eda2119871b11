#include "SchemaUpgrade.h"

#include "DataService.h"
#include "ServiceError.h"
#include "SqlScript.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace
{

const QLatin1String kMark("-- @section ");

} // namespace

SchemaUpgrade::SchemaUpgrade(DataService& data) : m_data(data) {}

QString SchemaUpgrade::section(const QString& script, const QString& name)
{
    const QString start = kMark + name + u'\n';
    const qsizetype from = script.indexOf(start);
    if (from < 0) return {};
    const qsizetype body = from + start.size();
    const qsizetype to = script.indexOf(kMark, body);
    return script.mid(body, to < 0 ? -1 : to - body);
}

QStringList SchemaUpgrade::dropsFor(const QString& section, bool postgres)
{
    static const QRegularExpression created(
        QStringLiteral("^CREATE\\s+(TRIGGER|FUNCTION|VIEW|TABLE)\\s+(\\w+)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression triggerTable(QStringLiteral("\\sON\\s+(\\w+)"),
                                                 QRegularExpression::CaseInsensitiveOption);
    QStringList triggers, functions, views, tables;
    for (const QString& st : SqlScript::split(section)) {
        const auto m = created.match(st);
        if (!m.hasMatch()) continue;
        const QString kind = m.captured(1).toUpper();
        const QString name = m.captured(2);
        if (kind == QLatin1String("TRIGGER")) {
            QString drop = QStringLiteral("DROP TRIGGER IF EXISTS ") + name;
            if (postgres) drop += QStringLiteral(" ON ") + triggerTable.match(st).captured(1);
            triggers << drop;
        } else if (kind == QLatin1String("FUNCTION")) {
            functions << QStringLiteral("DROP FUNCTION IF EXISTS %1()").arg(name);
        } else if (kind == QLatin1String("VIEW")) {
            views << QStringLiteral("DROP VIEW IF EXISTS ") + name;
        } else {
            tables << QStringLiteral("DROP TABLE IF EXISTS ") + name;
        }
    }
    return triggers + functions + views + tables;
}

bool SchemaUpgrade::tableExists(const QString& table)
{
    // A catalogue question, never a failing statement: on PostgreSQL a
    // failed statement spoils the transaction it is in.
    QSqlQuery q(m_data.database());
    switch (m_data.dialect().kind()) {
    case SqlDialect::Kind::SQLite:
        q.prepare(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND "
                                 "lower(name) = lower(?)"));
        q.addBindValue(table);
        break;
    case SqlDialect::Kind::PostgreSQL:
        q.prepare(QStringLiteral("SELECT CASE WHEN to_regclass(?) IS NULL THEN 0 ELSE 1 END"));
        q.addBindValue(table.toLower());
        break;
    case SqlDialect::Kind::SqlServer:
        q.prepare(QStringLiteral("SELECT CASE WHEN OBJECT_ID(?, 'U') IS NULL THEN 0 ELSE 1 END"));
        q.addBindValue(table);
        break;
    }
    if (!q.exec() || !q.next())
        throw ServiceError(ServiceError::Database,
                           m_data.withoutPassword(QStringLiteral("No se pudo leer la versión de "
                                                                 "la base de datos: %1")
                                                      .arg(q.lastError().text())));
    return q.value(0).toInt() > 0;
}

int SchemaUpgrade::version()
{
    if (!tableExists(QStringLiteral("mv_molvera"))) return 0;
    if (tableExists(QStringLiteral("mv_molvera_version"))) {
        QSqlQuery q(m_data.database());
        if (q.exec(QStringLiteral("SELECT MAX(version) FROM mv_molvera_version")) && q.next() &&
            !q.value(0).isNull())
            return q.value(0).toInt();
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("La tabla mv_molvera_version de la base de datos no "
                                          "indica la versión del esquema."));
    }
    return tableExists(QStringLiteral("mv_molvera_historial")) ? 2 : 1;
}

void SchemaUpgrade::refuseNewer()
{
    const int v = version();
    if (v <= kCurrent) return;
    throw ServiceError(ServiceError::Database,
                       QStringLiteral("La base de datos es de una versión más nueva de Molvera "
                                      "(esquema %1; este programa llega al esquema %2) y no se "
                                      "modificó. Instale en esta estación la versión de Molvera "
                                      "con que trabajan las demás.")
                           .arg(v)
                           .arg(kCurrent));
}

void SchemaUpgrade::run(const QString& sql)
{
    QSqlQuery q(m_data.database());
    if (!q.exec(sql))
        throw ServiceError(
            ServiceError::Database,
            m_data.withoutPassword(QStringLiteral("La actualización de la base de datos se detuvo "
                                                  "y no cambió nada: %1\n\nSentencia: %2")
                                       .arg(q.lastError().text(), sql.left(200))));
}

void SchemaUpgrade::runSection(const QString& script, const QString& name, bool replace)
{
    const QString text = section(script, name);
    if (text.trimmed().isEmpty())
        throw ServiceError(
            ServiceError::Database,
            QStringLiteral("Falta la sección \"%1\" del esquema de la base.").arg(name));
    if (replace)
        for (const QString& drop :
             dropsFor(text, m_data.dialect().kind() == SqlDialect::Kind::PostgreSQL))
            run(drop);
    for (const QString& st : SqlScript::split(text))
        run(st);
}

void SchemaUpgrade::begin()
{
    if (m_data.dialect().kind() == SqlDialect::Kind::SQLite) {
        // The write lock at once: a second desk starting at the same time
        // waits here and then finds the database up to date. An upgrade of
        // a plant's years takes seconds (about 8 s for 1,000,000 rows), more
        // than one busy time-out: up to two minutes.
        for (int attempt = 1;; ++attempt) {
            QSqlQuery q(m_data.database());
            if (q.exec(QStringLiteral("BEGIN IMMEDIATE"))) return;
            const int code = q.lastError().nativeErrorCode().toInt() & 0xff;
            if ((code != 5 && code != 6) || attempt >= 24)
                throw ServiceError(ServiceError::Database,
                                   QStringLiteral("La base de datos no se pudo actualizar: otra "
                                                  "estación la tiene ocupada. Reintente en unos "
                                                  "momentos.\n\nDetalle: %1")
                                       .arg(q.lastError().text()));
        }
    }
    QSqlDatabase db = m_data.database();
    if (!db.transaction())
        throw ServiceError(ServiceError::Database, m_data.withoutPassword(db.lastError().text()));
    run(QStringLiteral("LOCK TABLE mv_molvera IN ACCESS EXCLUSIVE MODE"));
}

void SchemaUpgrade::commit()
{
    if (m_data.dialect().kind() == SqlDialect::Kind::SQLite) {
        run(QStringLiteral("COMMIT"));
        return;
    }
    QSqlDatabase db = m_data.database();
    if (!db.commit())
        throw ServiceError(ServiceError::Database,
                           m_data.withoutPassword(QStringLiteral("La actualización de la base "
                                                                 "de datos no se guardó: %1")
                                                      .arg(db.lastError().text())));
}

void SchemaUpgrade::rollback()
{
    if (m_data.dialect().kind() == SqlDialect::Kind::SQLite) {
        QSqlQuery q(m_data.database());
        q.exec(QStringLiteral("ROLLBACK"));
        return;
    }
    m_data.database().rollback();
}

void SchemaUpgrade::addSettlementColumns()
{
    const bool pg = m_data.dialect().kind() == SqlDialect::Kind::PostgreSQL;
    const std::pair<const char*, const char*> columns[] = {
        {"merma", pg ? "double precision" : "REAL"},
        {"kg_netos", pg ? "bigint" : "INTEGER"},
        {"grado", "VARCHAR(20)"},
        {"reglas_version", "INTEGER"},
    };
    for (const auto& [name, type] : columns)
        if (!m_data.tableHasColumn(QStringLiteral("mv_molvera"), QLatin1String(name)))
            run(QStringLiteral("ALTER TABLE mv_molvera ADD COLUMN %1 %2")
                    .arg(QLatin1String(name), QLatin1String(type)));
}

int SchemaUpgrade::upgrade()
{
    refuseNewer();
    const int before = version();
    if (before == kCurrent) return before;
    if (before <= 0)
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("La base de datos no tiene las tablas de Molvera."));
    if (m_data.dialect().kind() == SqlDialect::Kind::SqlServer)
        throw ServiceError(
            ServiceError::Database,
            QStringLiteral("La base de datos es del esquema %1 y este programa "
                           "trabaja con el esquema %2. En SQL Server la "
                           "actualización no es automática: aplique db/sqlserver.sql "
                           "a una base nueva y pase las filas.")
                .arg(before)
                .arg(kCurrent));
    const QString script = m_data.schemaScript();
    begin();
    int from = before;
    try {
        // Another desk may have brought it up to date while this one waited.
        from = version();
        // The settlement kept in the rows first: the view and the history
        // triggers of every later step name its columns.
        if (from < 6) addSettlementColumns();
        if (from < 2) {
            if (!m_data.tableHasColumn(QStringLiteral("mv_molvera"),
                                       QStringLiteral("modificado_por")))
                run(QStringLiteral("ALTER TABLE mv_molvera ADD COLUMN modificado_por VARCHAR(50)"));
            runSection(script, QStringLiteral("view"), true);
            runSection(script, QStringLiteral("history"), false);
            if (tableExists(QStringLiteral("ta_configuracion")) &&
                m_data.tableHasColumn(QStringLiteral("ta_configuracion"), QStringLiteral("clave")))
                runSection(script, QStringLiteral("limits"), false);
        }
        if (from < 3) {
            // Kept in grams from now on: both kept sums are made again and
            // counted once from the rows.
            runSection(script, QStringLiteral("totals"), true);
            runSection(script, QStringLiteral("quality"), true);
            if (!tableExists(QStringLiteral("mv_molvera_version")))
                runSection(script, QStringLiteral("version"), false);
        }
        if (from < 4) runSection(script, QStringLiteral("weighings"), false);
        if (from < 5) {
            // The weighings name their operator; they and the analyzer's
            // readings are kept for good (the guards replace version 4's).
            if (!m_data.tableHasColumn(QStringLiteral("mv_molvera_pesada"),
                                       QStringLiteral("usuario")))
                run(QStringLiteral("ALTER TABLE mv_molvera_pesada ADD COLUMN usuario VARCHAR(50)"));
            runSection(script, QStringLiteral("readings"), false);
            runSection(script, QStringLiteral("ledger"), true);
        }
        if (from < 6) {
            runSection(script, QStringLiteral("view"), true);
            runSection(script, QStringLiteral("historytriggers"), true);
            // The rules a plant may have entered already are kept.
            if (!tableExists(QStringLiteral("ta_liquidacion")))
                runSection(script, QStringLiteral("settlement"), false);
        }
        if (from < kCurrent)
            run(QStringLiteral("UPDATE mv_molvera_version SET version = %1").arg(kCurrent));
        commit();
    } catch (...) {
        rollback();
        throw;
    }
    return from;
}
