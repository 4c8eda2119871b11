#include "FieldLookups.h"

#include "frmTrigo.h"

void FieldLookups::CmdConsultar(bool)
{
}
