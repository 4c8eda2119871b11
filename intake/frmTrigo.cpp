#include "frmTrigo.h"

#include "CellEditor.h"
#include "ChangeHistory.h"
#include "ColumnOps.h"
#include "DailySheet.h"
#include "DataService.h"
#include "DayTotals.h"
#include "Dialogs.h"
#include "FieldLookups.h"
#include "FieldValidator.h"
#include "FlexGrid.h"
#include "FormService.h"
#include "IniReader.h"
#include "InstrumentBand.h"
#include "InstrumentCommands.h"
#include "InstrumentConfig.h"
#include "InstrumentHub.h"
#include "KeyCodes.h"
#include "Lib_ClsCons3.h"
#include "LiveSheet.h"
#include "ModGlobal.h"
#include "QualityDelegate.h"
#include "QualityLimits.h"
#include "ReportCommand.h"
#include "ServerWaitNotice.h"
#include "SessionService.h"
#include "SheetColumns.h"
#include "SheetCommands.h"
#include "SheetExport.h"
#include "SheetMenu.h"
#include "SheetSettlement.h"
#include "SheetRules.h"
#include "SiloPanel.h"
#include "TextBox.h"
#include "Twips.h"
#include "UtilService.h"
#include "UtilVextra.h"
#include "WindowPlacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

namespace {

QRect tw(int l, int t, int w, int h)
{
    return QRect(Twips::toPx(l), Twips::toPx(t), Twips::toPx(w), Twips::toPx(h));
}

// The program's own icon: a wheat ear on a round field.
QIcon builtInIcon()
{
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x2e, 0x6b, 0x30));
    p.setPen(Qt::NoPen);
    p.drawEllipse(2, 2, 60, 60);
    p.setPen(QPen(QColor(0xf2, 0xc1, 0x4e), 3));
    p.drawLine(32, 56, 32, 12);
    p.setBrush(QColor(0xf2, 0xc1, 0x4e));
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 5; ++i) {
        const int y = 14 + i * 8;
        p.drawEllipse(QRectF(20, y, 11, 7));
        p.drawEllipse(QRectF(33, y, 11, 7));
    }
    return QIcon(pm);
}

QToolButton* commandButton(QWidget* parent, const QString& name, const QString& caption,
                           const QString& tip, QStyle::StandardPixmap icon)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(caption);
    b->setToolTip(tip);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

} // namespace

frmTrigo::frmTrigo(DataService& data, Lib_ClsCons3& lookup, ReportPrinter* printer, QWidget* parent)
    : QWidget(parent), m_data(data), m_lookup(lookup), m_printer(printer)
{
    setObjectName(QStringLiteral("frmTrigo"));
    setWindowTitle(QStringLiteral("MOLVERA"));
    setWindowIcon(builtInIcon());
    buildControls();
    m_sheet = std::make_unique<DailySheet>(*this);
    m_commands = std::make_unique<SheetCommands>(*this);
    m_editor = std::make_unique<CellEditor>(*this);
    m_validator = std::make_unique<FieldValidator>(*this);
    m_lookups = std::make_unique<FieldLookups>(*this);
    m_columnOps = std::make_unique<ColumnOps>(*this);
    m_history = std::make_unique<ChangeHistory>(*this);
    m_limits = std::make_unique<QualityLimits>(*this);
    m_rules = std::make_unique<SheetRules>(*this);
    m_grid->setItemDelegate(new QualityDelegate(*m_limits, m_grid, m_rules.get()));
    connect(this, &frmTrigo::planillaCargada, this, [this] { m_limits->reload(); });
    connect(this, &frmTrigo::planillaPorLeer, this, [this] { m_rules->reload(); });
    m_totals = new DayTotals(*this, m_page0);
    m_live = new LiveSheet(*this);
    m_export = std::make_unique<SheetExport>(*this);
    m_sheetMenu = new SheetMenu(*this);
    m_settlement = new SheetSettlement(*this);
    m_instruments = new InstrumentHub(this);
    m_instrumentBand = new InstrumentBand(*m_instruments, m_frame2);
    m_instrumentCommands = std::make_unique<InstrumentCommands>(*this, *m_instruments);
    new ServerWaitNotice(m_data, this);
    new SheetColumns(*this);
    m_lookup.setDataService(&m_data);
    m_lookup.setParentWindow(this);
    connect(m_toolbar, &UtilVextra::BotonClick, this, &frmTrigo::ProcesarComando);
    connect(m_cmdCargar, &QToolButton::clicked, this, &frmTrigo::CmdCargar_Click);
    qApp->installEventFilter(this);
}

