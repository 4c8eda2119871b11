#include "CellWriter.h"

#include "ChangeHistory.h"
#include "DailySheet.h"
#include "DataService.h"
#include "Dialogs.h"
#include "FlexGrid.h"
#include "ServiceError.h"
#include "SheetSettlement.h"
#include "TextBox.h"
#include "UtilService.h"
#include "frmTrigo.h"

#include <QDateTime>

CellWriter::Kind CellWriter::kindOf(const QString& fieldName)
{
    static const char* numbers[] = {"TONELADAS", "HUMEDO", "SECO", "FALLINGNUMBER", "HUMEDAD",
                                    "PESOHECT"};
    static const char* texts[] = {"VENDEDOR",        "PROCEDENCIA",  "CAMIONERO",
                                  "CARACTERISTICAS", "SILODESTINO", "OBSERVACIONES"};
    const QString f = fieldName.trimmed();
    for (const char* n : numbers)
        if (f.compare(QLatin1String(n), Qt::CaseInsensitive) == 0) return Kind::Number;
    for (const char* t : texts)
        if (f.compare(QLatin1String(t), Qt::CaseInsensitive) == 0) return Kind::Text;
    if (f.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0) return Kind::Key;
    return Kind::Unknown;
}

bool CellWriter::UpdateaCampo(frmTrigo& w, TextBox* txt, QString* shown, QString* seen)
{
    const QString f = txt->dataField().trimmed();
    const Kind kind = kindOf(f);
    QString v = txt->text().trimmed();
    FlexGrid* g = w.MSflexGrid1();
    bool okId = false;
    qint64 id = g->TextMatrix(g->Row(), 0).trimmed().toLongLong(&okId);
    if (!okId) id = 0;

    if (f.compare(QLatin1String("SILODESTINO"), Qt::CaseInsensitive) == 0) {
        v = UtilService::fixedWidth(v, 4);
        txt->setText(v);
    }
    if (id <= 0) {
        Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"),
                                    QStringLiteral("¡¡¡Mal Posicionamiento!!!, no se actualizará"),
                                    Dialogs::Icon::Critical);
        return false;
    }

    QVariant value;
    QString display;
    switch (kind) {
    case Kind::Number: {
        if (v.isEmpty()) {
            value = 0.0;
        } else {
            const auto n = DataService::numericValue(v);
            if (!n) {
                Dialogs::instance().message(&w, QStringLiteral("Atención"),
                                            QStringLiteral("\"%1\" no es un número; no se "
                                                           "actualizará.")
                                                .arg(v),
                                            Dialogs::Icon::Exclamation);
                return false;
            }
            value = *n;
        }
        display = UtilService::valueToText(value);
        break;
    }
    case Kind::Text:
        value = v.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(v);
        display = v;
        break;
    case Kind::Key:
    case Kind::Unknown: return false;
    }

    if (seen && !confirmarSobreescritura(w, f, id, *seen, display)) return false;

    // The operator is named with the change when the history is kept.
    const QString quien = w.history().setClause();
    const QString sql =
        QStringLiteral("UPDATE %1 SET [%2] = ?, fecha_modificacion = ?%3 WHERE ID = ?")
            .arg(w.mVista, f.toUpper(), quien);
    // A change of the tonnes or a reading is written with what the load is
    // then worth, in the same statement.
    const bool liquida = w.settlement().disponible() && SheetSettlement::entra(f);
    while (true) {
        try {
            QVariantList params{value, QDateTime::currentDateTime()};
            if (!quien.isEmpty()) params << w.history().operador();
            const bool escrita = liquida ? w.settlement().escribir(id, f, value, quien)
                                         : w.data().executeChanged(sql, params << id);
            if (!escrita) {
                // No row has this id any more: another desk deleted it.
                Dialogs::instance().message(
                    &w, QStringLiteral("Aviso al operador"),
                    QStringLiteral("La carga %1 fue borrada en otra estación de trabajo; el "
                                   "valor no se guardó. Pulse Esc para dejarlo; la planilla "
                                   "quita la fila al terminar la edición.")
                        .arg(id),
                    Dialogs::Icon::Exclamation);
                return false;
            }
            if (shown) *shown = display;
            return true;
        } catch (const ServiceError& e) {
            const int answer = UtilService::errorDialog(&w, e, QStringLiteral("UpdateaCampo"));
            if (answer != Dialogs::Retry) return false;
        }
    }
}

bool CellWriter::confirmarSobreescritura(frmTrigo& w, const QString& campo, qint64 id,
                                         QString& seen, const QString& nuevo)
{
    QString ahora, quien;
    try {
        RecordSet rs = w.data().openRecordSet(
            QStringLiteral("SELECT [%1] FROM %2 WHERE ID = ?").arg(campo.toUpper(), w.mVista), {id});
        if (rs.eof()) return true; // gone: the write says so
        ahora = UtilService::valueToText(rs.value(0));
        if (ahora == seen || ahora == nuevo) return true;
        if (w.history().available()) quien = ChangeHistory::ultimoOperador(w.data(), id, campo);
    } catch (const ServiceError&) {
        return true; // the write itself reports what is wrong
    }
    auto entre = [](const QString& t) {
        return t.isEmpty() ? QStringLiteral("(vacío)") : QStringLiteral("«%1»").arg(t);
    };
    const int respuesta = Dialogs::instance().message(
        &w, QStringLiteral("Atención"),
        QStringLiteral("Mientras editaba, %1 cambió %2 de la carga %3 en otra estación de "
                       "trabajo: ahora es %4 (era %5).\n\n¿Reemplazarlo por %6?")
            .arg(quien.isEmpty() ? QStringLiteral("otro operador") : quien,
                 ChangeHistory::caption(campo), QString::number(id), entre(ahora), entre(seen),
                 entre(nuevo)),
        Dialogs::Icon::Question, Dialogs::Buttons::YesNo, Dialogs::No);
    // Told: the cell shows what is stored, and a second Enter writes the
    // operator's value without asking again.
    FlexGrid* g = w.MSflexGrid1();
    const int fila = g->rowOfId(id);
    const int col = DailySheet::columnaDe(campo);
    if (fila >= FlexGrid::FixedRows && col > 0) g->setTextMatrix(fila, col, ahora);
    seen = ahora;
    return respuesta == Dialogs::Yes;
}
