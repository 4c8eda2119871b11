#pragma once

#include <QString>
#include <optional>

class SettlementRules;

// The moisture shrink of a load, in hundredths of a point. At or below the
// receiving tolerance there is none. Above it, with the formula:
//     (H - base) x 100 / (100 - base)  plus the handling shrink,
// the first part rounded half up to hundredths; with a published table, the
// row of the humidity rounded half up to a tenth, plus the handling shrink. A
// humidity the table has no row for (beyond its last row, or a gap) gives no
// shrink: the reason says so, nothing is guessed.
class MoistureShrink
{
public:
    struct Result {
        std::optional<int> cents; // empty: not known (see why)
        QString why;              // for the operator, when empty cents
    };

    // humedadCent: the reading in hundredths; 0 or less is a reading not taken.
    static Result of(int humedadCent, const SettlementRules& rules);
};
