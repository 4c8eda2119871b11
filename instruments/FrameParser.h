#pragma once

#include "InstrumentReading.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QStringList>
#include <QVector>

// Cuts what an instrument sends into lines (CR, LF or both end a line) and
// applies the instrument's format to each: a regular expression whose named
// groups are the readings (`peso` in kilograms, `estable`, and the sheet's
// reading columns `humedad`, `pesohect`, `humedo`, `seco`, `fallingnumber`).
// A line the format does not recognise is skipped, as is a line cut short by
// a reconnection; a stream that never ends a line is dropped beyond 1 KiB.
class FrameParser
{
public:
    explicit FrameParser(const QString& formato);

    // False when the format is no valid regular expression; error() says why.
    bool valido() const { return m_re.isValid(); }
    QString error() const;
    // True when the format has a `peso` group (a scale).
    bool daPeso() const;
    // The reading columns the format names, in the sheet's order.
    QStringList columnas() const { return m_columnas; }

    // Takes the bytes received and answers the readings of the lines they
    // completed, oldest first.
    QVector<InstrumentReading> recibir(const QByteArray& bytes,
                                       const QDateTime& ahora = QDateTime::currentDateTimeUtc());
    // Forgets a partial line (after the port was opened again).
    void reiniciar() { m_pendiente.clear(); }

    // The reading columns of the sheet an analyzer may give, in sheet order.
    static const QStringList& columnasDeLectura();
    static constexpr int kMaxLinea = 1024;

private:
    std::optional<InstrumentReading> interpretar(const QString& linea,
                                                 const QDateTime& ahora) const;

    QRegularExpression m_re;
    QStringList m_columnas;
    bool m_tieneEstable = false;
    QByteArray m_pendiente;
};
