#include "FieldValidator.h"

#include "CellWriter.h"
#include "DailySheet.h"
#include "DataService.h"
#include "DateText.h"
#include "Dialogs.h"
#include "FormService.h"
#include "QualityLimits.h"
#include "ServiceError.h"
#include "TextBox.h"
#include "UtilService.h"
#include "UtilVextra.h"
#include "frmTrigo.h"

#include <QPalette>

FieldValidator::FieldValidator(frmTrigo& w) : w(w)
{
    const auto& boxes = w.txtFields();
    for (int i = 0; i < boxes.size(); ++i) {
        TextBox* b = boxes.at(i);
        b->onGotFocus = [this, i] { boxGotFocus(i); };
        b->onLostFocus = [this, i] { boxLostFocus(i); };
        b->onKeyDown = [this, i](int& k, int s) { boxKeyDown(i, k, s); };
        b->onKeyPress = [this, i](int& a) { boxKeyPress(i, a); };
    }
}

void FieldValidator::CampoValida(TextBox* texto)
{
    w.mCampoInvalido = false;
    if (!texto) return;
    const QString t = texto->text().trimmed();
    const QString f = texto->dataField().trimmed();
    QString mensaje = rechazoControl(t);
    if (!mensaje.isEmpty()) {
        w.mCampoInvalido = true;
        Dialogs::instance().message(&w, QStringLiteral("Atención"), mensaje,
                                    Dialogs::Icon::Exclamation);
        return;
    }
    while (true) {
        try {
            if (f.compare(QLatin1String("Fecha"), Qt::CaseInsensitive) == 0) {
                if (t.isEmpty()) {
                    w.mCampoInvalido = true;
                    mensaje = QStringLiteral("¡¡¡Debe ingresar una fecha!!!");
                } else if (!DateText::parse(t).isValid()) {
                    w.mCampoInvalido = true;
                    mensaje = QStringLiteral("¡¡¡Debe ingresar una fecha válida!!!");
                } else {
                    w.sheet().Cargar();
                }
            } else if (f.compare(QLatin1String("SILODESTINO"), Qt::CaseInsensitive) == 0 &&
                       !t.isEmpty()) {
                const QString d = UtilService::fixedWidth(t, 4);
                if (!w.data().exists(QStringLiteral("v_ta_deposito"), d,
                                     QStringLiteral("iddeposito"))) {
                    w.mCampoInvalido = true;
                    mensaje = QStringLiteral("¡¡¡Número de depósito incorrecto!!!");
                }
            } else if (!(mensaje = rechazoNumero(f, t)).isEmpty()) {
                w.mCampoInvalido = true;
            }
            break;
        } catch (const ServiceError& e) {
            const int answer = UtilService::errorDialog(&w, e);
            if (answer == Dialogs::Retry) continue;
            // The check could not be made: only an explicit Ignore lets it pass.
            if (answer != Dialogs::Ignore) w.mCampoInvalido = true;
            return;
        }
    }
    if (!mensaje.isEmpty())
        Dialogs::instance().message(&w, QStringLiteral("Atención"), mensaje,
                                    Dialogs::Icon::Exclamation);
}

QString FieldValidator::rechazoControl(const QString& t)
{
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (t.at(i).category() != QChar::Other_Control) continue;
        const ushort c = t.at(i).unicode();
        const QString cual = c == 0                     ? QStringLiteral("NUL")
                             : c == u'\t'               ? QStringLiteral("una tabulación")
                             : c == u'\n' || c == u'\r' ? QStringLiteral("un salto de línea")
                                                        : QStringLiteral("el código %1").arg(c);
        return QStringLiteral("El valor tiene un carácter de control (%1, en la posición %2), que "
                              "no se puede guardar: bórrelo o escriba el valor de nuevo (las "
                              "celdas y los campos son de una sola línea).")
            .arg(cual)
            .arg(i + 1);
    }
    return {};
}

QString FieldValidator::rechazoNumero(const QString& f, const QString& t)
{
    if (CellWriter::kindOf(f) == CellWriter::Kind::Number && !t.isEmpty() &&
        !DataService::numericValue(t))
        return QStringLiteral("¡¡¡Debe ingresar un número válido!!!");
    return QualityLimits::plausibilityMessage(f, t); // a reading no instrument gives
}

void FieldValidator::boxGotFocus(int index)
{
    TextBox* b = w.txtFields().at(index);
    w.mCampoActivo = b;
    w.UtilVextra1()->setConsultaenabled(!b->tag().isEmpty());
    QPalette p = b->palette();
    p.setColor(QPalette::Base, QColor(0, 255, 255));
    b->setPalette(p);
    b->setSelection(0, b->text().trimmed().size());
}

void FieldValidator::boxLostFocus(int index)
{
    TextBox* b = w.txtFields().at(index);
    QPalette p = b->palette();
    p.setColor(QPalette::Base, QColor(255, 255, 255));
    b->setPalette(p);
}

void FieldValidator::boxKeyDown(int index, int& keyCode, int /*shift*/)
{
    TextBox* b = w.txtFields().at(index);
    w.mCampoActivo = b;
    const int k = keyCode;
    if (FormService::isEndOfEditKey(k)) {
        keyCode = 0;
        CampoValida(b);
        // Move on from the box, unless validating it moved the focus already
        // (a loaded sheet puts it in the grid).
        if (!w.mCampoInvalido && b->window()->focusWidget() == b) FormService::keyNavigation(k, b);
    }
    w.UtilVextra1()->setConsultaenabled(!b->tag().trimmed().isEmpty());
}

void FieldValidator::boxKeyPress(int index, int& charCode)
{
    FormService::keyFilter(w.txtFields().at(index), charCode);
}
