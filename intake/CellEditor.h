#pragma once

#include <QString>

class TextBox;
class frmTrigo;

// The cell editor laid over the current cell of the sheet: opening it, the
// per-column properties, the keys of the grid and of the editor, and the
// cursor moves after an edit. An edit reaches the cell only after the
// database accepted it.
class CellEditor
{
public:
    explicit CellEditor(frmTrigo& w);

    // Gives the editor the field name, length and lookup tag of a column,
    // found by the text of header row 1.
    void TextPropiedades(TextBox* texto, int columna);
    // Opens the editor over the current cell with a typed character.
    void MsflexGridEdt(int charCode);
    // Moves the cursor after an edit ended with the key.
    void EditKeyCode(int keyCode, int shift);
    // The grid's own command keys (Delete, Insert).
    void MsflexKey(int keyCode);

    // Event handlers of the grid and of the editor. A key handler sets the
    // code to 0 when it took the key.
    void focoRefrescar();
    void gridKeyDown(int& keyCode, int shift);
    void gridKeyPress(int& charCode);
    void gridGotFocus();
    void gridLeaveCell();
    void gridDblClick();
    void editKeyDown(int& keyCode, int shift);
    void editKeyPress(int& charCode);

    // Ends an open edit as Enter would, without moving: validated and written,
    // then copied into the cell. A refused value is dropped and the cell
    // keeps what the database holds. Answers true when the value was written.
    bool confirmarEdicionAbierta();
    // Before the window closes or the sheet is left: a valid open edit is
    // written first.
    void cerrarAntesDeSalir();
    // Ends an open edit before a command: validated and written, the grid
    // keeps the keyboard. A refused or unwritten value keeps the editor open
    // with the keyboard and answers false (the command must not run).
    bool terminarEdicion();
    // Abandons an open edit: nothing is written, the cell keeps its value.
    void cancelarEdicion();

    bool abierto() const;

private:
    // Validates and writes the editor's value; on success the cell shows the
    // stored value and the editor closes.
    bool validarYGrabar();
    // Hides the editor, the keyboard going back to the grid.
    void cerrarEditor();
    void scrollCheck();

    frmTrigo& w;
    bool m_confirmando = false;
    // The cell being edited, and its text when the edit began.
    QString m_visto;
    qint64 m_vistoId = 0;
    int m_vistoCol = -1;
};
