#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// A row as PostgreSQL writes a record value as text: "(12,30.5,"Molinos del
// Sur",,"")": fields between commas, quoted when they hold a comma, a
// parenthesis, a quote, a backslash or a space or are empty (a quote or
// backslash inside doubled or after a backslash), and nothing at all for an
// empty cell (NULL).
namespace RecordText
{

// The fields of such a text, an empty cell as no value; false when the text
// is not written that way.
bool split(QStringView text, QList<std::optional<QString>>& fields);

} // namespace RecordText
