#pragma once

#include <QString>

// The accent keys of the keyboard (dead keys): an accent key followed by a
// letter gives the accented letter ("´" then "e" gives "é", also capital
// ones); followed by a blank or by itself, the accent alone; followed by
// anything else, the accent and then what was typed, so that nothing typed
// is lost. The program composes them itself, in the order the keys come, in
// every window.
class DeadKeys
{
public:
    // The accent a dead key stands for (U+0301 for Qt::Key_Dead_Acute), or
    // 0 when the key is no dead key.
    static char16_t combiningMark(int qtKey);
    // The text a dead key and the following typed text make together.
    static QString compose(int deadKey, const QString& typed);
};
