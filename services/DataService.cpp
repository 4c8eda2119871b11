#include "DataService.h"

#include "EmbeddedSchema.h"
#include "OdbcReader.h"
#include "ProtectedFiles.h"
#include "SchemaUpgrade.h"
#include "ServerCall.h"
#include "WalCheckpointer.h"
#include "ServiceError.h"
#include "SqlScript.h"
#include "SqliteReader.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <sqlite3.h>

namespace
{

const char* kStoredDateTime = "yyyy-MM-dd HH:mm:ss";

} // namespace

DataService::DataService(const QString& connectionName) : m_connectionName(connectionName) {}

DataService::~DataService()
{
    close();
}

QSqlDatabase DataService::database() const
{
    return m_db;
}

bool DataService::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && database().isOpen();
}

void DataService::close()
{
    // A statement given up on still uses the connection: it goes after it.
    if (m_call) m_call->wait();
    // The reader's statements go first: a handle with statements still
    // prepared on it does not close.
    m_reader.reset();
    m_odbcReader.reset();
    m_checkpointer.reset();
    m_cache.clear();
    m_lost = false;
    m_moved = false;
    m_damaged = false;
    if (!m_protected.isEmpty()) {
        ProtectedFiles::open().remove(m_protected);
        m_protected.clear();
    }
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = database();
            if (db.isOpen()) db.close();
        }
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

void DataService::open(bool noServer, int /*mode*/, const QString& /*extra*/)
{
    close();
    m_openError.clear();
    m_lost = false;
    m_isServer = !noServer;
    try {
        if (noServer)
            openEmbedded();
        else
            openServer();
    } catch (const ServiceError& e) {
        m_openError = withoutPassword(e.description());
        close();
    }
}

QString DataService::withoutPassword(QString text) const
{
    // A one- or two-letter password would blank out ordinary words; such a
    // password cannot be told apart in a message anyway.
    if (m_password.size() >= 3) text.replace(m_password, QStringLiteral("****"));
    return text;
}

namespace
{

// The data source as Qt's ODBC driver takes it: a bare name, to which the
// driver puts "DSN=" in front itself, or a full connection string with
// DRIVER= or SERVER=, taken as it stands.
QString odbcSourceName(const QString& name)
{
    QString n = name.trimmed();
    static const QRegularExpression full(QStringLiteral("(^|;)\\s*(DRIVER|SERVER)\\s*="),
                                         QRegularExpression::CaseInsensitiveOption);
    if (full.match(n).hasMatch()) return n;
    static const QRegularExpression dsn(QStringLiteral("^DSN\\s*=\\s*"),
                                        QRegularExpression::CaseInsensitiveOption);
    n.remove(dsn);
    return n;
}

// The name of the data source for messages (without any attributes).
QString sourceLabel(const QString& name)
{
    const QString n = odbcSourceName(name);
    return n.section(u';', 0, 0).trimmed();
}

bool containsAny(const QString& text, std::initializer_list<const char*> words)
{
    for (const char* w : words)
        if (text.contains(QLatin1String(w), Qt::CaseInsensitive)) return true;
    return false;
}

} // namespace

void DataService::openServer()
{
    const QString source = odbcSourceName(m_databaseName);
    if (source.isEmpty())
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("Falta el nombre del origen de datos ODBC (@DbName) para "
                                          "conectarse con el servidor \"%1\".")
                               .arg(m_server));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_connectionName);
    m_db = db;
    if (!db.isValid())
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("Falta el controlador ODBC de Qt (paquete "
                                          "libqt6sql6-odbc): no se puede usar el origen de datos "
                                          "\"%1\".")
                               .arg(sourceLabel(source)));
    db.setDatabaseName(source);
    db.setUserName(m_user);
    db.setPassword(m_password);
    // A server that does not answer ends the attempt after a while instead of
    // keeping the desk waiting.
    db.setConnectOptions(
        QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=15;SQL_ATTR_CONNECTION_TIMEOUT=15"));
    connectServer();
    m_embeddedPath.clear();
    m_connectionString = QStringLiteral("DSN=%1;UID=%2").arg(sourceLabel(source), m_user);
    detectDialect();
    if (m_schemaCheck && !hasSchema())
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("La base de datos del origen de datos ODBC \"%1\" no "
                                          "tiene las tablas de Molvera. Créelas una vez con:\n"
                                          "molvera --init-db \"@Server=...; @DbName=%1; "
                                          "@Usuario=...;\"")
                               .arg(sourceLabel(source)));
    if (m_schemaCheck) SchemaUpgrade(*this).upgrade();
    applyServerTimeouts();
    if (!m_call) m_call = std::make_unique<ServerCall>();
}

