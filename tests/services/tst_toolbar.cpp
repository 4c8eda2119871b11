#include "KeyCodes.h"
#include "UtilVextra.h"

#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

class TstToolbar : public QObject
{
    Q_OBJECT
private slots:
    void startsDisabled()
    {
        UtilVextra t;
        for (const QString& k : UtilVextra::keys()) QVERIFY(!t.button(k)->isEnabled());
        QCOMPARE(UtilVextra::keys().size(), 8);
    }

    void keysPressEnabledButtonsOnly_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("button");
        QTest::newRow("F2") << int(KeyCodes::F2) << "NUEVO";
        QTest::newRow("F3") << int(KeyCodes::F3) << "BORRAR";
        QTest::newRow("F4") << int(KeyCodes::F4) << "CONSULTAR";
        QTest::newRow("F6") << int(KeyCodes::F6) << "REPORTE";
        QTest::newRow("F8") << int(KeyCodes::F8) << "CANCELAR";
        QTest::newRow("F10") << int(KeyCodes::F10) << "CERRAR";
    }
    void keysPressEnabledButtonsOnly()
    {
        QFETCH(int, key);
        QFETCH(QString, button);
        UtilVextra t;
        QSignalSpy spy(&t, &UtilVextra::BotonClick);
        QVERIFY(!t.ProcesarTecla(key));
        QCOMPARE(spy.count(), 0);
        t.button(button)->setEnabled(true);
        QVERIFY(t.ProcesarTecla(key));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), button);
        QVERIFY(t.button(button)->toolTip().contains(QTest::currentDataTag()));
        QVERIFY(!t.ProcesarTecla(KeyCodes::Enter));
        QVERIFY(!t.ProcesarTecla('A'));
    }

    void clicksAndStyle()
    {
        UtilVextra t;
        QSignalSpy spy(&t, &UtilVextra::BotonClick);
        t.setNuevoenabled(true);
        QVERIFY(t.nuevoenabled());
        t.button("NUEVO")->click();
        QCOMPARE(spy.count(), 1);
        t.setStyleBar(0);
        QVERIFY(t.button("NUEVO")->autoRaise());
        t.setStyleBar(1);
        QVERIFY(!t.button("NUEVO")->autoRaise());
    }
};

QTEST_MAIN(TstToolbar)
#include "tst_toolbar.moc"
