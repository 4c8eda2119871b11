#include "FlexGrid.h"

#include "FlexGridModel.h"
#include "FlexGridStyle.h"

#include "KeyCodes.h"
#include "RecordSet.h"
#include "Twips.h"
#include "UtilService.h"

#include <QApplication>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QScrollBar>
#include <algorithm>
#include <bit>

FlexGrid::FlexGrid(QWidget* parent) : QTableView(parent), m_model(new FlexGridModel(this))
{
    setModel(m_model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fitHeights();
    setWordWrap(false);
    // The selection colours in every state, through the palette.
    QPalette pal = palette();
    for (auto g : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(g, QPalette::Highlight, QColor(0x1e, 0x5a, 0xa8));
        pal.setColor(g, QPalette::HighlightedText, Qt::white);
    }
    setPalette(pal);
    setStyle(FlexGridStyle::instance());
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &FlexGrid::headerClicked);
    // After rows go or move the index of record numbers is made again and the
    // whole view laid out; rows added at the end are empty and leave the
    // index as it is.
    auto whole = [this] { m_wholeLayout = true; };
    auto moved = [this] {
        m_idsValid = false;
        m_ids.clear();
        m_wholeLayout = true;
    };
    connect(m_model, &QAbstractItemModel::modelReset, this, moved);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, moved);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, moved);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &FlexGrid::keyChanged);
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                if (last + 1 != m_model->rowCount())
                    m_wholeLayout = true;
                else if (m_appendedFrom < 0)
                    m_appendedFrom = first;
            });
    connect(m_model, &QAbstractItemModel::columnsInserted, this, whole);
    connect(m_model, &QAbstractItemModel::columnsRemoved, this, whole);
    // A scroll while the layout waits is painted right by the whole layout
    // only (the view moved over rows not laid out yet).
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, whole);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, whole);
}

void FlexGrid::doItemsLayout()
{
    const int from = m_appendedFrom;
    const bool whole = m_wholeLayout || from < 0;
    m_appendedFrom = -1;
    m_wholeLayout = false;
    if (whole) {
        QTableView::doItemsLayout();
        return;
    }
    // No row in view moved: the scroll bar takes the new size (it paints
    // itself) and only where the new rows are is painted.
    updateGeometries();
    const int y = rowViewportPosition(from);
    if (y < 0)
        viewport()->update();
    else if (y < viewport()->height())
        viewport()->update(QRect(0, y, viewport()->width(), viewport()->height() - y));
}

void FlexGrid::changeEvent(QEvent* e)
{
    // A font or style: sizes may change.
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange ||
        e->type() == QEvent::LayoutDirectionChange)
        m_wholeLayout = true;
    QTableView::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange) fitHeights();
}

void FlexGrid::fitHeights()
{
    // Rows and the two header lines as tall as the font the grid has now
    // (the window's, inherited after the grid was made), so that no text is
    // taller than its row and the header is exactly as tall as the place the
    // rows leave it.
    const QFontMetrics fm(font());
    const QFontMetrics hm(horizontalHeader()->font());
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setDefaultSectionSize(fm.height() + 6);
    horizontalHeader()->setFixedHeight(
        std::max(2 * hm.lineSpacing() + 8, horizontalHeader()->sizeHint().height()));
}

int FlexGrid::Rows() const
{
    return m_model->rows;
}
int FlexGrid::Cols() const
{
    return m_model->cols;
}

void FlexGrid::setRows(int rows)
{
    const int n = std::max(rows, FixedRows);
    const int old = m_model->rows;
    if (n == old) return;
    if (n > m_model->rows) {
        m_model->beginInsertRows({}, m_model->rows - FixedRows, n - FixedRows - 1);
        m_model->cells.resize(n);
        for (int r = m_model->rows; r < n; ++r)
            m_model->cells[r].resize(m_model->cols);
        m_model->rows = n;
        m_model->endInsertRows();
    } else {
        m_model->beginRemoveRows({}, n - FixedRows, m_model->rows - FixedRows - 1);
        m_model->cells.resize(n);
        m_model->rows = n;
        m_model->endRemoveRows();
    }
    m_row = clampRow(m_row);
    m_rowSel = clampRow(m_rowSel);
    // Rows added at the end leave the cursor where it was, and the view too
    // (another desk's new load does not bring the view back to the cursor).
    showSelection(n < old);
}

