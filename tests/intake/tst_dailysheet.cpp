#include "WindowFixture.h"

#include "SheetCommands.h"

#include <QTabWidget>

class TstDailySheet : public QObject
{
    Q_OBJECT
private slots:
    void newDayGetsTwoRowsOnce()
    {
        WindowFixture f;
        const QDate d(2024, 3, 15);
        QVERIFY(f.loadDay(d));
        QCOMPARE(f.rowsOf(d), 2);
        QCOMPARE(f.grid()->Rows(), 4);
        QCOMPARE(f.grid()->Cols(), 16); // the id, 12 typed columns, 3 computed
        const qint64 id = f.idAt(2);
        QVERIFY(id > 0);
        QCOMPARE(f.column(id, "responsable").toString(), QStringLiteral("ANA"));
        QVERIFY(DataService::toDateTime(f.column(id, "fecha_alta")).isValid());
        QCOMPARE(DataService::toDateTime(f.column(id, "Fecha")), QDateTime(d, QTime(0, 0)));
        // Headers, widths and alignment of the sheet.
        QCOMPARE(f.grid()->TextMatrix(1, 0).toUpper(), QStringLiteral("ID"));
        QCOMPARE(f.grid()->TextMatrix(0, 1), QStringLiteral("TN"));
        QCOMPARE(f.grid()->TextMatrix(1, 1), QStringLiteral("DESC."));
        QCOMPARE(f.grid()->TextMatrix(0, 5), QStringLiteral("GLUTEN"));
        QCOMPARE(f.grid()->TextMatrix(1, 5), QStringLiteral("HÚMEDO"));
        QCOMPARE(f.grid()->TextMatrix(1, 11), QStringLiteral("DESTINO"));
        QCOMPARE(f.grid()->TextMatrix(1, 12), QStringLiteral("OBSERVACIONES"));
        // The design widths are the least ones (the columns then share the
        // view's room and grow with their texts).
        QCOMPARE(f.grid()->ColWidth(0), 0);
        QVERIFY(f.grid()->ColWidth(1) >= 720);
        QVERIFY(f.grid()->ColWidth(12) >= 1500);
        // A second load inserts nothing.
        f.w->ProcesarComando("CANCELAR");
        QVERIFY(f.loadDay(d));
        QCOMPARE(f.rowsOf(d), 2);
    }

    void dayBoundsIncludeTheLastSecond()
    {
        WindowFixture f;
        DataService& db = f.db.data();
        const QString ins = "INSERT INTO v_mv_molvera (Fecha, vendedor) VALUES (?, ?)";
        db.execute(ins, {QDateTime(QDate(2024, 3, 14), QTime(23, 59, 59)), "ayer"});
        db.execute(ins, {QDateTime(QDate(2024, 3, 15), QTime(0, 0, 0)), "primero"});
        db.execute(ins, {QDateTime(QDate(2024, 3, 15), QTime(23, 59, 59, 500)), "ultimo"});
        db.execute(ins, {QDateTime(QDate(2024, 3, 16), QTime(0, 0, 0)), "manana"});
        // Entered later for an earlier hour: the sheet keeps the order of entry.
        db.execute(ins, {QDateTime(QDate(2024, 3, 15), QTime(12, 0, 0)), "tarde"});
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        QCOMPARE(f.grid()->Rows(), 5);
        QStringList sellers;
        for (int r = 2; r < 5; ++r)
            sellers << f.grid()->TextMatrix(r, 2);
        QCOMPARE(sellers, (QStringList{"primero", "ultimo", "tarde"}));
        QVERIFY(f.toolbar()->reporteenabled());
    }

    void invalidDateInsertsNothing()
    {
        WindowFixture f;
        f.w->box("Fecha")->setText("31/02/2024");
        QVERIFY(!f.w->sheet().Cargar());
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM mv_molvera").toInt(), 0);
        QVERIFY(f.dialogs.messageTexts().contains(
            QStringLiteral("¡¡¡Debe ingresar una fecha válida!!!")));
        QVERIFY(!f.w->mPlanillaCargada);
        QVERIFY(f.w->CmdCargar()->isEnabled());
    }

    void databaseErrorShowsNoPartialSheet()
    {
        WindowFixture f;
        f.w->mVista = "v_no_existe";
        QVERIFY(!f.w->sheet().Cargar());
        QCOMPARE(f.dialogs.count("message"), 1);
        QVERIFY(!f.w->mPlanillaCargada);
        QVERIFY(!f.grid()->isEnabled());
        QCOMPARE(f.grid()->Rows(), 30);
        f.w->mVista = "v_mv_molvera";
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
    }

