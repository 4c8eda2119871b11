#include "InstrumentLink.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QTcpSocket>

namespace
{
int g_reintentoMs = 3000;
int g_silencioMs = 3000;
} // namespace

void InstrumentLink::setTiempos(int reintentoMs, int silencioMs)
{
    g_reintentoMs = reintentoMs;
    g_silencioMs = silencioMs;
}

int InstrumentLink::reintentoMs()
{
    return g_reintentoMs;
}

int InstrumentLink::silencioMs()
{
    return g_silencioMs;
}

InstrumentLink::InstrumentLink(const InstrumentConfig& config, QObject* parent)
    : QObject(parent), m_config(config), m_parser(config.formato, config.decimales)
{
    m_reintento.setSingleShot(true);
    connect(&m_reintento, &QTimer::timeout, this, &InstrumentLink::abrir);
    m_silencio.setSingleShot(true);
    connect(&m_silencio, &QTimer::timeout, this, &InstrumentLink::silencio);
}

void InstrumentLink::silencio()
{
    if (m_estado != Estado::Recibiendo && m_estado != Estado::Abriendo &&
        m_estado != Estado::NoReconocido)
        return;
    // Nothing recognised for a while: lines that are not understood, or none.
    const bool llegan =
        m_rechazoMs >= 0 && InstrumentReading::ahoraMonotonoMs() - m_rechazoMs < g_silencioMs;
    if (!llegan) {
        ponerEstado(Estado::Silencioso);
        return;
    }
    if (m_estado != Estado::NoReconocido) ponerEstado(Estado::NoReconocido);
    m_silencio.start(g_silencioMs); // looked at again: they may stop too
}

int InstrumentLink::repeticiones() const
{
    if (!m_ultima || !m_ultima->peso || !m_ultima->estable) return 0;
    const qint64 ahora = InstrumentReading::ahoraMonotonoMs();
    int n = 0;
    for (qsizetype i = m_racha.size() - 1; i >= 0 && ahora - m_racha.at(i) <= m_config.edadMaximaMs;
         --i)
        ++n;
    return n;
}

void InstrumentLink::seguirRacha(const InstrumentReading& r)
{
    const bool igual = m_ultima && m_ultima->peso && m_ultima->estable && r.peso && r.estable &&
                       *m_ultima->peso == *r.peso;
    if (!igual) m_racha.clear();
    if (r.peso && r.estable) m_racha << r.recibidaMonotonaMs;
    while (m_racha.size() > std::max(1, m_config.lecturas))
        m_racha.removeFirst();
    m_ultima = r;
}

InstrumentLink::~InstrumentLink()
{
    // Closed without signalling a lost port to a window that is going away.
    if (m_serie) m_serie->disconnect(this);
    if (m_tcp) m_tcp->disconnect(this);
}

void InstrumentLink::iniciar()
{
    const QString problema = m_config.problema();
    if (!problema.isEmpty()) {
        ponerEstado(Estado::Configuracion, problema);
        return; // a setting that cannot work does not get better by trying again
    }
    abrir();
}

void InstrumentLink::ponerEstado(Estado estado, const QString& detalle)
{
    m_estado = estado;
    m_detalle = detalle;
    emit cambio();
}

QString InstrumentLink::estadoTexto() const
{
    switch (m_estado) {
    case Estado::Configuracion:
        return QStringLiteral("mal configurado: ") + m_detalle;
    case Estado::Abriendo:
        return QStringLiteral("conectando");
    case Estado::Recibiendo:
        return QStringLiteral("recibiendo");
    case Estado::Silencioso:
        return QStringLiteral("sin datos");
    case Estado::NoReconocido:
        return QStringLiteral("llegan líneas pero no se entienden");
    case Estado::Ausente:
        return QStringLiteral("%1 no disponible, reintentando").arg(m_config.puerto);
    case Estado::Ocupado:
        return QStringLiteral("%1 ocupado por otro programa, reintentando").arg(m_config.puerto);
    case Estado::Fallo:
        return QStringLiteral("error (%1), reintentando").arg(m_detalle);
    }
    return {};
}

void InstrumentLink::abrir()
{
    m_parser.reiniciar();
    m_racha.clear(); // a weight is confirmed again on the new connection
    if (m_config.esTcp())
        abrirTcp();
    else
        abrirSerie();
}

