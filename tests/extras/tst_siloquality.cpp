// Silo quality: the average humidity, hectolitre weight and falling number of
// what each silo received, weighted by tonnes, kept by the database with every
// change of the intake rows and shown by the silo panel.
#include "DataService.h"
#include "SiloCaption.h"
#include "SiloFigures.h"
#include "SiloPanel.h"
#include "SiloQuality.h"
#include "TestDb.h"
#include "Twips.h"

#include <QLabel>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QtTest>

namespace
{

qint64 receive(DataService& d, const QVariant& tn, const QVariant& silo, const QVariant& hum,
               const QVariant& peso, const QVariant& falling)
{
    return d.insertReturningId(
        QStringLiteral("v_mv_molvera"),
        {"Fecha", "Toneladas", "silodestino", "humedad", "pesohect", "fallingnumber"},
        {QDateTime(QDate(2024, 3, 15), QTime(0, 0)), tn, silo, hum, peso, falling});
}

// The weighted averages computed by the database from the rows themselves.
QHash<QString, SiloQualityFigures> fromTheRows(TestDb& db)
{
    QHash<QString, SiloQualityFigures> out;
    RecordSet rs = db.data().openRecordSet(
        "SELECT silodestino, "
        "SUM(CASE WHEN humedad > 0 THEN Toneladas * humedad END) / "
        "SUM(CASE WHEN humedad > 0 THEN Toneladas END), "
        "SUM(CASE WHEN pesohect > 0 THEN Toneladas * pesohect END) / "
        "SUM(CASE WHEN pesohect > 0 THEN Toneladas END), "
        "SUM(CASE WHEN fallingnumber > 0 THEN Toneladas * fallingnumber END) / "
        "SUM(CASE WHEN fallingnumber > 0 THEN Toneladas END) "
        "FROM mv_molvera WHERE silodestino IS NOT NULL AND Toneladas > 0 GROUP BY silodestino");
    for (const auto& row : rs.rows()) {
        SiloQualityFigures q;
        if (!row.at(1).isNull()) q.humedad = row.at(1).toDouble();
        if (!row.at(2).isNull()) q.pesohect = row.at(2).toDouble();
        if (!row.at(3).isNull()) q.falling = row.at(3).toDouble();
        if (!q.isEmpty()) out.insert(row.at(0).toString(), q);
    }
    return out;
}

bool same(const std::optional<double>& a, const std::optional<double>& b)
{
    if (a.has_value() != b.has_value()) return false;
    return !a || qAbs(*a - *b) < 1e-9;
}

void compare(TestDb& db, SiloQuality& q)
{
    const auto kept = q.read();
    const auto rows = fromTheRows(db);
    QCOMPARE(kept.keys().size(), rows.keys().size());
    for (auto it = rows.cbegin(); it != rows.cend(); ++it) {
        QVERIFY2(kept.contains(it.key()), qPrintable(it.key()));
        const SiloQualityFigures& k = kept.value(it.key());
        QVERIFY2(same(k.humedad, it->humedad), qPrintable(it.key()));
        QVERIFY2(same(k.pesohect, it->pesohect), qPrintable(it.key()));
        QVERIFY2(same(k.falling, it->falling), qPrintable(it.key()));
    }
}

} // namespace

