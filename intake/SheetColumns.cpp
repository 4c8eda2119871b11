#include "SheetColumns.h"

#include "FlexGrid.h"
#include "frmTrigo.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <algorithm>

SheetColumns::SheetColumns(frmTrigo& w) : QObject(&w), w(w)
{
    FlexGrid* g = w.MSflexGrid1();
    connect(&w, &frmTrigo::planillaCargada, this, &SheetColumns::medir);
    // A grid emptied or bound anew waits for its sheet's measure.
    connect(g->model(), &QAbstractItemModel::modelReset, this, [this] { m_activo = false; });
    connect(g->model(), &QAbstractItemModel::dataChanged, this, &SheetColumns::cambiaron);
    g->viewport()->installEventFilter(this);
}

int SheetColumns::anchoDe(const QString& text) const
{
    FlexGrid* g = w.MSflexGrid1();
    // As the grid paints it: the text between the style's margins, the
    // grid line beside it.
    const int margin = g->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, g) + 1;
    return g->fontMetrics().horizontalAdvance(text) + 2 * margin + 2;
}

void SheetColumns::medir()
{
    FlexGrid* g = w.MSflexGrid1();
    const int cols = g->Cols();
    m_base.fill(0, cols);
    m_need.fill(0, cols);
    for (int c = 0; c < cols; ++c) {
        if (g->isColumnHidden(c) || g->columnWidth(c) <= 0) continue;
        m_base[c] = g->columnWidth(c);
        m_need[c] = std::max(m_base[c], g->horizontalHeader()->sectionSizeHint(c));
    }
    for (int r = FlexGrid::FixedRows; r < g->Rows(); ++r)
        for (int c = 0; c < cols; ++c) {
            if (!m_base[c]) continue;
            const QStringView t = g->cellText(r, c);
            if (!t.isEmpty()) m_need[c] = std::max(m_need[c], anchoDe(t.toString()));
        }
    m_activo = true;
    repartir();
}

void SheetColumns::cambiaron(const QModelIndex& first, const QModelIndex& last)
{
    if (!m_activo || m_pendiente) return;
    FlexGrid* g = w.MSflexGrid1();
    bool crece = false;
    for (int r = first.row(); r <= last.row(); ++r)
        for (int c = first.column(); c <= last.column() && c < m_need.size(); ++c) {
            if (!m_base[c]) continue;
            const QStringView t = g->cellText(r + FlexGrid::FixedRows, c);
            const int need = t.isEmpty() ? 0 : anchoDe(t.toString());
            if (need > m_need[c]) {
                m_need[c] = need;
                crece = true;
            }
        }
    if (!crece) return;
    // Many cells change at once (a sheet brought up to date): laid out once.
    m_pendiente = true;
    QTimer::singleShot(0, this, [this] {
        m_pendiente = false;
        repartir();
    });
}

void SheetColumns::repartir()
{
    if (!m_activo || m_repartiendo) return;
    FlexGrid* g = w.MSflexGrid1();
    if (m_need.size() != g->Cols()) return;
    m_repartiendo = true;
    // Twice at most: the widths may show or hide the vertical scroll bar,
    // which changes the view's width.
    for (int vez = 0; vez < 2; ++vez) {
        const int view = std::max(1, g->viewport()->width());
        QVector<int> ancho(m_need.size(), 0);
        qint64 suma = 0;
        for (int c = 0; c < m_need.size(); ++c) {
            if (!m_base[c]) continue;
            ancho[c] = std::max(m_base[c], std::min(m_need[c], view));
            suma += ancho[c];
        }
        // The room left over, shared by width.
        if (suma > 0 && suma < view) {
            const qint64 resto = view - suma;
            int dado = 0, ultima = -1;
            for (int c = 0; c < ancho.size(); ++c) {
                if (!ancho[c]) continue;
                const int mas = int(resto * ancho[c] / suma);
                ancho[c] += mas;
                dado += mas;
                ultima = c;
            }
            if (ultima >= 0) ancho[ultima] += int(resto) - dado;
        }
        for (int c = 0; c < ancho.size(); ++c)
            if (ancho[c] && g->columnWidth(c) != ancho[c]) g->setColumnWidth(c, ancho[c]);
        if (g->viewport()->width() == view) break;
    }
    m_repartiendo = false;
}

bool SheetColumns::eventFilter(QObject* obj, QEvent* e)
{
    if (e->type() == QEvent::Resize && obj == w.MSflexGrid1()->viewport()) repartir();
    return QObject::eventFilter(obj, e);
}
