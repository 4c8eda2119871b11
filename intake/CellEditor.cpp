#include "CellEditor.h"

#include "CellWriter.h"
#include "FieldValidator.h"
#include "FlexGrid.h"
#include "FormService.h"
#include "KeyCodes.h"
#include "SheetCommands.h"
#include "SheetSettlement.h"
#include "TextBox.h"
#include "UtilVextra.h"
#include "frmTrigo.h"


namespace {

struct Propiedad {
    const char* titulo;
    const char* campo;
    int largo;
    const char* tag;
};

// Header row 1 text to field name, length and lookup tag.
const Propiedad kPropiedades[] = {
    {"DESC.", "TONELADAS", 8, ""},
    {"VENDEDOR", "VENDEDOR", 100, "VT_Vendedores"},
    {"PROCEDENCIA", "PROCEDENCIA", 100, "VT_Procedencia"},
    {"CAMIONERO", "CAMIONERO", 100, "VT_Camionero"},
    {"HÚMEDO", "HUMEDO", 8, ""},
    {"SECO", "SECO", 8, ""},
    {"CARACT.", "CARACTERISTICAS", 100, "VT_Caract"},
    {"NUMBER", "FALLINGNUMBER", 8, ""},
    {"HUMEDAD", "HUMEDAD", 8, ""},
    {"HECT.", "PESOHECT", 8, ""},
    {"DESTINO", "SILODESTINO", 4, "v_TA_DEPOSITO"},
    {"OBSERVACIONES", "OBSERVACIONES", 0, ""},
};

} // namespace

CellEditor::CellEditor(frmTrigo& w) : w(w)
{
    FlexGrid* g = w.MSflexGrid1();
    TextBox* e = w.TxtEdit();
    g->onKeyDown = [this](int& k, int s) { gridKeyDown(k, s); };
    g->onKeyPress = [this](int& a) { gridKeyPress(a); };
    g->onGotFocus = [this] { gridGotFocus(); };
    g->onLeaveCell = [this] { gridLeaveCell(); };
    g->onEnterCell = [this] { focoRefrescar(); };
    g->onRowColChange = [this] { focoRefrescar(); };
    g->onClick = [this] { focoRefrescar(); };
    g->onDblClick = [this] { gridDblClick(); };
    e->onGotFocus = [this] { focoRefrescar(); };
    e->onKeyDown = [this](int& k, int s) { editKeyDown(k, s); };
    e->onKeyPress = [this](int& a) { editKeyPress(a); };
}

bool CellEditor::abierto() const
{
    return w.TxtEdit()->isVisible();
}

void CellEditor::TextPropiedades(TextBox* texto, int columna)
{
    if (!texto || texto->objectName().remove(u' ').compare(QLatin1String("TxtEdit"),
                                                            Qt::CaseInsensitive) != 0)
        return;
    const QString titulo = w.MSflexGrid1()->TextMatrix(1, columna);
    texto->setDataField(titulo);
    for (const Propiedad& p : kPropiedades) {
        if (titulo.compare(QString::fromUtf8(p.titulo), Qt::CaseInsensitive) == 0) {
            texto->setMaxChars(p.largo);
            texto->setTag(QLatin1String(p.tag));
            texto->setDataField(QLatin1String(p.campo));
            return;
        }
    }
}

void CellEditor::focoRefrescar()
{
    w.mCampoActivo = w.TxtEdit();
    TextPropiedades(w.TxtEdit(), w.MSflexGrid1()->Col());
    w.UtilVextra1()->setConsultaenabled(!w.TxtEdit()->tag().isEmpty());
}

void CellEditor::gridGotFocus()
{
    focoRefrescar();
    if (abierto() && !m_confirmando) confirmarEdicionAbierta();
}

void CellEditor::gridLeaveCell()
{
    focoRefrescar();
    if (abierto() && !m_confirmando) confirmarEdicionAbierta();
}

