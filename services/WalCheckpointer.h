#pragma once

#include <QString>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct sqlite3;

// Copies the write-ahead log of an embedded database back into the database
// on a thread and a connection of its own, so that no operator's commit ever
// waits for it. The writing connection stops checkpointing by itself
// (`attach`) and tells this one after each commit how long the log has grown;
// past `kPages` pages the thread checkpoints without blocking writers or
// readers (PASSIVE), and the writer's next commit starts the log again from
// its beginning, the file cut back to `kKeepBytes`.
class WalCheckpointer
{
public:
    // About 4 MB of 4 KB pages: the size SQLite itself checkpoints at. The
    // thread copies once the writer has been quiet for `kQuietMs` (between
    // an operator's edits), or at once when the log has grown by `kBusyPages`
    // (about 12 MB) while the writer commits without a pause: a copy beside a
    // commit slows the commit's own write to the disk.
    static constexpr int kPages = 1000;
    static constexpr int kBusyPages = 3000;
    static constexpr int kQuietMs = 10;
    static constexpr qint64 kKeepBytes = 16 * 1024 * 1024;
    // About 64 MB: past it the writer checkpoints in its own commit and the
    // log starts again.
    static constexpr int kWriterPages = 16000;

    explicit WalCheckpointer(const QString& path);
    // Ends the thread (a checkpoint under way ends first) and closes its
    // connection.
    ~WalCheckpointer();
    WalCheckpointer(const WalCheckpointer&) = delete;
    WalCheckpointer& operator=(const WalCheckpointer&) = delete;

    // Hands the checkpoints of the writing connection `writer` to this
    // thread.
    void attach(sqlite3* writer);
    // Stops taking the writer's commits (before the writer closes).
    void detach();

    // Checkpoints done so far (for the tests).
    int checkpoints() const;

private:
    static int committed(void* self, sqlite3* db, const char* name, int pages);
    void loop();

    sqlite3* m_db = nullptr; // the thread's own connection
    bool m_reading = false;  // it has read the database once
    sqlite3* m_writer = nullptr;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle; // the thread's copy ended
    bool m_due = false;
    int m_pages = 0;    // the log's pages at the last commit
    int m_copiedTo = 0; // the log's pages the last copy went up to, when it left some
    std::chrono::steady_clock::time_point m_lastCommit;
    bool m_copying = false; // the thread copies now
    bool m_hold = false;    // the writer copies: the thread waits
    bool m_stop = false;
    int m_done = 0;
    std::thread m_thread;
};
