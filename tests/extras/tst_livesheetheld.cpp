// Changes whose transactions stay open far longer than any wait of the live
// sheet (8 s and 60 s, one of them open before the desk read its sheet) while
// other desks keep committing: each is on the desk's screen within a second
// of its commit. A transaction undone leaves nothing to wait for.
#include "ExtrasFixture.h"

#include "LiveSheet.h"

#include <QElapsedTimer>

class TstLiveSheetHeld : public QObject
{
    Q_OBJECT
private slots:
    void heldTransactionsReachTheScreen()
    {
        ExtrasFixture f;
        if (!f.db.onServer()) QSKIP("the embedded database takes one writer at a time");
        QVERIFY(f.w->live().interval() <= 500); // the desk's own pace
        auto quick = f.db.secondConnection(QStringLiteral("quick"));
        auto slow8 = f.db.secondConnection(QStringLiteral("slow8"));
        auto slow60 = f.db.secondConnection(QStringLiteral("slow60"));
        auto undone = f.db.secondConnection(QStringLiteral("undone"));
        const qint64 a = f.addRow(*quick, ExtrasFixture::dia(), {{"vendedor", "A"}});
        const qint64 b = f.addRow(*quick, ExtrasFixture::dia(), {{"vendedor", "B"}});
        const qint64 c = f.addRow(*quick, ExtrasFixture::dia(), {{"vendedor", "C"}});
        const qint64 d = f.addRow(*quick, ExtrasFixture::dia(), {{"vendedor", "D"}});
        const QString update =
            QStringLiteral("UPDATE v_mv_molvera SET [%1] = ?, fecha_modificacion = ? WHERE ID = ?");
        auto set = [&](DataService& d, const char* col, const QVariant& v, qint64 id) {
            d.execute(update.arg(QLatin1String(col)), {v, QDateTime::currentDateTime(), id});
        };

        // Open before the desk reads its sheet, with many commits after its
        // record and before the read.
        QElapsedTimer held60;
        held60.start();
        QVERIFY(slow60->database().transaction());
        set(*slow60, "VENDEDOR", QStringLiteral("Sesenta"), c);
        int n = 0;
        for (; n < 300; ++n)
            set(*quick, "HUMEDAD", double(n % 30), b);
        QVERIFY(f.loadDay());
        QCOMPARE(f.grid()->TextMatrix(f.rowOf(c), 2), QStringLiteral("C"));

        // Open after the read; another one undone.
        QElapsedTimer held8;
        held8.start();
        QVERIFY(slow8->database().transaction());
        set(*slow8, "VENDEDOR", QStringLiteral("Ocho"), a);
        QVERIFY(undone->database().transaction());
        set(*undone, "OBSERVACIONES", QStringLiteral("Nunca"), d);

        // Other desks commit all the while; the desk follows them.
        auto commitsUntil = [&](const QElapsedTimer& t, qint64 ms) {
            while (t.elapsed() < ms) {
                set(*quick, "HUMEDAD", double(++n % 30), b);
                QTest::qWait(150);
            }
        };
        commitsUntil(held8, 4000);
        QVERIFY(undone->database().rollback());
        commitsUntil(held8, 8000);
        QTRY_COMPARE_WITH_TIMEOUT(f.grid()->TextMatrix(f.rowOf(b), 9), QString::number(n % 30),
                                  1000);
        QCOMPARE(f.grid()->TextMatrix(f.rowOf(a), 2), QStringLiteral("A"));

        QVERIFY(slow8->database().commit());
        QElapsedTimer shown;
        shown.start();
        QTRY_COMPARE_WITH_TIMEOUT(f.grid()->TextMatrix(f.rowOf(a), 2), QStringLiteral("Ocho"),
                                  1000);
        qInfo("held 8 s: on the screen %lld ms after its commit", shown.elapsed());

        commitsUntil(held60, 60000);
        QCOMPARE(f.grid()->TextMatrix(f.rowOf(c), 2), QStringLiteral("C"));
        QVERIFY(slow60->database().commit());
        shown.restart();
        QTRY_COMPARE_WITH_TIMEOUT(f.grid()->TextMatrix(f.rowOf(c), 2), QStringLiteral("Sesenta"),
                                  1000);
        qInfo("held 60 s: on the screen %lld ms after its commit", shown.elapsed());

        // What was undone never shows, and nothing is waited for any more.
        QTRY_COMPARE_WITH_TIMEOUT(f.w->live().openGaps(), 0, 2000);
        QCOMPARE(f.grid()->TextMatrix(f.rowOf(d), 12), QString());
        QCOMPARE(f.grid()->TextMatrix(f.rowOf(b), 9), QString::number(n % 30));
        QCOMPARE(f.column(b, "humedad").toDouble(), double(n % 30));
    }
};

QTEST_MAIN(TstLiveSheetHeld)
#include "tst_livesheetheld.moc"
