#include "RangeRecompute.h"

#include "DataService.h"
#include "DateText.h"
#include "LoadSettlement.h"
#include "SettlementRules.h"

#include <QDateTime>
#include <QLocale>

QString RangeRecompute::Outcome::text(const QDate& from, const QDate& to) const
{
    const QString rango =
        from == to
            ? QStringLiteral("del %1").arg(DateText::format(from))
            : QStringLiteral("del %1 al %2").arg(DateText::format(from), DateText::format(to));
    QString t = QStringLiteral("Se recalcularon %1 %2 %3 con las reglas de liquidación versión "
                               "%4: %5 con otra merma, otros kilos netos u otro grado, %6 solo "
                               "con la versión nueva y %7 sin cambios.")
                    .arg(QLocale().toString(loads))
                    .arg(loads == 1 ? QStringLiteral("carga") : QStringLiteral("cargas"))
                    .arg(rango)
                    .arg(version)
                    .arg(QLocale().toString(values), QLocale().toString(changed - values),
                         QLocale().toString(loads - changed - meanwhile));
    if (meanwhile > 0)
        t += QStringLiteral(" %1 cambiaron en otra estación mientras tanto y quedaron con el "
                            "cálculo de esa estación.")
                 .arg(QLocale().toString(meanwhile));
    if (changed > 0) t += QStringLiteral(" Cada cambio quedó en el historial.");
    return t;
}

RangeRecompute::Outcome RangeRecompute::run(const QDate& from, const QDate& to)
{
    Outcome o;
    o.version = m_rules.version;
    const bool quien =
        !m_operador.isEmpty() &&
        m_data.tableHasColumn(QStringLiteral("mv_molvera"), QStringLiteral("modificado_por"));
    const QString update =
        QStringLiteral("UPDATE v_mv_molvera SET merma = ?, kg_netos = ?, grado = ?, "
                       "reglas_version = ?, fecha_modificacion = ?%1 WHERE ID = ? "
                       "AND Toneladas IS NOT DISTINCT FROM ? AND humedad IS NOT DISTINCT FROM ? "
                       "AND pesohect IS NOT DISTINCT FROM ? AND fallingnumber IS NOT DISTINCT "
                       "FROM ? AND humedo IS NOT DISTINCT FROM ?")
            .arg(quien ? QStringLiteral(", modificado_por = ?") : QString());
    m_data.exclusiveTransaction(kBloqueo, [&] {
        o.loads = o.changed = o.values = o.meanwhile = 0;
        const RecordSet rs = m_data.openRecordSet(
            QStringLiteral("SELECT ID, Toneladas, humedad, pesohect, fallingnumber, humedo, merma, "
                           "kg_netos, grado, reglas_version FROM v_mv_molvera WHERE fecha >= ? "
                           "AND fecha < ? ORDER BY ID"),
            {QDateTime(from, QTime(0, 0)), QDateTime(to.addDays(1), QTime(0, 0))});
        const QDateTime ahora = QDateTime::currentDateTime();
        for (const auto& row : rs.rows()) {
            const LoadSettlement::Result nuevo = LoadSettlement::of(
                LoadSettlement::input(row.at(1), row.at(2), row.at(3), row.at(4), row.at(5)),
                m_rules);
            const LoadSettlement::Result antes =
                LoadSettlement::kept(row.at(6), row.at(7), row.at(8), row.at(9));
            if (nuevo.version > 0) ++o.loads;
            if (nuevo == antes) continue;
            QVariantList p{nuevo.merma(), nuevo.kg(), nuevo.gradoValue(), nuevo.versionValue(),
                           ahora};
            if (quien) p << m_operador;
            p << row.at(0);
            for (int c = 1; c <= 5; ++c)
                p << row.at(c);
            if (!m_data.executeChanged(update, p)) {
                ++o.meanwhile;
                continue;
            }
            ++o.changed;
            LoadSettlement::Result soloVersion = antes;
            soloVersion.version = nuevo.version;
            if (!(soloVersion == nuevo)) ++o.values;
        }
    });
    return o;
}
