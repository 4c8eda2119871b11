#include "HistoryDialog.h"

#include "UtilService.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

HistoryDialog::HistoryDialog(qint64 id, const QVector<HistoryEntry>& entries, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("HistoryDialog"));
    setWindowTitle(QStringLiteral("Historial"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(
        entries.isEmpty()
            ? QStringLiteral("El registro %1 no tiene cambios registrados.").arg(id)
            : QStringLiteral("Cambios del registro %1 (el más reciente primero)").arg(id),
        this);
    layout->addWidget(title);

    m_table = new QTableWidget(int(entries.size()), 6, this);
    m_table->setObjectName(QStringLiteral("tblHistorial"));
    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("Fecha y hora"), QStringLiteral("Usuario"), QStringLiteral("Operación"),
         QStringLiteral("Campo"), QStringLiteral("Valor anterior"), QStringLiteral("Valor nuevo")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    for (int i = 0; i < entries.size(); ++i) {
        const HistoryEntry& e = entries.at(entries.size() - 1 - i);
        const QStringList texts{e.cuando.isValid() ? UtilService::valueToText(e.cuando) : QString(),
                                e.usuario,
                                ChangeHistory::shownOperation(e.operacion),
                                ChangeHistory::caption(e.campo),
                                ChangeHistory::shownValue(e.campo, e.anterior),
                                ChangeHistory::shownValue(e.campo, e.nuevo)};
        for (int c = 0; c < texts.size(); ++c)
            m_table->setItem(i, c, new QTableWidgetItem(texts.at(c)));
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(720, 360);
}

QString HistoryDialog::cellText(int row, int column) const
{
    const QTableWidgetItem* it = m_table->item(row, column);
    return it ? it->text() : QString();
}

int HistoryDialog::rowCount() const
{
    return m_table->rowCount();
}
