#include "DataService.h"
#include "SiloFigures.h"
#include "TestDb.h"

#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QtTest>

// The per-silo totals kept by the database must always equal the sums of the
// intake rows, whatever is done to the rows through the intake view.
class tst_SiloTotals : public QObject
{
    Q_OBJECT
private slots:
    void totalsFollowTheRows_data();
    void totalsFollowTheRows();
    void randomChangesKeepTotals();
    void rolledBackChangeLeavesTotals();
    void figuresEqualPerSiloSums();
    void otherFormOfSiloNotCounted();
    void withoutTotalsTableSumsRows();
    void totalsAddedToWorkingDatabase();
    void largeTotalsDoNotOverflow();

private:
    static void insert(DataService& data, const QVariant& tn, const QVariant& silo);
    static void verify(TestDb& db);
};

void tst_SiloTotals::insert(DataService& data, const QVariant& tn, const QVariant& silo)
{
    data.execute(QStringLiteral("insert into v_mv_molvera (Fecha, Toneladas, silodestino) "
                                "values ('2024-03-15 00:00:00', ?, ?)"),
                 {tn, silo});
}

void tst_SiloTotals::verify(TestDb& db)
{
    DataService& data = db.data();
    // Every silo named by a row or by the totals.
    RecordSet silos = data.openRecordSet(
        QStringLiteral("select silodestino from mv_molvera where silodestino is not null union "
                       "select silodestino from mv_molvera_silo_total"));
    QVERIFY(silos.recordCount() > 0);
    for (const RecordSet::Row row : silos.rows()) {
        const QString silo = row.at(0).toString();
        RecordSet sum = data.openRecordSet(
            QStringLiteral("select sum(toneladas) as usado, count(toneladas) as n "
                           "from v_mv_molvera where silodestino = ?"),
            {silo});
        RecordSet kept = data.openRecordSet(
            QStringLiteral("select gramos, cargas from mv_molvera_silo_total where silodestino = ?"),
            {silo});
        const QVariant usado = sum.value(0);
        const qint64 n = sum.value(1).toLongLong();
        const qint64 cargas = kept.isEmpty() ? 0 : kept.value(1).toLongLong();
        const qint64 gramos = kept.isEmpty() ? 0 : kept.value(0).toLongLong();
        QVERIFY2(cargas == n, qPrintable(silo));
        QCOMPARE(usado.isNull(), cargas == 0);
        if (!usado.isNull())
            QCOMPARE(gramos, qRound64(usado.toDouble() * 1000000));
        else
            QCOMPARE(gramos, 0);
    }
}

void tst_SiloTotals::totalsFollowTheRows_data()
{
    QTest::addColumn<QStringList>("statements");
    QTest::newRow("inserts only") << QStringList{};
    QTest::newRow("edit tonnes") << QStringList{
        "update v_mv_molvera set Toneladas = 31.25 where Toneladas = 28.45"};
    QTest::newRow("edit silo") << QStringList{
        "update v_mv_molvera set silodestino = '0003' where silodestino = '0001'"};
    QTest::newRow("edit silo and tonnes at once") << QStringList{
        "update v_mv_molvera set silodestino = '0002', Toneladas = 12.5 where Toneladas = 30.1"};
    QTest::newRow("tonnes to null")
        << QStringList{"update v_mv_molvera set Toneladas = null where silodestino = '0002'"};
    QTest::newRow("tonnes from null")
        << QStringList{"update v_mv_molvera set Toneladas = 7 where Toneladas is null"};
    QTest::newRow("silo to null and back")
        << QStringList{"update v_mv_molvera set silodestino = null where silodestino = '0001'",
                       "update v_mv_molvera set silodestino = '0004' where silodestino is null"};
    QTest::newRow("edit other column")
        << QStringList{"update v_mv_molvera set vendedor = 'PEREZ' where silodestino = '0001'"};
    QTest::newRow("delete some") << QStringList{
        "delete from v_mv_molvera where silodestino = '0001'"};
    QTest::newRow("delete all") << QStringList{"delete from v_mv_molvera"};
    QTest::newRow("negative correction")
        << QStringList{"insert into v_mv_molvera (Fecha, Toneladas, silodestino) "
                       "values ('2024-03-16 00:00:00', -3.5, '0002')"};
}

