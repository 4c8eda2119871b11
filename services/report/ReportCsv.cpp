#include "ReportCsv.h"

#include "CsvText.h"
#include "ReportData.h"
#include "ReportDefinition.h"
#include "ServiceError.h"

#include <QStringList>

QString ReportCsv::field(const QString& value)
{
    return CsvText::field(value, u';');
}

QString ReportCsv::text(const ReportDefinition& def, const ReportData& data)
{
    QString out;
    QStringList cells;
    for (const auto& c : def.columns)
        cells << field(QString(c.header).replace(u'\n', u' '));
    out += cells.join(u';') + QStringLiteral("\r\n");
    for (int r = 0; r < data.rowCount(); ++r) {
        cells.clear();
        for (int c = 0; c < data.columnCount(); ++c)
            cells << field(data.cellText(def, r, c));
        out += cells.join(u';') + QStringLiteral("\r\n");
    }
    return out;
}

void ReportCsv::write(const QString& path, const ReportDefinition& def, const ReportData& data)
{
    QString error;
    if (!CsvText::writeFile(path, text(def, data).toUtf8(), &error))
        throw ServiceError(ServiceError::NotFound, error, QStringLiteral("Reporte"));
}
