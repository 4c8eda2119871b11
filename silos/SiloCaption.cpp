#include "SiloCaption.h"

#include "SiloFigures.h"

#include <QLocale>
#include <cmath>

QString SiloCaption::number(const QVariant& value)
{
    if (!value.isValid() || value.isNull()) return {};
    // Capacities and tonnes with the locale's thousands separator
    // ("12.500" in Spanish).
    const QLocale loc;
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return loc.toString(value.toLongLong());
    default:
        break;
    }
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok) return value.toString().trimmed();
    // 15 significant digits: 500 - 380.2 reads 119.8, not 119.80000000000001.
    return loc.toString(d, 'g', 15);
}

QVariant SiloCaption::freeSpace(const SiloFigure& silo)
{
    if (silo.capacidad.isNull()) return {};
    bool ok = false;
    const double cap = silo.capacidad.toDouble(&ok);
    if (!ok) return {};
    const double used = silo.usado.isNull() ? 0.0 : silo.usado.toDouble();
    return cap - used;
}

QString SiloCaption::detailed(const SiloFigure& silo)
{
    return silo.iddeposito.trimmed() + u' ' + silo.descripcion.toUpper() +
           QStringLiteral(" (Capacidad Total ") + number(silo.capacidad) +
           QStringLiteral(" Toneladas)") + QStringLiteral(" Espacio disponible: ") +
           number(freeSpace(silo)) + QStringLiteral(" Toneladas");
}

QString SiloCaption::summary(const SiloFigure& silo)
{
    return silo.iddeposito.trimmed();
}

QString SiloCaption::summaryToolTip(const SiloFigure& silo)
{
    const QVariant received = silo.usado.isNull() ? QVariant(0) : silo.usado;
    return silo.iddeposito.trimmed() + u' ' + silo.descripcion.toUpper() + u'\n' +
           QStringLiteral("Capacidad Total: ") + number(silo.capacidad) +
           QStringLiteral(" Toneladas\nRecibido: ") + number(received) +
           QStringLiteral(" Toneladas\nEspacio disponible: ") + number(freeSpace(silo)) +
           QStringLiteral(" Toneladas");
}
