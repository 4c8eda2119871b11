// Several intake desks on one database: each desk is its own connection, on
// its own thread, writing at the same moment as the others.
#include "DailySheet.h"
#include "DataService.h"
#include "ServiceError.h"
#include "TestDb.h"

#include <QMap>
#include <QSet>
#include <QtTest>
#include <atomic>
#include <latch>
#include <thread>

namespace {

const QString kUpdate =
    QStringLiteral("UPDATE v_mv_molvera SET [%1] = ?, fecha_modificacion = ? WHERE ID = ?");

qint64 addRow(DataService& d, const QString& responsable)
{
    return d.insertReturningId(QStringLiteral("v_mv_molvera"),
                               {QStringLiteral("Fecha"), QStringLiteral("responsable"),
                                QStringLiteral("fecha_alta")},
                               {QDateTime(QDate(2024, 3, 15), QTime()), responsable,
                                QDateTime::currentDateTime()});
}

// Runs one desk's work on a thread of its own, with its own connection; the
// desks start together. Answers the errors the desks met.
QStringList runDesks(TestDb& db, const QList<std::function<void(DataService&)>>& desks)
{
    std::latch start(desks.size());
    QStringList errors;
    std::mutex m;
    std::vector<std::thread> threads;
    for (int i = 0; i < desks.size(); ++i) {
        threads.emplace_back([&, i] {
            try {
                auto d = db.secondConnection(QStringLiteral("desk%1").arg(i));
                start.arrive_and_wait();
                desks.at(i)(*d);
            } catch (const ServiceError& e) {
                std::lock_guard<std::mutex> g(m);
                errors << e.description();
            }
        });
    }
    for (auto& t : threads) t.join();
    return errors;
}

} // namespace

class TstWorkstations : public QObject
{
    Q_OBJECT
private slots:
    // Desks that open the same new days at the same moment: each day gets its
    // two first rows once, made by one of them.
    void newDayOpenedAtOnce()
    {
        TestDb db;
        const int days = 12;
        const QDate first(2024, 5, 1);
        std::atomic<int> made{0};
        QList<std::function<void(DataService&)>> desks;
        for (int i = 0; i < 4; ++i)
            desks << [&, i](DataService& d) {
                for (int day = 0; day < days; ++day)
                    if (DailySheet::crearDia(d, first.addDays(day), QStringLiteral("D%1").arg(i),
                                             QStringLiteral("OP%1").arg(i)))
                        ++made;
            };
        const QStringList errors = runDesks(db, desks);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
        QCOMPARE(made.load(), days);
        for (int day = 0; day < days; ++day)
            QCOMPARE(db.scalar("SELECT COUNT(*) FROM v_mv_molvera WHERE fecha >= ? AND fecha < ?",
                               {QDateTime(first.addDays(day), QTime()),
                                QDateTime(first.addDays(day + 1), QTime())})
                         .toInt(),
                     2);
    }

    // Two desks add rows at the same moment: each gets the id of its own new
    // row, never one of the other desk's.
    void simultaneousNewRows()
    {
        TestDb db;
        const int perDesk = 40;
        QList<qint64> ids[2];
        const QStringList errors = runDesks(
            db, {[&](DataService& d) {
                     for (int i = 0; i < perDesk; ++i) ids[0] << addRow(d, QStringLiteral("A%1").arg(i));
                 },
                 [&](DataService& d) {
                     for (int i = 0; i < perDesk; ++i) ids[1] << addRow(d, QStringLiteral("B%1").arg(i));
                 }});
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
        QSet<qint64> all;
        for (int desk = 0; desk < 2; ++desk) {
            QCOMPARE(ids[desk].size(), perDesk);
            for (int i = 0; i < perDesk; ++i) {
                all.insert(ids[desk].at(i));
                QCOMPARE(db.scalar("SELECT responsable FROM v_mv_molvera WHERE ID = ?", {ids[desk].at(i)})
                             .toString(),
                         (desk == 0 ? QStringLiteral("A%1") : QStringLiteral("B%1")).arg(i));
            }
        }
        QCOMPARE(all.size(), 2 * perDesk);
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM v_mv_molvera").toInt(), 2 * perDesk);
    }

