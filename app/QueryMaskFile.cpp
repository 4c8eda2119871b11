#include "QueryMaskFile.h"

#include "ProtectedFiles.h"

#include "ServiceError.h"
#include "UtilService.h"

#include <QFile>
#include <QFileInfo>

namespace {

void place(QByteArray& rec, int offset, int width, const QString& text)
{
    QByteArray bytes = text.toLatin1(); // the workstations' single-byte code page
    if (bytes.size() > width) bytes.truncate(width);
    for (int i = 0; i < width; ++i) rec[offset + i] = i < bytes.size() ? bytes.at(i) : ' ';
}

QString field(const QByteArray& rec, int offset, int width)
{
    return QString::fromLatin1(rec.mid(offset, width));
}

QString cleaned(const QString& raw)
{
    return UtilService::removeChars(raw, QChar(0), QChar(255)).trimmed();
}

struct StandardMask {
    const char* name;
    const char* source;
    const char* fields;
};
const StandardMask kStandard[] = {
    {"ARTICULOS", "V_MA_ARTICULOS", "|DESCRIPCION|IDARTICULO|"},
    {"CLIENTES", "VT_CLIENTES", "|RAZON_SOCIAL|CODIGO|CONTACTO|"},
    {"PROVEEDORES", "VT_PROVEEDORES", "|RAZON_SOCIAL|CODIGO|"},
    {"CONTACTOS", "MA_CONTACTOS", "|Nombre_y_Apellido|Domicilio|Localidad|Telefono|"},
    {"VENDEDORES", "V_TA_VENDEDORES", "|NOMBRE|IDVENDEDOR|"},
    {"TECNICOS", "V_TA_TECNICOS", "|NOMBRE|IDTECNICO|"},
    {"MANTENIMIENTOS", "V_MA_MANTENIMIENTOS", "|DESCRIPCION|CODIGO|"},
};

} // namespace

QByteArray QueryMaskFile::encode(const QString& name, const QString& source, const QString& fields,
                                 const QString& filter)
{
    QByteArray rec(RecordLength, ' ');
    place(rec, 0, 100, name.trimmed());
    place(rec, 100, 100, source);
    place(rec, 200, 500, fields.trimmed());
    place(rec, 700, 500, filter.trimmed());
    rec[1200] = '\r';
    rec[1201] = '\n';
    return rec;
}

QueryMaskFile::Record QueryMaskFile::decode(const QByteArray& record)
{
    QByteArray r = record.leftJustified(RecordLength, ' ', true);
    return {field(r, 0, 100), field(r, 100, 100), field(r, 200, 500), field(r, 700, 500)};
}

void QueryMaskFile::writeStandardMasks(const QString& path)
{
    if (const QString refusal = ProtectedFiles::refusalFor(path); !refusal.isEmpty())
        throw ServiceError(75, refusal);
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        throw ServiceError(75, QStringLiteral("No se puede escribir el archivo de consultas %1: %2")
                                   .arg(path, f.errorString()));
    for (const StandardMask& m : kStandard) {
        const qint64 recordNumber = f.size() / RecordLength + 1;
        if (!f.seek((recordNumber - 1) * RecordLength) ||
            f.write(encode(QLatin1String(m.name), QLatin1String(m.source),
                           QLatin1String(m.fields), QString())) != RecordLength)
            throw ServiceError(75, QStringLiteral("No se puede escribir el archivo de consultas %1: %2")
                                       .arg(path, f.errorString()));
        f.flush();
    }
}

std::optional<QueryMaskFile::Record> QueryMaskFile::findBySource(const QString& path,
                                                                 const QString& source)
{
    // A file of the database is opened by SQLite alone.
    if (!exists(path) || !ProtectedFiles::refusalFor(path).isEmpty()) return std::nullopt;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    const QString wanted = source.trimmed();
    while (true) {
        const QByteArray rec = f.read(RecordLength);
        if (rec.size() != RecordLength || rec.at(1200) != '\r' || rec.at(1201) != '\n')
            return std::nullopt;
        const Record r = decode(rec);
        if (cleaned(r.source).compare(wanted, Qt::CaseInsensitive) == 0) return r;
    }
}

bool QueryMaskFile::exists(const QString& path)
{
    const QFileInfo fi(path);
    return fi.isFile() && !fi.isHidden();
}
