#include "Lib_FrmCons3.h"

#include "DataService.h"
#include "KeyCodes.h"
#include "LookupItem.h"
#include "TextFold.h"
#include "UtilService.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTreeWidget>

// The lookup window's searches: the typed search in the loaded list, the new
// search that narrows the statement (F5), and the keys that lead to them.

namespace
{

// A searched text as the help line quotes it: whole up to 24 characters.
QString quoted(const QString& text)
{
    return QStringLiteral("«%1»").arg(text.size() > 24 ? text.left(23) + u'…' : text);
}

bool isPlainName(const QString& name)
{
    if (name.isEmpty() || name.at(0).isDigit()) return false;
    for (QChar c : name)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'_') return false;
    return true;
}

} // namespace

int Lib_FrmCons3::Busqueda(int clave, const QString& queValor) const
{
    const int column = clave <= 0 ? 0 : clave;
    if (column >= m_list->columnCount()) return 0;
    const int n = m_list->topLevelItemCount();
    if (column < m_cells.size() && m_order.size() == n) {
        // The kept texts of the rows, folded once per column (no case, no
        // accents), in list order.
        const QVector<QString>& folded = foldedColumn(column);
        const QString wanted = TextFold::fold(queValor);
        for (int i = 0; i < n; ++i)
            if (folded.at(m_order.at(i)).startsWith(wanted)) return i + 1;
        return 0;
    }
    const QString wanted = TextFold::fold(queValor);
    for (int i = 0; i < n; ++i) {
        const QString cell = m_list->topLevelItem(i)->text(column);
        if (TextFold::fold(QStringView(cell).trimmed()).startsWith(wanted)) return i + 1;
    }
    return 0;
}

const QVector<QString>& Lib_FrmCons3::foldedColumn(int column) const
{
    if (m_folded.size() != m_cells.size()) m_folded = QVector<QVector<QString>>(m_cells.size());
    QVector<QString>& folded = m_folded[column];
    const QVector<QString>& cells = m_cells.at(column);
    if (folded.size() != cells.size()) {
        folded.resize(cells.size());
        for (int r = 0; r < cells.size(); ++r)
            folded[r] = TextFold::fold(cells.at(r));
    }
    return folded;
}

void Lib_FrmCons3::selectRow(QTreeWidgetItem* item)
{
    if (!item) return;
    m_list->setCurrentItem(item);
    item->setSelected(true);
    m_list->scrollToItem(item);
}

void Lib_FrmCons3::CmbSearch_GotFocus(int index)
{
    m_indiceActivo = index;
}

void Lib_FrmCons3::CmbSearch_Change(int index)
{
    QComboBox* box = CmbSearch(index);
    if (!box) return;
    int clave = 0;
    QString sought;
    try {
        clave = int(UtilService::textToNumber(QString::number(index)));
    } catch (...) {
    }
    try {
        sought = box->currentText().trimmed();
    } catch (...) {
    }
    try {
        const int pos = Busqueda(clave, sought);
        if (pos > 0) selectRow(m_list->topLevelItem(pos - 1));
        // A text no row begins with is shown as such: the selection stays on
        // the row found before, which Enter in this box must not take.
        mostrarCoincidencia(index, pos > 0 || sought.isEmpty(), sought);
    } catch (...) {
    }
}

bool Lib_FrmCons3::sinCoincidencia(int index) const
{
    return index >= 0 && index == m_sinCoincidencia;
}

void Lib_FrmCons3::mostrarCoincidencia(int index, bool found, const QString& sought)
{
    QComboBox* box = CmbSearch(index);
    if (!box) return;
    if (found) {
        if (m_sinCoincidencia != index) return;
        m_sinCoincidencia = -1;
        box->lineEdit()->setPalette(QPalette());
        mostrarAyuda();
        return;
    }
    if (m_sinCoincidencia >= 0 && m_sinCoincidencia != index)
        if (QComboBox* other = CmbSearch(m_sinCoincidencia))
            other->lineEdit()->setPalette(QPalette());
    m_sinCoincidencia = index;
    QPalette p = box->lineEdit()->palette();
    p.setColor(QPalette::Base, QColor(0xff, 0xd0, 0xd0));
    p.setColor(QPalette::Text, QColor(0x80, 0x00, 0x00));
    box->lineEdit()->setPalette(p);
    QPalette lp = m_lblAyuda->palette();
    lp.setColor(QPalette::WindowText, QColor(0xb0, 0x00, 0x00));
    m_lblAyuda->setPalette(lp);
    m_lblAyuda->setText(QStringLiteral("Ninguna fila empieza con %1 · "
                                       "F5: buscarlo en cualquier parte")
                            .arg(quoted(sought)));
    m_lblAyuda->setToolTip(QString());
}

