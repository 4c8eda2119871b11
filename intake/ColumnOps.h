#pragma once

#include <QString>

class frmTrigo;

// The column operations of the sheet: fill a column from its first selected
// cell ("Duplicar") and sort by the selected columns ("Ordenar"). The window's
// buttons CmdCompletar and CmdOrdenar run them.
class ColumnOps
{
public:
    explicit ColumnOps(frmTrigo& w);

    // After the operator's confirmation, every row from the anchor down to the
    // selection's end row gets the anchor's value in the anchor's column,
    // validated and written as if typed and ended with Enter. Answers how many
    // rows were written.
    int CmdCompletar();
    // Sorts the rows by the selected columns (numbers as numbers), on screen
    // only.
    void CmdOrdenar();

    // The confirmation text of the fill.
    static QString textoConfirmacion();

private:
    frmTrigo& w;
    bool m_enCurso = false;
};