void CellEditor::gridKeyDown(int& keyCode, int /*shift*/)
{
    const int k = keyCode;
    MsflexKey(k);
    if (k == KeyCodes::Delete || k == KeyCodes::Insert) keyCode = 0;
    if (k != KeyCodes::Escape) focoRefrescar();
}

void CellEditor::MsflexKey(int keyCode)
{
    if (keyCode == KeyCodes::Delete) w.commands().ejecutar(QStringLiteral("BORRAR"));
    else if (keyCode == KeyCodes::Insert) w.commands().ejecutar(QStringLiteral("NUEVO"));
}

void CellEditor::gridKeyPress(int& charCode)
{
    if (charCode == KeyCodes::Escape) return;
    w.mCampoActivo = w.TxtEdit();
    MsflexGridEdt(charCode);
}

void CellEditor::gridDblClick()
{
    w.mCampoActivo = w.TxtEdit();
    MsflexGridEdt(KeyCodes::Space);
}

void CellEditor::MsflexGridEdt(int charCode)
{
    FlexGrid* g = w.MSflexGrid1();
    TextBox* e = w.TxtEdit();
    if (e->dataField().compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0) return;
    if (!g->isEnabled() || !g->isVisible() || g->Row() < FlexGrid::FixedRows || g->Col() <= 0)
        return;
    // What the load is worth is computed, never typed.
    if (SheetSettlement::calculada(g->Col())) return;
    TextPropiedades(e, g->Col());
    if (charCode >= 0 && charCode <= 32) {
        e->setText(g->Text());
        e->setCursorPosition(e->text().size());
    } else {
        const char32_t c = char32_t(charCode);
        e->setText(QString::fromUcs4(&c, 1));
        e->setCursorPosition(e->text().size());
    }
    // What the cell held when the edit began: another desk's change made
    // meanwhile is said before it is written over.
    m_visto = g->Text();
    m_vistoId = g->TextMatrix(g->Row(), 0).trimmed().toLongLong();
    m_vistoCol = g->Col();
    const QRect cell = g->cellRect();
    e->setGeometry(QRect(g->pos() + cell.topLeft(), cell.size()));
    e->show();
    e->raise();
    scrollCheck();
    e->setFocus(Qt::OtherFocusReason);
}

void CellEditor::scrollCheck()
{
    FlexGrid* g = w.MSflexGrid1();
    const QRect cell = g->cellRect();
    if (g->height() < cell.top() + cell.height()) g->setTopRow(g->TopRow() + 1);
}

void CellEditor::editKeyPress(int& charCode)
{
    w.mCampoActivo = w.TxtEdit();
    if (w.MSflexGrid1()->Col() <= 0) return;
    // The decimal separator, once per value and always the one in use, in
    // the number columns.
    if (CellWriter::kindOf(w.TxtEdit()->dataField()) != CellWriter::Kind::Number) return;
    if (charCode == u',' || charCode == u'.') {
        const QChar sep = FormService::decimalSeparator().at(0);
        charCode = sep.unicode();
        if (w.TxtEdit()->text().trimmed().contains(sep)) charCode = 0;
    }
}

void CellEditor::editKeyDown(int& keyCode, int shift)
{
    const int k = keyCode;
    // Tab and Shift+Tab end the edit and move right or left, as in a
    // spreadsheet; any other key with a modifier is left to the editor.
    const bool tab = k == KeyCodes::Tab && (shift == 0 || shift == 1);
    if (shift != 0 && !tab) return;
    w.mCampoActivo = w.TxtEdit();
    if (k == KeyCodes::Escape) {
        keyCode = 0;
        cancelarEdicion();
        return;
    }
    if (!FormService::isEndOfEditKey(k)) return;
    keyCode = 0;
    if (!validarYGrabar()) return;
    EditKeyCode(k, tab ? shift : 0);
}