    void nuevoCarriesItsOwnId()
    {
        WindowFixture f;
        const QDate d(2024, 3, 15);
        QVERIFY(f.loadDay(d));
        auto other = f.db.secondConnection();
        // Another workstation inserts right before and right after.
        other->insertReturningId("v_mv_molvera", {"Fecha", "responsable"},
                                 {QDateTime(d, QTime()), "OTRA"});
        const qint64 id = f.w->commands().Nuevo();
        other->insertReturningId("v_mv_molvera", {"Fecha", "responsable"},
                                 {QDateTime(d, QTime()), "OTRA"});
        QVERIFY(id > 0);
        const int last = f.grid()->Rows() - 1;
        QCOMPARE(f.idAt(last), id);
        QCOMPARE(f.column(id, "responsable").toString(), QStringLiteral("ANA"));
        QCOMPARE(f.grid()->TextMatrix(last, 1), QStringLiteral("0"));
        QCOMPARE(f.grid()->TextMatrix(last, 2), QString());
        QCOMPARE(f.grid()->Row(), last);
        QCOMPARE(f.grid()->Col(), 1);
        QVERIFY(!f.w->TxtEdit()->isVisible());
        QVERIFY(f.toolbar()->borrarenabled());
        QVERIFY(f.toolbar()->reporteenabled());
        // With no sheet loaded nothing is added.
        f.w->ProcesarComando("CANCELAR");
        QCOMPARE(f.w->commands().Nuevo(), 0);
    }

    void borrarDeletesTheSelectedRangeOnly()
    {
        WindowFixture f;
        const QDate d(2024, 3, 15);
        QVERIFY(f.loadDay(d));
        for (int i = 0; i < 3; ++i)
            f.w->commands().Nuevo();
        QCOMPARE(f.rowsOf(d), 5);
        const qint64 keep1 = f.idAt(2), gone1 = f.idAt(3), gone2 = f.idAt(4), keep2 = f.idAt(5);
        f.grid()->setRowCol(3, 1);
        f.grid()->setRowSel(4);
        f.dialogs.messageAnswers = {Dialogs::Yes};
        QCOMPARE(f.w->commands().Borrar(), 2);
        QVERIFY(f.dialogs.messageTexts().last().contains(
            "Esta opción borra todos los registros seleccionados"));
        QCOMPARE(f.dialogs.shown.last().title, QStringLiteral("¡Atención!"));
        QCOMPARE(f.rowsOf(d), 3);
        QVERIFY(!f.column(gone1, "ID").isValid());
        QVERIFY(!f.column(gone2, "ID").isValid());
        QVERIFY(f.column(keep1, "ID").isValid());
        QVERIFY(f.column(keep2, "ID").isValid());
        QCOMPARE(f.grid()->Rows(), 2 + 3); // reloaded

        // No deletes nothing.
        f.grid()->setRowCol(2, 1);
        f.dialogs.messageAnswers = {Dialogs::No};
        QCOMPARE(f.w->commands().Borrar(), 0);
        QCOMPARE(f.rowsOf(d), 3);
        // A selection running upwards deletes nothing.
        f.grid()->setRowCol(4, 1);
        f.grid()->setRowSel(2);
        f.dialogs.messageAnswers = {Dialogs::Yes};
        QCOMPARE(f.w->commands().Borrar(), 0);
        QCOMPARE(f.rowsOf(d), 3);
    }

    void deletingEveryRowRecreatesTwo()
    {
        WindowFixture f;
        const QDate d(2024, 3, 15);
        QVERIFY(f.loadDay(d));
        const qint64 first = f.idAt(2);
        f.grid()->setRowCol(2, 1);
        f.grid()->setRowSel(3);
        f.dialogs.messageAnswers = {Dialogs::Yes};
        QCOMPARE(f.w->commands().Borrar(), 2);
        QCOMPARE(f.rowsOf(d), 2);
        QCOMPARE(f.grid()->Rows(), 4);
        QVERIFY(f.idAt(2) > first);
        QVERIFY(f.toolbar()->reporteenabled());
    }

    void borrarWithoutSheetDeletesNothing()
    {
        WindowFixture f;
        f.db.data().execute("INSERT INTO v_mv_molvera (Fecha) VALUES (?)",
                            {QDateTime(QDate::currentDate(), QTime())});
        f.dialogs.messageAnswers = {Dialogs::Yes};
        QCOMPARE(f.w->commands().Borrar(), 0);
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM mv_molvera").toInt(), 1);
        QVERIFY(f.dialogs.messageTexts().last().contains("No hay una planilla cargada"));
        QVERIFY(!f.toolbar()->reporteenabled());
    }

    void rowWithoutIdStopsTheDelete()
    {
        WindowFixture f;
        const QDate d(2024, 3, 15);
        QVERIFY(f.loadDay(d));
        f.grid()->setTextMatrix(3, 0, "x");
        f.grid()->setRowCol(2, 1);
        f.grid()->setRowSel(3);
        f.dialogs.messageAnswers = {Dialogs::Yes};
        QCOMPARE(f.w->commands().Borrar(), 1);
        QVERIFY(f.dialogs.messageTexts().last().contains("no tiene número de registro"));
        QCOMPARE(f.rowsOf(d), 1);
    }

    void commandKeysIgnoreCase()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        f.w->ProcesarComando("nuevo");
        QCOMPARE(f.rowsOf(QDate(2024, 3, 15)), 3);
        f.w->ProcesarComando("GRABAR");
        f.w->ProcesarComando("PLANILLA");
        f.w->ProcesarComando("OTRA");
        QCOMPARE(f.rowsOf(QDate(2024, 3, 15)), 3);
        QVERIFY(f.w->mPlanillaCargada);
    }
};

QTEST_MAIN(TstDailySheet)
#include "tst_dailysheet.moc"
