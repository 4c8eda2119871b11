// The plant's rules in the database: shipped with wheat's values and no
// grade, every change raising their version; a date range recomputed after a
// change of the rules, each row in one write with its history, the rows
// outside the range and a second run left alone. Labelled db: also on
// PostgreSQL.
#include "DataService.h"
#include "LoadSettlement.h"
#include "RangeRecompute.h"
#include "RulesStore.h"
#include "ServiceError.h"
#include "TestDb.h"

#include <QtTest>

namespace
{

qint64 addLoad(DataService& d, const QDate& day, double t, double h, double ph = 0)
{
    return d.insertReturningId(QStringLiteral("v_mv_molvera"),
                               {"Fecha", "Toneladas", "humedad", "pesohect", "vendedor"},
                               {QDateTime(day, QTime(9, 0)), t, h, ph, QStringLiteral("PEREZ")});
}

} // namespace

class TstSettlementStore : public QObject
{
    Q_OBJECT
private slots:
    void shippedRulesAndTheirVersion()
    {
        TestDb db;
        RulesStore store(db.data());
        QVERIFY(store.available());
        SettlementRules r = store.read();
        QCOMPARE(r.toleranciaCent, 1400);
        QCOMPARE(r.baseCent, 1350);
        QCOMPARE(r.manipuleoCent, 25);
        QVERIFY(r.tabla.isEmpty());
        QVERIFY(r.grados.isEmpty());
        const qint64 v1 = store.version();
        QCOMPARE(v1, r.version);

        // The same values written again are no new version.
        db.data().execute(QStringLiteral("UPDATE ta_liquidacion SET tolerancia = 14.0"));
        QCOMPARE(store.version(), v1);
        db.data().execute(QStringLiteral("UPDATE ta_liquidacion SET tolerancia = 14.5"));
        const qint64 v2 = store.version();
        QVERIFY(v2 > v1);
        db.data().execute(QStringLiteral("INSERT INTO ta_merma_tabla (humedad, merma) VALUES "
                                         "(14.6, 1.15), (14.7, 1.30)"));
        const qint64 v3 = store.version();
        QVERIFY(v3 > v2);
        db.data().execute(QStringLiteral("INSERT INTO ta_grado (grado, pesohect_min, "
                                         "fallingnumber_min) VALUES (1, 79, 300), (2, 76, NULL)"));
        const qint64 v4 = store.version();
        QVERIFY(v4 > v3);
        db.data().execute(QStringLiteral("DELETE FROM ta_merma_tabla WHERE humedad > 14.65"));
        QVERIFY(store.version() > v4);

        r = store.read();
        QCOMPARE(r.toleranciaCent, 1450);
        QCOMPARE(r.tabla, (QMap<int, int>{{146, 115}}));
        QCOMPARE(r.grados.size(), 2);
        QCOMPARE(r.grados.at(0).pesohectMin, std::optional<int>(7900));
        QCOMPARE(r.grados.at(0).fallingMin, std::optional<int>(30000));
        QVERIFY(!r.grados.at(1).fallingMin && !r.grados.at(0).humedadMax);
        QCOMPARE(r.version, store.version());
        // A grade outside 1 to 3 is refused by the database.
        QVERIFY_THROWS_EXCEPTION(ServiceError,
                                 db.data().execute(QStringLiteral(
                                     "INSERT INTO ta_grado (grado, pesohect_min) VALUES (4, 70)")));
    }

