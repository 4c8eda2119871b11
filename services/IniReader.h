#pragma once

#include <QString>
#include <QStringList>

// Reads one key of an INI file. Sections and keys are matched without regard
// to case, as on the workstations the files come from. A bare file name is
// looked up in the program's folder, then in the user's configuration folder.
class IniReader
{
public:
    static QString readKey(const QString& fileName, const QString& section, const QString& key,
                           const QString& defaultValue);
    // The folders searched for a bare file name, in order.
    static QStringList searchFolders();
    // Replaces the folders searched (tests); an empty list restores them.
    static void setSearchFolders(const QStringList& folders);
    static QString locate(const QString& fileName);
};
