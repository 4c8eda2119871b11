// Measures what a refresh of the silo panel costs at 1,000,000 intake rows and
// 50 deposits: the tonnes read with one sum per silo over the intake view,
// with one grouped sum, and from the per-silo totals the database keeps; and
// a whole refresh of the panel. Prints medians and ratios.
//
//   bench_silos [rows] [silos]       (defaults 1000000 50)
#include "DataService.h"
#include "SiloFigures.h"
#include "SiloPanel.h"
#include "Twips.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace
{

double medianMs(int runs, const std::function<void()>& work)
{
    std::vector<double> ms;
    work(); // warm the caches and the prepared statements
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// The tonnes as a refresh read them before the totals were kept: the
// deposits, then one sum over the intake view per deposit.
QVector<QVariant> sumPerSilo(DataService& data)
{
    QVector<QVariant> used;
    RecordSet deposits = data.openRecordSet(QStringLiteral("select * from v_ta_deposito"));
    for (const RecordSet::Row row : deposits.rows()) {
        RecordSet rs = data.openRecordSet(
            QStringLiteral(
                "select sum(toneladas) as usado from v_mv_molvera where silodestino = ?"),
            {SiloFigures::storedSilo(row.at(0).toString())});
        used.push_back(rs.value(0));
    }
    return used;
}

void groupedSum(DataService& data)
{
    data.openRecordSet(QStringLiteral("select * from v_ta_deposito"));
    data.openRecordSet(QStringLiteral(
        "select silodestino, sum(toneladas) as usado from v_mv_molvera group by silodestino"));
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int silos = argc > 2 ? std::atoi(argv[2]) : 50;

    QTemporaryDir dir;
    DataService data(QStringLiteral("bench"));
    data.setDatabaseName(QDir(dir.path()).filePath(QStringLiteral("bench.db")));
    data.open(true);
    if (!data.isOpen()) {
        std::fprintf(stderr, "cannot open the scratch database: %s\n",
                     qPrintable(data.openError()));
        return 1;
    }

    QElapsedTimer fill;
    fill.start();
    data.execute(QStringLiteral("delete from ta_deposito"));
    data.execute(QStringLiteral(
                     "insert into ta_deposito (iddeposito, descripcion, capacidad) "
                     "with recursive n(i) as (select 1 union all select i + 1 from n where i < ?) "
                     "select printf('%04d', i), 'Silo ' || i, 400000 + 1000 * i from n"),
                 {silos});
    // One truckload of 20 to 35 tonnes per row, spread over the silos and a
    // few destinations that are no deposit; every 97th row without tonnes.
    data.execute(QStringLiteral(
                     "insert into mv_molvera (Fecha, Toneladas, silodestino) "
                     "with recursive n(i) as (select 1 union all select i + 1 from n where i < ?) "
                     "select '2024-03-15 00:00:00', case when i % 97 = 0 then null "
                     "else 20 + (i % 15001) / 1000.0 end, printf('%04d', 1 + i % (? + 3)) from n"),
                 {rows, silos});
    std::printf("generated %d intake rows over %d silos in %.1f s (triggers keeping the totals)\n",
                rows, silos, fill.nsecsElapsed() / 1e9);

    // The two ways give the same figures.
    SiloFigures figures(data);
    const QVector<SiloFigure> kept = figures.read();
    const QVector<QVariant> summed = sumPerSilo(data);
    int differ = 0;
    for (int k = 0; k < kept.size(); ++k)
        if (kept[k].usado.isNull() != summed[k].isNull() ||
            qRound64(kept[k].usado.toDouble() * 1000) != qRound64(summed[k].toDouble() * 1000))
            ++differ;
    std::printf("silos compared: %lld, figures that differ: %d\n", qint64(kept.size()), differ);

    const double perSilo = medianMs(5, [&] { sumPerSilo(data); });
    const double grouped = medianMs(5, [&] { groupedSum(data); });
    const double totals = medianMs(201, [&] { figures.read(); });

    SiloPanel panel(data);
    panel.resize(Twips::toPx(7545), Twips::toPx(2805));
    panel.show();
    panel.MostrarDepositos(false);
    int w = 0;
    const double refresh = medianMs(201, [&] {
        // A window drag: every refresh at another size.
        panel.resize(Twips::toPx(7545) + (++w % 40), Twips::toPx(2805));
        panel.MostrarDepositos(true);
    });
    const double rebuild = medianMs(21, [&] { panel.MostrarDepositos(false); });

    std::printf("\nmedian time of one read of the figures (%d silos, %d rows):\n", silos, rows);
    std::printf("  one sum per silo        %10.3f ms\n", perSilo);
    std::printf("  one grouped sum         %10.3f ms\n", grouped);
    std::printf("  kept totals             %10.3f ms\n", totals);
    std::printf("  panel refresh (resize)  %10.3f ms   (kept totals, layout of %d silos)\n",
                refresh, silos);
    std::printf("  panel rebuild (tab)     %10.3f ms\n", rebuild);
    std::printf("\nratio sum per silo / kept totals:   %.0f\n", perSilo / totals);
    std::printf("ratio sum per silo / panel refresh: %.0f\n", perSilo / refresh);
    std::printf("ratio grouped sum / kept totals:    %.0f\n", grouped / totals);
    return differ == 0 ? 0 : 2;
}
