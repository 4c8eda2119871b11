// The live sheet: what another workstation adds, changes or deletes on the
// loaded day appears on the sheet by itself, without moving the operator's
// cursor or disturbing an open edit.
#include "ExtrasFixture.h"

#include "HistoryWindow.h"
#include "LiveSheet.h"
#include "OpenTransactions.h"

class TstLiveSheet : public QObject
{
    Q_OBJECT
private slots:
    void anInsertAppearsUnderAnOpenEdit()
    {
        ExtrasFixture f;
        f.w->live().setInterval(100);
        QVERIFY(f.loadDay());
        const qint64 mine = f.idAt(2);
        f.grid()->setRowCol(2, 2);
        QTest::keyClick(f.grid(), Qt::Key_Return);
        QVERIFY(f.editor()->isVisible());
        f.editor()->setText("Ju");
        f.editor()->setCursorPosition(1);

        auto second = f.db.secondConnection();
        const qint64 other =
            f.addRow(*second, ExtrasFixture::dia(), {{"vendedor", "Remoto"}, {"Toneladas", 5.0}});
        QTRY_COMPARE_WITH_TIMEOUT(f.grid()->Rows(), 5, 5000);
        QCOMPARE(f.idAt(4), other);
        QCOMPARE(f.grid()->TextMatrix(4, 2), QStringLiteral("Remoto"));
        QCOMPARE(f.grid()->TextMatrix(4, 1), QStringLiteral("5"));
        // The edit is as the operator left it.
        QVERIFY(f.editor()->isVisible());
        QCOMPARE(f.editor()->text(), QStringLiteral("Ju"));
        QCOMPARE(f.editor()->cursorPosition(), 1);
        QCOMPARE(f.grid()->Row(), 2);
        QCOMPARE(f.grid()->Col(), 2);
        // And lands on its own record.
        f.editor()->setText("Juan");
        QTest::keyClick(f.editor(), Qt::Key_Return);
        QCOMPARE(f.column(mine, "vendedor").toString(), QStringLiteral("Juan"));
        QVERIFY(f.column(other, "vendedor").toString() == QStringLiteral("Remoto"));
    }

    void changesAndDeletesAppear()
    {
        ExtrasFixture f;
        f.w->live().setInterval(100);
        QVERIFY(f.loadDay());
        auto second = f.db.secondConnection();
        const qint64 a = f.addRow(*second, ExtrasFixture::dia(), {{"vendedor", "A"}});
        const qint64 b = f.addRow(*second, ExtrasFixture::dia(), {{"vendedor", "B"}});
        QTRY_COMPARE_WITH_TIMEOUT(f.grid()->Rows(), 6, 5000);

        // A change of another desk reaches the cell.
        second->execute("UPDATE v_mv_molvera SET humedad = ?, fecha_modificacion = ? WHERE ID = ?",
                        {13.25, QDateTime::currentDateTime(), a});
        QTRY_COMPARE_WITH_TIMEOUT(f.grid()->TextMatrix(f.rowOf(a), 9), QStringLiteral("13.25"),
                                  5000);

        // A row above the cursor goes: the cursor stays on its record.
        f.grid()->setRowCol(f.rowOf(b), 3);
        const int rowsBefore = f.grid()->Rows();
        const qint64 first = f.idAt(2);
        second->execute("DELETE FROM v_mv_molvera WHERE ID = ?", {first});
        QTRY_COMPARE_WITH_TIMEOUT(f.grid()->Rows(), rowsBefore - 1, 5000);
        QCOMPARE(f.rowOf(first), -1);
        QCOMPARE(f.idAt(f.grid()->Row()), b);
        QCOMPARE(f.grid()->Col(), 3);

        // With an edit open, a deleted row waits until the edit is ended.
        f.grid()->setRowCol(f.rowOf(b), 2);
        QTest::keyClick(f.grid(), Qt::Key_Return);
        f.editor()->setText("Bee");
        second->execute("DELETE FROM v_mv_molvera WHERE ID = ?", {a});
        QTest::qWait(400);
        QVERIFY(f.rowOf(a) > 0);
        QVERIFY(f.editor()->isVisible());
        QCOMPARE(f.editor()->text(), QStringLiteral("Bee"));
        QTest::keyClick(f.editor(), Qt::Key_Return);
        QCOMPARE(f.column(b, "vendedor").toString(), QStringLiteral("Bee"));
        QTRY_COMPARE_WITH_TIMEOUT(f.rowOf(a), -1, 5000);
        QCOMPARE(f.grid()->TextMatrix(f.rowOf(b), 2), QStringLiteral("Bee"));
    }

