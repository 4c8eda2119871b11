#pragma once

#include <QString>

class frmTrigo;

// The pick lists of the active field: the sheet's text columns, the deposits,
// the users, the date chooser of the date boxes, and a default definition for
// any other table.
class FieldLookups
{
public:
    explicit FieldLookups(frmTrigo& w) : w(w) {}

    void CmdConsultar(bool lSinKeyDown = false);

private:
    frmTrigo& w;
};
