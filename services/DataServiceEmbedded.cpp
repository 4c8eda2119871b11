// The embedded database file: where a name puts it, opening it (with the
// checks that say in words why a file cannot be used), its schema, its direct
// reader, and noticing the file was deleted or replaced under the connection.
#include "DataService.h"

#include "EmbeddedSchema.h"
#include "ProtectedFiles.h"
#include "SchemaUpgrade.h"
#include "ServiceError.h"
#include "SqliteReader.h"
#include "WalCheckpointer.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <sqlite3.h>

QString DataService::embeddedFilePath(const QString& databaseName)
{
    QString path = databaseName.trimmed();
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (path.isEmpty()) {
        path = QDir(dataDir).filePath(QStringLiteral("molvera.db"));
    } else if (!path.contains(u'/') && !path.contains(u'\\')) {
        if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".db");
        path = QDir(dataDir).filePath(path);
    }
    return path;
}

void DataService::openEmbedded()
{
    const QString path = embeddedFilePath(m_databaseName);
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QFileInfo info(path);
    const QString folder = QDir::toNativeSeparators(info.absolutePath());
    if (info.isDir())
        throw ServiceError(
            ServiceError::Database,
            QStringLiteral("%1 es una carpeta, no un archivo de base de datos: "
                           "indique en @DbName el archivo (por ejemplo "
                           "%2).")
                .arg(QDir::toNativeSeparators(path),
                     QDir::toNativeSeparators(QDir(path).filePath(QStringLiteral("molvera.db")))));
    // Only the user's data folder is made: a folder named in @DbName that is
    // not there is a typing error, not a place for a new empty database.
    if (QDir(info.absolutePath()) == QDir(dataDir)) {
        if (!QDir().mkpath(info.absolutePath()))
            throw ServiceError(ServiceError::Database,
                               QStringLiteral("No se puede crear la carpeta %1.").arg(folder));
    } else if (!QFileInfo(info.absolutePath()).isDir()) {
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("La carpeta %1 de la base de datos %2 no existe: revise "
                                          "el nombre en @DbName. Molvera no crea carpetas ni "
                                          "bases nuevas en un lugar que no existe.")
                               .arg(folder, QDir::toNativeSeparators(path)));
    }
    const bool isNew = !info.exists() || info.size() == 0;
    if (!isNew && !info.isWritable())
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("La base de datos %1 es de solo lectura.").arg(path));
    // The database works with files of its own beside it (-wal, -shm): a
    // folder that cannot be written stops it, whatever the file.
    if (!QFileInfo(info.absolutePath()).isWritable())
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("No se puede escribir en la carpeta %1, donde está la "
                                          "base de datos %2: Molvera necesita crear allí sus "
                                          "archivos de trabajo. Dé permiso de escritura en la "
                                          "carpeta o lleve la base a una carpeta con permiso.")
                               .arg(folder, info.fileName()));

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db = db;
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("No se puede abrir la base de datos %1: %2")
                               .arg(path, db.lastError().text()));
    // From here no writer of the program may touch the file or its companions.
    m_protected = path;
    ProtectedFiles::open().add(path);
    m_dialect = SqlDialect(SqlDialect::Kind::SQLite);
    m_embeddedPath = info.absoluteFilePath();
    m_connectionString = QStringLiteral("Driver=SQLite;Database=%1").arg(m_embeddedPath);

    // A file that is no database, or one with a damaged header or schema,
    // fails here. Only the schema table is checked: a check of every page
    // reads the whole file (seconds at a million truckloads) on each start; a
    // damaged page elsewhere is reported by the statement that reads it.
    {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA quick_check(sqlite_master)")) || !q.next() ||
            q.value(0).toString() != QLatin1String("ok"))
            throw ServiceError(ServiceError::Database,
                               QStringLiteral("El archivo %1 no es una base de datos válida o está "
                                              "dañado: %2")
                                   .arg(path, q.lastError().isValid() ? q.lastError().text()
                                                                      : q.value(0).toString()));
    }
    // A database of another program is left exactly as it is.
    {
        const QStringList tables = db.tables(QSql::Tables);
        bool hasIntake = false;
        for (const QString& t : tables)
            if (t.compare(QLatin1String("mv_molvera"), Qt::CaseInsensitive) == 0) hasIntake = true;
        if (!hasIntake && !tables.isEmpty())
            throw ServiceError(
                ServiceError::Database,
                QStringLiteral("El archivo %1 no contiene una base de datos de Molvera.")
                    .arg(path));
    }
    // A database of a newer program is left exactly as it is.
    SchemaUpgrade(*this).refuseNewer();
    {
        QSqlQuery q(db);
        // Durable writes: an accepted edit survives a power cut.
        if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
            throw ServiceError(ServiceError::Database,
                               QStringLiteral("No se puede escribir en la base de datos %1: %2")
                                   .arg(path, q.lastError().text()));
        q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
        q.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    }
    if (sqlite3* handle = SqliteReader::handleOf(db)) {
        m_checkpointer = std::make_unique<WalCheckpointer>(path);
        m_checkpointer->attach(handle);
    }
    applySchema(isNew);
    setDirectReads(true);
}

