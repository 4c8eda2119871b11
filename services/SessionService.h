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
    static void styleWindow(QWidget* window);
};
