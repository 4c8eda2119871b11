#include "FrameParser.h"

#include <QLocale>

namespace
{

// A number as an instrument writes it, in the plain form: no blanks, no plus
// sign, a period for the decimals.
QString plano(QString t)
{
    t = t.trimmed().remove(u' ');
    if (t.startsWith(u'+')) t.remove(0, 1);
    return t.replace(u',', u'.');
}

std::optional<double> numero(const QString& t)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(plano(t), &ok);
    if (!ok) return std::nullopt;
    return v;
}

} // namespace

std::optional<double> FrameParser::peso(QStringView texto, int decimales)
{
    QString t = texto.trimmed().toString().remove(u' ');
    bool negativo = false;
    if (t.startsWith(u'+') || t.startsWith(u'-')) {
        negativo = t.startsWith(u'-');
        t.remove(0, 1);
    }
    if (t.isEmpty()) return std::nullopt;
    for (const QChar c : std::as_const(t))
        if ((c < u'0' || c > u'9') && c != u',' && c != u'.') return std::nullopt;
    QString entera = t, fraccion;
    QChar marcaDecimal;
    if (decimales > 0) {
        const qsizetype m = std::max(t.lastIndexOf(u','), t.lastIndexOf(u'.'));
        if (m < 0 || t.size() - m - 1 != decimales) return std::nullopt;
        marcaDecimal = t.at(m);
        entera = t.left(m);
        fraccion = t.mid(m + 1);
    }
    // The whole part: plain digits, or groups of three after a first group of
    // one to three, all with the same mark, which is not the decimal one.
    const bool coma = entera.contains(u','), punto = entera.contains(u'.');
    if (coma && punto) return std::nullopt;
    const QChar marca = coma ? QChar(u',') : QChar(u'.');
    const QStringList grupos = entera.split(marca);
    if (grupos.size() > 1) {
        if (marca == marcaDecimal) return std::nullopt;
        if (grupos.first().isEmpty() || grupos.first().size() > 3) return std::nullopt;
        for (qsizetype i = 1; i < grupos.size(); ++i)
            if (grupos.at(i).size() != 3) return std::nullopt;
    }
    const QString digitos = grupos.join(QString());
    if (digitos.isEmpty()) return std::nullopt;
    bool ok = false;
    const double v =
        QLocale::c().toDouble(fraccion.isEmpty() ? digitos : digitos + u'.' + fraccion, &ok);
    if (!ok) return std::nullopt;
    return negativo ? -v : v;
}

FrameParser::FrameParser(const QString& formato, int decimales)
    : m_re(formato), m_decimales(decimales)
{
    const QStringList nombres = m_re.namedCaptureGroups();
    for (const QString& c : columnasDeLectura())
        if (nombres.contains(c, Qt::CaseInsensitive)) m_columnas << c;
    m_tieneEstable = nombres.contains(QStringLiteral("estable"), Qt::CaseInsensitive);
}

const QStringList& FrameParser::columnasDeLectura()
{
    static const QStringList cols{QStringLiteral("humedo"), QStringLiteral("seco"),
                                  QStringLiteral("fallingnumber"), QStringLiteral("humedad"),
                                  QStringLiteral("pesohect")};
    return cols;
}

QString FrameParser::error() const
{
    if (m_re.isValid()) return {};
    return QStringLiteral("%1 (posición %2)")
        .arg(m_re.errorString())
        .arg(m_re.patternErrorOffset());
}

bool FrameParser::daPeso() const
{
    return m_re.namedCaptureGroups().contains(QStringLiteral("peso"), Qt::CaseInsensitive);
}

QVector<InstrumentReading> FrameParser::recibir(const QByteArray& bytes, const QDateTime& ahora)
{
    QVector<InstrumentReading> out;
    m_pendiente += bytes;
    qsizetype inicio = 0;
    for (qsizetype i = 0; i < m_pendiente.size(); ++i) {
        const char c = m_pendiente.at(i);
        if (c != '\n' && c != '\r') continue;
        const QByteArray linea = m_pendiente.mid(inicio, i - inicio);
        inicio = i + 1;
        if (linea.isEmpty()) continue;
        if (linea.size() > kMaxLinea) {
            rechazar(QString::fromLatin1(linea.left(kMuestra)));
            continue;
        }
        // Instruments send ASCII; anything else is shown as it came (Latin-1).
        const QString texto = QString::fromLatin1(linea).trimmed();
        if (texto.isEmpty()) continue;
        if (auto r = interpretar(texto, ahora)) {
            ++m_lineas;
            out << *r;
            m_ultimaLinea = texto;
            m_ultimaReconocida = true;
        } else {
            rechazar(texto);
        }
    }
    m_pendiente.remove(0, inicio);
    if (m_pendiente.size() > kMaxLinea) { // no line end in sight: noise
        rechazar(QString::fromLatin1(m_pendiente.left(kMuestra)));
        m_pendiente.clear();
    }
    return out;
}

void FrameParser::rechazar(const QString& linea)
{
    m_ultimaLinea = linea;
    m_ultimaReconocida = false;
    ++m_lineas;
    ++m_rechazadas;
}

std::optional<InstrumentReading> FrameParser::interpretar(const QString& linea,
                                                          const QDateTime& ahora) const
{
    if (!m_re.isValid() || linea.isEmpty()) return std::nullopt;
    const QRegularExpressionMatch m = m_re.match(linea);
    if (!m.hasMatch()) return std::nullopt;
    InstrumentReading r;
    r.linea = linea;
    r.recibida = ahora;
    r.recibidaMonotonaMs = InstrumentReading::ahoraMonotonoMs();
    if (daPeso()) {
        r.peso = peso(m.capturedView(QStringLiteral("peso")), m_decimales);
        if (!r.peso) return std::nullopt; // a cut or garbled number is no weight
    }
    // ST (or any other mark the format captures) is stable; US, the usual
    // "unstable" mark, and an empty capture are not. A format without the
    // group comes from an indicator that only sends settled weights.
    if (m_tieneEstable) {
        const QString e = m.captured(QStringLiteral("estable")).trimmed();
        r.estable = !e.isEmpty() && e.compare(QLatin1String("US"), Qt::CaseInsensitive) != 0;
    } else {
        r.estable = true;
    }
    for (const QString& c : m_columnas) {
        const QString t = m.captured(c).trimmed();
        if (t.isEmpty()) continue;
        if (!numero(t)) return std::nullopt;
        // Written with a period, as the sheet's number check reads it in any locale.
        r.lecturas.insert(c, plano(t));
    }
    return r;
}
