#include "DayTotals.h"

#include "DailySheet.h"
#include "DataService.h"
#include "FlexGrid.h"
#include "QualityLimits.h"
#include "SheetRules.h"
#include "UtilService.h"
#include "frmTrigo.h"

#include <QEvent>
#include <QHash>
#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <cmath>

namespace
{

const char* const kLecturas[] = {"toneladas",     "humedo",  "seco",
                                 "fallingnumber", "humedad", "pesohect"};

const QMargins kPadding(6, 2, 6, 2); // around the lines, inside the frame

} // namespace

DayTotals::DayTotals(frmTrigo& w, QWidget* parent) : QFrame(parent), w(w)
{
    setObjectName(QStringLiteral("frmTotales"));
    setFrameShape(QFrame::StyledPanel);
    // The lines are placed by the band itself, not by a layout: a new text
    // (at every change another desk makes) then costs its paint only, not a
    // measuring of both lines and a new layout of the band.
    m_linea1 = new QLabel(this);
    m_linea1->setObjectName(QStringLiteral("lblTotales"));
    m_linea2 = new QLabel(this);
    m_linea2->setObjectName(QStringLiteral("lblTotalesSilo"));
    m_pending = new QTimer(this);
    m_pending->setSingleShot(true);
    m_pending->setInterval(0);
    connect(m_pending, &QTimer::timeout, this, &DayTotals::count);
    findColumns();
    if (parent) parent->installEventFilter(this);

    // The rows a change touched are taken again at once; the band is counted
    // when the change is complete (several cells of one change: one count).
    // A sheet filled anew is taken whole at the count (a load empties the
    // grid and fills it: one taking).
    QAbstractItemModel* m = w.MSflexGrid1()->model();
    connect(m, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& a, const QModelIndex& b, const QList<int>& roles) {
                if (!roles.isEmpty() && !roles.contains(Qt::DisplayRole)) return;
                if (!m_stale) takeRows(a.row(), b.row());
                schedule();
            });
    connect(m, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                if (m_stale || first < 0 || first > m_filas.size()) {
                    m_stale = true;
                } else {
                    m_filas.insert(first, last - first + 1, Fila{});
                    takeRows(first, last);
                }
                schedule();
            });
    connect(m, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                if (m_stale || first < 0 || last >= m_filas.size())
                    m_stale = true;
                else
                    m_filas.remove(first, last - first + 1);
                schedule();
            });
    connect(m, &QAbstractItemModel::modelReset, this, [this] {
        m_stale = true;
        schedule();
    });
    connect(&w, &frmTrigo::planillaCargada, this, &DayTotals::count);
    show(Figures{});
}

void DayTotals::findColumns()
{
    // The sheet's columns by name.
    for (int c = 0; c < 6; ++c)
        m_colLectura[c] = DailySheet::columnaDe(QLatin1String(kLecturas[c]));
    m_colSilo = DailySheet::columnaDe(QStringLiteral("silodestino"));
    m_colKilos = DailySheet::columnaDe(QStringLiteral("kg_netos"));
}

DayTotals::Fila DayTotals::filaDe(int gridRow, const QString& decimalPoint)
{
    const FlexGrid* g = w.MSflexGrid1();
    Fila f;
    for (int c = 0; c < 6; ++c) {
        if (m_colLectura[c] < 0) continue;
        // The plain form the sheet shows, read without asking the locale.
        const QStringView text = g->cellText(gridRow, m_colLectura[c]).trimmed();
        if (text.isEmpty()) continue;
        // A value the sheet's rules refuse (another program's) is left out.
        if (!w.rules().refusal(QLatin1String(kLecturas[c]), text).isEmpty()) {
            ++f.rechazados;
            continue;
        }
        auto v = DataService::plainNumber(text, decimalPoint);
        if (!v) v = DataService::numericValue(text.toString());
        if (v) f.lectura[c] = *v;
        if (c == 0) {
            // The decimals the cell shows, up to the gram.
            const qsizetype punto =
                std::max(text.lastIndexOf(u'.'), text.lastIndexOf(decimalPoint));
            if (punto >= 0) f.decimales = int(std::min<qsizetype>(6, text.size() - punto - 1));
        }
    }
    if (m_colKilos >= 0) {
        bool ok = false;
        const qint64 kg = g->cellText(gridRow, m_colKilos).trimmed().toLongLong(&ok);
        if (ok && kg >= 0) f.kilos = kg;
    }
    const QStringView silo =
        m_colSilo >= 0 ? g->cellText(gridRow, m_colSilo).trimmed() : QStringView();
    // A silo is named in up to four characters: those (15 bits each) and
    // their count make a number to look up; other texts are looked up as
    // text.
    quint64 key = silo.size() <= 4 ? quint64(8 + silo.size()) << 60 : 0;
    for (qsizetype i = 0; key && i < silo.size(); ++i)
        key = silo.at(i).unicode() < 0x8000 ? key | quint64(silo.at(i).unicode()) << (15 * i) : 0;
    auto placeOf = [&](auto& hash, const auto& k) {
        auto it = hash.constFind(k);
        if (it != hash.cend()) return *it;
        m_silos << silo.toString();
        return *hash.insert(k, int(m_silos.size() - 1));
    };
    f.silo = key ? placeOf(m_siloPorClave, key) : placeOf(m_siloDe, silo.toString());
    if (!silo.isEmpty() && !w.rules().refusal(QStringLiteral("silodestino"), silo).isEmpty()) {
        f.siloRechazado = true;
        ++f.rechazados;
    }
    return f;
}

