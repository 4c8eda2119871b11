#include "InstrumentConfig.h"

#include "FrameParser.h"
#include "IniReader.h"

#include <QLocale>
#include <QRegularExpression>
#include <QUrl>
#include <cmath>

namespace
{

// A value without a trailing "; comment" (the port and line settings hold no
// semicolon; the format is taken as it stands).
QString sinComentario(const QString& v)
{
    static const QRegularExpression comentario(QStringLiteral("\\s+;.*$"));
    QString t = v;
    return t.remove(comentario).trimmed();
}

// A number of the INI with a period or a comma for the decimals; NaN when it
// is no number.
double decimal(const QString& v)
{
    bool ok = false;
    const double d = QLocale::c().toDouble(QString(v).replace(u',', u'.'), &ok);
    return ok ? d : std::nan("");
}

} // namespace

QString InstrumentConfig::host() const
{
    return QUrl(puerto.trimmed()).host();
}

quint16 InstrumentConfig::puertoTcp() const
{
    const int p = QUrl(puerto.trimmed()).port(-1);
    return p > 0 && p < 65536 ? quint16(p) : 0;
}

QString InstrumentConfig::problema() const
{
    if (puerto.isEmpty()) return QStringLiteral("no tiene Puerto");
    if (esTcp() && (host().isEmpty() || puertoTcp() == 0))
        return QStringLiteral("el Puerto %1 no es tcp://HOST:PUERTO").arg(puerto);
    if (formato.isEmpty()) return QStringLiteral("no tiene Formato");
    const FrameParser p(formato);
    if (!p.valido()) return QStringLiteral("el Formato no es válido: %1").arg(p.error());
    if (!p.daPeso() && p.columnas().isEmpty())
        return QStringLiteral("el Formato no nombra ninguna lectura (peso, humedad, pesohect, "
                              "humedo, seco, fallingnumber)");
    if (baudios <= 0) return QStringLiteral("Baudios no es un número válido");
    if (!QStringLiteral("NEOMS").contains(paridad))
        return QStringLiteral("Paridad debe ser N, E, O, M o S");
    if (bitsDatos < 5 || bitsDatos > 8) return QStringLiteral("BitsDatos debe estar entre 5 y 8");
    if (bitsParada != 1 && bitsParada != 2) return QStringLiteral("BitsParada debe ser 1 o 2");
    if (lecturas < 1 || lecturas > kMaxLecturas)
        return QStringLiteral("Lecturas debe ser un número entero de 1 a %1").arg(kMaxLecturas);
    if (decimales < 0 || decimales > 6)
        return QStringLiteral("Decimales debe ser un número entero de 0 a 6");
    if (pesoMinimo && !(*pesoMinimo >= 0))
        return QStringLiteral("PesoMinimo debe ser un peso en kilogramos");
    if (edadMaximaMs < 100 || edadMaximaMs > 60000)
        return QStringLiteral("EdadMaxima debe estar entre 0,1 y 60 segundos");
    return {};
}

QVector<InstrumentConfig> InstrumentConfig::leer(const QString& iniFile)
{
    QVector<InstrumentConfig> out;
    if (IniReader::locate(iniFile).isEmpty()) return out;
    for (int n = 1; n <= kMaximo; ++n) {
        const QString sec = QStringLiteral("Instrumento%1").arg(n);
        auto key = [&](const char* k, const QString& def = {}) {
            return IniReader::readKey(iniFile, sec, QLatin1String(k), def);
        };
        InstrumentConfig c;
        c.numero = n;
        c.puerto = sinComentario(key("Puerto"));
        c.formato = key("Formato").trimmed();
        c.nombre = sinComentario(key("Nombre"));
        if (c.puerto.isEmpty() && c.formato.isEmpty() && c.nombre.isEmpty()) break;
        if (c.nombre.isEmpty()) c.nombre = sec;
        auto entero = [&](const char* k, int def) {
            bool ok = false;
            const int v = sinComentario(key(k)).toInt(&ok);
            return ok ? v : (sinComentario(key(k)).isEmpty() ? def : -1);
        };
        c.baudios = entero("Baudios", 9600);
        c.bitsDatos = entero("BitsDatos", 8);
        c.bitsParada = entero("BitsParada", 1);
        c.lecturas = entero("Lecturas", 3);
        c.decimales = entero("Decimales", 0);
        const QString minimo = sinComentario(key("PesoMinimo"));
        if (!minimo.isEmpty()) c.pesoMinimo = decimal(minimo);
        const QString edad = sinComentario(key("EdadMaxima"));
        if (!edad.isEmpty()) {
            const double s = decimal(edad);
            c.edadMaximaMs =
                std::isfinite(s) && std::abs(s) < 1e6 ? int(std::lround(s * 1000)) : -1;
        }
        const QString par = sinComentario(key("Paridad")).toUpper();
        c.paridad = par.isEmpty() ? QChar(u'N') : par.at(0);
        if (c.paridad == u'P') c.paridad = u'E'; // Par
        if (c.paridad == u'I') c.paridad = u'O'; // Impar
        out << c;
    }
    return out;
}
