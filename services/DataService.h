#pragma once

#include "RecordSet.h"
#include "SqlDialect.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class OdbcReader;
class QSqlQuery;
class ServerCall;
class WalCheckpointer;
class SqliteReader;

// Owns the program's one database connection. Windows and models are handed
// this object and never open a connection of their own. Every statement takes
// its values as bound parameters; failures are raised as ServiceError.
class DataService
{
public:
    explicit DataService(const QString& connectionName = QStringLiteral("molvera"));
    ~DataService();
    DataService(const DataService&) = delete;
    DataService& operator=(const DataService&) = delete;

    // Connection properties, stored for the next open.
    void setServer(const QString& server) { m_server = server; }
    void setDatabaseName(const QString& name) { m_databaseName = name; }
    void setUser(const QString& user) { m_user = user; }
    void setPassword(const QString& password) { m_password = password; }
    QString server() const { return m_server; }
    QString databaseName() const { return m_databaseName; }
    QString user() const { return m_user; }
    QString password() const { return m_password; }

    // Opens the connection. With noServer the embedded database file is used
    // (the database name is its path or its name in the user's data folder);
    // otherwise the database name is an ODBC data source. The outcome is read
    // with isOpen(); openError() tells why it failed, without the password.
    // The ODBC data source is given by its name (as in odbc.ini); a full
    // "DRIVER={...};SERVER=...;" string is taken as it stands. A server
    // database must be PostgreSQL or SQL Server and hold the program's schema
    // (unless schema checking is off, for --init-db).
    void open(bool noServer, int mode = 3, const QString& extra = {});
    bool isOpen() const;
    bool isServer() const { return m_isServer; }
    QString openError() const { return m_openError; }
    void close();
    void setSchemaCheck(bool on) { m_schemaCheck = on; }

    // True when the open database holds the intake table.
    bool hasSchema();
    // Creates the program's tables, views, triggers and starter rows on the
    // open (empty) database, in one transaction. Throws when the schema is
    // already there or the database refuses a statement.
    void createSchema();
    // The schema script of db/ for this database, built into the program.
    QString schemaScript() const;
    // Brings an older schema up to date in one transaction, keeping every
    // row (SchemaUpgrade); a newer one is refused untouched. Answers the
    // version the database had. Opening does this by itself (on a server
    // unless schema checking is off).
    int upgradeSchema();

    // The file of the embedded database (empty on a server connection).
    QString embeddedPath() const { return m_embeddedPath; }
    // The file an embedded database name stands for: a path, a name in the
    // user's data folder, or (blank) molvera.db there.
    static QString embeddedFilePath(const QString& databaseName);
    // True once the embedded database's file was deleted, renamed or replaced
    // by another file under the open connection: what would be written now
    // goes to a file no other program sees. From then on every statement
    // raises a ServiceError that says so (nothing more is written).
    bool fileMoved();
    // True once the embedded database answered that it is damaged or no
    // database (a file replaced in place, its -wal or -shm deleted under the
    // program): it can no longer be trusted, and from then on every
    // statement raises a ServiceError that says so (nothing more is written).
    bool damaged() const { return m_damaged; }
    // Copies what the embedded database's log (-wal) holds into the database
    // file itself, without waiting for other workstations, so that the file
    // alone holds every accepted change (the program does it as it ends).
    void checkpoint();
    // The connection string of the open session, without the password.
    QString connectionString() const { return m_connectionString; }
    const SqlDialect& dialect() const { return m_dialect; }
    QSqlDatabase database() const;

    // A text with the password taken out, for messages and logs.
    QString withoutPassword(QString text) const;

    void setCommandTimeout(int seconds) { m_commandTimeout = seconds; }
    int commandTimeout() const { return m_commandTimeout; }

    // On a server, a statement that fails because the connection was lost
    // (server restarted) reconnects once and runs again; when the connection
    // cannot be made again it raises NotConnected with one clear message, and
    // the next statement tries once more. reconnections() counts the
    // connections made again so far.
    int reconnections() const { return m_reconnections.load(); }

    // On a server every statement runs on a thread of its own and the caller
    // waits for it with a limit: after `noticeMs` the wait notice is told
    // (true; false when the wait ends), after `limitMs` the statement is given
    // up with a NotConnected error that says the server did not answer, and
    // nothing it did is kept (a change is confirmed only while its caller
    // still waits). While a statement given up on still has no answer, the
    // next ones are refused at once the same way. The server is also asked to
    // end a statement or a lock wait by itself a second before the limit.
    static constexpr int kNoticeMs = 1000;
    static constexpr int kLimitMs = 10000;
    void setServerLimits(int noticeMs, int limitMs);
    int serverLimitMs() const { return m_limitMs; }
    void setWaitNotice(std::function<void(bool waiting)> notice);
    // True while a statement given up on has not been answered yet.
    bool serverBusy() const;

