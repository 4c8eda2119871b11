#include "SessionService.h"

#include <QSysInfo>
#include <QWidget>

QString SessionService::firstIdentity()
{
    return QSysInfo::machineHostName();
}

QString SessionService::secondIdentity()
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) user = qEnvironmentVariable("USERNAME");
    if (user.isEmpty()) user = qEnvironmentVariable("LOGNAME");
    return user;
}

void SessionService::styleWindow(QWidget* window)
{
    if (window) window->setAutoFillBackground(true);
}
