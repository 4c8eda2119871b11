#pragma once

#include <QStyledItemDelegate>

class QualityLimits;
class SheetRules;

// Paints the sheet's cells whose reading is beyond an acceptance limit on an
// amber background and gives them a tooltip that names the limit; a value
// the sheet's rules refuse (written by another program) on a red one, its
// tooltip saying why and that the totals leave it out.
class QualityDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static const QColor& amber();
    static const QColor& refused();

    QualityDelegate(const QualityLimits& limits, QObject* parent,
                    const SheetRules* rules = nullptr);

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    QString breachOf(const QModelIndex& index) const;

    QString refusalOf(const QModelIndex& index) const;

    const QualityLimits& m_limits;
    const SheetRules* m_rules;
};
