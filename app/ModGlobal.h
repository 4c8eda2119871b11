#pragma once

#include <QString>

class DataService;
class Lib_ClsCons3;
class ReportPrinter;

// Process-wide start-up values and the global operations of the program:
// start-up, configuration values and the query-mask file.
namespace ModGlobal {

// Start-up values, set once by IniciarSistema.
extern QString gRutaSistema;
extern QString gSeccionIni;
extern double gEstiloBarras;
// The operator: "@UsuarioLogeado" of the parameter string, else the
// logged-in user's name (SessionService::operatorName).
extern QString gUsuarioLogeado;
extern QString gCadenaConexion;
extern QString gTablaConfiguracion;

// What IniciarSistema ends with.
struct Startup {
    bool proceed = true;  // false: the program must end now
    QString reason;       // why, for the operator (no password in it)
};

// The services start-up works with, process-wide.
struct Context {
    DataService* data = nullptr;
    Lib_ClsCons3* lookup = nullptr;
    ReportPrinter* printer = nullptr;
    QString programFolder;     // where the program lives (CN000pr.INI, consultas.vxt)
};

Startup IniciarSistema(const QString& parametros, const Context& ctx);

// The value of one item "@Name=value;" of the parameter string: the first
// occurrence of the name, case-insensitive, up to the next ";", without "="
// and outer blanks. Empty when the name is absent or has no ";" after it.
QString ExtraerItem(const QString& parametros, const QString& nombre);
QString NombreServidor(const QString& designacion);

void CargarConfiguracion(DataService& data);
// The value stored for the key; " " when the key has no row; "" after an error.
QString ValorConfiguracion(DataService& data, const QString& clave);

void CrearMascarasConsultas(const QString& path);
// The query-mask file: beside the program, or in the user's data folder when
// the program's folder cannot be written (an installed program).
QString RutaMascarasConsultas(const QString& programFolder);

// Resets the start-up values (tests).
void reset();

} // namespace ModGlobal
