#include "DailySheet.h"

#include "ChangeHistory.h"
#include "DataService.h"
#include "DateText.h"
#include "Dialogs.h"
#include "FlexGrid.h"
#include "ServiceError.h"
#include "TextBox.h"
#include "UtilVextra.h"
#include "frmTrigo.h"

#include <QDateTime>
#include <QStringList>
#include <QTabWidget>
#include <QToolButton>

namespace
{

const DailySheet::Columna kColumnas[] = {
    {"Toneladas", "TN DESC.", "TN", "DESC.", 720, 2, true},
    {"vendedor", "VENDEDOR", "", "VENDEDOR", 1200, 0, false},
    {"procedencia", "PROCEDENCIA", "", "PROCEDENCIA", 1500, 0, false},
    {"camionero", "CAMIONERO", "", "CAMIONERO", 1200, 0, false},
    {"humedo", "GLUTEN HÚMEDO", "GLUTEN", "HÚMEDO", 800, 0, true},
    {"seco", "GLUTEN SECO", "GLUTEN", "SECO", 800, 0, true},
    {"caracteristicas", "GLUTEN CARACT.", "GLUTEN", "CARACT.", 1000, 0, false},
    {"fallingnumber", "FALLING NUMBER", "FALLING", "NUMBER", 800, 0, true},
    {"humedad", "HUMEDAD", "", "HUMEDAD", 1000, 0, true},
    {"pesohect", "PESO HECT.", "PESO", "HECT.", 600, 0, true},
    {"silodestino", "SILO DESTINO", "SILO", "DESTINO", 800, 0, false},
    {"observaciones", "OBSERVACIONES", "", "OBSERVACIONES", 1500, 0, false},
    // What the load is worth, computed with every change of its tonnes or
    // readings (SheetSettlement); never edited.
    {"merma", "MERMA %", "MERMA", "%", 700, 0, true},
    {"kg_netos", "KG NETOS", "KG", "NETOS", 900, 0, true},
    {"grado", "GRADO", "", "GRADO", 1000, 0, false},
};

// Widths of the empty grid, in letters X of the window's font.
const int kAnchoVacio[] = {0, 50, 50, 50, 10, 8, 20, 10, 10, 10, 10, 10, 100, 8, 10, 12};
constexpr int kColumnasGrilla = int(std::size(kAnchoVacio));
static_assert(kColumnasGrilla == int(std::size(kColumnas)) + 1);

void avisar(frmTrigo& w, const QString& texto)
{
    Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"), texto,
                                Dialogs::Icon::Critical);
}

} // namespace

const DailySheet::Columna* DailySheet::columnas(int& count)
{
    count = int(std::size(kColumnas));
    return kColumnas;
}

int DailySheet::columnaDe(const QString& campo)
{
    for (int c = 0; c < int(std::size(kColumnas)); ++c)
        if (campo.compare(QLatin1String(kColumnas[c].campo), Qt::CaseInsensitive) == 0)
            return c + 1;
    return -1;
}

QString DailySheet::sentenciaLectura(const QString& vista, bool porId)
{
    QStringList cols{QStringLiteral("ID")};
    for (const Columna& c : kColumnas)
        cols
            << QStringLiteral("%1 as [%2]").arg(QLatin1String(c.campo), QString::fromUtf8(c.alias));
    return QStringLiteral("SELECT %1 FROM %2 where fecha >= ? and fecha < ?%3")
        .arg(cols.join(u','), vista, porId ? QStringLiteral(" ORDER BY ID") : QString());
}

void DailySheet::InicializaGrid()
{
    FlexGrid* g = w.MSflexGrid1();
    g->clearCells();
    g->setRows(30);
    g->setCols(kColumnasGrilla);
    const QFontMetrics fm(w.font());
    for (int c = 0; c < kColumnasGrilla; ++c) {
        const int px = kAnchoVacio[c] ? fm.horizontalAdvance(QString(kAnchoVacio[c], u'X')) : 0;
        g->setColWidth(c, px * 15);
    }
    for (int c = 0; c < kColumnasGrilla; ++c) {
        g->setTextMatrix(0, c, QString());
        g->setTextMatrix(1, c, QString());
    }
    g->setEnabled(false);
}

void DailySheet::Reiniciar()
{
    // Each step on its own.
    auto paso = [](auto&& f) {
        try {
            f();
        } catch (...) {
        }
    };
    UtilVextra* tb = w.UtilVextra1();
    paso([&] { w.mVista = QStringLiteral("v_mv_molvera"); });
    paso([&] { InicializaGrid(); });
    paso([&] {
        tb->setNuevoenabled(false);
        tb->setGrabarenabled(false);
        tb->setConsultaenabled(true);
        tb->setPlanillaenabled(false);
        tb->setCancelarenabled(false);
        tb->setBorrarenabled(false);
        tb->setReporteenabled(false);
    });
    paso([&] { w.EnabledControls(false); });
    paso([&] { w.mPlanillaCargada = false; });
    paso([&] { HabilitarSegunEstado(false); });
    paso([&] { w.SSTab1()->setCurrentIndex(0); });
    TextBox* fecha = w.box(QStringLiteral("fecha"));
    paso([&] {
        if (fecha) fecha->setText(DateText::format(QDate::currentDate()));
    });
    paso([&] {
        if (fecha) fecha->setFocus(Qt::OtherFocusReason);
    });
}

