// Reads what the desks of bench/desks/run wrote (bench_desk's files, one
// folder per run), prints the median and 99th percentile of each measure per
// run with the ratio of the last timed run to the first, and checks the
// server: every cell a desk saw accepted holds what its grid showed, every
// row a desk deleted is gone, and the kept silo totals equal the sums of the
// rows. Ends with the line
//   desks=N edits=E lost=L edit_p99_ms=X visible_p99_ms=Y
// (N, X and Y of the last timed run; E and L over every run) and status 0
// only when nothing was lost, the totals agree, no operator was shown an
// error other than the server being away, and after a restart every desk
// said once that it was connected again.
//
//   desks_summary --dsn DSN --user U --password P
//                 --run NAME DIR [--run NAME DIR ...] [--restart NAME DIR]
#include "DailySheet.h"
#include "DataService.h"
#include "Dialogs.h"
#include "ServiceError.h"
#include "UtilService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace
{

struct Run {
    QString name;
    bool restart = false;
    int desks = 0;
    std::map<QString, std::vector<double>> samples;
    QHash<QPair<qint64, int>, QString> cells;
    QSet<qint64> deleted;
    QHash<QString, qint64> written;
    std::vector<double> visible;
    int unseen = 0;      // marks another desk never showed
    QStringList errors;  // shown to an operator, other than the server away
    QList<int> toldBack; // per desk: "connected again" messages
};

double quantile(std::vector<double> v, double q)
{
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size() - 1) + 0.5))];
}

bool serverAway(const QString& text)
{
    return text.startsWith(QStringLiteral("Se perdió la conexión")) ||
           text.contains(QStringLiteral("conexión con la base de datos"));
}

Run readRun(const QString& name, const QString& dir, bool restart)
{
    Run run;
    run.name = name;
    run.restart = restart;
    struct Desk {
        QHash<QString, qint64> seen;
        qint64 end = 0;
        QString name;
    };
    QList<Desk> desks;
    QHash<QString, QPair<qint64, QString>> markRow; // mark: row, desk
    for (const QFileInfo& fi :
         QDir(dir).entryInfoList({QStringLiteral("desk*.txt")}, QDir::Files)) {
        QFile f(fi.filePath());
        if (!f.open(QIODevice::ReadOnly)) continue;
        ++run.desks;
        int back = 0;
        Desk desk;
        desk.name = fi.baseName();
        while (!f.atEnd()) {
            const QByteArray line = f.readLine().trimmed();
            const QList<QByteArray> p = line.split(' ');
            if (p.size() < 2) continue;
            const QByteArray k = p.at(0);
            if (k == "S" && p.size() == 3) {
                run.samples[QString::fromLatin1(p.at(1))].push_back(p.at(2).toDouble());
            } else if (k == "E" && p.size() >= 3) {
                const QString text =
                    QString::fromUtf8(QByteArray::fromPercentEncoding(p.size() > 3 ? p.at(3) : ""));
                run.cells.insert({p.at(1).toLongLong(), p.at(2).toInt()}, text);
            } else if (k == "X") {
                run.deleted.insert(p.at(1).toLongLong());
            } else if (k == "T" && p.size() == 3) {
                desk.end = p.at(2).toLongLong();
            } else if (k == "W" && p.size() == 4) {
                const QString mark = QString::fromLatin1(p.at(1));
                run.written.insert(mark, p.at(2).toLongLong());
                markRow.insert(mark, {p.at(3).toLongLong(), desk.name});
            } else if (k == "V" && p.size() == 3) {
                desk.seen.insert(QString::fromLatin1(p.at(1)), p.at(2).toLongLong());
            } else if (k == "M" && p.size() >= 3) {
                // Kind, icon and text: an error, a critical or exclamation
                // message, or one of the bench's own notes.
                const QString text =
                    QString::fromUtf8(QByteArray::fromPercentEncoding(p.size() > 3 ? p.at(3) : ""));
                const int icon = p.at(2).toInt();
                const bool alarm = p.at(1) == "error" || p.at(1) == "bench" ||
                                   icon == int(Dialogs::Icon::Critical) ||
                                   icon == int(Dialogs::Icon::Exclamation);
                if (text.startsWith(QStringLiteral("Se restableció la conexión")))
                    ++back;
                else if (alarm && !serverAway(text))
                    run.errors << QStringLiteral("%1: %2").arg(fi.baseName(), text.left(160));
            }
        }
        run.toldBack << back;
        desks << desk;
    }
    // Each mark on each other desk: the time it took to show by itself, or
    // not shown although the desk ran on for two seconds after it and the
    // row was not deleted meanwhile.
    for (const Desk& d : desks)
        for (auto it = run.written.cbegin(); it != run.written.cend(); ++it) {
            const auto [row, writer] = markRow.value(it.key());
            if (writer == d.name) continue;
            const qint64 seen = d.seen.value(it.key(), -1);
            if (seen > 0)
                run.visible.push_back(double(std::max<qint64>(0, seen - *it)));
            else if (seen < 0 && !run.deleted.contains(row) && *it + 2000 < d.end)
                ++run.unseen;
        }
    return run;
}

