#include "WeighingSlip.h"

#include "DataService.h"
#include "Dialogs.h"
#include "Idioma.h"
#include "InstrumentReading.h"
#include "ModGlobal.h"
#include "OutputFile.h"
#include "ServiceError.h"
#include "UtilService.h"
#include "frmTrigo.h"

#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace
{

// Dates in Spanish whatever the system's language.
QString fechaHora(const QDateTime& t)
{
    return Idioma::textos().toString(t, QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

QString pesada(const char* titulo, const std::optional<WeighingStore::Pesada>& p)
{
    if (!p) return QStringLiteral("%1: sin pesar").arg(QLatin1String(titulo));
    QString quien = p->instrumento + QStringLiteral(", ") + p->estacion;
    if (!p->usuario.trimmed().isEmpty()) quien += QStringLiteral(", ") + p->usuario.trimmed();
    return QStringLiteral("%1: %2   %3   %4")
        .arg(QLatin1String(titulo), InstrumentReading::kilos(p->kilos), fechaHora(p->fecha), quien);
}

} // namespace

QStringList WeighingSlip::lineas(qint64 registro)
{
    const auto bruto = m_store.ultima(registro, QLatin1String(WeighingStore::kBruto));
    const auto tara = m_store.ultima(registro, QLatin1String(WeighingStore::kTara));
    if (!bruto && !tara) return {};
    RecordSet rs = w.data().openRecordSet(
        QStringLiteral("SELECT Fecha, vendedor, procedencia, camionero, silodestino, Toneladas "
                       "FROM %1 WHERE ID = ?")
            .arg(w.mVista.isEmpty() ? QStringLiteral("v_mv_molvera") : w.mVista),
        {registro});
    QStringList l;
    l << QStringLiteral("BOLETA DE PESADA")
      << ModGlobal::ValorConfiguracion(w.data(), QStringLiteral("NOMBRE")) << QString();
    l << QStringLiteral("Carga N° %1").arg(registro);
    if (!rs.bof()) {
        l << QStringLiteral("Fecha: %1")
                 .arg(Idioma::textos().toString(DataService::toDateTime(rs.value(0)).date(),
                                                QStringLiteral("d 'de' MMMM 'de' yyyy")))
          << QStringLiteral("Vendedor: %1").arg(rs.value(1).toString())
          << QStringLiteral("Procedencia: %1").arg(rs.value(2).toString())
          << QStringLiteral("Camionero: %1").arg(rs.value(3).toString())
          << QStringLiteral("Destino: %1").arg(rs.value(4).toString());
    }
    l << QString() << pesada("Bruto", bruto) << pesada("Tara", tara);
    if (bruto && tara) {
        const double neto = bruto->kilos - tara->kilos;
        l << QStringLiteral("Neto: %1 = %2 t")
                 .arg(InstrumentReading::kilos(neto), QLocale().toString(neto / 1000.0, 'f', 3));
    } else {
        l << QStringLiteral("Neto: falta la %1").arg(bruto ? "tara" : "pesada bruta");
    }
    if (!rs.bof())
        l << QStringLiteral("Toneladas registradas en la planilla: %1 t")
                 .arg(UtilService::valueToText(rs.value(5)));
    return l;
}

bool WeighingSlip::escribirPdf(const QString& path, const QStringList& lineas, QString* error)
{
    // Never the database, and the slip whole or not at all.
    OutputFile file(path);
    if (!file.open()) {
        if (error) *error = file.message();
        return false;
    }
    QPdfWriter pdf(file.device());
    pdf.setPageSize(QPageSize(QPageSize::A5));
    pdf.setResolution(300);
    pdf.setTitle(QStringLiteral("Boleta de pesada"));
    QPainter p;
    if (!p.begin(&pdf)) {
        if (error) *error = QStringLiteral("No se pudo crear el PDF %1.").arg(path);
        return false;
    }
    QFont f(QStringLiteral("Sans Serif"), 10);
    QFont titulo = f;
    titulo.setBold(true);
    titulo.setPointSize(14);
    int y = 0;
    for (int i = 0; i < lineas.size(); ++i) {
        p.setFont(i == 0 ? titulo : f);
        const int alto = p.fontMetrics().height();
        y += alto;
        p.drawText(0, y, lineas.at(i));
        y += alto / 3;
    }
    if (!p.end() || !file.commit()) {
        if (error)
            *error = file.message().isEmpty()
                         ? QStringLiteral("No se pudo crear el PDF %1.").arg(path)
                         : file.message();
        return false;
    }
    return true;
}

bool WeighingSlip::guardar(qint64 id)
{
    auto aviso = [&](const QString& t) {
        Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"), t,
                                    Dialogs::Icon::Exclamation);
    };
    if (id <= 0) {
        aviso(QStringLiteral("Elija en la planilla la carga de la boleta."));
        return false;
    }
    QStringList l;
    try {
        if (!m_store.disponible()) {
            aviso(QStringLiteral(
                "La base de datos no tiene la tabla de pesadas (mv_molvera_pesada)."));
            return false;
        }
        l = lineas(id);
    } catch (const ServiceError& e) {
        UtilService::errorDialog(&w, e, QStringLiteral("Boleta de pesada"));
        return false;
    }
    if (l.isEmpty()) {
        aviso(QStringLiteral("La carga %1 no tiene pesadas registradas.").arg(id));
        return false;
    }
    const auto path = Dialogs::instance().saveFileName(&w, QStringLiteral("Boleta de pesada"),
                                                       QStringLiteral("pesada-%1.pdf").arg(id),
                                                       QStringLiteral("Archivos PDF (*.pdf)"));
    if (!path || path->trimmed().isEmpty()) return false;
    QString error;
    if (!escribirPdf(*path, l, &error)) {
        aviso(error);
        return false;
    }
    return true;
}
