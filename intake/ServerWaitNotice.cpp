#include "ServerWaitNotice.h"

#include "DataService.h"

ServerWaitNotice::ServerWaitNotice(DataService& data, QWidget* window)
    : QLabel(window), m_data(data)
{
    setObjectName(QStringLiteral("AvisoEspera"));
    setText(QStringLiteral("Esperando la respuesta del servidor de base de datos…"));
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0xff, 0xf4, 0xc2));
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
    QFont f = font();
    f.setBold(true);
    setFont(f);
    setMargin(8);
    hide();
    m_data.setWaitNotice([this](bool esperando) { mostrar(esperando); });
}

ServerWaitNotice::~ServerWaitNotice()
{
    m_data.setWaitNotice(nullptr);
}

void ServerWaitNotice::mostrar(bool esperando)
{
    QWidget* w = parentWidget();
    if (!esperando) {
        hide();
        if (w) w->repaint();
        return;
    }
    if (!w || !w->isVisible()) return;
    const QSize s = sizeHint().boundedTo(w->size());
    setGeometry((w->width() - s.width()) / 2, (w->height() - s.height()) / 2, s.width(),
                s.height());
    show();
    raise();
    // The statement holds the event loop: painted now.
    repaint();
}
