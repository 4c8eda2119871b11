#include "Lib_ClsCons3.h"

#include "Dialogs.h"
#include "Lib_FrmCons3.h"
#include "QueryMaskFile.h"
#include "UtilService.h"

#include <QFileInfo>

namespace
{

QString cleaned(const QString& raw)
{
    return UtilService::removeChars(raw, QChar(0), QChar(255)).trimmed();
}

// A column of a mask's field list: a name, possibly qualified, bracketed or
// with an alias. Empty entries and statement characters mean a damaged record.
bool isColumnName(const QString& name)
{
    if (name.isEmpty()) return false;
    for (QChar c : name)
        if (!c.isLetterOrNumber() && !QStringLiteral("_. []*()").contains(c)) return false;
    return true;
}

bool hasControlChars(const QString& text)
{
    for (QChar c : text)
        if (c.unicode() < 32) return true;
    return false;
}

// A statement separator or a comment marker outside quoted texts: a mask's
// source or condition with one would end the lookup's statement or hide the
// search conditions added after it, so the record counts as damaged.
bool splitsStatement(const QString& text)
{
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const QChar next = i + 1 < text.size() ? text.at(i + 1) : QChar();
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u';' || (c == u'-' && next == u'-') || (c == u'/' && next == u'*')) {
            return true;
        }
    }
    return !quote.isNull(); // an unclosed quote takes in what follows
}

} // namespace

Lib_ClsCons3::Lib_ClsCons3(DataService* data) : m_data(data) {}

Lib_ClsCons3::~Lib_ClsCons3() = default;

std::optional<QString> Lib_ClsCons3::SentenciaDeMascara(const QString& sql,
                                                        QString& campoBusqueda) const
{
    if (!gUsarMascarasConsultas || !QueryMaskFile::exists(gRutaMascaraConsultas))
        return std::nullopt;
    const auto rec = QueryMaskFile::findBySource(gRutaMascaraConsultas, sql.trimmed());
    if (!rec) return std::nullopt;

    const QString source = cleaned(rec->source);
    QString columns =
        UtilService::replace(rec->fields, QStringLiteral("|"), QStringLiteral(",")).trimmed();
    if (columns.startsWith(u',')) columns.remove(0, 1);
    if (columns.endsWith(u',')) columns.chop(1);
    if (columns.trimmed().isEmpty()) columns = QStringLiteral("*");
    QString filter = cleaned(rec->filter);

    // A record whose texts are no list of column names is damaged: the
    // statement is then used as passed.
    if (source.isEmpty() || hasControlChars(source) || hasControlChars(filter) ||
        splitsStatement(source) || splitsStatement(filter))
        return std::nullopt;
    if (columns != QLatin1String("*")) {
        for (const QString& c : columns.split(u','))
            if (!isColumnName(c.trimmed())) return std::nullopt;
    }

    if (campoBusqueda.isEmpty()) {
        const qsizetype comma = columns.indexOf(u',');
        if (comma >= 0) campoBusqueda = columns.left(comma);
    }
    if (filter.isEmpty()) {
        if (source.compare(QLatin1String("VT_PROVEEDORES"), Qt::CaseInsensitive) == 0 ||
            source.compare(QLatin1String("VT_CLIENTES"), Qt::CaseInsensitive) == 0)
            filter = QStringLiteral("Dada_De_Baja = 0");
        else if (source.compare(QLatin1String("V_MA_ARTICULOS"), Qt::CaseInsensitive) == 0)
            filter = QStringLiteral("SUSPENDIDO = 0");
    }
    QString statement =
        QStringLiteral("SELECT top 1000 ") + columns + QStringLiteral(" FROM ") + source;
    if (!filter.isEmpty()) statement += QStringLiteral(" WHERE ") + filter;
    return statement;
}

bool Lib_ClsCons3::OrdenarEnLista(const QString& sql)
{
    return !sql.contains(QLatin1String("ORDER BY"), Qt::CaseInsensitive);
}

void Lib_ClsCons3::ConsultaSearch(const QString& sql, TextCollection& cmpsDevueltos,
                                  const QString& clave, QString& campoBusqueda)
{
    // Every step is guarded: one that fails is skipped and the next one runs;
    // nothing fails towards the caller.
    auto step = [](auto&& f) {
        try {
            f();
        } catch (...) {
        }
    };

    QString working;
    step([&] { working = sql; });
    step([&] {
        if (const auto masked = SentenciaDeMascara(working, campoBusqueda)) working = *masked;
    });
    bool ordenar = false;
    step([&] { ordenar = OrdenarEnLista(working); });

    step([&] {
        m_window = std::make_unique<Lib_FrmCons3>(m_data, m_parent);
        m_window->OrdenarPorLwv = ordenar;
        m_window->FiltroInicial = clave;
        m_window->CampoBusqueda = campoBusqueda;
        m_window->Sql = working;
        m_window->gConnString = gConnString;
        m_window->CampoDevuelto = CampoDevuelto;
        m_window->CheckBoxes = Checks;
        m_window->UsaCantidades = UsaCantidades;
    });
    step([&] {
        Valores.reset();
        Cantidades.reset();
        if (!m_window) return;
        m_window->CmpsDevueltos = cmpsDevueltos;
        m_window->Valores = Valores;
        m_window->Cantidades = Cantidades;
    });
    step([&] {
        if (m_window) Dialogs::instance().exec(m_window.get());
    });
    step([&] {
        Checks = false;
        if (m_window) {
            Valores = m_window->Valores;
            Cantidades = m_window->Cantidades;
            ValorDevuelto = m_window->ValorDevuelto;
            m_window->CampoDevuelto.clear();
        }
        CampoDevuelto.clear();
    });
    step([&] {
        if (cmpsDevueltos) cmpsDevueltos->clear();
        cmpsDevueltos.reset();
    });
    step([&] {
        if (!m_window) return;
        m_window->Valores.reset();
        m_window->Cantidades.reset();
        m_window->Form_Unload();
    });
    m_window.reset();
}
