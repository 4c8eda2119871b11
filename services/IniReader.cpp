#include "IniReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>

namespace {
QStringList g_folders;
}

QStringList IniReader::searchFolders()
{
    if (!g_folders.isEmpty()) return g_folders;
    QStringList f{QCoreApplication::applicationDirPath()};
    const QString cfg = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (!cfg.isEmpty()) f << cfg;
    return f;
}

void IniReader::setSearchFolders(const QStringList& folders)
{
    g_folders = folders;
}

QString IniReader::locate(const QString& fileName)
{
    if (fileName.contains(u'/') || fileName.contains(u'\\')) return fileName;
    for (const QString& folder : searchFolders()) {
        const QString p = QDir(folder).filePath(fileName);
        if (QFileInfo(p).isFile()) return p;
    }
    return {};
}

QString IniReader::readKey(const QString& fileName, const QString& section, const QString& key,
                           const QString& defaultValue)
{
    const QString path = locate(fileName);
    if (path.isEmpty()) return defaultValue;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return defaultValue;
    if (f.size() > 4 * 1024 * 1024) return defaultValue; // no INI file is that large
    const QByteArray bytes = f.readAll();
    // Files written on the workstations are UTF-8 or the Windows code page.
    QString text;
    {
        auto dec = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = dec.decode(bytes);
        if (dec.hasError()) text = QString::fromLatin1(bytes);
    }
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    bool inSection = false;
    const QString wantSection = section.trimmed();
    const QString wantKey = key.trimmed();
    for (QString line : text.split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[')) {
            const int end = line.indexOf(u']');
            const QString name = line.mid(1, end < 0 ? -1 : end - 1).trimmed();
            inSection = name.compare(wantSection, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection) continue;
        const int eq = line.indexOf(u'=');
        if (eq <= 0) continue;
        if (line.left(eq).trimmed().compare(wantKey, Qt::CaseInsensitive) != 0) continue;
        QString v = line.mid(eq + 1).trimmed();
        if (v.size() >= 2 && v.startsWith(u'"') && v.endsWith(u'"')) v = v.mid(1, v.size() - 2);
        return v;
    }
    return defaultValue;
}
