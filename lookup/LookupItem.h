#pragma once

#include <QTreeWidgetItem>

// A row of the lookup list, numbered in the order it was read; the window
// keeps the trimmed texts of every row by that number for searching and
// sorting.
class LookupItem : public QTreeWidgetItem
{
public:
    LookupItem(const QStringList& texts, int row)
        : QTreeWidgetItem(texts, QTreeWidgetItem::UserType), row(row)
    {
    }
    const int row;

    // A cell's tooltip is its whole text: a name too long for its column
    // shows in full under the pointer.
    QVariant data(int column, int role) const override
    {
        if (role != Qt::ToolTipRole) return QTreeWidgetItem::data(column, role);
        const QString t = text(column).trimmed();
        return t.isEmpty() ? QVariant() : QVariant(t);
    }

    // The number of a row of the list; -1 for an item the window did not read.
    static int rowOf(const QTreeWidgetItem* item)
    {
        return item && item->type() == QTreeWidgetItem::UserType
                   ? static_cast<const LookupItem*>(item)->row
                   : -1;
    }
};
