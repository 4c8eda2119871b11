#include "MoistureShrink.h"

#include "SettlementRules.h"

#include <QLocale>

namespace
{

QString percent(int cents, int decimals)
{
    return QLocale().toString(cents / 100.0, 'f', decimals) + QStringLiteral(" %");
}

} // namespace

MoistureShrink::Result MoistureShrink::of(int h, const SettlementRules& r)
{
    if (h <= 0) return {std::nullopt, QStringLiteral("Falta la humedad de la carga.")};
    if (h <= r.toleranciaCent) return {0, {}};
    if (!r.tabla.isEmpty()) {
        const int decimas = (h + 5) / 10;
        if (decimas * 10 <= r.toleranciaCent) return {0, {}};
        const int ultima = r.tabla.lastKey();
        if (decimas > ultima)
            return {std::nullopt,
                    QStringLiteral("La humedad %1 está más allá de la última fila de la tabla "
                                   "de mermas de la planta (%2): la merma no se calcula.")
                        .arg(percent(h, 2), percent(ultima * 10, 1))};
        const auto it = r.tabla.constFind(decimas);
        if (it == r.tabla.constEnd())
            return {std::nullopt,
                    QStringLiteral("La tabla de mermas de la planta no tiene la fila de %1: la "
                                   "merma no se calcula.")
                        .arg(percent(decimas * 10, 1))};
        return {*it + r.manipuleoCent, {}};
    }
    // (H - base) x 10000 / (10000 - base) in hundredths, rounded half up.
    const qint64 num = qint64(h - r.baseCent) * 10000;
    const qint64 den = 10000 - r.baseCent;
    if (den <= 0) return {std::nullopt, QStringLiteral("La base de la merma no es válida.")};
    const qint64 seca = num <= 0 ? 0 : (2 * num + den) / (2 * den);
    return {int(seca) + r.manipuleoCent, {}};
}
