// The reception report of one month (about 5,000 truckloads): reading the
// rows, laying them out as PDF, and the whole print to a PDF file. The
// budget for the whole print is one second; the "of_budget" counter is the
// measured time as a share of it.
#include "DataService.h"
#include "MolveraReportPrinter.h"

#include <QApplication>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace
{

QTemporaryDir* g_dir = nullptr;
DataService* g_db = nullptr;
constexpr int kRows = 5000;

void fillMonth(DataService& db)
{
    QRandomGenerator rng(42);
    const QStringList sellers{"Juan Pérez", "Ana Gómez", "Cooperativa Agrícola Tandil",
                              "Estancia La Blanqueada", "O'Higgins Hnos."};
    const QStringList origins{"Tandil", "Azul", "Balcarce", "Olavarría", "Tres Arroyos"};
    db.database().transaction();
    for (int i = 0; i < kRows; ++i) {
        const QDate day(2024, 3, 1 + i * 31 / kRows);
        db.insertReturningId(
            QStringLiteral("mv_molvera"),
            {"Fecha", "Toneladas", "vendedor", "procedencia", "camionero", "humedo", "seco",
             "caracteristicas", "fallingnumber", "humedad", "pesohect", "silodestino",
             "observaciones"},
            {QDateTime(day, QTime(int(rng.bounded(6, 20)), int(rng.bounded(60)))),
             double(rng.bounded(20000, 32000)) / 1000.0, sellers.at(i % sellers.size()),
             origins.at((i / 3) % origins.size()), QStringLiteral("Transportes %1").arg(i % 17),
             25.0 + rng.bounded(50) / 10.0, 8.5 + rng.bounded(20) / 10.0, QStringLiteral("Bueno"),
             300 + int(rng.bounded(100)), 12.0 + rng.bounded(30) / 10.0,
             76.0 + rng.bounded(50) / 10.0, QStringLiteral("%1").arg(1 + i % 6, 4, 10, QChar('0')),
             i % 4 == 0 ? QStringLiteral("Muestra de control enviada al laboratorio central")
                        : QString()});
    }
    db.database().commit();
}

ReportPrinter::Request monthRequest()
{
    ReportPrinter::Request r;
    r.reportName = QStringLiteral("Rp_molvera");
    r.parameters = QStringList{QString(), QString()};
    r.selectionFormula = QStringLiteral(
        "{V_MV_MOLVERA.FECHA} >= Date(2024,3,1) AND  {V_MV_MOLVERA.FECHA} <= Date(2024,3,31)");
    r.formulas = QStringList{"empresa = 'Molino Harinero del Sur S.A.'", "NOMBREREP= 'Molvera'",
                             "Parametros = ''"};
    return r;
}

void BM_ReadMonth(benchmark::State& state)
{
    MolveraReportPrinter p(*g_db);
    p.setBaseFolder(QStringLiteral(MOLVERA_SOURCE_DIR));
    int rows = 0;
    for (auto _ : state)
        rows = p.prepare(monthRequest()).data.rowCount();
    state.counters["rows"] = rows;
}
BENCHMARK(BM_ReadMonth)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LayoutMonthPdf(benchmark::State& state)
{
    MolveraReportPrinter p(*g_db);
    p.setBaseFolder(QStringLiteral(MOLVERA_SOURCE_DIR));
    const auto prepared = p.prepare(monthRequest());
    const QString out = g_dir->filePath(QStringLiteral("layout.pdf"));
    int pages = 0;
    for (auto _ : state)
        pages = MolveraReportPrinter::writePdf(out, prepared);
    state.counters["pages"] = pages;
}
BENCHMARK(BM_LayoutMonthPdf)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PrintMonthToPdf(benchmark::State& state)
{
    MolveraReportPrinter p(*g_db);
    p.setBaseFolder(QStringLiteral(MOLVERA_SOURCE_DIR));
    const QString out = g_dir->filePath(QStringLiteral("month.pdf"));
    p.setOutputFile(out);
    double seconds = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        p.print(nullptr, monthRequest());
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    state.counters["pages"] = p.lastPageCount();
    state.counters["pdf_kB"] = double(QFileInfo(out).size()) / 1024.0;
    state.counters["of_budget"] = seconds / double(state.iterations()) / 1.0;
}
BENCHMARK(BM_PrintMonthToPdf)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PrintMonthToCsv(benchmark::State& state)
{
    MolveraReportPrinter p(*g_db);
    p.setBaseFolder(QStringLiteral(MOLVERA_SOURCE_DIR));
    p.setOutputFile(g_dir->filePath(QStringLiteral("month.csv")));
    for (auto _ : state)
        p.print(nullptr, monthRequest());
}
BENCHMARK(BM_PrintMonthToCsv)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QStringLiteral("es_AR")));
    QTemporaryDir dir;
    DataService db(QStringLiteral("bench"));
    db.setDatabaseName(dir.filePath(QStringLiteral("bench.db")));
    db.open(true);
    if (!db.isOpen()) {
        fprintf(stderr, "bench database: %s\n", qPrintable(db.openError()));
        return 1;
    }
    fillMonth(db);
    g_dir = &dir;
    g_db = &db;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
