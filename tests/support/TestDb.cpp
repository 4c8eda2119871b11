#include "TestDb.h"

#include "DataService.h"
#include "ServiceError.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QtTest>

namespace {

QString env(const char* name)
{
    return qEnvironmentVariable(name).trimmed();
}

// The data source with the test's own schema first in the search path, so
// that every connection of the test (and every reconnection) works there.
QString sourceFor(const QString& schema)
{
    return QStringLiteral("%1;ConnSettings=SET search_path TO %2").arg(TestDb::serverDsn(), schema);
}

void configure(DataService& d, const QString& schema)
{
    d.setServer(QStringLiteral("test"));
    d.setDatabaseName(sourceFor(schema));
    d.setUser(env("MOLVERA_TEST_ODBC_USER"));
    d.setPassword(qEnvironmentVariable("MOLVERA_TEST_ODBC_PASSWORD"));
}

} // namespace

QString TestDb::serverDsn()
{
    return env("MOLVERA_TEST_ODBC_DSN");
}

TestDb::TestDb(const QString& connectionName) : m_data(std::make_unique<DataService>(connectionName))
{
    if (!serverDsn().isEmpty()) {
        openOnServer();
        return;
    }
    m_data->setDatabaseName(QDir(m_dir.path()).filePath(QStringLiteral("molvera-test.db")));
    m_data->open(true);
    if (!m_data->isOpen()) qFatal("test database: %s", qPrintable(m_data->openError()));
}

void TestDb::openOnServer()
{
    static QAtomicInt counter;
    m_schema = QStringLiteral("molvera_t%1_%2")
                   .arg(QCoreApplication::applicationPid())
                   .arg(counter.fetchAndAddRelaxed(1));
    configure(*m_data, m_schema);
    m_data->setSchemaCheck(false);
    m_data->open(false);
    if (!m_data->isOpen()) qFatal("test database on the server: %s", qPrintable(m_data->openError()));
    try {
        m_data->execute(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(m_schema));
        m_data->execute(QStringLiteral("CREATE SCHEMA %1").arg(m_schema));
        m_data->createSchema();
    } catch (const ServiceError& e) {
        qFatal("test schema %s: %s", qPrintable(m_schema), qPrintable(e.description()));
    }
    m_data->setSchemaCheck(true);
}

TestDb::~TestDb()
{
    if (!onServer() || !m_data) return;
    try {
        if (!m_data->isOpen()) m_data->open(false);
        m_data->execute(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(m_schema));
    } catch (const ServiceError&) {
        // A schema left behind lives only in the test cluster.
    }
}

QString TestDb::path() const
{
    return m_data->embeddedPath();
}

std::unique_ptr<DataService> TestDb::secondConnection(const QString& name)
{
    auto second = std::make_unique<DataService>(name);
    if (onServer()) {
        configure(*second, m_schema);
        second->open(false);
    } else {
        second->setDatabaseName(path());
        second->open(true);
    }
    if (!second->isOpen()) qFatal("second connection: %s", qPrintable(second->openError()));
    return second;
}

QVariant TestDb::scalar(const QString& sql, const QVariantList& params)
{
    RecordSet rs = m_data->openRecordSet(sql, params);
    if (rs.bof()) return {};
    return rs.value(0);
}
