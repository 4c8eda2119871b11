#include "WeighingStore.h"

#include "DataService.h"
#include "ServiceError.h"

#include <QSqlError>
#include <QSqlQuery>

bool WeighingStore::disponible()
{
    if (!m_disponible)
        m_disponible = m_data.tableHasColumn(QStringLiteral("mv_molvera_pesada"),
                                             QStringLiteral("id_registro"));
    return *m_disponible;
}

void WeighingStore::registrar(const Pesada& p)
{
    m_data.execute(
        QStringLiteral("INSERT INTO mv_molvera_pesada (id_registro, tipo, kilos, fecha, "
                       "estacion, instrumento, linea, usuario) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
        {p.registro, p.tipo, p.kilos, p.fecha, p.estacion, p.instrumento, p.linea.left(255),
         p.usuario.left(50)});
}

std::optional<WeighingStore::Pesada> WeighingStore::ultima(qint64 registro, const QString& tipo)
{
    RecordSet rs = m_data.openRecordSet(
        QStringLiteral("SELECT kilos, fecha, estacion, instrumento, linea, usuario FROM "
                       "mv_molvera_pesada WHERE id_registro = ? AND tipo = ? ORDER BY ID DESC"),
        {registro, tipo});
    if (rs.bof()) return std::nullopt;
    Pesada p;
    p.registro = registro;
    p.tipo = tipo;
    p.kilos = rs.value(0).toDouble();
    p.fecha = DataService::toDateTime(rs.value(1));
    p.estacion = rs.value(2).toString();
    p.instrumento = rs.value(3).toString();
    p.linea = rs.value(4).toString();
    p.usuario = rs.value(5).toString();
    return p;
}

QString WeighingStore::toneladas(double brutoKg, double taraKg)
{
    // Nine decimals: a kilogram figure finer than the gram keeps its extra
    // digits, and the sheet's check refuses it as it refuses a typed one.
    QString t = QString::number((brutoKg - taraKg) / 1000.0, 'f', 9);
    while (t.endsWith(u'0'))
        t.chop(1);
    if (t.endsWith(u'.')) t.chop(1);
    return t == QLatin1String("-0") ? QStringLiteral("0") : t;
}

void WeighingStore::sentencia(const QString& sql)
{
    QSqlQuery q(m_data.database());
    if (!q.exec(sql))
        throw ServiceError(ServiceError::Database, m_data.withoutPassword(q.lastError().text()),
                           sql);
}

bool WeighingStore::enTransaccion(const std::function<bool()>& paso)
{
    const bool sqlite = m_data.dialect().kind() == SqlDialect::Kind::SQLite;
    QSqlDatabase db = m_data.database();
    // The write lock at once on the embedded database: the reads inside see
    // what no other desk can change before the commit.
    if (sqlite)
        sentencia(QStringLiteral("BEGIN IMMEDIATE"));
    else if (!db.transaction())
        throw ServiceError(ServiceError::Database, m_data.withoutPassword(db.lastError().text()));
    auto deshacer = [&] {
        if (sqlite) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("ROLLBACK"));
        } else {
            db.rollback();
        }
    };
    try {
        if (!paso()) {
            deshacer();
            return false;
        }
        if (sqlite)
            sentencia(QStringLiteral("COMMIT"));
        else if (!db.commit())
            throw ServiceError(ServiceError::Database,
                               m_data.withoutPassword(db.lastError().text()));
    } catch (...) {
        deshacer();
        throw;
    }
    return true;
}