void DailySheet::HabilitarSegunEstado(bool b)
{
    UtilVextra* tb = w.UtilVextra1();
    TextBox* fecha = w.box(QStringLiteral("fecha"));
    if (w.mPlanillaCargada) {
        tb->setNuevoenabled(true);
        tb->setCerrarenabled(false);
        if (w.MSflexGrid1()->Rows() > 2) tb->setReporteenabled(true);
        w.CmdCargar()->setEnabled(false);
        if (fecha) fecha->setEnabled(false);
    } else {
        tb->setNuevoenabled(false);
        tb->setCerrarenabled(true);
        tb->setReporteenabled(false);
        w.CmdCargar()->setEnabled(true);
        if (fecha) fecha->setEnabled(true);
    }
    w.TxtEdit()->hide();
    w.SSTab1()->setTabEnabled(2, !b);
}

void DailySheet::TitulosGrilla()
{
    FlexGrid* g = w.MSflexGrid1();
    g->setColWidth(0, 0);
    for (int c = 0; c < int(std::size(kColumnas)); ++c) {
        const Columna& col = kColumnas[c];
        g->setTextMatrix(0, c + 1, QString::fromUtf8(col.titulo0));
        g->setTextMatrix(1, c + 1, QString::fromUtf8(col.titulo1));
        g->setColWidth(c + 1, col.ancho);
        g->setColAlignment(c + 1, col.alineacion);
    }
    g->refresh();
}

bool DailySheet::crearDia(DataService& db, const QDate& dia, const QString& responsable,
                          const QString& operador)
{
    const QDateTime desde(dia, QTime(0, 0));
    const QDateTime hasta(dia.addDays(1), QTime(0, 0));
    const QString insert =
        operador.isEmpty()
            ? QStringLiteral("INSERT INTO v_mv_molvera (Fecha,responsable,fecha_alta) "
                             "VALUES (?,?,?)")
            : QStringLiteral("INSERT INTO v_mv_molvera (Fecha,responsable,fecha_alta,"
                             "modificado_por) VALUES (?,?,?,?)");
    bool creado = false;
    // Desks that open the same new day at once: the first makes its rows,
    // the others find them (one day, one lock).
    db.exclusiveTransaction(kBloqueoDia + dia.toJulianDay(), [&] {
        RecordSet rs = db.openRecordSet(
            QStringLiteral("SELECT COUNT(*) FROM v_mv_molvera WHERE fecha >= ? and fecha < ?"),
            {desde, hasta});
        if (!rs.eof() && rs.value(0).toLongLong() > 0) return;
        // Each row carries the time of its own insert.
        for (int i = 0; i < 2; ++i) {
            QVariantList params{desde, responsable, QDateTime::currentDateTime()};
            if (!operador.isEmpty()) params << operador;
            db.execute(insert, params);
        }
        creado = true;
    });
    return creado;
}

bool DailySheet::Cargar()
{
    FlexGrid* g = w.MSflexGrid1();
    TextBox* fecha = w.box(QStringLiteral("fecha"));
    TextBox* resp = w.box(QStringLiteral("responsable"));
    const QString texto = fecha ? fecha->text() : QString();
    const QDate dia = DateText::parse(texto);
    if (!dia.isValid()) {
        Dialogs::instance().message(&w, QStringLiteral("Atención"),
                                    QStringLiteral("¡¡¡Debe ingresar una fecha válida!!!"),
                                    Dialogs::Icon::Exclamation);
        return false;
    }
    g->setEnabled(true);
    const QDateTime desde(dia, QTime(0, 0));
    const QDateTime hasta(dia.addDays(1), QTime(0, 0));
    const QString sql = sentenciaLectura(w.mVista, false);
    try {
        DataService& db = w.data();
        emit w.planillaPorLeer();
        RecordSet rs = db.openRecordSet(sql, {desde, hasta});
        if (rs.bof()) {
            // The operator names the new rows where the history is kept.
            const QString quien =
                w.history().available() ? w.history().operador() : QString();
            crearDia(db, dia, resp ? resp->text() : QString(), quien);
            rs = db.openRecordSet(sql, {desde, hasta});
        }
        rs.orderByNumber(0);
        g->bind(rs);
    } catch (const ServiceError& e) {
        // No partial sheet is shown as if it were complete.
        InicializaGrid();
        avisar(w, QStringLiteral("No se pudo cargar la planilla del %1.\n\n%2")
                      .arg(DateText::format(dia), e.description()));
        return false;
    }
    TitulosGrilla();
    w.mPlanillaCargada = true;
    // The sheet comes to the front with its enabling, before the report tab
    // is made unavailable (taking the current tab away would select another).
    w.SSTab1()->setCurrentIndex(0);
    HabilitarSegunEstado(true);
    w.EnabledControls(true);
    emit w.planillaCargada();
    g->setFocus(Qt::OtherFocusReason);
    return true;
}
