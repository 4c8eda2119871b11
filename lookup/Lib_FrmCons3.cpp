#include "Lib_FrmCons3.h"

#include "DataService.h"
#include "Dialogs.h"
#include "KeyCodes.h"
#include "RecordSet.h"
#include "ServiceError.h"
#include "Twips.h"
#include "UtilService.h"

#include <QCloseEvent>
#include <QCollator>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>
#include <cmath>
#include <numeric>

namespace
{

// Design sizes, in twips.
constexpr int kClientWidth = 7260;
constexpr int kClientHeight = 4530;
constexpr int kFrameWidth = 7215;
constexpr int kFrameHeight = 255;
constexpr int kScrollHeight = 255;
constexpr int kSearchHeight = 315;
constexpr int kListTop = 360;
constexpr int kMaxMeasure = 60; // widest column, in letters X

// The check state of a row, kept also when the check boxes are hidden.
constexpr int kCheckedRole = Qt::UserRole + 1;

// A row of the list, numbered in the order it was read; the window keeps the
// trimmed texts of every row by that number for searching and sorting.
class LookupItem : public QTreeWidgetItem
{
public:
    LookupItem(const QStringList& texts, int row)
        : QTreeWidgetItem(texts, QTreeWidgetItem::UserType), row(row)
    {
    }
    const int row;
};

int rowOf(const QTreeWidgetItem* item)
{
    return item && item->type() == QTreeWidgetItem::UserType
               ? static_cast<const LookupItem*>(item)->row
               : -1;
}

// A field value as the list shows it. Texts are taken as they are; other
// values go through the utility service's value to text.
QString valueText(const QVariant& v)
{
    if (v.metaType().id() == QMetaType::QString) return v.toString();
    return UtilService::valueToText(v);
}

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

bool isPlainName(const QString& name)
{
    if (name.isEmpty() || name.at(0).isDigit()) return false;
    for (QChar c : name)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'_') return false;
    return true;
}

} // namespace

