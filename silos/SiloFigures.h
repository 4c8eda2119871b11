#pragma once

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVector>

class DataService;

// One deposit as the panel shows it: its number, description and capacity as
// the deposits view holds them, and the tonnes received into it (null when no
// truckload with tonnes went to that silo, as a sum over no rows reads).
struct SiloFigure {
    QString iddeposito;
    QString descripcion;
    QVariant capacidad;
    QVariant usado;
};

// Reads the deposits and the tonnes received per silo. The tonnes come from
// the per-silo totals that the database keeps up to date with every change of
// an intake row, so a refresh costs two small queries however many intake
// rows there are. A database without the totals table is read with one
// grouped sum over the intake view instead (same figures, slower).
class SiloFigures
{
public:
    explicit SiloFigures(DataService& data) : m_data(data) {}

    // The deposits in the order the deposits view returns them, with their
    // tonnes. Empty when there are no deposits. Raises ServiceError when the
    // deposits cannot be read.
    QVector<SiloFigure> read();

    // True while the kept totals are read (false after the fallback).
    bool usingKeptTotals() const { return m_keptTotals; }

    // The deposit number in the form the intake rows store it ("7" -> "0007").
    static QString storedSilo(const QString& iddeposito);

private:
    QHash<QString, QVariant> receivedPerSilo();

    DataService& m_data;
    bool m_keptTotals = true;
};
