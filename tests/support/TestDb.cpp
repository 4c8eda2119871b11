#include "TestDb.h"

#include "DataService.h"
#include "ServiceError.h"

#include <QDir>
#include <QtTest>

TestDb::TestDb(const QString& connectionName) : m_data(std::make_unique<DataService>(connectionName))
{
    m_data->setDatabaseName(QDir(m_dir.path()).filePath(QStringLiteral("molvera-test.db")));
    m_data->open(true);
    if (!m_data->isOpen()) qFatal("test database: %s", qPrintable(m_data->openError()));
}

TestDb::~TestDb() = default;

QString TestDb::path() const
{
    return m_data->embeddedPath();
}

std::unique_ptr<DataService> TestDb::secondConnection(const QString& name)
{
    auto second = std::make_unique<DataService>(name);
    second->setDatabaseName(path());
    second->open(true);
    if (!second->isOpen()) qFatal("second connection: %s", qPrintable(second->openError()));
    return second;
}

QVariant TestDb::scalar(const QString& sql, const QVariantList& params)
{
    RecordSet rs = m_data->openRecordSet(sql, params);
    if (rs.bof()) return {};
    return rs.value(0);
}
