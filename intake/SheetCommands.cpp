#include "SheetCommands.h"

#include "CellEditor.h"
#include "ChangeHistory.h"
#include "DailySheet.h"
#include "DataService.h"
#include "DateText.h"
#include "Dialogs.h"
#include "FlexGrid.h"
#include "KeyCodes.h"
#include "ServiceError.h"
#include "TextBox.h"
#include "UtilVextra.h"
#include "frmTrigo.h"

#include <QDateTime>
#include <QTabWidget>

namespace {
void avisar(frmTrigo& w, const QString& texto)
{
    Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"), texto,
                                Dialogs::Icon::Critical);
}
} // namespace

void SheetCommands::ejecutar(const QString& keyIn)
{
    const QString key = keyIn.toUpper();
    // A command that moves the cursor, reads the sheet again or prints it
    // first ends an open edit as Enter would; a refused value keeps the
    // editor open and the command does not run.
    const bool mueve = key == QLatin1String("NUEVO") || key == QLatin1String("BORRAR") ||
                       key == QLatin1String("REPORTE");
    if (mueve && !w.editor().terminarEdicion()) return;
    if (key == QLatin1String("NUEVO")) Nuevo();
    else if (key == QLatin1String("BORRAR")) Borrar();
    else if (key == QLatin1String("GRABAR")) return; // cells are saved as they are left
    else if (key == QLatin1String("PLANILLA")) return;
    else if (key == QLatin1String("CONSULTAR")) w.CmdConsultar(false);
    else if (key == QLatin1String("REPORTE")) w.ImprimirReporte();
    else if (key == QLatin1String("CERRAR")) w.Cerrar();
    else if (key == QLatin1String("CANCELAR")) {
        w.editor().cerrarAntesDeSalir(); // a valid open edit is written first
        w.Reiniciar();
    }
}

qint64 SheetCommands::Nuevo()
{
    if (!w.mPlanillaCargada) {
        avisar(w, QStringLiteral("No hay una planilla cargada: cargue la planilla del día con "
                                 "\"Ejecutar\" antes de agregar un registro."));
        return 0;
    }
    TextBox* fecha = w.box(QStringLiteral("FECHA"));
    TextBox* resp = w.box(QStringLiteral("responsable"));
    const QDate dia = DateText::parse(fecha ? fecha->text() : QString());
    if (!dia.isValid()) {
        avisar(w, QStringLiteral("La fecha de la planilla no es válida; no se agrega el registro."));
        return 0;
    }
    qint64 id = 0;
    try {
        // The tonnes the new row shows are stored with it.
        QStringList cols{QStringLiteral("Fecha"), QStringLiteral("responsable"),
                         QStringLiteral("fecha_alta"), QStringLiteral("Toneladas")};
        QVariantList vals{QDateTime(dia, QTime(0, 0)), resp ? resp->text() : QString(),
                          QDateTime::currentDateTime(), 0};
        if (w.history().available()) {
            cols << QStringLiteral("modificado_por");
            vals << w.history().operador();
        }
        id = w.data().insertReturningId(QStringLiteral("v_mv_molvera"), cols, vals);
    } catch (const ServiceError& e) {
        avisar(w, QStringLiteral("No se pudo agregar el registro.\n\n") + e.description());
        return 0;
    }
    FlexGrid* g = w.MSflexGrid1();
    // The new row is shown: from the silo tab the sheet comes to the front.
    if (w.SSTab1()->currentIndex() != 0) w.SSTab1()->setCurrentIndex(0);
    g->setRows(g->Rows() + 1);
    const int r = g->Rows() - 1;
    g->setRowCol(r, 2);
    g->setTextMatrix(r, 0, QString::number(id));
    g->setTextMatrix(r, 1, QStringLiteral("0"));
    for (int c = 2; c < g->Cols(); ++c) g->setTextMatrix(r, c, QString());
    g->setEnabled(true);
    int enter = KeyCodes::Enter;
    w.editor().gridKeyDown(enter, 0);
    w.TxtEdit()->setSelection(0, w.TxtEdit()->text().size());
    w.UtilVextra1()->setBorrarenabled(true);
    w.UtilVextra1()->setReporteenabled(true);
    g->setCol(1);
    g->setFocus(Qt::OtherFocusReason); // the next key types into the new row
    return id;
}

int SheetCommands::Borrar()
{
    FlexGrid* g = w.MSflexGrid1();
    int borradas = 0;
    if (g->Rows() > 2) {
        if (!w.mPlanillaCargada) {
            avisar(w, QStringLiteral("No hay una planilla cargada: no hay registros para borrar."));
            return 0;
        }
        const int respuesta = Dialogs::instance().message(
            &w, QStringLiteral("¡Atención!"),
            QStringLiteral("Muy importante...\r\nEsta opción borra todos los registros "
                           "seleccionados\r\n¿Está seguro de Continuar...?"),
            Dialogs::Icon::Question, Dialogs::Buttons::YesNo, Dialogs::Yes);
        if (respuesta == Dialogs::Yes) {
            const int desde = g->Row();
            const int hasta = g->RowSel();
            try {
                for (int r = desde; r <= hasta; ++r) {
                    g->setRow(r);
                    bool ok = false;
                    const qint64 id = g->TextMatrix(r, 0).trimmed().toLongLong(&ok);
                    if (!ok || id <= 0) {
                        avisar(w, QStringLiteral("La fila %1 no tiene número de registro; no se "
                                                 "borra ninguna fila más.")
                                      .arg(r - 1));
                        break;
                    }
                    w.history().marcarBaja(id); // the delete's record names who deleted
                    w.data().execute(QStringLiteral("DELETE %1 WHERE ID = ?").arg(w.mVista), {id});
                    ++borradas;
                }
            } catch (const ServiceError& e) {
                avisar(w, QStringLiteral("No se pudo borrar el registro.\n\n") + e.description());
            }
            w.sheet().Cargar();
        }
    }
    if (g->Rows() < 3) w.UtilVextra1()->setReporteenabled(false);
    return borradas;
}