void DayTotals::takeRows(int first, int last)
{
    const int rows = w.MSflexGrid1()->Rows() - FlexGrid::FixedRows;
    if (m_filas.size() != rows) m_filas.resize(rows);
    first = std::max(first, 0);
    last = std::min(last, rows - 1);
    const QString decimalPoint = UtilService::textLocale().decimalPoint();
    for (int r = first; r <= last; ++r)
        m_filas[r] = filaDe(r + FlexGrid::FixedRows, decimalPoint);
}

void DayTotals::schedule()
{
    m_pending->start();
}

QString DayTotals::number(double value, int decimals)
{
    // Rounded on the decimal figure the value stands for (15.995 is held as
    // 15.99499…): taken to the nanounit first, then to the decimals asked.
    decimals = std::clamp(decimals, 0, 9);
    if (!std::isfinite(value) || std::abs(value) >= 9e9)
        return QLocale().toString(value, 'f', decimals);
    const qint64 nano = qRound64(std::abs(value) * 1e9);
    qint64 paso = 1;
    for (int i = decimals; i < 9; ++i)
        paso *= 10;
    const qint64 unidades = (nano + paso / 2) / paso;
    const double redondo = double(unidades) / std::pow(10.0, decimals);
    return QLocale().toString(value < 0 && unidades != 0 ? -redondo : redondo, 'f', decimals);
}

void DayTotals::retakeAll()
{
    m_stale = false;
    m_filas.clear();
    m_silos.clear();
    m_siloDe.clear();
    m_siloPorClave.clear();
    takeRows(0, w.MSflexGrid1()->Rows() - FlexGrid::FixedRows - 1);
}

void DayTotals::refresh()
{
    retakeAll();
    count();
}

void DayTotals::count()
{
    m_pending->stop();
    if (m_stale) retakeAll();
    Figures f;
    if (!w.mPlanillaCargada) {
        m_figures = f;
        m_linea1->setText(QStringLiteral("Sin planilla cargada."));
        m_linea2->clear();
        return;
    }
    QualityLimits::Limit limites[6];
    for (int c = 0; c < 6; ++c)
        limites[c] = w.limits().limit(QLatin1String(kLecturas[c]));
    double tHum = 0, sHum = 0, tPeso = 0, sPeso = 0;
    // Summed by the silo's place (a day of 3,000 loads is counted at every
    // change another desk makes), then named in the silos' order.
    // Tonnes summed in grams (the cells hold them to the gram), so the sum
    // equals the rows' exactly.
    QVector<qint64> porSilo(m_silos.size(), 0);
    QVector<bool> conCarga(m_silos.size(), false);
    qint64 gramos = 0;
    for (const Fila& fila : std::as_const(m_filas)) {
        bool fuera = false;
        for (int c = 0; c < 6 && !fuera; ++c) {
            // An empty reading or 0 is a reading not taken.
            const double v = fila.lectura[c];
            const QualityLimits::Limit& l = limites[c];
            fuera = v > 0 && ((l.max && v > *l.max) || (l.min && v < *l.min));
        }
        if (fuera) ++f.fueraDeLimite;
        f.noContados += fila.rechazados;
        const double t = fila.lectura[0];
        if (fila.kilos >= 0) f.kilosNetos += fila.kilos;
        if (!(t > 0)) continue;
        ++f.camiones;
        if (fila.kilos < 0) ++f.sinNetos;
        const qint64 g = qRound64(t * 1e6);
        gramos += g;
        if (!fila.siloRechazado) {
            porSilo[fila.silo] += g;
            conCarga[fila.silo] = true;
        }
        f.decimales = std::max(f.decimales, fila.decimales);
        const double h = fila.lectura[4], p = fila.lectura[5];
        if (h > 0) {
            tHum += t;
            sHum += t * h;
        }
        if (p > 0) {
            tPeso += t;
            sPeso += t * p;
        }
    }
    for (qsizetype i = 0; i < porSilo.size(); ++i)
        if (conCarga.at(i)) f.porSilo.insert(m_silos.at(i), porSilo.at(i) / 1e6);
    f.toneladas = gramos / 1e6;
    if (tHum > 0) f.humedadMedia = sHum / tHum;
    if (tPeso > 0) f.pesoHectMedio = sPeso / tPeso;
    m_figures = f;
    show(f);
}

