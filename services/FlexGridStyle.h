#pragma once

#include <QProxyStyle>

// Paints the grid's cells: the background (the selection colour, or the
// brush a delegate gave), the text on one line in its alignment, cut with an
// ellipsis when wider than the cell, and the focus frame. The same look as
// the style's own item painting, without laying out every cell's text as a
// paragraph on every paint (most of the cost of a repaint of a full sheet).
// Cells with an icon or a check box are left to the style.
class FlexGridStyle : public QProxyStyle
{
public:
    // One for every grid, living as long as the application.
    static QStyle* instance();

    void drawControl(ControlElement element, const QStyleOption* opt, QPainter* p,
                     const QWidget* w) const override;
};
