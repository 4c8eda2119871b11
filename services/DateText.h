#pragma once

#include <QDate>
#include <QString>

// Dates typed by the operator: the locale's short date form (with a four-digit
// year), also d/M/yyyy, d/M/yy, d-M-yyyy, d.M.yyyy and yyyy-MM-dd.
namespace DateText {
// The form in which the program writes dates into its boxes.
QString shortFormat();
QString format(const QDate& date);
// An invalid date when the text is no date.
QDate parse(const QString& text);
} // namespace DateText
