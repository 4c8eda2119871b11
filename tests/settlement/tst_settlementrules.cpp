// The shrink, net kilograms and grade of a load at the edges of the plant's
// rules: the tolerance, the formula's rounding, a published table's first,
// missing and last rows, each grade's boundaries, 0 and 60 tonnes; and the
// CUIT's check digit.
#include "Cuit.h"
#include "GradeRule.h"
#include "LoadSettlement.h"
#include "MoistureShrink.h"
#include "SettlementRules.h"

#include <QtTest>

namespace
{

SettlementRules wheat()
{
    SettlementRules r; // the shipped 14.0 / 13.5 / 0.25
    r.version = 1;
    return r;
}

SettlementRules graded()
{
    SettlementRules r = wheat();
    r.grados = {{1, 7900, 1400, 30000, std::nullopt},
                {2, 7600, std::nullopt, 25000, std::nullopt},
                {3, 7300, std::nullopt, std::nullopt, std::nullopt}};
    return r;
}

LoadSettlement::Result load(double t, double h, const SettlementRules& r, double ph = 0,
                            double fn = 0, double gh = 0)
{
    return LoadSettlement::of({t, h, ph, fn, gh}, r);
}

} // namespace

class TstSettlementRules : public QObject
{
    Q_OBJECT
private slots:
    // Wheat's rule around its tolerance, with the whole kilograms of 0, 30
    // and 60 tonnes: nothing at or below 14.0 %, the formula plus the
    // handling shrink above it.
    void moistureAroundTheTolerance_data()
    {
        QTest::addColumn<double>("toneladas");
        QTest::addColumn<double>("humedad");
        QTest::addColumn<QString>("merma");
        QTest::addColumn<qint64>("kilos");
        QTest::newRow("13.99 %, 30 t") << 30.0 << 13.99 << "0.00" << qint64(30000);
        QTest::newRow("14.0 %, 30 t") << 30.0 << 14.0 << "0.00" << qint64(30000);
        QTest::newRow("14.01 %, 30 t") << 30.0 << 14.01 << "0.84" << qint64(29748);
        QTest::newRow("14.05 %, 30 t") << 30.0 << 14.05 << "0.89" << qint64(29733);
        QTest::newRow("15.2 %, 30 t") << 30.0 << 15.2 << "2.22" << qint64(29334);
        QTest::newRow("14.05 %, 0 t") << 0.0 << 14.05 << "0.89" << qint64(0);
        QTest::newRow("13.99 %, 60 t") << 60.0 << 13.99 << "0.00" << qint64(60000);
        QTest::newRow("14.05 %, 60 t") << 60.0 << 14.05 << "0.89" << qint64(59466);
        QTest::newRow("25 %, 60 t") << 60.0 << 25.0 << "13.54" << qint64(51876);
        QTest::newRow("15.2 %, a gram") << 0.000001 << 15.2 << "2.22" << qint64(0);
    }
    void moistureAroundTheTolerance()
    {
        QFETCH(double, toneladas);
        QFETCH(double, humedad);
        QFETCH(QString, merma);
        QFETCH(qint64, kilos);
        const LoadSettlement::Result r = load(toneladas, humedad, wheat());
        QCOMPARE(r.mermaText(), merma);
        QCOMPARE(r.kilos, std::optional<qint64>(kilos));
        QCOMPARE(r.version, qint64(1));
        QVERIFY(r.why.isEmpty());
    }

    // Shrink and kilograms are rounded half up, never cut: a shrink of
    // exactly x.5 hundredths and a net of exactly half a kilogram go up.
    void roundingHalfUp()
    {
        SettlementRules r;
        r.toleranciaCent = 2000;
        r.baseCent = 2000;
        r.manipuleoCent = 0;
        QCOMPARE(MoistureShrink::of(2001, r).cents, std::optional<int>(1)); // 1.25
        QCOMPARE(MoistureShrink::of(2002, r).cents, std::optional<int>(3)); // 2.5
        QCOMPARE(LoadSettlement::netKilos(10000500, 0), qint64(10001));
        QCOMPARE(LoadSettlement::netKilos(10000499, 0), qint64(10000));
        QCOMPARE(LoadSettlement::netKilos(30000000, 222), qint64(29334));
        QCOMPARE(LoadSettlement::grams(17.123456), qint64(17123456));
    }

