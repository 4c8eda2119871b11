#include "RulesStore.h"

#include "DataService.h"
#include "ServiceError.h"

#include <cmath>

namespace
{

std::optional<int> limit(const QVariant& v)
{
    if (v.isNull()) return std::nullopt;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d)) return std::nullopt;
    return SettlementRules::cents(d);
}

} // namespace

bool RulesStore::available()
{
    return m_data.tableHasColumn(QStringLiteral("ta_liquidacion"), QStringLiteral("version"));
}

qint64 RulesStore::version()
{
    RecordSet rs = m_data.openRecordSet(QStringLiteral("SELECT version FROM ta_liquidacion"));
    return rs.eof() ? 0 : rs.value(0).toLongLong();
}

SettlementRules RulesStore::read()
{
    SettlementRules r;
    RecordSet base = m_data.openRecordSet(
        QStringLiteral("SELECT tolerancia, base, manipuleo, version FROM ta_liquidacion"));
    if (base.eof())
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("La tabla ta_liquidacion no tiene la fila de las reglas "
                                          "de merma."));
    r.toleranciaCent = SettlementRules::cents(base.value(0).toDouble());
    r.baseCent = SettlementRules::cents(base.value(1).toDouble());
    r.manipuleoCent = SettlementRules::cents(base.value(2).toDouble());
    r.version = base.value(3).toLongLong();
    RecordSet tabla = m_data.openRecordSet(
        QStringLiteral("SELECT humedad, merma FROM ta_merma_tabla ORDER BY humedad"));
    for (const auto& row : tabla.rows())
        r.tabla.insert(int(std::llround(row.at(0).toDouble() * 10.0)),
                       SettlementRules::cents(row.at(1).toDouble()));
    RecordSet grados = m_data.openRecordSet(
        QStringLiteral("SELECT grado, pesohect_min, humedad_max, fallingnumber_min, humedo_min "
                       "FROM ta_grado ORDER BY grado"));
    for (const auto& row : grados.rows()) {
        SettlementRules::Grade g;
        g.grado = row.at(0).toInt();
        g.pesohectMin = limit(row.at(1));
        g.humedadMax = limit(row.at(2));
        g.fallingMin = limit(row.at(3));
        g.humedoMin = limit(row.at(4));
        r.grados << g;
    }
    return r;
}