Lib_FrmCons3::Lib_FrmCons3(DataService* data, QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_data(data)
{
    setObjectName(QStringLiteral("Lib_FrmCons3"));
    setWindowTitle(QStringLiteral("Consulta..."));
    setSizeGripEnabled(true);
    setMinimumSize(Twips::toPx(3000), Twips::toPx(2400));

    m_picFields = new QWidget(this);
    m_picFields->setObjectName(QStringLiteral("picFields"));
    m_picFields->setGeometry(0, 0, Twips::toPx(7200), Twips::toPx(4215));

    m_list = new QTreeWidget(m_picFields);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setGeometry(0, Twips::toPx(kListTop), Twips::toPx(7335), Twips::toPx(3495));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setItemsExpandable(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);   // no in-place editing
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // HScroll1 slides it
    m_list->setColumnCount(0);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionsClickable(true);
    m_list->header()->setSortIndicatorShown(false);
    m_list->installEventFilter(this);
    connect(m_list->header(), &QHeaderView::sectionClicked, this,
            [this](int section) { ListView1_ColumnClick(section); });
    connect(m_list->header(), &QHeaderView::sectionResized, this,
            [this](int, int, int) { alignSearchBoxes(); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem*, int) { ListView1_DblClick(); });

    addSearchBox();

    m_hscroll = new QScrollBar(Qt::Horizontal, this);
    m_hscroll->setObjectName(QStringLiteral("HScroll1"));
    m_hscroll->setGeometry(0, Twips::toPx(3840), Twips::toPx(kFrameWidth),
                           Twips::toPx(kScrollHeight));
    m_hscroll->setRange(0, 0);
    m_hscroll->setSingleStep(Twips::toPx(300));
    m_hscroll->setFocusPolicy(Qt::StrongFocus);
    connect(m_hscroll, &QScrollBar::valueChanged, this, [this](int v) { HScroll1_Change(v); });

    m_frame1 = new QFrame(this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setFrameShape(QFrame::NoFrame);
    m_frame1->setGeometry(0, Twips::toPx(4200), Twips::toPx(kFrameWidth),
                          Twips::toPx(kFrameHeight));
    auto button = [this](const char* name, const QString& caption, int left) {
        auto* b = new QPushButton(caption, m_frame1);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(Twips::toPx(left), 0, Twips::toPx(1695), Twips::toPx(kFrameHeight));
        b->setAutoDefault(false);
        return b;
    };
    m_cmdAceptar = button("CmdAceptar", QStringLiteral("&Aceptar"), 323);
    m_cmdCancelar = button("CmdCancelar", QStringLiteral("&Cancelar"), 2723);
    m_cmdNueva = button("CmdNueva", QStringLiteral("&Nueva Busqueda"), 5243);
    m_cmdAceptar->setDefault(true);
    connect(m_cmdAceptar, &QPushButton::clicked, this, [this] { CmdAceptar_Click(); });
    connect(m_cmdCancelar, &QPushButton::clicked, this, [this] { CmdCancelar_Click(); });
    connect(m_cmdNueva, &QPushButton::clicked, this, [this] { CmdNueva_Click(); });

    m_hscroll->raise();
    m_frame1->raise();

    setTabOrder(m_search.first(), m_list);
    setTabOrder(m_list, m_hscroll);
    setTabOrder(m_hscroll, m_cmdAceptar);
    setTabOrder(m_cmdAceptar, m_cmdCancelar);
    setTabOrder(m_cmdCancelar, m_cmdNueva);

    resize(Twips::toPx(kClientWidth), Twips::toPx(kClientHeight));
}

Lib_FrmCons3::~Lib_FrmCons3() = default;

QComboBox* Lib_FrmCons3::CmbSearch(int i) const
{
    return i >= 0 && i < m_search.size() ? m_search.at(i) : nullptr;
}

QComboBox* Lib_FrmCons3::addSearchBox()
{
    const int index = m_search.size();
    auto* box = new QComboBox(m_picFields);
    box->setObjectName(QStringLiteral("CmbSearch%1").arg(index));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    box->setToolTip(QStringLiteral("F5 realiza nueva busqueda"));
    box->setGeometry(0, 0, Twips::toPx(1815), Twips::toPx(kSearchHeight));
    box->setProperty("indice", index);
    box->installEventFilter(this);
    box->lineEdit()->setProperty("indice", index);
    box->lineEdit()->installEventFilter(this);
    connect(box, &QComboBox::editTextChanged, this,
            [this, index](const QString&) { CmbSearch_Change(index); });
    connect(box, &QComboBox::textActivated, this,
            [this, index](const QString&) { CmbSearch_Change(index); });
    m_search.append(box);
    if (index > 0) setTabOrder(m_search.at(index - 1), box);
    return box;
}

bool Lib_FrmCons3::guarded(const QString& source, const std::function<void()>& step)
{
    while (true) {
        try {
            step();
            return true;
        } catch (const ServiceError& e) {
            const int answer = UtilService::errorDialog(this, e, source);
            if (answer == Dialogs::Retry) continue;
            return answer == Dialogs::Ignore;
        } catch (const std::exception& e) {
            const ServiceError wrapped(ServiceError::InvalidCall, QString::fromLocal8Bit(e.what()));
            const int answer = UtilService::errorDialog(this, wrapped, source);
            if (answer == Dialogs::Retry) continue;
            return answer == Dialogs::Ignore;
        }
    }
}

// ---- Loading ----------------------------------------------------------------

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
        [this] {
            const QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen();
            const int screenTwips = scr ? Twips::fromPx(scr->availableGeometry().width()) : 0;
            const int listTwips = m_totalTwips + 360;
            int outer = listTwips + 280;
            if (screenTwips > 0 && listTwips + 360 >= screenTwips) outer = screenTwips - 480;
            // Never narrower than designed, so that the three buttons show.
            resize(std::max(Twips::toPx(kClientWidth), Twips::toPx(outer - NonClientWidth)),
                   height());
            Form_Resize();
        },
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
    };
    for (const auto& step : steps)
        if (!guarded(source, step)) return;
}

