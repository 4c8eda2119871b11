#pragma once

#include <QFont>
#include <QHash>
#include <QProxyStyle>
#include <QStaticText>

// Paints the grid's cells: the background (the selection colour, or the
// brush a delegate gave), the text on one line in its alignment, cut with an
// ellipsis when wider than the cell, and the focus frame. The same look as
// the style's own item painting, without laying out every cell's text as a
// paragraph on every paint (most of the cost of a repaint of a full sheet):
// a text is laid out once and kept for the paints after (a sheet repaints
// the same texts over and over as other desks' changes come in).
// Cells with an icon or a check box are left to the style.
class FlexGridStyle : public QProxyStyle
{
public:
    // One for every grid, living as long as the application.
    static QStyle* instance();

    void drawControl(ControlElement element, const QStyleOption* opt, QPainter* p,
                     const QWidget* w) const override;

    // How many texts are kept laid out at most (then they are laid out anew).
    static constexpr int kKeptTexts = 8192;

private:
    const QStaticText& laidOut(const QString& text, const QFont& font) const;

    mutable QFont m_font;
    mutable QHash<QString, QStaticText> m_texts;
};