frmTrigo::~frmTrigo()
{
    qApp->removeEventFilter(this);
    // Hidden first, so that destroying the window is no close of the program.
    hide();
}

void frmTrigo::buildControls()
{
    QFont f = font();
    f.setPointSizeF(8.25);
    setFont(f);
    // The contents scroll where the window is smaller than they can be laid
    // out (a small screen, a large scale factor): every control stays
    // reachable.
    m_area = new QScrollArea(this);
    m_area->setObjectName(QStringLiteral("Contenido"));
    m_area->setFrameShape(QFrame::NoFrame);
    m_area->setWidgetResizable(false);
    m_content = new QWidget;
    m_area->setWidget(m_content);
    buildHeaderBand();
    buildTabs();
    // Start with room for the sheet's columns; the resize rule does the rest.
    resize(1100, 640);
}

void frmTrigo::placeOnScreen()
{
    const QScreen* s = screen();
    if (!s) return;
    const QRect r = WindowPlacement::first(s->availableGeometry(), QSize(1100, 640),
                                           WindowPlacement::usualFrame());
    setGeometry(r);
    m_placed = false;
}

QSize frmTrigo::leastContents() const
{
    // The header band's controls side by side, and below it the tabs with
    // the grid's header, a few rows and the day's totals.
    int right = 0;
    for (QWidget* c : m_frame2->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (c->isVisibleTo(m_frame2) && c != m_instrumentBand)
            right = std::max(right, c->geometry().right());
    const int rows = 4 * m_grid->verticalHeader()->defaultSectionSize();
    const int totals = m_totals ? m_totals->sizeHint().height() : 0;
    const int height = m_frame2->height() + m_tabs->tabBar()->sizeHint().height() +
                       m_grid->horizontalHeader()->height() + rows + totals + 24;
    return QSize(right + 8, height);
}

void frmTrigo::fitContents()
{
    const QSize c = WindowPlacement::contents(
        m_area->maximumViewportSize(), leastContents(),
        style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_area));
    if (m_content->size() != c) m_content->resize(c);
    aplicarTamanio(Twips::fromPx(c.width()) + 120, Twips::fromPx(c.height()) + 400);
}

void frmTrigo::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (m_placed) return;
    m_placed = true;
    // Once the frame the window manager put around it is known: the whole
    // window inside the screen's available area.
    QTimer::singleShot(0, this, [this] {
        const QScreen* s = screen();
        if (!s || isMaximized() || isFullScreen()) return;
        const QRect inner =
            WindowPlacement::within(s->availableGeometry(), frameGeometry(), geometry());
        if (inner != geometry()) setGeometry(inner);
    });
}

