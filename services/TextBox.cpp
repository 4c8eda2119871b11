#include "TextBox.h"

#include "KeyCodes.h"

#include <QKeyEvent>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <limits>

TextBox::TextBox(QWidget* parent) : QLineEdit(parent)
{
    // The limit is kept here in characters; the line edit's own counts UTF-16
    // units and cuts a character in two.
    setMaxLength(std::numeric_limits<int>::max());
    connect(this, &QLineEdit::textChanged, this, &TextBox::keepWithinLimit);
}

void TextBox::setMaxChars(int n)
{
    m_maxChars = std::max(n, 0);
    keepWithinLimit();
}

qsizetype TextBox::characters(const QString& text)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++n)
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
    return n;
}

QString TextBox::limited(const QString& text, int max, qsizetype cutAt)
{
    qsizetype excess = max > 0 ? characters(text) - max : 0;
    if (excess <= 0) return text;
    qsizetype end = cutAt < 0 || cutAt > text.size() ? text.size() : cutAt;
    QTextBoundaryFinder chars(QTextBoundaryFinder::Grapheme, text);
    chars.setPosition(end);
    if (!chars.isAtBoundary()) end = chars.toNextBoundary();
    qsizetype start = end;
    while (excess > 0 && start > 0) {
        --start;
        if (start > 0 && text.at(start).isLowSurrogate() && text.at(start - 1).isHighSurrogate())
            --start;
        --excess;
    }
    chars.setPosition(start);
    if (!chars.isAtBoundary()) start = chars.toPreviousBoundary();
    QString out = text.left(start) + text.mid(end);
    // Text before the cut point is not enough to take out: the rest at the end.
    if (excess > 0) return limited(out, max);
    return out;
}

void TextBox::keepWithinLimit()
{
    if (m_maxChars <= 0 || m_limiting) return;
    const QString t = text();
    if (t.size() <= m_maxChars || characters(t) <= m_maxChars) return;
    // What was just put in ends at the cursor: the excess is taken from there.
    const int cursor = cursorPosition();
    const QString cut = limited(t, m_maxChars, cursor);
    m_limiting = true;
    setText(cut);
    setCursorPosition(std::clamp<int>(cursor - int(t.size() - cut.size()), 0, int(cut.size())));
    m_limiting = false;
}

bool TextBox::event(QEvent* e)
{
    // Tab ends an edit like Enter: let the key handler see it before the
    // focus chain takes it.
    if (e->type() == QEvent::KeyPress) {
        auto* ke = static_cast<QKeyEvent*>(e);
        if ((ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab) && onKeyDown) {
            int code = KeyCodes::Tab;
            onKeyDown(code, KeyCodes::shiftState(ke->modifiers()));
            if (code == 0) return true;
        }
    }
    return QLineEdit::event(e);
}

void TextBox::keyPressEvent(QKeyEvent* e)
{
    int code = KeyCodes::fromQt(e->key());
    if (onKeyDown && code != 0 && code != KeyCodes::Tab) {
        onKeyDown(code, KeyCodes::shiftState(e->modifiers()));
        if (code == 0) {
            e->accept();
            return;
        }
    }
    const QString text = e->text();
    const bool printable = text.size() == 1 && text.at(0).isPrint();
    if (onKeyPress && (printable || e->key() == Qt::Key_Backspace)) {
        int ch = e->key() == Qt::Key_Backspace ? int(KeyCodes::Backspace) : int(text.at(0).unicode());
        const int original = ch;
        onKeyPress(ch);
        if (ch == 0) {
            e->accept();
            return;
        }
        if (ch != original) {
            insert(QString(QChar(ch)));
            e->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(e);
}

void TextBox::focusInEvent(QFocusEvent* e)
{
    QLineEdit::focusInEvent(e);
    if (onGotFocus) onGotFocus();
}

void TextBox::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    if (onLostFocus) onLostFocus();
}
