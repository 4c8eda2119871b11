// What each load of the sheet is worth, through the window: typing the
// tonnes and the humidity writes the shrink, net kilograms and grade in the
// same change (history, rules' version), Duplicar and another desk's changes
// too, the computed columns take no typing, the day totals add the net
// kilograms as the database does, and a range is recomputed after one
// confirmation. Labelled db: also on PostgreSQL.
#include "ExtrasFixture.h"

#include "ChangeHistory.h"
#include "ColumnOps.h"
#include "DayTotals.h"
#include "LiveSheet.h"
#include "LoadSettlement.h"
#include "RulesStore.h"
#include "SheetCommands.h"
#include "SheetSettlement.h"

#include <QFrame>
#include <QToolButton>

namespace
{

int col(const char* campo)
{
    return DailySheet::columnaDe(QLatin1String(campo));
}

} // namespace

class TstSheetSettlement : public QObject
{
    Q_OBJECT

    // Types into a cell as an operator does: the cell made current, the keys
    // sent to the focused widget, Enter to end.
    static void teclear(ExtrasFixture& f, int row, int c, const QString& text)
    {
        f.grid()->setFocus();
        f.grid()->setRowCol(row, c);
        QCoreApplication::processEvents();
        // A key starts a new value; the rest go to the editor it opened.
        QTest::keyClicks(QApplication::focusWidget(), text.left(1));
        QTest::keyClicks(QApplication::focusWidget(), text.mid(1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents();
    }

private slots:
    void typedLoadIsSettledInItsWrite()
    {
        ExtrasFixture f;
        f.db.data().execute(QStringLiteral(
            "INSERT INTO ta_grado (grado, pesohect_min, humedad_max) VALUES (1, 79, 16)"));
        QVERIFY(f.loadDay());
        const int r = FlexGrid::FixedRows;
        const qint64 id = f.idAt(r);
        teclear(f, r, col("toneladas"), "30");
        QCOMPARE(f.column(id, "Toneladas").toDouble(), 30.0);
        QVERIFY(f.column(id, "kg_netos").isNull()); // no humidity yet
        QCOMPARE(f.column(id, "grado").toString(), QStringLiteral("sin grado aún"));
        teclear(f, r, col("humedad"), "15.2");
        QCOMPARE(f.column(id, "kg_netos").toLongLong(), qint64(29334));
        QCOMPARE(f.column(id, "merma").toDouble(), 2.22);
        QCOMPARE(f.column(id, "reglas_version").toLongLong(), RulesStore(f.db.data()).version());
        QCOMPARE(f.grid()->TextMatrix(r, col("kg_netos")), QStringLiteral("29334"));
        QCOMPARE(f.grid()->TextMatrix(r, col("grado")), QStringLiteral("sin grado aún"));
        teclear(f, r, col("pesohect"), "80");
        QCOMPARE(f.column(id, "grado").toString(), QStringLiteral("1"));
        QCOMPARE(f.grid()->TextMatrix(r, col("grado")), QStringLiteral("1"));
        // Each value with the operator, in the history.
        QCOMPARE(f.db.scalar("SELECT valor_nuevo FROM mv_molvera_historial WHERE id_registro = ? "
                             "AND campo = 'kg_netos'",
                             {id})
                     .toString(),
                 QStringLiteral("29334"));
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM mv_molvera_historial WHERE id_registro = ? "
                             "AND campo = 'grado' AND usuario = 'ANA'",
                             {id})
                     .toInt(),
                 2);
        QCOMPARE(ChangeHistory::caption(QStringLiteral("kg_netos")), QStringLiteral("KG NETOS"));
        QCOMPARE(ChangeHistory::caption(QStringLiteral("reglas_version")),
                 QStringLiteral("VERSIÓN DE LAS REGLAS"));
        // Emptied tonnes: 0 kg.
        teclear(f, r, col("toneladas"), "0");
        QCOMPARE(f.column(id, "kg_netos").toLongLong(), qint64(0));
    }

    // With the plant's published table: its row rules; a humidity beyond
    // its last row is said at once and leaves the load without a net.
    void publishedTableRulesTheSheet()
    {
        ExtrasFixture f;
        f.db.data().execute(QStringLiteral("INSERT INTO ta_merma_tabla (humedad, merma) VALUES "
                                           "(14.1, 1.15), (14.2, 1.27), (14.3, 1.39)"));
        QVERIFY(f.loadDay());
        const int r = FlexGrid::FixedRows;
        const qint64 id = f.idAt(r);
        teclear(f, r, col("toneladas"), "30");
        teclear(f, r, col("humedad"), "14.2");
        QCOMPARE(f.column(id, "merma").toDouble(), 1.52); // 1.27 + 0.25
        QCOMPARE(f.column(id, "kg_netos").toLongLong(), qint64(29544));
        QCOMPARE(f.dialogs.count("message"), 0);
        teclear(f, r, col("humedad"), "14.36");
        QVERIFY(f.column(id, "kg_netos").isNull());
        QVERIFY(f.column(id, "merma").isNull());
        QCOMPARE(f.column(id, "humedad").toDouble(), 14.36);
        QCOMPARE(f.dialogs.count("message"), 1);
        QVERIFY2(f.dialogs.messageTexts().last().contains(QStringLiteral("última fila")),
                 qPrintable(f.dialogs.messageTexts().last()));
        QCOMPARE(f.grid()->TextMatrix(r, col("kg_netos")), QString());
    }

