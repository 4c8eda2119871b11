#pragma once

#include <QString>

// The tax identification number of a seller (CUIT): eleven digits, the last
// one a check digit of the first ten (weights 5 4 3 2 7 6 5 4 3 2, modulo
// 11). Written with or without its dashes ("20-12345678-6").
class Cuit
{
public:
    // The eleven digits of a CUIT that is right; empty otherwise, with the
    // reason (naming the number) in why.
    static QString check(const QString& text, QString* why = nullptr);
    // "20-12345678-6".
    static QString format(const QString& digits);
};
