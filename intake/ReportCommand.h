#pragma once

#include "ReportPrinter.h"

#include <QString>
#include <QStringList>

class DataService;
class Lib_ClsCons3;
class MolveraReportPrinter;
class frmTrigo;

// The reception report of the loaded day or of a date range.
namespace ReportCommand
{

// The report definition the window prints.
inline constexpr const char* kReporte = "Rp_molvera";
// The seller's statement ("Resumen por vendedor") of the same selection.
inline constexpr const char* kResumen = "Rp_vendedores";

// The selection formula: the loaded day when a sheet is loaded, otherwise the
// "FechaDesde" / "FechaHasta" range (either may be blank). Raises
// ServiceError (TypeMismatch) when a box holds text that is no date; its
// source() is the field name of that box.
QString formula(bool planillaCargada, const QString& fecha, const QString& desde,
                const QString& hasta);
// The selection formula for the window's state.
QString formulaSeleccion(frmTrigo& w);
// The three formula assignments: company name, report name, parameters.
QStringList asignaciones(const QString& empresa);
// What the window hands the report printer.
ReportPrinter::Request pedido(const QString& seleccion, const QString& empresa,
                              const QString& conexion, const char* reporte = kReporte);

// Prints the report through the window's printer. A box that holds no date
// is named to the operator and nothing is printed; a printer failure is shown
// and the window stays usable.
void ImprimirReporte(frmTrigo& w, const char* reporte = kReporte);

// The unattended command "molvera --report DESDE HASTA --output file.pdf|.csv
// [parameter string]": writes the report without a window; "--statement"
// instead of "--report" writes the seller's statement.
bool isCommandLine(int argc, char** argv);
// Answers the process exit code: 0 written, 1 no database, 2 wrong command
// line or date, 3 the report could not be made.
int runCommandLine(DataService& data, Lib_ClsCons3& lookup, MolveraReportPrinter& printer,
                   const QStringList& arguments);

} // namespace ReportCommand