void FlexGrid::setCols(int cols)
{
    QVector<int> widths;
    for (int c = 0; c < m_model->cols; ++c)
        widths << columnWidth(c);
    m_model->resize(m_model->rows, cols);
    for (int c = 0; c < std::min<int>(cols, widths.size()); ++c)
        setColumnWidth(c, widths.at(c));
    m_col = clampCol(m_col);
    m_colSel = clampCol(m_colSel);
}

int FlexGrid::clampRow(int r) const
{
    return std::clamp(r, 0, std::max(0, Rows() - 1));
}

int FlexGrid::clampCol(int c) const
{
    return std::clamp(c, 0, std::max(0, Cols() - 1));
}

void FlexGrid::setRow(int row)
{
    moveTo(row, m_col, false);
}
void FlexGrid::setCol(int col)
{
    moveTo(m_row, col, false);
}
void FlexGrid::setRowCol(int row, int col)
{
    moveTo(row, col, false);
}

void FlexGrid::setRowSel(int row)
{
    m_rowSel = clampRow(row);
    showSelection();
}

void FlexGrid::setColSel(int col)
{
    m_colSel = clampCol(col);
    showSelection();
}

void FlexGrid::moveTo(int row, int col, bool extend)
{
    row = clampRow(row);
    col = clampCol(col);
    // A hidden column (width 0) is never the current cell: the nearest shown
    // one to its right, else to its left.
    if (!extend && Cols() > 0 && ColWidth(col) == 0) {
        int shown = col;
        while (shown < Cols() - 1 && ColWidth(shown) == 0) ++shown;
        if (ColWidth(shown) == 0)
            while (shown > 0 && ColWidth(shown) == 0) --shown;
        if (ColWidth(shown) != 0) col = shown;
    }
    if (extend) {
        m_rowSel = std::max(row, FixedRows);
        m_colSel = col;
        showSelection();
        return;
    }
    const bool changed = row != m_row || col != m_col;
    if (changed && onLeaveCell) onLeaveCell();
    m_row = row;
    m_col = col;
    m_rowSel = row;
    m_colSel = col;
    showSelection();
    if (changed) {
        if (onEnterCell) onEnterCell();
        if (onRowColChange) onRowColChange();
    }
}

void FlexGrid::showSelection(bool scroll)
{
    QItemSelectionModel* sm = selectionModel();
    if (!sm) return;
    if (m_row < FixedRows || Rows() <= FixedRows || Cols() == 0) {
        sm->clear();
        return;
    }
    const QModelIndex cur = m_model->index(m_row - FixedRows, m_col);
    const int r1 = std::min(m_row, std::max(m_rowSel, FixedRows)) - FixedRows;
    const int r2 = std::max(m_row, std::max(m_rowSel, FixedRows)) - FixedRows;
    const int c1 = std::min(m_col, m_colSel), c2 = std::max(m_col, m_colSel);
    QItemSelection sel(m_model->index(r1, c1), m_model->index(r2, c2));
    sm->select(sel, QItemSelectionModel::ClearAndSelect);
    sm->setCurrentIndex(cur, QItemSelectionModel::NoUpdate);
    if (!scroll) return;
    if (cur.isValid() && !isColumnHidden(m_col))
        scrollTo(cur, QAbstractItemView::EnsureVisible);
    else if (cur.isValid())
        scrollTo(m_model->index(cur.row(), std::min(1, Cols() - 1)));
}

int FlexGrid::TopRow() const
{
    return verticalScrollBar()->value() + FixedRows;
}

