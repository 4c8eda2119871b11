#include "TextBox.h"

#include "KeyCodes.h"

#include <QKeyEvent>

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {}

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