void Lib_FrmCons3::Encolumnar()
{
    // Without a result (the statement was refused) the columns stay as they
    // were and there is nothing to build.
    if (!m_rs) return;
    try {
        const int n = m_rs->fieldCount();
        if (m_list->topLevelItemCount() > 0) {
            m_list->clear();
            m_cells.clear();
            m_folded.clear();
            m_order.clear();
            m_orderedBy.reset();
        }
        m_list->setColumnCount(n);
        QStringList headers;
        for (int i = 0; i < n; ++i)
            headers << m_rs->fieldName(i);
        m_list->setHeaderLabels(headers);
        const QFontMetrics fm = m_list->fontMetrics();
        for (int i = 0; i < n; ++i) {
            int w = m_rs->field(i).definedSize;
            QComboBox* box = i < m_search.size() ? m_search.at(i) : addSearchBox();
            box->setProperty("tag", m_rs->fieldName(i));
            box->setVisible(true);
            w = std::clamp(w, 1, kMaxMeasure);
            m_list->setColumnWidth(i, fm.horizontalAdvance(QString(w, u'X')) + cellMargin(i));
        }
        // Boxes of a wider earlier result have no column now.
        for (int i = n; i < m_search.size(); ++i)
            if (i > 0) m_search.at(i)->setVisible(false);
    } catch (const std::exception& e) {
        Dialogs::instance().message(this, QCoreApplication::applicationName(),
                                    QString::fromLocal8Bit(e.what()), Dialogs::Icon::None);
    }
}

int Lib_FrmCons3::cellMargin(int column) const
{
    // What the list draws around a cell's text: its margins, and the check
    // box of the first column in multi-pick mode.
    QStyle* st = m_list->style();
    const int margin = 2 * (st->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_list) + 1);
    if (column == 0 && CheckBoxes)
        return 2 * margin + st->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, m_list);
    return margin;
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
        m_order[i] = rowOf(items.at(i));
    m_orderedBy =
        sorted ? std::optional<std::pair<int, Qt::SortOrder>>({column, m_sortOrder}) : std::nullopt;
}

QList<QTreeWidgetItem*> Lib_FrmCons3::ordered(QList<QTreeWidgetItem*> items, int column,
                                              Qt::SortOrder order) const
{
    if (column < 0 || column >= m_cells.size() || items.size() < 2) return items;
    const QVector<QString>& cells = m_cells.at(column);
    auto textOf = [&](const QTreeWidgetItem* item) {
        const int row = rowOf(item);
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
            const int row = rowOf(item);
            const QString* t = nullptr;
            if (row >= 0 && row < folded.size()) {
                t = &folded.at(row);
            } else {
                loose.push_back(textOf(item).toCaseFolded());
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

void Lib_FrmCons3::alignSearchBoxes()
{
    const int offset = m_list->x() + m_list->frameWidth();
    for (int i = 0; i < m_list->columnCount() && i < m_search.size(); ++i) {
        QComboBox* box = m_search.at(i);
        const int width = m_list->columnWidth(i);
        box->setGeometry(offset + m_list->header()->sectionPosition(i), 0,
                         std::max(0, width - Twips::toPx(50)), Twips::toPx(kSearchHeight));
    }
}

int Lib_FrmCons3::IndiceColumna(const QString& columna) const
{
    const QString wanted = columna.trimmed();
    QTreeWidgetItem* header = m_list->headerItem();
    for (int i = 0; i < m_list->columnCount(); ++i)
        if (header->text(i).trimmed().compare(wanted, Qt::CaseInsensitive) == 0) return i + 1;
    return 0;
}

// ---- Layout -----------------------------------------------------------------

void Lib_FrmCons3::Form_Resize()
{
    const int outerW = Twips::fromPx(width()) + NonClientWidth;
    const int outerH = Twips::fromPx(height()) + NonClientHeight;
    const int picH = outerH - kFrameHeight - 480;
    const int listH = picH - kFrameHeight - 600;
    // The panel holds every column, so that the search boxes stay over their
    // columns; HScroll1 slides it when it is wider than the window.
    const int picW = std::max(outerW - 120, m_totalTwips + 360);
    m_picFields->setGeometry(m_picFields->x(), 0, Twips::toPx(picW),
                             Twips::toPx(std::max(0, picH)));
    m_list->setGeometry(0, Twips::toPx(kListTop), Twips::toPx(picW - 20),
                        Twips::toPx(std::max(0, listH)));
    m_frame1->move(Twips::toPx(Twips::fromPx(width()) / 2 - kFrameWidth / 2),
                   Twips::toPx(outerH - kFrameHeight - 420));
    m_hscroll->setGeometry(0, Twips::toPx(picH - kScrollHeight - 120), width(),
                           Twips::toPx(kScrollHeight));
    const int excess = std::max(0, m_picFields->width() - width());
    m_hscroll->setRange(0, excess);
    m_hscroll->setPageStep(std::max(1, width()));
    m_hscroll->setEnabled(excess > 0);
    HScroll1_Change(m_hscroll->value());
}

void Lib_FrmCons3::HScroll1_Change(int value)
{
    m_picFields->move(-value, 0);
}

void Lib_FrmCons3::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    Form_Resize();
}

void Lib_FrmCons3::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!m_loaded) {
        Form_Load();
        Form_Resize();
        if (!m_search.isEmpty()) m_search.first()->setFocus();
    }
}