void frmTrigo::buildHeaderBand()
{
    m_frame2 = new QFrame(m_content);
    m_frame2->setObjectName(QStringLiteral("Frame2"));
    m_frame2->setFrameShape(QFrame::StyledPanel);
    m_toolbar = new UtilVextra(m_frame2);
    m_toolbar->adjustSize();
    const int tbWidth = std::max(m_toolbar->sizeHint().width(), Twips::toPx(5025));
    const int tbHeight = std::max(m_toolbar->sizeHint().height(), Twips::toPx(615));
    m_toolbar->setGeometry(Twips::toPx(45), Twips::toPx(90), tbWidth, tbHeight);

    // The three command buttons follow the toolbar, in their design order.
    const int bx = Twips::toPx(45) + tbWidth + 4;
    const int bw = Twips::toPx(840), bh = std::max(tbHeight, Twips::toPx(645));
    m_cmdCargar =
        commandButton(m_frame2, QStringLiteral("CmdCargar"), QStringLiteral("&Ejecutar"),
                      QStringLiteral("Cargar los Artículos en la Planilla"), QStyle::SP_MediaPlay);
    m_cmdCargar->setGeometry(bx, Twips::toPx(90), bw, bh);
    m_cmdOrdenar = commandButton(m_frame2, QStringLiteral("CmdOrdenar"), QStringLiteral("Ordenar"),
                                 QStringLiteral("Ordenar por la columna seleccionada"),
                                 QStyle::SP_ArrowDown);
    m_cmdOrdenar->setGeometry(bx + bw, Twips::toPx(90), bw, bh);
    m_cmdCompletar = commandButton(
        m_frame2, QStringLiteral("CmdCompletar"), QStringLiteral("Duplicar"),
        QStringLiteral("Completa la columna seleccionada, con el valor del 1er campo marcado."),
        QStyle::SP_FileDialogNewFolder);
    m_cmdCompletar->setGeometry(bx + 2 * bw, Twips::toPx(90), bw, bh);

    const int rowTop = Twips::toPx(90) + bh + 6;
    m_label1 = new QLabel(QStringLiteral("Fecha:"), m_frame2);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setGeometry(Twips::toPx(165), rowTop + 3, Twips::toPx(570), 16);
    m_label3 = new QLabel(QStringLiteral("Responsable:"), m_frame2);
    m_label3->setObjectName(QStringLiteral("Label3"));
    m_label3->setGeometry(Twips::toPx(2835), rowTop + 3, Twips::toPx(1095), 16);

    auto makeBox = [&](QWidget* parent, const QString& field, const QString& tag, int maxLen) {
        auto* b = new TextBox(parent);
        b->setObjectName(QStringLiteral("txtFields"));
        b->setDataField(field);
        b->setTag(tag);
        b->setMaxChars(maxLen);
        m_txtFields.push_back(b);
        return b;
    };
    TextBox* fecha = makeBox(m_frame2, QStringLiteral("Fecha"), QStringLiteral("Fecha"), 10);
    fecha->setGeometry(Twips::toPx(795), rowTop, Twips::toPx(1365), Twips::toPx(285) + 2);
    TextBox* resp = makeBox(m_frame2, QStringLiteral("Responsable"), QStringLiteral("ta_usuarios"), 0);
    resp->setGeometry(Twips::toPx(4125), rowTop, Twips::toPx(3345), Twips::toPx(285) + 2);
    resp->setEnabled(false);
    m_frame2->setGeometry(-1, 0, width(), rowTop + Twips::toPx(285) + 10);
}

