#pragma once

#include <QObject>
#include <QString>
#include <optional>

class QTimer;
class frmTrigo;

// Keeps the loaded sheet up to date with what other workstations write on the
// same day. A timer (3 s) runs a cheap check: one query for the day's row
// count, latest change time and highest id, and the latest change record;
// only when that differs is the day read and compared with the grid, row by
// row (by id): changed cells are written into the grid, new rows appended,
// deleted rows taken out. The operator's cursor stays on the record it is on,
// and an open edit is left alone: its text is untouched and rows are not
// taken out while it is open (that waits for the next check after it).
// Nothing is checked while a modal window is up.
class LiveSheet : public QObject
{
    Q_OBJECT
public:
    explicit LiveSheet(frmTrigo& w);

    void setInterval(int ms);
    int interval() const;

    // One check now. Answers true when the grid was changed.
    bool check();
    // How many grid rows the checks added, changed or took out so far.
    int appliedRows() const { return m_applied; }
    // How many checks read the day (the cheap check found a difference).
    int reads() const { return m_reads; }

private:
    QString signature();
    void baseline();
    bool sync(bool* complete);

    frmTrigo& w;
    QTimer* m_timer = nullptr;
    QString m_signature;
    int m_applied = 0;
    int m_reads = 0;
    bool m_busy = false;
};
