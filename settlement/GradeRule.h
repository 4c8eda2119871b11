#pragma once

#include <QString>

class SettlementRules;

// The grade of a load: the best grade whose every limit it meets (a limit
// left empty does not count); "fuera de estándar" when it meets none. A
// grade that a known reading already fails is passed over; when the first
// grade still possible needs a reading the load does not have, the load has
// no grade yet. Without any grade entered by the plant there is no grade.
class GradeRule
{
public:
    // Readings in hundredths; 0 or less is a reading not taken.
    struct Readings {
        int pesohect = 0;
        int humedad = 0;
        int falling = 0;
        int humedo = 0;
    };
    struct Result {
        QString grado; // "1", "2", "3", kFuera, kPendiente, or empty (no grades)
        QString why;   // the readings missing, for kPendiente
    };

    static constexpr const char* kFuera = "fuera de estándar";
    static constexpr const char* kPendiente = "sin grado aún";

    static Result of(const Readings& readings, const SettlementRules& rules);
};