    // Without humidity there is no shrink and no net: said, not 0.
    void withoutHumidityNothingIsGuessed()
    {
        const LoadSettlement::Result r = load(30, 0, wheat());
        QVERIFY(!r.mermaCent);
        QVERIFY(!r.kilos);
        QVERIFY(r.why.contains(QStringLiteral("humedad")));
        // A blank row (no tonnes, no reading) is no load at all.
        const LoadSettlement::Result blank = load(0, 0, graded());
        QCOMPARE(blank.version, qint64(0));
        QVERIFY(blank.gradoValue().isNull() && blank.kg().isNull() && blank.merma().isNull());
    }

    // A published table rules: the humidity to the nearest tenth, its row
    // plus the handling shrink; a gap or a humidity beyond the last row is
    // said, never guessed.
    void publishedTableAtItsEdges_data()
    {
        QTest::addColumn<int>("humedad");
        QTest::addColumn<int>("merma"); // -1: none, said
        QTest::addColumn<QString>("why");
        QTest::newRow("at the tolerance") << 1400 << 0 << "";
        QTest::newRow("rounds to the tolerance") << 1404 << 0 << "";
        QTest::newRow("rounds to the first row") << 1405 << 140 << "";
        QTest::newRow("first row") << 1410 << 140 << "";
        QTest::newRow("a gap") << 1420 << -1 << "no tiene la fila";
        QTest::newRow("last row") << 1434 << 190 << "";
        QTest::newRow("beyond the last row") << 1435 << -1 << "más allá de la última fila";
        QTest::newRow("far beyond") << 3000 << -1 << "más allá de la última fila";
    }
    void publishedTableAtItsEdges()
    {
        QFETCH(int, humedad);
        QFETCH(int, merma);
        QFETCH(QString, why);
        SettlementRules r = wheat();
        r.tabla = {{141, 115}, {143, 165}};
        const MoistureShrink::Result m = MoistureShrink::of(humedad, r);
        QCOMPARE(m.cents, merma < 0 ? std::nullopt : std::optional<int>(merma));
        if (why.isEmpty())
            QVERIFY(m.why.isEmpty());
        else
            QVERIFY2(m.why.contains(why), qPrintable(m.why));
        if (merma < 0) QVERIFY(!load(30, humedad / 100.0, r).kilos);
    }

    // The best grade whose every limit is met, boundaries included; a grade
    // a known reading fails is passed over; a missing reading the first
    // possible grade needs leaves the load without a grade yet.
    void gradeBoundaries_data()
    {
        QTest::addColumn<double>("pesohect");
        QTest::addColumn<double>("humedad");
        QTest::addColumn<double>("falling");
        QTest::addColumn<QString>("grado");
        QTest::newRow("grade 1 at its limits") << 79.0 << 14.0 << 300.0 << "1";
        QTest::newRow("hectolitre just below 1") << 78.99 << 14.0 << 300.0 << "2";
        QTest::newRow("humidity just above 1") << 80.0 << 14.01 << 300.0 << "2";
        QTest::newRow("falling just below 1") << 80.0 << 13.0 << 299.99 << "2";
        QTest::newRow("grade 2 at its limits") << 76.0 << 15.0 << 250.0 << "2";
        QTest::newRow("falling below 2") << 76.0 << 15.0 << 249.0 << "3";
        QTest::newRow("grade 3 at its limit") << 73.0 << 15.0 << 100.0 << "3";
        QTest::newRow("below every grade") << 72.99 << 13.0 << 400.0 << "fuera de estándar";
        QTest::newRow("falling missing, grade 1 possible")
            << 80.0 << 13.0 << 0.0 << "sin grado aún";
        QTest::newRow("falling missing, grade 2 possible")
            << 77.0 << 13.0 << 0.0 << "sin grado aún";
        QTest::newRow("falling missing, only 3 possible") << 74.0 << 13.0 << 0.0 << "3";
        QTest::newRow("hectolitre missing") << 0.0 << 13.0 << 400.0 << "sin grado aún";
    }
    void gradeBoundaries()
    {
        QFETCH(double, pesohect);
        QFETCH(double, humedad);
        QFETCH(double, falling);
        QFETCH(QString, grado);
        const LoadSettlement::Result r = load(30, humedad, graded(), pesohect, falling);
        QCOMPARE(r.grado, grado);
        if (grado == QLatin1String(GradeRule::kPendiente))
            QVERIFY2(r.why.contains(pesohect > 0 ? QStringLiteral("falling number")
                                                 : QStringLiteral("peso hectolítrico")),
                     qPrintable(r.why));
    }

