#include "ConsoleDialogs.h"

#include "ServiceError.h"

#include <QDialog>
#include <cstdio>

namespace
{
void say(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}
} // namespace

int ConsoleDialogs::message(QWidget*, const QString& title, const QString& text, Icon, Buttons,
                            int defaultAnswer)
{
    say(title + QStringLiteral(": ") + text);
    return defaultAnswer;
}

int ConsoleDialogs::errorDialog(QWidget*, const ServiceError& error, const QString& source)
{
    say(QStringLiteral("Error %1%2: %3")
            .arg(error.number())
            .arg(source.isEmpty() ? QString() : QStringLiteral(" en ") + source,
                 error.description()));
    return Abort;
}

std::optional<QString> ConsoleDialogs::inputBox(QWidget*, const QString&, const QString&,
                                                const QString&)
{
    return std::nullopt;
}

std::optional<QDate> ConsoleDialogs::chooseDate(QWidget*, const QDate&)
{
    return std::nullopt;
}

int ConsoleDialogs::exec(QDialog*)
{
    return QDialog::Rejected;
}