void frmTrigo::buildTabs()
{
    m_tabs = new QTabWidget(m_content);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    QFont tf = m_tabs->font();
    tf.setPointSizeF(9.75);
    m_tabs->tabBar()->setFont(tf);

    m_page0 = new QWidget;
    m_grid = new FlexGrid(m_page0);
    m_grid->setObjectName(QStringLiteral("MSflexGrid1"));
    m_grid->move(Twips::toPx(15), 0);
    m_txtEdit = new TextBox(m_page0);
    m_txtEdit->setObjectName(QStringLiteral("TxtEdit"));
    m_txtEdit->setFocusPolicy(Qt::ClickFocus);
    m_txtEdit->setGeometry(tw(2445, 930, 855, 285));
    m_txtEdit->hide();
    m_tabs->addTab(m_page0, QStringLiteral("Molvera"));

    auto* page1 = new QWidget;
    m_silos = new SiloPanel(m_data, page1);
    m_silos->setGeometry(tw(60, 0, 7545, 2805));
    m_tabs->addTab(page1, QStringLiteral("Depósitos"));

    auto* page2 = new QWidget;
    m_frmRep = new QFrame(page2);
    m_frmRep->setObjectName(QStringLiteral("frmRep"));
    m_frmRep->setGeometry(tw(75, 15, 7560, 2865));
    m_imgRep = new QLabel(m_frmRep);
    m_imgRep->setObjectName(QStringLiteral("imgRep"));
    m_imgRep->setScaledContents(true);
    m_imgRep->setGeometry(tw(45, 135, 7455, 4260));
    QFont lf = font();
    lf.setBold(true);
    m_label2 = new QLabel(QStringLiteral("Fecha Desde:"), m_frmRep);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_label2->setFont(lf);
    m_label2->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    m_label2->setGeometry(Twips::toPx(105), Twips::toPx(390), Twips::toPx(1215), 16);
    m_label4 = new QLabel(QStringLiteral("Fecha Hasta:"), m_frmRep);
    m_label4->setObjectName(QStringLiteral("Label4"));
    m_label4->setFont(lf);
    m_label4->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    m_label4->setGeometry(Twips::toPx(2970), Twips::toPx(390), Twips::toPx(1230), 16);
    auto makeBox = [&](const QString& field, int l) {
        auto* b = new TextBox(m_frmRep);
        b->setObjectName(QStringLiteral("txtFields"));
        b->setDataField(field);
        b->setTag(QStringLiteral("Fecha"));
        b->setMaxChars(10);
        b->setGeometry(Twips::toPx(l), Twips::toPx(345), Twips::toPx(1365), Twips::toPx(285) + 2);
        m_txtFields.push_back(b);
    };
    // Each box just after its label where the label, in this font, is wider
    // than its design place ("Fecha Desde:" keeps its colon).
    auto afterLabel = [](QLabel* label, int left) {
        label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
        return std::max(Twips::toPx(left), label->geometry().right() + 4);
    };
    makeBox(QStringLiteral("FechaDesde"), Twips::fromPx(afterLabel(m_label2, 1275)));
    makeBox(QStringLiteral("FechaHasta"), Twips::fromPx(afterLabel(m_label4, 4155)));
    m_tabs->addTab(page2, QStringLiteral("Reporte de Recepción de Trigo"));

    // The tab control stands on the report tab when the window is created.
    m_tabs->setCurrentIndex(2);
    connect(m_tabs, &QTabWidget::currentChanged, this, &frmTrigo::tabCambiada);

    // Tab order: date box, responsible box, toolbar, buttons, tabs, grid.
    setTabOrder(m_txtFields[0], m_txtFields[1]);
    setTabOrder(m_txtFields[1], m_cmdCargar);
    setTabOrder(m_cmdCargar, m_cmdCompletar);
    setTabOrder(m_cmdCompletar, m_cmdOrdenar);
    setTabOrder(m_cmdOrdenar, m_tabs);
    setTabOrder(m_tabs, m_grid);
    setTabOrder(m_txtFields[2], m_txtFields[3]);
}

QPixmap frmTrigo::reportPicture(const QSize& size) const
{
    QPixmap pm(size.isValid() && !size.isEmpty() ? size : QSize(500, 280));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, pm.height());
    sky.setColorAt(0, QColor(0x3b, 0x6e, 0xa5));
    sky.setColorAt(0.55, QColor(0x9c, 0xc3, 0xe0));
    sky.setColorAt(0.56, QColor(0xd9, 0xa4, 0x41));
    sky.setColorAt(1, QColor(0xa8, 0x74, 0x1a));
    p.fillRect(pm.rect(), sky);
    // Silos on the horizon.
    p.setBrush(QColor(0xd8, 0xdc, 0xe0));
    p.setPen(QPen(QColor(0x80, 0x86, 0x8c), 1));
    const int base = int(pm.height() * 0.56);
    for (int i = 0; i < 4; ++i) {
        const int w = pm.width() / 14, x = pm.width() - (i + 1) * (w + 6) - 20;
        const int h = pm.height() / 3;
        p.drawRect(x, base - h, w, h);
        p.drawChord(x, base - h - w / 2, w, w, 0, 180 * 16);
    }
    // Rows of wheat.
    p.setPen(QPen(QColor(0xf5, 0xd7, 0x7a, 160), 1));
    for (int x = 0; x < pm.width(); x += 7) {
        const int y = base + 8 + (x * 13) % 40;
        p.drawLine(x, pm.height(), x + 3, y);
    }
    return pm;
}

