#include "DataService.h"

#include "ServiceError.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

void DataService::exclusiveTransaction(qint64 lock, const std::function<void()>& work)
{
    // The connection is still held by a statement the server has not
    // answered: not touched from here (that would wait for the server).
    if (serverBusy()) refuseUnanswered(false, true);
    refuseIfMoved();
    if (!isOpen() && m_isServer && m_lost) reconnect({});
    if (!isOpen())
        throw ServiceError(ServiceError::NotConnected,
                           QStringLiteral("No hay conexión abierta con la base de datos."));
    QSqlDatabase db = database();
    const QString begin = m_dialect.beginWriteTransaction();
    if (!begin.isEmpty()) {
        QSqlQuery q(db);
        if (!q.exec(begin)) raise(q, begin);
    } else if (!db.transaction()) {
        throw ServiceError(ServiceError::Database, withoutPassword(db.lastError().text()));
    }
    auto undo = [&] {
        if (!begin.isEmpty()) QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        else db.rollback();
    };
    try {
        const QString take = m_dialect.transactionLock();
        if (!take.isEmpty()) execute(take, {lock});
        work();
    } catch (...) {
        undo();
        throw;
    }
    if (!begin.isEmpty()) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("COMMIT"))) {
            undo();
            raise(q, QStringLiteral("COMMIT"));
        }
    } else if (!db.commit()) {
        const QString why = db.lastError().text();
        undo();
        throw ServiceError(ServiceError::Database, withoutPassword(why));
    }
}
