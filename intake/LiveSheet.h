#pragma once

#include "HistoryWindow.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantList>
#include <QVector>
#include <optional>

class QTimer;
class RecordSet;
class frmTrigo;

// Keeps the loaded sheet up to date with what other workstations write on the
// same day. A timer (400 ms) runs a cheap check. Where the database keeps the
// change history, the check reads the history records after the last ones
// seen and reads only the rows they name. A number skipped below the highest
// seen belongs to a change still under way, however long (or to one undone):
// it is read again at every check until it appears or every transaction that
// was under way when it was found has ended (HistoryWindow); what the
// sheet's own read may have missed is read as the whole day once a
// transaction under way at that read ends. Otherwise one query compares
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
    // How many skipped history numbers are still read again at each check.
    int openGaps() const { return m_window.openGaps(); }
    // How many times the whole day was read for a transaction that ended.
    int wholeDayReads() const { return m_wholeDay; }

signals:
    // The grid was brought up to date with rows another desk wrote.
    void applied();

private:
    QString signature();
    // Before the sheet is read: where the history stands.
    void baseline();
    bool sync(bool* complete);
    // The rows the history records not looked at yet name (empty: nothing
    // new); `wholeDay` is set when the whole day must be read again.
    QSet<qint64> newlyChanged(bool* wholeDay);
    QVector<HistoryWindow::Record> records(const QString& sql, const QVariantList& params);
    bool syncRows(const QSet<qint64>& ids, bool* complete);
    bool apply(const RecordSet& rs, const QSet<qint64>* touched, bool* complete);
    void toldReconnection();

    frmTrigo& w;
    QTimer* m_timer = nullptr;
    QString m_signature;
    HistoryWindow m_window;
    bool m_windowed = false;      // read through the history window
    bool m_needsBaseline = false; // the history could not be read before the sheet
    QSet<qint64> m_pending;       // rows to take out once the open edit ends
    int m_reconnections = 0;
    int m_applied = 0;
    int m_reads = 0;
    int m_wholeDay = 0;
    bool m_busy = false;
    bool m_toldMoved = false; // the operator knows the database file is gone
};