void printRuns(const QList<Run>& runs)
{
    const char* const measures[][2] = {{"load_day", "loading the day"},
                                       {"cell_edit", "a cell edit written"},
                                       {"nuevo", "Nuevo"},
                                       {"silo_panel", "the silo panel"},
                                       {"seller_list", "the seller list"},
                                       {"visible", "another desk's change on screen"}};
    std::printf("%-34s", "measure (ms)");
    for (const Run& r : runs)
        std::printf(" | %8s median %8s p99", qPrintable(r.name), "");
    if (runs.size() > 1)
        std::printf(" | ratio %s/%s p99", qPrintable(runs.last().name),
                    qPrintable(runs.first().name));
    std::printf("\n");
    for (const auto& m : measures) {
        std::printf("%-34s", m[1]);
        double first = -1, last = -1;
        for (const Run& r : runs) {
            const std::vector<double> v =
                QLatin1String(m[0]) == QLatin1String("visible")
                    ? r.visible
                    : (r.samples.count(QLatin1String(m[0])) ? r.samples.at(QLatin1String(m[0]))
                                                            : std::vector<double>{});
            const double p99 = quantile(v, 0.99);
            std::printf(" | %15.2f %12.2f", quantile(v, 0.5), p99);
            if (first < 0) first = p99;
            last = p99;
        }
        if (runs.size() > 1) std::printf(" | %8.2f", first > 0 ? last / first : 0.0);
        std::printf("\n");
    }
    for (const Run& r : runs)
        std::printf("%s: %d desks, %zu cells accepted, %zu samples of a cell edit, %d marks "
                    "not shown by another desk\n",
                    qPrintable(r.name), r.desks, size_t(r.cells.size()),
                    r.samples.count(QStringLiteral("cell_edit"))
                        ? r.samples.at(QStringLiteral("cell_edit")).size()
                        : size_t(0),
                    r.unseen);
}

// The cells and rows the desks saw accepted, against the server. Answers how
// many are not there as the desk's grid showed them.
int lostCells(DataService& data, const QList<Run>& runs, int* edits)
{
    int count = 0;
    const DailySheet::Columna* cols = DailySheet::columnas(count);
    int lost = 0;
    *edits = 0;
    for (const Run& r : runs) {
        for (auto it = r.cells.cbegin(); it != r.cells.cend(); ++it) {
            ++*edits;
            const auto [id, col] = it.key();
            if (col < 1 || col > count) continue;
            const RecordSet rs =
                data.openRecordSet(QStringLiteral("SELECT %1 FROM v_mv_molvera WHERE ID = ?")
                                       .arg(QLatin1String(cols[col - 1].campo)),
                                   {id});
            const QString stored =
                rs.bof() ? QStringLiteral("<no row>") : UtilService::valueToText(rs.value(0));
            if (stored != it.value()) {
                ++lost;
                if (lost <= 10)
                    std::printf("LOST: row %lld column %d shown \"%s\", stored \"%s\"\n", id, col,
                                qPrintable(it.value()), qPrintable(stored));
            }
        }
        for (qint64 id : r.deleted)
            if (!data.openRecordSet(QStringLiteral("SELECT ID FROM v_mv_molvera WHERE ID = ?"),
                                    {id})
                     .bof()) {
                ++lost;
                std::printf("LOST: row %lld deleted and still there\n", id);
            }
    }
    return lost;
}

