#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The query-mask file: fixed records of 1202 single-byte characters, no
// header. Fields: name (100), source (100), fields (500), filter (500), then
// CR LF. Texts are left-aligned, blank-padded and cut to their field.
class QueryMaskFile
{
public:
    static constexpr int RecordLength = 1202;

    struct Record {
        QString name;
        QString source; // as stored, padding included
        QString fields;
        QString filter;
    };

    // One record, byte for byte. Name, fields and filter are trimmed first;
    // the source is placed as given.
    static QByteArray encode(const QString& name, const QString& source, const QString& fields,
                             const QString& filter);
    static Record decode(const QByteArray& record);

    // Appends the seven standard masks after the last whole record of the
    // file (creating it). Raises ServiceError when the file cannot be written.
    static void writeStandardMasks(const QString& path);

    // The first record whose source, without the characters 0 and 255 and
    // trimmed, equals the source asked for (case-insensitive). Only whole
    // records count: the full 1202 bytes ending in CR LF; the scan stops at the
    // first record that is not whole (a short or misaligned file), as if
    // nothing matched. Empty when the file is missing or unreadable.
    static std::optional<Record> findBySource(const QString& path, const QString& source);

    // An ordinary file (not hidden) exists at the path.
    static bool exists(const QString& path);
};
