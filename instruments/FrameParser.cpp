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

FrameParser::FrameParser(const QString& formato) : m_re(formato)
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
        if (linea.isEmpty() || linea.size() > kMaxLinea) continue;
        // Instruments send ASCII; anything else is shown as it came (Latin-1).
        if (auto r = interpretar(QString::fromLatin1(linea).trimmed(), ahora)) out << *r;
    }
    m_pendiente.remove(0, inicio);
    if (m_pendiente.size() > kMaxLinea) m_pendiente.clear(); // no line end in sight: noise
    return out;
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
        r.peso = numero(m.captured(QStringLiteral("peso")));
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
