#include "ScriptedDialogs.h"

#include "ServiceError.h"

#include <QDialog>

QStringList ScriptedDialogs::messageTexts() const
{
    QStringList out;
    for (const Shown& s : shown)
        if (s.kind == QLatin1String("message")) out << s.text;
    return out;
}

int ScriptedDialogs::count(const QString& kind) const
{
    int n = 0;
    for (const Shown& s : shown)
        if (s.kind == kind) ++n;
    return n;
}

int ScriptedDialogs::message(QWidget*, const QString& title, const QString& text, Icon icon,
                             Buttons buttons, int defaultAnswer)
{
    shown.append({QStringLiteral("message"), title, text, icon, {}});
    if (!messageAnswers.isEmpty()) return messageAnswers.takeFirst();
    if (buttons == Buttons::Ok) return Ok;
    return defaultAnswer;
}

int ScriptedDialogs::errorDialog(QWidget*, const ServiceError& error, const QString& source)
{
    shown.append({QStringLiteral("error"), QString(), error.description(), Icon::Critical, source});
    if (!errorAnswers.isEmpty()) return errorAnswers.takeFirst();
    return Abort;
}

std::optional<QString> ScriptedDialogs::inputBox(QWidget*, const QString& prompt,
                                                 const QString& title, const QString&)
{
    shown.append({QStringLiteral("input"), title, prompt, Icon::None, {}});
    if (!inputAnswers.isEmpty()) return inputAnswers.takeFirst();
    return std::nullopt;
}

std::optional<QDate> ScriptedDialogs::chooseDate(QWidget*, const QDate&)
{
    shown.append({QStringLiteral("date"), {}, {}, Icon::None, {}});
    if (!dateAnswers.isEmpty()) return dateAnswers.takeFirst();
    return std::nullopt;
}

int ScriptedDialogs::exec(QDialog* dialog)
{
    shown.append({QStringLiteral("exec"), dialog->windowTitle(), {}, Icon::None, {}});
    // A real modal window is shown while it runs; scripts see it laid out.
    dialog->show();
    int result = QDialog::Rejected;
    if (!execScripts.isEmpty()) result = execScripts.takeFirst()(dialog);
    dialog->hide();
    return result;
}

std::optional<QString> ScriptedDialogs::saveFileName(QWidget*, const QString& title,
                                                     const QString& suggested, const QString&)
{
    shown.append({QStringLiteral("save"), title, suggested, Icon::None, {}});
    if (!saveFileAnswers.isEmpty()) return saveFileAnswers.takeFirst();
    return std::nullopt;
}
