#include "InstrumentBand.h"

#include "InstrumentHub.h"
#include "InstrumentLink.h"

#include <QEvent>
#include <QLocale>

InstrumentBand::InstrumentBand(InstrumentHub& hub, QWidget* parent) : QLabel(parent), m_hub(hub)
{
    setObjectName(QStringLiteral("lblInstrumentos"));
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setWordWrap(false);
    hide();
    connect(&m_hub, &InstrumentHub::cambio, this, &InstrumentBand::refrescar);
    m_reloj.setInterval(500);
    connect(&m_reloj, &QTimer::timeout, this, &InstrumentBand::refrescar);
    if (parent) parent->installEventFilter(this);
}

QString InstrumentBand::texto(const InstrumentLink& l)
{
    const auto& r = l.ultima();
    const bool recibe = l.estado() == InstrumentLink::Estado::Recibiendo;
    QStringList partes;
    if (r) {
        // Stable only once the weight is confirmed (the same in a row of
        // lines), as F7 and F9 take it.
        if (r->peso)
            partes << InstrumentReading::kilos(*r->peso)
                   << (l.firme() ? QStringLiteral("estable") : QStringLiteral("inestable"));
        for (auto it = r->lecturas.cbegin(); it != r->lecturas.cend(); ++it)
            partes << it.key() + u' ' + it.value();
        const qint64 ms = std::max<qint64>(0, r->edadMs());
        partes << (ms < 10000 ? QLocale().toString(ms / 1000.0, 'f', 1) + QStringLiteral(" s")
                              : QStringLiteral("hace %1 s").arg(ms / 1000));
    }
    if (!recibe || !r) partes << l.estadoTexto();
    return l.nombre() + QStringLiteral(": ") + partes.join(QStringLiteral(" · "));
}

QString InstrumentBand::ultimaLinea(const InstrumentLink& l)
{
    // Shown as it came, control characters and all but visible.
    QString t = l.ultimaLinea().left(120);
    for (QChar& c : t)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() < 0xa0)) c = u'·';
    return QStringLiteral("\núltima línea: ") + t +
           (l.ultimaLineaReconocida() ? QString() : QStringLiteral(" (no reconocida)"));
}

void InstrumentBand::refrescar()
{
    const auto& enlaces = m_hub.enlaces();
    if (enlaces.isEmpty()) {
        m_reloj.stop();
        hide();
        return;
    }
    QStringList lineas, detalle;
    for (const InstrumentLink* l : enlaces) {
        lineas << texto(*l);
        detalle << QStringLiteral("%1 (%2): %3%4")
                       .arg(l->nombre(), l->config().puerto, l->estadoTexto(),
                            l->ultimaLinea().isEmpty() ? QString() : ultimaLinea(*l));
    }
    setText(lineas.join(u'\n'));
    setToolTip(detalle.join(u'\n'));
    if (!m_reloj.isActive()) m_reloj.start();
    colocar();
    show();
}

void InstrumentBand::colocar()
{
    QWidget* p = parentWidget();
    if (!p) return;
    // Right of the last control of the band's first line.
    int izquierda = 0, arriba = 4, alto = 40;
    for (QObject* o : p->children()) {
        auto* c = qobject_cast<QWidget*>(o);
        if (!c || c == this || c->isHidden()) continue;
        if (c->geometry().top() > 20) continue; // the date line
        izquierda = std::max(izquierda, c->geometry().right() + 8);
        arriba = c->geometry().top();
        alto = std::max(alto, c->height());
    }
    setGeometry(izquierda, arriba, std::max(0, p->width() - izquierda - 6), alto);
}

bool InstrumentBand::eventFilter(QObject* obj, QEvent* e)
{
    if (obj == parentWidget() && e->type() == QEvent::Resize && !isHidden()) colocar();
    return QLabel::eventFilter(obj, e);
}
