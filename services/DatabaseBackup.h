#pragma once

#include <QString>

struct sqlite3;

// A copy of the embedded database taken while other workstations keep
// writing: SQLite's online backup reads one consistent state of the file
// (one read transaction; in WAL mode writers are not held up) into a new
// file beside the target, the copy is checked with integrity_check and
// made a self-contained file (no -wal), and only then put in the target's
// place. The source is read through its own SQLite connection and never
// written.
class DatabaseBackup
{
public:
    enum class Result { Done, NoDatabase, Failed };

    // Copies the database file `source` into `target` (replaced when it is
    // there). The outcome in words is in message().
    Result copy(const QString& source, const QString& target);
    QString message() const { return m_message; }
    // Pages copied by the last copy().
    int pages() const { return m_pages; }

private:
    Result fail(Result r, const QString& text);
    Result copyFrom(sqlite3* from, const QString& source, const QString& target);

    QString m_message;
    int m_pages = 0;
};