    // One desk deletes rows while the other edits every row, column by
    // column: each accepted edit is in its own row and column, the deleted
    // rows are gone, nothing else changed, and the silo totals still add up.
    void deleteWhileEditing()
    {
        TestDb db;
        const int rows = 40;
        QList<qint64> ids;
        for (int i = 0; i < rows; ++i) ids << addRow(db.data(), QStringLiteral("R%1").arg(i));
        const QStringList errors = runDesks(
            db, {[&](DataService& d) {
                     for (int i = 0; i < rows; i += 2)
                         d.execute(QStringLiteral("DELETE v_mv_molvera WHERE ID = ?"), {ids.at(i)});
                 },
                 [&](DataService& d) {
                     for (int i = 0; i < rows; ++i) {
                         const qint64 id = ids.at(i);
                         const QDateTime now = QDateTime::currentDateTime();
                         d.execute(kUpdate.arg("VENDEDOR"), {QStringLiteral("V%1").arg(id), now, id});
                         d.execute(kUpdate.arg("TONELADAS"), {double(id % 7) + 0.5, now, id});
                         d.execute(kUpdate.arg("SILODESTINO"),
                                   {QStringLiteral("000%1").arg(id % 3 + 1), now, id});
                         d.execute(kUpdate.arg("HUMEDAD"), {double(i), now, id});
                     }
                 }});
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
        RecordSet rs = db.data().openRecordSet(QStringLiteral(
            "SELECT ID, vendedor, Toneladas, silodestino, humedad, responsable, procedencia FROM "
            "v_mv_molvera ORDER BY ID"));
        QCOMPARE(rs.recordCount(), rows / 2);
        for (int k = 0; k < rs.recordCount(); ++k) {
            const auto& r = rs.rows().at(k);
            const int i = 2 * k + 1;
            const qint64 id = ids.at(i);
            QCOMPARE(r.at(0).toLongLong(), id);
            QCOMPARE(r.at(1).toString(), QStringLiteral("V%1").arg(id));
            QCOMPARE(r.at(2).toDouble(), double(id % 7) + 0.5);
            QCOMPARE(r.at(3).toString(), QStringLiteral("000%1").arg(id % 3 + 1));
            QCOMPARE(r.at(4).toDouble(), double(i));
            QCOMPARE(r.at(5).toString(), QStringLiteral("R%1").arg(i));
            QVERIFY(r.at(6).isNull());
        }
        // Kept totals against the rows left.
        QMap<QString, qint64> gramos;
        QMap<QString, int> loads;
        for (const auto& r : rs.rows()) {
            gramos[r.at(3).toString()] += qRound64(r.at(2).toDouble() * 1000000);
            loads[r.at(3).toString()] += 1;
        }
        for (const QString& silo : {QStringLiteral("0001"), QStringLiteral("0002"), QStringLiteral("0003")}) {
            QCOMPARE(db.scalar("SELECT gramos FROM mv_molvera_silo_total WHERE silodestino = ?", {silo})
                         .toLongLong(),
                     gramos.value(silo));
            QCOMPARE(db.scalar("SELECT cargas FROM mv_molvera_silo_total WHERE silodestino = ?", {silo})
                         .toInt(),
                     loads.value(silo));
        }
    }

    // Two desks move loads between the same two silos in opposite directions
    // at the same time: no deadlock, no lost change in the totals.
    void crossedSiloMoves()
    {
        TestDb db;
        const int rows = 30;
        QList<qint64> ids;
        for (int i = 0; i < rows; ++i) {
            const qint64 id = addRow(db.data(), QStringLiteral("R%1").arg(i));
            db.data().execute(kUpdate.arg("TONELADAS"), {1.0, QDateTime::currentDateTime(), id});
            db.data().execute(kUpdate.arg("SILODESTINO"),
                              {i % 2 ? QStringLiteral("0001") : QStringLiteral("0002"),
                               QDateTime::currentDateTime(), id});
            ids << id;
        }
        auto mover = [&](int parity, const QString& to) {
            return [&, parity, to](DataService& d) {
                for (int round = 0; round < 3; ++round)
                    for (int i = parity; i < rows; i += 2)
                        d.execute(kUpdate.arg("SILODESTINO"),
                                  {round % 2 ? (to == "0001" ? QStringLiteral("0002") : QStringLiteral("0001"))
                                             : to,
                                   QDateTime::currentDateTime(), ids.at(i)});
            };
        };
        const QStringList errors = runDesks(db, {mover(1, "0002"), mover(0, "0001")});
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
        for (const QString& silo : {QStringLiteral("0001"), QStringLiteral("0002")}) {
            const int n = db.scalar("SELECT COUNT(*) FROM mv_molvera WHERE silodestino = ?", {silo}).toInt();
            QCOMPARE(n, rows / 2);
            QCOMPARE(db.scalar("SELECT cargas FROM mv_molvera_silo_total WHERE silodestino = ?", {silo})
                         .toInt(),
                     n);
            QCOMPARE(db.scalar("SELECT gramos FROM mv_molvera_silo_total WHERE silodestino = ?", {silo})
                         .toLongLong(),
                     qint64(n) * 1000000);
        }
    }
};

QTEST_MAIN(TstWorkstations)
#include "tst_workstations.moc"
