#include "DataService.h"

#include "EmbeddedSchema.h"
#include "ServiceError.h"
#include "SqlScript.h"

#include <QDateTime>
#include <cmath>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>

namespace {

const char* kStoredDateTime = "yyyy-MM-dd HH:mm:ss";

int definedSizeOf(const QSqlField& f, const QVector<QVector<QVariant>>& rows, int col)
{
    if (f.length() > 0 && f.length() < 100000) return f.length();
    switch (f.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt: return 4;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double: return 8;
    case QMetaType::Bool: return 2;
    case QMetaType::QDate:
    case QMetaType::QDateTime: return 8;
    default: break;
    }
    // Drivers that report no declared length (SQLite): the longest value.
    int longest = 1;
    for (const auto& r : rows) {
        const QVariant& v = r.at(col);
        if (!v.isNull()) longest = std::max<int>(longest, v.toString().size());
    }
    return longest;
}

} // namespace

DataService::DataService(const QString& connectionName) : m_connectionName(connectionName) {}

DataService::~DataService()
{
    close();
}

QSqlDatabase DataService::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

bool DataService::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && database().isOpen();
}

void DataService::close()
{
    m_cache.clear();
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = database();
            if (db.isOpen()) db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

void DataService::open(bool noServer, int /*mode*/, const QString& /*extra*/)
{
    close();
    m_openError.clear();
    try {
        if (noServer) openEmbedded();
        else openServer();
    } catch (const ServiceError& e) {
        m_openError = e.description();
        close();
    }
}

void DataService::openEmbedded()
{
    QString path = m_databaseName.trimmed();
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (path.isEmpty()) {
        path = QDir(dataDir).filePath(QStringLiteral("molvera.db"));
    } else if (!path.contains(u'/') && !path.contains(u'\\')) {
        if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".db");
        path = QDir(dataDir).filePath(path);
    }
    QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("No se puede crear la carpeta %1.").arg(info.absolutePath()));
    const bool isNew = !info.exists() || info.size() == 0;
    if (!isNew && !info.isWritable())
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("La base de datos %1 es de solo lectura.").arg(path));

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("No se puede abrir la base de datos %1: %2")
                               .arg(path, db.lastError().text()));
    m_dialect = SqlDialect(SqlDialect::Kind::SQLite);
    m_embeddedPath = info.absoluteFilePath();
    m_connectionString = QStringLiteral("Driver=SQLite;Database=%1").arg(m_embeddedPath);

    // A file that is no database, or a damaged one, fails here.
    {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next() ||
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
            throw ServiceError(ServiceError::Database,
                               QStringLiteral("El archivo %1 no contiene una base de datos de Molvera.")
                                   .arg(path));
    }
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
    applySchemaIfNew(isNew);
}

void DataService::applySchemaIfNew(bool fileIsNew)
{
    QSqlDatabase db = database();
    const QStringList tables = db.tables(QSql::Tables);
    bool hasIntake = false;
    for (const QString& t : tables)
        if (t.compare(QLatin1String("mv_molvera"), Qt::CaseInsensitive) == 0) hasIntake = true;
    if (hasIntake) return;
    if (!fileIsNew && !tables.isEmpty())
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("El archivo %1 no contiene una base de datos de Molvera.")
                               .arg(m_embeddedPath));
    const QString script = embeddedSchema(QStringLiteral("sqlite"));
    if (script.isEmpty())
        throw ServiceError(ServiceError::Database, QStringLiteral("Falta el esquema de la base."));
    if (!db.transaction())
        throw ServiceError(ServiceError::Database, db.lastError().text());
    try {
        executeScript(script);
    } catch (...) {
        db.rollback();
        throw;
    }
    if (!db.commit()) throw ServiceError(ServiceError::Database, db.lastError().text());
}

void DataService::openServer()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_connectionName);
    db.setDatabaseName(m_databaseName);
    db.setUserName(m_user);
    db.setPassword(m_password);
    if (!db.open()) {
        QString why = db.lastError().text();
        if (!m_password.isEmpty()) why.replace(m_password, QStringLiteral("****"));
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("No se puede conectar con el origen de datos \"%1\" "
                                          "(usuario \"%2\"): %3")
                               .arg(m_databaseName, m_user, why));
    }
    m_embeddedPath.clear();
    m_connectionString = QStringLiteral("DSN=%1;UID=%2").arg(m_databaseName, m_user);
    detectDialect();
}

void DataService::detectDialect()
{
    QSqlQuery q(database());
    if (q.exec(QStringLiteral("SELECT version()")) && q.next() &&
        q.value(0).toString().contains(QLatin1String("PostgreSQL"), Qt::CaseInsensitive)) {
        m_dialect = SqlDialect(SqlDialect::Kind::PostgreSQL);
        return;
    }
    m_dialect = SqlDialect(SqlDialect::Kind::SqlServer);
}

QVariant DataService::bindable(const QVariant& value) const
{
    if (m_dialect.kind() != SqlDialect::Kind::SQLite) return value;
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QLatin1String(kStoredDateTime));
    case QMetaType::QDate:
        return QDateTime(value.toDate(), QTime(0, 0)).toString(QLatin1String(kStoredDateTime));
    default: return value;
    }
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

