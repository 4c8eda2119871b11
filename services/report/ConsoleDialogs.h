#pragma once

#include "Dialogs.h"

// The dialog seam for unattended runs (the --report command): messages and
// errors go to the standard error output, nothing waits for an answer.
// Messages answer their default, the error dialog answers abort, the input
// box and the date chooser cancel, modal windows are rejected.
class ConsoleDialogs : public Dialogs
{
public:
    ConsoleDialogs() { Dialogs::install(this); }
    ~ConsoleDialogs() override { Dialogs::install(nullptr); }
    ConsoleDialogs(const ConsoleDialogs&) = delete;
    ConsoleDialogs& operator=(const ConsoleDialogs&) = delete;

    int message(QWidget* parent, const QString& title, const QString& text, Icon icon,
                Buttons buttons, int defaultAnswer) override;
    int errorDialog(QWidget* parent, const ServiceError& error, const QString& source) override;
    std::optional<QString> inputBox(QWidget* parent, const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
    std::optional<QDate> chooseDate(QWidget* parent, const QDate& initial) override;
    int exec(QDialog* dialog) override;
};
