#pragma once

#include <QObject>

class QAction;
class QMenu;
class frmTrigo;

// The sheet's context menu and its keys: "Historial" (Ctrl+H) shows the
// change history of the current row, "Exportar a CSV" (Ctrl+E) saves the
// sheet as a CSV file, "Boleta de pesada" saves the weighing slip of the
// current row as a PDF. The keys are taken in the grid, before the grid reads
// them as typing.
class SheetMenu : public QObject
{
    Q_OBJECT
public:
    explicit SheetMenu(frmTrigo& w);

    QMenu* menu() const { return m_menu; }
    QAction* historial() const { return m_historial; }
    QAction* exportar() const { return m_exportar; }
    QAction* boleta() const { return m_boleta; }

protected:
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    void mostrarMenu(const QPoint& pos);

    frmTrigo& w;
    QMenu* m_menu = nullptr;
    QAction* m_historial = nullptr;
    QAction* m_exportar = nullptr;
    QAction* m_boleta = nullptr; // the weighing slip of the current row
};