void FlexGrid::setTopRow(int row)
{
    verticalScrollBar()->setValue(std::max(0, row - FixedRows));
}

QString FlexGrid::TextMatrix(int row, int col) const
{
    return m_model->text(row, col);
}

QStringView FlexGrid::cellText(int row, int col) const
{
    return m_model->text(row, col);
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text)
{
    if (row < 0 || row >= Rows() || col < 0 || col >= Cols()) return;
    QString& cell = m_model->cells[row][col];
    if (cell == text) return;
    cell = text;
    if (row < FixedRows)
        emit m_model->headerDataChanged(Qt::Horizontal, col, col);
    else {
        const QModelIndex i = m_model->index(row - FixedRows, col);
        emit m_model->dataChanged(i, i, {Qt::DisplayRole});
    }
}

namespace
{

qint64 recordNumber(const QString& text)
{
    bool ok = false;
    const qint64 id = text.trimmed().toLongLong(&ok);
    return ok && id > 0 ? id : 0;
}

} // namespace

void FlexGrid::keyChanged(const QModelIndex& first, const QModelIndex& last)
{
    if (!m_idsValid || first.column() > 0) return;
    if (first.row() != last.row()) {
        m_idsValid = false;
        m_ids.clear();
        return;
    }
    const int r = first.row() + FixedRows;
    if (const qint64 id = recordNumber(TextMatrix(r, 0))) m_ids.insert(id, r);
}

int FlexGrid::rowOfId(qint64 id) const
{
    if (!m_idsValid) {
        m_ids.clear();
        m_ids.reserve(Rows());
        for (int r = FixedRows; r < Rows(); ++r)
            if (const qint64 n = recordNumber(TextMatrix(r, 0))) m_ids.insert(n, r);
        m_idsValid = true;
    }
    const auto it = m_ids.constFind(id);
    // An entry whose row took another number since is no entry.
    if (it == m_ids.cend() || *it >= Rows() || recordNumber(TextMatrix(*it, 0)) != id) return -1;
    return *it;
}

int FlexGrid::ColWidth(int col) const
{
    if (isColumnHidden(col)) return 0;
    return Twips::fromPx(columnWidth(col));
}

void FlexGrid::setColWidth(int col, int twips)
{
    if (col < 0 || col >= Cols()) return;
    if (twips <= 0) {
        setColumnHidden(col, true);
        return;
    }
    setColumnHidden(col, false);
    setColumnWidth(col, Twips::toPx(twips));
}

void FlexGrid::setColAlignment(int col, int code)
{
    if (col < 0 || col >= Cols()) return;
    m_model->aligns[col] = code;
    emit m_model->dataChanged(m_model->index(0, col), m_model->index(m_model->rowCount() - 1, col),
                              {Qt::TextAlignmentRole});
}

QRect FlexGrid::cellRect() const
{
    if (m_row < FixedRows) {
        const int x = columnViewportPosition(m_col);
        return QRect(viewport()->x() + x, 0, columnWidth(m_col), horizontalHeader()->height());
    }
    const QRect r = visualRect(m_model->index(m_row - FixedRows, m_col));
    return r.translated(viewport()->pos());
}

void FlexGrid::clearCells()
{
    m_model->beginResetModel();
    for (auto& row : m_model->cells)
        std::fill(row.begin(), row.end(), QString());
    m_model->endResetModel();
}

