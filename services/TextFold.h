#pragma once

#include <QString>
#include <QStringView>

// Texts compared as Spanish is written: without regard to case or accents
// ("Ángel", "ANGEL" and "ángel" are one name, "Ñandú" is "nandu"). The same
// folding serves the lookup list's typed search and the database's search
// conditions, so both find the same names.
class TextFold
{
public:
    // Every letter without its accents (the marks of its canonical
    // decomposition), in lower case.
    static QString fold(QStringView text);
    // A name as one person or firm: folded, without its commas and blanks
    // ("Pérez, Ángel" and "PEREZ ANGEL" are "perezangel").
    static QString nameKey(QStringView text);

    // The accented and upper-case letters of the Latin alphabets (U+00C0 to
    // U+024F) whose fold is one other letter, and that fold, at the same
    // positions: for databases that fold with a character map. ASCII is not
    // in it (the database's lower() does it).
    static const QString& mapFrom();
    static const QString& mapTo();
};
