#pragma once

#include <QString>
#include <QVariant>

struct SiloFigure;

// The texts of the silo panel. Numbers are written in the locale's number
// format, as they come (no rounding is applied beyond the 15 significant
// digits a floating-point figure carries); a null figure is written empty.
class SiloCaption
{
public:
    static QString number(const QVariant& value);
    // capacidad - usado (usado counted as 0 when null); null when the
    // capacity is null or no number.
    static QVariant freeSpace(const SiloFigure& silo);

    // "3 SILO NORTE (Capacidad Total 500 Toneladas) Espacio disponible: 120 Toneladas"
    static QString detailed(const SiloFigure& silo);
    // The trimmed deposit number.
    static QString summary(const SiloFigure& silo);
    // The figures of a column of the summary view, for its tooltip.
    static QString summaryToolTip(const SiloFigure& silo);
};
