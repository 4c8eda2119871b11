#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPrinter;
class QSpinBox;
class QToolButton;

// The program's print dialog: the printer, or a PDF file, and the copies.
// Qt's own dialog offers the file through a name box whose completion lists
// folders with a file model that opens each file it shows to find its type
// and icon (shown on the database's folder, that drops the program's locks on
// the database), and it opens the chosen file itself. Here the file is chosen
// through the dialog seam's save dialog (FileDialog, which never opens the
// files it lists), a file of the open database is refused in words, and the
// file is not touched until the report is written to it.
class PrintDialog : public QDialog
{
    Q_OBJECT
public:
    PrintDialog(QPrinter* printer, QWidget* parent = nullptr);

    // The PDF file chosen, or empty when a printer was (then the printer
    // given is set up for it).
    QString fileName() const { return m_chosenFile; }
    // The entry of the printer list that prints to a file.
    static QString toFileEntry() { return QStringLiteral("Imprimir a archivo (PDF)"); }

    void accept() override;

private:
    bool toFile() const;
    void browse();
    void update();
    void warn(const QString& text);

    QPrinter* m_printer;
    QComboBox* m_printers = nullptr;
    QLineEdit* m_file = nullptr;
    QToolButton* m_browse = nullptr;
    QSpinBox* m_copies = nullptr;
    QString m_replaceAsked; // the file the save dialog already asked to replace
    QString m_chosenFile;
};
