#pragma once

#include <QHash>
#include <QTableView>
#include <functional>

class RecordSet;
class FlexGridModel;

// A spreadsheet-like grid addressed by row and column: rows 0 and 1 are fixed
// header rows that stay in view while the data rows (2 and on) scroll; there
// is no fixed column. The current cell (Row, Col) is the anchor of the
// selection, which extends to (RowSel, ColSel). Cell changes run the
// LeaveCell, EnterCell and RowColChange hooks; keys run KeyDown, then
// KeyPress for characters. The grid itself never edits a cell.
class FlexGrid : public QTableView
{
    Q_OBJECT
public:
    static constexpr int FixedRows = 2;

    explicit FlexGrid(QWidget* parent = nullptr);

    int Rows() const;
    void setRows(int rows);
    int Cols() const;
    void setCols(int cols);

    int Row() const { return m_row; }
    int Col() const { return m_col; }
    void setRow(int row);
    void setCol(int col);
    void setRowCol(int row, int col);
    int RowSel() const { return m_rowSel; }
    int ColSel() const { return m_colSel; }
    void setRowSel(int row);
    void setColSel(int col);

    int TopRow() const;
    void setTopRow(int row);

    QString TextMatrix(int row, int col) const;
    // The cell's text without a copy: valid until the cell changes.
    QStringView cellText(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);
    QString Text() const { return TextMatrix(m_row, m_col); }
    // The row whose first column holds the record number `id`; -1 when no
    // row does. Found through an index of the first column that follows the
    // grid's changes, not by reading every row.
    int rowOfId(qint64 id) const;
    void setText(const QString& text) { setTextMatrix(m_row, m_col, text); }

    // Column widths in twips (0 hides the column).
    int ColWidth(int col) const;
    void setColWidth(int col, int twips);
    // 0 left and top, 1 left and centre, 2 left and bottom, 3 centre ...
    // (the horizontal part; every text is centred in its row's height)
    void setColAlignment(int col, int code);

    // The current cell's rectangle in the grid's own coordinates, in pixels.
    QRect cellRect() const;
    int CellLeft() const { return cellRect().left(); }
    int CellTop() const { return cellRect().top(); }
    int CellWidth() const { return cellRect().width(); }
    int CellHeight() const { return cellRect().height(); }

    // Empties every cell, header rows included.
    void clearCells();
    // Binds the rows of a record set: one column per field, the field names
    // in header row 1, one grid row per record after the header rows.
    void bind(const RecordSet& rs);

    // Sorts data rows r1..r2 (whole rows move) by the key columns, ascending.
    void sortRows(int r1, int r2, const QVector<int>& keyCols);
    // The order the sort uses: numbers (compared as numbers) before texts
    // (compared without regard to case), empty cells last.
    static bool genericLess(const QString& a, const QString& b);

    void refresh();

    std::function<void(int& keyCode, int shift)> onKeyDown;
    std::function<void(int& charCode)> onKeyPress;
    std::function<void()> onGotFocus;
    std::function<void()> onLeaveCell;
    std::function<void()> onEnterCell;
    std::function<void()> onRowColChange;
    std::function<void()> onClick;
    std::function<void()> onDblClick;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    bool focusNextPrevChild(bool next) override;
    void changeEvent(QEvent* e) override;

public:
    // Rows only added at the end since the last layout (another desk's loads
    // coming in) move no row in view: the view takes its new size and paints
    // only where the new rows are. Anything else (a scroll while the layout
    // waited too) lays out and paints the whole view.
    void doItemsLayout() override;

private:
    void fitHeights();
    void moveTo(int row, int col, bool extend);
    void showSelection(bool scroll = true);
    int clampRow(int r) const;
    int clampCol(int c) const;
    void headerClicked(int col);
    void updateCurrentCell();
    void keyChanged(const QModelIndex& first, const QModelIndex& last);

    FlexGridModel* m_model;
    int m_row = FixedRows;
    int m_col = 0;
    int m_rowSel = FixedRows;
    int m_colSel = 0;
    bool m_dragging = false;
    bool m_pressedOnCell = false;
    mutable QHash<qint64, int> m_ids; // record number -> row, while m_idsValid
    mutable bool m_idsValid = false;
    int m_appendedFrom = -1;    // first model row added at the end since the last layout
    bool m_wholeLayout = false; // something else changed since the last layout
};
