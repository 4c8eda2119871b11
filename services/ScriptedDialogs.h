#pragma once

#include "Dialogs.h"

#include <QList>
#include <QStringList>
#include <functional>

// A test double of the dialog seam: answers come from queues filled by the
// test, and every dialog shown is recorded. With an empty queue a message is
// answered with its default answer, the error dialog with abort, the input
// box and the date chooser with cancel, and a modal window is rejected.
class ScriptedDialogs : public Dialogs
{
public:
    struct Shown {
        QString kind; // "message", "error", "input", "date", "exec", "save"
        QString title;
        QString text;
        Icon icon = Icon::None;
        QString source;
    };

    ScriptedDialogs() { Dialogs::install(this); }
    ~ScriptedDialogs() override { Dialogs::install(nullptr); }

    QList<int> messageAnswers;
    QList<int> errorAnswers;
    QList<std::optional<QString>> inputAnswers;
    QList<std::optional<QDate>> dateAnswers;
    // Each modal window is handed to the next script, which may work the
    // window and answers its result code.
    QList<std::function<int(QDialog*)>> execScripts;
    // Paths the save-file dialog answers (empty queue: cancelled).
    QList<std::optional<QString>> saveFileAnswers;

    QList<Shown> shown;

    QStringList messageTexts() const;
    int count(const QString& kind) const;
    void clear() { shown.clear(); }

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
