#include "Lib_FrmCons3.h"

#include "DataService.h"
#include "Dialogs.h"
#include "KeyCodes.h"
#include "LookupColumns.h"
#include "RecordSet.h"
#include "ServiceError.h"
#include "Twips.h"
#include "UtilService.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>

// The window's construction, layout and columns. Loading is in
// Lib_FrmCons3Carga.cpp, searching in Lib_FrmCons3Busqueda.cpp, the accept,
// cancel and quantities in Lib_FrmCons3Retorno.cpp.

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
// The help line under the list.
constexpr int kHelpHeight = 255;
// The smallest window: buttons, scroll bar, help line, the search boxes and
// the header with three rows of the list.
constexpr int kMinimumHeight = 3000;

} // namespace

Lib_FrmCons3::Lib_FrmCons3(DataService* data, QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_data(data)
{
    setObjectName(QStringLiteral("Lib_FrmCons3"));
    setWindowTitle(QStringLiteral("Consulta..."));
    setSizeGripEnabled(true);
    // Never smaller than the row of buttons, the search boxes, a few rows of
    // the list and the help line.
    setMinimumSize(Twips::toPx(kFrameWidth), Twips::toPx(kMinimumHeight));

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

    // What the search boxes do, said in the window; also where a typed text
    // that matches no row is reported.
    m_lblAyuda = new QLabel(m_picFields);
    m_lblAyuda->setObjectName(QStringLiteral("lblAyuda"));
    m_lblAyuda->setTextFormat(Qt::PlainText);
    mostrarAyuda();

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
    m_cmdNueva = button("CmdNueva", QStringLiteral("&Nueva Búsqueda"), 5243);
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
    box->setToolTip(QStringLiteral("F5 realiza nueva búsqueda"));
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
        for (int i = 0; i < n; ++i) {
            QComboBox* box = i < m_search.size() ? m_search.at(i) : addSearchBox();
            box->setProperty("tag", m_rs->fieldName(i));
            box->setVisible(true);
            m_list->setColumnWidth(i, columnWidth(m_rs->field(i), i));
        }
        // Boxes of a wider earlier result have no column now.
        for (int i = n; i < m_search.size(); ++i)
            if (i > 0) m_search.at(i)->setVisible(false);
    } catch (const std::exception& e) {
        Dialogs::instance().message(this, QCoreApplication::applicationName(),
                                    QString::fromLocal8Bit(e.what()), Dialogs::Icon::None);
    }
}

int Lib_FrmCons3::columnWidth(const RecordSet::Field& field, int column)
{
    // A column keeps the width it first got in this window, so that a new
    // search (fewer rows, other values) does not move the columns.
    const QString key = field.name.trimmed().toLower() + u'\n' + QString::number(column);
    if (const auto it = m_widths.constFind(key); it != m_widths.constEnd()) return *it;
    if (!field.declared && m_declared.isEmpty() && m_data) {
        // The lengths the statement's tables and views declare, read once.
        for (const QString& source : LookupColumns::sources(Sql)) {
            try {
                const QHash<QString, int> lengths = m_data->declaredLengths(source);
                for (auto it = lengths.constBegin(); it != lengths.constEnd(); ++it)
                    if (!m_declared.contains(it.key())) m_declared.insert(it.key(), it.value());
            } catch (const ServiceError&) {
                // No declared lengths: the longest value read stands for them.
            }
        }
    }
    const int w = LookupColumns::width(LookupColumns::measure(field, m_declared), field.name,
                                       m_list->fontMetrics(), m_list->header()->fontMetrics(),
                                       cellMargin(column));
    m_widths.insert(key, w);
    return w;
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

void Lib_FrmCons3::fitWidthToColumns()
{
    const QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen();
    const int screenTwips = scr ? Twips::fromPx(scr->availableGeometry().width()) : 0;
    const int listTwips = m_totalTwips + 360;
    int outer = listTwips + 280;
    if (screenTwips > 0 && listTwips + 360 >= screenTwips) outer = screenTwips - 480;
    // Never narrower than designed, so that the three buttons show.
    resize(std::max(Twips::toPx(kClientWidth), Twips::toPx(outer - NonClientWidth)), height());
    Form_Resize();
}

void Lib_FrmCons3::Form_Resize()
{
    const int outerW = Twips::fromPx(width()) + NonClientWidth;
    const int outerH = Twips::fromPx(height()) + NonClientHeight;
    const int picH = outerH - kFrameHeight - 480;
    // The help line takes its height from the list.
    const int listH = picH - kFrameHeight - 600 - kHelpHeight;
    // The panel holds every column, so that the search boxes stay over their
    // columns; HScroll1 slides it when it is wider than the window.
    const int picW = std::max(outerW - 120, m_totalTwips + 360);
    m_picFields->setGeometry(m_picFields->x(), 0, Twips::toPx(picW),
                             Twips::toPx(std::max(0, picH)));
    m_list->setGeometry(0, Twips::toPx(kListTop), Twips::toPx(picW - 20),
                        Twips::toPx(std::max(0, listH)));
    // Under the list, in the part of the panel the window shows.
    m_lblAyuda->setGeometry(m_hscroll->value() + Twips::toPx(60),
                            Twips::toPx(kListTop + std::max(0, listH) + 15),
                            std::max(0, width() - Twips::toPx(120)), Twips::toPx(kHelpHeight));
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
    m_lblAyuda->move(value + Twips::toPx(60), m_lblAyuda->y());
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
