#pragma once

#include <QObject>
#include <QVector>

class QModelIndex;
class frmTrigo;

// The widths of the sheet's columns: each one as wide as its header and its
// widest text (never narrower than its design width, never wider than the
// view), and the room the view has left over shared among them, so that the
// whole view is used. Measured when a sheet is loaded, grown when a cell
// gets a wider text (typed, or from another desk), shared again when the
// grid changes size. Every shown column of the grid takes part, found by
// what the grid holds, not by a list of its own.
class SheetColumns : public QObject
{
public:
    explicit SheetColumns(frmTrigo& w);

    // Measures every column and lays the widths out again.
    void medir();

protected:
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    void repartir();
    void cambiaron(const QModelIndex& first, const QModelIndex& last);
    int anchoDe(const QString& text) const;

    frmTrigo& w;
    QVector<int> m_base; // design widths, pixels (0: not shown)
    QVector<int> m_need; // what each column's header and texts need, pixels
    bool m_activo = false;
    bool m_repartiendo = false;
    bool m_pendiente = false;
};
