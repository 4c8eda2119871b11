#pragma once

#include <QString>

class ReportData;
class ReportDefinition;

// The rows of a report as a CSV file: one header line with the column
// headers, one line per row, ";" between fields (the decimal comma of the
// locale stays unambiguous), values as the report shows them (a text that
// would be taken for a formula after an apostrophe), fields quoted
// when they hold the separator, a quote or a line break. UTF-8.
class ReportCsv
{
public:
    static QString text(const ReportDefinition& def, const ReportData& data);
    // Raises ServiceError when the file cannot be written.
    static void write(const QString& path, const ReportDefinition& def, const ReportData& data);
    static QString field(const QString& value);
};