void FlexGrid::bind(const RecordSet& rs)
{
    const int n = rs.fieldCount();
    const auto& data = rs.rows();
    m_model->beginResetModel();
    m_model->cols = n;
    m_model->rows = FixedRows + data.size();
    m_model->cells.clear();
    m_model->cells.resize(m_model->rows);
    m_model->cells[0].resize(n);
    m_model->cells[1].resize(n);
    m_model->aligns.resize(n);
    for (int c = 0; c < n; ++c)
        m_model->cells[1][c] = rs.fieldName(c);
    const QLocale loc = UtilService::textLocale();
    // Readings repeat from row to row: each number is written out once and
    // its text shared (by the bits, so that -0 keeps its own text).
    QHash<quint64, QString> numbers;
    // Whole numbers (record numbers: one per row) in the locale's own digits
    // are the plain digits where those are 0-9 and '-'.
    const bool plainDigits =
        loc.zeroDigit() == QLatin1String("0") && loc.negativeSign() == QLatin1String("-");
    for (int r = 0; r < data.size(); ++r) {
        auto& row = m_model->cells[FixedRows + r];
        row.resize(n);
        for (int c = 0; c < n; ++c) {
            const QVariant& v = data.at(r).at(c);
            const int type = v.metaType().id();
            if (plainDigits && (type == QMetaType::LongLong || type == QMetaType::Int) &&
                !v.isNull()) {
                row[c] = QString::number(v.toLongLong());
                continue;
            }
            if (type != QMetaType::Double) {
                row[c] = UtilService::valueToText(v, loc);
                continue;
            }
            const quint64 bits = std::bit_cast<quint64>(v.toDouble());
            auto it = numbers.constFind(bits);
            if (it == numbers.cend()) it = numbers.insert(bits, UtilService::valueToText(v, loc));
            row[c] = *it;
        }
    }
    m_model->endResetModel();
    m_row = clampRow(FixedRows);
    m_col = clampCol(std::min(1, n - 1));
    m_rowSel = m_row;
    m_colSel = m_col;
    showSelection();
}

bool FlexGrid::genericLess(const QString& a, const QString& b)
{
    const QString ta = a.trimmed(), tb = b.trimmed();
    if (ta.isEmpty() || tb.isEmpty()) return !ta.isEmpty() && tb.isEmpty();
    QLocale loc;
    bool na = false, nb = false;
    double da = loc.toDouble(ta, &na);
    if (!na) da = QLocale::c().toDouble(ta, &na);
    double db = loc.toDouble(tb, &nb);
    if (!nb) db = QLocale::c().toDouble(tb, &nb);
    if (na && nb) return da < db;
    if (na != nb) return na; // numbers before texts
    return ta.compare(tb, Qt::CaseInsensitive) < 0;
}

void FlexGrid::sortRows(int r1, int r2, const QVector<int>& keyCols)
{
    r1 = std::max(r1, FixedRows);
    r2 = std::min(r2, Rows() - 1);
    if (r2 <= r1 || keyCols.isEmpty()) return;
    auto first = m_model->cells.begin() + r1;
    auto last = m_model->cells.begin() + r2 + 1;
    std::stable_sort(first, last, [&](const QVector<QString>& x, const QVector<QString>& y) {
        for (int c : keyCols) {
            const QString& a = x.value(c);
            const QString& b = y.value(c);
            if (genericLess(a, b)) return true;
            if (genericLess(b, a)) return false;
        }
        return false;
    });
    emit m_model->dataChanged(m_model->index(r1 - FixedRows, 0),
                              m_model->index(r2 - FixedRows, Cols() - 1), {Qt::DisplayRole});
}

void FlexGrid::refresh()
{
    fitHeights(); // the header's texts may have changed
    viewport()->update();
}

void FlexGrid::headerClicked(int col)
{
    if (Rows() <= FixedRows) return;
    setFocus(Qt::MouseFocusReason);
    moveTo(FixedRows, col, false);
    m_rowSel = Rows() - 1;
    m_colSel = col;
    showSelection();
}

