#include "ChangeHistory.h"

#include "CellWriter.h"
#include "DailySheet.h"
#include "DataService.h"
#include "DateText.h"
#include "Dialogs.h"
#include "FlexGrid.h"
#include "HistoryDialog.h"
#include "ModGlobal.h"
#include "ServiceError.h"
#include "TextBox.h"
#include "UtilService.h"
#include "frmTrigo.h"

#include <QLocale>

bool ChangeHistory::available()
{
    if (!m_available) {
        try {
            m_available = w.data().tableHasColumn(QStringLiteral("mv_molvera"),
                                                  QStringLiteral("modificado_por")) &&
                          w.data().tableHasColumn(QStringLiteral("mv_molvera_historial"),
                                                  QStringLiteral("id_registro"));
        } catch (const ServiceError&) {
            return false; // asked again next time
        }
    }
    return *m_available;
}

QString ChangeHistory::operador() const
{
    const TextBox* resp = w.box(QStringLiteral("responsable"));
    const QString r = resp ? resp->text().trimmed() : QString();
    return r.isEmpty() ? ModGlobal::gUsuarioLogeado.trimmed() : r;
}

QString ChangeHistory::setClause()
{
    return available() ? QStringLiteral(", modificado_por = ?") : QString();
}

void ChangeHistory::marcarBaja(qint64 id)
{
    if (!available()) return;
    w.data().execute(QStringLiteral("UPDATE %1 SET modificado_por = ? WHERE ID = ?").arg(w.mVista),
                     {operador(), id});
}

QVector<HistoryEntry> ChangeHistory::rowsOf(DataService& data, qint64 id)
{
    RecordSet rs = data.openRecordSet(
        QStringLiteral("SELECT fecha_cambio, usuario, operacion, campo, valor_anterior, "
                       "valor_nuevo FROM mv_molvera_historial WHERE id_registro = ? ORDER BY ID"),
        {id});
    QVector<HistoryEntry> out;
    out.reserve(rs.recordCount());
    for (const RecordSet::Row row : rs.rows()) {
        HistoryEntry e;
        e.cuando = DataService::toDateTime(row.at(0));
        e.usuario = row.at(1).toString();
        e.operacion = row.at(2).toString().trimmed();
        e.campo = row.at(3).toString().trimmed().toLower();
        e.anterior = row.at(4);
        e.nuevo = row.at(5);
        out.push_back(e);
    }
    return out;
}

QString ChangeHistory::ultimoOperador(DataService& data, qint64 id, const QString& campo)
{
    RecordSet rs = data.openRecordSet(
        QStringLiteral("SELECT top 1 usuario FROM mv_molvera_historial WHERE id_registro = ? AND "
                       "campo = ? ORDER BY ID DESC"),
        {id, campo.toLower()});
    return rs.eof() ? QString() : rs.value(0).toString().trimmed();
}

QString ChangeHistory::caption(const QString& campo)
{
    int n = 0;
    const DailySheet::Columna* cols = DailySheet::columnas(n);
    for (int i = 0; i < n; ++i)
        if (campo.compare(QLatin1String(cols[i].campo), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(cols[i].alias);
    // The version of the rules a load's settlement was computed with.
    if (campo.compare(QLatin1String("reglas_version"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("VERSIÓN DE LAS REGLAS");
    return campo.toUpper();
}

QString ChangeHistory::shownValue(const QString& campo, const QVariant& value)
{
    if (value.isNull() || !value.isValid()) return {};
    const QString t = value.toString();
    if (CellWriter::kindOf(campo) == CellWriter::Kind::Number) {
        bool ok = false;
        const double d = QLocale::c().toDouble(t.trimmed(), &ok);
        if (ok) return UtilService::valueToText(d);
    } else if (campo.compare(QLatin1String("fecha"), Qt::CaseInsensitive) == 0) {
        const QDateTime dt = DataService::toDateTime(value);
        if (dt.isValid()) return UtilService::valueToText(dt);
    }
    return t;
}

QString ChangeHistory::shownOperation(const QString& operacion)
{
    if (operacion == QLatin1String("ALTA")) return QStringLiteral("Alta");
    if (operacion == QLatin1String("BAJA")) return QStringLiteral("Baja");
    if (operacion == QLatin1String("MODIFICACION")) return QStringLiteral("Modificación");
    return operacion;
}

void ChangeHistory::mostrar()
{
    FlexGrid* g = w.MSflexGrid1();
    bool ok = false;
    const qint64 id =
        g->Row() >= FlexGrid::FixedRows ? g->TextMatrix(g->Row(), 0).trimmed().toLongLong(&ok) : 0;
    if (!w.mPlanillaCargada || !ok || id <= 0) {
        Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"),
                                    QStringLiteral("Posiciónese en un registro de la planilla "
                                                   "para ver su historial."),
                                    Dialogs::Icon::Exclamation);
        return;
    }
    if (!available()) {
        Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"),
                                    QStringLiteral("Esta base de datos no guarda el historial de "
                                                   "los cambios."),
                                    Dialogs::Icon::Information);
        return;
    }
    QVector<HistoryEntry> entries;
    try {
        entries = rowsOf(w.data(), id);
    } catch (const ServiceError& e) {
        Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"),
                                    QStringLiteral("No se pudo leer el historial.\n\n") +
                                        e.description(),
                                    Dialogs::Icon::Critical);
        return;
    }
    HistoryDialog dlg(id, entries, &w);
    Dialogs::instance().exec(&dlg);
}
