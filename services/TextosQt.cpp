#include "TextosQt.h"

#include <cstring>

namespace
{

struct Texto {
    const char* context;
    const char* source;
    const char* spanish;
};

// Qt's source texts whose Spanish (qtbase_es) says "fichero", as the file
// dialog, the file list and the print dialogs show them.
const Texto kTextos[] = {
    {"QFileDialog", "File &name:", "&Nombre de archivo:"},
    {"QFileDialog", "Files of type:", "Archivos de tipo:"},
    {"QFileDialog", "All Files (*)", "Todos los archivos (*)"},
    {"QFileDialog", "%1 already exists.\nDo you want to replace it?",
     "El archivo %1 ya existe.\n¿Desea reemplazarlo?"},
    {"QFileDialog", "%1\nFile not found.\nPlease verify the correct file name was given.",
     "%1\nArchivo no encontrado.\nVerifique que el nombre del archivo es correcto."},
    {"QFileSystemModel", "Invalid filename", "Nombre de archivo no válido"},
    {"QFile", "Destination file is the same file.", "El archivo de destino es el mismo."},
    {"QPrintDialog", "Print To File ...", "Imprimir a archivo..."},
    {"QPrintDialog", "%1 is a directory.\nPlease choose a different file name.",
     "%1 es un directorio.\nElija un nombre de archivo diferente."},
    {"QPrintDialog", "File %1 is not writable.\nPlease choose a different file name.",
     "No se puede escribir en el archivo %1.\nElija un nombre de archivo diferente."},
    {"QPrintWidget", "Output &file:", "&Archivo de salida:"},
    {"QIODevice", "No such file or directory", "No hay ningún archivo o directorio con ese nombre"},
    {"QIODevice", "Too many open files", "Demasiados archivos abiertos simultáneamente"},
};

} // namespace

QString TextosQt::translate(const char* context, const char* sourceText, const char*, int) const
{
    if (!context || !sourceText) return {};
    for (const Texto& t : kTextos)
        if (std::strcmp(t.context, context) == 0 && std::strcmp(t.source, sourceText) == 0)
            return QString::fromUtf8(t.spanish);
    return {};
}
