#pragma once

#include <QFileDialog>

// The program's save-file dialog: Qt's own (never the desktop's), listing a
// folder by the names and kinds of its files only. Qt's dialog otherwise
// opens each file it shows to guess its type and icon; shown on the
// database's folder, that opens and closes the database file and its -wal and
// -shm files, and on POSIX closing any descriptor of a file drops every lock
// the process holds on it: another program could then take the database from
// under this one. Nothing here opens a file it lists.
class FileDialog : public QFileDialog
{
    Q_OBJECT
public:
    // `filter` as QFileDialog takes it ("PDF (*.pdf)"); its first pattern's
    // extension is added to a name typed without one.
    FileDialog(QWidget* parent, const QString& title, const QString& suggested,
               const QString& filter);

    // A name with "*" or "?" typed in the name box narrows the list to the
    // files it matches (as in any file dialog) instead of naming a file; a
    // file of the open database (ProtectedFiles) is refused in words before
    // the dialog asks whether to replace it.
    void accept() override;

private:
    bool filterByTypedPattern();
};
