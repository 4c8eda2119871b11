#pragma once

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

    void boxGotFocus(int index);
    void boxKeyDown(int index, int& keyCode, int shift);
    void boxKeyPress(int index, int& charCode);
    void boxLostFocus(int index);

private:
    frmTrigo& w;
};
