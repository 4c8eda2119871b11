#pragma once

#include <QDateTime>
#include <QMap>
#include <QString>
#include <optional>

// One line an instrument sent that its format recognised: the weight in
// kilograms and the indicator's stable flag (a scale), the readings by the
// sheet's field name in lower case (an analyzer), the line itself and when
// it arrived.
struct InstrumentReading {
    std::optional<double> peso;
    bool estable = false;
    QMap<QString, QString> lecturas; // "humedad" -> "12.8", as the instrument wrote it
    QString linea;
    QDateTime recibida; // UTC

    // Milliseconds since it arrived, at `ahora` (UTC).
    qint64 edadMs(const QDateTime& ahora = QDateTime::currentDateTimeUtc()) const
    {
        return recibida.msecsTo(ahora);
    }
};
