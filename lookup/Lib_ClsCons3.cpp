#include "Lib_ClsCons3.h"

void Lib_ClsCons3::ConsultaSearch(const QString& /*sql*/, TextCollection& cmpsDevueltos,
                                  const QString& /*clave*/, QString& /*campoBusqueda*/)
{
    // TODO(lookup): the lookup window is not built yet; nothing is picked.
    Checks = false;
    Valores = QStringList{};
    Cantidades = QStringList{};
    ValorDevuelto = QVariant();
    CampoDevuelto.clear();
    cmpsDevueltos.reset();
}
