#pragma once

#include "WeighingStore.h"

#include <QStringList>

class frmTrigo;

// The weighing slip of a truckload: the company, the load (date, seller,
// origin, trucker, silo), its gross and tare with their times, scale,
// workstations and operators, the net in kilograms and tonnes, and the tonnes
// the row holds; dates in Spanish whatever the system's language. Saved as a
// PDF from the sheet's context menu.
class WeighingSlip
{
public:
    WeighingSlip(frmTrigo& w, WeighingStore& store) : w(w), m_store(store) {}

    // Asks for a file name and saves the slip of the load with that id (0:
    // none chosen). False when nothing was saved (the operator has been told
    // why, or cancelled).
    bool guardar(qint64 registro);

    // The slip's lines for a load; empty when it has no weighing.
    QStringList lineas(qint64 registro);
    // Writes the lines as a one-page PDF (never over the database, whole or
    // not at all); false with the sentence that says why in error.
    static bool escribirPdf(const QString& path, const QStringList& lineas, QString* error);

private:
    frmTrigo& w;
    WeighingStore& m_store;
};