void tst_SiloTotals::totalsFollowTheRows()
{
    QFETCH(QStringList, statements);
    TestDb db;
    insert(db.data(), 28.45, "0001");
    insert(db.data(), 30.1, "0001");
    insert(db.data(), 25.0, "0002");
    insert(db.data(), QVariant(), "0002");
    insert(db.data(), 1.005, "0003");
    insert(db.data(), 4.0, QVariant());
    for (const QString& sql : statements)
        db.data().execute(sql);
    verify(db);
}

void tst_SiloTotals::randomChangesKeepTotals()
{
    TestDb db;
    DataService& data = db.data();
    QRandomGenerator rnd(20240315);
    const QStringList silos{"0001", "0002", "0003", "0004", "0005"};
    auto tonnes = [&] { return QVariant(rnd.bounded(1, 40000) / 1000.0); };
    auto silo = [&] { return QVariant(silos.at(rnd.bounded(silos.size()))); };
    for (int i = 0; i < 60; ++i)
        insert(data, tonnes(), silo());
    for (int step = 0; step < 300; ++step) {
        RecordSet ids = data.openRecordSet(QStringLiteral("select ID from v_mv_molvera"));
        const qint64 id =
            ids.isEmpty() ? 0 : ids.rows().at(rnd.bounded(ids.recordCount())).at(0).toLongLong();
        switch (rnd.bounded(5)) {
        case 0:
            insert(data, tonnes(), silo());
            break;
        case 1:
            data.execute(QStringLiteral("update v_mv_molvera set Toneladas = ? where ID = ?"),
                         {tonnes(), id});
            break;
        case 2:
            data.execute(QStringLiteral("update v_mv_molvera set silodestino = ? where ID = ?"),
                         {silo(), id});
            break;
        case 3:
            data.execute(QStringLiteral("update v_mv_molvera set Toneladas = ?, silodestino = ? "
                                        "where ID = ?"),
                         {tonnes(), silo(), id});
            break;
        default:
            data.execute(QStringLiteral("delete from v_mv_molvera where ID = ?"), {id});
            break;
        }
    }
    verify(db);
    if (QTest::currentTestFailed()) return;
    // The kept totals are read as the panel reads them.
    SiloFigures figures(data);
    for (const SiloFigure& f : figures.read()) {
        const QVariant sum = db.scalar(
            QStringLiteral("select sum(toneladas) from v_mv_molvera where silodestino = ?"),
            {SiloFigures::storedSilo(f.iddeposito)});
        QCOMPARE(f.usado.isNull(), sum.isNull());
        if (!sum.isNull())
            QCOMPARE(qRound64(f.usado.toDouble() * 1000), qRound64(sum.toDouble() * 1000));
    }
}

void tst_SiloTotals::rolledBackChangeLeavesTotals()
{
    TestDb db;
    insert(db.data(), 10.0, "0001");
    QSqlDatabase conn = db.data().database();
    QVERIFY(conn.transaction());
    insert(db.data(), 5.0, "0001");
    db.data().execute(
        QStringLiteral("update v_mv_molvera set Toneladas = 99 where Toneladas = 10"));
    QCOMPARE(db.scalar("select gramos from mv_molvera_silo_total where silodestino = '0001'")
                 .toLongLong(),
             Q_INT64_C(104000000));
    QVERIFY(conn.rollback());
    QCOMPARE(db.scalar("select gramos from mv_molvera_silo_total where silodestino = '0001'")
                 .toLongLong(),
             Q_INT64_C(10000000));
    verify(db);
}

void tst_SiloTotals::figuresEqualPerSiloSums()
{
    TestDb db;
    insert(db.data(), 28.45, "0001");
    insert(db.data(), 30.1, "0001");
    insert(db.data(), 800.0, "0002");
    insert(db.data(), QVariant(), "0004");
    SiloFigures figures(db.data());
    const QVector<SiloFigure> silos = figures.read();
    QVERIFY(figures.usingKeptTotals());
    QCOMPARE(silos.size(), 6); // the starter deposits, in the view's order
    QCOMPARE(silos.at(0).iddeposito, QStringLiteral("0001"));
    QCOMPARE(silos.at(0).descripcion, QStringLiteral("Silo 1"));
    QCOMPARE(silos.at(0).capacidad.toDouble(), 500.0);
    QCOMPARE(silos.at(0).usado.toDouble(), 58.55);
    QCOMPARE(silos.at(1).usado.toDouble(), 800.0);
    QVERIFY(silos.at(2).usado.isNull()); // no truckload
    QVERIFY(silos.at(3).usado.isNull()); // a truckload without tonnes
}