    // An edit to a row another desk deleted in the meantime: the operator
    // reads that it was deleted there, the editor keeps the value, and
    // nothing is written anywhere.
    void anEditToARowDeletedElsewhere()
    {
        ExtrasFixture f;
        f.w->live().setInterval(60000); // the row stays on screen meanwhile
        QVERIFY(f.loadDay());
        const qint64 gone = f.idAt(2), kept = f.idAt(3);
        f.grid()->setRowCol(2, 12);
        f.grid()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(f.editor()->isVisible());
        f.editor()->setText("Lote 9");
        auto second = f.db.secondConnection();
        QVERIFY(second->executeChanged("DELETE FROM v_mv_molvera WHERE ID = ?", {gone}));
        const int before = f.db.scalar("SELECT COUNT(*) FROM mv_molvera").toInt();
        f.dialogs.clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(f.dialogs.count("message"), 1);
        QVERIFY2(f.dialogs.shown.last().text.contains("borrada en otra estación de trabajo"),
                 qPrintable(f.dialogs.shown.last().text));
        QVERIFY(f.editor()->isVisible());
        QCOMPARE(f.editor()->text(), QStringLiteral("Lote 9"));
        QCOMPARE(f.grid()->TextMatrix(2, 12), QString());
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM mv_molvera").toInt(), before);
        QCOMPARE(
            f.db.scalar("SELECT COUNT(*) FROM mv_molvera WHERE observaciones = 'Lote 9'").toInt(),
            0);
        // The same statement on a row that is there counts as a change.
        QVERIFY(second->executeChanged("UPDATE v_mv_molvera SET observaciones = ? WHERE ID = ?",
                                       {"Otra", kept}));
        QVERIFY(!second->executeChanged("UPDATE v_mv_molvera SET observaciones = ? WHERE ID = ?",
                                        {"Otra", gone}));
    }

    // The check is cheap: with nothing new the day is not read again, and a
    // change of another day changes nothing on the sheet.
    void quietWithoutChanges()
    {
        ExtrasFixture f;
        f.w->live().setInterval(50);
        QVERIFY(f.loadDay());
        QTest::qWait(300);
        const int reads = f.w->live().reads();
        QTest::qWait(300);
        QCOMPARE(f.w->live().reads(), reads);
        const int applied = f.w->live().appliedRows();
        auto second = f.db.secondConnection();
        f.addRow(*second, ExtrasFixture::dia().addDays(-1), {{"vendedor", "Ayer"}});
        QTest::qWait(300);
        QCOMPARE(f.w->live().appliedRows(), applied);
        QCOMPARE(f.grid()->Rows(), 4);
        // Nothing is checked without a sheet.
        f.w->Reiniciar();
        QVERIFY(!f.w->live().check());
    }

    // At its own pace (every 400 ms) a new row is there well within a
    // second and a half (it took up to 3 s when the check ran every 3 s).
    void withinASecondAndAHalf()
    {
        ExtrasFixture f;
        QVERIFY(f.w->live().interval() <= 500);
        QVERIFY(f.loadDay());
        auto second = f.db.secondConnection();
        QElapsedTimer t;
        t.start();
        f.addRow(*second, ExtrasFixture::dia(), {{"vendedor", "Pronto"}});
        QTRY_COMPARE_WITH_TIMEOUT(f.grid()->Rows(), 5, 5000);
        QVERIFY2(t.elapsed() < 1500, qPrintable(QString::number(t.elapsed())));
    }