// ---- Sorting ----------------------------------------------------------------

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
            m_order[i] = rowOf(items.at(i));
        m_orderedBy = wanted;
        if (current) m_list->setCurrentItem(current);
        for (QTreeWidgetItem* it : selected)
            it->setSelected(true);
    }
    if (QTreeWidgetItem* sel = selectedRow()) m_list->scrollToItem(sel);
}

// ---- Searching --------------------------------------------------------------

int Lib_FrmCons3::Busqueda(int clave, const QString& queValor) const
{
    const int column = clave <= 0 ? 0 : clave;
    if (column >= m_list->columnCount()) return 0;
    const int n = m_list->topLevelItemCount();
    if (column < m_cells.size() && m_order.size() == n) {
        // The kept texts of the rows, case-folded once per column, in list
        // order.
        const QVector<QString>& folded = foldedColumn(column);
        const QString wanted = queValor.toCaseFolded();
        for (int i = 0; i < n; ++i)
            if (folded.at(m_order.at(i)).startsWith(wanted)) return i + 1;
        return 0;
    }
    const QStringView wanted(queValor);
    for (int i = 0; i < n; ++i) {
        const QString cell = m_list->topLevelItem(i)->text(column);
        if (QStringView(cell).trimmed().startsWith(wanted, Qt::CaseInsensitive)) return i + 1;
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
            folded[r] = cells.at(r).toCaseFolded();
    }
    return folded;
}

void Lib_FrmCons3::setCell(QTreeWidgetItem* item, int column, const QString& text)
{
    item->setText(column, text);
    const int row = rowOf(item);
    if (column < m_cells.size() && row >= 0 && row < m_cells.at(column).size()) {
        m_cells[column][row] = text.trimmed();
        if (column < m_folded.size() && row < m_folded.at(column).size())
            m_folded[column][row] = m_cells.at(column).at(row).toCaseFolded();
    }
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
    } catch (...) {
    }
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
            // narrows the list.
            if (m_paramsFor != m_sqlActual) m_params.clear();
            Sql = m_sqlActual + joint + name + QStringLiteral(" like ?");
            m_params.append(QStringLiteral("%") + box->currentText() + QStringLiteral("%"));
            m_paramsFor = Sql;
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

// ---- The list's keys --------------------------------------------------------

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
        Dialogs::instance().inputBox(this, QStringLiteral("Ingrese la Cantidad del Articulo..."),
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

// ---- Accept and cancel ------------------------------------------------------

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

void Lib_FrmCons3::CmdNueva_Click()
{
    Sql = m_sqlOriginal;
    m_params.clear();
    m_paramsFor = Sql;
    Form_Load();
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

// ---- Event routing ----------------------------------------------------------

bool Lib_FrmCons3::eventFilter(QObject* obj, QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        auto* ke = static_cast<QKeyEvent*>(e);
        const int code = KeyCodes::fromQt(ke->key());
        const int shift = KeyCodes::shiftState(ke->modifiers());
        if (obj == m_list) {
            if (code != 0 && ListView1_KeyDown(code, shift)) return true;
        } else {
            const QVariant index = obj->property("indice");
            if (index.isValid() && code != 0 && CmbSearch_KeyDown(index.toInt(), code, shift))
                return true;
        }
    } else if (e->type() == QEvent::FocusIn && obj != m_list) {
        const QVariant index = obj->property("indice");
        if (index.isValid()) CmbSearch_GotFocus(index.toInt());
    }
    return QDialog::eventFilter(obj, e);
}