void tst_SiloTotals::otherFormOfSiloNotCounted()
{
    TestDb db;
    db.data().execute(QStringLiteral("delete from v_ta_deposito"));
    db.data().execute(QStringLiteral("insert into v_ta_deposito values ('7', 'Celda', 100)"));
    insert(db.data(), 10.0, "0007");
    insert(db.data(), 50.0, "7"); // stored in another form: not this silo's
    SiloFigures figures(db.data());
    const QVector<SiloFigure> silos = figures.read();
    QCOMPARE(silos.size(), 1);
    QCOMPARE(silos.at(0).usado.toDouble(), 10.0);
}

void tst_SiloTotals::withoutTotalsTableSumsRows()
{
    TestDb db;
    insert(db.data(), 28.45, "0001");
    insert(db.data(), 30.1, "0001");
    db.data().execute(QStringLiteral("drop table mv_molvera_silo_total"));
    SiloFigures figures(db.data());
    const QVector<SiloFigure> silos = figures.read();
    QVERIFY(!figures.usingKeptTotals());
    QCOMPARE(silos.size(), 6);
    QCOMPARE(qRound64(silos.at(0).usado.toDouble() * 1000), 58550);
    QVERIFY(silos.at(1).usado.isNull());
}

void tst_SiloTotals::totalsAddedToWorkingDatabase()
{
    // A database with its history and no totals yet: the totals section of
    // the schema takes the rows already there and keeps them from then on.
    QString srcDir = qEnvironmentVariable("MOLVERA_SOURCE_DIR");
    if (srcDir.isEmpty()) srcDir = QStringLiteral(SILOS_SOURCE_DIR);
    QFile file(srcDir + QStringLiteral("/db/sqlite.sql"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QString schema = QString::fromUtf8(file.readAll());
    // The section: the totals table, its triggers and the statement that
    // takes in the rows already there.
    const QString last = QStringLiteral("GROUP BY silodestino;");
    const qsizetype from = schema.indexOf(QStringLiteral("CREATE TABLE mv_molvera_silo_total"));
    const qsizetype end = schema.indexOf(last, from);
    QVERIFY(from > 0 && end > from);
    const qsizetype to = end + last.size();

    TestDb db;
    DataService& data = db.data();
    for (const char* t : {"tr_mv_molvera_total_insert", "tr_mv_molvera_total_delete",
                          "tr_mv_molvera_total_update_old", "tr_mv_molvera_total_update_new"})
        data.execute(QStringLiteral("drop trigger %1").arg(QLatin1String(t)));
    data.execute(QStringLiteral("drop table mv_molvera_silo_total"));
    insert(data, 28.45, "0001");
    insert(data, 30.1, "0001");
    insert(data, QVariant(), "0002");
    insert(data, 12.0, "0003");
    data.executeScript(schema.mid(from, to - from));
    verify(db);
    insert(data, 1.5, "0002");
    data.execute(QStringLiteral("delete from v_mv_molvera where Toneladas = 12"));
    verify(db);
}

void tst_SiloTotals::largeTotalsDoNotOverflow()
{
    // A busy silo over the years: 3,000,000 tonnes, past 2^31 kilograms and 2^32 grams.
    TestDb db;
    for (int i = 0; i < 3; ++i)
        insert(db.data(), 1000000.0, "0001");
    QCOMPARE(db.scalar("select gramos from mv_molvera_silo_total where silodestino = '0001'")
                 .toLongLong(),
             Q_INT64_C(3000000000000));
    SiloFigures figures(db.data());
    QCOMPARE(figures.read().at(0).usado.toDouble(), 3000000.0);
}

QTEST_GUILESS_MAIN(tst_SiloTotals)
#include "tst_silototals.moc"