void DayTotals::show(const Figures& f)
{
    const QString sinDato = QStringLiteral("—");
    m_linea1->setText(
        QStringLiteral("Camiones: %1    Toneladas: %2    Humedad media: %3    "
                       "Peso hect. medio: %4    Fuera de límite: %5")
            .arg(QLocale().toString(f.camiones), number(f.toneladas, f.decimales),
                 f.humedadMedia ? number(*f.humedadMedia, 2) + QStringLiteral(" %") : sinDato,
                 f.pesoHectMedio ? number(*f.pesoHectMedio, 2) + QStringLiteral(" kg/hl") : sinDato,
                 QLocale().toString(f.fueraDeLimite)));
    // What the day's loads are worth, and how many are not settled yet.
    QString netos = QStringLiteral("    Kg netos: %1").arg(QLocale().toString(f.kilosNetos));
    if (f.sinNetos > 0)
        netos += QStringLiteral(" (%1 sin kilos netos)").arg(QLocale().toString(f.sinNetos));
    m_linea1->setText(m_linea1->text() + netos);
    if (f.noContados > 0)
        m_linea1->setText(m_linea1->text() +
                          QStringLiteral("    No contados: %1 (fuera de las reglas de la planilla)")
                              .arg(QLocale().toString(f.noContados)));
    QStringList silos;
    for (auto it = f.porSilo.cbegin(); it != f.porSilo.cend(); ++it)
        silos << QStringLiteral("%1: %2 t")
                     .arg(it.key().isEmpty() ? QStringLiteral("sin silo") : it.key(),
                          number(it.value(), f.decimales));
    m_porSilo = silos.isEmpty() ? QStringList{sinDato} : silos;
    ponerPorSilo();
}

void DayTotals::ponerPorSilo()
{
    // As many lines as the band's width needs, broken between silos (each
    // "silo: tonnes" whole on its line); the band grows by them.
    const int width = std::max(1, contentsRect().marginsRemoved(kPadding).width());
    const QFontMetrics fm = m_linea2->fontMetrics();
    QStringList lineas;
    QString linea = QStringLiteral("Por silo: ");
    bool primera = true;
    for (const QString& e : std::as_const(m_porSilo)) {
        const QString mas = primera ? e : QStringLiteral("    ") + e;
        if (!primera && fm.horizontalAdvance(linea + mas) > width) {
            lineas << linea;
            linea = e;
        } else {
            linea += mas;
        }
        primera = false;
    }
    lineas << linea;
    m_linea2->setText(lineas.join(u'\n'));
    if (int(lineas.size()) == m_lineasSilo) return;
    m_lineasSilo = int(lineas.size());
    // Laid out again once this change is over (a resize of the band may be
    // what brought it).
    QTimer::singleShot(0, this, [this] {
        resizeEvent(nullptr);
        place();
    });
}

QString DayTotals::text() const
{
    return m_linea1->text() + u'\n' + m_linea2->text();
}

int DayTotals::lineHeight() const
{
    return m_linea1->fontMetrics().height();
}

QSize DayTotals::sizeHint() const
{
    const QMargins m = contentsMargins() + kPadding;
    return {m.left() + m.right() + 200,
            m.top() + m.bottom() + (1 + m_lineasSilo) * lineHeight() + 1};
}

void DayTotals::resizeEvent(QResizeEvent* e)
{
    if (e) QFrame::resizeEvent(e);
    const QRect r = contentsRect().marginsRemoved(kPadding);
    const int h = lineHeight();
    m_linea1->setGeometry(r.x(), r.y(), r.width(), h);
    m_linea2->setGeometry(r.x(), r.y() + h + 1, r.width(), m_lineasSilo * h);
    if (e && e->size().width() != e->oldSize().width() && !m_porSilo.isEmpty()) ponerPorSilo();
}

bool DayTotals::eventFilter(QObject* obj, QEvent* e)
{
    if (obj == parentWidget() && e->type() == QEvent::Resize) place();
    return QFrame::eventFilter(obj, e);
}

void DayTotals::place()
{
    FlexGrid* g = w.MSflexGrid1();
    QWidget* page = parentWidget();
    const int h = sizeHint().height();
    if (!page || page->height() <= 0) return;
    // The grid fills the page down to the band, whatever the page's size was
    // when the window last measured it (the page gets its size only when the
    // tab control is first shown).
    const int room = page->height() - g->y() - h - 2;
    if (room > 40 && g->height() != room) g->resize(g->width(), room);
    setGeometry(g->x(), g->y() + g->height() + 1, g->width(), h);
    raise();
}
