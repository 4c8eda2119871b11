#pragma once

#include <QSet>
#include <QString>

class frmTrigo;

// The values of the sheet that its own rules refuse, as another program may
// have written them into the database: a number that is no finite number
// ("-∞", "∞", "NaN"), a reading outside the range the sheet takes (a
// negative one included; 0 is a reading not taken) or finer than it keeps,
// a destination silo that is no deposit. The grid shows such a value as it
// is, marked, and the day's totals leave it out and say so.
class SheetRules
{
public:
    explicit SheetRules(frmTrigo& w) : w(w) {}

    // Reads the deposits' numbers again (with each sheet).
    void reload();
    // Why the value of a sheet field is refused, for the cell's tooltip;
    // empty when the rules take it.
    QString refusal(const QString& field, QStringView text) const;
    // The same for a cell of the grid (its column found by position).
    QString cellRefusal(int row, int col) const;

    // The text that says a value is left out of the totals.
    static QString leftOut();

private:
    frmTrigo& w;
    QSet<QString> m_silos; // the deposits, in their stored form
    bool m_silosKnown = false;
};
