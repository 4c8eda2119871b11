#include "WindowPlacement.h"

#include <algorithm>

QRect WindowPlacement::first(const QRect& available, const QSize& wanted, const QMargins& frame)
{
    const QSize room(std::max(1, available.width() - frame.left() - frame.right()),
                     std::max(1, available.height() - frame.top() - frame.bottom()));
    const QSize s = wanted.boundedTo(room);
    const int x = available.left() + frame.left() + (room.width() - s.width()) / 2;
    const int y = available.top() + frame.top() + (room.height() - s.height()) / 2;
    return QRect(QPoint(x, y), s);
}

QRect WindowPlacement::within(const QRect& available, const QRect& frameRect, const QRect& inner)
{
    const QMargins frame(inner.left() - frameRect.left(), inner.top() - frameRect.top(),
                         frameRect.right() - inner.right(), frameRect.bottom() - inner.bottom());
    QRect f = frameRect;
    f.setWidth(std::min(f.width(), available.width()));
    f.setHeight(std::min(f.height(), available.height()));
    if (f.right() > available.right()) f.moveRight(available.right());
    if (f.bottom() > available.bottom()) f.moveBottom(available.bottom());
    if (f.left() < available.left()) f.moveLeft(available.left());
    if (f.top() < available.top()) f.moveTop(available.top());
    return f.marginsRemoved(frame);
}

QSize WindowPlacement::contents(QSize view, const QSize& least, int bar)
{
    // A bar across the bottom takes height, one down the side takes width;
    // one may bring the other.
    bool across = false, down = false;
    QSize c;
    for (int i = 0; i < 3; ++i) {
        const QSize room(view.width() - (down ? bar : 0), view.height() - (across ? bar : 0));
        c = QSize(std::max(room.width(), least.width()), std::max(room.height(), least.height()));
        across = c.width() > room.width();
        down = c.height() > room.height();
    }
    return c;
}
