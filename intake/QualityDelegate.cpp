#include "QualityDelegate.h"

#include "FlexGrid.h"
#include "QualityLimits.h"
#include "SheetRules.h"

#include <QHelpEvent>
#include <QToolTip>

const QColor& QualityDelegate::amber()
{
    static const QColor c(0xff, 0xc1, 0x07);
    return c;
}

const QColor& QualityDelegate::refused()
{
    static const QColor c(0xf2, 0x9b, 0x9b);
    return c;
}

QualityDelegate::QualityDelegate(const QualityLimits& limits, QObject* parent,
                                 const SheetRules* rules)
    : QStyledItemDelegate(parent), m_limits(limits), m_rules(rules)
{
}

QString QualityDelegate::refusalOf(const QModelIndex& index) const
{
    if (!index.isValid() || !m_rules) return {};
    return m_rules->cellRefusal(index.row() + FlexGrid::FixedRows, index.column());
}

QString QualityDelegate::breachOf(const QModelIndex& index) const
{
    if (!index.isValid()) return {};
    return m_limits.cellBreach(index.row() + FlexGrid::FixedRows, index.column());
}

void QualityDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (!refusalOf(index).isEmpty())
        option->backgroundBrush = refused();
    else if (!breachOf(index).isEmpty())
        option->backgroundBrush = amber();
}

bool QualityDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event && event->type() == QEvent::ToolTip) {
        QString tip = refusalOf(index);
        if (tip.isEmpty()) tip = breachOf(index);
        if (!tip.isEmpty()) {
            QToolTip::showText(event->globalPos(), tip, view);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}
