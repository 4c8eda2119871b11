#pragma once

#include <QString>
#include <QVector>

class TextBox;
class QChar;
class QWidget;

// Helpers for the header boxes and the cell editor.
class FormService
{
public:
    // The index of the box whose field name equals the name (case-insensitive),
    // -1 when none has it.
    static int findByFieldName(const QString& fieldName, const QVector<TextBox*>& boxes);
    // True for the keys that end an edit: Enter, Up, Down and Tab.
    static bool isEndOfEditKey(int keyCode);
    // Moves the focus on from the box after Enter (or Tab); from defaults to
    // the focused widget.
    static void keyNavigation(int keyCode, QWidget* from = nullptr);
    // Filters a typed character for a box (0 discards it). The date boxes take
    // digits and "/", "-", "." only.
    static void keyFilter(const TextBox* box, int& charCode);
    // A text whose first character is the decimal separator in use.
    static QString decimalSeparator();
};
