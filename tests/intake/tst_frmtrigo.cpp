#include "WindowFixture.h"

#include "KeyCodes.h"

#include <QTabWidget>
#include <QToolButton>

class TstFrmTrigo : public QObject
{
    Q_OBJECT
private slots:
    void enablingAfterStartup()
    {
        WindowFixture f;
        UtilVextra* t = f.toolbar();
        // The start-up's selection of the first tab ran the tab-0 steps.
        QCOMPARE(f.w->SSTab1()->currentIndex(), 0);
        QVERIFY(t->borrarenabled());
        QVERIFY(t->cancelarenabled());
        QVERIFY(!t->nuevoenabled());
        QVERIFY(!t->grabarenabled());
        QVERIFY(!t->planillaenabled());
        QVERIFY(t->consultaenabled()); // the date box has the focus, its tag is "Fecha"
        QVERIFY(!t->reporteenabled());
        QVERIFY(t->cerrarenabled());
        QVERIFY(f.w->CmdCargar()->isEnabled());
        QVERIFY(!f.w->CmdOrdenar()->isEnabled());
        QVERIFY(!f.w->CmdCompletar()->isEnabled());
        QVERIFY(f.w->box("fecha")->isEnabled());
        QVERIFY(!f.w->box("responsable")->isEnabled());
        QVERIFY(!f.grid()->isEnabled());
        QCOMPARE(f.grid()->Rows(), 30);
        QCOMPARE(f.grid()->Cols(), 16); // the id, 12 typed columns, 3 computed
        QCOMPARE(f.w->mVista, QStringLiteral("v_mv_molvera"));
        QVERIFY(!f.w->mPlanillaCargada);
        QCOMPARE(f.w->windowTitle(), QStringLiteral("MOLVERA"));
        QVERIFY(!f.w->windowIcon().isNull());
        // Today's date stands in the date box.
        QCOMPARE(DateText::parse(f.w->box("fecha")->text()), QDate::currentDate());
        // A later Cancelar on tab 0 (no tab change) leaves them off.
        f.w->ProcesarComando("cancelar");
        QVERIFY(!t->borrarenabled());
        QVERIFY(!t->cancelarenabled());
    }

    void enablingAfterLoadAndTabs()
    {
        WindowFixture f;
        UtilVextra* t = f.toolbar();
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        QVERIFY(f.w->mPlanillaCargada);
        QVERIFY(t->nuevoenabled());
        QVERIFY(t->borrarenabled());
        QVERIFY(t->cancelarenabled());
        QVERIFY(t->reporteenabled()); // the new day has its two rows
        QVERIFY(!t->cerrarenabled());
        QVERIFY(!f.w->CmdCargar()->isEnabled());
        QVERIFY(f.w->CmdOrdenar()->isEnabled());
        QVERIFY(f.w->CmdCompletar()->isEnabled());
        QVERIFY(!f.w->box("fecha")->isEnabled());
        QVERIFY(!f.w->SSTab1()->isTabEnabled(2));
        f.w->SSTab1()->setCurrentIndex(1);
        QVERIFY(!t->borrarenabled());
        QVERIFY(!t->cancelarenabled());
        QVERIFY(t->reporteenabled()); // a sheet is loaded
        f.w->SSTab1()->setCurrentIndex(0);
        QVERIFY(t->borrarenabled());
        QVERIFY(t->cancelarenabled());
        f.w->ProcesarComando("CANCELAR");
        QVERIFY(!f.w->mPlanillaCargada);
        QVERIFY(f.w->SSTab1()->isTabEnabled(2));
        f.w->SSTab1()->setCurrentIndex(2);
        QVERIFY(t->reporteenabled());
        QVERIFY(!t->borrarenabled());
        QVERIFY(f.w->box("FechaDesde")->hasFocus());
        f.w->SSTab1()->setCurrentIndex(1);
        QVERIFY(!t->reporteenabled()); // no sheet loaded
        QVERIFY(!t->nuevoenabled());
    }

    void modifierEnterSwitchesTabs_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("modifier");
        QTest::addColumn<int>("to");
        QTest::newRow("shift on sheet") << 0 << int(Qt::ShiftModifier) << 1;
        QTest::newRow("ctrl on silos") << 1 << int(Qt::ControlModifier) << 0;
        QTest::newRow("alt on report") << 2 << int(Qt::AltModifier) << 0;
    }
    void modifierEnterSwitchesTabs()
    {
        QFETCH(int, from);
        QFETCH(int, modifier);
        QFETCH(int, to);
        WindowFixture f;
        f.w->SSTab1()->setCurrentIndex(from);
        QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : f.w.get();
        QTest::keyClick(focus, Qt::Key_Return, Qt::KeyboardModifiers(modifier));
        QCOMPARE(f.w->SSTab1()->currentIndex(), to);
    }

    void keysWithoutModifierReachTheToolbar()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        const int before = f.rowsOf(QDate(2024, 3, 15));
        QTest::keyClick(f.grid(), Qt::Key_F2); // Nuevo
        QCOMPARE(f.rowsOf(QDate(2024, 3, 15)), before + 1);
        QTest::keyClick(f.grid(), Qt::Key_F2, Qt::ShiftModifier); // a modifier: not offered
        QCOMPARE(f.rowsOf(QDate(2024, 3, 15)), before + 1);
        QTest::keyClick(f.grid(), Qt::Key_F8); // Cancelar
        QVERIFY(!f.w->mPlanillaCargada);
    }

    void resizeRule()
    {
        WindowFixture f;
        f.w->resize(900, 600);
        QCoreApplication::processEvents();
        QVERIFY(f.w->mYaDimensionado);
        QCOMPARE(f.w->Frame2()->width(), 900);
        QCOMPARE(f.w->SSTab1()->width(), 900);
        QVERIFY(f.w->SSTab1()->height() < 600);
        QVERIFY(f.grid()->height() > 100);
        // Very small: sizes that cannot be applied are skipped, the window survives.
        f.w->resize(120, 60);
        QCoreApplication::processEvents();
        QVERIFY(f.w->isVisible());
        f.w->resize(900, 600);
        QCoreApplication::processEvents();
        QVERIFY(f.grid()->height() > 100);
    }
};

QTEST_MAIN(TstFrmTrigo)
#include "tst_frmtrigo.moc"
