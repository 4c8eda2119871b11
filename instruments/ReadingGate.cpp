#include "ReadingGate.h"

#include "InstrumentLink.h"

#include <QLocale>

namespace
{

const QString kNada = QStringLiteral(" No se registró nada.");

// A reading older than the instrument's limit is not taken.
QString vieja(const InstrumentLink& l, const InstrumentReading& r)
{
    const qint64 edad = r.edadMs();
    if (edad <= l.config().edadMaximaMs) return {};
    return QStringLiteral("La última lectura de %1 tiene %2 s (%3); se toma solo una lectura de "
                          "menos de %4 s.")
               .arg(l.nombre(), QLocale().toString(edad / 1000.0, 'f', 1), l.estadoTexto(),
                    ReadingGate::segundos(l.config().edadMaximaMs)) +
           kNada;
}

} // namespace

QString ReadingGate::segundos(qint64 ms)
{
    return QLocale().toString(ms / 1000.0, 'g', 4);
}

QString ReadingGate::rechazoPeso(double kg, const InstrumentConfig& c)
{
    if (!(kg > 0))
        return QStringLiteral("%1 marca %2: la plataforma está vacía o el peso no es válido; una "
                              "pesada debe ser de más de 0 kg.")
                   .arg(c.nombre, InstrumentReading::kilos(kg)) +
               kNada;
    if (c.pesoMinimo && kg < *c.pesoMinimo)
        return QStringLiteral("%1 marca %2, menos que el peso mínimo de %3 (PesoMinimo en "
                              "CN000pr.INI).")
                   .arg(c.nombre, InstrumentReading::kilos(kg),
                        InstrumentReading::kilos(*c.pesoMinimo)) +
               kNada;
    return {};
}

ReadingGate::Resultado ReadingGate::peso(const InstrumentLink& l)
{
    const auto& r = l.ultima();
    const InstrumentConfig& c = l.config();
    if (!r || !r->peso)
        return {std::nullopt, QStringLiteral("%1 no envió ningún peso (%2); no se registró nada.")
                                  .arg(l.nombre(), l.estadoTexto())};
    if (QString m = vieja(l, *r); !m.isEmpty()) return {std::nullopt, m};
    if (!r->estable)
        return {std::nullopt, QStringLiteral("El peso de %1 no está estable (%2); espere a que se "
                                             "estabilice.")
                                      .arg(l.nombre(), InstrumentReading::kilos(*r->peso)) +
                                  kNada};
    const int n = l.repeticiones();
    if (n < c.lecturas)
        return {
            std::nullopt,
            QStringLiteral("El peso de %1 (%2) todavía no está confirmado: se toma cuando llega "
                           "igual y estable en %3 lecturas seguidas de menos de %4 s (van %5). "
                           "Espere un momento y pulse la tecla otra vez.")
                    .arg(l.nombre(), InstrumentReading::kilos(*r->peso))
                    .arg(c.lecturas)
                    .arg(segundos(c.edadMaximaMs))
                    .arg(n) +
                kNada};
    if (QString m = rechazoPeso(*r->peso, c); !m.isEmpty()) return {std::nullopt, m};
    return {r, {}};
}

ReadingGate::Resultado ReadingGate::analisis(const InstrumentLink& l)
{
    const auto& r = l.ultima();
    if (!r || r->lecturas.isEmpty())
        return {std::nullopt,
                QStringLiteral("%1 no envió ninguna lectura (%2); no se registró nada.")
                    .arg(l.nombre(), l.estadoTexto())};
    if (QString m = vieja(l, *r); !m.isEmpty()) return {std::nullopt, m};
    return {r, {}};
}
