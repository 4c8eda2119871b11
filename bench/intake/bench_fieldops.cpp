// Speed of the field lookups and the column fill of the intake window, on the
// embedded database:
// - the seller pick list over 1,000,000 intake rows carrying 2,000 distinct
//   sellers must open (statement read, list shown) in under 150 ms;
// - "Duplicar" over 200 rows (each validated, written and ended with Enter)
//   must finish in under 2 s.
// Each benchmark reports its time and the ratio of that time to its budget
// (below 1 is within budget).
#include "ColumnOps.h"
#include "DailySheet.h"
#include "DataService.h"
#include "DateText.h"
#include "FieldLookups.h"
#include "FlexGrid.h"
#include "Lib_ClsCons3.h"
#include "ScriptedDialogs.h"
#include "TestDb.h"
#include "TextBox.h"
#include "frmTrigo.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTreeWidget>
#include <benchmark/benchmark.h>
#include <memory>

namespace
{

constexpr int kFilas = 1'000'000;
constexpr int kVendedores = 2'000;
constexpr int kFilasHoja = 200;
const QDate kDiaHoja(2030, 1, 15);

void sql(DataService& d, const QString& s)
{
    QSqlQuery q(d.database());
    if (!q.exec(s)) qFatal("%s: %s", qPrintable(s), qPrintable(q.lastError().text()));
}

struct Planta {
    ScriptedDialogs dialogs;
    TestDb db{QStringLiteral("bench")};
    Lib_ClsCons3 lookup;
    std::unique_ptr<frmTrigo> w;

    Planta()
    {
        DataService& d = db.data();
        // A million truckloads over about nine years, 2,000 sellers, every
        // seventh row without a seller.
        sql(d, "BEGIN");
        sql(d, QStringLiteral(
                   "INSERT INTO mv_molvera (Fecha, responsable, fecha_alta, Toneladas, vendedor, "
                   "procedencia, camionero, silodestino) "
                   "WITH RECURSIVE c(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM c WHERE x < ") +
                   QString::number(kFilas - 1) +
                   QStringLiteral(
                       ") SELECT date('2021-01-01', '+' || (x / 300) || ' days') || ' 00:00:00', "
                       "'OPERADOR', '2021-01-01 08:00:00', 28.5, "
                       "CASE WHEN x % 7 = 6 THEN '' ELSE 'VENDEDOR ' || printf('%04d', x % ") +
                   QString::number(kVendedores) +
                   QStringLiteral(") END, 'LOCALIDAD ' || (x % 300), 'CAMIONERO ' || (x % 700), "
                                  "printf('%04d', 1 + x % 6) FROM c"));
        sql(d, "COMMIT");
        sql(d, "ANALYZE");
        // The sheet of one day for the fill.
        sql(d, "BEGIN");
        for (int i = 0; i < kFilasHoja; ++i)
            d.execute("INSERT INTO v_mv_molvera (Fecha,responsable,fecha_alta,vendedor) "
                      "VALUES (?,?,?,?)",
                      {QDateTime(kDiaHoja, QTime(0, 0)), "OPERADOR", QDateTime::currentDateTime(),
                       QStringLiteral("VENDEDOR %1").arg(i % 7, 4, 10, QChar(u'0'))});
        sql(d, "COMMIT");
        w = std::make_unique<frmTrigo>(d, lookup, nullptr);
        if (!w->Load()) qFatal("the window did not load");
        w->show();
        w->box(QStringLiteral("fecha"))->setText(DateText::format(kDiaHoja));
        if (!w->sheet().Cargar()) qFatal("sheet not loaded");
    }

    ~Planta()
    {
        w->hide();
        QApplication::processEvents();
    }
};

Planta* gPlanta = nullptr;

Planta& planta()
{
    return *gPlanta;
}

void BM_SellerPickListOpens(benchmark::State& state)
{
    Planta& p = planta();
    FlexGrid* g = p.w->MSflexGrid1();
    int listados = 0;
    for (auto _ : state) {
        g->setFocus();
        g->setRowCol(2, 2);
        p.w->mCampoActivo = p.w->TxtEdit();
        p.dialogs.execScripts << [&](QDialog* d) {
            // Shown: the list has been read; the operator closes it.
            auto* l = d->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
            listados = l ? l->topLevelItemCount() : -1;
            d->reject();
            return int(QDialog::Rejected);
        };
        p.w->CmdConsultar(false);
    }
    if (listados != kVendedores)
        state.SkipWithError(qPrintable(QStringLiteral("listed %1 sellers").arg(listados)));
    state.counters["sellers"] = listados;
}

void BM_DuplicarOver200Rows(benchmark::State& state)
{
    Planta& p = planta();
    FlexGrid* g = p.w->MSflexGrid1();
    int escritas = 0;
    for (auto _ : state) {
        g->setFocus();
        g->setRowCol(FlexGrid::FixedRows, 2);
        g->setRowSel(FlexGrid::FixedRows + kFilasHoja - 1);
        p.dialogs.messageAnswers << Dialogs::Yes;
        escritas = p.w->columnOps().CmdCompletar();
    }
    if (escritas != kFilasHoja)
        state.SkipWithError(qPrintable(QStringLiteral("wrote %1 rows").arg(escritas)));
    state.counters["rows"] = escritas;
}

// The statement of the seller list alone, read through the data service.
void BM_SellerStatement(benchmark::State& state)
{
    Planta& p = planta();
    QString s, campo;
    FieldLookups::listaFija(QStringLiteral("VT_Vendedores"), s, campo);
    int n = 0;
    for (auto _ : state)
        n = p.db.data().openRecordSet(s).recordCount();
    state.counters["sellers"] = n;
}

// For comparison: the same values read by grouping every row.
void BM_SellerGroupBy(benchmark::State& state)
{
    Planta& p = planta();
    const QString s =
        QStringLiteral("SELECT VENDEDOR FROM V_MV_MOLVERA WHERE VENDEDOR<>'' GROUP BY VENDEDOR");
    int n = 0;
    for (auto _ : state)
        n = p.db.data().openRecordSet(s).recordCount();
    state.counters["sellers"] = n;
}

// Reports the mean time per iteration as a ratio of the budget.
void presupuesto(benchmark::State& state, void (*bm)(benchmark::State&), double budgetMs)
{
    QElapsedTimer t;
    t.start();
    bm(state);
    const double ms = double(t.nsecsElapsed()) / 1e6 / double(state.iterations());
    state.counters["ms_per_run"] = ms;
    state.counters["budget_ratio"] = ms / budgetMs;
}

} // namespace

BENCHMARK_CAPTURE(presupuesto, seller_pick_list_1M_rows, BM_SellerPickListOpens, 150.0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_SellerStatement)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_SellerGroupBy)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(presupuesto, duplicar_200_rows, BM_DuplicarOver200Rows, 2000.0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // The database is built before any timing, and goes before the application.
    auto p = std::make_unique<Planta>();
    gPlanta = p.get();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gPlanta = nullptr;
    p.reset();
    return 0;
}
