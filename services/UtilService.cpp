#include "UtilService.h"

#include "DateText.h"
#include "Dialogs.h"
#include "ServiceError.h"

#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QWidget>
#include <cmath>
#include <limits>

QString UtilService::normalizeFolder(const QString& folder)
{
    QString f = QDir::fromNativeSeparators(folder);
    if (!f.endsWith(u'/')) f += u'/';
    return f;
}

QString UtilService::removeChars(const QString& text, QChar c1, QChar c2)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == c1) continue;
        if (!c2.isNull() && c == c2) continue;
        out += c;
    }
    return out;
}

QString UtilService::replace(const QString& text, const QString& what, const QString& with)
{
    if (what.isEmpty()) return text;
    QString out = text;
    out.replace(what, with);
    return out;
}

QString UtilService::valueToText(const QVariant& value)
{
    return valueToText(value, textLocale());
}

QLocale UtilService::textLocale()
{
    // The locale by its name: the system's own is asked for its figures on
    // every number otherwise (a tenth of a day's sheet of 3,000 rows).
    QLocale loc(QLocale().name());
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return loc;
}

QString UtilService::valueToText(const QVariant& value, const QLocale& loc)
{
    if (!value.isValid() || value.isNull()) return {};
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        // What no finite number is, as it is (another program may store it).
        const double d = value.toDouble();
        if (std::isnan(d)) return QStringLiteral("NaN");
        if (std::isinf(d)) return d < 0 ? QStringLiteral("-∞") : QStringLiteral("∞");
        return loc.toString(d, 'g', QLocale::FloatingPointShortest);
    }
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong: return loc.toString(value.toLongLong());
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (dt.time() == QTime(0, 0)) return DateText::format(dt.date());
        return DateText::format(dt.date()) + u' ' + dt.time().toString(QStringLiteral("HH:mm:ss"));
    }
    case QMetaType::QDate: return DateText::format(value.toDate());
    default: return value.toString();
    }
}

QString UtilService::fixedWidth(const QString& text, int width)
{
    if (width <= 0) return text;
    const QString t = text.trimmed();
    bool allDigits = !t.isEmpty();
    for (QChar c : t)
        if (!c.isDigit() || c.unicode() > 127) allDigits = false;
    if (!allDigits) return t;
    QString digits = t;
    while (digits.size() > width && digits.startsWith(u'0')) digits.remove(0, 1);
    return digits.rightJustified(width, u'0');
}

qint64 UtilService::textToNumber(const QString& text)
{
    int i = 0;
    while (i < text.size() && text.at(i).isSpace()) ++i;
    bool neg = false;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+')) neg = text.at(i++) == u'-';
    qint64 v = 0;
    while (i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128) {
        if (v > (std::numeric_limits<qint64>::max() - 9) / 10) break;
        v = v * 10 + (text.at(i).unicode() - '0');
        ++i;
    }
    return neg ? -v : v;
}

double UtilService::leadingNumber(const QString& text)
{
    int i = 0;
    while (i < text.size() && text.at(i).isSpace()) ++i;
    const int start = i;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+')) ++i;
    bool seenPoint = false;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c.isDigit() && c.unicode() < 128) ++i;
        else if (c == u'.' && !seenPoint) { seenPoint = true; ++i; }
        else break;
    }
    bool ok = false;
    const double d = text.mid(start, i - start).toDouble(&ok);
    return ok ? d : 0.0;
}

QString UtilService::dateToFormula(const QString& dateText)
{
    const QDate d = DateText::parse(dateText);
    if (!d.isValid())
        throw ServiceError(ServiceError::TypeMismatch,
                           QStringLiteral("\"%1\" no es una fecha válida.").arg(dateText.trimmed()));
    return QStringLiteral("Date(%1,%2,%3)").arg(d.year()).arg(d.month()).arg(d.day());
}

QString UtilService::chooseDate(QWidget* parent, const QString& current)
{
    const auto d = Dialogs::instance().chooseDate(parent, DateText::parse(current));
    if (!d || !d->isValid()) return {};
    return DateText::format(*d);
}

void UtilService::setupWindow(QWidget* window, bool /*flag*/)
{
    if (!window) return;
    window->setAttribute(Qt::WA_KeyCompression, false);
}

int UtilService::errorDialog(QWidget* parent, const ServiceError& error, const QString& source)
{
    const int answer = Dialogs::instance().errorDialog(parent, error, source);
    if (answer == Dialogs::Retry || answer == Dialogs::Ignore) return answer;
    return Dialogs::Abort;
}
