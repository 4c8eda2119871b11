// Molvera: the wheat intake desk of a grain receiving plant.
#include "DataService.h"
#include "ModGlobal.h"
#include "ServiceError.h"
#include "Lib_ClsCons3.h"
#include "MolveraReportPrinter.h"
#include "ReportCommand.h"
#include "frmTrigo.h"

#include <QApplication>
#include <QTextStream>

namespace {

// molvera --init-db "@Server=...; @DbName=DSN; @Usuario=u; @Password=p;": creates the
// tables of the program on an empty server database; needs no screen.
int initDb(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString p = app.arguments().mid(2).join(u' ');
    auto item = [&](const char* name) {
        try {
            return ModGlobal::ExtraerItem(p, QLatin1String(name));
        } catch (const ServiceError&) {
            return QString();
        }
    };
    QTextStream out(stdout), err(stderr);
    DataService data;
    const QString server = item("@Server");
    data.setUser(item("@Usuario"));
    data.setDatabaseName(item("@DbName"));
    data.setPassword(item("@Password"));
    data.setServer(ModGlobal::NombreServidor(server));
    data.setSchemaCheck(false);
    data.open(server.trimmed().isEmpty());
    if (!data.isOpen()) {
        err << "molvera --init-db: " << data.openError() << Qt::endl;
        return 1;
    }
    try {
        if (data.hasSchema()) {
            out << "La base de datos ya tiene las tablas de Molvera; no se modificó." << Qt::endl;
            return 0;
        }
        data.createSchema();
    } catch (const ServiceError& e) {
        err << "molvera --init-db: " << data.withoutPassword(e.description()) << Qt::endl;
        return 1;
    }
    out << "Tablas de Molvera creadas (" << data.dialect().name() << ")." << Qt::endl;
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--init-db") == 0) return initDb(argc, argv);
    // The unattended report needs no screen.
    const bool report = ReportCommand::isCommandLine(argc, argv);
    if (report && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("molvera"));
    QApplication::setApplicationDisplayName(QStringLiteral("Molvera"));
    QApplication::setQuitOnLastWindowClosed(true);

    DataService data;
    Lib_ClsCons3 lookup(&data);
    MolveraReportPrinter printer(data);
    if (report) return ReportCommand::runCommandLine(data, lookup, printer, app.arguments());
    frmTrigo window(data, lookup, &printer);
    if (!window.Load()) return window.exitCode();
    window.show();
    return app.exec();
}