bool CellEditor::validarYGrabar()
{
    TextBox* e = w.TxtEdit();
    w.validator().CampoValida(e);
    if (w.mCampoInvalido) return false;
    QString shown;
    FlexGrid* g = w.MSflexGrid1();
    const bool mismaCelda = m_vistoId > 0 && m_vistoCol == g->Col() &&
                            g->TextMatrix(g->Row(), 0).trimmed().toLongLong() == m_vistoId;
    if (!CellWriter::UpdateaCampo(w, e, &shown, mismaCelda ? &m_visto : nullptr)) return false;
    // Written: the cell shows what the database now holds.
    g->setTextMatrix(g->Row(), g->Col(), shown);
    e->setText(shown);
    cerrarEditor();
    return true;
}

void CellEditor::cerrarEditor()
{
    // The keyboard goes back to the grid before the editor is hidden, so
    // that no key is ever typed into a hidden editor (and hiding the focused
    // editor does not pass the focus on to some other control).
    TextBox* e = w.TxtEdit();
    FlexGrid* g = w.MSflexGrid1();
    const bool antes = m_confirmando;
    m_confirmando = true;
    const bool conFoco = e->hasFocus() || w.focusWidget() == e;
    if (conFoco && g->isVisible() && g->isEnabled()) g->setFocus(Qt::OtherFocusReason);
    e->hide();
    m_confirmando = antes;
}

bool CellEditor::terminarEdicion()
{
    if (!abierto()) return true;
    w.mCampoActivo = w.TxtEdit();
    if (validarYGrabar()) return true;
    // Refused or not written: the editor stays open over its cell with the
    // keyboard, as after Enter.
    if (w.TxtEdit()->isVisible()) w.TxtEdit()->setFocus(Qt::OtherFocusReason);
    return false;
}

bool CellEditor::confirmarEdicionAbierta()
{
    if (!abierto() || m_confirmando) return false;
    m_confirmando = true;
    w.mCampoActivo = w.TxtEdit();
    const bool ok = validarYGrabar();
    // A refused or failed value is dropped; the cell keeps its value.
    cerrarEditor();
    m_confirmando = false;
    return ok;
}

void CellEditor::cerrarAntesDeSalir()
{
    if (abierto()) confirmarEdicionAbierta();
}

void CellEditor::cancelarEdicion()
{
    cerrarEditor();
    w.MSflexGrid1()->setFocus(Qt::OtherFocusReason);
}

void CellEditor::EditKeyCode(int keyCode, int shift)
{
    FlexGrid* g = w.MSflexGrid1();
    // The edited cell already shows the stored value and the editor is
    // closed. No pending event may run before the cursor has moved: a key
    // typed ahead belongs to the cell after the move, not to this one.
    auto alGrid = [&] { g->setFocus(Qt::OtherFocusReason); };
    switch (keyCode) {
    case KeyCodes::Tab:
        alGrid();
        if (shift != 0) {
            if (g->Col() > 1) g->setCol(g->Col() - 1);
            else if (g->Row() > FlexGrid::FixedRows) g->setRowCol(g->Row() - 1, 12);
            break;
        }
        [[fallthrough]];
    case KeyCodes::Enter:
        alGrid();
        if (g->Col() == 12) {
            if (g->Row() < g->Rows() - 1) g->setRowCol(g->Row() + 1, 1);
            else g->setCol(1);
        } else if (g->Col() != g->Cols() - 1) {
            g->setCol(g->Col() + 1);
        }
        break;
    case KeyCodes::Escape:
        w.TxtEdit()->hide();
        g->setFocus(Qt::OtherFocusReason);
        break;
    case KeyCodes::Up:
        alGrid();
        if (g->Row() > FlexGrid::FixedRows) g->setRow(g->Row() - 1);
        break;
    case KeyCodes::Down:
        // As Up: the column stays (the record number's column is never the
        // current cell).
        alGrid();
        if (g->Row() < g->Rows() - 1) g->setRow(g->Row() + 1);
        break;
    default: break;
    }
    scrollCheck();
}
