#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

class DataService;
class QWidget;

// An ordered collection of texts, numbered from 1, that may also be none (no
// collection at all), which is not the same as an empty collection.
using TextCollection = std::optional<QStringList>;

// The lookup request: the caller sets the options, calls ConsultaSearch with
// a statement (or the name of a source that has a query mask) and reads the
// picked value back. One object serves the whole session.
class Lib_ClsCons3
{
public:
    explicit Lib_ClsCons3(DataService* data = nullptr) : m_data(data) {}

    void setDataService(DataService* data) { m_data = data; }
    DataService* dataService() const { return m_data; }
    void setParentWindow(QWidget* parent) { m_parent = parent; }

    TextCollection CmpsDevueltos = QStringList{};
    TextCollection Valores = QStringList{};
    TextCollection Cantidades = std::nullopt;
    bool Checks = false;
    QVariant ValorDevuelto;
    QString gConnString;
    QString gRutaMascaraConsultas;
    bool gUsarMascarasConsultas = false;
    bool UsaCantidades = false;
    QString CampoDevuelto;

    // Shows the lookup window modally over the statement and leaves the
    // outcome in ValorDevuelto, Valores and Cantidades. cmpsDevueltos is
    // consumed (emptied and set to none); campoBusqueda may receive the first
    // column of a query mask. Never fails towards the caller.
    void ConsultaSearch(const QString& sql, TextCollection& cmpsDevueltos, const QString& clave,
                        QString& campoBusqueda);

private:
    DataService* m_data = nullptr;
    QWidget* m_parent = nullptr;
};
