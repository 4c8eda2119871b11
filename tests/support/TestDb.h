#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

class DataService;

// A fresh database for one test: by default an embedded file in a scratch
// folder, made from the program's own schema and starter rows.
//
// When MOLVERA_TEST_ODBC_DSN names an ODBC data source of a PostgreSQL
// server (with MOLVERA_TEST_ODBC_USER and MOLVERA_TEST_ODBC_PASSWORD), the
// test runs there instead: each TestDb gets a schema of its own on that
// database, made from the PostgreSQL script, and drops it at the end, so that
// tests running at the same time never see each other's rows.
class TestDb
{
public:
    explicit TestDb(const QString& connectionName = QStringLiteral("test"));
    ~TestDb();

    DataService& data() { return *m_data; }
    // The embedded database file; empty when the test runs on a server.
    QString path() const;
    // True when the test runs on the server named by MOLVERA_TEST_ODBC_DSN.
    bool onServer() const { return !m_schema.isEmpty(); }
    // A second, independent connection to the same database (another
    // workstation).
    std::unique_ptr<DataService> secondConnection(const QString& name = QStringLiteral("second"));
    // Runs a statement and answers the first column of its first row.
    QVariant scalar(const QString& sql, const QVariantList& params = {});

    // The server data source the tests are pointed at (empty: embedded).
    static QString serverDsn();

private:
    void openOnServer();

    QTemporaryDir m_dir;
    QString m_schema;
    std::unique_ptr<DataService> m_data;
};