TextBox* frmTrigo::box(const QString& fieldName) const
{
    const int i = FormService::findByFieldName(fieldName, m_txtFields);
    return i < 0 ? nullptr : m_txtFields.at(i);
}

bool frmTrigo::Load(const QString& parametros)
{
    ModGlobal::Context ctx;
    ctx.data = &m_data;
    ctx.lookup = &m_lookup;
    ctx.printer = m_printer;
    ctx.programFolder = QCoreApplication::applicationDirPath();
    const ModGlobal::Startup st = ModGlobal::IniciarSistema(parametros, ctx);
    if (!st.proceed) {
        Dialogs::instance().message(nullptr, QStringLiteral("Aviso al operador"),
                                    QStringLiteral("Molvera no puede iniciar.\n\n") + st.reason,
                                    Dialogs::Icon::Critical);
        m_exitCode = 1;
        return false;
    }
    UtilService::setupWindow(this, false);
    PreparaFormulario();
    Reiniciar();
    m_instruments->configurar(InstrumentConfig::leer());
    if (TextBox* r = box(QStringLiteral("responsable"))) r->setText(ModGlobal::gUsuarioLogeado);
    return true;
}

void frmTrigo::PreparaFormulario()
{
    QString iconName;
    try {
        iconName = IniReader::readKey(QStringLiteral("CN000pr.INI"), QStringLiteral("Iconos"),
                                      QStringLiteral("IconoDelSistema"),
                                      QStringLiteral("ICONVEXTRAMC"));
    } catch (...) {
    }
    // A named icon among the program's resources, then the built-in one,
    // then "vextra.ico" in the current folder.
    const QIcon named(QStringLiteral(":/icons/") + iconName);
    if (!named.isNull() && !named.availableSizes().isEmpty()) setWindowIcon(named);
    if (windowIcon().isNull() && QFileInfo::exists(QStringLiteral("vextra.ico")))
        setWindowIcon(QIcon(QStringLiteral("vextra.ico")));
    if (objectName().compare(QLatin1String("FRMMDI"), Qt::CaseInsensitive) == 0) return;
    SessionService::styleWindow(this);
    m_toolbar->setStyleBar(ModGlobal::gEstiloBarras);
    QCoreApplication::processEvents();
}

void frmTrigo::EnabledControls(bool enabled)
{
    m_toolbar->setCancelarenabled(enabled);
    m_toolbar->setBorrarenabled(enabled);
    m_cmdOrdenar->setEnabled(enabled);
    m_cmdCompletar->setEnabled(enabled);
}

void frmTrigo::Reiniciar()
{
    m_sheet->Reiniciar();
}

void frmTrigo::ProcesarComando(const QString& key)
{
    m_commands->ejecutar(key);
}

void frmTrigo::CmdCargar_Click()
{
    // The same as Enter in the date box: the date is checked (a message names
    // what is wrong) and that day's sheet is loaded.
    TextBox* fecha = box(QStringLiteral("fecha"));
    if (!fecha || mPlanillaCargada) return;
    mCampoActivo = fecha;
    m_validator->CampoValida(fecha);
}

void frmTrigo::ImprimirReporte()
{
    ReportCommand::ImprimirReporte(*this);
}

void frmTrigo::CmdConsultar(bool lSinKeyDown)
{
    m_lookups->CmdConsultar(lSinKeyDown);
}

void frmTrigo::MostrarDepositos(bool conservar)
{
    m_silos->MostrarDepositos(conservar);
}

void frmTrigo::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    m_area->setGeometry(rect());
    fitContents();
}

