// Molvera: the wheat intake desk of a grain receiving plant.
#include "DataService.h"
#include "Lib_ClsCons3.h"
#include "frmTrigo.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("molvera"));
    QApplication::setApplicationDisplayName(QStringLiteral("Molvera"));
    QApplication::setQuitOnLastWindowClosed(true);

    DataService data;
    Lib_ClsCons3 lookup(&data);
    frmTrigo window(data, lookup, nullptr);
    if (!window.Load()) return window.exitCode();
    window.show();
    return app.exec();
}