    // No grade entered by the plant: no grade at all. A grade whose limits
    // are all empty is met by every load; an empty limit does not count.
    void gradesAsThePlantEntersThem()
    {
        QCOMPARE(load(30, 13, wheat(), 80, 300).grado, QString());
        SettlementRules r = wheat();
        r.grados = {{1, std::nullopt, std::nullopt, std::nullopt, 2500}};
        QCOMPARE(load(30, 13, r, 70, 0, 25).grado, QStringLiteral("1"));
        QCOMPARE(load(30, 13, r, 70, 0, 24.99).grado, QStringLiteral("fuera de estándar"));
        QCOMPARE(load(30, 13, r, 70, 0, 0).grado, QStringLiteral("sin grado aún"));
        r.grados = {{2, std::nullopt, std::nullopt, std::nullopt, std::nullopt}};
        QCOMPARE(load(30, 13, r).grado, QStringLiteral("2"));
    }

    // Two results are the same settlement only with the same version too.
    void keptValuesCompareWithTheirVersion()
    {
        const LoadSettlement::Result r = load(30, 15.2, graded(), 80, 320);
        const LoadSettlement::Result k =
            LoadSettlement::kept(r.merma(), r.kg(), r.gradoValue(), r.versionValue());
        QVERIFY(k == r);
        SettlementRules otra = graded();
        otra.version = 2;
        QVERIFY(!(load(30, 15.2, otra, 80, 320) == k));
    }

    void cuitCheckDigit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("digits");
        QTest::addColumn<QString>("why");
        QTest::newRow("with dashes") << "20-12345678-6"
                                     << "20123456786"
                                     << "";
        QTest::newRow("plain") << "30712345671"
                               << "30712345671"
                               << "";
        QTest::newRow("check digit 0") << "20-00000006-0"
                                       << "20000000060"
                                       << "";
        QTest::newRow("no check digit possible") << "20-00000001-0"
                                                 << ""
                                                 << "no admiten";
        QTest::newRow("wrong check digit") << "20-12345678-0"
                                           << ""
                                           << "debería ser 6";
        QTest::newRow("ten digits") << "2012345678"
                                    << ""
                                    << "tiene 10 cifras";
        QTest::newRow("a letter") << "20-1234567A-6"
                                  << ""
                                  << "lleva «A»";
    }
    void cuitCheckDigit()
    {
        QFETCH(QString, text);
        QFETCH(QString, digits);
        QFETCH(QString, why);
        QString reason;
        QCOMPARE(Cuit::check(text, &reason), digits);
        if (why.isEmpty()) {
            QVERIFY(reason.isEmpty());
            QCOMPARE(Cuit::format(digits).remove(u'-'), digits);
        } else {
            QVERIFY2(reason.contains(why) && reason.contains(text), qPrintable(reason));
        }
    }
};

QTEST_APPLESS_MAIN(TstSettlementRules)
#include "tst_settlementrules.moc"
