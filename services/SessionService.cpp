#include "SessionService.h"

#include <QSysInfo>
#include <QWidget>
#include <pwd.h>
#include <unistd.h>
#include <vector>

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

QString SessionService::operatorName()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return secondIdentity();
    return operatorName(QString::fromLocal8Bit(found->pw_gecos),
                        QString::fromLocal8Bit(found->pw_name));
}

QString SessionService::operatorName(const QString& gecos, const QString& login)
{
    QString name = gecos.section(u',', 0, 0);
    if (name.contains(u'&')) {
        QString capital = login;
        if (!capital.isEmpty()) capital[0] = capital.at(0).toUpper();
        name.replace(u'&', capital);
    }
    name = name.simplified();
    return name.isEmpty() ? login : name;
}

void SessionService::styleWindow(QWidget* window)
{
    if (window) window->setAutoFillBackground(true);
}