    void computedColumnsTakeNoTyping()
    {
        ExtrasFixture f;
        QVERIFY(f.loadDay());
        const int r = FlexGrid::FixedRows;
        const qint64 id = f.idAt(r);
        for (const char* c : {"merma", "kg_netos", "grado"}) {
            teclear(f, r, col(c), "5");
            QVERIFY(!f.editor()->isVisible());
            QVERIFY(f.column(id, c).isNull());
        }
        QCOMPARE(f.grid()->TextMatrix(1, col("kg_netos")), QStringLiteral("NETOS"));
        QCOMPARE(f.grid()->TextMatrix(1, col("merma")), QStringLiteral("%"));
    }

    // Duplicar writes each row with its own settlement; another desk's
    // humidity, unseen by this desk, is the one the net is computed from; the
    // band's net kilograms equal the database's sum.
    void everyRouteKeepsTheRowSettled()
    {
        ExtrasFixture f;
        QVERIFY(f.loadDay());
        const qint64 extra = f.w->commands().Nuevo();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        const int r0 = FlexGrid::FixedRows;
        const qint64 ids[3] = {f.idAt(r0), f.idAt(r0 + 1), extra};
        const double tn[3] = {30, 25.5, 12.345};
        for (int i = 0; i < 3; ++i)
            teclear(f, f.rowOf(ids[i]), col("toneladas"), QString::number(tn[i]));
        teclear(f, r0, col("humedad"), "14.05");
        // Duplicar down the humidity column.
        f.grid()->setRowCol(r0, col("humedad"));
        f.grid()->setRowSel(f.rowOf(extra));
        f.dialogs.messageAnswers << Dialogs::Yes;
        QCOMPARE(f.w->columnOps().CmdCompletar(), 3);
        SettlementRules reglas = RulesStore(f.db.data()).read();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(f.column(ids[i], "kg_netos").toLongLong(),
                     LoadSettlement::of({tn[i], 14.05, 0, 0, 0}, reglas).kilos.value());

        // Another desk changed the humidity of the second row; this desk then
        // types its tonnes: the net is of the stored humidity.
        auto otra = f.db.secondConnection();
        otra->execute(QStringLiteral("UPDATE mv_molvera SET humedad = 16 WHERE ID = ?"), {ids[1]});
        teclear(f, f.rowOf(ids[1]), col("toneladas"), "26");
        QCOMPARE(f.column(ids[1], "kg_netos").toLongLong(),
                 LoadSettlement::of({26, 16, 0, 0, 0}, reglas).kilos.value());

        // A desk writes a row's settlement: the live sheet brings it.
        const LoadSettlement::Result hecho = LoadSettlement::of({40, 18, 0, 0, 0}, reglas);
        otra->execute(QStringLiteral("UPDATE v_mv_molvera SET Toneladas = 40, humedad = 18, "
                                     "merma = ?, kg_netos = ?, reglas_version = ? WHERE ID = ?"),
                      {hecho.merma(), hecho.kg(), hecho.versionValue(), ids[2]});
        f.w->live().check();
        QCoreApplication::processEvents();
        QCOMPARE(f.grid()->TextMatrix(f.rowOf(ids[2]), col("kg_netos")), hecho.kgText());
        const DayTotals::Figures& t = f.w->totals()->figures();
        QCOMPARE(t.kilosNetos,
                 f.db.scalar("SELECT SUM(kg_netos) FROM mv_molvera WHERE Fecha >= ? AND Fecha < ?",
                             {QDateTime(ExtrasFixture::dia(), QTime()),
                              QDateTime(ExtrasFixture::dia().addDays(1), QTime())})
                     .toLongLong());
        QVERIFY2(f.w->totals()->text().contains(QStringLiteral("Kg netos: ")),
                 qPrintable(f.w->totals()->text()));
    }

