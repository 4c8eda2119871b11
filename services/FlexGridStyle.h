#pragma once

#include <QFont>
#include <QHash>
#include <QProxyStyle>
#include <QStaticText>

// Paints the grid's cells: the background (the selection colour, or the
// brush a delegate gave), the text on one line in its alignment, cut with an
// ellipsis when wider than the cell, and the focus frame. The same look as
// the style's own item painting, without laying out every cell's text as a
// paragraph on every paint. A sheet shows the same readings, names and silos
// in row after row and is painted again at every change another desk makes:
// each text is laid out once per font and kept. Cells with an icon or a check
// box are left to the style.
class FlexGridStyle : public QProxyStyle
{
public:
    // One for every grid, living as long as the application.
    static QStyle* instance();

    void drawControl(ControlElement element, const QStyleOption* opt, QPainter* p,
                     const QWidget* w) const override;

private:
    const QStaticText& laidOut(const QString& text, const QFont& font) const;

    mutable QFont m_font;
    mutable QHash<QString, QStaticText> m_texts;
};
