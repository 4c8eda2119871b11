#pragma once

#include <QString>

class frmTrigo;

// The reception report of the loaded day or of a date range.
namespace ReportCommand {
// The selection formula for the window's state.
QString formulaSeleccion(frmTrigo& w);
void ImprimirReporte(frmTrigo& w);
} // namespace ReportCommand
