#pragma once

#include <QSet>
#include <optional>

class DataService;

// The transactions under way on the database at this moment, by number: on
// PostgreSQL those of its current snapshot (any user's, every database of the
// server); on the embedded database none (it takes one writer at a time, and
// nothing of a writer is seen before it ends). Empty optional where the
// database cannot tell.
class OpenTransactions
{
public:
    static std::optional<QSet<qint64>> now(DataService& data);
    // The numbers under way in a snapshot written "xmin:xmax:xip,xip,...";
    // empty optional for a text of another form.
    static std::optional<QSet<qint64>> fromSnapshot(const QString& text);
};