// The kept silo totals against the sums of the rows.
QStringList siloMismatches(DataService& data)
{
    QHash<QString, QPair<qint64, int>> kept, summed;
    const RecordSet k = data.openRecordSet(
        QStringLiteral("SELECT silodestino, gramos, cargas FROM mv_molvera_silo_total"));
    for (const RecordSet::Row row : k.rows())
        if (row.at(2).toInt() != 0 || row.at(1).toLongLong() != 0)
            kept.insert(row.at(0).toString(), {row.at(1).toLongLong(), row.at(2).toInt()});
    const RecordSet s = data.openRecordSet(QStringLiteral(
        "SELECT silodestino, SUM(CAST(ROUND(CAST(toneladas AS numeric) * 1000000) AS "
        "bigint)), COUNT(*) FROM mv_molvera WHERE silodestino IS NOT NULL AND "
        "toneladas IS NOT NULL GROUP BY silodestino"));
    for (const RecordSet::Row row : s.rows())
        summed.insert(row.at(0).toString(), {row.at(1).toLongLong(), row.at(2).toInt()});
    QStringList out;
    QSet<QString> silos(kept.keyBegin(), kept.keyEnd());
    silos.unite(QSet<QString>(summed.keyBegin(), summed.keyEnd()));
    for (const QString& silo : silos)
        if (kept.value(silo) != summed.value(silo))
            out << QStringLiteral("silo %1: kept %2 g / %3 loads, rows %4 g / %5 loads")
                       .arg(silo)
                       .arg(kept.value(silo).first)
                       .arg(kept.value(silo).second)
                       .arg(summed.value(silo).first)
                       .arg(summed.value(silo).second);
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    QString dsn, user, password;
    QList<Run> timed, all;
    for (int i = 1; i < a.size(); ++i) {
        auto next = [&] { return i + 1 < a.size() ? a.at(++i) : QString(); };
        if (a[i] == QLatin1String("--dsn"))
            dsn = next();
        else if (a[i] == QLatin1String("--user"))
            user = next();
        else if (a[i] == QLatin1String("--password"))
            password = next();
        else if (a[i] == QLatin1String("--run") || a[i] == QLatin1String("--restart")) {
            const bool restart = a[i] == QLatin1String("--restart");
            const QString name = next();
            Run r = readRun(name, next(), restart);
            if (!restart) timed << r;
            all << r;
        }
    }
    if (timed.isEmpty()) {
        std::fprintf(stderr, "usage: desks_summary --dsn DSN --user U --password P --run NAME "
                             "DIR [--run NAME DIR ...] [--restart NAME DIR]\n");
        return 2;
    }
    printRuns(timed);
    bool ok = true;
    for (const Run& r : all) {
        for (const QString& e : r.errors.mid(0, 5))
            std::printf("OPERATOR SAW (%s): %s\n", qPrintable(r.name), qPrintable(e));
        if (!r.errors.isEmpty()) ok = false;
        if (r.restart) {
            const qsizetype once = std::count(r.toldBack.cbegin(), r.toldBack.cend(), 1);
            std::printf("%s: %lld of %d desks said once that the server was back (each: %s)\n",
                        qPrintable(r.name), qint64(once), r.desks, qPrintable([&] {
                            QStringList s;
                            for (int n : r.toldBack)
                                s << QString::number(n);
                            return s.join(u' ');
                        }()));
            if (once != r.desks) ok = false;
        }
    }
    DataService data(QStringLiteral("summary"));
    data.setServer(QStringLiteral("summary"));
    data.setDatabaseName(dsn);
    data.setUser(user);
    data.setPassword(password);
    data.open(false);
    if (!data.isOpen()) {
        std::fprintf(stderr, "desks_summary: %s\n", qPrintable(data.openError()));
        return 1;
    }
    int edits = 0, lost = 0;
    try {
        lost = lostCells(data, all, &edits);
        const QStringList silos = siloMismatches(data);
        for (const QString& s : silos)
            std::printf("SILO TOTALS: %s\n", qPrintable(s));
        std::printf("silo totals: %s\n",
                    silos.isEmpty() ? "kept totals equal the sums of the rows" : "DIFFER");
        if (!silos.isEmpty()) ok = false;
    } catch (const ServiceError& e) {
        std::fprintf(stderr, "desks_summary: %s\n", qPrintable(e.description()));
        return 1;
    }
    const Run& last = timed.last();
    const auto edit = last.samples.find(QStringLiteral("cell_edit"));
    std::printf("desks=%d edits=%d lost=%d edit_p99_ms=%.1f visible_p99_ms=%.1f\n", last.desks,
                edits, lost,
                quantile(edit == last.samples.end() ? std::vector<double>{} : edit->second, 0.99),
                quantile(last.visible, 0.99));
    return ok && lost == 0 && edits > 0 ? 0 : 1;
}
