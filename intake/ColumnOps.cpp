#include "ColumnOps.h"

#include "frmTrigo.h"

ColumnOps::ColumnOps(frmTrigo& w) : w(w) {}

int ColumnOps::CmdCompletar()
{
    return 0;
}

void ColumnOps::CmdOrdenar() {}