void DataService::applySchema(bool fileIsNew)
{
    QSqlDatabase db = database();
    const QStringList tables = db.tables(QSql::Tables);
    bool hasIntake = false;
    for (const QString& t : tables)
        if (t.compare(QLatin1String("mv_molvera"), Qt::CaseInsensitive) == 0) hasIntake = true;
    if (hasIntake) {
        // Without the check the caller makes or upgrades the tables itself
        // (molvera --init-db, which then says what it did).
        if (m_schemaCheck) SchemaUpgrade(*this).upgrade();
        return;
    }
    if (!fileIsNew && !tables.isEmpty())
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("El archivo %1 no contiene una base de datos de Molvera.")
                               .arg(m_embeddedPath));
    if (!m_schemaCheck) return;
    const QString script = embeddedSchema(QStringLiteral("sqlite"));
    if (script.isEmpty())
        throw ServiceError(ServiceError::Database, QStringLiteral("Falta el esquema de la base."));
    if (!db.transaction()) throw ServiceError(ServiceError::Database, db.lastError().text());
    try {
        executeScript(script);
    } catch (...) {
        db.rollback();
        throw;
    }
    if (!db.commit()) throw ServiceError(ServiceError::Database, db.lastError().text());
}

bool DataService::fileMoved()
{
    if (m_moved) return true;
    if (m_isServer || m_embeddedPath.isEmpty() || !isOpen()) return false;
    sqlite3* handle = SqliteReader::handleOf(database());
    int moved = 0;
    if (handle && sqlite3_file_control(handle, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK)
        m_moved = moved != 0;
    // The file at the path may have been deleted and put back (a copy): the
    // open connection still holds the old one, so the check above says so too.
    return m_moved;
}

void DataService::refuseIfMoved()
{
    if (m_damaged && !m_isServer) throw ServiceError(ServiceError::Database, damagedText());
    if (!fileMoved()) return;
    throw ServiceError(
        ServiceError::Database,
        QStringLiteral("El archivo de la base de datos %1 fue borrado, movido o reemplazado por "
                       "otro mientras Molvera trabajaba con él. Molvera dejó de escribir: lo que "
                       "se cargue ahora no quedaría en ningún archivo. Cierre Molvera, compruebe "
                       "que el archivo correcto esté en su lugar (si fue borrado, restáurelo de la "
                       "copia de seguridad) y vuelva a abrir el programa; luego revise los "
                       "últimos valores cargados.")
            .arg(QDir::toNativeSeparators(m_embeddedPath)));
}

QString DataService::damagedText() const
{
    return QStringLiteral(
               "La base de datos %1 está dañada o ya no es la que Molvera abrió (el archivo fue "
               "reemplazado, o sus archivos de trabajo -wal o -shm se borraron mientras se "
               "trabajaba): no se puede confiar en ella. La operación no se realizó y Molvera "
               "dejó de escribir. Cierre Molvera en todas las estaciones, compruebe la base o "
               "restáurela de la copia de seguridad y vuelva a abrir el programa; luego revise "
               "los últimos valores cargados.")
        .arg(QDir::toNativeSeparators(m_embeddedPath));
}

void DataService::checkpoint()
{
    if (m_isServer || m_moved || m_damaged || !isOpen()) return;
    if (sqlite3* handle = SqliteReader::handleOf(database()))
        sqlite3_wal_checkpoint_v2(handle, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}
