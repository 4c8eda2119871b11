#pragma once

#include "ChangeHistory.h"

#include <QDialog>

class QTableWidget;

// The "Historial" window: the recorded changes of one intake row, newest
// first, read-only.
class HistoryDialog : public QDialog
{
    Q_OBJECT
public:
    HistoryDialog(qint64 id, const QVector<HistoryEntry>& entries, QWidget* parent = nullptr);

    QTableWidget* table() const { return m_table; }
    // The text of a cell of the list (row 0 is the newest change).
    QString cellText(int row, int column) const;
    int rowCount() const;

private:
    QTableWidget* m_table = nullptr;
};
