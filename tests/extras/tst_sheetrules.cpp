// Values the sheet's own rules refuse, written by another program (minus
// infinity, NaN, -5 t, 75 % humidity, a silo that does not exist): the desk
// shows each as it is, marks it red with a tooltip that says why, and the
// day's totals leave it out and say so, on a sheet loaded and on one
// brought up to date by the live check.
#include "ExtrasFixture.h"

#include "DayTotals.h"
#include "LiveSheet.h"
#include "QualityDelegate.h"
#include "SheetRules.h"

#include <QHelpEvent>
#include <QToolTip>
#include <limits>

class TstSheetRules : public QObject
{
    Q_OBJECT
private slots:
    void refusedValuesAreShownMarkedAndLeftOut()
    {
        ExtrasFixture f;
        f.w->live().setInterval(100);
        auto other = f.db.secondConnection(QStringLiteral("otro"));
        const QDate d = ExtrasFixture::dia();
        const qint64 ok =
            f.addRow(*other, d, {{"Toneladas", 20.0}, {"silodestino", "0001"}, {"humedad", 13.0}});
        // (On PostgreSQL the kept silo sums refuse a tonnage or a humidity
        // that is no number: the dry gluten, which no sum keeps, takes it.)
        const qint64 inf = f.addRow(*other, d, {{"Toneladas", 8.0}, {"silodestino", "0001"}});
        other->execute("UPDATE mv_molvera SET seco = ? WHERE ID = ?",
                       {-std::numeric_limits<double>::infinity(), inf});
        const qint64 neg = f.addRow(*other, d, {{"Toneladas", -5.0}, {"silodestino", "0001"}});
        const qint64 ghost = f.addRow(*other, d, {{"Toneladas", 12.5}, {"silodestino", "9999"}});
        const qint64 wet = f.addRow(*other, d, {{"Toneladas", 10.0}, {"silodestino", "0002"}});
        other->execute("UPDATE mv_molvera SET humedad = ? WHERE ID = ?", {75.0, wet});
        QVERIFY(f.loadDay());
        FlexGrid* g = f.grid();
        const int tn = DailySheet::columnaDe("Toneladas");
        const int seco = DailySheet::columnaDe("seco");
        const int humedo = DailySheet::columnaDe("humedo");
        const int hum = DailySheet::columnaDe("humedad");
        const int silo = DailySheet::columnaDe("silodestino");

        // As they are.
        QCOMPARE(g->TextMatrix(f.rowOf(inf), seco), QStringLiteral("-∞"));
        QCOMPARE(g->TextMatrix(f.rowOf(neg), tn), QStringLiteral("-5"));
        QCOMPARE(g->TextMatrix(f.rowOf(ghost), silo), QStringLiteral("9999"));
        QCOMPARE(g->TextMatrix(f.rowOf(wet), hum), QStringLiteral("75"));

        // Marked: drawn red, and the tooltip says why.
        auto marked = [&](qint64 id, int col) {
            const QModelIndex i = g->model()->index(f.rowOf(id) - FlexGrid::FixedRows, col);
            g->scrollTo(i);
            const QRect r = g->visualRect(i);
            const QImage img = g->viewport()->grab().toImage();
            const bool red =
                img.pixelColor(r.right() - 2, r.center().y()) == QualityDelegate::refused();
            QHelpEvent tip(QEvent::ToolTip, r.center(), g->viewport()->mapToGlobal(r.center()));
            QApplication::sendEvent(g->viewport(), &tip);
            const QString text = QToolTip::text();
            QToolTip::hideText();
            return red && text.contains(QStringLiteral("no se cuenta en los totales"));
        };
        g->setRowCol(f.rowOf(ok), 2); // the cursor elsewhere
        QVERIFY(marked(inf, seco));
        QVERIFY(!marked(inf, tn));
        QVERIFY(marked(neg, tn));
        QVERIFY(marked(ghost, silo));
        QVERIFY(marked(wet, hum));
        QVERIFY(!marked(ok, tn));
        QVERIFY(!marked(ok, silo));
        QVERIFY(!marked(ghost, tn)); // its tonnes are fine

        // The totals: only what the rules take, and they say what they left out.
        const DayTotals::Figures& t = f.w->totals()->figures();
        QCOMPARE(t.camiones, 4); // 20, 8, 12.5 and 10 t
        QCOMPARE(t.toneladas, 50.5);
        QCOMPARE(t.porSilo.value("0001"), 28.0);
        QCOMPARE(t.porSilo.value("0002"), 10.0);
        QVERIFY(!t.porSilo.contains("9999"));
        QCOMPARE(t.noContados, 4);
        QVERIFY(t.humedadMedia && qAbs(*t.humedadMedia - 13.0) < 1e-9);
        QVERIFY2(f.w->totals()->text().contains("No contados: 4"),
                 qPrintable(f.w->totals()->text()));

        // Written while the sheet is open: brought in, marked, left out.
        other->execute("UPDATE mv_molvera SET humedo = ?, Toneladas = ? WHERE ID = ?",
                       {QStringLiteral("NaN"), -2.0, ok});
        QTRY_COMPARE_WITH_TIMEOUT(g->TextMatrix(f.rowOf(ok), humedo), QStringLiteral("NaN"), 3000);
        QVERIFY(marked(ok, humedo));
        QVERIFY(marked(ok, tn));
        QTRY_COMPARE_WITH_TIMEOUT(f.w->totals()->figures().noContados, 6, 2000);
        QCOMPARE(f.w->totals()->figures().toneladas, 30.5);
        QCOMPARE(f.w->totals()->figures().camiones, 3);
    }
};

QTEST_MAIN(TstSheetRules)
#include "tst_sheetrules.moc"
