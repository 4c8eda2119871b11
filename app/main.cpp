// Molvera: the wheat intake desk of a grain receiving plant.
#include "DataService.h"
#include "Lib_ClsCons3.h"
#include "MolveraReportPrinter.h"
#include "ReportCommand.h"
#include "frmTrigo.h"

#include <QApplication>

int main(int argc, char* argv[])
{
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
