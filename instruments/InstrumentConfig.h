#pragma once

#include <QString>
#include <QVector>
#include <optional>

// One instrument a workstation names in its CN000pr.INI, section
// [InstrumentoN]: its name, its port (a serial device, COM3 on Windows, or
// tcp://HOST:PORT for a serial-to-Ethernet converter), the line settings
// (8N1 at 9600 baud unless given), the format of its lines, and what a key
// may take from it: a scale's weight once the same stable weight came in
// `lecturas` recognised lines in a row, none older than `edadMaximaMs`, and
// not below `pesoMinimo`; an analyzer's readings while younger than
// `edadMaximaMs`. `decimales` is how many decimals the scale writes after its
// decimal mark (0: every "," or "." in the weight separates thousands).
struct InstrumentConfig {
    int numero = 0;
    QString nombre;
    QString puerto;
    int baudios = 9600;
    QChar paridad = u'N'; // N, E (par), O (impar), M, S
    int bitsDatos = 8;
    int bitsParada = 1; // 1 or 2
    QString formato;
    int lecturas = 3;                 // Lecturas=
    int decimales = 0;                // Decimales=
    std::optional<double> pesoMinimo; // PesoMinimo=, kilograms; NaN when unreadable
    int edadMaximaMs = 2000;          // EdadMaxima=, in seconds in the INI

    bool esTcp() const { return puerto.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive); }
    QString host() const;
    quint16 puertoTcp() const;
    // What is wrong with the settings, empty when they can be used.
    QString problema() const;

    // The instruments named in the INI file ([Instrumento1], [Instrumento2],
    // … up to the first number without a section); none without the file.
    static QVector<InstrumentConfig> leer(const QString& iniFile = QStringLiteral("CN000pr.INI"));
    static constexpr int kMaximo = 16;
    static constexpr int kMaxLecturas = 50;
};
