#pragma once

#include "RecordSet.h"

#include <QHash>
#include <QStringList>

class QFontMetrics;

// How wide the lookup list's columns are. A column is as wide as its
// measure in letters X (at most 60): the length the database declares for
// it, or, where the result declares none (SQLite, an expression), the length
// the table or view it comes from declares for a column of that name, and
// only when neither has one the longest value read. Never narrower than its
// header, nor than a search box with room to type.
class LookupColumns
{
public:
    static constexpr int MaxMeasure = 60;

    // The tables and views a statement reads from (the names after FROM and
    // JOIN, without brackets, quotes or owner), in order, each once.
    static QStringList sources(const QString& sql);

    // The measure of a field in letters X, 1 to MaxMeasure. `declared` holds
    // the declared lengths of the sources' columns by lower-case name.
    static int measure(const RecordSet::Field& field, const QHash<QString, int>& declared);

    // The narrowest a search box may be to be usable: six letters X and the
    // box's own frame and arrow, in pixels.
    static int minimumSearchBox(const QFontMetrics& fm);

    // The width of a column in pixels: `measure` letters X in the list's font
    // plus the cell's margins, at least the header's text with its margins
    // and sort mark, and at least a usable search box plus the 50 twips a box
    // is narrower than its column.
    static int width(int measure, const QString& header, const QFontMetrics& listFont,
                     const QFontMetrics& headerFont, int cellMargin);
};
