#include "OutputFile.h"

#include "ErrorWords.h"
#include "ProtectedFiles.h"

#include <QDir>

OutputFile::OutputFile(const QString& path) : m_path(path), m_file(path) {}

bool OutputFile::fail()
{
    m_message = QStringLiteral("No se pudo escribir el archivo %1: %2.")
                    .arg(QDir::toNativeSeparators(m_path), ErrorWords::ofWrite(m_path, m_file));
    m_file.cancelWriting();
    return false;
}

bool OutputFile::open()
{
    m_message = ProtectedFiles::refusalFor(m_path);
    if (!m_message.isEmpty()) return false;
    if (!m_file.open(QIODevice::WriteOnly)) return fail();
    return true;
}

bool OutputFile::commit()
{
    if (!m_file.isOpen()) return false;
    // The buffered bytes reach the disk here: a full disk shows at the flush
    // or at the commit, never later.
    if (!m_file.flush()) return fail();
    if (!m_file.commit()) {
        m_message = QStringLiteral("No se pudo escribir el archivo %1: %2.")
                        .arg(QDir::toNativeSeparators(m_path), ErrorWords::ofWrite(m_path, m_file));
        return false;
    }
    return true;
}

bool OutputFile::write(const QString& path, const QByteArray& bytes, QString* error)
{
    OutputFile f(path);
    bool ok = f.open();
    if (ok && f.device()->write(bytes) != bytes.size()) ok = f.fail();
    if (ok) ok = f.commit();
    if (!ok && error) *error = f.message();
    return ok;
}
