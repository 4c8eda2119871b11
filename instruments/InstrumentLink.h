#pragma once

#include "FrameParser.h"
#include "InstrumentConfig.h"
#include "InstrumentReading.h"

#include <QObject>
#include <QTimer>
#include <optional>

class QIODevice;
class QSerialPort;
class QTcpSocket;

// The link to one instrument: its serial port or TCP connection, opened
// without ever waiting (a TCP connection is made in the background), its
// lines read as they come and its last reading kept. A port that is missing,
// busy, fails or falls silent is shown as such, and so is one whose lines
// arrive but are not recognised; a closed one is tried again every few
// seconds in the background. A scale's weight counts as firm once the same
// stable weight came in the configured number of recognised lines in a row,
// all younger than the configured age.
class InstrumentLink : public QObject
{
    Q_OBJECT
public:
    enum class Estado {
        Configuracion,
        Abriendo,
        Recibiendo,
        Silencioso,
        NoReconocido, // lines arrive, none recognised
        Ausente,
        Ocupado,
        Fallo
    };

    explicit InstrumentLink(const InstrumentConfig& config, QObject* parent = nullptr);
    ~InstrumentLink() override;

    // Opens the port (and keeps trying).
    void iniciar();

    const InstrumentConfig& config() const { return m_config; }
    const QString& nombre() const { return m_config.nombre; }
    bool esBalanza() const { return m_parser.daPeso(); }
    bool esAnalizador() const { return !m_parser.columnas().isEmpty(); }

    Estado estado() const { return m_estado; }
    // The state in words ("sin datos", "puerto ocupado", …).
    QString estadoTexto() const;
    // The last line the format recognised, if any arrived since start.
    const std::optional<InstrumentReading>& ultima() const { return m_ultima; }
    // The last line received, recognised or not, and whether it was.
    const QString& ultimaLinea() const { return m_parser.ultimaLinea(); }
    bool ultimaLineaReconocida() const { return m_parser.ultimaReconocida(); }
    // How many lines came since start, recognised or not.
    qint64 lineasRecibidas() const { return m_parser.lineas(); }
    // How many of the latest recognised lines in a row carry the last
    // reading's stable weight and are younger than the configured age (up to
    // the configured count); firme() when they are that many.
    int repeticiones() const;
    bool firme() const { return repeticiones() >= m_config.lecturas; }

    // The waits: the time between attempts to open a closed port, and the
    // time without a recognised line after which the port counts as silent.
    static void setTiempos(int reintentoMs, int silencioMs);
    static int reintentoMs();
    static int silencioMs();

signals:
    // A new reading arrived or the state changed.
    void cambio();

private:
    void abrir();
    void abrirSerie();
    void abrirTcp();
    void leer();
    void silencio();
    // The run of equal stable weights, with the latest reading.
    void seguirRacha(const InstrumentReading& r);
    // Closes the port, shows why and tries again later.
    void perder(Estado estado, const QString& detalle);
    void ponerEstado(Estado estado, const QString& detalle = {});

    InstrumentConfig m_config;
    FrameParser m_parser;
    QSerialPort* m_serie = nullptr;
    QTcpSocket* m_tcp = nullptr;
    QTimer m_reintento;
    QTimer m_silencio;
    Estado m_estado = Estado::Abriendo;
    QString m_detalle;
    std::optional<InstrumentReading> m_ultima;
    // When the latest recognised lines in a row with the same stable weight
    // arrived (monotonic clock), oldest first, at most the configured count.
    QVector<qint64> m_racha;
    qint64 m_rechazoMs = -1; // when the last unrecognised line arrived
};
