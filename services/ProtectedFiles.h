#pragma once

#include <QList>
#include <QString>
#include <mutex>

// The files no writer of the program may touch and no part of it but SQLite
// may open: the file of each open embedded database and its companions
// (-wal, -shm, -journal). A path is told apart by what it is on the disk, not
// by how it is spelled: an existing file by its device and inode after
// following its links (a hard link or a symbolic link to the database is the
// database); a file that is not there yet by its name in its folder, the
// folder's links resolved (a -journal written beside the database would be
// taken by SQLite for its own).
//
// Every writer (the CSV exports, the report's PDF, the weighing slip, the
// print to a file, the backup, the query-mask file) asks refusalFor() before
// it opens its target; the save dialogs ask it before they ask to replace.
class ProtectedFiles
{
public:
    // The database file at `databasePath` and its companions. Added as many
    // times as the file is opened; remove() takes one away.
    void add(const QString& databasePath);
    void remove(const QString& databasePath);

    // The database `path` is, or is a companion of; empty when none.
    QString databaseOf(const QString& path) const;
    // Why `path` may not be written or opened, in words; empty when it may.
    QString refusal(const QString& path) const;

    // The embedded databases this process has open (the data service adds
    // and removes them).
    static ProtectedFiles& open();
    // refusal() against the databases this process has open.
    static QString refusalFor(const QString& path);

    // The words of a refusal of `path`, which belongs to `database`.
    static QString refusalText(const QString& path, const QString& database);

private:
    struct Database {
        QString path;
        quint64 device = 0, inode = 0; // of the file when it was added
        bool known = false;
    };
    QList<Database> databases() const;

    // The desks' connections open and close on threads of their own.
    mutable std::mutex m_mutex;
    QList<Database> m_databases;
};