    // Rules changed at another desk: a new change takes the new version;
    // the loads already received keep theirs until the day is recomputed,
    // after one confirmation, said in words.
    void rulesChangedThenTheDayRecomputed()
    {
        ExtrasFixture f;
        QVERIFY(f.loadDay());
        const int r0 = FlexGrid::FixedRows;
        const qint64 a = f.idAt(r0), b = f.idAt(r0 + 1);
        teclear(f, r0, col("toneladas"), "30");
        teclear(f, r0, col("humedad"), "15.2");
        const qint64 v1 = f.column(a, "reglas_version").toLongLong();
        auto otra = f.db.secondConnection();
        otra->execute(QStringLiteral("UPDATE ta_liquidacion SET manipuleo = 0.5"));
        teclear(f, r0 + 1, col("toneladas"), "30");
        teclear(f, r0 + 1, col("humedad"), "15.2");
        const qint64 v2 = f.column(b, "reglas_version").toLongLong();
        QVERIFY(v2 > v1);
        QCOMPARE(f.column(b, "kg_netos").toLongLong(), qint64(29259)); // 2.47 %
        QCOMPARE(f.column(a, "kg_netos").toLongLong(), qint64(29334)); // kept

        f.dialogs.clear();
        f.dialogs.messageAnswers << Dialogs::No;
        f.w->settlement().recalcular();
        QCOMPARE(f.column(a, "kg_netos").toLongLong(), qint64(29334));
        f.dialogs.messageAnswers << Dialogs::Yes;
        f.w->settlement().recalcular();
        QCOMPARE(f.column(a, "kg_netos").toLongLong(), qint64(29259));
        QCOMPARE(f.column(a, "reglas_version").toLongLong(), v2);
        const QStringList dicho = f.dialogs.messageTexts();
        QVERIFY2(dicho.last().contains(QStringLiteral("Se recalcularon 2 cargas")) &&
                     dicho.last().contains(QStringLiteral("1 con otra merma")),
                 qPrintable(dicho.join(u'\n')));
        QCOMPARE(f.db.scalar("SELECT valor_anterior FROM mv_molvera_historial WHERE "
                             "id_registro = ? AND campo = 'kg_netos' ORDER BY ID DESC",
                             {a})
                     .toString(),
                 QStringLiteral("29334"));
    }

    // From the report tab, without a sheet: the range of its two boxes,
    // both needed; the button is there.
    void aRangeFromTheReportTab()
    {
        ExtrasFixture f;
        auto otra = f.db.secondConnection();
        const qint64 a =
            f.addRow(*otra, QDate(2024, 3, 1), {{"Toneladas", 30.0}, {"humedad", 15.2}});
        const qint64 b =
            f.addRow(*otra, QDate(2024, 3, 9), {{"Toneladas", 10.0}, {"humedad", 13.0}});
        const qint64 fuera =
            f.addRow(*otra, QDate(2024, 3, 10), {{"Toneladas", 10.0}, {"humedad", 13.0}});
        QVERIFY(f.w->settlement().botonRecalcular()->isVisibleTo(f.w->frmRep()));
        f.w->box("FechaDesde")->setText(QStringLiteral("01/03/2024"));
        f.w->box("FechaHasta")->clear();
        f.w->settlement().recalcular();
        QVERIFY(f.dialogs.messageTexts().last().contains(QStringLiteral("Fecha Hasta")));
        QVERIFY(f.column(a, "kg_netos").isNull());
        f.w->box("FechaHasta")->setText(QStringLiteral("09/03/2024"));
        f.dialogs.messageAnswers << Dialogs::Yes;
        f.w->settlement().recalcular();
        QCOMPARE(f.column(a, "kg_netos").toLongLong(), qint64(29334));
        QCOMPARE(f.column(b, "kg_netos").toLongLong(), qint64(10000));
        QVERIFY(f.column(fuera, "kg_netos").isNull());
        QVERIFY2(f.dialogs.messageTexts().last().contains(QStringLiteral("del 01/03/2024 al "
                                                                         "09/03/2024")),
                 qPrintable(f.dialogs.messageTexts().last()));
    }