QSqlQuery& DataService::prepared(const QString& sql)
{
    if (!isOpen())
        throw ServiceError(ServiceError::NotConnected,
                           QStringLiteral("No hay conexión abierta con la base de datos."));
    auto it = m_cache.find(sql);
    if (it != m_cache.end()) return **it;
    auto q = std::make_shared<QSqlQuery>(database());
    q->setForwardOnly(true);
    const QString translated = m_dialect.translate(sql);
    if (!q->prepare(translated)) raise(*q, translated);
    if (m_cache.size() > 200) m_cache.clear();
    m_cache.insert(sql, q);
    return *q;
}

void DataService::raise(const QSqlQuery& q, const QString& sql) const
{
    const QSqlError e = q.lastError();
    QString text = e.databaseText().trimmed();
    if (text.isEmpty()) text = e.text().trimmed();
    if (!e.driverText().isEmpty() && !text.contains(e.driverText()))
        text += QStringLiteral(" (") + e.driverText() + u')';
    Q_UNUSED(sql);
    throw ServiceError(ServiceError::Database, text);
}

int DataService::execute(const QString& sql, const QVariantList& params)
{
    QSqlQuery& q = prepared(sql);
    for (int i = 0; i < params.size(); ++i) q.bindValue(i, bindable(params.at(i)));
    if (!q.exec()) {
        const QString translated = q.lastQuery();
        m_cache.remove(sql);
        raise(q, translated);
    }
    const int n = q.numRowsAffected();
    q.finish();
    return n;
}

void DataService::executeScript(const QString& script)
{
    for (const QString& stmt : SqlScript::split(script)) {
        QSqlQuery q(database());
        if (!q.exec(stmt)) raise(q, stmt);
    }
}

RecordSet DataService::openRecordSet(const QString& sql, const QVariantList& params)
{
    QSqlQuery& q = prepared(sql);
    for (int i = 0; i < params.size(); ++i) q.bindValue(i, bindable(params.at(i)));
    if (!q.exec()) {
        const QString translated = q.lastQuery();
        m_cache.remove(sql);
        raise(q, translated);
    }
    const QSqlRecord rec = q.record();
    const int n = rec.count();
    QVector<QVector<QVariant>> rows;
    while (q.next()) {
        QVector<QVariant> row(n);
        for (int i = 0; i < n; ++i) row[i] = q.value(i);
        rows.push_back(std::move(row));
    }
    if (q.lastError().isValid()) {
        m_cache.remove(sql);
        raise(q, sql);
    }
    QVector<RecordSet::Field> fields(n);
    for (int i = 0; i < n; ++i) {
        const QSqlField f = rec.field(i);
        fields[i].name = f.name();
        fields[i].type = static_cast<QMetaType::Type>(f.metaType().id());
        fields[i].definedSize = definedSizeOf(f, rows, i);
    }
    q.finish();
    return RecordSet(std::move(fields), std::move(rows));
}

qint64 DataService::insertReturningId(const QString& table, const QStringList& columns,
                                      const QVariantList& values, const QString& idColumn)
{
    const QString sql = m_dialect.insertReturningId(table, columns, idColumn);
    QSqlQuery& q = prepared(sql);
    for (int i = 0; i < values.size(); ++i) q.bindValue(i, bindable(values.at(i)));
    if (!q.exec()) {
        const QString translated = q.lastQuery();
        m_cache.remove(sql);
        raise(q, translated);
    }
    qint64 id = 0;
    bool ok = false;
    if (m_dialect.returnsIdFromStatement()) {
        if (q.next()) id = q.value(0).toLongLong(&ok);
    } else {
        id = q.lastInsertId().toLongLong(&ok);
    }
    q.finish();
    if (!ok || id <= 0)
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("La base de datos no informó el número del registro nuevo."));
    return id;
}

bool DataService::exists(const QString& table, const QString& value, const QString& column)
{
    const QString sql = QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?")
                            .arg(m_dialect.quoteIdentifier(table), m_dialect.quoteIdentifier(column));
    RecordSet rs = openRecordSet(sql, {value});
    return !rs.isEmpty();
}

bool DataService::tableHasColumn(const QString& table, const QString& column)
{
    if (!isOpen()) return false;
    QSqlDatabase db = database();
    QSqlRecord rec = db.record(table);
    if (rec.isEmpty()) rec = db.record(table.toLower());
    for (int i = 0; i < rec.count(); ++i)
        if (rec.fieldName(i).compare(column, Qt::CaseInsensitive) == 0) return true;
    return false;
}

std::optional<double> DataService::numericValue(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    QLocale loc;
    loc.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double d = loc.toDouble(t, &ok);
    if (!ok) d = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(d)) return std::nullopt;
    return d;
}

QString DataService::numericLiteral(const QString& text)
{
    const auto v = numericValue(text);
    if (!v) throw ServiceError(ServiceError::TypeMismatch,
                               QStringLiteral("\"%1\" no es un número.").arg(text));
    return QString::number(*v, 'g', 17);
}
