#include "DateText.h"

#include <QLocale>
#include <QStringList>

QString DateText::shortFormat()
{
    QString f = QLocale().dateFormat(QLocale::ShortFormat);
    // Month names cannot be typed into a date box: use digits.
    if (f.contains(QLatin1String("MMM"))) return QStringLiteral("dd/MM/yyyy");
    if (!f.contains(QLatin1String("yyyy"))) f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return f;
}

QString DateText::format(const QDate& date)
{
    return QLocale().toString(date, shortFormat());
}

QDate DateText::parse(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 10) return {};
    const QLocale loc;
    QStringList forms{shortFormat(), loc.dateFormat(QLocale::ShortFormat),
                      QStringLiteral("d/M/yyyy"), QStringLiteral("d-M-yyyy"),
                      QStringLiteral("d.M.yyyy"), QStringLiteral("yyyy-M-d"),
                      QStringLiteral("d/M/yy"), QStringLiteral("d-M-yy"), QStringLiteral("d.M.yy")};
    for (const QString& f : forms) {
        QDate d = loc.toDate(t, f);
        if (!d.isValid()) d = QDate::fromString(t, f);
        if (!d.isValid()) continue;
        if (!f.contains(QLatin1String("yyyy"))) {
            // Two-digit years belong to this century up to 69, to the last after.
            const int yy = d.year() % 100;
            d = QDate(yy < 70 ? 2000 + yy : 1900 + yy, d.month(), d.day());
        }
        if (d.year() < 1753 || d.year() > 9999) continue;
        return d;
    }
    return {};
}
