#include "GradeRule.h"

#include "SettlementRules.h"

#include <QStringList>

GradeRule::Result GradeRule::of(const Readings& x, const SettlementRules& r)
{
    if (r.grados.isEmpty()) return {};
    for (const SettlementRules::Grade& g : r.grados) {
        bool falla = false;
        QStringList faltan;
        // A minimum, a maximum: met, failed, or not known without the reading.
        auto limite = [&](const std::optional<int>& l, int valor, bool minimo,
                          const char* lectura) {
            if (!l) return;
            if (valor <= 0) {
                faltan << QString::fromUtf8(lectura);
                return;
            }
            if (minimo ? valor < *l : valor > *l) falla = true;
        };
        limite(g.pesohectMin, x.pesohect, true, "peso hectolítrico");
        limite(g.humedadMax, x.humedad, false, "humedad");
        limite(g.fallingMin, x.falling, true, "falling number");
        limite(g.humedoMin, x.humedo, true, "gluten húmedo");
        if (falla) continue;
        if (!faltan.isEmpty())
            return {QString::fromUtf8(kPendiente), QStringLiteral("El grado %1 necesita: %2.")
                                                       .arg(g.grado)
                                                       .arg(faltan.join(QStringLiteral(", ")))};
        return {QString::number(g.grado), {}};
    }
    return {QString::fromUtf8(kFuera), {}};
}
