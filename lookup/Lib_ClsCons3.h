#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>

class DataService;
class Lib_FrmCons3;
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
    explicit Lib_ClsCons3(DataService* data = nullptr);
    ~Lib_ClsCons3();
    Lib_ClsCons3(const Lib_ClsCons3&) = delete;
    Lib_ClsCons3& operator=(const Lib_ClsCons3&) = delete;

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

    // The query-mask step on its own: the statement built from the first
    // whole mask record whose source is the text asked for, or none when
    // masks are off, the file is missing, damaged or has no such source.
    // campoBusqueda, when empty, receives the mask's first column.
    std::optional<QString> SentenciaDeMascara(const QString& sql, QString& campoBusqueda) const;
    // True when the window is to sort the list itself: the statement has no
    // ORDER BY of its own.
    static bool OrdenarEnLista(const QString& sql);

private:
    DataService* m_data = nullptr;
    QWidget* m_parent = nullptr;
    std::unique_ptr<Lib_FrmCons3> m_window; // lives for one request only
};
