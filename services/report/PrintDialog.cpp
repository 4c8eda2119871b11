#include "PrintDialog.h"

#include "Dialogs.h"
#include "ProtectedFiles.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

PrintDialog::PrintDialog(QPrinter* printer, QWidget* parent) : QDialog(parent), m_printer(printer)
{
    setObjectName(QStringLiteral("printDialog"));
    setWindowTitle(QStringLiteral("Imprimir"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    m_printers = new QComboBox(this);
    m_printers->setObjectName(QStringLiteral("printers"));
    const QStringList names = QPrinterInfo::availablePrinterNames();
    m_printers->addItems(names);
    m_printers->addItem(toFileEntry());
    const QString current = printer->printerName().isEmpty() ? QPrinterInfo::defaultPrinterName()
                                                             : printer->printerName();
    m_printers->setCurrentIndex(names.contains(current) ? int(names.indexOf(current))
                                                        : m_printers->count() - 1);
    form->addRow(QStringLiteral("&Impresora:"), m_printers);

    auto* fileRow = new QHBoxLayout;
    m_file = new QLineEdit(this);
    m_file->setObjectName(QStringLiteral("filename"));
    const QString doc =
        printer->docName().isEmpty() ? QStringLiteral("reporte") : printer->docName();
    m_file->setText(QDir::toNativeSeparators(QDir::home().filePath(doc + QStringLiteral(".pdf"))));
    m_browse = new QToolButton(this);
    m_browse->setObjectName(QStringLiteral("fileBrowser"));
    m_browse->setText(QStringLiteral("..."));
    m_browse->setToolTip(QStringLiteral("Elegir el archivo PDF"));
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(m_browse);
    form->addRow(QStringLiteral("&Archivo:"), fileRow);

    m_copies = new QSpinBox(this);
    m_copies->setObjectName(QStringLiteral("copies"));
    m_copies->setRange(1, 999);
    m_copies->setValue(std::max(1, printer->copyCount()));
    form->addRow(QStringLiteral("&Copias:"), m_copies);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Imprimir"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &PrintDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PrintDialog::reject);
    connect(m_browse, &QToolButton::clicked, this, &PrintDialog::browse);
    connect(m_printers, &QComboBox::currentIndexChanged, this, &PrintDialog::update);
    update();
}

bool PrintDialog::toFile() const
{
    return m_printers->currentIndex() == m_printers->count() - 1;
}

void PrintDialog::update()
{
    m_file->setEnabled(toFile());
    m_browse->setEnabled(toFile());
}

void PrintDialog::warn(const QString& text)
{
    Dialogs::instance().message(this, QStringLiteral("Aviso al operador"), text,
                                Dialogs::Icon::Exclamation);
}

void PrintDialog::browse()
{
    const auto chosen = Dialogs::instance().saveFileName(
        this, QStringLiteral("Imprimir en un archivo PDF"),
        QDir::fromNativeSeparators(m_file->text()), QStringLiteral("PDF (*.pdf)"));
    if (!chosen || chosen->trimmed().isEmpty()) return;
    m_file->setText(QDir::toNativeSeparators(*chosen));
    m_replaceAsked = *chosen;
}

void PrintDialog::accept()
{
    m_chosenFile.clear();
    if (!toFile()) {
        m_printer->setOutputFileName(QString());
        m_printer->setOutputFormat(QPrinter::NativeFormat);
        m_printer->setPrinterName(m_printers->currentText());
        m_printer->setCopyCount(m_copies->value());
        QDialog::accept();
        return;
    }
    QString path = QDir::fromNativeSeparators(m_file->text().trimmed());
    if (path.isEmpty()) {
        warn(QStringLiteral("Escriba el nombre del archivo PDF o elíjalo con \"...\"."));
        m_file->setFocus();
        return;
    }
    if (QFileInfo(path).isRelative()) path = QDir::home().filePath(path);
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pdf");
    const QFileInfo info(path);
    QString problem = ProtectedFiles::refusalFor(path);
    if (problem.isEmpty() && info.isDir())
        problem = QStringLiteral("%1 es una carpeta: escriba el nombre del archivo PDF.")
                      .arg(QDir::toNativeSeparators(path));
    if (problem.isEmpty() && !QFileInfo(info.absolutePath()).isDir())
        problem = QStringLiteral("La carpeta %1 no existe.")
                      .arg(QDir::toNativeSeparators(info.absolutePath()));
    if (!problem.isEmpty()) {
        warn(problem);
        m_file->setFocus();
        return;
    }
    if (info.exists() && path != m_replaceAsked &&
        Dialogs::instance().message(
            this, windowTitle(),
            QStringLiteral("El archivo %1 ya existe.\n¿Desea reemplazarlo?").arg(info.fileName()),
            Dialogs::Icon::Question, Dialogs::Buttons::YesNo, Dialogs::No) != Dialogs::Yes)
        return;
    m_chosenFile = path;
    QDialog::accept();
}
