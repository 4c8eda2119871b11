#pragma once

#include "SqlDialect.h"

#include <QString>

class TextBox;
class frmTrigo;

// The pick lists of the active field: the sheet's text columns, the deposits,
// the users, the date chooser of the date boxes, and a default definition for
// any other table. A picked value is put into the field and the edit is ended
// as Enter would end it, so it is validated and written like a typed one. A
// list closed without a pick leaves the field, and the database, as they were.
class FieldLookups
{
public:
    explicit FieldLookups(frmTrigo& w);

    // The lookup of the active field (mCampoActivo). With lSinKeyDown the
    // picked value is put into the field and the edit is left open.
    void CmdConsultar(bool lSinKeyDown = false);

    // The statement and returned column of a built-in pick list, by lookup
    // tag (case-insensitive), for a database of that kind. False for a tag
    // without a built-in list (the date boxes' "Fecha" has none: it opens the
    // date chooser).
    static bool listaFija(const QString& tag, QString& sql, QString& campoDevuelto,
                          SqlDialect::Kind kind = SqlDialect::Kind::SQLite);

    // The description and key columns of a table or view, derived from its
    // name. False when no columns can be derived; both then stay as passed.
    static bool columnasConsulta(const QString& tabla, QString& descripcion, QString& clave);
    // The statement of the default lookup over a table: "select <description>,
    // <key> from <table> <filter>". Empty when no columns can be derived or
    // the name is not a plain table name.
    static QString sentenciaConsulta(const QString& tabla, QString& descripcion, QString& clave,
                                     const QString& filtro = {});

    // The default query definition: derives the columns and, with mostrar,
    // runs the lookup over them; clave then holds the picked key (empty when
    // nothing was picked).
    void DefinirConsulta(const QString& tabla, QString& descripcion, QString& clave, bool mostrar,
                         const QString& filtro);

private:
    // Runs the one lookup request and answers the picked value as text
    // (empty when nothing was picked).
    QString consultar(const QString& sql, const QString& campoDevuelto);
    // Ends the edit of the field as Enter would.
    void terminarEdicion(TextBox* campo);
    // Opens the cell editor over the current cell, when it is closed.
    bool abrirEditor();

    frmTrigo& w;
};