void InstrumentLink::abrirSerie()
{
    if (!m_serie) {
        m_serie = new QSerialPort(this);
        connect(m_serie, &QSerialPort::readyRead, this, &InstrumentLink::leer);
        connect(m_serie, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
            // A port that disappears (cable pulled, converter off) while open.
            if (m_serie->isOpen() && e != QSerialPort::NoError && e != QSerialPort::TimeoutError)
                perder(e == QSerialPort::ResourceError ? Estado::Ausente : Estado::Fallo,
                       m_serie->errorString());
        });
    }
    // A device name as the system gives it (COM3, /dev/ttyUSB0); a symbolic
    // link is followed, as serial-to-USB rules and socat make them.
    const QFileInfo fi(m_config.puerto);
    m_serie->setPortName(fi.isSymLink() ? fi.symLinkTarget() : m_config.puerto);
    m_serie->setBaudRate(m_config.baudios);
    m_serie->setDataBits(QSerialPort::DataBits(m_config.bitsDatos));
    m_serie->setStopBits(m_config.bitsParada == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    switch (m_config.paridad.unicode()) {
    case u'E':
        m_serie->setParity(QSerialPort::EvenParity);
        break;
    case u'O':
        m_serie->setParity(QSerialPort::OddParity);
        break;
    case u'M':
        m_serie->setParity(QSerialPort::MarkParity);
        break;
    case u'S':
        m_serie->setParity(QSerialPort::SpaceParity);
        break;
    default:
        m_serie->setParity(QSerialPort::NoParity);
        break;
    }
    m_serie->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_serie->open(QIODevice::ReadOnly)) {
        const QSerialPort::SerialPortError e = m_serie->error();
        const Estado estado = e == QSerialPort::DeviceNotFoundError ? Estado::Ausente
                              : e == QSerialPort::PermissionError   ? Estado::Ocupado
                                                                    : Estado::Fallo;
        perder(estado, m_serie->errorString());
        return;
    }
    ponerEstado(Estado::Abriendo);
    m_silencio.start(g_silencioMs);
}

void InstrumentLink::abrirTcp()
{
    if (!m_tcp) {
        m_tcp = new QTcpSocket(this);
        connect(m_tcp, &QTcpSocket::readyRead, this, &InstrumentLink::leer);
        connect(m_tcp, &QTcpSocket::connected, this, [this] {
            ponerEstado(Estado::Abriendo);
            m_silencio.start(g_silencioMs);
        });
        connect(m_tcp, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
            perder(e == QAbstractSocket::RemoteHostClosedError ||
                           e == QAbstractSocket::ConnectionRefusedError ||
                           e == QAbstractSocket::HostNotFoundError
                       ? Estado::Ausente
                       : Estado::Fallo,
                   m_tcp->errorString());
        });
    }
    ponerEstado(Estado::Abriendo);
    // In the background: the answer comes as a signal.
    m_tcp->connectToHost(m_config.host(), m_config.puertoTcp(), QIODevice::ReadOnly);
}

void InstrumentLink::perder(Estado estado, const QString& detalle)
{
    m_silencio.stop();
    if (m_serie && m_serie->isOpen()) m_serie->close();
    if (m_tcp) {
        m_tcp->abort();
    }
    if (m_serie) m_serie->clearError();
    ponerEstado(estado, detalle);
    if (!m_reintento.isActive()) m_reintento.start(g_reintentoMs);
}

void InstrumentLink::leer()
{
    QIODevice* dev = m_tcp && m_config.esTcp() ? static_cast<QIODevice*>(m_tcp)
                                               : static_cast<QIODevice*>(m_serie);
    if (!dev) return;
    const qint64 rechazadas = m_parser.rechazadas();
    const QVector<InstrumentReading> r = m_parser.recibir(dev->readAll());
    if (m_parser.rechazadas() != rechazadas) m_rechazoMs = InstrumentReading::ahoraMonotonoMs();
    if (r.isEmpty()) {
        // Garbage or a line not yet ended: silence goes on counting; after a
        // silence, lines that are not understood are said at once.
        if (m_estado == Estado::Silencioso && m_parser.rechazadas() != rechazadas) {
            ponerEstado(Estado::NoReconocido);
            m_silencio.start(g_silencioMs);
        }
        return;
    }
    for (const InstrumentReading& x : r)
        seguirRacha(x);
    m_silencio.start(g_silencioMs);
    m_estado = Estado::Recibiendo;
    m_detalle.clear();
    emit cambio();
}
