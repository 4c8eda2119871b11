#include "FormService.h"

#include "KeyCodes.h"
#include "TextBox.h"

#include <QApplication>
#include <QLocale>

int FormService::findByFieldName(const QString& fieldName, const QVector<TextBox*>& boxes)
{
    for (int i = 0; i < boxes.size(); ++i)
        if (boxes.at(i) && boxes.at(i)->dataField().compare(fieldName.trimmed(), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool FormService::isEndOfEditKey(int keyCode)
{
    return keyCode == KeyCodes::Enter || keyCode == KeyCodes::Up || keyCode == KeyCodes::Down ||
           keyCode == KeyCodes::Tab;
}

void FormService::keyNavigation(int keyCode, QWidget* from)
{
    if (keyCode != KeyCodes::Enter && keyCode != KeyCodes::Tab) return;
    QWidget* w = from ? from : QApplication::focusWidget();
    if (!w) return;
    QWidget* next = w->nextInFocusChain();
    while (next && next != w) {
        if ((next->focusPolicy() & Qt::TabFocus) && next->isEnabled() && next->isVisible() &&
            next->window() == w->window()) {
            next->setFocus(Qt::TabFocusReason);
            return;
        }
        next = next->nextInFocusChain();
    }
}

void FormService::keyFilter(const TextBox* box, int& charCode)
{
    if (!box || charCode < 32) return; // control characters (Backspace) pass
    if (box->tag().compare(QLatin1String("Fecha"), Qt::CaseInsensitive) == 0) {
        const QChar c(charCode);
        const bool ok = (c.isDigit() && c.unicode() < 128) || c == u'/' || c == u'-' || c == u'.';
        if (!ok) charCode = 0;
    }
}

QString FormService::decimalSeparator()
{
    return QLocale().decimalPoint();
}