    // A reading written by another program, which leaves the kept values
    // behind: the live sheet brings the row and the desk writes what it is
    // worth; a row kept under other rules is left for a recomputation.
    void anotherProgramsChangeIsSettled()
    {
        ExtrasFixture f;
        QVERIFY(f.loadDay());
        const int r0 = FlexGrid::FixedRows;
        const qint64 a = f.idAt(r0), b = f.idAt(r0 + 1);
        teclear(f, r0, col("toneladas"), "30");
        teclear(f, r0, col("humedad"), "15.2");
        teclear(f, r0 + 1, col("toneladas"), "20");
        teclear(f, r0 + 1, col("humedad"), "15.2");
        auto otra = f.db.secondConnection();
        otra->execute(QStringLiteral("UPDATE mv_molvera SET humedad = 14.05 WHERE ID = ?"), {a});
        f.w->live().check();
        QCoreApplication::processEvents();
        QCOMPARE(f.column(a, "kg_netos").toLongLong(), qint64(29733));
        QCOMPARE(f.grid()->TextMatrix(r0, col("kg_netos")), QStringLiteral("29733"));
        // Kept under other rules: shown as kept, not rewritten.
        otra->execute(QStringLiteral("UPDATE mv_molvera SET reglas_version = reglas_version - 1, "
                                     "humedad = 16 WHERE ID = ?"),
                      {b});
        f.w->live().check();
        QCoreApplication::processEvents();
        QCOMPARE(f.column(b, "kg_netos").toLongLong(), qint64(19556));
        QCOMPARE(f.grid()->TextMatrix(r0 + 1, col("humedad")), QStringLiteral("16"));
    }

    // The CUIT of the current row's seller: a wrong one refused naming it,
    // a right one kept; its spellings made one after one confirmation, each
    // load rewritten with its history, the CUIT going along.
    void sellersAsThePlantPaysThem()
    {
        ExtrasFixture f;
        auto otra = f.db.secondConnection();
        const qint64 a = f.addRow(*otra, ExtrasFixture::dia(), {{"vendedor", "Pérez, Ángel"}});
        const qint64 b = f.addRow(*otra, ExtrasFixture::dia(), {{"vendedor", "PEREZ ANGEL"}});
        const qint64 c =
            f.addRow(*otra, ExtrasFixture::dia().addDays(-3), {{"vendedor", "PEREZ ANGEL"}});
        const qint64 d = f.addRow(*otra, ExtrasFixture::dia(), {{"vendedor", "Perez Angelo"}});
        QVERIFY(f.loadDay());
        f.grid()->setRowCol(f.rowOf(a), col("vendedor"));

        f.dialogs.inputAnswers << QStringLiteral("20-12345678-0");
        f.w->settlement().cuitVendedor();
        QVERIFY2(f.dialogs.messageTexts().last().contains(QStringLiteral("«20-12345678-0»")) &&
                     f.dialogs.messageTexts().last().contains(QStringLiteral("debería ser 6")),
                 qPrintable(f.dialogs.messageTexts().last()));
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM ta_vendedor").toInt(), 0);
        f.dialogs.inputAnswers << QStringLiteral("20-12345678-6");
        f.w->settlement().cuitVendedor();
        QCOMPARE(f.db.scalar("SELECT cuit FROM ta_vendedor WHERE nombre = ?", {"Pérez, Ángel"})
                     .toString(),
                 QStringLiteral("20123456786"));

        // Answered No: nothing changes.
        f.dialogs.inputAnswers << QStringLiteral("PEREZ ANGEL");
        f.dialogs.messageAnswers << Dialogs::No;
        f.w->settlement().unificar();
        QCOMPARE(f.column(a, "vendedor").toString(), QStringLiteral("Pérez, Ángel"));
        QVERIFY2(
            f.dialogs.messageTexts().last().contains(QStringLiteral("«Pérez, Ángel» (1 carga)")),
            qPrintable(f.dialogs.messageTexts().last()));
        // A name that is no spelling of the seller is refused.
        f.dialogs.inputAnswers << QStringLiteral("PEREZ ANGELO");
        f.w->settlement().unificar();
        QCOMPARE(f.column(a, "vendedor").toString(), QStringLiteral("Pérez, Ángel"));
        // Offered the most used spelling; Yes.
        f.dialogs.inputAnswers << QStringLiteral("PEREZ ANGEL");
        f.dialogs.messageAnswers << Dialogs::Yes;
        f.w->settlement().unificar();
        for (qint64 id : {a, b, c})
            QCOMPARE(f.column(id, "vendedor").toString(), QStringLiteral("PEREZ ANGEL"));
        QCOMPARE(f.column(d, "vendedor").toString(), QStringLiteral("Perez Angelo"));
        QCOMPARE(f.db.scalar("SELECT valor_anterior FROM mv_molvera_historial WHERE id_registro = "
                             "? AND campo = 'vendedor' AND usuario = 'ANA'",
                             {a})
                     .toString(),
                 QStringLiteral("Pérez, Ángel"));
        QCOMPARE(
            f.db.scalar("SELECT cuit FROM ta_vendedor WHERE nombre = 'PEREZ ANGEL'").toString(),
            QStringLiteral("20123456786"));
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM ta_vendedor").toInt(), 1);
        QVERIFY(f.dialogs.messageTexts().last().contains(QStringLiteral("en 1 carga")));
    }
};

QTEST_MAIN(TstSheetSettlement)
#include "tst_sheetsettlement.moc"