    void aRangeIsRecomputedOnce()
    {
        TestDb db;
        DataService& d = db.data();
        const QDate lunes(2024, 3, 11), martes(2024, 3, 12), miercoles(2024, 3, 13);
        const qint64 a = addLoad(d, lunes, 30, 15.2, 80);
        const qint64 b = addLoad(d, martes, 28.5, 13.8, 75);
        const qint64 fuera = addLoad(d, miercoles, 20, 16);
        RulesStore store(d);
        SettlementRules r = store.read();
        RangeRecompute::Outcome o = RangeRecompute(d, r, QStringLiteral("JEFE")).run(lunes, martes);
        QCOMPARE(o.loads, 2);
        QCOMPARE(o.changed, 2);
        QCOMPARE(o.values, 2);
        QVERIFY2(o.text(lunes, martes).contains(QStringLiteral("2 cargas")),
                 qPrintable(o.text(lunes, martes)));
        QCOMPARE(db.scalar("SELECT kg_netos FROM mv_molvera WHERE ID = ?", {a}).toLongLong(),
                 qint64(29334));
        QCOMPARE(db.scalar("SELECT merma FROM mv_molvera WHERE ID = ?", {a}).toDouble(), 2.22);
        QCOMPARE(db.scalar("SELECT kg_netos FROM mv_molvera WHERE ID = ?", {b}).toLongLong(),
                 qint64(28500));
        QVERIFY(db.scalar("SELECT kg_netos FROM mv_molvera WHERE ID = ?", {fuera}).isNull());
        QCOMPARE(db.scalar("SELECT reglas_version FROM mv_molvera WHERE ID = ?", {a}).toLongLong(),
                 r.version);
        QCOMPARE(db.scalar("SELECT usuario FROM mv_molvera_historial WHERE id_registro = ? AND "
                           "campo = 'kg_netos'",
                           {a})
                     .toString(),
                 QStringLiteral("JEFE"));
        QCOMPARE(db.scalar("SELECT valor_nuevo FROM mv_molvera_historial WHERE id_registro = ? "
                           "AND campo = 'merma'",
                           {a})
                     .toDouble(),
                 2.22);

        // Again with the same rules: nothing to write.
        const int historia = db.scalar("SELECT COUNT(*) FROM mv_molvera_historial").toInt();
        o = RangeRecompute(d, r, QStringLiteral("JEFE")).run(lunes, martes);
        QCOMPARE(o.changed, 0);
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM mv_molvera_historial").toInt(), historia);

        // Grades entered: both loads get theirs, under the new version.
        d.execute(QStringLiteral("INSERT INTO ta_grado (grado, pesohect_min) VALUES (1, 79), "
                                 "(2, 76)"));
        r = store.read();
        o = RangeRecompute(d, r, QStringLiteral("JEFE")).run(lunes, martes);
        QCOMPARE(o.changed, 2);
        QCOMPARE(db.scalar("SELECT grado FROM mv_molvera WHERE ID = ?", {a}).toString(),
                 QStringLiteral("1"));
        QCOMPARE(db.scalar("SELECT grado FROM mv_molvera WHERE ID = ?", {b}).toString(),
                 QStringLiteral("fuera de estándar"));
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM mv_molvera WHERE reglas_version = ?", {r.version})
                     .toInt(),
                 2);
        // The kept net equals the rule's for every load of the range.
        const qint64 suma = db.scalar("SELECT SUM(kg_netos) FROM mv_molvera").toLongLong();
        QCOMPARE(suma, LoadSettlement::of({30, 15.2, 80, 0, 0}, r).kilos.value() +
                           LoadSettlement::of({28.5, 13.8, 75, 0, 0}, r).kilos.value());
    }

    // What a recomputation says, its counts with the locale's thousands
    // separator.
    void theOutcomeCountsAsTheLocaleWrites()
    {
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
        RangeRecompute::Outcome o;
        o.loads = 3134;
        o.changed = 2000;
        o.values = 1500;
        o.meanwhile = 1;
        o.version = 4;
        const QString t = o.text(QDate(2024, 3, 1), QDate(2024, 3, 31));
        QLocale::setDefault(QLocale::c());
        QVERIFY2(t.startsWith(QStringLiteral("Se recalcularon 3.134 cargas del ")), qPrintable(t));
        QVERIFY2(t.contains(QStringLiteral("versión 4: 1.500 con otra merma")), qPrintable(t));
        QVERIFY2(t.contains(QStringLiteral(", 500 solo con la versión nueva y 1.133 sin cambios")),
                 qPrintable(t));
    }
};

QTEST_GUILESS_MAIN(TstSettlementStore)
#include "tst_settlementstore.moc"
