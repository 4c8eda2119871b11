#include "FlexGridStyle.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QStyleOptionViewItem>

namespace
{

// Texts kept at most; past it they are laid out afresh.
constexpr qsizetype kMostTexts = 8192;

bool oneLine(const QString& text)
{
    for (QChar c : text)
        if (c == u'\n' || c == u'\r' || c == u'\t' || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            return false;
    return true;
}

} // namespace

QStyle* FlexGridStyle::instance()
{
    static QPointer<QStyle> s;
    if (!s) {
        s = new FlexGridStyle;
        s->setParent(qApp);
    }
    return s;
}

const QStaticText& FlexGridStyle::laidOut(const QString& text, const QFont& font) const
{
    if (font != m_font) {
        m_texts.clear();
        m_font = font;
    }
    auto it = m_texts.constFind(text);
    if (it != m_texts.cend()) return *it;
    if (m_texts.size() >= kMostTexts) m_texts.clear();
    QStaticText st(text);
    st.setTextFormat(Qt::PlainText);
    st.prepare(QTransform(), font);
    return *m_texts.insert(text, st);
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
        p->save();
        p->setFont(o->font);
        p->setPen(o->palette.color(cg, selected ? QPalette::HighlightedText : QPalette::Text));
        const QStaticText* st = oneLine(o->text) ? &laidOut(o->text, o->font) : nullptr;
        if (st && st->size().width() <= r.width()) {
            // Placed in the cell as a one-line text of the alignment is.
            const QSizeF size = st->size();
            const Qt::Alignment a = o->displayAlignment;
            qreal x = r.x(), y = r.y();
            if (a & Qt::AlignRight)
                x += r.width() - size.width();
            else if (a & Qt::AlignHCenter)
                x += (r.width() - size.width()) / 2;
            if (a & Qt::AlignBottom)
                y += r.height() - size.height();
            else if (a & Qt::AlignVCenter)
                y += (r.height() - size.height()) / 2;
            p->setClipRect(r, Qt::IntersectClip);
            p->drawStaticText(QPointF(x, y), *st);
        } else {
            const QFontMetrics& fm = o->fontMetrics;
            const QString text = fm.horizontalAdvance(o->text) > r.width()
                                     ? fm.elidedText(o->text, o->textElideMode, r.width())
                                     : o->text;
            p->drawText(r, int(o->displayAlignment) | Qt::TextSingleLine, text);
        }
        p->restore();
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
