// The start-up parameter string: the item extraction that IniciarSistema runs
// on the command line (the five items in its order, then the server name).
// Any bytes, also invalid UTF-8. Besides not crashing, every value must keep
// the extraction's promises: no ";", no "=", no outer blanks.
#include "ModGlobal.h"
#include "ServiceError.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace
{

void check(bool ok)
{
    if (!ok) std::abort();
}

void checkValue(const QString& v)
{
    check(!v.contains(u';'));
    check(!v.contains(u'='));
    check(v == v.trimmed());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString parametros =
        QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    static const char* const kItems[] = {"@Server", "@DbName", "@Usuario", "@Password",
                                         "@UsuarioLogeado"};
    QString server;
    for (const char* item : kItems) {
        try {
            const QString v = ModGlobal::ExtraerItem(parametros, QLatin1String(item));
            checkValue(v);
            if (item == kItems[0]) server = v;
        } catch (const ServiceError& e) {
            // A name with no ";" after it: start-up passes over this kind.
            check(e.number() == ServiceError::InvalidCall);
        }
    }
    const QString nombre = ModGlobal::NombreServidor(server);
    check(nombre.size() <= server.size());
    // An item name taken from the input itself, as far as its first blank.
    const qsizetype blank = parametros.indexOf(u' ');
    if (blank > 0) {
        try {
            checkValue(ModGlobal::ExtraerItem(parametros.mid(blank + 1), parametros.left(blank)));
        } catch (const ServiceError&) {
        }
    }
    return 0;
}
