#include "ProtectedFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// The names SQLite gives the files it keeps beside a database.
const char* const kCompanions[] = {"", "-wal", "-shm", "-journal"};

struct Identity {
    quint64 device = 0, inode = 0;
    bool known = false;
    bool operator==(const Identity& o) const
    {
        return known && o.known && device == o.device && inode == o.inode;
    }
};

// What the path is on the disk, its links followed; unknown when nothing is
// there.
Identity identityOf(const QString& path)
{
    struct stat st {
    };
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return {quint64(st.st_dev), quint64(st.st_ino), true};
}

// The path made absolute as it is spelled: no ".." taken out by its letters
// (behind a linked folder ".." is the link target's parent).
QString absolute(const QString& path)
{
    if (path.startsWith(u'/')) return path;
    return QDir::currentPath() + u'/' + path;
}

struct Place {
    QString folder, name;
};

Place split(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0) return {QStringLiteral("."), path};
    return {slash == 0 ? QStringLiteral("/") : path.left(slash), path.mid(slash + 1)};
}

// The path with the symbolic links of its last part followed, also to a file
// that is not there (yet).
QString followLinks(QString path)
{
    path = absolute(path);
    for (int hops = 0; hops < 40; ++hops) {
        const QByteArray name = QFile::encodeName(path);
        struct stat st {
        };
        if (::lstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(name.constData(), buffer, sizeof buffer);
        if (n <= 0 || n >= ssize_t(sizeof buffer)) break;
        const QString target = QFile::decodeName(QByteArray(buffer, int(n)));
        path = target.startsWith(u'/') ? target : split(path).folder + u'/' + target;
    }
    return path;
}

} // namespace

void ProtectedFiles::add(const QString& databasePath)
{
    if (databasePath.isEmpty()) return;
    Database db;
    db.path = absolute(databasePath);
    const Identity id = identityOf(db.path);
    db.device = id.device;
    db.inode = id.inode;
    db.known = id.known;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_databases.append(db);
}

void ProtectedFiles::remove(const QString& databasePath)
{
    const QString path = absolute(databasePath);
    std::lock_guard<std::mutex> lock(m_mutex);
    for (qsizetype i = 0; i < m_databases.size(); ++i)
        if (m_databases.at(i).path == path) {
            m_databases.removeAt(i);
            return;
        }
}

QList<ProtectedFiles::Database> ProtectedFiles::databases() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_databases;
}

QString ProtectedFiles::databaseOf(const QString& path) const
{
    const QList<Database> open = databases();
    if (open.isEmpty() || path.trimmed().isEmpty()) return {};
    const QString target = followLinks(path);
    const Identity file = identityOf(target);
    const Place place = split(target);
    const Identity folder = identityOf(place.folder);
    for (const Database& db : open) {
        if (file.known && db.known && file.device == db.device && file.inode == db.inode)
            return db.path;
        // As the path is spelled and where its links lead: SQLite keeps its
        // companions beside the file it opened.
        const QString spellings[] = {db.path, followLinks(db.path)};
        for (const QString& spelled : spellings) {
            const Place dbPlace = split(spelled);
            const Identity dbFolder = identityOf(dbPlace.folder);
            for (const char* c : kCompanions) {
                if (file.known && identityOf(spelled + QLatin1String(c)) == file) return db.path;
                if (folder == dbFolder && place.name == dbPlace.name + QLatin1String(c))
                    return db.path;
            }
        }
    }
    return {};
}

QString ProtectedFiles::refusal(const QString& path) const
{
    const QString db = databaseOf(path);
    return db.isEmpty() ? QString() : refusalText(path, db);
}

ProtectedFiles& ProtectedFiles::open()
{
    static ProtectedFiles files;
    return files;
}

QString ProtectedFiles::refusalFor(const QString& path)
{
    return open().refusal(path);
}

QString ProtectedFiles::refusalText(const QString& path, const QString& database)
{
    return QStringLiteral("El archivo %1 es la base de datos %2 o uno de sus archivos de trabajo "
                          "(-wal, -shm, -journal): escribir en él destruiría la base de datos. No "
                          "se escribió nada; elija otro nombre o carpeta.")
        .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(database));
}