class TstSiloQuality : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void weightedByTonnes()
    {
        TestDb db;
        DataService& d = db.data();
        receive(d, 30.0, "0001", 13.0, 78.0, 300.0);
        receive(d, 10.0, "0001", 15.0, 74.0, QVariant());  // no falling number taken
        receive(d, 20.0, "0001", 0.0, QVariant(), 250.0);  // humidity 0: not taken
        receive(d, QVariant(), "0001", 40.0, 40.0, 600.0); // no tonnes: not counted
        receive(d, 5.0, "0002", QVariant(), QVariant(), QVariant());
        SiloQuality q(d);
        const auto all = q.read();
        QVERIFY(q.usingKeptSums());
        const SiloQualityFigures s1 = all.value("0001");
        QVERIFY(s1.humedad && qAbs(*s1.humedad - (30 * 13.0 + 10 * 15.0) / 40) < 1e-9);
        QVERIFY(s1.pesohect && qAbs(*s1.pesohect - (30 * 78.0 + 10 * 74.0) / 40) < 1e-9);
        QVERIFY(s1.falling && qAbs(*s1.falling - (30 * 300.0 + 20 * 250.0) / 50) < 1e-9);
        QVERIFY(!all.contains("0002")); // tonnes without readings
        compare(db, q);
    }

    // Every change through the intake view keeps the sums equal to the rows.
    void keptSumsFollowEveryChange()
    {
        TestDb db;
        DataService& d = db.data();
        SiloQuality q(d);
        QRandomGenerator rnd(20241215);
        const QStringList silos{"0001", "0002", "0003"};
        QList<qint64> ids;
        auto reading = [&](double lo, double hi) -> QVariant {
            const int k = rnd.bounded(6);
            if (k == 0) return QVariant();
            if (k == 1) return 0.0;
            return std::round((lo + (hi - lo) * rnd.generateDouble()) * 100) / 100;
        };
        for (int i = 0; i < 40; ++i)
            ids << receive(d, std::round(rnd.bounded(40.0) * 1000) / 1000, silos.at(rnd.bounded(3)),
                           reading(10, 18), reading(70, 82), reading(200, 450));
        compare(db, q);
        const char* columns[] = {"humedad", "pesohect", "fallingnumber", "Toneladas",
                                 "silodestino"};
        for (int i = 0; i < 60; ++i) {
            const qint64 id = ids.at(rnd.bounded(int(ids.size())));
            const int c = rnd.bounded(5);
            QVariant v = c == 4 ? QVariant(silos.at(rnd.bounded(3))) : reading(5, 60);
            if (c == 4 && rnd.bounded(5) == 0) v = QVariant(QMetaType(QMetaType::QString));
            d.execute(QStringLiteral("UPDATE v_mv_molvera SET %1 = ? WHERE ID = ?")
                          .arg(QLatin1String(columns[c])),
                      {v, id});
        }
        compare(db, q);
        for (int i = 0; i < 15; ++i)
            d.execute("DELETE FROM v_mv_molvera WHERE ID = ?",
                      {ids.takeAt(rnd.bounded(int(ids.size())))});
        compare(db, q);
    }

    void panelShowsTheQuality()
    {
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
        TestDb db;
        DataService& d = db.data();
        receive(d, 30.0, "0001", 13.0, 78.0, 300.0);
        receive(d, 10.0, "0001", 15.0, 74.0, 320.0);
        receive(d, 12.0, "0002", QVariant(), QVariant(), QVariant());
        QWidget window;
        window.resize(600, 300);
        auto* panel = new SiloPanel(d, &window);
        panel->setGeometry(Twips::toPx(60), 0, Twips::toPx(7545), Twips::toPx(2805));
        window.show();
        panel->MostrarDepositos(false);
        // Summary view: the tooltip carries the averages.
        const QString tip = panel->lblDeposito(0)->toolTip();
        QVERIFY2(tip.contains("Humedad media: 13,50 %"), qPrintable(tip));
        QVERIFY2(tip.contains("Peso hectolítrico medio: 77,00 kg/hl"), qPrintable(tip));
        QVERIFY2(tip.contains("Falling number medio: 305 s"), qPrintable(tip));
        QVERIFY2(tip.contains("Recibido: 40 Toneladas"), qPrintable(tip));
        // A silo without readings keeps its tooltip as it was.
        SiloFigures figures(d);
        const QVector<SiloFigure> all = figures.read();
        QCOMPARE(panel->lblDeposito(1)->toolTip(), SiloCaption::summaryToolTip(all.at(1)));
        // Detailed view: in the label, after the figures.
        panel->optHorizontal()->setChecked(true);
        QCOMPARE(panel->lblDeposito(0)->text(),
                 SiloCaption::detailed(all.at(0)) +
                     " · Humedad 13,50 % · Peso hect. 77,00 kg/hl · Falling number 305 s");
        QCOMPARE(panel->lblDeposito(1)->text(), SiloCaption::detailed(all.at(1)));
        QCOMPARE(panel->lblDeposito(2)->text(), SiloCaption::detailed(all.at(2)));
    }

    // A database made before the sums were kept: one grouped query, same
    // figures.
    void withoutTheKeptSums()
    {
        if (!TestDb::serverDsn().isEmpty()) QSKIP("the embedded database is changed here");
        TestDb db;
        DataService& d = db.data();
        for (const char* t :
             {"tr_mv_molvera_calidad_insert", "tr_mv_molvera_calidad_delete",
              "tr_mv_molvera_calidad_update_old", "tr_mv_molvera_calidad_update_new"})
            d.execute(QStringLiteral("DROP TRIGGER %1").arg(QLatin1String(t)));
        d.execute("DROP TABLE mv_molvera_silo_calidad");
        receive(d, 30.0, "0001", 13.0, 78.0, 300.0);
        receive(d, 10.0, "0001", 15.0, 0.0, 320.0);
        SiloQuality q(d);
        const auto all = q.read();
        QVERIFY(!q.usingKeptSums());
        QVERIFY(all.value("0001").humedad && qAbs(*all.value("0001").humedad - 13.5) < 1e-9);
        QVERIFY(all.value("0001").pesohect && qAbs(*all.value("0001").pesohect - 78) < 1e-9);
        compare(db, q);
    }
};

QTEST_MAIN(TstSiloQuality)
#include "tst_siloquality.moc"
