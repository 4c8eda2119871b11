#pragma once

#include "RecordSet.h"
#include "SharedTexts.h"
#include "SqlDialect.h"

#include <QHash>
#include <QString>
#include <QVariantList>

struct sqlite3;
struct sqlite3_stmt;
class QSqlDatabase;

// Reads the rows of statements on the embedded database straight from the
// connection's own SQLite handle: each statement is prepared once and kept,
// and every value goes once from SQLite into the record set, without the
// driver's row cache in between. The values and field types are the ones the
// Qt driver gives for the same columns, so that callers see no difference.
//
// The reader borrows the handle of the connection; it must be cleared
// (statements finalized) before that connection is closed.
class SqliteReader
{
public:
    // The handle of an open QSQLITE connection; null when the connection has
    // none this reader can use.
    static sqlite3* handleOf(const QSqlDatabase& db);

    // Statements are given in the program's form and translated by `dialect`.
    SqliteReader(sqlite3* db, const SqlDialect& dialect);
    ~SqliteReader();
    SqliteReader(const SqliteReader&) = delete;
    SqliteReader& operator=(const SqliteReader&) = delete;

    struct Failure {
        int code = 0;    // SQLite's result code
        QString message; // SQLite's text
    };

    // Runs a statement with its (bindable) values and reads every row into
    // `rows`, one row's values after the other. On a failure answers false
    // and fills `failure`; the statement is then prepared afresh next time.
    bool read(const QString& sql, const QVariantList& params, QVector<RecordSet::Field>& fields,
              QVector<QVariant>& rows, Failure& failure);

    // Finalizes every kept statement.
    void clear();

private:
    // The program's own SQL functions on the connection: molvera_pliegue(x).
    static void registerFunctions(sqlite3* db);

    // A kept statement and what it answers: names and declared types of its
    // columns, read once.
    struct Prepared {
        sqlite3_stmt* st = nullptr;
        QVector<RecordSet::Field> fields;
        QVector<int> undeclared; // columns typed by their first value
        int reprepared = 0;      // SQLite's count of preparations after schema changes
        int lastRows = 0;        // rows read the last time
        int reads = 0;           // times read
        // Columns whose texts did not repeat the last time they were looked
        // up: read as they come, without keeping them.
        QVector<bool> unshared;
    };
    Prepared* statement(const QString& sql, Failure& failure);
    void describe(Prepared& p) const;
    void drop(const QString& sql);

    sqlite3* m_db;
    SqlDialect m_dialect;
    QHash<QString, Prepared> m_statements;
    SharedTexts m_texts;
};
