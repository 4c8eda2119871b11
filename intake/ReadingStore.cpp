#include "ReadingStore.h"

#include "DataService.h"
#include "FrameParser.h"

bool ReadingStore::disponible()
{
    if (!m_disponible)
        m_disponible = m_data.tableHasColumn(QStringLiteral("mv_molvera_lectura"),
                                             QStringLiteral("id_registro"));
    return *m_disponible;
}

void ReadingStore::registrar(const Lectura& l)
{
    QString cols = QStringLiteral("id_registro, fecha, estacion, instrumento, linea, usuario");
    QString marcas = QStringLiteral("?, ?, ?, ?, ?, ?");
    QVariantList params{l.registro,           l.fecha,
                        l.estacion.left(100), l.instrumento.left(100),
                        l.linea.left(255),    l.usuario.left(50)};
    // Only the sheet's reading columns, by their own names.
    for (const QString& c : FrameParser::columnasDeLectura()) {
        const auto it = l.valores.constFind(c);
        if (it == l.valores.cend()) continue;
        cols += QStringLiteral(", ") + c;
        marcas += QStringLiteral(", ?");
        params << it.value();
    }
    m_data.execute(
        QStringLiteral("INSERT INTO mv_molvera_lectura (%1) VALUES (%2)").arg(cols, marcas),
        params);
}
