#pragma once

#include "InstrumentReading.h"

#include <QString>
#include <optional>

class InstrumentLink;
struct InstrumentConfig;

// What a key may take from an instrument at this moment. From the scale: its
// last weight, once it is stable, came the same in the configured number of
// recognised lines in a row (so one damaged line is never a weight), none
// older than the configured age, and is plausible (more than 0 kg and not
// below the INI's minimum). From the analyzer: its last readings while
// younger than the configured age. Otherwise the reason, in the operator's
// words.
class ReadingGate
{
public:
    struct Resultado {
        std::optional<InstrumentReading> lectura;
        QString motivo; // empty when lectura is given
    };

    static Resultado peso(const InstrumentLink& balanza);
    static Resultado analisis(const InstrumentLink& analizador);
    // Why a weight cannot be a gross or a tare; empty when it can.
    static QString rechazoPeso(double kg, const InstrumentConfig& config);
    // Seconds as the messages write them ("2", "2,5").
    static QString segundos(qint64 ms);
};
