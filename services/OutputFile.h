#pragma once

#include <QSaveFile>
#include <QString>

// A file the program writes for the operator (an export, a PDF, a slip):
// never one of the database's files (ProtectedFiles), written to a temporary
// file beside it and put in its place only once every byte is on disk, so
// that a failure leaves the file as it was. Every failure is said in words,
// a full disk as a full disk.
class OutputFile
{
public:
    explicit OutputFile(const QString& path);

    // False, with message(), when the path is refused or cannot be made.
    bool open();
    QIODevice* device() { return &m_file; }
    // Puts the written file in place. False, with message(), when a write,
    // the flush or the replacement failed (the file is then as it was).
    bool commit();
    // What went wrong, in one sentence that names the file.
    QString message() const { return m_message; }

    // Writes the bytes as the whole file; false with the sentence in `error`.
    static bool write(const QString& path, const QByteArray& bytes, QString* error);

private:
    bool fail();

    QString m_path;
    QSaveFile m_file;
    QString m_message;
};
