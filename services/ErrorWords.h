#pragma once

#include <QString>

class QFileDevice;

// Failures of the system and of SQLite said in Spanish, whatever language the
// system or the library speaks: the messages the operator and the logs read.
namespace ErrorWords
{

// What an errno value means ("no hay permiso", "el disco está lleno").
QString ofErrno(int error);
// What an SQLite result code means; `systemError` (sqlite3_system_errno)
// adds the system's reason where the code is about a file.
QString ofSqlite(int code, int systemError = 0);
// Why writing `path` through `file` failed: a full disk as a full disk, a
// folder that is not there or cannot be written as such.
QString ofWrite(const QString& path, const QFileDevice& file);

} // namespace ErrorWords