void DataService::connectServer()
{
    QSqlDatabase db = database();
    if (db.open()) return;
    const QSqlError e = db.lastError();
    const QString detail = withoutPassword((e.databaseText() + u' ' + e.driverText()).simplified());
    const QString source = sourceLabel(m_databaseName);
    QString what;
    if (containsAny(detail, {"Data source name not found", "IM002", "not found, and no default",
                             "Can't open lib", "file not found"})) {
        what = QStringLiteral("El origen de datos ODBC \"%1\" no existe en esta estación "
                              "(revise odbc.ini o el administrador de orígenes de datos ODBC).")
                   .arg(source);
    } else if (containsAny(detail, {"password authentication failed", "authentication failed",
                                    "Login failed", "no password supplied", "role \"",
                                    "Access denied", "18456"})) {
        what = QStringLiteral("El servidor de base de datos rechazó el usuario \"%2\" o su "
                              "contraseña (origen de datos ODBC \"%1\").")
                   .arg(source, m_user);
    } else if (containsAny(detail, {"database \"", "Cannot open database", "4060"}) &&
               containsAny(detail, {"does not exist", "Cannot open database", "4060"})) {
        what = QStringLiteral("La base de datos que indica el origen de datos ODBC \"%1\" no "
                              "existe en el servidor.")
                   .arg(source);
    } else if (containsAny(detail, {"Connection refused", "could not connect", "timeout expired",
                                    "timed out", "could not translate host name",
                                    "Name or service not known", "No route to host",
                                    "is unavailable or does not exist", "Unable to connect",
                                    "server closed the connection", "08001", "20009"})) {
        what = QStringLiteral("No se puede llegar al servidor de base de datos del origen de "
                              "datos ODBC \"%1\": el servidor está apagado o no responde.")
                   .arg(source);
    } else {
        what = QStringLiteral("No se puede conectar con el origen de datos ODBC \"%1\" (usuario "
                              "\"%2\").")
                   .arg(source, m_user);
    }
    if (!detail.isEmpty()) what += QStringLiteral("\n\nDetalle: ") + detail;
    throw ServiceError(ServiceError::NotConnected, what);
}

void DataService::detectDialect()
{
    QSqlDatabase db = database();
    switch (db.driver()->dbmsType()) {
    case QSqlDriver::PostgreSQL:
        m_dialect = SqlDialect(SqlDialect::Kind::PostgreSQL);
        return;
    case QSqlDriver::MSSqlServer:
        m_dialect = SqlDialect(SqlDialect::Kind::SqlServer);
        return;
    default:
        break;
    }
    // Drivers that do not name their database: ask it.
    QString version;
    {
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("SELECT version()")) && q.next()) version = q.value(0).toString();
    }
    if (version.isEmpty()) {
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("SELECT @@VERSION")) && q.next()) version = q.value(0).toString();
    }
    const auto kind = SqlDialect::fromProductName(version);
    if (kind && *kind != SqlDialect::Kind::SQLite) {
        m_dialect = SqlDialect(*kind);
    } else {
        throw ServiceError(
            ServiceError::Database,
            QStringLiteral("El origen de datos ODBC \"%1\" lleva a una base de datos "
                           "que Molvera no admite (%2); use PostgreSQL o SQL "
                           "Server.")
                .arg(sourceLabel(m_databaseName), version.isEmpty() ? QStringLiteral("desconocida")
                                                                    : version.section(u' ', 0, 1)));
    }
}