    // A change whose transaction ends after later ones (its history number
    // is below many already seen) still reaches the sheet.
    void aChangeCommittedLateIsNotMissed()
    {
        ExtrasFixture f;
        if (!f.db.onServer()) QSKIP("the embedded database takes one writer at a time");
        f.w->live().setInterval(50);
        auto slow = f.db.secondConnection(QStringLiteral("slow"));
        auto quick = f.db.secondConnection(QStringLiteral("quick"));
        const qint64 a = f.addRow(*quick, ExtrasFixture::dia(), {{"vendedor", "A"}});
        const qint64 b = f.addRow(*quick, ExtrasFixture::dia(), {{"vendedor", "B"}});
        QVERIFY(f.loadDay());
        const QString update =
            QStringLiteral("UPDATE v_mv_molvera SET [%1] = ?, fecha_modificacion = ? WHERE ID = ?");
        QVERIFY(slow->database().transaction());
        slow->execute(update.arg("VENDEDOR"),
                      {QStringLiteral("Tarde"), QDateTime::currentDateTime(), a});
        for (int i = 1; i <= 150; ++i)
            quick->execute(update.arg("HUMEDAD"), {double(i), QDateTime::currentDateTime(), b});
        QTRY_COMPARE_WITH_TIMEOUT(f.grid()->TextMatrix(f.rowOf(b), 9), QStringLiteral("150"), 3000);
        QVERIFY(slow->database().commit());
        QTRY_COMPARE_WITH_TIMEOUT(f.grid()->TextMatrix(f.rowOf(a), 2), QStringLiteral("Tarde"),
                                  3000);
    }

    // A skipped history number is read again until it appears, and let go
    // only once every transaction under way when it was found has ended;
    // where the database cannot tell, it is kept. What was under way when
    // the sheet was read makes the whole day be read once it ends.
    void theWindowWaitsForTheTransactionsOfAGap()
    {
        using R = HistoryWindow::Record;
        HistoryWindow h;
        h.reset(10, QSet<qint64>{});
        QCOMPARE(h.takeNew({R{12, 5}}), QSet<qint64>{5});
        QCOMPARE(h.gaps(), QList<qint64>{11});
        QVERIFY(!h.settle(QSet<qint64>{100, 101}));
        QCOMPARE(h.takeGaps({}), QSet<qint64>{});
        QVERIFY(!h.settle(QSet<qint64>{101, 102})); // 102 began after: not waited for
        QCOMPARE(h.takeGaps({}), QSet<qint64>{});
        QCOMPARE(h.openGaps(), 1);
        QVERIFY(!h.settle(QSet<qint64>{102}));
        // Read once more after the last one ended: there it is.
        QCOMPARE(h.takeGaps({R{11, 7}}), QSet<qint64>{7});
        QCOMPARE(h.openGaps(), 0);
        // Undone: let go after that read.
        QCOMPARE(h.takeNew({R{13, 1}, R{15, 2}}), (QSet<qint64>{1, 2}));
        QVERIFY(!h.settle(QSet<qint64>{}));
        QCOMPARE(h.takeGaps({}), QSet<qint64>{});
        QCOMPARE(h.openGaps(), 0);
        QCOMPARE(h.base(), qint64(15));

        // Not known: the last records are read again, gaps kept.
        h.reset(200, std::nullopt);
        QCOMPARE(h.base(), 200 - HistoryWindow::kLookBack);
        h.takeNew({R{199, 3}, R{201, 4}});
        QVERIFY(!h.settle(std::nullopt));
        h.takeGaps({});
        const int kept = h.openGaps();
        QCOMPARE(kept, 127); // 73 to 198, and 200
        QVERIFY(!h.settle(std::nullopt));
        h.takeGaps({});
        QCOMPARE(h.openGaps(), kept);

        // Under way at the sheet's read: each end reads the whole day.
        h.reset(50, QSet<qint64>{7, 8});
        QVERIFY(h.needsRunning());
        QVERIFY(!h.settle(QSet<qint64>{7, 8, 9}));
        QVERIFY(h.settle(QSet<qint64>{8, 9}));
        QVERIFY(!h.settle(QSet<qint64>{8}));
        QVERIFY(h.settle(QSet<qint64>{}));
        QVERIFY(!h.needsRunning());
        // A jump too long to keep number by number: the same, from the
        // transactions under way when it was seen.
        h.takeNew({R{50 + 2 * HistoryWindow::kMostGaps, 6}});
        QCOMPARE(h.openGaps(), 0);
        QVERIFY(!h.settle(QSet<qint64>{20}));
        QVERIFY(h.settle(QSet<qint64>{}));
        QVERIFY(!h.needsRunning());
        // With none under way at the jump, nothing skipped can appear.
        h.takeNew({R{60 + 4 * HistoryWindow::kMostGaps, 6}});
        QVERIFY(!h.settle(QSet<qint64>{}));
        QVERIFY(!h.needsRunning());

        QCOMPARE(OpenTransactions::fromSnapshot("730:735:730,733"), (QSet<qint64>{730, 733}));
        QCOMPARE(OpenTransactions::fromSnapshot("730:730:"), QSet<qint64>{});
        QVERIFY(!OpenTransactions::fromSnapshot("no es una instantánea"));
    }

