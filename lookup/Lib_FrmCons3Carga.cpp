#include "Lib_FrmCons3.h"

#include "DataService.h"
#include "Dialogs.h"
#include "LookupItem.h"
#include "RecordSet.h"
#include "ServiceError.h"
#include "TextFold.h"
#include "Twips.h"
#include "UtilService.h"

#include <QCollator>
#include <QComboBox>
#include <QHeaderView>
#include <QLocale>
#include <QTreeWidget>
#include <numeric>

// The lookup window: reading the statement into the list, and its order.

namespace
{

// A field value as the list shows it. Texts are taken as they are; other
// values go through the utility service's value to text.
QString valueText(const QVariant& v)
{
    if (v.metaType().id() == QMetaType::QString) return v.toString();
    return UtilService::valueToText(v);
}

} // namespace

void Lib_FrmCons3::Form_Load()
{
    m_loaded = true;
    const QString source = QStringLiteral("FORM_LOAD");
    const std::function<void()> steps[] = {
        [this] {
            Valores = QStringList{};
            Cantidades = QStringList{};
        },
        [this] {
            m_list->clear();
            m_cells.clear();
            m_folded.clear();
            m_order.clear();
            m_orderedBy.reset();
        },
        [this] {
            if (m_sqlOriginal.isEmpty()) m_sqlOriginal = Sql;
        },
        [this] { m_sqlActual = Sql; },
        [this] {
            m_rs.reset();
            // The search values belong to the statement they were added to.
            if (Sql != m_paramsFor) {
                m_params.clear();
                m_paramsFor = Sql;
            }
            if (!m_data)
                throw ServiceError(ServiceError::NotConnected,
                                   QStringLiteral("No hay conexión abierta con la base de datos."));
            m_rs = std::make_unique<RecordSet>(m_data->openRecordSet(Sql, m_params));
        },
        [] { /* check boxes follow CheckBoxes as the rows are read */ },
        [this] { Encolumnar(); },
        [this] { Leer(); },
        [this] {
            alignSearchBoxes();
            int total = 0;
            for (int i = 0; i < m_list->columnCount(); ++i)
                total += Twips::fromPx(m_list->columnWidth(i));
            m_totalTwips = total;
        },
        [this] { fitWidthToColumns(); },
        [this] {
            if (OrdenarPorLwv) {
                m_sorted = true;
                sortList();
            }
            if (!selectedRow() && m_list->topLevelItemCount() > 0)
                selectRow(m_list->topLevelItem(0));
        },
        [this] { UtilService::setupWindow(this, false); },
        [this] {
            if (FiltroInicial.trimmed().isEmpty()) return;
            QComboBox* box = m_search.first();
            if (box->currentText() == FiltroInicial)
                CmbSearch_Change(0);
            else
                box->setEditText(FiltroInicial);
        },
        [this] { m_rs.reset(); },
        // The help line says what the list now holds, unless the search
        // text put back matches no row.
        [this] {
            if (m_sinCoincidencia < 0) mostrarAyuda();
        },
    };
    for (const auto& step : steps)
        if (!guarded(source, step)) return;
}

void Lib_FrmCons3::Leer()
{
    if (!m_rs) return;
    const int n = m_rs->fieldCount();
    const auto& rows = m_rs->rows();
    const int count = int(rows.size());
    m_cells = QVector<QVector<QString>>(n, QVector<QString>(count));
    m_folded.clear();
    m_order.clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(count);
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (CheckBoxes) flags |= Qt::ItemIsUserCheckable;
    QStringList texts;
    for (int r = 0; r < count; ++r) {
        const auto& row = rows.at(r);
        texts.clear();
        texts.reserve(n);
        if (n > 0) texts << valueText(row.at(0)).trimmed();
        for (int i = 1; i < n; ++i)
            texts << UtilService::fixedWidth(valueText(row.at(i)));
        for (int i = 0; i < n; ++i)
            m_cells[i][r] = texts.at(i).trimmed();
        auto* item = new LookupItem(texts, r);
        item->setFlags(flags);
        if (CheckBoxes) item->setCheckState(0, Qt::Unchecked);
        items.append(item);
    }
    // A list that keeps itself sorted takes the rows in order.
    const bool sorted = (m_sorted || OrdenarPorLwv) && n > 0;
    const int column = std::clamp(m_sortColumn, 0, std::max(0, n - 1));
    if (sorted) items = ordered(items, column, m_sortOrder);
    m_list->addTopLevelItems(items);
    m_order.resize(count);
    for (int i = 0; i < count; ++i)
        m_order[i] = LookupItem::rowOf(items.at(i));
    m_orderedBy =
        sorted ? std::optional<std::pair<int, Qt::SortOrder>>({column, m_sortOrder}) : std::nullopt;
}

