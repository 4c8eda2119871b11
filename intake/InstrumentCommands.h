#pragma once

#include "ReadingStore.h"
#include "WeighingStore.h"

#include <QString>

class InstrumentHub;
class InstrumentLink;
class frmTrigo;

// The instrument keys of the sheet. F7 takes the scale's weight as the gross
// of the current row, F9 as its tare, once the weight is confirmed and
// plausible (ReadingGate); once the row has both, its tonnes are
// (gross − tare) / 1000, checked and written as a typed value, in the same
// transaction as the weighing. F11 writes the analyzer's latest readings, if
// fresh, into the row, each checked on its own, and keeps them with the line
// the analyzer sent in the same transaction. An open edit is written first;
// what cannot be taken is said in a message and nothing is written.
class InstrumentCommands
{
public:
    InstrumentCommands(frmTrigo& w, InstrumentHub& hub);

    // The window's key preview: true when the key is one of these commands
    // (it then ran).
    bool tecla(int keyCode);
    // F7 (gross) and F9 (tare). True when the weighing was written.
    bool pesar(const QString& tipo);
    // F11. True when every reading was written.
    bool leerAnalizador();
    // The weighing slip of the current row, saved as a PDF.
    bool boleta();

    WeighingStore& store() { return m_store; }
    // The id of the loaded sheet's current row, 0 when there is none.
    qint64 filaActual() const;

private:
    // The id of the current row once an open edit is written; 0 when there
    // is none (the operator has been told why).
    qint64 filaLista(InstrumentLink* instrumento, const QString& falta);
    // Checks and writes a value into a column of the current row as a typed
    // one would be; the reason it was refused, empty when written (the text
    // to show is then in mostrado).
    QString escribir(const QString& campo, const QString& texto, QString* mostrado);
    // Shows a written value in the current row's cell of the field.
    void mostrar(const QString& campo, const QString& mostrado);
    void aviso(const QString& texto, bool grave = false);

    frmTrigo& w;
    InstrumentHub& m_hub;
    WeighingStore m_store;
    ReadingStore m_readings;
};
