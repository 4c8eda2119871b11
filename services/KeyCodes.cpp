#include "KeyCodes.h"

int KeyCodes::fromQt(int k)
{
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return k; // 48..57
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return k; // 65..90
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return F1 + (k - Qt::Key_F1);
    switch (k) {
    case Qt::Key_Backspace: return Backspace;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return Tab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return Enter;
    case Qt::Key_Escape: return Escape;
    case Qt::Key_Space: return Space;
    case Qt::Key_PageUp: return PageUp;
    case Qt::Key_PageDown: return PageDown;
    case Qt::Key_End: return End;
    case Qt::Key_Home: return Home;
    case Qt::Key_Left: return Left;
    case Qt::Key_Up: return Up;
    case Qt::Key_Right: return Right;
    case Qt::Key_Down: return Down;
    case Qt::Key_Insert: return Insert;
    case Qt::Key_Delete: return Delete;
    default: return 0;
    }
}

int KeyCodes::shiftState(Qt::KeyboardModifiers mods)
{
    int s = 0;
    if (mods & Qt::ShiftModifier) s |= 1;
    if (mods & Qt::ControlModifier) s |= 2;
    if (mods & Qt::AltModifier) s |= 4;
    return s;
}
