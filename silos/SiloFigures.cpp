#include "SiloFigures.h"

#include "DataService.h"
#include "ServiceError.h"
#include "UtilService.h"

#include <QHash>

QString SiloFigures::storedSilo(const QString& iddeposito)
{
    return UtilService::fixedWidth(iddeposito, 4);
}

QVector<SiloFigure> SiloFigures::read()
{
    RecordSet rs = m_data.openRecordSet(QStringLiteral("select * from v_ta_deposito"));
    QVector<SiloFigure> silos;
    if (rs.isEmpty()) return silos;

    const int colId = rs.indexOf(QStringLiteral("iddeposito"));
    const int colDesc = rs.indexOf(QStringLiteral("Descripcion"));
    const int colCap = rs.indexOf(QStringLiteral("capacidad"));
    if (colId < 0 || colDesc < 0 || colCap < 0)
        throw ServiceError(ServiceError::Database,
                           QStringLiteral("v_ta_deposito: faltan columnas del depósito"));

    const QHash<QString, QVariant> received = receivedPerSilo();
    silos.reserve(rs.recordCount());
    for (const RecordSet::Row row : rs.rows()) {
        SiloFigure f;
        f.iddeposito = row.at(colId).toString();
        f.descripcion = row.at(colDesc).toString();
        f.capacidad = row.at(colCap);
        f.usado = received.value(storedSilo(f.iddeposito));
        silos.push_back(std::move(f));
    }
    return silos;
}

QHash<QString, QVariant> SiloFigures::receivedPerSilo()
{
    QHash<QString, QVariant> received;
    if (m_keptTotals) {
        try {
            RecordSet rs = m_data.openRecordSet(
                QStringLiteral("select silodestino, gramos, cargas from mv_molvera_silo_total"));
            for (const RecordSet::Row row : rs.rows()) {
                // No row with tonnes left in that silo: the sum reads null.
                if (row.at(2).isNull() || row.at(2).toLongLong() <= 0) continue;
                received.insert(row.at(0).toString(), row.at(1).toLongLong() / 1000000.0);
            }
            return received;
        } catch (const ServiceError&) {
            // A database made before the totals were kept: sum the rows.
            m_keptTotals = false;
        }
    }
    RecordSet rs = m_data.openRecordSet(
        QStringLiteral("select silodestino, sum(toneladas) as usado from v_mv_molvera "
                       "where silodestino is not null group by silodestino"));
    for (const RecordSet::Row row : rs.rows())
        if (!row.at(1).isNull()) received.insert(row.at(0).toString(), row.at(1));
    return received;
}
