#include "WindowFixture.h"

#include "SiloPanel.h"

#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QWindow>

// Keys take the route a person's keys take: the focus is put where an
// operator's would be and each key goes to the focused widget, through the
// window's key preview and the propagation to the parents; the database is
// read afterwards.
class TstKeyRoute : public QObject
{
    Q_OBJECT

    static QWidget* foco()
    {
        QWidget* w = QApplication::focusWidget();
        if (!w) qFatal("nothing has the focus");
        return w;
    }
    static void press(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        QTest::keyClick(foco(), k, m);
    }
    // Each character to whatever has the focus when it is typed.
    static void type(const QString& text)
    {
        for (QChar c : text) QTest::keyClicks(foco(), QString(c));
    }
    static const QDate dia() { return QDate(2024, 3, 15); }
    static QString sellerOf(WindowFixture& f, int row)
    {
        return f.column(f.idAt(row), "vendedor").toString();
    }

private slots:
    void commandKeysRunOnceFromAnOpenEdit()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(dia()));
        const qint64 first = f.idAt(2);
        // F2 while the tonnes of the first row are typed: the edit is written,
        // one row is added, and the keyboard is in the grid on the new row.
        type("7");
        QVERIFY(f.w->TxtEdit()->isVisible());
        press(Qt::Key_F2);
        QCOMPARE(f.rowsOf(dia()), 3);
        QCOMPARE(f.column(first, "toneladas").toDouble(), 7.0);
        QVERIFY(!f.w->TxtEdit()->isVisible());
        QCOMPARE(foco(), f.grid());
        QCOMPARE(f.grid()->Row(), 4);
        // The new row holds the tonnes it shows.
        const qint64 added = f.idAt(4);
        QCOMPARE(f.column(added, "toneladas").toString(), QStringLiteral("0"));
        QCOMPARE(f.grid()->TextMatrix(4, 1), QStringLiteral("0"));
        type("9");
        press(Qt::Key_Return);
        QCOMPARE(f.column(added, "toneladas").toDouble(), 9.0);

        // F3 while the second row is being edited: one question, and Yes
        // deletes the row the cursor is on, nothing else.
        f.grid()->setRowCol(3, 2);
        const qint64 second = f.idAt(3);
        type("Borrado");
        f.dialogs.clear();
        f.dialogs.messageAnswers << Dialogs::Yes;
        press(Qt::Key_F3);
        QCOMPARE(f.dialogs.count("message"), 1);
        QCOMPARE(f.rowsOf(dia()), 2);
        QVERIFY(f.column(second, "ID").isNull());
        QCOMPARE(f.column(first, "toneladas").toDouble(), 7.0);

        // F4 on the seller cell being typed: one pick list.
        f.grid()->setRowCol(2, 2);
        type("Ac");
        f.dialogs.clear();
        press(Qt::Key_F4);
        QCOMPARE(f.dialogs.count("exec"), 1);
        // A value refused by the validation keeps the editor and its keyboard;
        // the command does not run.
        f.grid()->setRowCol(2, 11);
        type("77");
        f.dialogs.clear();
        press(Qt::Key_F2);
        QCOMPARE(f.rowsOf(dia()), 2);
        QCOMPARE(foco(), f.w->TxtEdit());
        QVERIFY(f.w->TxtEdit()->isVisible());
    }

    void commandKeysRunOnceFromTheHeaderBoxes()
    {
        WindowFixture f;
        // F3 with no sheet (Borrar is on after start-up): one message.
        QCOMPARE(foco(), f.w->box("fecha"));
        press(Qt::Key_F3);
        QCOMPARE(f.dialogs.count("message"), 1);
        // F4 in the date box: the date chooser once; Cancel changes nothing.
        f.dialogs.clear();
        press(Qt::Key_F4);
        QCOMPARE(f.dialogs.count("date"), 1);
        // F6 in a report range box: one report (here: one message that no
        // printer is available).
        f.w->SSTab1()->setCurrentIndex(2);
        QCOMPARE(foco(), f.w->box("FechaDesde"));
        f.dialogs.clear();
        press(Qt::Key_F6);
        QCOMPARE(f.dialogs.shown.size(), 1);
    }

    void modifierEnterSwitchesOnce()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(dia()));
        QTabWidget* tabs = f.w->SSTab1();
        // From an open edit: written first, then the silo tab.
        type("12");
        press(Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(f.column(f.idAt(2), "toneladas").toDouble(), 12.0);
        QVERIFY(!f.w->TxtEdit()->isVisible());
        // From an option button of the silo tab.
        f.w->frmDepositos()->optHorizontal()->setFocus();
        press(Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(foco(), f.grid());
        // From the tab bar.
        tabs->tabBar()->setFocus();
        press(Qt::Key_Return, Qt::AltModifier);
        QCOMPARE(tabs->currentIndex(), 1);
        // A refused value keeps the sheet in front with its editor.
        press(Qt::Key_Return, Qt::AltModifier);
        f.grid()->setRowCol(2, 11);
        type("77");
        press(Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(foco(), f.w->TxtEdit());
    }

    void tabWritesAndMovesAcross()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(dia()));
        f.grid()->setRowCol(2, 2);
        type("Juan");
        press(Qt::Key_Tab);
        // Written, the editor closed and the keyboard in the grid.
        QCOMPARE(sellerOf(f, 2), QStringLiteral("Juan"));
        QVERIFY(!f.w->TxtEdit()->isVisible());
        QCOMPARE(foco(), f.grid());
        type("Pergamino");
        press(Qt::Key_Return);
        type("Pedro");
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(f.grid()->Col(), 3);
        type("Arrecifes");
        press(Qt::Key_Return);
        const qint64 id = f.idAt(2);
        QCOMPARE(sellerOf(f, 2), QStringLiteral("Juan"));
        QCOMPARE(f.column(id, "procedencia").toString(), QStringLiteral("Arrecifes"));
        QCOMPARE(f.column(id, "camionero").toString(), QStringLiteral("Pedro"));
        // Tab in the grid moves across and keeps the keyboard there; from the
        // last reading it goes on to the next row.
        press(Qt::Key_Tab);
        QCOMPARE(f.grid()->Col(), 5);
        QCOMPARE(foco(), f.grid());
        f.grid()->setRowCol(2, 12);
        type("x");
        press(Qt::Key_Tab);
        QCOMPARE(f.grid()->Row(), 3);
        QCOMPARE(f.grid()->Col(), 1);
    }

    void keysTypedAheadReachTheirCells()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(dia()));
        // All typed before the first is handled, as a scanner or a busy
        // moment gives them: each is routed to the focus when it is taken.
        QWindow* win = f.w->windowHandle();
        QVERIFY(win);
        const QString keys = QStringLiteral("21\n35\nP1\n12\n");
        for (QChar c : keys) {
            const int k = c == u'\n' ? int(Qt::Key_Return) : c.unicode();
            const QString text = c == u'\n' ? QStringLiteral("\r") : QString(c);
            QCoreApplication::postEvent(win, new QKeyEvent(QEvent::KeyPress, k, Qt::NoModifier, text));
            QCoreApplication::postEvent(win,
                                        new QKeyEvent(QEvent::KeyRelease, k, Qt::NoModifier, text));
        }
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
        const qint64 id = f.idAt(2);
        QCOMPARE(f.column(id, "toneladas").toDouble(), 21.0);
        QCOMPARE(f.column(id, "vendedor").toString(), QStringLiteral("35"));
        QCOMPARE(f.column(id, "procedencia").toString(), QStringLiteral("P1"));
        QCOMPARE(f.column(id, "camionero").toString(), QStringLiteral("12"));
    }

    void ejecutarLoadsTheTypedDate()
    {
        WindowFixture f;
        QToolButton* ejecutar = f.w->CmdCargar();
        // A click.
        f.w->box("fecha")->setText("15/03/2024");
        QTest::mouseClick(ejecutar, Qt::LeftButton);
        QCOMPARE(f.rowsOf(dia()), 2);
        QVERIFY(f.w->mPlanillaCargada);
        QCOMPARE(foco(), f.grid());
        // Space on the focused button, after Cancelar.
        press(Qt::Key_F8);
        f.w->box("fecha")->setText("16/03/2024");
        ejecutar->setFocus();
        press(Qt::Key_Space);
        QCOMPARE(f.rowsOf(dia().addDays(1)), 2);
        // Alt+E from the date box; a wrong date is said and loads nothing.
        press(Qt::Key_F8);
        f.w->box("fecha")->setText("31/02/2024");
        f.dialogs.clear();
        press(Qt::Key_E, Qt::AltModifier); // the button is pressed a moment later
        QTRY_COMPARE(f.dialogs.messageTexts(), QStringList{"¡¡¡Debe ingresar una fecha válida!!!"});
        QVERIFY(!f.w->mPlanillaCargada);
        f.w->box("fecha")->setText("17/03/2024");
        press(Qt::Key_E, Qt::AltModifier);
        QTRY_COMPARE(f.rowsOf(dia().addDays(2)), 2);
    }

    void loadingFromTheReportTabShowsTheSheet()
    {
        WindowFixture f;
        f.w->SSTab1()->setCurrentIndex(2);
        f.w->box("fecha")->setFocus();
        f.w->box("fecha")->setText("15/03/2024");
        press(Qt::Key_Return);
        QCOMPARE(f.w->SSTab1()->currentIndex(), 0);
        QVERIFY(f.grid()->isVisible());
        QCOMPARE(foco(), f.grid());
        QVERIFY(f.toolbar()->borrarenabled());
        QVERIFY(f.toolbar()->cancelarenabled());
        QVERIFY(!f.w->SSTab1()->isTabEnabled(2));
    }
};

QTEST_MAIN(TstKeyRoute)
#include "tst_keyroute.moc"
