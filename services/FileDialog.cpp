#include "FileDialog.h"

#include "Dialogs.h"
#include "ProtectedFiles.h"

#include <QAbstractFileIconProvider>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QRegularExpression>

namespace
{

// Icons and type names from what a directory listing gives (folder or file,
// the name's extension), without reading the file: the stock provider asks
// the MIME database, which opens files to look at their first bytes.
class NamesOnlyIcons : public QAbstractFileIconProvider
{
public:
    QIcon icon(IconType type) const override { return QAbstractFileIconProvider::icon(type); }
    QIcon icon(const QFileInfo& info) const override
    {
        return QAbstractFileIconProvider::icon(info.isDir() ? Folder : File);
    }
    QString type(const QFileInfo& info) const override
    {
        if (info.isDir()) return QStringLiteral("Carpeta");
        const QString ext = info.suffix();
        return ext.isEmpty() ? QStringLiteral("Archivo")
                             : QStringLiteral("Archivo %1").arg(ext.toUpper());
    }
};

} // namespace

FileDialog::FileDialog(QWidget* parent, const QString& title, const QString& suggested,
                       const QString& filter)
    : QFileDialog(parent, title, suggested, filter)
{
    // One provider for every dialog, for the program's lifetime: the
    // dialog's listing thread may still ask it while the dialog goes.
    static NamesOnlyIcons icons;
    setObjectName(QStringLiteral("fileDialog"));
    // The desktop's dialog would run in its own code (or process) and probe
    // the files as it likes; links are shown as they are, not followed.
    setOptions(options() | QFileDialog::DontUseNativeDialog | QFileDialog::DontResolveSymlinks |
               QFileDialog::DontUseCustomDirectoryIcons);
    setIconProvider(&icons);
    setAcceptMode(QFileDialog::AcceptSave);
    static const QRegularExpression firstPattern(QStringLiteral("\\*\\.(\\w+)"));
    const QRegularExpressionMatch m = firstPattern.match(filter);
    if (m.hasMatch()) setDefaultSuffix(m.captured(1));
}

bool FileDialog::filterByTypedPattern()
{
    auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!name) return false;
    const QString typed = name->text().trimmed();
    if (!typed.contains(u'*') && !typed.contains(u'?')) return false;
    // "carpeta/*.pdf": the folder, then its files that match.
    const qsizetype slash = typed.lastIndexOf(u'/');
    const QString pattern = typed.mid(slash + 1);
    if (slash >= 0) setDirectory(directory().absoluteFilePath(typed.left(slash + 1)));
    if (!pattern.isEmpty()) {
        if (auto* model = findChild<QFileSystemModel*>())
            model->setNameFilters(pattern.split(u' ', Qt::SkipEmptyParts));
    }
    name->clear();
    return true;
}

void FileDialog::accept()
{
    if (filterByTypedPattern()) return;
    for (const QString& file : selectedFiles()) {
        const QString refusal = ProtectedFiles::refusalFor(file);
        if (refusal.isEmpty()) continue;
        Dialogs::instance().message(this, QStringLiteral("Aviso al operador"), refusal,
                                    Dialogs::Icon::Exclamation);
        // The keyboard back in the dialog, for another name.
        activateWindow();
        return;
    }
    QFileDialog::accept();
}
