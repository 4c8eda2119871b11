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
    // 0 means no limit.
    void setMaxChars(int n) { setMaxLength(n <= 0 ? 32767 : n); }
    int maxChars() const { return maxLength() >= 32767 ? 0 : maxLength(); }

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
    QString m_dataField;
    QString m_tag;
};
