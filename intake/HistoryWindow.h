#pragma once

#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QVector>
#include <optional>

// Which change history records a desk has still to look at. Records after
// base() are new. A number skipped below the highest seen belongs to a
// transaction still under way (it may end much later) or to one undone (it
// never appears): such a gap is read again at every check until it appears,
// and let go only once every transaction that was under way when it was
// found has ended (the check after that has read it one last time). The
// transactions under way are told by the database (on PostgreSQL its current
// snapshot); on the embedded database none is ever under way below the
// highest record seen (one writer at a time), so a gap is read once more and
// let go. Where the database cannot tell, gaps are kept while the sheet is.
//
// Records the sheet's own read may have missed (transactions under way when
// it was read) are covered the same way: once one of those transactions ends
// the whole day is read again. So is a jump too long to keep number by number.
class HistoryWindow
{
public:
    // The transactions under way at a moment; empty optional: not known.
    using Running = std::optional<QSet<qint64>>;
    struct Record {
        qint64 id = 0;  // the history record's number
        qint64 row = 0; // the intake row it is about
    };

    static constexpr int kMostGaps = 4096;
    // Records read again by the first check where the database cannot tell
    // the transactions under way.
    static constexpr qint64 kLookBack = 128;

    // Starts after `highest`, read (with `running` right after it) before the
    // sheet itself was read.
    void reset(qint64 highest, const Running& running);
    qint64 base() const { return m_base; }

    // The records numbered after base(): the rows they name. The numbers
    // skipped become gaps.
    QSet<qint64> takeNew(const QVector<Record>& records);
    // Whether the next step needs the transactions under way.
    bool needsRunning() const;
    // Given the transactions under way now (asked after takeNew's read):
    // answers true when the whole day must be read again.
    bool settle(const Running& running);
    // The gap numbers to read again (after settle).
    QList<qint64> gaps() const { return m_gaps.keys(); }
    // The gap records read again: the rows they name. Gaps whose
    // transactions have all ended and that are still not there are let go.
    QSet<qint64> takeGaps(const QVector<Record>& found);
    int openGaps() const { return int(m_gaps.size()); }

private:
    struct Gap {
        int watch = -1;       // the transactions it waits for (-1: not known yet)
        bool settled = false; // they have all ended: read once more, then let go
        bool kept = false;    // the database cannot tell: kept
    };
    qint64 m_base = 0;
    QMap<qint64, Gap> m_gaps;
    QHash<int, QSet<qint64>> m_watches; // transactions under way when gaps were found
    int m_nextWatch = 0;
    QSet<qint64> m_dayWatch;  // their end makes the whole day be read again
    bool m_overflow = false;  // a jump not kept number by number, not watched yet
    bool m_unwatched = false; // gaps found that have no watch yet
};
