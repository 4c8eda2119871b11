#pragma once

#include <QString>

class TextBox;
class frmTrigo;

// Writes one edited cell to the intake view at once: one UPDATE of that
// column and of the modification time, on the row of the grid's current row.
class CellWriter
{
public:
    enum class Kind { Number, Text, Key, Unknown };

    static Kind kindOf(const QString& fieldName);

    // Writes the value of the box (the cell editor). Answers true when the
    // database accepted it; the text to show in the cell is then in shown.
    // With seen (the cell's text when the edit began): when another desk
    // changed the stored value meanwhile, the operator is told who and what
    // before it is written over, and answers whether to; not written, the
    // cell shows the stored value and seen becomes it.
    static bool UpdateaCampo(frmTrigo& w, TextBox* txt, QString* shown = nullptr,
                             QString* seen = nullptr);

private:
    static bool confirmarSobreescritura(frmTrigo& w, const QString& campo, qint64 id,
                                        QString& seen, const QString& nuevo);
};
