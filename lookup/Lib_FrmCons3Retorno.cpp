#include "Lib_FrmCons3.h"

#include "Dialogs.h"
#include "LookupItem.h"
#include "ServiceError.h"
#include "TextFold.h"

#include <QCloseEvent>
#include <QLocale>
#include <QTreeWidget>

// The lookup window's results: accept, cancel, the check marks and the
// quantity keys.

namespace
{

// The check state of a row, kept also when the check boxes are hidden.
constexpr int kCheckedRole = Qt::UserRole + 1;

// The leading number of a quantity cell: blanks skipped, an optional sign,
// digits and one decimal separator (the locale's, or a period). found tells
// whether the text began with a number at all.
double leadingQuantity(const QString& text, bool* found)
{
    const QChar dec = QLocale().decimalPoint().at(0);
    int i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    QString number;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+')) number += text.at(i++);
    bool digits = false;
    bool seenSeparator = false;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c.unicode() >= '0' && c.unicode() <= '9') {
            number += c;
            digits = true;
        } else if ((c == dec || c == u'.') && !seenSeparator) {
            number += u'.';
            seenSeparator = true;
        } else {
            break;
        }
        ++i;
    }
    if (found) *found = digits;
    if (!digits) return 0.0;
    bool ok = false;
    const double v = number.toDouble(&ok);
    return ok ? v : 0.0;
}

// A quantity with a fixed number of decimals in the locale's form, without
// thousands separators ("3,0" or "3.0"; "0,00" or "0.00").
QString quantityText(double value, int decimals)
{
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    if (value == 0.0) value = 0.0; // no "-0.0"
    QString s = loc.toString(value, 'f', decimals);
    const QString negZero = QStringLiteral("-") + loc.toString(0.0, 'f', decimals);
    if (s == negZero) s = loc.toString(0.0, 'f', decimals);
    return s;
}

} // namespace

void Lib_FrmCons3::ListView1_DblClick()
{
    CmdAceptar_Click();
}

bool Lib_FrmCons3::marcada(const QTreeWidgetItem* item) const
{
    if (!item) return false;
    if (CheckBoxes) return item->checkState(0) == Qt::Checked;
    return item->data(0, kCheckedRole).toBool();
}

void Lib_FrmCons3::marcar(QTreeWidgetItem* item, bool checked)
{
    if (!item) return;
    if (CheckBoxes)
        item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    else
        item->setData(0, kCheckedRole, checked);
}

QTreeWidgetItem* Lib_FrmCons3::selectedRow() const
{
    const QList<QTreeWidgetItem*> sel = m_list->selectedItems();
    return sel.isEmpty() ? nullptr : sel.first();
}

int Lib_FrmCons3::quantityColumn() const
{
    const int p = IndiceColumna(columnaCantidad());
    if (p < 1)
        throw ServiceError(
            ServiceError::InvalidCall,
            QStringLiteral("La lista no tiene la columna %1.").arg(columnaCantidad()));
    if (!selectedRow())
        throw ServiceError(ServiceError::InvalidCall,
                           QStringLiteral("No hay ninguna fila seleccionada."));
    return p - 1;
}

void Lib_FrmCons3::askQuantity()
{
    const int column = quantityColumn();
    QTreeWidgetItem* item = selectedRow();
    const auto answer =
        Dialogs::instance().inputBox(this, QStringLiteral("Ingrese la Cantidad del Artículo..."),
                                     QStringLiteral("Carga de Datos"), item->text(column));
    if (!answer) return; // cancelled: the quantity stays
    bool found = false;
    const double value = leadingQuantity(*answer, &found);
    if (!found) return; // no number: the quantity stays
    if (value != 0.0) {
        setCell(item, column, quantityText(value, 2));
        marcar(item, true);
    } else {
        setCell(item, column, quantityText(0.0, 2));
        marcar(item, false);
    }
}

void Lib_FrmCons3::addQuantity(double delta)
{
    const int column = quantityColumn();
    QTreeWidgetItem* item = selectedRow();
    const double value = leadingQuantity(item->text(column), nullptr);
    setCell(item, column, quantityText(value + delta, 1));
    if (delta > 0) {
        marcar(item, true);
    } else if (leadingQuantity(item->text(column), nullptr) <= 0.0) {
        marcar(item, false);
        setCell(item, column, quantityText(0.0, 2));
    }
}

void Lib_FrmCons3::setCell(QTreeWidgetItem* item, int column, const QString& text)
{
    item->setText(column, text);
    const int row = LookupItem::rowOf(item);
    if (column < m_cells.size() && row >= 0 && row < m_cells.at(column).size()) {
        m_cells[column][row] = text.trimmed();
        if (column < m_folded.size() && row < m_folded.at(column).size())
            m_folded[column][row] = TextFold::fold(m_cells.at(column).at(row));
    }
}

QString Lib_FrmCons3::cellValue(const QTreeWidgetItem* item, int position) const
{
    return item->text(position - 1);
}

void Lib_FrmCons3::CmdAceptar_Click()
{
    if (CheckBoxes) {
        if (CampoDevuelto.isEmpty() && m_list->columnCount() > 0)
            CampoDevuelto = m_list->headerItem()->text(0);
        // The values are gathered first and handed over only when the window
        // closes, so an accept stopped half-way adds nothing twice.
        QStringList picked;
        const int n = m_list->topLevelItemCount();
        for (int i = 0; i < n; ++i) {
            QTreeWidgetItem* item = m_list->topLevelItem(i);
            if (!marcada(item)) continue;
            const bool goOn = guarded(QStringLiteral("HScroll1_Change"), [&] {
                const int p = IndiceColumna(CampoDevuelto);
                if (p < 1)
                    throw ServiceError(
                        ServiceError::InvalidCall,
                        QStringLiteral("La lista no tiene la columna %1.").arg(CampoDevuelto));
                picked << cellValue(item, p);
            });
            if (!goOn) return; // the window stays open
        }
        Valores = Valores.value_or(QStringList{}) + picked;
        hideWith(QDialog::Accepted);
        return;
    }

    QTreeWidgetItem* item = selectedRow();
    if (!item) {
        hideWith(QDialog::Accepted);
        return;
    }
    QString current;
    QStringList extra;
    if (CmpsDevueltos) {
        for (const QString& name : *CmpsDevueltos) {
            const int p = IndiceColumna(name);
            if (p >= 1) current = cellValue(item, p);
            extra << current;
        }
    }
    if (!CampoDevuelto.trimmed().isEmpty()) {
        const int p = IndiceColumna(CampoDevuelto);
        if (p >= 1) current = cellValue(item, p);
    }
    Valores = Valores.value_or(QStringList{}) + extra;
    ValorDevuelto = current;
    hideWith(QDialog::Accepted);
}

void Lib_FrmCons3::CmdCancelar_Click()
{
    ValorDevuelto = QString();
    CmpsDevueltos.reset();
    Valores.reset();
    hideWith(QDialog::Rejected);
}

void Lib_FrmCons3::hideWith(int result)
{
    QDialog::done(result);
}

void Lib_FrmCons3::reject()
{
    // Esc anywhere is the cancel button; the title-bar button only closes.
    if (m_closingFromTitle)
        QDialog::reject();
    else
        CmdCancelar_Click();
}

void Lib_FrmCons3::closeEvent(QCloseEvent* e)
{
    m_closingFromTitle = true;
    Form_Unload();
    QDialog::closeEvent(e);
    m_closingFromTitle = false;
}
