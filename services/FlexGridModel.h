#pragma once

#include "FlexGrid.h"

#include <QAbstractTableModel>
#include <QVector>

// The grid's cells: every row of texts (the fixed header rows first) and each
// column's alignment code; FlexGrid changes them and says so through the
// model's signals.
class FlexGridModel : public QAbstractTableModel
{
public:
    explicit FlexGridModel(QObject* parent) : QAbstractTableModel(parent) {}

    using QAbstractTableModel::beginInsertRows;
    using QAbstractTableModel::beginRemoveRows;
    using QAbstractTableModel::beginResetModel;
    using QAbstractTableModel::endInsertRows;
    using QAbstractTableModel::endRemoveRows;
    using QAbstractTableModel::endResetModel;

    int rowCount(const QModelIndex& p = {}) const override
    {
        return p.isValid() ? 0 : std::max(0, rows - FlexGrid::FixedRows);
    }
    int columnCount(const QModelIndex& p = {}) const override { return p.isValid() ? 0 : cols; }

    QVariant data(const QModelIndex& i, int role) const override
    {
        if (!i.isValid()) return {};
        if (role == Qt::DisplayRole) return text(i.row() + FlexGrid::FixedRows, i.column());
        if (role == Qt::TextAlignmentRole) return alignment(i.column());
        return {};
    }

    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o != Qt::Horizontal || section < 0 || section >= cols) return {};
        if (role == Qt::DisplayRole) return text(0, section) + u'\n' + text(1, section);
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
        return {};
    }

    // The cell's text (an empty one outside the grid).
    const QString& text(int r, int c) const
    {
        static const QString none;
        if (r < 0 || r >= cells.size() || c < 0 || c >= cells.at(r).size()) return none;
        return cells.at(r).at(c);
    }

    int alignment(int c) const
    {
        const int code = c < aligns.size() ? aligns.at(c) : 0;
        Qt::Alignment h = Qt::AlignLeft;
        if (code >= 3 && code <= 5) h = Qt::AlignHCenter;
        if (code >= 6 && code <= 8) h = Qt::AlignRight;
        // Every text sits in the middle of its row's height, whatever the
        // code's vertical part: a row's texts share one line, the header's
        // too (one line each in a row a few pixels taller than the text).
        return int(h | Qt::AlignVCenter);
    }

    void resize(int r, int c)
    {
        beginResetModel();
        rows = std::max(r, FlexGrid::FixedRows);
        cols = std::max(c, 0);
        cells.resize(rows);
        for (auto& row : cells)
            row.resize(cols);
        aligns.resize(cols);
        endResetModel();
    }

    int rows = FlexGrid::FixedRows;
    int cols = 0;
    QVector<QVector<QString>> cells{FlexGrid::FixedRows};
    QVector<int> aligns;
};
