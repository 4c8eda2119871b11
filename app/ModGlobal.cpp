#include "ModGlobal.h"

#include "CommandLinePassword.h"
#include "DataService.h"
#include "IniReader.h"
#include "Lib_ClsCons3.h"
#include "QueryMaskFile.h"
#include "ReportPrinter.h"
#include "ServiceError.h"
#include "SessionService.h"
#include "UtilService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace ModGlobal {

QString gRutaSistema;
QString gSeccionIni;
double gEstiloBarras = 0;
QString gUsuarioLogeado;
QString gCadenaConexion;
QString gTablaConfiguracion;

void reset()
{
    gRutaSistema.clear();
    gSeccionIni.clear();
    gEstiloBarras = 0;
    gUsuarioLogeado.clear();
    gCadenaConexion.clear();
    gTablaConfiguracion.clear();
}

QString ExtraerItem(const QString& parametros, const QString& nombre)
{
    const qsizetype p = parametros.indexOf(nombre, 0, Qt::CaseInsensitive);
    if (p < 0) return {};
    const qsizetype q = parametros.indexOf(u';', p);
    if (q < 0)
        throw ServiceError(ServiceError::InvalidCall,
                           QStringLiteral("El parámetro %1 no termina con \";\".").arg(nombre));
    const qsizetype start = p + nombre.size();
    if (q < start) return {};
    QString v = parametros.mid(start, q - start);
    v = UtilService::removeChars(v, u'=');
    return v.trimmed();
}

QString NombreServidor(const QString& designacion)
{
    const qsizetype i = designacion.indexOf(u'/');
    if (i < 0) return designacion;
    return designacion.mid(i + 1);
}

void CargarConfiguracion(DataService& data)
{
    gTablaConfiguracion = data.tableHasColumn(QStringLiteral("ta_configuracion"),
                                              QStringLiteral("clave"))
                              ? QStringLiteral("ta_configuracion")
                              : QStringLiteral("ta_configuracion2");
}

QString ValorConfiguracion(DataService& data, const QString& clave)
{
    if (gTablaConfiguracion.trimmed().isEmpty()) gTablaConfiguracion = QStringLiteral("TA_CONFIGURACION");
    const QString sql = QStringLiteral("SELECT VALOR FROM %1 WHERE CLAVE = ?")
                            .arg(data.dialect().quoteIdentifier(gTablaConfiguracion));
    while (true) {
        try {
            RecordSet rs = data.openRecordSet(sql, {clave.trimmed()});
            if (rs.bof()) return QStringLiteral(" ");
            return UtilService::valueToText(rs.value(QStringLiteral("Valor")));
        } catch (const ServiceError& e) {
            if (UtilService::errorDialog(nullptr, e, QStringLiteral("Cfg")) != 4) return {};
        }
    }
}

QString RutaMascarasConsultas(const QString& programFolder)
{
    const QString beside =
        UtilService::normalizeFolder(programFolder) + QStringLiteral("consultas.vxt");
    if (QFileInfo::exists(beside) || QFileInfo(programFolder).isWritable()) return beside;
    // An installed program (/usr/bin): the user's data folder.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    return QDir(data).filePath(QStringLiteral("consultas.vxt"));
}

void CrearMascarasConsultas(const QString& path)
{
    QueryMaskFile::writeStandardMasks(path);
}

Startup IniciarSistema(const QString& parametrosIn, const Context& ctx)
{
    Startup result;
    DataService& data = *ctx.data;
    // Runs one step: invalid-call errors are passed over, any other error
    // ends start-up quietly (the window goes on loading).
    bool stopped = false;
    auto step = [&](auto&& f) {
        if (stopped) return;
        try {
            f();
        } catch (const ServiceError& e) {
            if (e.number() != ServiceError::InvalidCall) stopped = true;
        }
    };

    step([&] { gRutaSistema = UtilService::normalizeFolder(ctx.programFolder); });
    QString parametros = parametrosIn;
    step([&] {
        if (parametros.isEmpty()) {
            QStringList args = QCoreApplication::arguments();
            if (!args.isEmpty()) args.removeFirst();
            parametros = args.join(u' ');
        }
    });
    step([&] {
        gSeccionIni = SessionService::firstIdentity().toUpper() + u'|' +
                      SessionService::secondIdentity().toUpper();
    });
    step([&] {
        const QString v = IniReader::readKey(QStringLiteral("CN000pr.INI"), gSeccionIni,
                                             QStringLiteral("FlatToolbars"), QStringLiteral("1"));
        gEstiloBarras = UtilService::leadingNumber(v);
    });

    if (!data.isOpen()) {
        QString server, dbName, user, password;
        step([&] { server = ExtraerItem(parametros, QStringLiteral("@Server")); });
        step([&] { dbName = ExtraerItem(parametros, QStringLiteral("@DbName")); });
        step([&] { user = ExtraerItem(parametros, QStringLiteral("@Usuario")); });
        step([&] { password = ExtraerItem(parametros, QStringLiteral("@Password")); });
        password = CommandLinePassword::resolve(password);
        step([&] { gUsuarioLogeado = ExtraerItem(parametros, QStringLiteral("@UsuarioLogeado")); });
        // Without an operator named on the command line, the logged-in user.
        if (gUsuarioLogeado.isEmpty()) gUsuarioLogeado = SessionService::operatorName();
        if (stopped) return result;
        data.setUser(user);
        data.setDatabaseName(dbName);
        data.setPassword(password);
        data.setServer(NombreServidor(server));
        data.open(server.trimmed().isEmpty(), 3, QString());
        if (!data.isOpen()) {
            result.proceed = false;
            result.reason = data.openError();
            if (result.reason.isEmpty())
                result.reason = QStringLiteral("No se pudo abrir la conexión con la base de datos.");
            return result;
        }
        data.setCommandTimeout(360);
    }

    step([&] {
        gCadenaConexion = QStringLiteral("DSN=") + data.databaseName() + QStringLiteral("; UID=") +
                          data.user() + QStringLiteral("; PWD=") + data.password();
    });
    step([&] {
        if (ctx.printer) ctx.printer->setBaseFolder(gRutaSistema);
    });
    step([&] {
        if (!ctx.lookup) return;
        ctx.lookup->gConnString = data.connectionString();
        ctx.lookup->gUsarMascarasConsultas = true;
        ctx.lookup->gRutaMascaraConsultas = RutaMascarasConsultas(ctx.programFolder);
    });
    step([&] {
        if (!ctx.lookup) return;
        const QString path = ctx.lookup->gRutaMascaraConsultas;
        if (!QueryMaskFile::exists(path)) CrearMascarasConsultas(path);
    });
    step([&] {
        if (!data.databaseName().isEmpty()) CargarConfiguracion(data);
    });
    return result;
}

} // namespace ModGlobal
