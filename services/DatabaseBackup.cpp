#include "DatabaseBackup.h"

#include "ErrorWords.h"
#include "ProtectedFiles.h"
#include "SqliteReader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QUuid>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>
#include <unistd.h>

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

// The connection's last failure in words.
QString errorOf(sqlite3* db)
{
    if (!db) return ErrorWords::ofSqlite(SQLITE_NOMEM);
    return ErrorWords::ofSqlite(sqlite3_extended_errcode(db), sqlite3_system_errno(db));
}

// The copy being written, taken away when the program is ended by a signal
// (a shutdown, Ctrl+C) before it is in place. Only what a signal handler may
// do: unlink the names kept here, then end as the signal would.
char g_part[PATH_MAX + 64];
char g_partJournal[PATH_MAX + 80];
volatile std::sig_atomic_t g_partArmed = 0;
const int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void removePartAndEnd(int signal)
{
    if (g_partArmed) {
        ::unlink(g_part);
        ::unlink(g_partJournal);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

class PartOnSignal
{
public:
    explicit PartOnSignal(const QByteArray& part)
    {
        const QByteArray journal = part + "-journal";
        if (size_t(journal.size()) >= sizeof g_partJournal) return;
        std::memcpy(g_part, part.constData(), size_t(part.size()) + 1);
        std::memcpy(g_partJournal, journal.constData(), size_t(journal.size()) + 1);
        struct sigaction sa {
        };
        sa.sa_handler = removePartAndEnd;
        sigemptyset(&sa.sa_mask);
        for (int i = 0; i < 3; ++i)
            sigaction(kSignals[i], &sa, &m_before[i]);
        g_partArmed = 1;
        m_armed = true;
    }
    ~PartOnSignal()
    {
        if (!m_armed) return;
        for (int i = 0; i < 3; ++i)
            sigaction(kSignals[i], &m_before[i], nullptr);
        g_partArmed = 0;
    }
    PartOnSignal(const PartOnSignal&) = delete;
    PartOnSignal& operator=(const PartOnSignal&) = delete;

private:
    struct sigaction m_before[3]{};
    bool m_armed = false;
};

// The companion SQLite keeps beside a database, when `path` is one: the
// database it belongs to.
QString databaseOfCompanion(const QFileInfo& path)
{
    for (const char* c : {"-wal", "-shm", "-journal"}) {
        const QString name = path.fileName();
        if (!name.endsWith(QLatin1String(c))) continue;
        const QString base = path.absoluteDir().filePath(name.chopped(int(std::strlen(c))));
        if (QFileInfo(base).isFile()) return base;
    }
    return {};
}

bool processRuns(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
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
    m_removedParts = 0;
    const QFileInfo src(source);
    if (!src.isFile() || src.size() == 0)
        return fail(Result::NoDatabase,
                    QStringLiteral("No existe la base de datos %1.").arg(source));
    if (const QString db = databaseOfCompanion(src); !db.isEmpty())
        return fail(Result::NoDatabase,
                    QStringLiteral("%1 es un archivo de trabajo de la base de datos %2, no la "
                                   "base misma: indique en @DbName el archivo %2.")
                        .arg(source, db));
    const QFileInfo dst(target);
    // Never over the database copied, nor over one of its companions or a
    // database this process has open, however the path is spelled.
    ProtectedFiles copied;
    copied.add(source);
    QString refusal = copied.refusal(target);
    if (refusal.isEmpty()) refusal = ProtectedFiles::refusalFor(target);
    if (!refusal.isEmpty()) return fail(Result::Failed, refusal);
    if (dst.isDir())
        return fail(
            Result::Failed,
            QStringLiteral("%1 es una carpeta: indique el archivo de la copia.").arg(target));
    if (!dst.absoluteDir().exists())
        return fail(Result::Failed,
                    QStringLiteral("No existe la carpeta %1 de la copia.").arg(dst.absolutePath()));
    if (::access(QFile::encodeName(dst.absolutePath()).constData(), W_OK) != 0)
        return fail(Result::Failed, QStringLiteral("No se puede escribir en la carpeta %1 de la "
                                                   "copia: %2.")
                                        .arg(dst.absolutePath(), ErrorWords::ofErrno(errno)));
    removeStaleParts(dst.absoluteFilePath());

    // The source through the Qt driver's SQLite connection (its handle),
    // with the program's busy time-out.
    const QString name = QStringLiteral("backup-") + QUuid::createUuid().toString(QUuid::Id128);
    Result result = Result::Failed;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(src.absoluteFilePath());
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            result = fail(
                Result::NoDatabase,
                QStringLiteral("No se puede abrir la base de datos %1: %2.")
                    .arg(source, ErrorWords::ofSqlite(db.lastError().nativeErrorCode().toInt())));
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

    // Written beside the target and put in its place only once checked; the
    // name says which run writes it (removeStaleParts).
    const QString temp = target + QStringLiteral(".part-%1-%2")
                                      .arg(QCoreApplication::applicationPid())
                                      .arg(QUuid::createUuid().toString(QUuid::Id128).left(8));
    const QByteArray tempName = QFile::encodeName(temp);
    const PartOnSignal removedOnSignal(tempName);
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
                               .arg(rc == SQLITE_DONE ? errorOf(to.db) : ErrorWords::ofSqlite(rc)));
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
                           .arg(target, ErrorWords::ofErrno(errno)));
    m_message = QStringLiteral("Copia de %1 en %2: %3 páginas, integridad comprobada.")
                    .arg(source, target, QLocale().toString(m_pages));
    if (m_removedParts == 1)
        m_message += QStringLiteral(" Se borró 1 archivo de una copia anterior que no terminó.");
    else if (m_removedParts > 1)
        m_message += QStringLiteral(" Se borraron %1 archivos de copias anteriores que no "
                                    "terminaron.")
                         .arg(m_removedParts);
    return Result::Done;
}

void DatabaseBackup::removeStaleParts(const QString& target)
{
    const QFileInfo info(target);
    const QString prefix = info.fileName() + QStringLiteral(".part-");
    const QDir folder = info.absoluteDir();
    const QDateTime longAgo = QDateTime::currentDateTime().addSecs(-600);
    const QStringList parts =
        folder.entryList({prefix + u'*'}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : parts) {
        // NAME.part-PID-XXXXXXXX[-journal]: stale once its run is over. An
        // older run's NAME.part-XXXXXXXX tells no run: stale when untouched
        // for ten minutes.
        const QStringList fields = name.mid(prefix.size()).split(u'-');
        bool numbered = false;
        const qint64 pid = fields.size() >= 2 ? fields.at(0).toLongLong(&numbered) : 0;
        const bool stale = numbered ? !processRuns(pid)
                                    : QFileInfo(folder.filePath(name)).lastModified() < longAgo;
        if (stale && QFile::remove(folder.filePath(name)) &&
            !name.endsWith(QLatin1String("-journal")))
            ++m_removedParts;
    }
}
