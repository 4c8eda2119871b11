#include "CommandLinePassword.h"

#include "ModGlobal.h"
#include "ServiceError.h"

#include <QByteArray>
#include <cstring>
#include <strings.h>

namespace
{
QString g_taken;
const char kItem[] = "@Password";
} // namespace

namespace CommandLinePassword
{

void take(int argc, char** argv)
{
    // The value as start-up reads it: the arguments joined by blanks.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    try {
        g_taken = ModGlobal::ExtraerItem(args.join(u' '), QLatin1String(kItem));
    } catch (const ServiceError&) {
        g_taken.clear(); // no ";" after it: start-up reads no value either
    }
    // Blank from the item's name to its ";" (which may be in a later
    // argument), keeping the name: start-up then reads an empty value.
    const size_t nameLen = std::strlen(kItem);
    bool blanking = false;
    for (int i = 1; i < argc; ++i) {
        char* a = argv[i];
        const size_t n = std::strlen(a);
        size_t from = 0;
        while (from < n) {
            if (!blanking) {
                const char* hit = nullptr;
                for (size_t k = from; k + nameLen <= n; ++k)
                    if (strncasecmp(a + k, kItem, nameLen) == 0) {
                        hit = a + k;
                        break;
                    }
                if (!hit) break;
                from = size_t(hit - a) + nameLen;
                blanking = true;
            }
            while (from < n && a[from] != ';')
                a[from++] = ' ';
            if (from < n) {
                blanking = false; // the ";" that ends the item stays
                ++from;
            }
        }
    }
}

QString resolve(const QString& item)
{
    if (!item.trimmed().isEmpty()) return item;
    if (!g_taken.isEmpty()) return g_taken;
    return qEnvironmentVariable("MOLVERA_PASSWORD");
}

void reset()
{
    g_taken.clear();
}

} // namespace CommandLinePassword