bool DataService::hasSchema()
{
    if (!isOpen()) return false;
    QSqlQuery q(database());
    // A statement, not the driver's table list: on a server the list spans
    // every schema, while the statement sees what the connection sees.
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM mv_molvera WHERE 1 = 0"));
}

void DataService::createSchema()
{
    if (!isOpen())
        throw ServiceError(ServiceError::NotConnected,
                           QStringLiteral("No hay conexión abierta con la base de datos."));
    if (hasSchema())
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("La base de datos ya tiene las tablas de Molvera; no se "
                                          "modificó."));
    const QString script = schemaScript();
    if (script.isEmpty())
        throw ServiceError(
            ServiceError::Database,
            QStringLiteral("Falta el esquema de la base para %1.").arg(m_dialect.name()));
    QSqlDatabase db = database();
    m_cache.clear();
    if (!db.transaction())
        throw ServiceError(ServiceError::Database, withoutPassword(db.lastError().text()));
    try {
        executeScript(script);
    } catch (...) {
        db.rollback();
        throw;
    }
    if (!db.commit())
        throw ServiceError(ServiceError::Database, withoutPassword(db.lastError().text()));
}

QString DataService::schemaScript() const
{
    switch (m_dialect.kind()) {
    case SqlDialect::Kind::SQLite:
        return embeddedSchema(QStringLiteral("sqlite"));
    case SqlDialect::Kind::PostgreSQL:
        return embeddedSchema(QStringLiteral("postgres"));
    case SqlDialect::Kind::SqlServer:
        return embeddedSchema(QStringLiteral("sqlserver"));
    }
    return {};
}

int DataService::upgradeSchema()
{
    if (!isOpen())
        throw ServiceError(ServiceError::NotConnected,
                           QStringLiteral("No hay conexión abierta con la base de datos."));
    m_cache.clear();
    const bool direct = directReads();
    m_reader.reset();
    m_odbcReader.reset();
    const int before = SchemaUpgrade(*this).upgrade();
    if (direct) setDirectReads(true);
    return before;
}

bool DataService::connectionAlive()
{
    QSqlQuery q(database());
    return q.exec(QStringLiteral("SELECT 1"));
}

void DataService::reconnect(const QString& why)
{
    // The reader's statements belong to the connection that goes.
    m_odbcReader.reset();
    m_cache.clear();
    QSqlDatabase db = database();
    if (db.isOpen()) db.close();
    m_lost = true;
    try {
        connectServer();
    } catch (const ServiceError& e) {
        QString text = QStringLiteral("Se perdió la conexión con la base de datos (origen de datos "
                                      "ODBC \"%1\") y no se pudo restablecer; la operación no se "
                                      "realizó.")
                           .arg(sourceLabel(m_databaseName));
        QString detail = e.description();
        const QLatin1String mark("\n\nDetalle: ");
        const qsizetype i = detail.indexOf(mark);
        if (i >= 0) detail = detail.mid(i + mark.size());
        if (!detail.isEmpty())
            text += QStringLiteral("\n\nDetalle: ") + detail;
        else if (!why.isEmpty())
            text += QStringLiteral("\n\nDetalle: ") + why;
        throw ServiceError(ServiceError::NotConnected, text);
    }
    m_lost = false;
    ++m_reconnections;
    applyServerTimeouts();
}

void DataService::guarded(const std::function<void()>& step)
{
    if (m_isServer && m_lost) reconnect({});
    // A statement of a transaction under way is never made again on a new
    // connection: the transaction went with the old one, and the statement
    // and those after it would be confirmed one by one outside it. Its error
    // goes to the transaction's owner, who undoes it (a server also refuses
    // every statement of a transaction after a failed one, which looks like a
    // lost connection).
    const bool inTransaction = m_isServer && ownersTransactionOpen();
    try {
        step();
        return;
    } catch (const ServiceError& e) {
        if (!m_isServer || inTransaction || e.number() != ServiceError::Database ||
            connectionAlive())
            throw;
        reconnect(e.description());
    }
    step();
}

