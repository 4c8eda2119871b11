#pragma once

#include <QDate>
#include <QString>
#include <optional>

class QDialog;
class QWidget;
class ServiceError;

// The one seam through which every modal interaction of the program goes:
// message boxes, the error dialog, the input box, the date chooser and modal
// windows such as the lookup list. The program installs the Qt
// implementation; tests install a scripted one so that nothing ever blocks.
class Dialogs
{
public:
    enum class Icon { None, Information, Exclamation, Critical, Question };
    enum class Buttons { Ok, YesNo, OkCancel };
    // Answers, numbered as the handlers compare them.
    enum Answer : int { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

    virtual ~Dialogs() = default;

    virtual int message(QWidget* parent, const QString& title, const QString& text, Icon icon,
                        Buttons buttons = Buttons::Ok, int defaultAnswer = Ok) = 0;
    // Shows an error with abort, retry and ignore; answers 3, 4 or 5.
    virtual int errorDialog(QWidget* parent, const ServiceError& error, const QString& source) = 0;
    // Empty when the operator cancelled.
    virtual std::optional<QString> inputBox(QWidget* parent, const QString& prompt,
                                            const QString& title, const QString& defaultText) = 0;
    // Empty when the operator closed the chooser without a choice.
    virtual std::optional<QDate> chooseDate(QWidget* parent, const QDate& initial) = 0;
    // Runs a modal window and answers its result code.
    virtual int exec(QDialog* dialog) = 0;
    // The save-file dialog: the chosen path, empty when the operator cancelled.
    // Every file dialog of the program goes through here (FileDialog on
    // screen: it never opens the files it lists).
    virtual std::optional<QString> saveFileName(QWidget* parent, const QString& title,
                                                const QString& suggested, const QString& filter);

    static Dialogs& instance();
    // Installs the implementation (not owned); nullptr restores the Qt one.
    static void install(Dialogs* dialogs);
};

// The real dialogs, on screen.
class QtDialogs : public Dialogs
{
public:
    int message(QWidget* parent, const QString& title, const QString& text, Icon icon,
                Buttons buttons, int defaultAnswer) override;
    int errorDialog(QWidget* parent, const ServiceError& error, const QString& source) override;
    std::optional<QString> inputBox(QWidget* parent, const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
    std::optional<QDate> chooseDate(QWidget* parent, const QDate& initial) override;
    int exec(QDialog* dialog) override;
    std::optional<QString> saveFileName(QWidget* parent, const QString& title,
                                        const QString& suggested, const QString& filter) override;
};
