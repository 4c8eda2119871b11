#include "SheetRules.h"

#include "DataService.h"
#include "FlexGrid.h"
#include "QualityLimits.h"
#include "RecordSet.h"
#include "ServiceError.h"
#include "SiloFigures.h"
#include "frmTrigo.h"

#include <QLocale>
#include <cmath>

namespace
{

QString numero(double v)
{
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return loc.toString(v, 'g', QLocale::FloatingPointShortest);
}

bool isNonFinite(QStringView t)
{
    return t == u"∞" || t == u"-∞" || t == u"NaN";
}

} // namespace

QString SheetRules::leftOut()
{
    return QStringLiteral("Valor fuera de las reglas de la planilla (escrito por otro programa): "
                          "no se cuenta en los totales del día.");
}

void SheetRules::reload()
{
    m_silos.clear();
    m_silosKnown = false;
    try {
        const RecordSet rs =
            w.data().openRecordSet(QStringLiteral("SELECT iddeposito FROM v_ta_deposito"));
        for (const RecordSet::Row row : rs.rows())
            m_silos.insert(SiloFigures::storedSilo(row.at(0).toString()));
        m_silosKnown = true;
    } catch (const ServiceError&) {
        // Without the deposits no silo is taken for missing.
    }
}

QString SheetRules::refusal(const QString& field, QStringView text) const
{
    const QStringView t = text.trimmed();
    if (t.isEmpty()) return {};
    if (field.compare(QLatin1String("silodestino"), Qt::CaseInsensitive) == 0) {
        if (!m_silosKnown || m_silos.contains(SiloFigures::storedSilo(t.toString()))) return {};
        return QStringLiteral("El silo %1 no existe.\n").arg(t) + leftOut();
    }
    const auto range = QualityLimits::plausibleRange(field);
    if (!range) return {};
    if (isNonFinite(t)) return QStringLiteral("%1 no es un número.\n").arg(t) + leftOut();
    const auto v = DataService::numericValue(t.toString());
    if (!v) return QStringLiteral("%1 no es un número.\n").arg(t) + leftOut();
    if (*v == 0) return {}; // a reading not taken
    if (*v < *range->min || *v > *range->max)
        return QStringLiteral("%1 está fuera de lo que la planilla toma (entre %2 y %3).\n")
                   .arg(t.toString(), numero(*range->min), numero(*range->max)) +
               leftOut();
    if (!QualityLimits::plausibilityMessage(field, t.toString()).isEmpty())
        return QStringLiteral("%1 tiene más decimales de los que la planilla guarda.\n").arg(t) +
               leftOut();
    return {};
}

QString SheetRules::cellRefusal(int row, int col) const
{
    if (row < FlexGrid::FixedRows) return {};
    const QString field = QualityLimits::fieldOfColumn(col);
    if (field.isEmpty()) return {};
    return refusal(field, w.MSflexGrid1()->cellText(row, col));
}