    // History records another program took away leave numbers that never
    // come: the check stops reading them again, and goes on showing changes.
    void aGapThatNeverFillsIsLetGo()
    {
        ExtrasFixture f;
        f.w->live().setInterval(100);
        auto second = f.db.secondConnection();
        const qint64 x = f.addRow(*second, ExtrasFixture::dia(), {{"vendedor", "X"}});
        const qint64 y = f.addRow(*second, ExtrasFixture::dia(), {{"vendedor", "Y"}});
        QVERIFY(f.loadDay());
        const QString update = QStringLiteral("UPDATE v_mv_molvera SET vendedor = ? WHERE ID = ?");
        const qint64 before = f.db.scalar("SELECT MAX(ID) FROM mv_molvera_historial").toLongLong();
        second->execute(update, {QStringLiteral("X2"), x});
        second->execute(update, {QStringLiteral("Y2"), y});
        second->execute("DELETE FROM mv_molvera_historial WHERE id_registro = ? AND ID > ?",
                        {x, before});
        QTRY_COMPARE_WITH_TIMEOUT(f.grid()->TextMatrix(f.rowOf(y), 2), QStringLiteral("Y2"), 2000);
        // On the embedded database at once; on a server once the transactions
        // under way on it then have ended (other tests' among them, one of
        // which holds its own for a minute): not waited for here.
        if (!f.db.onServer()) QTRY_COMPARE_WITH_TIMEOUT(f.w->live().openGaps(), 0, 3000);
        second->execute(update, {QStringLiteral("X3"), x});
        QTRY_COMPARE_WITH_TIMEOUT(f.grid()->TextMatrix(f.rowOf(x), 2), QStringLiteral("X3"), 2000);
    }

    // Only the rows the new history records name are read, and what they
    // say is applied: a row moved to another day leaves the sheet, a row
    // moved in from another day joins it, a change of another day's row is
    // not a change of the sheet.
    void rowsMovedBetweenDays()
    {
        ExtrasFixture f;
        f.w->live().setInterval(50);
        auto second = f.db.secondConnection();
        const QDate ayer = ExtrasFixture::dia().addDays(-1);
        const qint64 deAyer = f.addRow(*second, ayer, {{"vendedor", "Ayer"}});
        QVERIFY(f.loadDay());
        const qint64 mine = f.idAt(3);
        const int rows = f.grid()->Rows();
        const QString update = QStringLiteral(
            "UPDATE v_mv_molvera SET Fecha = ?, fecha_modificacion = ? WHERE ID = ?");
        second->execute(update, {QDateTime(ayer, QTime()), QDateTime::currentDateTime(), mine});
        QTRY_COMPARE_WITH_TIMEOUT(f.rowOf(mine), -1, 5000);
        QCOMPARE(f.grid()->Rows(), rows - 1);
        second->execute(update, {QDateTime(ExtrasFixture::dia(), QTime()),
                                 QDateTime::currentDateTime(), deAyer});
        QTRY_VERIFY_WITH_TIMEOUT(f.rowOf(deAyer) > 0, 5000);
        QCOMPARE(f.grid()->TextMatrix(f.rowOf(deAyer), 2), QStringLiteral("Ayer"));
        const int applied = f.w->live().appliedRows();
        second->execute(QStringLiteral("UPDATE v_mv_molvera SET vendedor = ? WHERE ID = ?"),
                        {QStringLiteral("Otro"), mine});
        QTest::qWait(300);
        QCOMPARE(f.w->live().appliedRows(), applied);
        QCOMPARE(f.rowOf(mine), -1);
    }
};

QTEST_MAIN(TstLiveSheet)
#include "tst_livesheet.moc"
