#include "LoadSettlement.h"

#include "GradeRule.h"
#include "MoistureShrink.h"
#include "SettlementRules.h"

#include <cmath>

namespace
{

double finite(const QVariant& v)
{
    if (v.isNull()) return 0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok && std::isfinite(d) ? d : 0;
}

int centsOf(double v)
{
    return v > 0 && v < 1e7 ? SettlementRules::cents(v) : 0;
}

} // namespace

qint64 LoadSettlement::grams(double toneladas)
{
    if (!std::isfinite(toneladas) || toneladas <= 0) return 0;
    return std::llround(toneladas * 1000000.0);
}

qint64 LoadSettlement::netKilos(qint64 g, int mermaCent)
{
    const qint64 quedan = 10000 - qint64(std::clamp(mermaCent, 0, 10000));
    // grams x hundredths of a point left, over 10,000 x 1,000 g per kg.
    return (g * quedan + 5000000) / 10000000;
}

LoadSettlement::Result LoadSettlement::of(const Input& in, const SettlementRules& rules)
{
    Result r;
    const qint64 g = grams(in.toneladas);
    const int h = centsOf(in.humedad);
    const GradeRule::Readings x{centsOf(in.pesohect), h, centsOf(in.fallingnumber),
                                centsOf(in.humedo)};
    if (g <= 0 && x.pesohect <= 0 && x.humedad <= 0 && x.falling <= 0 && x.humedo <= 0)
        return r; // a blank row: no load yet
    r.version = rules.version;
    const MoistureShrink::Result m = MoistureShrink::of(h, rules);
    r.mermaCent = m.cents;
    if (m.cents) r.kilos = netKilos(g, *m.cents);
    r.why = m.why;
    const GradeRule::Result gr = GradeRule::of(x, rules);
    r.grado = gr.grado;
    if (!gr.why.isEmpty()) r.why += (r.why.isEmpty() ? QString() : QStringLiteral(" ")) + gr.why;
    return r;
}

LoadSettlement::Input LoadSettlement::input(const QVariant& toneladas, const QVariant& humedad,
                                            const QVariant& pesohect, const QVariant& fallingnumber,
                                            const QVariant& humedo)
{
    return {finite(toneladas), finite(humedad), finite(pesohect), finite(fallingnumber),
            finite(humedo)};
}

LoadSettlement::Result LoadSettlement::kept(const QVariant& merma, const QVariant& kg,
                                            const QVariant& grado, const QVariant& version)
{
    Result r;
    if (!merma.isNull()) r.mermaCent = SettlementRules::cents(finite(merma));
    if (!kg.isNull()) r.kilos = std::llround(finite(kg));
    r.grado = grado.isNull() ? QString() : grado.toString();
    r.version = version.isNull() ? 0 : version.toLongLong();
    return r;
}

QVariant LoadSettlement::Result::merma() const
{
    return mermaCent ? QVariant(*mermaCent / 100.0) : QVariant(QMetaType(QMetaType::Double));
}

QVariant LoadSettlement::Result::kg() const
{
    return kilos ? QVariant(*kilos) : QVariant(QMetaType(QMetaType::LongLong));
}

QVariant LoadSettlement::Result::gradoValue() const
{
    return grado.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(grado);
}

QVariant LoadSettlement::Result::versionValue() const
{
    return version > 0 ? QVariant(version) : QVariant(QMetaType(QMetaType::LongLong));
}

QString LoadSettlement::Result::mermaText() const
{
    return mermaCent ? SettlementRules::centsText(*mermaCent) : QString();
}

QString LoadSettlement::Result::kgText() const
{
    return kilos ? QString::number(*kilos) : QString();
}
