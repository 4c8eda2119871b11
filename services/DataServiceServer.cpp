// The statements of a server connection on their call thread: the limits of
// the wait, the notice, the refusal of what the server did not answer, the
// transaction of a change, and the server's own limits on the session.
#include "DataService.h"

#include "OdbcReader.h"
#include "ServerCall.h"
#include "ServiceError.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <sql.h>
#include <sqlext.h>

namespace
{

// True while the connection holds a transaction its owner opened (autocommit
// off): a statement then belongs to it and is not confirmed on its own.
bool inOwnersTransaction(const QSqlDatabase& db)
{
    void* handle = OdbcReader::handleOf(db);
    if (!handle) return false;
    SQLULEN autocommit = SQL_AUTOCOMMIT_ON;
    if (!SQL_SUCCEEDED(SQLGetConnectAttr(static_cast<SQLHDBC>(handle), SQL_ATTR_AUTOCOMMIT,
                                         &autocommit, 0, nullptr)))
        return false;
    return autocommit == SQL_AUTOCOMMIT_OFF;
}

} // namespace

bool DataService::ownersTransactionOpen() const
{
    return isOpen() && inOwnersTransaction(database());
}

void DataService::setServerLimits(int noticeMs, int limitMs)
{
    m_noticeMs = std::max(0, noticeMs);
    m_limitMs = std::max(m_noticeMs, limitMs);
    if (m_isServer && isOpen() && !serverBusy()) {
        try {
            applyServerTimeouts();
        } catch (const ServiceError&) {
            // The next statement finds out what is wrong.
        }
    }
}

void DataService::setWaitNotice(std::function<void(bool)> notice)
{
    m_notice = std::move(notice);
}

bool DataService::serverBusy() const
{
    return m_call && m_call->busy();
}

void DataService::applyServerTimeouts()
{
    if (!m_isServer || !m_schemaCheck) return;
    // The server itself ends what runs or waits for a lock longer than the
    // limit allows, a second before the desk would give up on it: the
    // statement then fails in words and the connection is free again.
    const int ms = std::max(500, m_limitMs - 1000);
    QString sql;
    if (m_dialect.kind() == SqlDialect::Kind::PostgreSQL)
        sql = QStringLiteral("SET statement_timeout = %1").arg(ms);
    else if (m_dialect.kind() == SqlDialect::Kind::SqlServer)
        sql = QStringLiteral("SET LOCK_TIMEOUT %1").arg(ms);
    if (sql.isEmpty()) return;
    QSqlQuery q(database());
    if (!q.exec(sql)) raise(q, sql);
}

void DataService::refuseUnanswered(bool unknown, bool earlier) const
{
    // The data source's name, as the open session names it ("DSN=NAME;UID=...").
    const QString source = m_connectionString.section(u';', 0, 0).section(u'=', 1);
    const QString seconds = QString::number((m_limitMs + 999) / 1000);
    QString text;
    if (unknown)
        text = QStringLiteral("El servidor de base de datos (origen de datos ODBC \"%1\") dejó de "
                              "responder mientras confirmaba el cambio: no se sabe si quedó "
                              "guardado. La planilla mostrará lo que tenga la base en cuanto el "
                              "servidor responda.")
                   .arg(source);
    else if (earlier)
        text = QStringLiteral("El servidor de base de datos (origen de datos ODBC \"%1\") sigue "
                              "sin responder; la operación no se realizó. Reintente en unos "
                              "momentos.")
                   .arg(source);
    else
        text = QStringLiteral("El servidor de base de datos (origen de datos ODBC \"%1\") no "
                              "respondió en %2 s; la operación no se realizó. Reintente en unos "
                              "momentos.")
                   .arg(source, seconds);
    throw ServiceError(ServiceError::NotConnected, text);
}

void DataService::onServer(const std::function<void()>& step, bool writes)
{
    if (!m_call) m_call = std::make_unique<ServerCall>();
    // The step holds copies of what it reads and writes: a step given up on
    // ends later, after its caller has gone.
    auto work = [this, step, writes](const std::function<bool()>& mayCommit) {
        guarded([&] {
            QSqlDatabase db = database();
            // A change is confirmed only while its caller still waits: one
            // given up on is undone when the server answers at last.
            const bool own = writes && db.isOpen() && !inOwnersTransaction(db);
            if (own && !db.transaction())
                raise(db.lastError().databaseText().trimmed(), db.lastError().driverText(), 0);
            try {
                step();
            } catch (...) {
                if (own) db.rollback();
                throw;
            }
            if (!own) return;
            if (!mayCommit()) {
                db.rollback();
                return;
            }
            if (!db.commit()) {
                const QSqlError e = db.lastError();
                db.rollback();
                raise(e.databaseText().trimmed(), e.driverText(), 0);
            }
        });
    };
    switch (m_call->run(work, {m_noticeMs, m_limitMs}, m_notice)) {
    case ServerCall::Outcome::Done:
        return;
    case ServerCall::Outcome::GaveUp:
        refuseUnanswered(false, false);
    case ServerCall::Outcome::GaveUpUnknown:
        refuseUnanswered(true, false);
    case ServerCall::Outcome::StillBusy:
        refuseUnanswered(false, true);
    }
}
