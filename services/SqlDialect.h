#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// Everything that differs between the databases the program talks to lives
// here: identifier quoting, row limits, DELETE without FROM, the base table
// under an updatable view, how a new row's id is obtained.
class SqlDialect
{
public:
    enum class Kind { SQLite, PostgreSQL, SqlServer };

    explicit SqlDialect(Kind kind = Kind::SQLite) : m_kind(kind) {}

    Kind kind() const { return m_kind; }
    QString name() const;

    // An identifier as the database needs it: plain names (letters, digits,
    // underscore) unquoted, anything else quoted in the database's own way.
    QString quoteIdentifier(const QString& name) const;

    // Rewrites a statement written in the program's house form (bracketed
    // names, "SELECT top N", "DELETE view WHERE") into this database's form.
    // Texts inside single quotes are never touched.
    QString translate(const QString& sql) const;

    // The table that rows inserted through a view really land in, for the
    // databases whose driver cannot report the id of a row inserted through a
    // view. Other names are returned unchanged.
    QString insertTarget(const QString& viewOrTable) const;

    // An INSERT statement with one placeholder per column that hands back the
    // id of the new row as its only result column ("" when the driver's
    // last-insert id must be read instead).
    QString insertReturningId(const QString& table, const QStringList& columns,
                              const QString& idColumn) const;

    bool returnsIdFromStatement() const { return m_kind != Kind::SQLite; }

    // A date-time written into a statement text, to the second, in the form
    // the database reads whatever its language and date settings.
    QString dateTimeLiteral(const QDateTime& value) const;

    // A condition, in the program's house form, that `column` (a name as the
    // statement writes it) holds the one placeholder's pattern once folded as
    // TextFold folds texts: without regard to case or accents. The pattern
    // bound to it must be folded already.
    QString foldedLike(const QString& column) const;

    // A statement that lists the columns of the table or view named by its
    // one placeholder, with their declared length: two columns, the column
    // name and either the length or the declared type ("VARCHAR(100)").
    QString columnLengths() const;

    // The statement that, inside a transaction, waits until no other
    // connection holds the lock named by its one placeholder (a number) and
    // holds it until the transaction ends; empty where the transaction's
    // own write lock serves (the embedded database takes it at BEGIN).
    QString transactionLock() const;
    // The statement that opens such a transaction ("" where the driver's
    // own transaction start serves).
    QString beginWriteTransaction() const;

    // The dialect of a database named by its product or version text
    // ("PostgreSQL 15.4 on ...", "Microsoft SQL Server 2019 ..."); none for
    // databases the program does not work with.
    static std::optional<Kind> fromProductName(const QString& product);

private:
    Kind m_kind;
};
