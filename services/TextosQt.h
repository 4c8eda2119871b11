#pragma once

#include <QTranslator>

// The program's own translation of a few of Qt's texts, installed after Qt's
// Spanish so that it is asked first: where Qt's Spanish says "fichero"
// ("Nombre de fichero", "Ficheros de tipo", "Fichero de salida", ...) the
// program, which says "archivo" in all its own texts, says "archivo" too.
// Any other text is left to Qt's translation.
class TextosQt : public QTranslator
{
public:
    using QTranslator::QTranslator;
    QString translate(const char* context, const char* sourceText,
                      const char* disambiguation = nullptr, int n = -1) const override;
    bool isEmpty() const override { return false; }
};
