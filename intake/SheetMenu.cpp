#include "SheetMenu.h"

#include "CellEditor.h"
#include "ChangeHistory.h"
#include "FlexGrid.h"
#include "InstrumentCommands.h"
#include "SheetExport.h"
#include "frmTrigo.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>

SheetMenu::SheetMenu(frmTrigo& w) : QObject(&w), w(w)
{
    FlexGrid* g = w.MSflexGrid1();
    m_menu = new QMenu(g);
    m_menu->setObjectName(QStringLiteral("mnuPlanilla"));
    m_historial = m_menu->addAction(QStringLiteral("Historial\tCtrl+H"));
    m_historial->setObjectName(QStringLiteral("mnuHistorial"));
    connect(m_historial, &QAction::triggered, this, [this] { this->w.history().mostrar(); });
    m_exportar = m_menu->addAction(QStringLiteral("Exportar a CSV...\tCtrl+E"));
    m_exportar->setObjectName(QStringLiteral("mnuExportar"));
    connect(m_exportar, &QAction::triggered, this, [this] { this->w.exporter().exportar(); });
    m_boleta = m_menu->addAction(QStringLiteral("Boleta de pesada (PDF)..."));
    m_boleta->setObjectName(QStringLiteral("mnuBoleta"));
    connect(m_boleta, &QAction::triggered, this, [this] { this->w.instrumentCommands().boleta(); });
    g->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(g, &QWidget::customContextMenuRequested, this, &SheetMenu::mostrarMenu);
    g->installEventFilter(this);
}

void SheetMenu::mostrarMenu(const QPoint& pos)
{
    if (w.editor().abierto()) return;
    FlexGrid* g = w.MSflexGrid1();
    // Not modal: the menu's actions do the work when they are chosen.
    m_menu->popup(g->viewport()->mapToGlobal(pos));
}

bool SheetMenu::eventFilter(QObject* obj, QEvent* e)
{
    // The type first: the grid sends events while the window is being
    // destroyed, when the window's own members may no longer be called.
    if (e->type() == QEvent::KeyPress && obj == w.MSflexGrid1()) {
        auto* ke = static_cast<QKeyEvent*>(e);
        if (ke->modifiers() == Qt::ControlModifier) {
            if (ke->key() == Qt::Key_H) {
                m_historial->trigger();
                return true;
            }
            if (ke->key() == Qt::Key_E) {
                m_exportar->trigger();
                return true;
            }
        }
    }
    return QObject::eventFilter(obj, e);
}
