#include "SiloQuality.h"

#include "DataService.h"
#include "ServiceError.h"

#include <QLocale>
#include <QStringList>

namespace
{

std::optional<double> media(const QVariant& kilos, const QVariant& suma, double escala)
{
    const double k = kilos.toDouble();
    if (kilos.isNull() || !(k > 0)) return std::nullopt;
    return suma.toDouble() / k / escala;
}

QString numero(double v, int decimales)
{
    return QLocale().toString(v, 'f', decimales);
}

} // namespace

QHash<QString, SiloQualityFigures> SiloQuality::read()
{
    if (m_kept) {
        try {
            return readSums();
        } catch (const ServiceError&) {
            m_kept = false; // a database made before the sums were kept
        }
    }
    // Weighted by tonnes, over the loads with tonnes and that reading.
    RecordSet rs = m_data.openRecordSet(
        QStringLiteral("select silodestino, "
                       "sum(case when humedad > 0 then toneladas else 0 end), "
                       "sum(case when humedad > 0 then toneladas * humedad else 0 end), "
                       "sum(case when pesohect > 0 then toneladas else 0 end), "
                       "sum(case when pesohect > 0 then toneladas * pesohect else 0 end), "
                       "sum(case when fallingnumber > 0 then toneladas else 0 end), "
                       "sum(case when fallingnumber > 0 then toneladas * fallingnumber else 0 end) "
                       "from v_mv_molvera where silodestino is not null and toneladas > 0 "
                       "group by silodestino"));
    QHash<QString, SiloQualityFigures> out;
    for (const RecordSet::Row row : rs.rows()) {
        SiloQualityFigures q{media(row.at(1), row.at(2), 1), media(row.at(3), row.at(4), 1),
                             media(row.at(5), row.at(6), 1)};
        if (!q.isEmpty()) out.insert(row.at(0).toString(), q);
    }
    return out;
}

QHash<QString, SiloQualityFigures> SiloQuality::readSums()
{
    RecordSet rs = m_data.openRecordSet(QStringLiteral(
        "select silodestino, gramos_humedad, humedad_gramos, gramos_pesohect, "
        "pesohect_gramos, gramos_falling, falling_gramos from mv_molvera_silo_calidad"));
    QHash<QString, SiloQualityFigures> out;
    for (const RecordSet::Row row : rs.rows()) {
        // Sums of grams times hundredths: over the grams, over 100.
        SiloQualityFigures q{media(row.at(1), row.at(2), 100), media(row.at(3), row.at(4), 100),
                             media(row.at(5), row.at(6), 100)};
        if (!q.isEmpty()) out.insert(row.at(0).toString(), q);
    }
    return out;
}

QString SiloQuality::detailedSuffix(const SiloQualityFigures& q)
{
    QStringList parts;
    if (q.humedad) parts << QStringLiteral("Humedad %1 %").arg(numero(*q.humedad, 2));
    if (q.pesohect) parts << QStringLiteral("Peso hect. %1 kg/hl").arg(numero(*q.pesohect, 2));
    if (q.falling) parts << QStringLiteral("Falling number %1 s").arg(numero(*q.falling, 0));
    if (parts.isEmpty()) return {};
    return QStringLiteral(" · ") + parts.join(QStringLiteral(" · "));
}

QString SiloQuality::toolTipLines(const SiloQualityFigures& q)
{
    QString out;
    if (q.humedad) out += QStringLiteral("\nHumedad media: %1 %").arg(numero(*q.humedad, 2));
    if (q.pesohect)
        out += QStringLiteral("\nPeso hectolítrico medio: %1 kg/hl").arg(numero(*q.pesohect, 2));
    if (q.falling) out += QStringLiteral("\nFalling number medio: %1 s").arg(numero(*q.falling, 0));
    return out;
}
