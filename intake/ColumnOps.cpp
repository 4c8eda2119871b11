#include "ColumnOps.h"

#include "CellEditor.h"
#include "Dialogs.h"
#include "FlexGrid.h"
#include "KeyCodes.h"
#include "ServiceError.h"
#include "TextBox.h"
#include "UtilService.h"
#include "frmTrigo.h"

#include <QCoreApplication>
#include <QStringList>
#include <QToolButton>

ColumnOps::ColumnOps(frmTrigo& w) : w(w)
{
    QObject::connect(w.CmdCompletar(), &QToolButton::clicked, w.CmdCompletar(),
                     [this] { CmdCompletar(); });
    QObject::connect(w.CmdOrdenar(), &QToolButton::clicked, w.CmdOrdenar(),
                     [this] { CmdOrdenar(); });
}

QString ColumnOps::textoConfirmacion()
{
    return QStringLiteral("Muy importante...") + QStringLiteral("\r\n") +
           QStringLiteral("Esta opción copia el contenido del primer campo seleccionado, al resto "
                          "de los campos seleccionados") +
           QStringLiteral("\r\n") + QStringLiteral("¿Está seguro de Continuar...?");
}

int ColumnOps::CmdCompletar()
{
    if (m_enCurso) return 0;
    const int respuesta =
        Dialogs::instance().message(&w, QStringLiteral("¡Atención!"), textoConfirmacion(),
                                    Dialogs::Icon::Question, Dialogs::Buttons::YesNo, Dialogs::Yes);
    if (respuesta != Dialogs::Yes) return 0;

    FlexGrid* g = w.MSflexGrid1();
    TextBox* e = w.TxtEdit();
    CellEditor& ed = w.editor();
    if (!w.mPlanillaCargada) return 0;
    // A value being typed into the anchor cell is ended first, so that it is
    // the one copied.
    if (ed.abierto()) ed.confirmarEdicionAbierta();

    const int c = g->Col();
    const int r1 = g->Row();
    const int r2 = g->RowSel();
    // Data cells only; the identifier column is never written.
    if (c < 1 || r1 < FlexGrid::FixedRows || r2 >= g->Rows()) return 0;
    const QString v = g->Text();
    ed.TextPropiedades(e, c);

    // The rows of the range, by identifier: should the sheet be reloaded,
    // sorted or left while the window processes events between rows, the
    // fill stops rather than write into rows it was not asked to.
    QStringList ids;
    for (int r = r1; r <= r2; ++r)
        ids << g->TextMatrix(r, 0);

    m_enCurso = true;
    int escritas = 0;
    for (int r = r1; r <= r2; ++r) {
        if (!w.mPlanillaCargada || r >= g->Rows() || g->TextMatrix(r, 0) != ids.at(r - r1)) break;
        bool seguir = true;
        while (true) {
            try {
                g->setRowCol(r, c);
                e->setText(v);
                // The editor's Enter: validation, writing, cursor move. The
                // cell shows the value once the database has it; a refused
                // value leaves the cell as it was.
                int k = KeyCodes::Enter;
                ed.editKeyDown(k, 0);
                // A written row moves the cursor on; a refused or failed one
                // leaves it in place.
                if (!w.mCampoInvalido && (g->Row() != r || g->Col() != c)) ++escritas;
                break;
            } catch (const ServiceError& err) {
                const int a =
                    UtilService::errorDialog(&w, err, QStringLiteral("Aviso al operador"));
                if (a == Dialogs::Retry) continue;
                seguir = a == Dialogs::Ignore;
                break;
            }
        }
        if (!seguir) break;
        QCoreApplication::processEvents();
    }
    m_enCurso = false;
    return escritas;
}

void ColumnOps::CmdOrdenar()
{
    if (m_enCurso) return;
    FlexGrid* g = w.MSflexGrid1();
    CellEditor& ed = w.editor();
    if (!w.mPlanillaCargada || g->Rows() <= FlexGrid::FixedRows + 1) return;
    try {
        // An open edit lands in its own row before the rows move.
        if (ed.abierto()) ed.confirmarEdicionAbierta();
        const int c1 = std::min(g->Col(), g->ColSel());
        const int c2 = std::max(g->Col(), g->ColSel());
        QVector<int> claves;
        for (int c = c1; c <= c2; ++c)
            claves << c;
        int r1 = FlexGrid::FixedRows, r2 = g->Rows() - 1;
        if (g->RowSel() != g->Row()) {
            r1 = std::min(g->Row(), g->RowSel());
            r2 = std::max(g->Row(), g->RowSel());
        }
        const int row = g->Row(), col = g->Col(), rowSel = g->RowSel(), colSel = g->ColSel();
        g->sortRows(r1, r2, claves);
        // The selection stays where it was, over the sorted rows.
        g->setRowCol(row, col);
        g->setRowSel(rowSel);
        g->setColSel(colSel);
        g->refresh();
    } catch (...) {
        // Errors of the sort are ignored: the grid keeps the order it reached.
    }
}
