#pragma once

class frmTrigo;

// The column operations of the sheet: fill a column from its first selected
// cell ("Duplicar") and sort by the selected columns ("Ordenar").
class ColumnOps
{
public:
    explicit ColumnOps(frmTrigo& w);

    // Answers how many rows were written.
    int CmdCompletar();
    void CmdOrdenar();

private:
    frmTrigo& w;
};
