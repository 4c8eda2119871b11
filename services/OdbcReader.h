#pragma once

#include "RecordSet.h"
#include "SqlDialect.h"

#include <QHash>
#include <QString>
#include <QVariantList>
#include <memory>
#include <vector>

class QSqlDatabase;

// Reads the rows of statements on a server connection straight from the ODBC
// connection handle the Qt driver opened, a block of rows at a time into
// bound buffers, instead of one driver call per value. Each statement is
// prepared once and kept. The values and field types are the ones the Qt
// driver gives for the same columns; a statement with a column of another
// kind (or a text longer than the reader takes) is left to the Qt driver.
//
// The reader borrows the connection's handle: it must be cleared before that
// connection is closed or opened again.
class OdbcReader
{
public:
    // The handle of an open QODBC connection; null when there is none.
    static void* handleOf(const QSqlDatabase& db);

    // Statements are given in the program's form and translated by `dialect`.
    OdbcReader(void* connection, const SqlDialect& dialect);
    ~OdbcReader();
    OdbcReader(const OdbcReader&) = delete;
    OdbcReader& operator=(const OdbcReader&) = delete;

    struct Column {
        RecordSet::Field field;
        int length = 0; // as the driver declares it (characters), 0 when it declares none
    };
    enum class Outcome { Read, Failed, NotHandled };

    // Runs a statement with its (bindable) values and reads every row into
    // `rows`, one row's values after the other. Failed: the database refused
    // it or the connection is gone; `message` holds the driver's text and the
    // statement is prepared afresh next time. NotHandled: nothing was read;
    // the statement has a column or value this reader does not take.
    Outcome read(const QString& sql, const QVariantList& params, QVector<Column>& columns,
                 QVector<QVariant>& rows, QString& message);

    // Frees every kept statement.
    void clear();

private:
    struct Prepared;
    struct Param; // a value to bind, with the storage the driver reads it from
    static bool makeParam(const QVariant& v, Param& p);
    // The kept statement of `sql`, prepared (translated) the first time.
    Prepared* statement(const QString& sql, QString& message);
    std::shared_ptr<Prepared> prepare(const QString& translated, QString& message);
    // Runs a statement and reads its rows, with room made for longer texts.
    Outcome run(Prepared& p, std::vector<Param>& values, QVector<QVariant>& rows,
                QString& message);
    bool describe(Prepared& p);
    void bindColumns(Prepared& p);
    Outcome fetch(Prepared& p, QVector<QVariant>& rows, QString& message, bool& truncated);
    void drop(const QString& sql);

    void* m_dbc;
    SqlDialect m_dialect;
    QHash<QString, std::shared_ptr<Prepared>> m_statements;
};
