#pragma once

#include <QStyledItemDelegate>

class QualityLimits;

// Paints the sheet's cells whose reading is beyond an acceptance limit on an
// amber background and gives them a tooltip that names the limit.
class QualityDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static const QColor& amber();

    QualityDelegate(const QualityLimits& limits, QObject* parent);

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    QString breachOf(const QModelIndex& index) const;

    const QualityLimits& m_limits;
};
