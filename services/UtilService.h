#pragma once

#include <QString>
#include <QVariant>

class QLocale;
class QWidget;
class ServiceError;

// Text and value conversions, folder names, the operator error dialog, the
// date chooser and window set-up.
class UtilService
{
public:
    // The folder, ending with a path separator.
    static QString normalizeFolder(const QString& folder);
    // The text without any of the given characters.
    static QString removeChars(const QString& text, QChar c1, QChar c2 = QChar());
    static QString replace(const QString& text, const QString& what, const QString& with);
    // A field value as text: null gives "", numbers in the locale's form
    // without thousands separators, date-times in the locale's short form.
    static QString valueToText(const QVariant& value);
    // The same with the locale of textLocale(), made once for many values.
    static QString valueToText(const QVariant& value, const QLocale& locale);
    static QLocale textLocale();
    // The display form of a text; with the width 4 a deposit number: a whole
    // number is zero-padded to the width ("7" gives "0007"), anything else is
    // returned trimmed. Without a width the text is returned as it is.
    static QString fixedWidth(const QString& text, int width = -1);
    // The whole-number value at the start of a text (leading blanks skipped,
    // optional sign, digits); 0 when the text does not start with a number.
    static qint64 textToNumber(const QString& text);
    // The leading number of a text read with the period as separator, stopping
    // at the first other character; 0 when it does not start with a number.
    static double leadingNumber(const QString& text);
    // A date text in the report formula's date form, "Date(2024,3,15)".
    // Raises ServiceError (type mismatch) when the text is no date.
    static QString dateToFormula(const QString& dateText);
    // The date chosen by the operator, in the short date form; "" when the
    // chooser was closed without a choice.
    static QString chooseDate(QWidget* parent, const QString& current = {});
    // Prepares a window for use: the program's font and window flags.
    static void setupWindow(QWidget* window, bool flag);
    // Shows the error dialog; answers 3 (abort), 4 (retry) or 5 (ignore).
    static int errorDialog(QWidget* parent, const ServiceError& error, const QString& source = {});
};
