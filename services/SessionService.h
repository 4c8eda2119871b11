#pragma once

#include <QString>

class QWidget;

// The identity of the running session: the host name and the operating-system
// user. Together they name the INI section of this workstation and user.
class SessionService
{
public:
    static QString firstIdentity();
    static QString secondIdentity();
    // The logged-in user's name as the system knows it: the full name of the
    // user's account (the first field of its GECOS entry), else the login
    // name; secondIdentity() when the system has no entry for the user.
    static QString operatorName();
    // The name out of one account entry: the GECOS field up to its first
    // comma, an "&" in it read as the login name with a capital initial;
    // the login name when that leaves nothing.
    static QString operatorName(const QString& gecos, const QString& login);
    static void styleWindow(QWidget* window);
};