void Lib_FrmCons3::mostrarAyuda()
{
    m_lblAyuda->setPalette(QPalette());
    m_lblAyuda->setToolTip(QString());
    if (m_busquedas.isEmpty()) {
        m_lblAyuda->setText(m_sinAcotar ? QStringLiteral("F5 no acota esta lista: su consulta ya "
                                                         "tiene un orden (ORDER BY) · Escriba "
                                                         "para ir a la fila que empieza así")
                                        : QStringLiteral("Escriba para ir a la fila que empieza "
                                                         "así · F5: buscar el texto en cualquier "
                                                         "parte"));
        return;
    }
    // The search in force: every F5 term with its column, and what it found.
    QStringList terms;
    for (const auto& [column, term] : m_busquedas)
        terms << quoted(term) + QStringLiteral(" en ") + column;
    const QString which = terms.join(QStringLiteral(" y "));
    const int rows = m_list->topLevelItemCount();
    QString text;
    if (rows == 0) {
        text = QStringLiteral("Búsqueda: ningún resultado para ") + which;
        QPalette lp = m_lblAyuda->palette();
        lp.setColor(QPalette::WindowText, QColor(0xb0, 0x00, 0x00));
        m_lblAyuda->setPalette(lp);
    } else {
        text = QStringLiteral("Búsqueda: %1 · %2 %3")
                   .arg(which, QLocale().toString(rows),
                        rows == 1 ? QStringLiteral("fila") : QStringLiteral("filas"));
    }
    text += QStringLiteral(" · Nueva Búsqueda: la lista entera");
    m_lblAyuda->setText(text);
    // The whole of it, should the window be too narrow for the line.
    m_lblAyuda->setToolTip(text);
}

bool Lib_FrmCons3::CmbSearch_KeyDown(int index, int keyCode, int /*shift*/)
{
    switch (keyCode) {
    case KeyCodes::F5:
        NuevaBusquedaEn(index);
        return true;
    case KeyCodes::Down:
    case KeyCodes::Up:
    case KeyCodes::PageDown:
    case KeyCodes::PageUp:
        try {
            ListView1_KeyDown(keyCode, 0);
        } catch (...) {
        }
        m_list->setFocus();
        return true;
    case KeyCodes::Enter:
        // With a text that matches no row the row still selected is the one
        // found before: it is not taken.
        if (sinCoincidencia(index))
            QApplication::beep();
        else
            CmdAceptar_Click();
        return true;
    case KeyCodes::Escape:
        CmdCancelar_Click();
        return true;
    default:
        return false;
    }
}

void Lib_FrmCons3::NuevaBusquedaEn(int index)
{
    QComboBox* box = CmbSearch(index);
    if (!box) return;
    try {
        if (!Sql.contains(QLatin1String("order"), Qt::CaseInsensitive)) {
            const QString tag = box->property("tag").toString();
            const QString name = isPlainName(tag) ? tag : u'[' + tag + u']';
            const QString joint = Sql.contains(QLatin1String("where"), Qt::CaseInsensitive)
                                      ? QStringLiteral(" and ")
                                      : QStringLiteral(" where ");
            // The typed text goes in as a bound value, so a quote in it only
            // narrows the list. Both sides are compared folded, as the typed
            // search compares: without regard to case or accents.
            if (m_paramsFor != m_sqlActual) m_params.clear();
            const QString condition =
                m_data ? m_data->dialect().foldedLike(name) : name + QStringLiteral(" like ?");
            Sql = m_sqlActual + joint + condition;
            m_params.append(QStringLiteral("%") + TextFold::fold(box->currentText()) +
                            QStringLiteral("%"));
            m_paramsFor = Sql;
            const int column = box->property("indice").toInt();
            const QString header =
                column < m_list->columnCount() ? m_list->headerItem()->text(column).trimmed() : tag;
            m_busquedas.append({header, box->currentText()});
            m_sinAcotar = false;
        } else {
            m_sinAcotar = m_busquedas.isEmpty();
        }
    } catch (...) {
    }
    try {
        box->setEditText(QString());
    } catch (...) {
    }
    m_sqlActual = Sql;
    Form_Load();
}

bool Lib_FrmCons3::ListView1_KeyDown(int keyCode, int shift)
{
    const QString source = QStringLiteral("ListView1_KeyDown");
    auto toSearchBox = [this](const QString& text, bool removeLast) {
        QComboBox* box = CmbSearch(m_indiceActivo);
        if (!box) box = m_search.first();
        QString t = box->currentText();
        if (removeLast)
            t.chop(1);
        else
            t += text;
        box->setEditText(t);
        box->setFocus();
    };
    const bool modifiers = (shift & 6) != 0; // Ctrl or Alt: shortcuts, not typing
    if (keyCode == KeyCodes::Enter) {
        CmdAceptar_Click();
        return true;
    }
    if (keyCode == KeyCodes::Insert && shift == 1 && UsaCantidades) {
        guarded(source, [this] { askQuantity(); });
        return true;
    }
    if (keyCode == KeyCodes::Insert && shift == 0 && UsaCantidades) {
        guarded(source, [this] { addQuantity(1.0); });
        return true;
    }
    if (keyCode == KeyCodes::Delete && shift == 0 && UsaCantidades) {
        guarded(source, [this] { addQuantity(-1.0); });
        return true;
    }
    if (!modifiers && ((keyCode >= 48 && keyCode <= 57) || (keyCode >= 65 && keyCode <= 90))) {
        guarded(source, [&] { toSearchBox(QString(QChar(keyCode)), false); });
        return true;
    }
    if (!modifiers && keyCode == KeyCodes::Space) {
        guarded(source, [&] { toSearchBox(QStringLiteral(" "), false); });
        return true;
    }
    if (!modifiers && keyCode == KeyCodes::Backspace) {
        guarded(source, [&] { toSearchBox(QString(), true); });
        return true;
    }
    return false;
}
