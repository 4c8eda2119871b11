#include "HistoryWindow.h"

#include <algorithm>

void HistoryWindow::reset(qint64 highest, const Running& running)
{
    m_gaps.clear();
    m_watches.clear();
    m_dayWatch.clear();
    m_overflow = false;
    m_unwatched = false;
    if (running) {
        m_base = highest;
        // What was under way when the sheet was read may end with records
        // numbered below `highest`.
        m_dayWatch = *running;
    } else {
        // Not known: the first check reads the last records again.
        m_base = std::max<qint64>(0, highest - kLookBack);
    }
}

QSet<qint64> HistoryWindow::takeNew(const QVector<Record>& records)
{
    QSet<qint64> rows, numbers;
    qint64 highest = m_base;
    for (const Record& r : records) {
        if (r.id <= m_base) continue;
        highest = std::max(highest, r.id);
        numbers.insert(r.id);
        rows.insert(r.row);
    }
    const qint64 skipped = highest - m_base - 1 - (numbers.size() - 1);
    if (!numbers.isEmpty() && skipped > kMostGaps) {
        m_overflow = true;
    } else {
        for (qint64 h = m_base + 1; h < highest; ++h)
            if (!numbers.contains(h)) {
                m_gaps.insert(h, Gap{});
                m_unwatched = true;
            }
    }
    m_base = highest;
    return rows;
}

bool HistoryWindow::needsRunning() const
{
    return !m_gaps.isEmpty() || !m_dayWatch.isEmpty() || m_overflow;
}

bool HistoryWindow::settle(const Running& running)
{
    bool wholeDay = false;
    if (!running) {
        // Nothing tells when a gap can no longer appear: kept. A jump too
        // long to keep is read as the whole day once.
        for (Gap& g : m_gaps)
            if (g.watch < 0) g.kept = true;
        wholeDay = m_overflow;
        m_overflow = false;
        m_unwatched = false;
        return wholeDay;
    }
    // Transactions ended since: their gaps may be let go after one more read.
    for (auto it = m_watches.begin(); it != m_watches.end(); ++it)
        it->intersect(*running);
    if (m_unwatched) {
        const int watch = m_nextWatch++;
        m_watches.insert(watch, *running);
        for (Gap& g : m_gaps)
            if (g.watch < 0 && !g.kept) g.watch = watch;
        m_unwatched = false;
    }
    for (Gap& g : m_gaps)
        if (g.watch >= 0 && m_watches.value(g.watch).isEmpty()) g.settled = true;
    for (auto it = m_watches.begin(); it != m_watches.end();)
        it = it->isEmpty() ? m_watches.erase(it) : std::next(it);
    // The whole day: when a transaction under way at the sheet's read (or at
    // a jump) has ended. With none under way at a jump, what was skipped
    // can never appear.
    const qsizetype before = m_dayWatch.size();
    m_dayWatch.intersect(*running);
    wholeDay = m_dayWatch.size() < before;
    if (m_overflow) {
        m_dayWatch.unite(*running);
        m_overflow = false;
    }
    return wholeDay;
}

QSet<qint64> HistoryWindow::takeGaps(const QVector<Record>& found)
{
    QSet<qint64> rows;
    for (const Record& r : found) {
        if (m_gaps.remove(r.id) > 0) rows.insert(r.row);
    }
    for (auto it = m_gaps.begin(); it != m_gaps.end();)
        it = it->settled ? m_gaps.erase(it) : std::next(it);
    return rows;
}