QVariant DataService::bindable(const QVariant& value) const
{
    if (value.isNull()) return value;
    QDateTime dt;
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
        dt = value.toDateTime();
        break;
    case QMetaType::QDate:
        dt = QDateTime(value.toDate(), QTime(0, 0));
        break;
    default:
        return value;
    }
    // Every database keeps date-times to the second, so that a value written
    // and the same value read back or compared agree.
    const QTime t = dt.time();
    dt.setTime(QTime(t.hour(), t.minute(), t.second()));
    if (m_dialect.kind() == SqlDialect::Kind::SQLite)
        return dt.toString(QLatin1String(kStoredDateTime));
    // Servers: bound as a timestamp.
    return dt;
}

QDateTime DataService::toDateTime(const QVariant& value)
{
    if (value.isNull()) return {};
    if (value.metaType().id() == QMetaType::QDateTime) return value.toDateTime();
    if (value.metaType().id() == QMetaType::QDate) return QDateTime(value.toDate(), QTime(0, 0));
    const QString s = value.toString();
    QDateTime dt = QDateTime::fromString(s, QLatin1String(kStoredDateTime));
    if (!dt.isValid()) dt = QDateTime::fromString(s, Qt::ISODateWithMs);
    if (!dt.isValid()) dt = QDateTime::fromString(s, Qt::ISODate);
    return dt;
}

std::shared_ptr<QSqlQuery> DataService::prepared(const QString& sql)
{
    refuseIfMoved();
    if (!isOpen() && m_isServer && m_lost) reconnect({});
    if (!isOpen())
        throw ServiceError(ServiceError::NotConnected,
                           QStringLiteral("No hay conexión abierta con la base de datos."));
    auto it = m_cache.find(sql);
    if (it != m_cache.end()) return *it;
    auto q = std::make_shared<QSqlQuery>(database());
    q->setForwardOnly(true);
    const QString translated = m_dialect.translate(sql);
    if (!q->prepare(translated)) raise(*q, translated);
    if (m_cache.size() > 200) m_cache.clear();
    m_cache.insert(sql, q);
    return q;
}

std::shared_ptr<QSqlQuery> DataService::run(const QString& sql, const QVariantList& params)
{
    std::shared_ptr<QSqlQuery> q = prepared(sql);
    for (int i = 0; i < params.size(); ++i)
        q->bindValue(i, bindable(params.at(i)));
    if (!q->exec()) {
        // A statement that failed is prepared afresh next time.
        m_cache.remove(sql);
        raise(*q, q->lastQuery());
    }
    return q;
}

void DataService::raise(const QSqlQuery& q, const QString& sql)
{
    const QSqlError e = q.lastError();
    QString text = e.databaseText().trimmed();
    if (text.isEmpty()) text = e.text().trimmed();
    Q_UNUSED(sql);
    raise(text, e.driverText(), e.nativeErrorCode().toInt());
}

void DataService::raise(QString text, const QString& driverText, int nativeCode)
{
    if (!driverText.isEmpty() && !text.contains(driverText))
        text += QStringLiteral(" (") + driverText + u')';
    // The embedded database's faults that the operator can act on, in words.
    if (m_dialect.kind() == SqlDialect::Kind::SQLite) {
        QString what;
        switch (nativeCode & 0xff) {
        case 5: // busy
        case 6: // locked
            what = QStringLiteral("La base de datos está ocupada por otra estación de trabajo y no "
                                  "se liberó a tiempo; la operación no se realizó. Reintente en "
                                  "unos momentos.");
            break;
        case 8:
            what =
                QStringLiteral("La base de datos es de solo lectura; la operación no se realizó.");
            break;
        case 10:
            what = QStringLiteral("No se pudo leer o escribir el archivo de la base de datos; la "
                                  "operación no se realizó.");
            break;
        case 13:
            what = QStringLiteral("El disco de la base de datos está lleno; la operación no se "
                                  "realizó. Libere espacio y reintente.");
            break;
        case 11: // corrupt: "database disk image is malformed"
        case 26: // not a database
            m_damaged = true;
            what = damagedText();
            break;
        default:
            break;
        }
        if (!what.isEmpty()) text = what + QStringLiteral("\n\nDetalle: ") + text;
    }
    // Any other refusal: one sentence in words, the database's own text after.
    if (!text.contains(QLatin1String("\n\nDetalle: ")))
        text = QStringLiteral("La base de datos rechazó la instrucción (falta una tabla o columna "
                              "que usa, o la instrucción está mal formada); la operación no se "
                              "realizó.\n\nDetalle: ") +
               text;
    throw ServiceError(ServiceError::Database, withoutPassword(text));
}

