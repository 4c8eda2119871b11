// The day's totals below the sheet: always in view, read again after every
// accepted edit, in the locale's number format, and equal to the sums the
// database computes.
#include "ExtrasFixture.h"

#include "DayTotals.h"
#include "LiveSheet.h"
#include "SheetCommands.h"

#include <QLabel>
#include <QTabWidget>

namespace
{

QVariantList dayParams(const QDate& d)
{
    return {QDateTime(d, QTime(0, 0)), QDateTime(d.addDays(1), QTime(0, 0))};
}

} // namespace

class TstDayTotals : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void totalsMatchTheDatabase()
    {
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
        ExtrasFixture f;
        QVERIFY(f.loadDay());
        // Two rows typed in, one added with Nuevo, one from another desk, one
        // on another day.
        QVERIFY(f.typeInto(2, 1, "28,25"));
        QVERIFY(f.typeInto(2, 9, "13,5"));
        QVERIFY(f.typeInto(2, 10, "78"));
        QVERIFY(f.typeInto(2, 11, "1"));
        QVERIFY(f.typeInto(3, 1, "30"));
        QVERIFY(f.typeInto(3, 9, "15"));    // beyond 14.5
        QVERIFY(f.typeInto(3, 10, "75,5")); // below 76: the same load
        QVERIFY(f.typeInto(3, 11, "3"));
        const qint64 nuevo = f.w->commands().Nuevo();
        QTest::keyClick(f.editor(), Qt::Key_Escape);
        QVERIFY(f.typeInto(f.rowOf(nuevo), 1, "12,12"));
        QVERIFY(f.typeInto(f.rowOf(nuevo), 9, "0")); // not measured
        QVERIFY(f.typeInto(f.rowOf(nuevo), 11, "1"));
        QVERIFY(f.typeInto(f.rowOf(nuevo), 8, "200")); // falling number below 250
        auto second = f.db.secondConnection();
        f.addRow(
            *second, ExtrasFixture::dia(),
            {{"Toneladas", 10.0}, {"humedad", 12.0}, {"pesohect", 80.0}, {"silodestino", "0003"}});
        f.addRow(*second, ExtrasFixture::dia().addDays(1),
                 {{"Toneladas", 99.0}, {"humedad", 30.0}, {"silodestino", "0001"}});
        f.w->live().check();
        QCoreApplication::processEvents();

        const DayTotals::Figures& t = f.w->totals()->figures();
        const QVariantList day = dayParams(ExtrasFixture::dia());
        const QString where = " FROM mv_molvera WHERE Fecha >= ? AND Fecha < ?";
        QCOMPARE(t.camiones,
                 f.db.scalar("SELECT COUNT(*)" + where + " AND Toneladas > 0", day).toInt());
        QCOMPARE(t.camiones, 4);
        const double sum = f.db.scalar("SELECT SUM(Toneladas)" + where, day).toDouble();
        QVERIFY(qAbs(t.toneladas - sum) < 1e-9);
        QVERIFY(qAbs(sum - 80.37) < 1e-9);
        const double hum = f.db.scalar("SELECT SUM(Toneladas * humedad) / SUM(Toneladas)" + where +
                                           " AND Toneladas > 0 AND humedad > 0",
                                       day)
                               .toDouble();
        QVERIFY(t.humedadMedia && qAbs(*t.humedadMedia - hum) < 1e-9);
        const double peso = f.db.scalar("SELECT SUM(Toneladas * pesohect) / SUM(Toneladas)" +
                                            where + " AND Toneladas > 0 AND pesohect > 0",
                                        day)
                                .toDouble();
        QVERIFY(t.pesoHectMedio && qAbs(*t.pesoHectMedio - peso) < 1e-9);
        RecordSet silos = f.db.data().openRecordSet(
            "SELECT silodestino, SUM(Toneladas)" + where +
                " AND Toneladas > 0 GROUP BY silodestino ORDER BY silodestino",
            day);
        QCOMPARE(t.porSilo.size(), silos.recordCount());
        for (const auto& row : silos.rows())
            QVERIFY(qAbs(t.porSilo.value(row.at(0).toString()) - row.at(1).toDouble()) < 1e-9);
        // The loads beyond the seeded limits, counted by the database.
        QCOMPARE(t.fueraDeLimite,
                 f.db.scalar("SELECT COUNT(*)" + where +
                                 " AND (humedad > 14.5 OR (pesohect > 0 AND pesohect < 76) OR "
                                 "(fallingnumber > 0 AND fallingnumber < 250) OR "
                                 "(humedo > 0 AND humedo < 25))",
                             day)
                     .toInt());
        QCOMPARE(t.fueraDeLimite, 2);

        // Written in the locale's format.
        const QString text = f.w->totals()->text();
        QVERIFY2(text.contains("Camiones: 4"), qPrintable(text));
        QVERIFY2(text.contains("Toneladas: 80,37"), qPrintable(text));
        QVERIFY2(text.contains(QLocale().toString(hum, 'f', 2) + " %"), qPrintable(text));
        QVERIFY2(text.contains(QLocale().toString(peso, 'f', 2) + " kg/hl"), qPrintable(text));
        QVERIFY2(text.contains("0001: 40,37 t") && text.contains("0003: 40,00 t"),
                 qPrintable(text));
        QVERIFY2(text.contains("Fuera de límite: 2"), qPrintable(text));
    }

    // The band rounds (15.995 is held as 15.99499…) and shows the tonnes to
    // the finest precision a cell shows, never fewer than two decimals.
    void roundedToThePrecisionOfTheCells()
    {
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
        QCOMPARE(DayTotals::number(15.995, 2), QStringLiteral("16,00"));
        QCOMPARE(DayTotals::number(15.995, 3), QStringLiteral("15,995"));
        QCOMPARE(DayTotals::number(2.675, 2), QStringLiteral("2,68"));
        QCOMPARE(DayTotals::number(-2.675, 2), QStringLiteral("-2,68"));
        QCOMPARE(DayTotals::number(12.344999, 2), QStringLiteral("12,34"));
        QCOMPARE(DayTotals::number(-0.001, 2), QStringLiteral("0,00"));
        QCOMPARE(DayTotals::number(1234567.5, 0), QLocale().toString(1234568.0, 'f', 0));
        ExtrasFixture f;
        QVERIFY(f.loadDay());
        QVERIFY(f.typeInto(2, 1, "15,995"));
        QVERIFY(f.typeInto(2, 11, "1"));
        QString text = f.w->totals()->text();
        QVERIFY2(text.contains("Toneladas: 15,995") && text.contains("0001: 15,995 t"),
                 qPrintable(text));
        QVERIFY(f.typeInto(3, 1, "0,005"));
        QVERIFY(f.typeInto(3, 11, "1"));
        text = f.w->totals()->text();
        QVERIFY2(text.contains("Toneladas: 16,000") && text.contains("0001: 16,000 t"),
                 qPrintable(text));
        QVERIFY(f.typeInto(3, 1, "0,1234"));
        text = f.w->totals()->text();
        QVERIFY2(text.contains("Toneladas: 16,1184"), qPrintable(text));
        QVERIFY(f.typeInto(3, 1, "2"));
        QVERIFY(f.typeInto(2, 1, "15"));
        text = f.w->totals()->text();
        QVERIFY2(text.contains("Toneladas: 17,00"), qPrintable(text));
    }

    void readAgainAfterEveryAcceptedEdit()
    {
        ExtrasFixture f;
        QVERIFY(f.loadDay());
        QCOMPARE(f.w->totals()->figures().camiones, 0);
        QVERIFY(f.typeInto(2, 1, "20"));
        QCOMPARE(f.w->totals()->figures().camiones, 1);
        QCOMPARE(f.w->totals()->figures().toneladas, 20.0);
        QVERIFY(f.typeInto(3, 1, "5.5"));
        QCOMPARE(f.w->totals()->figures().toneladas, 25.5);
        QVERIFY(f.typeInto(3, 9, "16"));
        QCOMPARE(f.w->totals()->figures().fueraDeLimite, 1);
        // A refused value changes nothing.
        QVERIFY(!f.typeInto(2, 1, "75"));
        QTest::keyClick(f.editor(), Qt::Key_Escape);
        QCoreApplication::processEvents();
        QCOMPARE(f.w->totals()->figures().toneladas, 25.5);
        // A deleted row leaves the totals.
        f.grid()->setRowCol(2, 1);
        f.dialogs.messageAnswers << Dialogs::Yes;
        QCOMPARE(f.w->commands().Borrar(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(f.w->totals()->figures().toneladas, 5.5);
        const auto media = f.w->totals()->figures().humedadMedia;
        QVERIFY(media && qAbs(*media - 16) < 1e-9);
    }

    // The rows kept as numbers follow every kind of change of the sheet: they
    // count the same as the sheet taken again from scratch and as the
    // database.
    void keptRowsFollowEveryKindOfChange()
    {
        ExtrasFixture f;
        QVERIFY(f.loadDay());
        QVERIFY(f.typeInto(2, 1, "20"));
        QVERIFY(f.typeInto(2, 11, "1"));
        QVERIFY(f.typeInto(3, 1, "7.25"));
        QVERIFY(f.typeInto(3, 9, "13"));
        for (const char* t : {"3", "11.5", "4"}) {
            const qint64 id = f.w->commands().Nuevo();
            QVERIFY(id > 0);
            f.w->editor().cancelarEdicion();
            QVERIFY(f.typeInto(f.rowOf(id), 1, t));
            QVERIFY(f.typeInto(f.rowOf(id), 11, "2"));
        }
        QVERIFY(f.typeInto(4, 9, "16")); // beyond the limit
        // (Counting from scratch also takes every row again: compared only
        // after a change was followed.)
        auto keptAsFresh = [&] {
            const DayTotals::Figures kept = f.w->totals()->figures();
            f.w->totals()->refresh();
            const DayTotals::Figures& fresh = f.w->totals()->figures();
            QCOMPARE(kept.camiones, fresh.camiones);
            QCOMPARE(kept.toneladas, fresh.toneladas);
            QCOMPARE(kept.porSilo, fresh.porSilo);
            QCOMPARE(kept.fueraDeLimite, fresh.fueraDeLimite);
            QCOMPARE(kept.humedadMedia, fresh.humedadMedia);
        };
        keptAsFresh();
        if (QTest::currentTestFailed()) return;
        // Rows sorted in the grid (the silo column first, so that every row
        // moves), then one deleted.
        FlexGrid* g = f.grid();
        g->sortRows(FlexGrid::FixedRows, g->Rows() - 1, {11, 1});
        QCoreApplication::processEvents();
        // One row edited after the sort: the row it now is counts.
        QVERIFY(f.typeInto(FlexGrid::FixedRows + 1, 1, "9"));
        keptAsFresh();
        if (QTest::currentTestFailed()) return;
        g->setRowCol(FlexGrid::FixedRows + 2, 1);
        f.dialogs.messageAnswers << Dialogs::Yes;
        QCOMPARE(f.w->commands().Borrar(), 1);
        QCoreApplication::processEvents();
        keptAsFresh();
        if (QTest::currentTestFailed()) return;

        const DayTotals::Figures kept = f.w->totals()->figures();
        const QVariantList day = dayParams(ExtrasFixture::dia());
        const QString where = " FROM mv_molvera WHERE Fecha >= ? AND Fecha < ?";
        QCOMPARE(kept.camiones,
                 f.db.scalar("SELECT COUNT(*)" + where + " AND Toneladas > 0", day).toInt());
        QVERIFY(qAbs(kept.toneladas -
                     f.db.scalar("SELECT SUM(Toneladas)" + where, day).toDouble()) < 1e-9);
        QCOMPARE(kept.camiones, 4); // five loads, one deleted
        RecordSet silos =
            f.db.data().openRecordSet("SELECT coalesce(silodestino, ''), SUM(Toneladas)" + where +
                                          " AND Toneladas > 0 GROUP BY coalesce(silodestino, '')",
                                      day);
        QCOMPARE(kept.porSilo.size(), silos.recordCount());
        for (const auto& row : silos.rows())
            QVERIFY(qAbs(kept.porSilo.value(row.at(0).toString().trimmed()) -
                         row.at(1).toDouble()) < 1e-9);
    }

    void alwaysInViewBelowTheGrid()
    {
        ExtrasFixture f;
        QVERIFY(f.loadDay());
        for (const QSize& s : {QSize(1100, 640), QSize(900, 500), QSize(1300, 800)}) {
            f.w->resize(s);
            QCoreApplication::processEvents();
            DayTotals* t = f.w->totals();
            QVERIFY(t->isVisible());
            QVERIFY(t->geometry().top() >= f.grid()->geometry().bottom());
            QVERIFY(t->geometry().bottom() <= t->parentWidget()->height());
            QCOMPARE(t->width(), f.grid()->width());
            QVERIFY(f.grid()->height() > 100);
        }
        // Without a sheet the band says so.
        f.w->Reiniciar();
        QCoreApplication::processEvents();
        QVERIFY(f.w->totals()->text().startsWith("Sin planilla cargada."));
        QCOMPARE(f.w->totals()->figures().camiones, 0);
    }
    // Fifty silos on one day: the band's silo line goes on to more lines,
    // each silo whole on one of them, all in view below the grid.
    void fiftySilosWrapInTheBand()
    {
        ExtrasFixture f;
        DataService& d = f.db.data();
        for (int i = 1; i <= 50; ++i) {
            const QString silo = QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0'));
            if (i > 6)
                d.execute("INSERT INTO v_ta_deposito (iddeposito, descripcion, capacidad) "
                          "VALUES (?, ?, 1000)",
                          {silo, QStringLiteral("Silo %1").arg(i)});
            f.addRow(d, ExtrasFixture::dia(), {{"Toneladas", 10.5 + i * 0.25}, {"silodestino", silo}});
        }
        QVERIFY(f.loadDay());
        f.w->resize(1100, 640);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        DayTotals* t = f.w->totals();
        auto* line = t->findChild<QLabel*>(QStringLiteral("lblTotalesSilo"));
        QVERIFY(line);
        const QStringList lines = line->text().split(u'\n');
        QVERIFY(lines.size() > 1);
        for (const QString& l : lines)
            QVERIFY2(line->fontMetrics().horizontalAdvance(l) <= line->width(), qPrintable(l));
        QVERIFY(line->height() >= int(lines.size()) * line->fontMetrics().height());
        QVERIFY(line->geometry().bottom() <= t->contentsRect().bottom());
        for (int i = 1; i <= 50; ++i) {
            const QString e = QStringLiteral("%1: %2 t")
                                  .arg(i, 4, 10, QLatin1Char('0'))
                                  .arg(DayTotals::number(10.5 + i * 0.25, 2));
            bool whole = false;
            for (const QString& l : lines)
                whole = whole || l.contains(e);
            QVERIFY2(whole, qPrintable(e));
        }
        QVERIFY(t->geometry().top() >= f.grid()->geometry().bottom());
        QVERIFY(t->geometry().bottom() <= t->parentWidget()->height());
        QVERIFY(f.grid()->height() > 100);
    }
};

QTEST_MAIN(TstDayTotals)
#include "tst_daytotals.moc"
