#pragma once

#include <QString>

class TextBox;
class frmTrigo;

// Validates the sheet date, the deposit number and the number columns, and
// runs the header boxes (highlight, key filter, Enter moving on).
class FieldValidator
{
public:
    explicit FieldValidator(frmTrigo& w);

    // Sets the window's mCampoInvalido: true when the field was refused (the
    // operator has been told why). A valid sheet date loads its sheet.
    void CampoValida(TextBox* texto);

    // Why a value of a number column is refused (not a number, or a reading
    // no instrument gives), empty when it is accepted. Shows nothing.
    static QString rechazoNumero(const QString& fieldName, const QString& text);
    // Why a text is refused for holding a control character (NUL, a tab, a
    // line break and the others below the space, DEL and the C1 codes: the
    // cells and boxes are of one line), empty when it holds none. Typed or
    // pasted, such a text is said so and not written.
    static QString rechazoControl(const QString& text);

    void boxGotFocus(int index);
    void boxKeyDown(int index, int& keyCode, int shift);
    void boxKeyPress(int index, int& charCode);
    void boxLostFocus(int index);

private:
    frmTrigo& w;
};
