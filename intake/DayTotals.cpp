#include "DayTotals.h"

#include "DataService.h"
#include "DateText.h"
#include "FlexGrid.h"
#include "QualityLimits.h"
#include "ServiceError.h"
#include "TextBox.h"
#include "frmTrigo.h"

#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <QVBoxLayout>

namespace
{

const char* const kLecturas[] = {"toneladas",     "humedo",  "seco",
                                 "fallingnumber", "humedad", "pesohect"};

} // namespace

DayTotals::DayTotals(frmTrigo& w, QWidget* parent) : QFrame(parent), w(w)
{
    setObjectName(QStringLiteral("frmTotales"));
    setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->setSpacing(1);
    m_linea1 = new QLabel(this);
    m_linea1->setObjectName(QStringLiteral("lblTotales"));
    m_linea2 = new QLabel(this);
    m_linea2->setObjectName(QStringLiteral("lblTotalesSilo"));
    layout->addWidget(m_linea1);
    layout->addWidget(m_linea2);
    m_pending = new QTimer(this);
    m_pending->setSingleShot(true);
    m_pending->setInterval(0);
    connect(m_pending, &QTimer::timeout, this, &DayTotals::refresh);

    // Every change of the grid's cells or rows reads the figures again, once
    // the change is complete (several cells of one change: one reading).
    QAbstractItemModel* m = w.MSflexGrid1()->model();
    connect(m, &QAbstractItemModel::dataChanged, this, &DayTotals::schedule);
    connect(m, &QAbstractItemModel::rowsInserted, this, &DayTotals::schedule);
    connect(m, &QAbstractItemModel::rowsRemoved, this, &DayTotals::schedule);
    connect(m, &QAbstractItemModel::modelReset, this, &DayTotals::schedule);
    connect(&w, &frmTrigo::planillaCargada, this, &DayTotals::refresh);
    show(Figures{});
}

void DayTotals::schedule()
{
    m_pending->start();
}

QString DayTotals::number(double value, int decimals)
{
    return QLocale().toString(value, 'f', decimals);
}

void DayTotals::refresh()
{
    m_pending->stop();
    Figures f;
    const TextBox* fecha = w.box(QStringLiteral("fecha"));
    const QDate dia = DateText::parse(fecha ? fecha->text() : QString());
    if (!w.mPlanillaCargada || !dia.isValid()) {
        m_figures = f;
        m_linea1->setText(QStringLiteral("Sin planilla cargada."));
        m_linea2->clear();
        return;
    }
    try {
        RecordSet rs = w.data().openRecordSet(
            QStringLiteral("SELECT Toneladas, humedo, seco, fallingnumber, humedad, pesohect, "
                           "silodestino FROM v_mv_molvera WHERE Fecha >= ? AND Fecha < ?"),
            {QDateTime(dia, QTime(0, 0)), QDateTime(dia.addDays(1), QTime(0, 0))});
        double tHum = 0, sHum = 0, tPeso = 0, sPeso = 0;
        for (const QVector<QVariant>& row : rs.rows()) {
            const double t = row.at(0).toDouble();
            bool fuera = false;
            for (int c = 0; c < 6; ++c) {
                const QString campo = QLatin1String(kLecturas[c]);
                if (!row.at(c).isNull() &&
                    !w.limits().breach(campo, row.at(c).toDouble()).isEmpty())
                    fuera = true;
            }
            if (fuera) ++f.fueraDeLimite;
            if (!(t > 0)) continue;
            ++f.camiones;
            f.toneladas += t;
            f.porSilo[row.at(6).toString().trimmed()] += t;
            const double h = row.at(4).toDouble(), p = row.at(5).toDouble();
            if (h > 0) {
                tHum += t;
                sHum += t * h;
            }
            if (p > 0) {
                tPeso += t;
                sPeso += t * p;
            }
        }
        if (tHum > 0) f.humedadMedia = sHum / tHum;
        if (tPeso > 0) f.pesoHectMedio = sPeso / tPeso;
    } catch (const ServiceError& e) {
        // The band says it could not read; the sheet goes on.
        m_linea1->setText(QStringLiteral("No se pudieron leer los totales del día: ") +
                          e.description());
        m_linea2->clear();
        return;
    }
    m_figures = f;
    show(f);
}

void DayTotals::show(const Figures& f)
{
    const QString sinDato = QStringLiteral("—");
    m_linea1->setText(
        QStringLiteral("Camiones: %1    Toneladas: %2    Humedad media: %3    "
                       "Peso hect. medio: %4    Fuera de límite: %5")
            .arg(QLocale().toString(f.camiones), number(f.toneladas, 2),
                 f.humedadMedia ? number(*f.humedadMedia, 2) + QStringLiteral(" %") : sinDato,
                 f.pesoHectMedio ? number(*f.pesoHectMedio, 2) + QStringLiteral(" kg/hl") : sinDato,
                 QLocale().toString(f.fueraDeLimite)));
    QStringList silos;
    for (auto it = f.porSilo.cbegin(); it != f.porSilo.cend(); ++it)
        silos << QStringLiteral("%1: %2 t")
                     .arg(it.key().isEmpty() ? QStringLiteral("sin silo") : it.key(),
                          number(it.value(), 2));
    const QString porSilo = silos.isEmpty() ? sinDato : silos.join(QStringLiteral("    "));
    m_linea2->setText(QStringLiteral("Por silo: ") + porSilo);
}

QString DayTotals::text() const
{
    return m_linea1->text() + u'\n' + m_linea2->text();
}

void DayTotals::place()
{
    FlexGrid* g = w.MSflexGrid1();
    QWidget* page = parentWidget();
    const int h = sizeHint().height();
    if (!page || page->height() <= 0) return;
    const int room = page->height() - g->y() - h - 2;
    if (room > 40 && g->height() > room) g->resize(g->width(), room);
    setGeometry(g->x(), g->y() + g->height() + 1, g->width(), h);
    raise();
}
