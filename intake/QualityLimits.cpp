#include "QualityLimits.h"

#include "DailySheet.h"
#include "DataService.h"
#include "Dialogs.h"
#include "FlexGrid.h"
#include "ModGlobal.h"
#include "RecordSet.h"
#include "ServiceError.h"
#include "frmTrigo.h"

#include <QHash>
#include <QLocale>
#include <QStringList>
#include <cmath>

namespace
{

struct Reading {
    const char* campo;
    const char* nombre; // as the operator reads it
    const char* unidad;
    double minimo, maximo; // plausible
    // The decimals the kept silo sums hold (tonnes in grams, readings in
    // hundredths), so that the silo figures equal the rows; -1: any.
    int decimales;
};

const Reading kLecturas[] = {
    {"toneladas", "Toneladas", "t", 0, 60, 6},
    {"humedo", "Gluten húmedo", "%", 0, 60, -1},
    {"seco", "Gluten seco", "%", 0, 60, -1},
    {"fallingnumber", "Falling number", "s", 60, 600, 2},
    {"humedad", "Humedad", "%", 0, 40, 2},
    {"pesohect", "Peso hectolítrico", "kg/hl", 40, 95, 2},
};

static_assert(std::size(kLecturas) == 6, "one kept limit per reading column");

const Reading* lectura(const QString& field)
{
    const QString f = field.trimmed();
    for (const Reading& r : kLecturas)
        if (f.compare(QLatin1String(r.campo), Qt::CaseInsensitive) == 0) return &r;
    return nullptr;
}

QString numero(double v)
{
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return loc.toString(v, 'g', QLocale::FloatingPointShortest);
}

} // namespace

bool QualityLimits::isReading(const QString& field)
{
    return lectura(field) != nullptr;
}

std::optional<QualityLimits::Limit> QualityLimits::plausibleRange(const QString& field)
{
    const Reading* r = lectura(field);
    if (!r) return std::nullopt;
    return Limit{r->minimo, r->maximo};
}

QString QualityLimits::plausibilityMessage(const QString& field, const QString& text)
{
    const Reading* r = lectura(field);
    if (!r || text.trimmed().isEmpty()) return {};
    const auto v = DataService::numericValue(text.trimmed());
    // 0 is what the sheet stores for an emptied reading cell: no reading taken.
    if (!v || *v == 0) return {};
    if (*v >= r->minimo && *v <= r->maximo) {
        if (r->decimales < 0) return {};
        const double escalado = *v * std::pow(10.0, r->decimales);
        if (std::abs(escalado - std::round(escalado)) < 1e-6) return {};
        return QStringLiteral("%1 %2 %3: se registra con %4 decimales como máximo%5; no se "
                              "guardará.")
            .arg(QString::fromUtf8(r->nombre), numero(*v), QLatin1String(r->unidad))
            .arg(r->decimales)
            .arg(r->decimales == 6 ? QStringLiteral(" (hasta el gramo)") : QString());
    }
    return QStringLiteral("%1 %2 %3: fuera de rango. El valor debe estar entre %4 y %5 %3; "
                          "no se guardará.")
        .arg(QString::fromUtf8(r->nombre), numero(*v), QLatin1String(r->unidad), numero(r->minimo),
             numero(r->maximo));
}

QString QualityLimits::key(const QString& field, bool max)
{
    return QStringLiteral("LIMITE_%1_%2").arg(field.trimmed().toUpper(), max ? "MAX" : "MIN");
}

void QualityLimits::reload()
{
    m_alguno = false;
    for (Limit& l : m_porLectura)
        l = Limit{};
    // Every limit in one statement: a configuration table that cannot be read
    // is one message, not one per key.
    QStringList claves;
    QVariantList params;
    for (const Reading& r : kLecturas)
        for (bool max : {false, true}) {
            claves << QStringLiteral("?");
            params << key(QLatin1String(r.campo), max);
        }
    QString tabla = ModGlobal::gTablaConfiguracion.trimmed();
    if (tabla.isEmpty()) tabla = QStringLiteral("TA_CONFIGURACION");
    QHash<QString, QString> valores;
    try {
        RecordSet rs = w.data().openRecordSet(
            QStringLiteral("SELECT CLAVE, VALOR FROM %1 WHERE CLAVE IN (%2)")
                .arg(w.data().dialect().quoteIdentifier(tabla), claves.join(u',')),
            params);
        for (const RecordSet::Row row : rs.rows())
            valores.insert(row.at(0).toString().trimmed(), row.at(1).toString().trimmed());
        m_avisado = false;
    } catch (const ServiceError& e) {
        if (!m_avisado)
            Dialogs::instance().message(
                &w, QStringLiteral("Aviso al operador"),
                QStringLiteral("No se pudieron leer los límites de aceptación de la tabla de "
                               "configuración %1; la planilla se carga sin límites de "
                               "aceptación.\n\nDetalle: %2")
                    .arg(tabla, e.description()),
                Dialogs::Icon::Exclamation);
        m_avisado = true;
        return;
    }
    auto leer = [&](const QString& clave) -> std::optional<double> {
        const QString v = valores.value(clave);
        if (v.isEmpty()) return std::nullopt; // no row or an empty value
        bool ok = false;
        const double d = QLocale::c().toDouble(v, &ok);
        if (ok) return d;
        return DataService::numericValue(v);
    };
    for (const Reading& r : kLecturas) {
        const QString f = QLatin1String(r.campo);
        Limit l{leer(key(f, false)), leer(key(f, true))};
        if (l.min || l.max) m_alguno = true;
        m_porLectura[&r - kLecturas] = l;
    }
}

QualityLimits::Limit QualityLimits::limit(const QString& field) const
{
    const Reading* r = lectura(field);
    return r ? m_porLectura[r - kLecturas] : Limit{};
}

QString QualityLimits::breach(const QString& field, double value) const
{
    const Reading* r = lectura(field);
    if (!r || !(value > 0)) return {};
    // Most values are within their limits: nothing is written for them.
    const Limit& l = m_porLectura[r - kLecturas];
    if (!(l.max && value > *l.max) && !(l.min && value < *l.min)) return {};
    const QString nombre = QString::fromUtf8(r->nombre), unidad = QLatin1String(r->unidad);
    if (l.max && value > *l.max)
        return QStringLiteral("%1 %2 %3: supera el límite de aceptación de %4 %3 (%5)")
            .arg(nombre, numero(value), unidad, numero(*l.max), key(r->campo, true));
    if (l.min && value < *l.min)
        return QStringLiteral("%1 %2 %3: por debajo del límite de aceptación de %4 %3 (%5)")
            .arg(nombre, numero(value), unidad, numero(*l.min), key(r->campo, false));
    return {};
}

QString QualityLimits::fieldOfColumn(int col)
{
    int n = 0;
    const DailySheet::Columna* cols = DailySheet::columnas(n);
    if (col < 1 || col > n) return {};
    return QString::fromLatin1(cols[col - 1].campo).toLower();
}

QString QualityLimits::cellBreach(int row, int col) const
{
    if (!w.mPlanillaCargada || row < FlexGrid::FixedRows || !m_alguno) return {};
    const QString f = fieldOfColumn(col);
    const Reading* r = lectura(f);
    if (!r) return {};
    const Limit& l = m_porLectura[r - kLecturas];
    if (!l.min && !l.max) return {};
    const auto v = DataService::numericValue(w.MSflexGrid1()->TextMatrix(row, col).trimmed());
    return v ? breach(f, *v) : QString();
}
