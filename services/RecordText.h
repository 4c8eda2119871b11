#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// A row as PostgreSQL writes a record value as text: "(12,30.5,"Molinos del
// Sur",,"")": fields between commas, quoted when they hold a comma, a
// parenthesis, a quote, a backslash or a space or are empty (a quote or
// backslash inside doubled or after a backslash), and nothing at all for an
// empty cell (NULL).
namespace RecordText
{

// One field, as a part of the record's text.
struct Field {
    QStringView written;  // between the quotes when quoted
    bool null = false;    // nothing written: no value
    bool escaped = false; // holds a doubled quote or a backslash pair
};

// The fields of such a text (parts of it: the text must outlive them); false
// when the text is not written that way.
bool split(QStringView text, QList<Field>& fields);

// The text a field stands for.
QString value(const Field& field);

} // namespace RecordText
