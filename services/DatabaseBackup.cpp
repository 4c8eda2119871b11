#include "DatabaseBackup.h"

#include "SqliteReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QUuid>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>

namespace
{

// One SQLite connection of its own, closed at the end of the scope.
struct Connection {
    sqlite3* db = nullptr;
    ~Connection()
    {
        if (db) sqlite3_close_v2(db);
    }
};

QString errorOf(sqlite3* db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("sin memoria");
}

// The rows of a one-column statement, as texts.
QStringList column(sqlite3* db, const char* sql, int* rc)
{
    QStringList out;
    sqlite3_stmt* st = nullptr;
    *rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    if (*rc != SQLITE_OK) return out;
    while ((*rc = sqlite3_step(st)) == SQLITE_ROW)
        out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    if (*rc == SQLITE_DONE) *rc = SQLITE_OK;
    sqlite3_finalize(st);
    return out;
}

} // namespace

DatabaseBackup::Result DatabaseBackup::fail(Result r, const QString& text)
{
    m_message = text;
    return r;
}

DatabaseBackup::Result DatabaseBackup::copy(const QString& source, const QString& target)
{
    m_message.clear();
    m_pages = 0;
    const QFileInfo src(source);
    if (!src.isFile() || src.size() == 0)
        return fail(Result::NoDatabase,
                    QStringLiteral("No existe la base de datos %1.").arg(source));
    const QFileInfo dst(target);
    if (dst.absoluteFilePath() == src.absoluteFilePath())
        return fail(
            Result::Failed,
            QStringLiteral("La copia no puede ir sobre la base de datos misma (%1).").arg(target));
    if (!dst.absoluteDir().exists())
        return fail(Result::Failed,
                    QStringLiteral("No existe la carpeta %1 de la copia.").arg(dst.absolutePath()));

    // The source through the Qt driver's SQLite connection (its handle),
    // with the program's busy time-out.
    const QString name = QStringLiteral("backup-") + QUuid::createUuid().toString(QUuid::Id128);
    Result result = Result::Failed;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(src.absoluteFilePath());
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            result = fail(Result::NoDatabase, QStringLiteral("No se puede abrir la base de datos "
                                                             "%1: %2")
                                                  .arg(source, db.lastError().text()));
        } else if (sqlite3* from = SqliteReader::handleOf(db)) {
            result = copyFrom(from, src.absoluteFilePath(), dst.absoluteFilePath());
        } else {
            result = fail(Result::Failed, QStringLiteral("El controlador de SQLite no da acceso "
                                                         "a la conexión."));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

DatabaseBackup::Result DatabaseBackup::copyFrom(sqlite3* from, const QString& source,
                                                const QString& target)
{
    int rc = SQLITE_OK;
    const QStringList intake = column(
        from, "SELECT name FROM sqlite_master WHERE type = 'table' AND lower(name) = 'mv_molvera'",
        &rc);
    if (rc != SQLITE_OK)
        return fail(
            Result::NoDatabase,
            QStringLiteral("No se puede leer la base de datos %1: %2").arg(source, errorOf(from)));
    if (intake.isEmpty())
        return fail(
            Result::NoDatabase,
            QStringLiteral("El archivo %1 no contiene una base de datos de Molvera.").arg(source));

    // Written beside the target and put in its place only once checked.
    const QString temp =
        target + QStringLiteral(".part-") + QUuid::createUuid().toString(QUuid::Id128).left(8);
    const QByteArray tempName = QFile::encodeName(temp);
    auto discard = [&](const QString& text) {
        QFile::remove(temp);
        QFile::remove(temp + QStringLiteral("-journal"));
        return fail(Result::Failed, text);
    };
    {
        Connection to;
        rc = sqlite3_open_v2(tempName.constData(), &to.db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK)
            return discard(
                QStringLiteral("No se puede crear la copia %1: %2").arg(temp, errorOf(to.db)));
        sqlite3_backup* b = sqlite3_backup_init(to.db, "main", from, "main");
        if (!b)
            return discard(QStringLiteral("No se puede empezar la copia: %1").arg(errorOf(to.db)));
        // Every page in one step: one read transaction, so one consistent
        // state of the database, however much the desks write meanwhile (in
        // WAL mode they are not held up). A writer that holds the file is
        // waited for, up to a minute.
        int waited = 0;
        do {
            rc = sqlite3_backup_step(b, -1);
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                sqlite3_sleep(100);
                waited += 100;
            }
        } while ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && waited < 60000);
        m_pages = sqlite3_backup_pagecount(b);
        const int finished = sqlite3_backup_finish(b);
        if (rc != SQLITE_DONE || finished != SQLITE_OK)
            return discard(QStringLiteral("La copia no se completó: %1")
                               .arg(rc == SQLITE_DONE ? errorOf(to.db)
                                                      : QString::fromUtf8(sqlite3_errstr(rc))));
        // A file that stands alone: no -wal beside it.
        column(to.db, "PRAGMA journal_mode=DELETE", &rc);
        if (rc != SQLITE_OK)
            return discard(QStringLiteral("No se pudo cerrar la copia: %1").arg(errorOf(to.db)));
        const QStringList check = column(to.db, "PRAGMA integrity_check", &rc);
        if (rc != SQLITE_OK || check != QStringList{QStringLiteral("ok")})
            return discard(QStringLiteral("La copia no pasó la comprobación de integridad: %1")
                               .arg(rc != SQLITE_OK ? errorOf(to.db)
                                                    : check.mid(0, 5).join(QStringLiteral("; "))));
        if (sqlite3_close(to.db) != SQLITE_OK)
            return discard(QStringLiteral("No se pudo cerrar la copia: %1").arg(errorOf(to.db)));
        to.db = nullptr;
    }
    // In one step: the target is either the old file or the new copy.
    if (std::rename(tempName.constData(), QFile::encodeName(target).constData()) != 0)
        return discard(QStringLiteral("No se pudo poner la copia en %1: %2")
                           .arg(target, QString::fromLocal8Bit(std::strerror(errno))));
    m_message = QStringLiteral("Copia de %1 en %2: %3 páginas, integridad comprobada.")
                    .arg(source, target)
                    .arg(m_pages);
    return Result::Done;
}
