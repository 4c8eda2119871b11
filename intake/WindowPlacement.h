#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

// Where the window opens and how small its contents may be laid out: within
// the screen's available area (without the task bars) at any size and scale
// factor, the window's frame included; contents smaller than their least
// size are scrolled instead of cut.
class WindowPlacement
{
public:
    // The frame a window manager usually puts around a window, for the first
    // placement (before the real one is known).
    static QMargins usualFrame() { return QMargins(8, 32, 8, 8); }

    // The window's own (inner) rectangle: `wanted` where the available area
    // has room for it and its frame, smaller where not, centred.
    static QRect first(const QRect& available, const QSize& wanted, const QMargins& frame);
    // A frame rectangle moved (and made smaller where needed) to lie within
    // the available area; answers the inner rectangle for it.
    static QRect within(const QRect& available, const QRect& frameRect, const QRect& inner);

    // The size to lay the contents out at: the view's, never below `least`.
    // `bar` is a scroll bar's thickness: a direction that scrolls takes it
    // from the other one.
    static QSize contents(QSize view, const QSize& least, int bar);
};
