#include "WalCheckpointer.h"

#include <QFile>
#include <sqlite3.h>

WalCheckpointer::WalCheckpointer(const QString& path)
{
    // Opened here, beside the writer, so that it is the writer's file even
    // should the path be given to another file later.
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close(m_db);
        m_db = nullptr;
    } else {
        sqlite3_busy_timeout(m_db, 1000);
    }
    m_thread = std::thread([this] { loop(); });
}

WalCheckpointer::~WalCheckpointer()
{
    detach();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void WalCheckpointer::attach(sqlite3* writer)
{
    m_writer = writer;
    // The log is cut back to this size when it starts again after a
    // checkpoint; the writer no longer checkpoints inside its commits.
    sqlite3_exec(
        writer,
        QByteArray("PRAGMA journal_size_limit=" + QByteArray::number(kKeepBytes)).constData(),
        nullptr, nullptr, nullptr);
    sqlite3_wal_hook(writer, &WalCheckpointer::committed, this);
}

void WalCheckpointer::detach()
{
    if (!m_writer) return;
    sqlite3_wal_hook(m_writer, nullptr, nullptr);
    m_writer = nullptr;
}

int WalCheckpointer::checkpoints() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_done;
}

int WalCheckpointer::committed(void* self, sqlite3* writer, const char* name, int pages)
{
    if (pages < kPages) return SQLITE_OK;
    auto* c = static_cast<WalCheckpointer*>(self);
    // A writer that never pauses gives the thread no moment in which the log
    // could start again: past the limit the writer copies it back itself and
    // waits (as long as its busy time-out) until the log can start again at
    // its next commit, rather than let it grow on.
    if (pages >= kWriterPages) {
        // The thread's copy under way ends first (two checkpoints never
        // wait for each other: the second would fail at once), and the
        // thread starts no other meanwhile.
        std::unique_lock<std::mutex> lock(c->m_mutex);
        c->m_hold = true;
        c->m_idle.wait(lock, [c] { return !c->m_copying; });
        lock.unlock();
        sqlite3_wal_checkpoint_v2(writer, name, SQLITE_CHECKPOINT_RESTART, nullptr, nullptr);
        lock.lock();
        c->m_hold = false;
        c->m_due = false;
        c->m_copiedTo = 0;
        return SQLITE_OK;
    }
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(c->m_mutex);
        // The thread waiting for a quiet moment looks again by itself.
        wake = !c->m_due;
        c->m_due = true;
        c->m_pages = pages;
        c->m_lastCommit = std::chrono::steady_clock::now();
    }
    if (wake) c->m_wake.notify_one();
    return SQLITE_OK;
}

void WalCheckpointer::loop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || (m_due && !m_hold); });
        // A moment without commits first, unless the log has grown long
        // since the last copy. When that copy left the end of the log (the
        // writer went on meanwhile) a short pause is enough for the rest;
        // copying again at once would only copy beside every commit.
        const auto quiet = std::chrono::milliseconds(m_copiedTo > 0 ? 1 : kQuietMs);
        while (!m_stop && !m_hold && m_pages - m_copiedTo < kBusyPages) {
            const auto since = std::chrono::steady_clock::now() - m_lastCommit;
            if (since >= quiet) break;
            m_wake.wait_for(lock, quiet - since);
        }
        if (m_stop) break;
        if (m_hold) continue;
        m_due = false;
        m_copying = true;
        lock.unlock();
        // A connection knows its database keeps a log only once it has read
        // from it; until then a checkpoint does nothing.
        if (m_db && !m_reading)
            m_reading = sqlite3_exec(m_db, "SELECT COUNT(*) FROM sqlite_master", nullptr, nullptr,
                                     nullptr) == SQLITE_OK;
        // PASSIVE: as much as no reader still needs; never waits for the
        // writer, which goes on committing meanwhile. What is left waits for
        // the next turn.
        int log = 0, copied = 0;
        const int rc = m_db ? sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_PASSIVE,
                                                        &log, &copied)
                            : SQLITE_ERROR;
        lock.lock();
        m_copiedTo = rc == SQLITE_OK && copied < log ? log : 0;
        m_copying = false;
        ++m_done;
        m_idle.notify_all();
    }
    lock.unlock();
    if (m_db) sqlite3_close(m_db);
}