QList<QTreeWidgetItem*> Lib_FrmCons3::ordered(QList<QTreeWidgetItem*> items, int column,
                                              Qt::SortOrder order) const
{
    if (column < 0 || column >= m_cells.size() || items.size() < 2) return items;
    const QVector<QString>& cells = m_cells.at(column);
    auto textOf = [&](const QTreeWidgetItem* item) {
        const int row = LookupItem::rowOf(item);
        return row >= 0 && row < cells.size() ? cells.at(row) : item->text(column).trimmed();
    };
    std::vector<int> index(items.size());
    std::iota(index.begin(), index.end(), 0);
    // One sort key per row, ignoring case: the locale's collation, or the
    // case-folded text where the locale has none (C).
    auto sortBy = [&](const auto& keys) {
        if (order == Qt::AscendingOrder)
            std::stable_sort(index.begin(), index.end(),
                             [&](int a, int b) { return keys[a] < keys[b]; });
        else
            std::stable_sort(index.begin(), index.end(),
                             [&](int a, int b) { return keys[b] < keys[a]; });
    };
    if (QLocale().language() == QLocale::C) {
        // The folded texts also serve the incremental search later.
        const QVector<QString>& folded = foldedColumn(column);
        std::vector<std::u16string_view> keys;
        keys.reserve(items.size());
        std::vector<QString> loose; // texts of rows the window did not read
        loose.reserve(items.size());
        for (const QTreeWidgetItem* item : items) {
            const int row = LookupItem::rowOf(item);
            const QString* t = nullptr;
            if (row >= 0 && row < folded.size()) {
                t = &folded.at(row);
            } else {
                loose.push_back(TextFold::fold(textOf(item)));
                t = &loose.back();
            }
            keys.emplace_back(reinterpret_cast<const char16_t*>(t->utf16()), size_t(t->size()));
        }
        sortBy(keys);
    } else {
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::vector<QCollatorSortKey> keys;
        keys.reserve(items.size());
        for (const QTreeWidgetItem* item : items)
            keys.push_back(collator.sortKey(textOf(item)));
        sortBy(keys);
    }
    QList<QTreeWidgetItem*> out;
    out.reserve(items.size());
    for (int i : index)
        out.append(items.at(i));
    return out;
}

void Lib_FrmCons3::ListView1_ColumnClick(int column)
{
    m_sorted = true;
    m_sortColumn = column;
    m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    sortList();
}

void Lib_FrmCons3::sortList()
{
    if (m_list->columnCount() == 0) return;
    const int column = std::clamp(m_sortColumn, 0, m_list->columnCount() - 1);
    m_list->header()->setSortIndicatorShown(true);
    m_list->header()->setSortIndicator(column, m_sortOrder);
    const std::pair<int, Qt::SortOrder> wanted{column, m_sortOrder};
    if (m_orderedBy != wanted) {
        QTreeWidgetItem* current = m_list->currentItem();
        const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
        QList<QTreeWidgetItem*> items =
            ordered(m_list->invisibleRootItem()->takeChildren(), column, m_sortOrder);
        m_list->addTopLevelItems(items);
        m_order.resize(items.size());
        for (int i = 0; i < items.size(); ++i)
            m_order[i] = LookupItem::rowOf(items.at(i));
        m_orderedBy = wanted;
        if (current) m_list->setCurrentItem(current);
        for (QTreeWidgetItem* it : selected)
            it->setSelected(true);
    }
    if (QTreeWidgetItem* sel = selectedRow()) m_list->scrollToItem(sel);
}

void Lib_FrmCons3::CmdNueva_Click()
{
    m_busquedas.clear();
    m_sinAcotar = false;
    Sql = m_sqlOriginal;
    m_params.clear();
    m_paramsFor = Sql;
    Form_Load();
}

void Lib_FrmCons3::Form_Unload()
{
    try {
        m_list->clear();
        m_cells.clear();
        m_folded.clear();
        m_order.clear();
        m_orderedBy.reset();
    } catch (const std::exception& e) {
        Dialogs::instance().message(this, QStringLiteral("Aviso al Operador"),
                                    QString::fromLocal8Bit(e.what()), Dialogs::Icon::Critical);
    }
}
