#include "Dialogs.h"

#include "FileDialog.h"
#include "Idioma.h"
#include "KeyRouter.h"
#include "ServiceError.h"

#include <QCalendarWidget>
#include <QDialog>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
Dialogs* g_installed = nullptr;

QMessageBox::Icon toQt(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::Information: return QMessageBox::Information;
    case Dialogs::Icon::Exclamation: return QMessageBox::Warning;
    case Dialogs::Icon::Critical: return QMessageBox::Critical;
    case Dialogs::Icon::Question: return QMessageBox::Question;
    case Dialogs::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

Dialogs& Dialogs::instance()
{
    static QtDialogs qtDialogs;
    return g_installed ? *g_installed : qtDialogs;
}

void Dialogs::install(Dialogs* dialogs)
{
    g_installed = dialogs;
}

int QtDialogs::message(QWidget* parent, const QString& title, const QString& text, Icon icon,
                       Buttons buttons, int defaultAnswer)
{
    QMessageBox box(toQt(icon), title, text, QMessageBox::NoButton, parent);
    switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(defaultAnswer == No ? QMessageBox::No : QMessageBox::Yes);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(defaultAnswer == Cancel ? QMessageBox::Cancel : QMessageBox::Ok);
        break;
    }
    switch (KeyRouter::run(&box, KeyRouter::Keys::ReadFirst)) {
    case QMessageBox::Yes: return Yes;
    case QMessageBox::No: return No;
    case QMessageBox::Cancel: return Cancel;
    default: return Ok;
    }
}

int QtDialogs::errorDialog(QWidget* parent, const ServiceError& error, const QString& source)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Aviso al Operador"),
                    QStringLiteral("Error %1%2\n\n%3")
                        .arg(error.number())
                        .arg(source.isEmpty() ? QString() : QStringLiteral(" en ") + source)
                        .arg(error.description()),
                    QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, parent);
    box.button(QMessageBox::Abort)->setText(QStringLiteral("&Anular"));
    box.button(QMessageBox::Retry)->setText(QStringLiteral("&Reintentar"));
    box.button(QMessageBox::Ignore)->setText(QStringLiteral("&Omitir"));
    box.setDefaultButton(QMessageBox::Abort);
    switch (KeyRouter::run(&box, KeyRouter::Keys::ReadFirst)) {
    case QMessageBox::Retry: return Retry;
    case QMessageBox::Ignore: return Ignore;
    default: return Abort;
    }
}

std::optional<QString> QtDialogs::inputBox(QWidget* parent, const QString& prompt,
                                           const QString& title, const QString& defaultText)
{
    QInputDialog dlg(parent);
    dlg.setWindowTitle(title);
    dlg.setLabelText(prompt);
    dlg.setTextValue(defaultText);
    if (KeyRouter::run(&dlg, KeyRouter::Keys::TypeAhead) != QDialog::Accepted) return std::nullopt;
    return dlg.textValue();
}

std::optional<QDate> QtDialogs::chooseDate(QWidget* parent, const QDate& initial)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("Seleccione la fecha"));
    auto* layout = new QVBoxLayout(&dlg);
    auto* cal = new QCalendarWidget(&dlg);
    cal->setLocale(Idioma::textos()); // month and day names in Spanish
    cal->setSelectedDate(initial.isValid() ? initial : QDate::currentDate());
    cal->setGridVisible(true);
    layout->addWidget(cal);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    QObject::connect(cal, &QCalendarWidget::activated, &dlg, &QDialog::accept);
    if (KeyRouter::run(&dlg, KeyRouter::Keys::TypeAhead) != QDialog::Accepted) return std::nullopt;
    return cal->selectedDate();
}

int QtDialogs::exec(QDialog* dialog)
{
    return KeyRouter::run(dialog, KeyRouter::Keys::TypeAhead);
}

std::optional<QString> Dialogs::saveFileName(QWidget*, const QString&, const QString&,
                                             const QString&)
{
    return std::nullopt; // a seam without a file dialog cancels
}

std::optional<QString> QtDialogs::saveFileName(QWidget* parent, const QString& title,
                                               const QString& suggested, const QString& filter)
{
    FileDialog fd(parent, title, suggested, filter);
    if (KeyRouter::run(&fd, KeyRouter::Keys::TypeAhead) != QDialog::Accepted ||
        fd.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = fd.selectedFiles().constFirst();
    if (path.isEmpty()) return std::nullopt;
    return path;
}
