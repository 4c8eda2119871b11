#pragma once

#include <QLineEdit>
#include <functional>

// A text box with the field name and lookup tag the window's handlers work
// with, and hooks for its focus and key events. The key hooks receive the key
// code (KeyCodes) or the character code and may set it to 0 to discard the
// key, or change the character.
class TextBox : public QLineEdit
{
    Q_OBJECT
public:
    explicit TextBox(QWidget* parent = nullptr);

    QString dataField() const { return m_dataField; }
    void setDataField(const QString& f) { m_dataField = f; }
    QString tag() const { return m_tag; }
    void setTag(const QString& t) { m_tag = t; }
    // The most characters the box holds, counted as characters (an emoji is
    // one), never cut in half; 0 means no limit. A text typed, pasted or set
    // beyond it is cut at the end of what was put in.
    void setMaxChars(int n);
    int maxChars() const { return m_maxChars; }
    // The text cut to at most `max` characters at a character boundary (no
    // half of a surrogate pair, no accent without its letter); `cutAt` is
    // where the excess is taken out, going back from there.
    static QString limited(const QString& text, int max, qsizetype cutAt = -1);
    static qsizetype characters(const QString& text);

    std::function<void()> onGotFocus;
    std::function<void()> onLostFocus;
    std::function<void(int& keyCode, int shift)> onKeyDown;
    std::function<void(int& charCode)> onKeyPress;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void keepWithinLimit();

    QString m_dataField;
    int m_maxChars = 0;
    bool m_limiting = false;
    QString m_tag;
};
