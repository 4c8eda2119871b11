#pragma once

#include "DataService.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QString>

// Intake rows for the report tests, written straight into the database.
namespace ReportRows
{

inline qint64 add(DataService& db, const QDateTime& fecha, const QVariant& toneladas,
                  const QString& vendedor, const QString& silo = QStringLiteral("0001"),
                  const QString& observaciones = {})
{
    return db.insertReturningId(
        QStringLiteral("mv_molvera"),
        {"Fecha", "Toneladas", "vendedor", "procedencia", "camionero", "humedo", "seco",
         "caracteristicas", "fallingnumber", "humedad", "pesohect", "silodestino", "observaciones"},
        {fecha, toneladas, vendedor, QStringLiteral("Tandil"), QStringLiteral("Transportes Sur"),
         27.5, 9.8, QStringLiteral("Bueno"), 350, 13.2, 79.5, silo, observaciones});
}

// The text of a PDF file, read with pdftotext.
inline QString pdfText(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace ReportRows
