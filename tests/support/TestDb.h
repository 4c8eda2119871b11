#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

class DataService;

// A fresh database for one test: an embedded file in a scratch folder, made
// from the program's own schema and starter rows.
class TestDb
{
public:
    explicit TestDb(const QString& connectionName = QStringLiteral("test"));
    ~TestDb();

    DataService& data() { return *m_data; }
    QString path() const;
    // A second, independent connection to the same database (another
    // workstation).
    std::unique_ptr<DataService> secondConnection(const QString& name = QStringLiteral("second"));
    // Runs a statement and answers the first column of its first row.
    QVariant scalar(const QString& sql, const QVariantList& params = {});

private:
    QTemporaryDir m_dir;
    std::unique_ptr<DataService> m_data;
};