    // Runs a statement (translated into the database's form) and answers the
    // number of rows it changed, where the driver reports it.
    int execute(const QString& sql, const QVariantList& params = {});
    // Runs a statement that changes rows and answers whether it changed any.
    // On the embedded database a change made through a view counts the rows
    // its INSTEAD OF trigger changed (SQLite reports none for the view).
    bool executeChanged(const QString& sql, const QVariantList& params = {});
    // Runs the work as one transaction that no other connection runs at the
    // same time under the same lock number (on the embedded database, no
    // other writer at all): what the work reads stays true until it has
    // written. A failure in the work undoes the whole of it and is raised.
    void exclusiveTransaction(qint64 lock, const std::function<void()>& work);
    // Runs a script of several statements (schema creation).
    void executeScript(const QString& script);
    // Reads every row of a statement, forward and read-only.
    RecordSet openRecordSet(const QString& sql, const QVariantList& params = {});
    // Rows are read straight from the connection's handle (on by default):
    // the embedded database's SQLite handle, a server's ODBC handle a block
    // of rows at a time; off, they come through the Qt driver. Either way the
    // record sets are the same.
    void setDirectReads(bool on);
    bool directReads() const;
    // Inserts one row and answers the id that the insert itself produced.
    qint64 insertReturningId(const QString& table, const QStringList& columns,
                             const QVariantList& values, const QString& idColumn = "ID");

    // True when the table has a row whose column equals the value, as text.
    bool exists(const QString& table, const QString& value, const QString& column);
    // True when the table exists and has that column.
    bool tableHasColumn(const QString& table, const QString& column);
    // The declared length of each text column of a table or view, by column
    // name in lower case ("vendedor" -> 100); empty for a name that is no
    // table or view, or whose columns declare no length.
    QHash<QString, int> declaredLengths(const QString& relation);

    // A number typed by the operator (in the locale's form or with a period),
    // as a number to bind; empty when the text is no number.
    static std::optional<double> numericValue(const QString& text);
    // The same for the plain form alone (optional minus, digits, one decimal
    // separator: `decimalPoint` or a period); empty for any other text.
    static std::optional<double> plainNumber(QStringView text, const QString& decimalPoint);
    // The same number written as a statement literal ("12.5").
    static QString numericLiteral(const QString& text);

    // The stored form of a date-time value on this database.
    QVariant bindable(const QVariant& value) const;
    // A date-time read back from the database, whatever its stored form.
    static QDateTime toDateTime(const QVariant& value);

private:
    void openEmbedded();
    void openServer();
    void connectServer();
    void applySchema(bool fileIsNew);
    std::shared_ptr<QSqlQuery> prepared(const QString& sql);
    std::shared_ptr<QSqlQuery> run(const QString& sql, const QVariantList& params);
    [[noreturn]] void raise(const QSqlQuery& q, const QString& sql);
    [[noreturn]] void raise(QString text, const QString& driverText, int nativeCode);
    void detectDialect();
    // Raises when the embedded file was deleted or replaced under the
    // program, or turned out damaged.
    void refuseIfMoved();
    QString damagedText() const;
    // Runs one step; on a server whose connection turns out to be lost, makes
    // it again and runs the step a second time.
    void guarded(const std::function<void()>& step);
    // A server connection inside a transaction its owner began.
    bool ownersTransactionOpen() const;
    // Runs a step on a server connection through the call thread, within the
    // limits (`writes`: inside a transaction of its own, confirmed only while
    // the caller still waits). Raises NotConnected when it was given up.
    void onServer(const std::function<void()>& step, bool writes);
    [[noreturn]] void refuseUnanswered(bool unknown, bool earlier) const;
    // The session settings that make the server end a long statement or
    // lock wait itself, within the limit.
    void applyServerTimeouts();
    bool connectionAlive();
    // Reads a statement through the server's ODBC handle; false when it is
    // left to the Qt driver.
    bool readFromServer(const QString& sql, const QVariantList& values, RecordSet& result);
    void reconnect(const QString& why);

    QString m_connectionName;
    QString m_server, m_databaseName, m_user, m_password;
    QString m_openError, m_connectionString, m_embeddedPath;
    SqlDialect m_dialect;
    int m_commandTimeout = 30;
    bool m_isServer = false;
    bool m_schemaCheck = true;
    bool m_lost = false; // a server connection that was lost and not yet made again
    std::atomic<int> m_reconnections{0};
    // The connection, also for the call thread (a connection is looked up by
    // name only on the thread that made it).
    QSqlDatabase m_db;
    std::unique_ptr<ServerCall> m_call;
    std::function<void(bool)> m_notice;
    int m_noticeMs = kNoticeMs;
    int m_limitMs = kLimitMs;
    bool m_moved = false;   // the embedded file is no longer the one at its path
    bool m_damaged = false; // the embedded database said it is damaged
    QString m_protected;    // the file registered with ProtectedFiles
    QHash<QString, std::shared_ptr<QSqlQuery>> m_cache;
    // Reads on the embedded database, straight from its handle.
    std::unique_ptr<SqliteReader> m_reader;
    // The embedded log's checkpoints, off the writer's commits.
    std::unique_ptr<WalCheckpointer> m_checkpointer;
    // Reads on a server, straight from its ODBC handle (made at the first
    // read after the connection opens, dropped before it closes).
    std::unique_ptr<OdbcReader> m_odbcReader;
    bool m_serverReads = true;
};
