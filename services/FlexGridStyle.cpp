#include "FlexGridStyle.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QStyleOptionViewItem>

QStyle* FlexGridStyle::instance()
{
    static QPointer<QStyle> s;
    if (!s) {
        s = new FlexGridStyle;
        s->setParent(qApp);
    }
    return s;
}

void FlexGridStyle::drawControl(ControlElement element, const QStyleOption* opt, QPainter* p,
                                const QWidget* w) const
{
    const auto* o = qstyleoption_cast<const QStyleOptionViewItem*>(opt);
    if (element != CE_ItemViewItem || !o ||
        (o->features &
         (QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasCheckIndicator)) ||
        (o->features & QStyleOptionViewItem::WrapText)) {
        QProxyStyle::drawControl(element, opt, p, w);
        return;
    }
    const bool selected = o->state & State_Selected;
    const QPalette::ColorGroup cg = !(o->state & State_Enabled) ? QPalette::Disabled
                                    : (o->state & State_Active) ? QPalette::Active
                                                                : QPalette::Inactive;
    if (selected)
        p->fillRect(o->rect, o->palette.brush(cg, QPalette::Highlight));
    else if (o->backgroundBrush.style() != Qt::NoBrush)
        p->fillRect(o->rect, o->backgroundBrush);
    if (o->features & QStyleOptionViewItem::HasDisplay && !o->text.isEmpty()) {
        const int margin = pixelMetric(PM_FocusFrameHMargin, o, w) + 1;
        const QRect r = o->rect.adjusted(margin, 0, -margin, 0);
        const QColor pen =
            o->palette.color(cg, selected ? QPalette::HighlightedText : QPalette::Text);
        const Qt::Alignment a = o->displayAlignment;
        const QStaticText& laid = laidOut(o->text, o->font);
        const QSizeF size = laid.size();
        if (size.width() <= r.width() && o->direction == Qt::LeftToRight &&
            !(a & Qt::AlignAbsolute)) {
            // Placed as a one-line text in the rectangle would be.
            qreal x = r.x(), y = r.y();
            if (a & Qt::AlignRight)
                x += r.width() - size.width();
            else if (a & Qt::AlignHCenter)
                x += (r.width() - size.width()) / 2;
            if (a & Qt::AlignBottom)
                y += r.height() - size.height();
            else if (a & Qt::AlignVCenter)
                y += (r.height() - size.height()) / 2;
            p->save();
            p->setFont(o->font);
            p->setPen(pen);
            p->drawStaticText(QPointF(x, y), laid);
            p->restore();
        } else {
            const QFontMetrics& fm = o->fontMetrics;
            const QString text = size.width() > r.width()
                                     ? fm.elidedText(o->text, o->textElideMode, r.width())
                                     : o->text;
            p->save();
            p->setFont(o->font);
            p->setPen(pen);
            p->drawText(r, int(a) | Qt::TextSingleLine, text);
            p->restore();
        }
    }
    if (o->state & State_HasFocus) {
        QStyleOptionFocusRect f;
        f.QStyleOption::operator=(*o);
        f.rect = o->rect;
        f.state |= State_KeyboardFocusChange | State_Item;
        f.backgroundColor = o->palette.color(cg, selected ? QPalette::Highlight : QPalette::Window);
        drawPrimitive(PE_FrameFocusRect, &f, p, w);
    }
}

const QStaticText& FlexGridStyle::laidOut(const QString& text, const QFont& font) const
{
    if (font != m_font || m_texts.size() >= kKeptTexts) {
        m_texts.clear();
        m_font = font;
    }
    auto it = m_texts.find(text);
    if (it == m_texts.end()) {
        QStaticText st(text);
        st.setTextFormat(Qt::PlainText);
        st.prepare(QTransform(), font);
        it = m_texts.insert(text, st);
    }
    return *it;
}
