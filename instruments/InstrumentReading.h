#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>
#include <QMap>
#include <QString>
#include <cmath>
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
    QDateTime recibida; // UTC, as shown
    // When it arrived on the monotonic clock (QElapsedTimer's reference), so
    // that a change of the system time never makes an old reading young.
    qint64 recibidaMonotonaMs = 0;

    // Kilograms as the window shows them ("28.340 kg" in the locale's form),
    // with the decimals the weight has (up to the gram).
    static QString kilos(double kg)
    {
        int d = 0;
        while (d < 3 &&
               std::abs(kg * std::pow(10.0, d) - std::round(kg * std::pow(10.0, d))) > 1e-6)
            ++d;
        return QLocale().toString(kg, 'f', d) + QStringLiteral(" kg");
    }

    static qint64 ahoraMonotonoMs()
    {
        QElapsedTimer t;
        t.start();
        return t.msecsSinceReference();
    }
    // Milliseconds since it arrived.
    qint64 edadMs() const { return ahoraMonotonoMs() - recibidaMonotonaMs; }
};