void FlexGrid::keyPressEvent(QKeyEvent* e)
{
    int code = KeyCodes::fromQt(e->key());
    const int shift = KeyCodes::shiftState(e->modifiers());
    if (onKeyDown && code != 0) {
        onKeyDown(code, shift);
        if (code == 0) {
            e->accept();
            return;
        }
    }
    const bool extend = (shift & 1) != 0;
    const int anchorRow = extend ? std::max(m_rowSel, FixedRows) : m_row;
    const int anchorCol = extend ? m_colSel : m_col;
    const int page = std::max(1, viewport()->height() / std::max(1, rowHeight(0)) - 1);
    switch (code) {
    case KeyCodes::Up:
        moveTo(std::max(FixedRows, anchorRow - 1), anchorCol, extend);
        return;
    case KeyCodes::Down:
        moveTo(anchorRow + 1, anchorCol, extend);
        return;
    case KeyCodes::Left:
        moveTo(anchorRow, std::max(0, anchorCol - 1), extend);
        return;
    case KeyCodes::Right:
        moveTo(anchorRow, anchorCol + 1, extend);
        return;
    case KeyCodes::PageUp:
        moveTo(std::max(FixedRows, anchorRow - page), anchorCol, extend);
        return;
    case KeyCodes::PageDown:
        moveTo(anchorRow + page, anchorCol, extend);
        return;
    case KeyCodes::Home:
        moveTo(anchorRow, std::min(1, Cols() - 1), extend);
        return;
    case KeyCodes::End:
        moveTo(anchorRow, Cols() - 1, extend);
        return;
    case KeyCodes::Tab:
        if (shift == 1)
            moveTo(m_row, std::max(1, m_col - 1), false);
        else if (shift == 0)
            moveTo(m_row, std::min(Cols() - 1, m_col + 1), false);
        return;
    default:
        break;
    }
    if (!onKeyPress) return;
    int ch = -1;
    if (code == KeyCodes::Enter)
        ch = 13;
    else if (code == KeyCodes::Escape)
        ch = 27;
    else if (code == KeyCodes::Backspace)
        ch = 8;
    else if (!e->text().isEmpty() && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        const QChar c = e->text().at(0);
        if (c.isPrint() || c == u' ') ch = c.unicode();
    }
    if (ch >= 0) {
        onKeyPress(ch);
        e->accept();
    }
}

void FlexGrid::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) return;
    const QModelIndex i = indexAt(e->pos());
    setFocus(Qt::MouseFocusReason);
    m_pressedOnCell = i.isValid();
    if (!i.isValid()) return;
    const int r = i.row() + FixedRows;
    if (e->modifiers() & Qt::ShiftModifier) {
        moveTo(r, i.column(), true);
    } else {
        moveTo(r, i.column(), false);
        m_dragging = true;
    }
}

void FlexGrid::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_dragging) return;
    const QModelIndex i = indexAt(e->pos());
    if (i.isValid()) moveTo(i.row() + FixedRows, i.column(), true);
}

void FlexGrid::mouseReleaseEvent(QMouseEvent* e)
{
    m_dragging = false;
    if (e->button() == Qt::LeftButton && m_pressedOnCell && onClick) onClick();
}

void FlexGrid::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !indexAt(e->pos()).isValid()) return;
    if (onDblClick) onDblClick();
}

// The cells look the same with the focus and without it, but for the frame
// of the current cell: only that cell is painted again. (The item view would
// paint the whole sheet, and the cell editor takes the focus and gives it
// back on every edit.) The current cell is kept by the grid itself.
void FlexGrid::focusInEvent(QFocusEvent* e)
{
    QAbstractScrollArea::focusInEvent(e);
    updateCurrentCell();
    if (onGotFocus) onGotFocus();
}

void FlexGrid::focusOutEvent(QFocusEvent* e)
{
    QAbstractScrollArea::focusOutEvent(e);
    updateCurrentCell();
}

void FlexGrid::updateCurrentCell()
{
    const QModelIndex cur = currentIndex();
    if (cur.isValid()) viewport()->update(visualRect(cur));
}

// Tab and Shift+Tab move the current cell right and left, as in a
// spreadsheet, while the grid has cells; they do not take the keyboard out
// of the grid.
bool FlexGrid::focusNextPrevChild(bool next)
{
    const bool conFoco = hasFocus() || window()->focusWidget() == this;
    if (conFoco && isVisible() && Rows() > FixedRows) return false; // keyPressEvent moves
    return QWidget::focusNextPrevChild(next);
}
