// Molvera: the wheat intake desk of a grain receiving plant.
#include "CommandLine.h"
#include "CommandLinePassword.h"
#include "DataService.h"
#include "Idioma.h"
#include "KeyRouter.h"
#include "ModGlobal.h"
#include "ServiceError.h"
#include "Lib_ClsCons3.h"
#include "MolveraReportPrinter.h"
#include "ReportCommand.h"
#include "SchemaUpgrade.h"
#include "SignalShutdown.h"
#include "frmTrigo.h"

#include <QApplication>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <ctime>

namespace {

// molvera --init-db "@Server=...; @DbName=DSN; @Usuario=u; @Password=p;": creates the
// tables of the program on an empty server database, or brings an older
// schema up to date; needs no screen.
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
    data.setPassword(CommandLinePassword::resolve(item("@Password")));
    data.setServer(ModGlobal::NombreServidor(server));
    data.setSchemaCheck(false);
    data.open(server.trimmed().isEmpty());
    if (!data.isOpen()) {
        err << "molvera --init-db: " << data.openError() << Qt::endl;
        return 1;
    }
    try {
        if (data.hasSchema()) {
            const int before = data.upgradeSchema();
            if (before == SchemaUpgrade::kCurrent)
                out << "La base de datos ya tiene las tablas de Molvera; no se modificó."
                    << Qt::endl;
            else
                out << "Base de datos actualizada del esquema " << before << " al "
                    << SchemaUpgrade::kCurrent << "; se conservaron todas las filas." << Qt::endl;
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

// MOLVERA_EXIT_AFTER_PAINT=1: the program ends right after the window's
// first paint and writes "painted <CLOCK_MONOTONIC ns>" on standard output
// (the start-up benchmark reads it).
class ExitAfterFirstPaint : public QObject
{
public:
    explicit ExitAfterFirstPaint(QWidget* window) : m_window(window) {}
    // Any part of the window painted: the window itself may be covered
    // whole by what it holds and get no paint of its own.
    bool eventFilter(QObject* o, QEvent* e) override
    {
        auto* w = qobject_cast<QWidget*>(o);
        if (e->type() == QEvent::Paint && !m_painted && w && w->window() == m_window) {
            m_painted = true;
            // After the whole window is painted and shown.
            QTimer::singleShot(0, [] {
                timespec ts{};
                clock_gettime(CLOCK_MONOTONIC, &ts);
                std::printf("painted %lld\n", qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    QWidget* m_window;
    bool m_painted = false;
};

} // namespace

int main(int argc, char* argv[])
{
    // Before anything reads the arguments: the password leaves the process list.
    CommandLinePassword::take(argc, argv);
    if (const int status = CommandLine::run(argc, argv); status >= 0) return status;
    if (argc > 1 && qstrcmp(argv[1], "--init-db") == 0) return initDb(argc, argv);
    // The unattended report needs no screen.
    const bool report = ReportCommand::isCommandLine(argc, argv);
    if (report && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The accent keys are composed by the program itself, in the order the
    // keys come (KeyRouter): an input method composes them out of order when
    // keys come fast, and not at all in a cell before its editor opens.
    qputenv("QT_IM_MODULE", "none");
    QApplication app(argc, argv);
    // No display name: the windows carry exactly their own titles.
    QApplication::setApplicationName(QStringLiteral("molvera"));
    Idioma::instalarTraducciones(app);
    QApplication::setQuitOnLastWindowClosed(true);

    DataService data;
    Lib_ClsCons3 lookup(&data);
    MolveraReportPrinter printer(data);
    if (report) return ReportCommand::runCommandLine(data, lookup, printer, app.arguments());
    // A logout or a shutdown ends the program as Cerrar does.
    SignalShutdown onSignal(data);
    frmTrigo window(data, lookup, &printer);
    KeyRouter::instance().setMainWindow(&window);
    if (!window.Load()) return window.exitCode();
    ExitAfterFirstPaint exitAfterPaint(&window);
    if (qEnvironmentVariableIntValue("MOLVERA_EXIT_AFTER_PAINT") == 1)
        app.installEventFilter(&exitAfterPaint);
    window.placeOnScreen();
    window.show();
    const int status = app.exec();
    // The file alone holds every accepted change (a plant's copy of
    // molvera.db), also while other desks keep it open.
    data.checkpoint();
    return status;
}
