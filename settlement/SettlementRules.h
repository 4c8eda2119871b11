#pragma once

#include <QMap>
#include <QString>
#include <QVector>
#include <optional>

// The plant's settlement rules as values: the moisture rule (receiving
// tolerance, the base the shrink is computed to, the handling shrink), the
// optional published shrink table and the grades' limits. Every figure is
// kept in hundredths (of a point, of a kilogram per hectolitre, of a second)
// as a whole number, so that the computation is exact and a boundary such as
// 14.00 % is the same on every desk and database.
class SettlementRules
{
public:
    // One grade's limits; an empty one does not count.
    struct Grade {
        int grado = 0; // 1, 2 or 3
        std::optional<int> pesohectMin;
        std::optional<int> humedadMax;
        std::optional<int> fallingMin;
        std::optional<int> humedoMin;
    };

    int toleranciaCent = 1400; // 14.00 %
    int baseCent = 1350;       // 13.50 %
    int manipuleoCent = 25;    // 0.25 %
    // Published shrink table: humidity in tenths of a point -> shrink in
    // hundredths. Empty: the formula rules.
    QMap<int, int> tabla;
    QVector<Grade> grados; // best first
    qint64 version = 0;    // 0: the shipped defaults, not read from a database

    // A figure in hundredths, rounded half away from zero.
    static int cents(double value);
    // A figure in hundredths as the plant writes it ("14,05" in the locale's
    // form is left to the caller): "14.05", "0.25", "-1.5" -> "-1.50".
    static QString centsText(int cents);
};
