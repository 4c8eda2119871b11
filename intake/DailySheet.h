#pragma once

#include <QDate>
#include <QString>

class DataService;
class frmTrigo;

// The daily sheet: resetting the window to the no-sheet state, loading (and
// creating) the sheet of a date, and the grid's headers.
class DailySheet
{
public:
    explicit DailySheet(frmTrigo& w) : w(w) {}

    void InicializaGrid();
    void Reiniciar();
    void HabilitarSegunEstado(bool b);
    void TitulosGrilla();
    // Loads the sheet of the date in the date box, creating its two first rows
    // when the day has none. False when nothing was loaded (the operator has
    // been told why).
    bool Cargar();

    // Makes the two first rows of a day that has none, once, whatever number
    // of desks open the day at the same moment; true when this call made
    // them. The operator, when not empty, names the new rows.
    static bool crearDia(DataService& db, const QDate& dia, const QString& responsable,
                         const QString& operador);
    // Lock numbers of the days' creation (the day's number is added).
    static constexpr qint64 kBloqueoDia = 0x4d560000000LL;

    // The read statement of a day's sheet; its two parameters are the first
    // instant of the day and the first instant of the next. Without the
    // order, the rows come in the order the database finds them (the sheet
    // orders them by record number itself: cheaper than the database's sort
    // of whole rows, which every desk would ask of the server).
    static QString sentenciaLectura(const QString& vista, bool porId = true);
    // The columns of the sheet: name in the statement, header texts, width in
    // twips, alignment code and kind.
    struct Columna {
        const char* campo;
        const char* alias;
        const char* titulo0;
        const char* titulo1;
        int ancho;
        int alineacion;
        bool numero;
    };
    static const Columna* columnas(int& count);
    // The grid column of a field of the sheet (after the identifier column),
    // found by its name; -1 when the sheet has no such field.
    static int columnaDe(const QString& campo);

private:
    frmTrigo& w;
};
