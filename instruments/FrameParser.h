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
// The weight is read as the indicator writes it, with `decimales` decimals
// after its mark (see peso()); a weight that does not fit is no reading.
class FrameParser
{
public:
    explicit FrameParser(const QString& formato, int decimales = 0);

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

    // The last line received, recognised or not (noise without a line end
    // counts as one), and whether the format recognised it.
    const QString& ultimaLinea() const { return m_ultimaLinea; }
    bool ultimaReconocida() const { return m_ultimaReconocida; }
    // How many lines (and runs of noise) came since start, and how many of
    // them were not recognised.
    qint64 lineas() const { return m_lineas; }
    qint64 rechazadas() const { return m_rechazadas; }

    // A weight as an indicator writes it: an optional sign, digits, and with
    // decimales > 0 a decimal mark ("," or ".") followed by exactly that many
    // digits; any other mark separates thousands (the same mark throughout,
    // groups of three). With 0 decimals "28,340" and "28.340" are 28340.
    // Nothing when the text does not fit.
    static std::optional<double> peso(QStringView texto, int decimales);

    // The reading columns of the sheet an analyzer may give, in sheet order.
    static const QStringList& columnasDeLectura();
    static constexpr int kMaxLinea = 1024;
    static constexpr int kMuestra = 120; // of noise, kept as its "line"

private:
    std::optional<InstrumentReading> interpretar(const QString& linea,
                                                 const QDateTime& ahora) const;
    void rechazar(const QString& linea);

    QRegularExpression m_re;
    QStringList m_columnas;
    bool m_tieneEstable = false;
    int m_decimales = 0;
    QByteArray m_pendiente;
    QString m_ultimaLinea;
    bool m_ultimaReconocida = false;
    qint64 m_lineas = 0;
    qint64 m_rechazadas = 0;
};
