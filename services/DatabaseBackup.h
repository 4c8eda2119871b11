#pragma once

#include <QString>

struct sqlite3;

// A copy of the embedded database taken while other workstations keep
// writing: SQLite's online backup reads one consistent state of the file
// (one read transaction; in WAL mode writers are not held up) into a new
// file beside the target, the copy is checked with integrity_check and
// made a self-contained file (no -wal), and only then put in the target's
// place. The source is read through its own SQLite connection and never
// written. The target is never the source or one of its companions
// (ProtectedFiles); no unfinished copy is left beside it: a failure or a
// signal takes the new one away, and those of earlier runs that did not end
// are taken away by the next one. Every message is in Spanish.
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
    // Copies left by earlier runs for the same target that did not end
    // (killed, or the machine stopped), taken away by the last copy().
    int removedParts() const { return m_removedParts; }

private:
    void removeStaleParts(const QString& target);
    Result fail(Result r, const QString& text);
    Result copyFrom(sqlite3* from, const QString& source, const QString& target);

    QString m_message;
    int m_pages = 0;
    int m_removedParts = 0;
};