void frmTrigo::aplicarTamanio(int W, int H)
{
    // Each size on its own: one that cannot be applied leaves its control as it was.
    auto setW = [](QWidget* w, int twips) {
        if (twips > 0) w->resize(Twips::toPx(twips), w->height());
    };
    auto setH = [](QWidget* w, int twips) {
        if (twips > 0) w->resize(w->width(), Twips::toPx(twips));
    };
    const int frame2H = Twips::fromPx(m_frame2->height());
    setW(m_frame2, W - 120);
    m_tabs->move(0, m_frame2->height() - 1);
    setH(m_tabs, H - frame2H - 400);
    setW(m_tabs, W - 120);
    const int tabBar = Twips::fromPx(m_tabs->tabBar()->height());
    setH(m_grid, H - frame2H - 800 - tabBar + 300);
    setW(m_grid, W - 120 - 60);
    if (m_totals) m_totals->place(); // the day's totals below the grid
    const int tabH = Twips::fromPx(m_tabs->height());
    const int tabW = Twips::fromPx(m_tabs->width());
    setH(m_silos, tabH - 500 - tabBar + 300);
    setW(m_silos, tabW - 120);
    setH(m_frmRep, tabH - 500 - tabBar + 300);
    setW(m_frmRep, tabW - 120);
    setH(m_imgRep, Twips::fromPx(m_frmRep->height()) - 200);
    setW(m_imgRep, Twips::fromPx(m_frmRep->width()) - 120);
    m_imgRep->setPixmap(reportPicture(m_imgRep->size()));
    MostrarDepositos(mYaDimensionado);
    mYaDimensionado = true;
}

void frmTrigo::tabCambiada(int index)
{
    switch (index) {
    case 1:
        m_toolbar->setCancelarenabled(false);
        m_toolbar->setBorrarenabled(false);
        if (!mPlanillaCargada) m_toolbar->setReporteenabled(false);
        MostrarDepositos(false);
        break;
    case 0:
        m_toolbar->setCancelarenabled(true);
        m_toolbar->setBorrarenabled(true);
        if (!mPlanillaCargada) m_toolbar->setReporteenabled(false);
        m_grid->setFocus(Qt::OtherFocusReason);
        break;
    case 2:
        m_toolbar->setCancelarenabled(false);
        m_toolbar->setBorrarenabled(false);
        m_toolbar->setReporteenabled(true);
        if (TextBox* b = box(QStringLiteral("FechaDesde"))) b->setFocus(Qt::OtherFocusReason);
        break;
    default: break;
    }
}

bool frmTrigo::previewKey(int keyCode, int shift)
{
    if (shift == 0) {
        // F7, F9 and F11: the scale and the analyzer.
        if (m_instrumentCommands->tecla(keyCode)) return true;
        m_toolbar->ProcesarTecla(keyCode);
        return false;
    }
    if (keyCode != KeyCodes::Enter) return false;
    // Shift, Ctrl or Alt + Enter switches between the sheet and the silo tab.
    // An open edit is ended first, as Enter would end it; a refused value
    // keeps the sheet in front with the editor open. The key is taken here:
    // no control behind it sees it.
    if (m_tabs->currentIndex() == 0 && !m_editor->terminarEdicion()) return true;
    m_tabs->setCurrentIndex(m_tabs->currentIndex() == 0 ? 1 : 0);
    return true;
}

bool frmTrigo::eventFilter(QObject* obj, QEvent* e)
{
    // Key preview: every key for this window is offered here before the
    // focused control sees it, once. A key the focused control ignores goes
    // on to its parents and passes this filter again at each of them: only
    // its first delivery counts, the one to the window's focused control (or
    // to the window itself when nothing in it has the focus).
    if (e->type() == QEvent::KeyPress && obj->isWidgetType()) {
        auto* w = static_cast<QWidget*>(obj);
        const QWidget* focus = focusWidget();
        const bool primeraEntrega = w == focus || (w == this && !focus);
        if (w->window() == this && primeraEntrega) {
            auto* ke = static_cast<QKeyEvent*>(e);
            const int code = KeyCodes::fromQt(ke->key());
            if (code != 0 && previewKey(code, KeyCodes::shiftState(ke->modifiers()))) return true;
        }
    }
    return QWidget::eventFilter(obj, e);
}

void frmTrigo::Cerrar()
{
    close();
}

void frmTrigo::closeEvent(QCloseEvent* e)
{
    m_editor->cerrarAntesDeSalir();
    e->accept();
    QCoreApplication::quit();
}
