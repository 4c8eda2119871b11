// Numbers as the operator types them, read into values to bind.
#include "DataService.h"

#include "ServiceError.h"

#include <QLocale>
#include <charconv>
#include <cmath>

std::optional<double> DataService::numericValue(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    QLocale loc;
    // The plain form the operator types and the sheet shows ("27,125",
    // "-3", "14.5") is read directly: the locale's own parsing costs close to
    // a microsecond a value, and the sheet reads its readings often (every
    // painted reading cell, every row counted in the day's totals).
    if (const auto quick = plainNumber(t, loc.decimalPoint())) return quick;
    loc.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double d = loc.toDouble(t, &ok);
    if (!ok) d = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(d)) return std::nullopt;
    return d;
}

std::optional<double> DataService::plainNumber(QStringView t, const QString& decimalPoint)
{
    // An optional minus, digits, and at most one separator (the locale's
    // decimal point or a period) with digits after it; anything else is
    // left to the locale.
    if (decimalPoint.size() != 1 || t.isEmpty() || t.size() > 40) return std::nullopt;
    const char16_t dp = decimalPoint.at(0).unicode();
    char buf[48];
    qsizetype n = 0, i = 0;
    if (t.at(0) == u'-') buf[n++] = '-', ++i;
    auto digit = [&](qsizetype k) { return k < t.size() && t.at(k) >= u'0' && t.at(k) <= u'9'; };
    if (!digit(i)) return std::nullopt;
    while (digit(i))
        buf[n++] = char(t.at(i++).unicode());
    if (i < t.size()) {
        const char16_t c = t.at(i).unicode();
        if ((c != dp && c != u'.') || !digit(i + 1)) return std::nullopt;
        buf[n++] = '.';
        ++i;
        while (digit(i))
            buf[n++] = char(t.at(i++).unicode());
        if (i != t.size()) return std::nullopt;
    }
    double d = 0;
    const auto [end, ec] = std::from_chars(buf, buf + n, d);
    if (ec != std::errc() || end != buf + n || !std::isfinite(d)) return std::nullopt;
    return d;
}

QString DataService::numericLiteral(const QString& text)
{
    const auto v = numericValue(text);
    if (!v)
        throw ServiceError(ServiceError::TypeMismatch,
                           QStringLiteral("\"%1\" no es un número.").arg(text));
    return QString::number(*v, 'g', 17);
}
