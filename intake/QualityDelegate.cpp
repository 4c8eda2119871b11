#include "QualityDelegate.h"

#include "FlexGrid.h"
#include "QualityLimits.h"

#include <QHelpEvent>
#include <QToolTip>

const QColor& QualityDelegate::amber()
{
    static const QColor c(0xff, 0xc1, 0x07);
    return c;
}

QualityDelegate::QualityDelegate(const QualityLimits& limits, QObject* parent)
    : QStyledItemDelegate(parent), m_limits(limits)
{
}

QString QualityDelegate::breachOf(const QModelIndex& index) const
{
    if (!index.isValid()) return {};
    return m_limits.cellBreach(index.row() + FlexGrid::FixedRows, index.column());
}

void QualityDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (!breachOf(index).isEmpty()) option->backgroundBrush = amber();
}

bool QualityDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event && event->type() == QEvent::ToolTip) {
        const QString tip = breachOf(index);
        if (!tip.isEmpty()) {
            QToolTip::showText(event->globalPos(), tip, view);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}
