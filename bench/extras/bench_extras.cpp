// Plain benchmark, printing ratios from one run:
// 1. inserting and updating intake rows with the change-history and
//    silo-quality triggers against the same database without them;
// 2. the live sheet's cheap check (nothing changed) and the day totals'
//    reading against loading the day's sheet, on a database of 200,000 rows.
#include "DailySheet.h"
#include "DataService.h"
#include "DayTotals.h"
#include "IniReader.h"
#include "Lib_ClsCons3.h"
#include "LiveSheet.h"
#include "ModGlobal.h"
#include "ScriptedDialogs.h"
#include "TextBox.h"
#include "frmTrigo.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <cstdio>

namespace
{

const QDate kFirst(2020, 1, 1);

void fill(DataService& d, int rows, int perDay)
{
    QRandomGenerator rnd(7);
    QSqlDatabase db = d.database();
    db.transaction();
    for (int i = 0; i < rows; ++i) {
        d.execute(QStringLiteral("INSERT INTO v_mv_molvera (Fecha, responsable, fecha_alta, "
                                 "Toneladas, vendedor, humedad, pesohect, fallingnumber, "
                                 "silodestino, modificado_por) VALUES (?,?,?,?,?,?,?,?,?,?)"),
                  {QDateTime(kFirst.addDays(i / perDay), QTime(0, 0)), "ANA",
                   QDateTime::currentDateTime(), 20 + rnd.bounded(200) / 10.0,
                   QStringLiteral("Vendedor %1").arg(rnd.bounded(2000)),
                   11 + rnd.bounded(500) / 100.0, 72 + rnd.bounded(1000) / 100.0,
                   200 + rnd.bounded(200),
                   QStringLiteral("%1").arg(1 + rnd.bounded(6), 4, 10, QChar('0')), "ANA"});
    }
    db.commit();
}

void dropAdditions(DataService& d)
{
    for (const char* t : {"tr_mv_molvera_historial_insert", "tr_mv_molvera_historial_update",
                          "tr_mv_molvera_historial_delete", "tr_mv_molvera_calidad_insert",
                          "tr_mv_molvera_calidad_delete", "tr_mv_molvera_calidad_update_old",
                          "tr_mv_molvera_calidad_update_new"})
        d.execute(QStringLiteral("DROP TRIGGER %1").arg(QLatin1String(t)));
}

struct Writes {
    double insertMs, updateMs;
};

Writes writes(bool additions)
{
    QTemporaryDir dir;
    DataService d(additions ? "with" : "without");
    d.setDatabaseName(QDir(dir.path()).filePath("w.db"));
    d.open(true);
    if (!additions) dropAdditions(d);
    QElapsedTimer t;
    t.start();
    fill(d, 20000, 100);
    const double ins = t.nsecsElapsed() / 1e6;
    QRandomGenerator rnd(3);
    QSqlDatabase db = d.database();
    t.restart();
    db.transaction();
    for (int i = 0; i < 5000; ++i)
        d.execute(QStringLiteral("UPDATE v_mv_molvera SET humedad = ?, fecha_modificacion = ?, "
                                 "modificado_por = ? WHERE ID = ?"),
                  {11 + rnd.bounded(500) / 100.0, QDateTime::currentDateTime(), "LUIS",
                   qint64(1 + rnd.bounded(20000))});
    db.commit();
    return {ins, t.nsecsElapsed() / 1e6};
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ScriptedDialogs dialogs;

    const Writes with = writes(true);
    const Writes without = writes(false);
    std::printf("20,000 inserts: %.0f ms with history and quality triggers, %.0f ms without "
                "(ratio %.2f)\n",
                with.insertMs, without.insertMs, with.insertMs / without.insertMs);
    std::printf("5,000 cell updates: %.0f ms with, %.0f ms without (ratio %.2f)\n", with.updateMs,
                without.updateMs, with.updateMs / without.updateMs);

    QTemporaryDir dir, ini;
    DataService d;
    d.setDatabaseName(QDir(dir.path()).filePath("big.db"));
    d.open(true);
    fill(d, 200000, 100);
    IniReader::setSearchFolders({ini.path()});
    Lib_ClsCons3 lookup{&d};
    frmTrigo w(d, lookup, nullptr);
    if (!w.Load()) return 1;
    w.show();
    const QDate day = kFirst.addDays(1000);
    w.box("Fecha")->setText(day.toString("d/M/yyyy"));
    const int rounds = 200;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 20; ++i)
        w.sheet().Cargar();
    const double load = t.nsecsElapsed() / 1e6 / 20;
    t.restart();
    for (int i = 0; i < rounds; ++i)
        w.live().check();
    const double check = t.nsecsElapsed() / 1e6 / rounds;
    t.restart();
    for (int i = 0; i < rounds; ++i)
        w.totals()->refresh();
    const double totals = t.nsecsElapsed() / 1e6 / rounds;
    std::printf("200,000 rows, a day of 100: loading the sheet %.3f ms, live check %.3f ms "
                "(ratio %.3f), day totals %.3f ms (ratio %.3f); %d reads of the day by %d checks\n",
                load, check, check / load, totals, totals / load, w.live().reads(), rounds);
    w.hide();
    IniReader::setSearchFolders({});
    return 0;
}
