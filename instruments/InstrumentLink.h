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
// busy, fails or falls silent is shown as such; a closed one is tried again
// every few seconds in the background.
class InstrumentLink : public QObject
{
    Q_OBJECT
public:
    enum class Estado { Configuracion, Abriendo, Recibiendo, Silencioso, Ausente, Ocupado, Fallo };

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
};
