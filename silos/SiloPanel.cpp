#include "SiloPanel.h"

#include "DataService.h"
#include "ServiceError.h"
#include "SiloCaption.h"
#include "SiloFigures.h"
#include "SiloLabel.h"
#include "SiloLayout.h"
#include "Twips.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QRadioButton>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtDebug>
#include <algorithm>

namespace
{
// One line of a detailed label, as the design has it.
constexpr double kLabelLine = 195;
const char* const kTwips = "twips";
const char* const kIndex = "Index";

QFrame* newBar(QWidget* parent, const char* name, int index)
{
    auto* bar = new QFrame(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setProperty(kIndex, index);
    bar->setFrameStyle(QFrame::Box | QFrame::Plain);
    bar->setAutoFillBackground(true);
    return bar;
}
} // namespace

QColor SiloPanel::vbColor(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

SiloPanel::SiloPanel(DataService& data, QWidget* parent)
    : QFrame(parent), m_data(data), m_figures(std::make_unique<SiloFigures>(data))
{
    setObjectName(QStringLiteral("frmDepositos"));
    setFrameStyle(QFrame::Box | QFrame::Sunken);
    m_optVertical = new QRadioButton(QStringLiteral("&Resumido"), this);
    m_optVertical->setObjectName(QStringLiteral("optVertical"));
    m_optHorizontal = new QRadioButton(QStringLiteral("&Detallado"), this);
    m_optHorizontal->setObjectName(QStringLiteral("optHorizontal"));
    // The design places them at 210 and 1305 twips; each is as wide as its
    // caption needs in this font, and the second never covers the first.
    const int optTop = Twips::toPx(45);
    const QSize vSize = m_optVertical->sizeHint();
    m_optVertical->setGeometry(Twips::toPx(210), optTop, vSize.width(), 20);
    const int hLeft = std::max(Twips::toPx(1305), m_optVertical->geometry().right() + 9);
    m_optHorizontal->setGeometry(hLeft, optTop, m_optHorizontal->sizeHint().width(), 20);
    m_optVertical->setChecked(true);

    // Element 0 of each array, where the design puts it.
    auto* label = new SiloLabel(this);
    label->setText(QStringLiteral("..."));
    label->setObjectName(QStringLiteral("lblDepositos"));
    label->setProperty(kIndex, 0);
    QFont f = label->font();
    f.setPixelSize(11);
    label->setFont(f);
    place(label, QRectF(195, 330, 6960, 195));
    m_lblDepositos.push_back(label);

    QFrame* capacity = newBar(this, "PicDeposito", 0);
    capacity->setFrameShadow(QFrame::Sunken);
    capacity->setFrameShape(QFrame::Panel);
    setBackColor(capacity, vbColor(ColorCapacidad));
    place(capacity, QRectF(195, 540, 6975, 285));
    m_picDeposito.push_back(capacity);

    QFrame* used = newBar(this, "PicUsado", 0);
    setBackColor(used, vbColor(ColorUsado));
    place(used, QRectF(180, 540, 1905, 285));
    m_picUsado.push_back(used);

    m_franja = new QWidget(this);
    m_franja->setAutoFillBackground(true);
    m_franja->hide();
    m_vscroll = new QScrollBar(Qt::Vertical, this);
    m_vscroll->setObjectName(QStringLiteral("VScrollDepositos"));
    m_vscroll->hide();
    connect(m_vscroll, &QScrollBar::valueChanged, this, [this] { placeAgain(); });

    // Changing the view rebuilds the panel from empty.
    connect(m_optVertical, &QRadioButton::toggled, this, [this](bool on) {
        if (on) MostrarDepositos(false);
    });
    connect(m_optHorizontal, &QRadioButton::toggled, this, [this](bool on) {
        if (on) MostrarDepositos(false);
    });
}

SiloPanel::~SiloPanel() = default;

bool SiloPanel::summaryView() const
{
    return m_optVertical->isChecked();
}

bool SiloPanel::usingKeptTotals() const
{
    return m_figures->usingKeptTotals();
}

QVector<QWidget*>& SiloPanel::elements(Arreglo array)
{
    switch (array) {
    case PicDeposito:
        return m_picDeposito;
    case PicUsado:
        return m_picUsado;
    case lblDepositos:
        break;
    }
    return m_lblDepositos;
}

const QVector<QWidget*>& SiloPanel::elements(Arreglo array) const
{
    return const_cast<SiloPanel*>(this)->elements(array);
}

int SiloPanel::count(Arreglo array) const
{
    return elements(array).size();
}

QWidget* SiloPanel::element(Arreglo array, int k) const
{
    const QVector<QWidget*>& v = elements(array);
    return k >= 0 && k < v.size() ? v.at(k) : nullptr;
}

QLabel* SiloPanel::lblDeposito(int k) const
{
    return qobject_cast<QLabel*>(element(lblDepositos, k));
}

QRectF SiloPanel::twips(Arreglo array, int k) const
{
    QWidget* w = element(array, k);
    return w ? w->property(kTwips).toRectF() : QRectF();
}

QColor SiloPanel::backColor(Arreglo array, int k) const
{
    QWidget* w = element(array, k);
    return w ? w->palette().color(QPalette::Window) : QColor();
}

void SiloPanel::place(QWidget* w, const QRectF& tw) const
{
    w->setProperty(kTwips, tw);
    // Both edges rounded to pixels, so that neighbours stay 100 twips apart.
    const int x = Twips::toPx(tw.left());
    const int y = Twips::toPx(tw.top());
    const int r = Twips::toPx(tw.left() + tw.width());
    const int b = Twips::toPx(tw.top() + tw.height());
    const int scrolled = m_vscroll && m_vscroll->isVisibleTo(this) ? m_vscroll->value() : 0;
    w->setGeometry(x, y - scrolled, std::max(0, r - x), std::max(0, b - y));
}

void SiloPanel::placeAgain()
{
    for (Arreglo array : {PicDeposito, PicUsado, lblDepositos})
        for (QWidget* w : std::as_const(elements(array)))
            place(w, w->property(kTwips).toRectF());
    coverScrolled();
}

void SiloPanel::coverScrolled()
{
    // Scrolled, the silos pass under a band of the frame's colour that
    // keeps the option buttons readable.
    const bool scrolled = m_vscroll->isVisibleTo(this) && m_vscroll->value() > 0;
    m_franja->setVisible(scrolled);
    if (!scrolled) return;
    m_franja->setGeometry(0, 0, std::max(0, m_vscroll->x()),
                          m_optVertical->geometry().bottom() + 4);
    m_franja->raise();
    m_optVertical->raise();
    m_optHorizontal->raise();
}

double SiloPanel::contentBottom() const
{
    double bottom = 0;
    for (Arreglo array : {PicDeposito, PicUsado, lblDepositos})
        for (QWidget* w : elements(array))
            if (w->isVisibleTo(this)) {
                const QRectF tw = w->property(kTwips).toRectF();
                bottom = std::max(bottom, tw.top() + tw.height());
            }
    return bottom;
}

void SiloPanel::resizeEvent(QResizeEvent* e)
{
    QFrame::resizeEvent(e);
    placeScrollBar();
}

void SiloPanel::placeScrollBar()
{
    const int w = m_vscroll->sizeHint().width();
    m_vscroll->setGeometry(width() - w - frameWidth(), frameWidth(), w,
                           std::max(0, height() - 2 * frameWidth()));
}

void SiloPanel::wheelEvent(QWheelEvent* e)
{
    if (m_vscroll->isVisibleTo(this)) {
        QCoreApplication::sendEvent(m_vscroll, e);
        return;
    }
    QFrame::wheelEvent(e);
}

void SiloPanel::setBackColor(QWidget* w, const QColor& c)
{
    const QBrush b = w->palette().brush(QPalette::Window);
    if (b.color() == c && b.style() == Qt::SolidPattern) return;
    QPalette p = w->palette();
    p.setBrush(QPalette::Window, QBrush(c));
    w->setPalette(p);
}

void SiloPanel::setBackBrush(QWidget* w, const QBrush& b)
{
    QPalette p = w->palette();
    p.setBrush(QPalette::Window, b);
    w->setPalette(p);
}

QBrush SiloPanel::overBrush()
{
    // Red with white stripes: over capacity, told inside the bar itself.
    static const QBrush brush = [] {
        QPixmap tile(8, 8);
        tile.fill(vbColor(ColorLleno));
        QPainter p(&tile);
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(0, 8, 8, 0);
        p.drawLine(-4, 4, 4, -4);
        p.drawLine(4, 12, 12, 4);
        return QBrush(vbColor(ColorLleno), tile);
    }();
    return brush;
}

bool SiloPanel::overCapacity(int k) const
{
    QWidget* w = element(PicUsado, k);
    return w && w->palette().brush(QPalette::Window).style() == Qt::TexturePattern;
}

void SiloPanel::LimpiarDepositos()
{
    const bool wasBusy = m_busy;
    m_busy = true;
    QPointer<SiloPanel> self(this);
    if (!removeExtraElements() || !self) return;
    emptyFirstElements();
    m_busy = wasBusy;
}

bool SiloPanel::removeExtraElements()
{
    // Highest element first, array by array; the window's pending events run
    // after each removal. A resize or click arriving meanwhile finds the panel
    // busy and is left to the build under way, which lays out afterwards.
    QPointer<SiloPanel> self(this);
    for (Arreglo array : {PicDeposito, PicUsado, lblDepositos}) {
        while (self && elements(array).size() > 1) {
            QWidget* last = elements(array).takeLast();
            delete last;
            QCoreApplication::processEvents();
        }
    }
    return !self.isNull();
}

void SiloPanel::emptyFirstElements()
{
    m_picDeposito.first()->update();
    QWidget* used = m_picUsado.first();
    QRectF tw = used->property(kTwips).toRectF();
    tw.setWidth(0);
    place(used, tw);
    used->update();
    lblDeposito(0)->setText(QString());
    for (QWidget* w : {m_picDeposito.first(), used, m_lblDepositos.first()})
        w->setToolTip(QString());
}

void SiloPanel::ensureElements(int k)
{
    // New elements take the place, size, colours, font, frame and alignment of
    // element 0 and stay hidden until laid out.
    while (m_picDeposito.size() <= k) {
        auto* proto = static_cast<QFrame*>(m_picDeposito.first());
        QFrame* bar = newBar(this, "PicDeposito", m_picDeposito.size());
        bar->setFrameStyle(proto->frameStyle());
        bar->setPalette(proto->palette());
        place(bar, twips(PicDeposito, 0));
        bar->hide();
        m_picDeposito.push_back(bar);
    }
    while (m_lblDepositos.size() <= k) {
        QLabel* proto = lblDeposito(0);
        auto* label = new SiloLabel(this);
        label->setObjectName(QStringLiteral("lblDepositos"));
        label->setProperty(kIndex, m_lblDepositos.size());
        label->setFont(proto->font());
        label->setAlignment(proto->alignment());
        label->setPalette(proto->palette());
        place(label, twips(lblDepositos, 0));
        label->hide();
        m_lblDepositos.push_back(label);
    }
    while (m_picUsado.size() <= k) {
        auto* proto = static_cast<QFrame*>(m_picUsado.first());
        QFrame* bar = newBar(this, "PicUsado", m_picUsado.size());
        bar->setFrameStyle(proto->frameStyle());
        bar->setPalette(proto->palette());
        place(bar, twips(PicUsado, 0));
        bar->hide();
        m_picUsado.push_back(bar);
    }
}

void SiloPanel::MostrarDepositos(bool conservar)
{
    if (m_busy) return; // a refresh is under way and lays out after this event
    m_busy = true;
    QPointer<SiloPanel> self(this);
    if (!conservar) {
        if (!removeExtraElements() || !self) return;
        emptyFirstElements();
    }

    QVector<SiloFigure> silos;
    try {
        silos = m_figures->read();
    } catch (const ServiceError& e) {
        // The panel stays as it is; the next refresh tries again.
        qWarning("silo panel: %s", qPrintable(e.description()));
        m_busy = false;
        return;
    }
    try {
        m_calidad = m_quality.read();
    } catch (const ServiceError& e) {
        m_calidad.clear(); // the figures are shown without the quality
        qWarning("silo panel, quality: %s", qPrintable(e.description()));
    }

    const bool summary = summaryView();
    const double W = Twips::fromPx(width());
    const double H = Twips::fromPx(height());
    // Silos below the frame: the scroll bar reaches them, and takes its
    // width from the bars.
    placeScrollBar();
    const double barWidth = Twips::fromPx(m_vscroll->width());
    bool scrolling = m_vscroll->isVisibleTo(this);
    layOutAll(silos, summary, scrolling ? W - barWidth : W, H);
    // The design's own bars may end a little below the frame; a scroll bar
    // comes only when a silo would not be seen.
    const bool below = contentBottom() > H + 285;
    if (below != scrolling) {
        scrolling = below;
        m_vscroll->setValue(0);
        m_vscroll->setVisible(scrolling);
        layOutAll(silos, summary, scrolling ? W - barWidth : W, H);
    }
    if (scrolling) {
        m_vscroll->setRange(0, std::max(0, Twips::toPx(contentBottom() + 120) - height()));
        m_vscroll->setPageStep(std::max(1, height()));
        m_vscroll->setSingleStep(Twips::toPx(350));
    }
    m_vscroll->raise();
    // A column far over capacity reaches the top of the frame: the option
    // buttons stay in front of it, so that the view can always be changed.
    m_optVertical->raise();
    m_optHorizontal->raise();
    coverScrolled();
    m_busy = false;
}

void SiloPanel::layOutAll(const QVector<SiloFigure>& silos, bool summary, double W, double H)
{
    const int n = silos.size();
    m_rows = 1;
    if (summary && n > 0) {
        // Each column at least as wide as the widest silo number.
        const QFontMetrics fm = lblDeposito(0)->fontMetrics();
        int widest = 0;
        for (const SiloFigure& silo : silos)
            widest = std::max(widest, fm.horizontalAdvance(SiloCaption::summary(silo)));
        m_rows = SiloLayout::summaryRows(W, n, Twips::fromPx(widest + 4));
    }
    for (int k = 0; k < n; ++k)
        layOut(k, n, silos.at(k), summary, W, H);
}

void SiloPanel::layOut(int k, int n, const SiloFigure& silo, bool summary, double W, double H)
{
    // Silos added since the last rebuild get their elements now.
    ensureElements(k);
    QWidget* capacity = m_picDeposito.at(k);
    QWidget* used = m_picUsado.at(k);
    QLabel* label = lblDeposito(k);
    const QRectF previous = k > 0 ? twips(PicDeposito, k - 1) : QRectF();

    const SiloQualityFigures calidad = m_calidad.value(SiloFigures::storedSilo(silo.iddeposito));
    label->setText(summary ? SiloCaption::summary(silo)
                           : SiloCaption::detailed(silo) + SiloQuality::detailedSuffix(calidad));
    QRectF bar;
    QRectF text;
    if (summary) {
        const double firstLeft = twips(PicDeposito, 0).left();
        bar = m_rows == 1 && H - 1000 >= MinResumido
                  ? SiloLayout::summaryBar(W, H, n, k, previous, firstLeft)
                  : SiloLayout::summaryBarInRows(W, H, n, k, firstLeft, m_rows, MinResumido);
        text = SiloLayout::summaryLabel(bar, kLabelLine);
    } else {
        // A label on more lines than the design's one: its bar moves down.
        const double one = kLabelLine;
        const double needed = Twips::fromPx(
            static_cast<SiloLabel*>(label)->heightFor(Twips::toPx(std::max(0.0, W - 350))));
        const double extra = std::max(0.0, needed - one);
        bar = SiloLayout::detailedBar(W, H, n, k, previous, MinDetallado, extra);
        text = SiloLayout::detailedLabel(W, k, bar, one + extra, extra);
    }
    place(capacity, bar);
    if (k > 0) capacity->show();

    place(label, text);
    label->setAlignment(summary ? Qt::AlignHCenter | Qt::AlignTop : Qt::AlignLeft | Qt::AlignTop);
    if (k > 0) label->show();

    // The used part stays inside its capacity bar: beyond capacity it fills
    // the bar, red and striped, and reaches over nothing else.
    SiloLayout::Used u = SiloLayout::usedBar(summary, bar, silo.usado, silo.capacidad);
    if (u.over && u.visible) u.rect = bar;
    place(used, u.rect);
    used->setVisible(u.visible);
    if (u.over && u.visible)
        setBackBrush(used, overBrush());
    else
        setBackColor(used, vbColor(u.full ? ColorLleno : ColorUsado));
    if (k > 0) used->raise();

    // The detailed label says it all; where the frame cuts it, its tooltip
    // has it whole.
    QString tip;
    if (summary)
        tip = SiloCaption::summaryToolTip(silo) + SiloQuality::toolTipLines(calidad);
    else if (static_cast<SiloLabel*>(label)->cut())
        tip = label->text();
    for (QWidget* w : {capacity, used, static_cast<QWidget*>(label)})
        w->setToolTip(tip);
}
