#include "SettlementRules.h"

#include <cmath>
#include <cstdlib>

int SettlementRules::cents(double value)
{
    return int(std::llround(value * 100.0));
}

QString SettlementRules::centsText(int cents)
{
    const int a = std::abs(cents);
    return QStringLiteral("%1%2.%3")
        .arg(cents < 0 ? QStringLiteral("-") : QString())
        .arg(a / 100)
        .arg(a % 100, 2, 10, QLatin1Char('0'));
}
