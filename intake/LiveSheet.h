#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <optional>

class QTimer;
class RecordSet;
class frmTrigo;

// Keeps the loaded sheet up to date with what other workstations write on the
// same day. A timer (400 ms) runs a cheap check. Where the database keeps the
// change history, the check reads the history records after the last ones
// seen and reads only the rows they name. A number missing below the highest
// seen belongs to a change still under way (or given up): records from it on
// are read again until it appears or a few seconds pass, and the first check
// after a load looks back a little, so a record whose transaction ends after
// a later one's is still found. Otherwise one query compares
// the day's row count, latest change time and highest id, and when they
// differ the whole day is read. Either way the rows read are compared with
// the grid by id: changed cells are written into the grid, new rows appended,
// rows gone from the day taken out. The operator's cursor stays on the record
// it is on, and an open edit is left alone: its text is untouched and rows are
// not taken out while it is open (that waits for the next check after it).
// Nothing is checked while a modal window is up. When the server connection
// was lost and made again, the operator is told once.
class LiveSheet : public QObject
{
    Q_OBJECT
public:
    explicit LiveSheet(frmTrigo& w);

    static constexpr int kIntervalMs = 400;
    void setInterval(int ms);
    int interval() const;

    // One check now. Answers true when the grid was changed.
    bool check();
    // How many grid rows the checks added, changed or took out so far.
    int appliedRows() const { return m_applied; }
    // How many checks read rows of the day (the cheap check found a difference).
    int reads() const { return m_reads; }

signals:
    // The grid was brought up to date with rows another desk wrote.
    void applied();

private:
    QString signature();
    void baseline();
    bool sync(bool* complete);
    // The history records after the window's start: answers the ids of the
    // rows that the records not seen yet name (empty: nothing new).
    QSet<qint64> newlyChanged(qint64* highest);
    bool syncRows(const QSet<qint64>& ids, bool* complete);
    bool apply(const RecordSet& rs, const QSet<qint64>* touched, bool* complete);
    void toldReconnection();

    frmTrigo& w;
    QTimer* m_timer = nullptr;
    QElapsedTimer m_clock;
    QString m_signature;
    // The history window: records with an id above m_base, those seen.
    qint64 m_base = 0;
    bool m_windowed = false; // read through the history window
    QSet<qint64> m_seen;
    QHash<qint64, qint64> m_gaps; // numbers not seen below the highest: since when (ms)
    QSet<qint64> m_pending;       // rows to take out once the open edit ends
    int m_reconnections = 0;
    int m_applied = 0;
    int m_reads = 0;
    bool m_busy = false;
    bool m_toldMoved = false; // the operator knows the database file is gone
};
