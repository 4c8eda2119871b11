#pragma once

#include <QString>

class frmTrigo;

// The toolbar's commands, by button key.
class SheetCommands
{
public:
    explicit SheetCommands(frmTrigo& w) : w(w) {}

    // Runs the command of a button key (compared in capitals).
    void ejecutar(const QString& key);
    // Adds a truckload row to the loaded sheet. Answers the new row's id, 0
    // when nothing was added.
    qint64 Nuevo();
    // Deletes the rows from the current row to the end of the selection,
    // after confirmation, and loads the sheet again. Answers how many rows
    // were deleted.
    int Borrar();

private:
    frmTrigo& w;
};
