#include "Idioma.h"

#include "TextosQt.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

QLocale Idioma::textos()
{
    const QLocale system = QLocale::system();
    if (system.language() == QLocale::Spanish) return system;
    return QLocale(QLocale::Spanish);
}

bool Idioma::instalarTraducciones(QCoreApplication& app)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* qt = new QTranslator(&app);
    // qtbase_es_AR is looked for first, then qtbase_es.
    if (!qt->load(textos(), QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
        delete qt;
        return false;
    }
    QCoreApplication::installTranslator(qt);
    // Installed after Qt's, so asked first: "archivo" where Qt says "fichero".
    QCoreApplication::installTranslator(new TextosQt(&app));
    return true;
}
