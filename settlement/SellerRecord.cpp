#include "SellerRecord.h"

#include "Cuit.h"
#include "DataService.h"
#include "ServiceError.h"
#include "TextFold.h"

#include <QDateTime>
#include <algorithm>

QVector<SellerRecord::Spelling> SellerRecord::spellings(const QString& name)
{
    const QString key = TextFold::nameKey(name.trimmed());
    QVector<Spelling> out;
    if (key.isEmpty()) return out;
    // Every seller written so far, once each (the seller index), folded here.
    const RecordSet rs = m_data.openRecordSet(
        QStringLiteral("SELECT vendedor, COUNT(*) FROM mv_molvera WHERE vendedor IS NOT NULL "
                       "GROUP BY vendedor"));
    for (const auto& row : rs.rows()) {
        const QString n = row.at(0).toString();
        if (TextFold::nameKey(n.trimmed()) == key) out.push_back({n, row.at(1).toInt()});
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Spelling& a, const Spelling& b) { return a.loads > b.loads; });
    return out;
}

QString SellerRecord::cuit(const QString& name)
{
    const RecordSet rs = m_data.openRecordSet(
        QStringLiteral("SELECT cuit FROM ta_vendedor WHERE nombre = ?"), {name});
    return rs.eof() ? QString() : rs.value(0).toString();
}

void SellerRecord::setCuit(const QString& name, const QString& text)
{
    QString digits;
    if (!text.trimmed().isEmpty()) {
        QString why;
        digits = Cuit::check(text, &why);
        if (digits.isEmpty()) throw ServiceError(ServiceError::TypeMismatch, why);
    }
    m_data.exclusiveTransaction(kBloqueo, [&] {
        m_data.execute(QStringLiteral("DELETE FROM ta_vendedor WHERE nombre = ?"), {name});
        if (!digits.isEmpty())
            m_data.execute(QStringLiteral("INSERT INTO ta_vendedor (nombre, cuit) VALUES (?, ?)"),
                           {name, digits});
    });
}

int SellerRecord::unify(const QString& target, const QVector<Spelling>& variants,
                        const QString& operador)
{
    const bool quien =
        m_data.tableHasColumn(QStringLiteral("mv_molvera"), QStringLiteral("modificado_por"));
    int n = 0;
    m_data.exclusiveTransaction(kBloqueo, [&] {
        QString cuitTarget = cuit(target);
        for (const Spelling& v : variants) {
            if (v.name == target) continue;
            const RecordSet ids = m_data.openRecordSet(
                QStringLiteral("SELECT ID FROM v_mv_molvera WHERE vendedor = ? ORDER BY ID"),
                {v.name});
            for (const auto& row : ids.rows()) {
                QVariantList p{target, QDateTime::currentDateTime()};
                if (quien) p << operador;
                p << row.at(0) << v.name;
                if (m_data.executeChanged(
                        QStringLiteral("UPDATE v_mv_molvera SET [VENDEDOR] = ?, "
                                       "fecha_modificacion = ?%1 WHERE ID = ? AND vendedor = ?")
                            .arg(quien ? QStringLiteral(", modificado_por = ?") : QString()),
                        p))
                    ++n;
            }
            const QString suyo = cuit(v.name);
            if (!suyo.isEmpty() && cuitTarget.isEmpty()) {
                m_data.execute(QStringLiteral("INSERT INTO ta_vendedor (nombre, cuit) VALUES "
                                              "(?, ?)"),
                               {target, suyo});
                cuitTarget = suyo;
            }
            m_data.execute(QStringLiteral("DELETE FROM ta_vendedor WHERE nombre = ?"), {v.name});
        }
    });
    return n;
}