int DataService::execute(const QString& sql, const QVariantList& params)
{
    if (m_isServer) {
        // What the step writes outlives this call if it is given up on.
        auto n = std::make_shared<int>(0);
        onServer(
            [this, sql, params, n] {
                std::shared_ptr<QSqlQuery> q = run(sql, params);
                *n = q->numRowsAffected();
                q->finish();
            },
            true);
        return *n;
    }
    int n = 0;
    guarded([&] {
        std::shared_ptr<QSqlQuery> q = run(sql, params);
        n = q->numRowsAffected();
        q->finish();
    });
    return n;
}

bool DataService::executeChanged(const QString& sql, const QVariantList& params)
{
    sqlite3* handle = m_isServer ? nullptr : SqliteReader::handleOf(database());
    // Every row changed on the connection, by the statement and by the
    // triggers it sets off; a view's trigger runs only for rows that exist.
    const sqlite3_int64 before = handle ? sqlite3_total_changes64(handle) : 0;
    const int n = execute(sql, params);
    return n > 0 || (handle && sqlite3_total_changes64(handle) > before);
}

void DataService::executeScript(const QString& script)
{
    for (const QString& stmt : SqlScript::split(script)) {
        QSqlQuery q(database());
        if (!q.exec(stmt)) raise(q, stmt);
    }
}

qint64 DataService::insertReturningId(const QString& table, const QStringList& columns,
                                      const QVariantList& values, const QString& idColumn)
{
    const QString sql = m_dialect.insertReturningId(table, columns, idColumn);
    struct Made {
        qint64 id = 0;
        bool ok = false;
    };
    auto made = std::make_shared<Made>();
    auto step = [this, sql, values, made] {
        std::shared_ptr<QSqlQuery> q = run(sql, values);
        if (m_dialect.returnsIdFromStatement()) {
            // A batch (SQL Server) may answer row counts before the id.
            while (!q->isSelect() && q->nextResult()) {
            }
            if (q->next()) made->id = q->value(0).toLongLong(&made->ok);
        } else {
            made->id = q->lastInsertId().toLongLong(&made->ok);
        }
        q->finish();
    };
    if (m_isServer)
        onServer(step, true);
    else
        guarded(step);
    const qint64 id = made->id;
    const bool ok = made->ok;
    if (!ok || id <= 0)
        throw ServiceError(
            ServiceError::Database,
            QStringLiteral("La base de datos no informó el número del registro nuevo."));
    return id;
}

bool DataService::tableHasColumn(const QString& table, const QString& column)
{
    if (!isOpen()) return false;
    QSqlDatabase db = database();
    if (m_isServer) {
        // The driver's catalogue spans every schema of the server; a
        // statement sees the table this connection works with.
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT * FROM %1 WHERE 1 = 0")
                        .arg(m_dialect.quoteIdentifier(table))))
            return false;
        return q.record().indexOf(column) >= 0;
    }
    QSqlRecord rec = db.record(table);
    if (rec.isEmpty()) rec = db.record(table.toLower());
    for (int i = 0; i < rec.count(); ++i)
        if (rec.fieldName(i).compare(column, Qt::CaseInsensitive) == 0) return true;
    return false;
}
