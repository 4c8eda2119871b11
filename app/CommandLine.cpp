#include "CommandLine.h"

#include "DataService.h"
#include "DatabaseBackup.h"
#include "ModGlobal.h"
#include "SchemaUpgrade.h"
#include "ServiceError.h"

#include <QCoreApplication>
#include <QTextStream>

#ifndef MOLVERA_VERSION
#define MOLVERA_VERSION "0"
#endif

namespace CommandLine
{

namespace
{

// Options of Qt itself that the program passes on to it (with a value).
const char* const kQtOptions[] = {
    "-platform", "-style",           "-stylesheet",   "-geometry", "-display", "-platformtheme",
    "-plugin",   "-qwindowgeometry", "-qwindowtitle", "-session",  "-reverse"};

QString item(const QString& parametros, const char* name)
{
    try {
        return ModGlobal::ExtraerItem(parametros, QLatin1String(name));
    } catch (const ServiceError&) {
        return {};
    }
}

} // namespace

QString helpText()
{
    return QStringLiteral(
        "Molvera: recepción de trigo en planta.\n"
        "\n"
        "Uso:\n"
        "  molvera [\"PARÁMETROS\"]\n"
        "      abre la planilla diaria\n"
        "  molvera --report DESDE HASTA --output ARCHIVO.pdf|ARCHIVO.csv [\"PARÁMETROS\"]\n"
        "      escribe el reporte de recepción sin ventana (DESDE y HASTA dd/mm/aaaa;\n"
        "      - o \"\" deja ese extremo abierto)\n"
        "  molvera --statement DESDE HASTA --output ARCHIVO.pdf|ARCHIVO.csv [\"PARÁMETROS\"]\n"
        "      escribe el resumen por vendedor (cada carga con su merma, kilos netos y\n"
        "      grado; subtotal por vendedor y total) sin ventana, con las mismas fechas\n"
        "  molvera --init-db \"PARÁMETROS\"\n"
        "      crea las tablas en una base de un servidor, o las actualiza si son de una\n"
        "      versión anterior\n"
        "  molvera --backup ARCHIVO [\"PARÁMETROS\"]\n"
        "      copia la base embebida en ARCHIVO mientras se sigue trabajando y comprueba\n"
        "      la copia\n"
        "  molvera --version\n"
        "  molvera --help\n"
        "\n"
        "PARÁMETROS es una cadena de elementos @Nombre=valor; (el nombre en mayúsculas o\n"
        "minúsculas, cada elemento terminado en \";\"):\n"
        "  @Server=EQUIPO/NOMBRE;  servidor de base de datos; sin él, la base embebida\n"
        "  @DbName=...;            base embebida: el archivo (ruta, o nombre en\n"
        "                          ~/.local/share/molvera/); servidor: el origen de datos ODBC\n"
        "  @Usuario=...;           usuario de la base de datos (servidor)\n"
        "  @Password=...;          su contraseña (servidor); mejor fuera de la línea de\n"
        "                          comandos: Password= en el origen de datos ODBC o la\n"
        "                          variable de entorno MOLVERA_PASSWORD\n"
        "  @UsuarioLogeado=...;    el operador, responsable de lo que se carga; sin él, el\n"
        "                          usuario que inició la sesión (su nombre completo)\n"
        "Ejemplo: molvera \"@DbName=/srv/molvera.db; @UsuarioLogeado=OPERADOR;\"\n"
        "\n"
        "Estado de salida: 0 bien; 1 sin base de datos; 2 línea de comandos equivocada;\n"
        "3 el reporte o la copia no se pudo hacer.\n");
}

QString versionText()
{
    return QStringLiteral("molvera %1 (esquema de base de datos %2)\n")
        .arg(QLatin1String(MOLVERA_VERSION))
        .arg(SchemaUpgrade::kCurrent);
}

QString unknownOption(const QStringList& arguments)
{
    static const QStringList known{
        QStringLiteral("--report"),    QStringLiteral("--output"),  QStringLiteral("--init-db"),
        QStringLiteral("--statement"), QStringLiteral("--backup"),  QStringLiteral("--help"),
        QStringLiteral("-h"),          QStringLiteral("--version"),
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a.size() < 2 || !a.startsWith(u'-') || known.contains(a)) continue;
        // A negative number is no option.
        if (a.at(1).isDigit()) continue;
        bool qt = false;
        for (const char* o : kQtOptions)
            if (a == QLatin1String(o) || a == QLatin1String("-") + QLatin1String(o)) qt = true;
        if (qt) {
            ++i; // its value
            continue;
        }
        return a;
    }
    return {};
}

int backup(const QStringList& arguments)
{
    QTextStream out(stdout), err(stderr);
    const qsizetype b = arguments.indexOf(QStringLiteral("--backup"));
    if (b < 0 || b + 1 >= arguments.size() || arguments.at(b + 1).trimmed().isEmpty() ||
        arguments.at(b + 1).startsWith(u'@')) {
        err << "molvera --backup: falta el archivo de la copia.\n"
               "Uso: molvera --backup ARCHIVO [\"@DbName=...;\"]"
            << Qt::endl;
        return 2;
    }
    const QString target = arguments.at(b + 1);
    QStringList rest = arguments;
    rest.remove(b, 2);
    const QString parametros = rest.join(u' ');
    if (!item(parametros, "@Server").trimmed().isEmpty()) {
        err << "molvera --backup: la base de datos está en un servidor; cópiela con las "
               "herramientas del servidor (en PostgreSQL: pg_dump -Fc -f planta.dump "
               "NOMBRE_DE_LA_BASE)."
            << Qt::endl;
        return 2;
    }
    const QString source = DataService::embeddedFilePath(item(parametros, "@DbName"));
    DatabaseBackup copy;
    switch (copy.copy(source, target)) {
    case DatabaseBackup::Result::Done:
        out << copy.message() << Qt::endl;
        return 0;
    case DatabaseBackup::Result::NoDatabase:
        err << "molvera --backup: " << copy.message() << Qt::endl;
        return 1;
    case DatabaseBackup::Result::Failed:
        break;
    }
    err << "molvera --backup: " << copy.message() << Qt::endl;
    return 3;
}

int run(int argc, char* argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QTextStream err(stderr);
    if (const QString unknown = unknownOption(args); !unknown.isEmpty()) {
        err << QStringLiteral("molvera: opción desconocida \"%1\". Vea molvera --help.\n")
                   .arg(unknown);
        return 2;
    }
    // --help and --version answer alone: anything beside them is a mistake
    // of the command line, not something to pass over.
    for (const char* alone : {"--help", "-h", "--version"}) {
        const qsizetype at = args.indexOf(QLatin1String(alone));
        if (at < 0) continue;
        if (args.size() > 1) {
            err << QStringLiteral("molvera: %1 no lleva otros argumentos (\"%2\"). Vea molvera "
                                  "--help.\n")
                       .arg(QLatin1String(alone), args.at(at == 0 ? 1 : 0));
            return 2;
        }
        QTextStream(stdout) << (qstrcmp(alone, "--version") == 0 ? versionText() : helpText());
        return 0;
    }
    if (args.contains(QStringLiteral("--backup"))) {
        QCoreApplication app(argc, argv);
        return backup(args);
    }
    return -1;
}

} // namespace CommandLine
