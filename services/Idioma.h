#pragma once

#include <QLocale>

class QCoreApplication;

// The language the program speaks. Its own texts are Spanish, so Qt's
// standard buttons and dialogs (Sí / No / Aceptar / Cancelar, the file
// dialog, the date chooser) are put in Spanish too: in the system's own
// Spanish when the system locale is a Spanish one (es_AR, es_ES, ...), in
// plain Spanish on any other system. Numbers and dates keep following the
// system locale.
class Idioma
{
public:
    // The locale of the texts: the system's when it is Spanish, else Spanish.
    static QLocale textos();
    // Loads Qt's Spanish translations (qtbase_es, from the package
    // qt6-translations-l10n) into the application, and over them the
    // program's own words for Qt's "fichero" (TextosQt). Answers whether they
    // were found; without them the standard buttons stay in English.
    static bool instalarTraducciones(QCoreApplication& app);
};
