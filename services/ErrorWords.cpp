#include "ErrorWords.h"

#include <QDir>
#include <QFileDevice>
#include <QFileInfo>
#include <QStorageInfo>
#include <cerrno>
#include <sqlite3.h>

namespace ErrorWords
{

QString ofErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("no hay permiso");
    case EROFS:
        return QStringLiteral("el disco es de solo lectura");
    case ENOSPC:
        return QStringLiteral("el disco está lleno");
    case EDQUOT:
        return QStringLiteral("se agotó la cuota de disco del usuario");
    case ENOENT:
        return QStringLiteral("el archivo o la carpeta no existe");
    case EISDIR:
        return QStringLiteral("es una carpeta");
    case ENOTDIR:
        return QStringLiteral("una parte de la ruta no es una carpeta");
    case EXDEV:
        return QStringLiteral("está en otro disco");
    case EBUSY:
        return QStringLiteral("el archivo está en uso");
    case EIO:
        return QStringLiteral("error de lectura o escritura del disco");
    case ENAMETOOLONG:
        return QStringLiteral("el nombre es demasiado largo");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("hay demasiados archivos abiertos");
    case ENOMEM:
        return QStringLiteral("no hay memoria suficiente");
    case 0:
        return QStringLiteral("error desconocido del sistema");
    default:
        return QStringLiteral("error %1 del sistema").arg(error);
    }
}

QString ofSqlite(int code, int systemError)
{
    const QString why = systemError ? QStringLiteral(" (%1)").arg(ofErrno(systemError)) : QString();
    switch (code & 0xff) {
    case SQLITE_OK:
        return QStringLiteral("sin error");
    case SQLITE_FULL:
        return QStringLiteral("el disco está lleno");
    case SQLITE_IOERR:
        return QStringLiteral("error de lectura o escritura del disco") + why;
    case SQLITE_CANTOPEN:
        return QStringLiteral("no se puede abrir o crear el archivo") + why;
    case SQLITE_READONLY:
        return QStringLiteral("el archivo es de solo lectura");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("no hay permiso");
    case SQLITE_CORRUPT:
        return QStringLiteral("la base de datos está dañada");
    case SQLITE_NOTADB:
        return QStringLiteral("el archivo no es una base de datos");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("la base de datos está ocupada por otro programa");
    case SQLITE_NOMEM:
        return QStringLiteral("no hay memoria suficiente");
    case SQLITE_INTERRUPT:
        return QStringLiteral("se interrumpió la operación");
    case SQLITE_NOLFS:
        return QStringLiteral("el archivo es demasiado grande para el disco");
    default:
        return QStringLiteral("error %1 de SQLite").arg(code);
    }
}

QString ofWrite(const QString& path, const QFileDevice& file)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("la carpeta %1 no existe").arg(QDir::toNativeSeparators(folder));
    if (info.isDir()) return QStringLiteral("es una carpeta");
    // A full disk fails a write or the flush; the reason the device gives
    // is then often none at all.
    const QStorageInfo disk(folder);
    if (file.error() == QFileDevice::ResourceError ||
        (disk.isValid() && disk.bytesAvailable() < 64 * 1024))
        return QStringLiteral("el disco está lleno");
    if (!QFileInfo(folder).isWritable())
        return QStringLiteral("no hay permiso para escribir en la carpeta %1")
            .arg(QDir::toNativeSeparators(folder));
    if (info.exists() && !info.isWritable()) return QStringLiteral("el archivo es de solo lectura");
    const QString qt = file.errorString();
    return qt.isEmpty() ? QStringLiteral("error al escribir el archivo") : qt;
}

} // namespace ErrorWords
