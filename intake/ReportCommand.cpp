#include "ReportCommand.h"

#include "frmTrigo.h"

QString ReportCommand::formulaSeleccion(frmTrigo&)
{
    return {};
}

void ReportCommand::ImprimirReporte(frmTrigo&)
{
    // TODO(report): built by the report work.
}
