#pragma once

#include <Qt>

// Key codes as the window's handlers speak of them (Enter 13, Esc 27, Up 38,
// Down 40, Insert 45, Delete 46, F5 116 ...), translated from Qt keys.
namespace KeyCodes {
enum : int {
    Backspace = 8, Tab = 9, Enter = 13, Escape = 27, Space = 32, PageUp = 33, PageDown = 34,
    End = 35, Home = 36, Left = 37, Up = 38, Right = 39, Down = 40, Insert = 45, Delete = 46,
    F1 = 112, F2 = 113, F3 = 114, F4 = 115, F5 = 116, F6 = 117, F7 = 118, F8 = 119, F9 = 120,
    F10 = 121, F11 = 122, F12 = 123,
};

// 0 for keys without a code of their own (modifiers, dead keys).
int fromQt(int qtKey);
// The shift state: 1 Shift, 2 Ctrl, 4 Alt, added together.
int shiftState(Qt::KeyboardModifiers mods);
} // namespace KeyCodes
