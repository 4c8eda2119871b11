// The query-mask file reader: any bytes as one record (decode) and as a whole
// file searched for a source (findBySource), as the lookup reads it. The first
// input byte picks the source asked for; the rest is the file.
#include "QueryMaskFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace
{

void check(bool ok)
{
    if (!ok) std::abort();
}

QString scratchFile()
{
    return QDir::tempPath() + QStringLiteral("/molvera-fuzz-mask-%1.vxt").arg(getpid());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    static const char* const kSources[] = {"V_MA_ARTICULOS", "VT_CLIENTES", "VT_PROVEEDORES",
                                           "MA_CONTACTOS",   "",            " ",
                                           "v_ta_deposito",  "VT_Vendedores"};
    const QString source =
        size ? QLatin1String(kSources[data[0] % (sizeof kSources / sizeof *kSources)]) : QString();

    // One record, whatever its length: every field has its full width.
    const QueryMaskFile::Record r = QueryMaskFile::decode(bytes);
    check(r.name.size() == 100 && r.source.size() == 100 && r.fields.size() == 500 &&
          r.filter.size() == 500);

    // The same bytes as a file.
    static const QString path = scratchFile();
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(bytes.mid(size ? 1 : 0));
    }
    const auto found = QueryMaskFile::findBySource(path, source);
    if (found) {
        // Only whole records are read, so a match has the fields' widths.
        check(found->source.size() == 100 && found->fields.size() == 500);
        check(size > 1 && (size - 1) >= size_t(QueryMaskFile::RecordLength));
    }

    // Writing a record of texts made from the input and reading it back gives
    // the texts, trimmed and cut to their fields.
    const QString text = QString::fromLatin1(bytes.left(600));
    const QByteArray rec = QueryMaskFile::encode(text, text.left(100), text, text);
    check(rec.size() == QueryMaskFile::RecordLength && rec.endsWith("\r\n"));
    const QueryMaskFile::Record back = QueryMaskFile::decode(rec);
    check(back.name.trimmed() == text.trimmed().left(100).trimmed());
    return 0;
}
