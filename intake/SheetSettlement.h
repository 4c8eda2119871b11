#pragma once

#include "LoadSettlement.h"
#include "SettlementRules.h"

#include <QObject>
#include <QVariant>

class QToolButton;
class frmTrigo;

// What each load of the sheet is worth, in its three read-only columns
// "MERMA %", "KG NETOS" and "GRADO": computed in the write of every cell
// that changes the tonnes or a reading (typed, Duplicar, F7/F9, F11), in the
// same UPDATE as the cell, with the rules' version, so that the row and its
// history always hold what the row's values are worth; another desk's rows
// come with the values that desk wrote. The rules are read with each sheet
// and again when their version changes. Also the commands of the report
// tab and of the sheet's menu: the seller's statement and the recomputation
// of a date range after the plant changed its rules.
class SheetSettlement : public QObject
{
    Q_OBJECT
public:
    explicit SheetSettlement(frmTrigo& w);

    // True when the database has the settlement (schema 6).
    bool disponible() const { return m_disponible; }
    // True for a field whose change changes the settlement.
    static bool entra(const QString& campo);
    // True for the grid columns the sheet computes (never edited).
    static bool calculada(int columna);

    // Writes the value of the field into the row, with the row's settlement
    // computed from it and the row's other values as the database holds them
    // now, in one UPDATE. False when the row is gone. Raises ServiceError.
    bool escribir(qint64 id, const QString& campo, const QVariant& valor, const QString& quien);
    // Rows the live sheet brought: a row whose kept settlement is not what
    // its values are worth under the same rules (its tonnes or a reading
    // written by another program) is written again; one kept under other
    // rules is left as it is (only a recomputation rewrites it).
    void revisar(const QVector<qint64>& ids);
    // Puts the settlement into the row of the grid.
    void mostrar(qint64 id, const LoadSettlement::Result& r);
    const SettlementRules& reglas() const { return m_reglas; }
    // Reads the rules again (with each sheet).
    void recargar();

    // Recomputes the loaded day, or the report tab's range, after one
    // confirmation; says what was done.
    void recalcular();
    // The seller's statement of the report tab's range (or the loaded day).
    void resumen();
    // The CUIT of the current row's seller: asked, checked and kept.
    void cuitVendedor();
    // The spellings of the current row's seller made one, after one
    // confirmation, in every load.
    void unificar();

    QToolButton* botonResumen() const { return m_resumen; }
    QToolButton* botonRecalcular() const { return m_recalcular; }

private:
    // The seller of the current row (empty: none, the operator told).
    QString vendedorActual();

    frmTrigo& w;
    SettlementRules m_reglas;
    bool m_disponible = false;
    QToolButton* m_resumen = nullptr;
    QToolButton* m_recalcular = nullptr;
};
