#include "DataService.h"
#include "SiloLabel.h"
#include "SiloPanel.h"
#include "TestDb.h"
#include "Twips.h"

#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>

Q_DECLARE_METATYPE(SiloPanel::Arreglo)

// The panel on a scratch database, in a frame of the design size.
class tst_SiloPanel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstElementsExistFromTheStart();
    void threeSilosSummaryGeometry();
    void threeSilosDetailedGeometry();
    void noDepositsLeavesElementZeroEmpty();
    void fullAndOverCapacity_data();
    void fullAndOverCapacity();
    void siloWithoutTruckloadsHidesUsedBar();
    void summaryUsedBarGrowsFromTheBottom();
    void optionsStayInFrontOfTallColumns();
    void switchingViewRebuilds();
    void resizingKeepsViewAndRecomputes();
    void capacityZeroOrNullWithTonnes_data();
    void capacityZeroOrNullWithTonnes();
    void nullCapacityWithoutTonnes();
    void resizeAfterSilosAddedShowsThem();
    void resizeAfterSilosRemovedLeavesThem();
    void depositsQueryFailingLeavesPanel();
    void labelsInLocaleNumberFormat();
    void summaryToolTipHasFigures();
    void fiftySilosRefresh();
    void fiftySilosReadableAndReachable_data();
    void fiftySilosReadableAndReachable();
    void detailedLabelCutHasItWholeInItsTooltip();
    void overCapacityColumnsStayInTheirRow();

private:
    void setDeposits(const QList<QVariantList>& rows);
    void receive(const QString& silo, double tonnes);
    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<QWidget> m_window;
    SiloPanel* m_panel = nullptr;
};

void tst_SiloPanel::initTestCase()
{
    QLocale::setDefault(QLocale::c());
}

void tst_SiloPanel::init()
{
    m_db = std::make_unique<TestDb>();
    m_window = std::make_unique<QWidget>();
    m_window->resize(600, 300);
    m_panel = new SiloPanel(m_db->data(), m_window.get());
    m_panel->setGeometry(Twips::toPx(60), 0, Twips::toPx(7545), Twips::toPx(2805));
    m_window->show();
}

void tst_SiloPanel::cleanup()
{
    m_window.reset();
    m_db.reset();
    QLocale::setDefault(QLocale::c());
}

void tst_SiloPanel::setDeposits(const QList<QVariantList>& rows)
{
    m_db->data().execute(QStringLiteral("delete from v_ta_deposito"));
    for (const QVariantList& r : rows)
        m_db->data().execute(QStringLiteral("insert into v_ta_deposito (iddeposito, descripcion, "
                                            "capacidad) values (?, ?, ?)"),
                             r);
}

void tst_SiloPanel::receive(const QString& silo, double tonnes)
{
    m_db->data().execute(QStringLiteral("insert into v_mv_molvera (Fecha, Toneladas, silodestino) "
                                        "values ('2024-03-15 00:00:00', ?, ?)"),
                         {tonnes, silo});
}

void tst_SiloPanel::firstElementsExistFromTheStart()
{
    QCOMPARE(m_panel->objectName(), QStringLiteral("frmDepositos"));
    QVERIFY(m_panel->optVertical()->isChecked());
    QCOMPARE(m_panel->optVertical()->text(), QStringLiteral("&Resumido"));
    QCOMPARE(m_panel->optHorizontal()->text(), QStringLiteral("&Detallado"));
    for (auto a : {SiloPanel::PicDeposito, SiloPanel::PicUsado, SiloPanel::lblDepositos})
        QCOMPARE(m_panel->count(a), 1);
    QCOMPARE(m_panel->twips(SiloPanel::PicDeposito, 0), QRectF(195, 540, 6975, 285));
    QCOMPARE(m_panel->twips(SiloPanel::lblDepositos, 0), QRectF(195, 330, 6960, 195));
    QCOMPARE(m_panel->backColor(SiloPanel::PicDeposito, 0), QColor(224, 224, 224));
    QCOMPARE(m_panel->backColor(SiloPanel::PicUsado, 0), QColor(0, 0, 255));
    QCOMPARE(m_panel->lblDeposito(0)->text(), QStringLiteral("..."));
    QCOMPARE(m_panel->element(SiloPanel::PicUsado, 0)->parentWidget(), m_panel);
}

void tst_SiloPanel::threeSilosSummaryGeometry()
{
    setDeposits({{"1", "Norte", 500}, {"2", "Sur", 800}, {"3", "Este", 1000}});
    m_panel->MostrarDepositos(false);
    QCOMPARE(m_panel->count(SiloPanel::PicDeposito), 3);
    QCOMPARE(m_panel->count(SiloPanel::PicUsado), 3);
    QCOMPARE(m_panel->count(SiloPanel::lblDepositos), 3);
    const QList<double> lefts{195, 2670, 5145};
    for (int k = 0; k < 3; ++k) {
        const QRectF bar = m_panel->twips(SiloPanel::PicDeposito, k);
        QCOMPARE(bar, QRectF(lefts.at(k), 500, 2375, 1805));
        QCOMPARE(m_panel->twips(SiloPanel::lblDepositos, k), QRectF(lefts.at(k), 2405, 2375, 195));
        QCOMPARE(m_panel->lblDeposito(k)->text(), QString::number(k + 1));
        QVERIFY(m_panel->lblDeposito(k)->alignment() & Qt::AlignHCenter);
        QVERIFY(m_panel->element(SiloPanel::PicDeposito, k)->isVisible());
        QVERIFY(m_panel->lblDeposito(k)->isVisible());
        // The pixels follow the twips: 2375 twips are 158 or 159 pixels.
        const QRect px = m_panel->element(SiloPanel::PicDeposito, k)->geometry();
        QCOMPARE(px.x(), Twips::toPx(lefts.at(k)));
        QVERIFY(qAbs(px.width() - 2375.0 / 15) <= 1);
    }
}

void tst_SiloPanel::threeSilosDetailedGeometry()
{
    setDeposits({{"1", "Norte", 500}, {"2", "Sur", 800}, {"3", "Este", 1000}});
    receive("0001", 100);
    m_panel->optHorizontal()->setChecked(true); // rebuilds
    QCOMPARE(m_panel->count(SiloPanel::PicDeposito), 3);
    const QList<double> tops{650, 1510, 2370};
    for (int k = 0; k < 3; ++k) {
        QCOMPARE(m_panel->twips(SiloPanel::PicDeposito, k), QRectF(195, tops.at(k), 7195, 510));
        QCOMPARE(m_panel->twips(SiloPanel::lblDepositos, k).top(),
                 tops.at(k) - (k == 0 ? 255 : 285));
        QCOMPARE(m_panel->twips(SiloPanel::lblDepositos, k).width(), 7195.0);
    }
    QCOMPARE(m_panel->twips(SiloPanel::PicUsado, 0),
             QRectF(195, 650, double(float(100.0 * 7195 / 500)), 510));
    QCOMPARE(m_panel->lblDeposito(0)->text(),
             QStringLiteral("1 NORTE (Capacidad Total 500 Toneladas) Espacio disponible: 400 "
                            "Toneladas"));
}

void tst_SiloPanel::noDepositsLeavesElementZeroEmpty()
{
    m_panel->MostrarDepositos(false); // the starter deposits
    QCOMPARE(m_panel->count(SiloPanel::PicDeposito), 6);
    receive("0001", 100);
    m_panel->MostrarDepositos(true);
    QVERIFY(m_panel->twips(SiloPanel::PicUsado, 0).height() > 0);
    const QRectF bar0 = m_panel->twips(SiloPanel::PicDeposito, 0);

    setDeposits({});
    m_panel->MostrarDepositos(false);
    for (auto a : {SiloPanel::PicDeposito, SiloPanel::PicUsado, SiloPanel::lblDepositos})
        QCOMPARE(m_panel->count(a), 1);
    QCOMPARE(m_panel->twips(SiloPanel::PicDeposito, 0), bar0); // as last laid out
    QVERIFY(m_panel->element(SiloPanel::PicDeposito, 0)->isVisible());
    QCOMPARE(m_panel->twips(SiloPanel::PicUsado, 0).width(), 0.0);
    QCOMPARE(m_panel->element(SiloPanel::PicUsado, 0)->width(), 0);
    QCOMPARE(m_panel->lblDeposito(0)->text(), QString());
    QCOMPARE(m_panel->lblDeposito(0)->toolTip(), QString());
}

void tst_SiloPanel::fullAndOverCapacity_data()
{
    QTest::addColumn<bool>("summary");
    QTest::addColumn<double>("tonnes");
    QTest::addColumn<bool>("red");
    QTest::addColumn<QString>("free");
    QTest::newRow("detailed, below") << false << 499.0 << false << "1";
    QTest::newRow("detailed, full") << false << 500.0 << true << "0";
    QTest::newRow("detailed, over") << false << 620.5 << true << "-120.5";
    QTest::newRow("summary, below") << true << 499.0 << false << "";
    QTest::newRow("summary, full") << true << 500.0 << true << "";
    QTest::newRow("summary, over") << true << 620.5 << true << "";
}

void tst_SiloPanel::fullAndOverCapacity()
{
    QFETCH(bool, summary);
    QFETCH(double, tonnes);
    QFETCH(bool, red);
    QFETCH(QString, free);
    setDeposits({{"1", "Norte", 500}, {"2", "Sur", 800}});
    receive("0001", tonnes);
    receive("0002", 10);
    if (!summary) m_panel->optHorizontal()->setChecked(true);
    m_panel->MostrarDepositos(false);
    const QColor expected = red ? QColor(255, 0, 0) : QColor(0, 0, 255);
    QCOMPARE(m_panel->backColor(SiloPanel::PicUsado, 0), expected);
    QCOMPARE(m_panel->backColor(SiloPanel::PicUsado, 1), QColor(0, 0, 255));
    QCOMPARE(m_panel->backColor(SiloPanel::PicDeposito, 0), QColor(224, 224, 224));
    const QRectF bar = m_panel->twips(SiloPanel::PicDeposito, 0);
    const QRectF used = m_panel->twips(SiloPanel::PicUsado, 0);
    const double barSize = summary ? bar.height() : bar.width();
    const double usedSize = summary ? used.height() : used.width();
    // Beyond capacity the used part fills its bar, marked, and goes no further.
    QCOMPARE(usedSize, std::min(barSize, double(float(tonnes * barSize / 500))));
    QCOMPARE(usedSize >= barSize, red);
    QCOMPARE(m_panel->overCapacity(0), tonnes > 500);
    QVERIFY(!m_panel->overCapacity(1));
    if (!free.isEmpty())
        QVERIFY2(
            m_panel->lblDeposito(0)->text().endsWith(" Espacio disponible: " + free + " Toneladas"),
            qPrintable(m_panel->lblDeposito(0)->text()));
}

void tst_SiloPanel::siloWithoutTruckloadsHidesUsedBar()
{
    setDeposits({{"1", "Norte", 500}, {"2", "Sur", 800}});
    receive("0001", 50);
    for (bool summary : {true, false}) {
        if (summary)
            m_panel->optVertical()->setChecked(true);
        else
            m_panel->optHorizontal()->setChecked(true);
        m_panel->MostrarDepositos(false);
        QWidget* used = m_panel->element(SiloPanel::PicUsado, 1);
        QVERIFY(!used->isVisible());
        const QRectF tw = m_panel->twips(SiloPanel::PicUsado, 1);
        QCOMPARE(summary ? tw.height() : tw.width(), 0.0);
        QVERIFY(m_panel->element(SiloPanel::PicUsado, 0)->isVisible());
    }
    QCOMPARE(m_panel->lblDeposito(1)->text(),
             QStringLiteral("2 SUR (Capacidad Total 800 Toneladas) Espacio disponible: 800 "
                            "Toneladas"));
}

void tst_SiloPanel::summaryUsedBarGrowsFromTheBottom()
{
    setDeposits({{"1", "Norte", 500}});
    receive("0001", 125);
    m_panel->MostrarDepositos(false);
    const QRectF bar = m_panel->twips(SiloPanel::PicDeposito, 0);
    const QRectF used = m_panel->twips(SiloPanel::PicUsado, 0);
    QCOMPARE(used.height(), double(float(125.0 * 1805 / 500)));
    QCOMPARE(used.top() + used.height(), bar.top() + bar.height());
    QCOMPARE(used.left(), bar.left());
    QCOMPARE(used.width(), bar.width());
    // In front of its capacity bar.
    QWidget* usedW = m_panel->element(SiloPanel::PicUsado, 0);
    QCOMPARE(m_panel->childAt(usedW->geometry().center()), usedW);
}

void tst_SiloPanel::optionsStayInFrontOfTallColumns()
{
    // Three times over capacity: the column stays in its own frame, marked
    // red with white stripes, and leaves the option buttons free.
    setDeposits({{"1", "Norte", 100}});
    receive("0001", 300);
    m_panel->MostrarDepositos(false);
    QWidget* used = m_panel->element(SiloPanel::PicUsado, 0);
    QCOMPARE(used->geometry(), m_panel->element(SiloPanel::PicDeposito, 0)->geometry());
    QVERIFY(!used->geometry().intersects(m_panel->optHorizontal()->geometry()));
    QVERIFY(m_panel->overCapacity(0));
    const QImage img = used->grab().toImage();
    bool red = false, white = false;
    for (int y = 2; y < img.height() - 2; ++y)
        for (int x = 2; x < img.width() - 2; ++x) {
            red = red || img.pixelColor(x, y) == QColor(255, 0, 0);
            white = white || img.pixelColor(x, y) == QColor(255, 255, 255);
        }
    QVERIFY(red && white);
    QCOMPARE(m_panel->childAt(m_panel->optHorizontal()->geometry().center()),
             m_panel->optHorizontal());
    QTest::mouseClick(m_panel->optHorizontal(), Qt::LeftButton);
    QVERIFY(m_panel->optHorizontal()->isChecked());
    QVERIFY(m_panel->lblDeposito(0)->text().endsWith("Espacio disponible: -200 Toneladas"));
}

void tst_SiloPanel::switchingViewRebuilds()
{
    setDeposits({{"1", "Norte", 500}, {"2", "Sur", 800}, {"3", "Este", 1000}});
    m_panel->MostrarDepositos(false);
    QPointer<QWidget> oldSecond = m_panel->element(SiloPanel::PicDeposito, 1);
    QTest::mouseClick(m_panel->optHorizontal(), Qt::LeftButton);
    QVERIFY(m_panel->optHorizontal()->isChecked());
    QVERIFY(oldSecond.isNull()); // removed and created anew
    QCOMPARE(m_panel->count(SiloPanel::PicDeposito), 3);
    QVERIFY(m_panel->lblDeposito(2)->text().startsWith("3 ESTE (Capacidad Total 1000"));
    QCOMPARE(m_panel->twips(SiloPanel::PicDeposito, 2).width(), 7195.0);

    oldSecond = m_panel->element(SiloPanel::PicDeposito, 1);
    QTest::mouseClick(m_panel->optVertical(), Qt::LeftButton);
    QVERIFY(oldSecond.isNull());
    QCOMPARE(m_panel->lblDeposito(2)->text(), QStringLiteral("3"));
    QCOMPARE(m_panel->twips(SiloPanel::PicDeposito, 2).left(), 5145.0);
}

void tst_SiloPanel::resizingKeepsViewAndRecomputes()
{
    setDeposits({{"1", "Norte", 500}, {"2", "Sur", 800}, {"3", "Este", 1000}});
    m_panel->optHorizontal()->setChecked(true);
    QPointer<QWidget> second = m_panel->element(SiloPanel::PicDeposito, 1);
    receive("0002", 400);
    m_panel->resize(Twips::toPx(9045), Twips::toPx(3405));
    m_panel->MostrarDepositos(true);
    QVERIFY(m_panel->optHorizontal()->isChecked());
    QCOMPARE(m_panel->element(SiloPanel::PicDeposito, 1), second.data()); // same elements
    QCOMPARE(m_panel->count(SiloPanel::PicDeposito), 3);
    // 3405 / 3 - 425 = 710 high, 9045 - 350 wide; figures read again.
    QCOMPARE(m_panel->twips(SiloPanel::PicDeposito, 1), QRectF(195, 650 + 710 + 350, 8695, 710));
    QCOMPARE(m_panel->twips(SiloPanel::PicUsado, 1).width(), double(float(400.0 * 8695 / 800)));
    QVERIFY(m_panel->lblDeposito(1)->text().endsWith("Espacio disponible: 400 Toneladas"));
}

void tst_SiloPanel::capacityZeroOrNullWithTonnes_data()
{
    QTest::addColumn<bool>("summary");
    QTest::addColumn<QVariant>("capacity");
    QTest::addColumn<QString>("label");
    QTest::newRow("detailed, 0") << false << QVariant(0)
                                 << "2 SUR (Capacidad Total 0 Toneladas) Espacio disponible: -40 "
                                    "Toneladas";
    QTest::newRow("detailed, null") << false << QVariant()
                                    << "2 SUR (Capacidad Total  Toneladas) Espacio disponible:  "
                                       "Toneladas";
    QTest::newRow("summary, 0") << true << QVariant(0) << "2";
    QTest::newRow("summary, null") << true << QVariant() << "2";
}

void tst_SiloPanel::capacityZeroOrNullWithTonnes()
{
    QFETCH(bool, summary);
    QFETCH(QVariant, capacity);
    QFETCH(QString, label);
    setDeposits({{"1", "Norte", 500}, {"2", "Sur", capacity}, {"3", "Este", 1000}});
    receive("0002", 40);
    receive("0003", 100);
    if (!summary) m_panel->optHorizontal()->setChecked(true);
    m_panel->MostrarDepositos(false);
    // The build goes on past the silo without capacity.
    QCOMPARE(m_panel->count(SiloPanel::PicDeposito), 3);
    QCOMPARE(m_panel->lblDeposito(1)->text(), label);
    QVERIFY(m_panel->element(SiloPanel::PicUsado, 1)->isVisible());
    QCOMPARE(m_panel->backColor(SiloPanel::PicUsado, 1), QColor(255, 0, 0));
    const QRectF bar = m_panel->twips(SiloPanel::PicDeposito, 1);
    const QRectF used = m_panel->twips(SiloPanel::PicUsado, 1);
    QCOMPARE(used, bar); // drawn full
    // The silo after it is laid out and filled as usual.
    QVERIFY(m_panel->element(SiloPanel::PicUsado, 2)->isVisible());
    QCOMPARE(m_panel->backColor(SiloPanel::PicUsado, 2), QColor(0, 0, 255));
    QVERIFY(m_panel->lblDeposito(2)->text().startsWith("3"));
}

void tst_SiloPanel::nullCapacityWithoutTonnes()
{
    setDeposits({{"1", "Norte", QVariant()}});
    m_panel->optHorizontal()->setChecked(true);
    QCOMPARE(m_panel->lblDeposito(0)->text(),
             QStringLiteral("1 NORTE (Capacidad Total  Toneladas) Espacio disponible:  Toneladas"));
    QVERIFY(!m_panel->element(SiloPanel::PicUsado, 0)->isVisible());
}

void tst_SiloPanel::resizeAfterSilosAddedShowsThem()
{
    setDeposits({{"1", "Norte", 500}, {"2", "Sur", 800}});
    m_panel->MostrarDepositos(false);
    QCOMPARE(m_panel->count(SiloPanel::PicDeposito), 2);
    m_db->data().execute(QStringLiteral(
        "insert into v_ta_deposito values ('3', 'Este', 1000), ('4', 'Oeste', 100)"));
    receive("0004", 150);
    m_panel->MostrarDepositos(true);
    for (auto a : {SiloPanel::PicDeposito, SiloPanel::PicUsado, SiloPanel::lblDepositos})
        QCOMPARE(m_panel->count(a), 4);
    // 7545 / 4 - 140 = 1746.25 wide.
    QCOMPARE(m_panel->twips(SiloPanel::PicDeposito, 3).left(), 195 + 3 * 1846.25);
    QCOMPARE(m_panel->twips(SiloPanel::PicDeposito, 0).width(), 1746.25);
    QVERIFY(m_panel->element(SiloPanel::PicDeposito, 3)->isVisible());
    QCOMPARE(m_panel->lblDeposito(3)->text(), QStringLiteral("4"));
    QVERIFY(m_panel->lblDeposito(3)->isVisible());
    QCOMPARE(m_panel->backColor(SiloPanel::PicUsado, 3), QColor(255, 0, 0));
    QVERIFY(!m_panel->element(SiloPanel::PicUsado, 2)->isVisible());
    // The new elements look like element 0.
    QCOMPARE(m_panel->backColor(SiloPanel::PicDeposito, 3), QColor(224, 224, 224));
    QCOMPARE(m_panel->lblDeposito(3)->font(), m_panel->lblDeposito(0)->font());
}

void tst_SiloPanel::resizeAfterSilosRemovedLeavesThem()
{
    setDeposits({{"1", "Norte", 500}, {"2", "Sur", 800}, {"3", "Este", 1000}});
    m_panel->MostrarDepositos(false);
    const QRectF third = m_panel->twips(SiloPanel::PicDeposito, 2);
    m_db->data().execute(QStringLiteral("delete from v_ta_deposito where iddeposito = '3'"));
    m_panel->MostrarDepositos(true);
    QCOMPARE(m_panel->count(SiloPanel::PicDeposito), 3);
    QCOMPARE(m_panel->twips(SiloPanel::PicDeposito, 2), third);
    QCOMPARE(m_panel->twips(SiloPanel::PicDeposito, 1).width(), 7545.0 / 2 - 140);
    m_panel->MostrarDepositos(false);
    QCOMPARE(m_panel->count(SiloPanel::PicDeposito), 2);
}

void tst_SiloPanel::depositsQueryFailingLeavesPanel()
{
    setDeposits({{"1", "Norte", 500}, {"2", "Sur", 800}});
    m_panel->MostrarDepositos(false);
    const QRectF second = m_panel->twips(SiloPanel::PicDeposito, 1);
    m_db->data().execute(QStringLiteral("drop view v_ta_deposito"));
    m_panel->resize(m_panel->width() + 40, m_panel->height());
    m_panel->MostrarDepositos(true); // no dialog, no exception
    QCOMPARE(m_panel->count(SiloPanel::PicDeposito), 2);
    QCOMPARE(m_panel->twips(SiloPanel::PicDeposito, 1), second);
}

void tst_SiloPanel::labelsInLocaleNumberFormat()
{
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    setDeposits({{"1", "Norte", 1500.5}, {"2", "Grande", 12500}});
    receive("0001", 380.2);
    receive("0001", 0.15);
    m_panel->optHorizontal()->setChecked(true);
    QCOMPARE(m_panel->lblDeposito(0)->text(),
             QStringLiteral("1 NORTE (Capacidad Total 1.500,5 Toneladas) Espacio disponible: "
                            "1.120,15 Toneladas"));
    QCOMPARE(m_panel->lblDeposito(1)->text(),
             QStringLiteral("2 GRANDE (Capacidad Total 12.500 Toneladas) Espacio disponible: "
                            "12.500 Toneladas"));
    m_panel->optVertical()->setChecked(true);
    m_panel->MostrarDepositos(false);
    QVERIFY2(m_panel->lblDeposito(1)->toolTip().contains("Capacidad Total: 12.500 Toneladas"),
             qPrintable(m_panel->lblDeposito(1)->toolTip()));
}

void tst_SiloPanel::summaryToolTipHasFigures()
{
    setDeposits({{"1", "Norte", 500}, {"2", "Sur", 800}});
    receive("0001", 380.2);
    m_panel->MostrarDepositos(false);
    const QString tip = m_panel->element(SiloPanel::PicDeposito, 0)->toolTip();
    QVERIFY2(tip.contains("Recibido: 380.2 Toneladas"), qPrintable(tip));
    QVERIFY2(tip.contains("Espacio disponible: 119.8 Toneladas"), qPrintable(tip));
    QCOMPARE(m_panel->lblDeposito(0)->toolTip(), tip);
    QCOMPARE(m_panel->element(SiloPanel::PicUsado, 0)->toolTip(), tip);
    const QString tip2 = m_panel->lblDeposito(1)->toolTip();
    QVERIFY2(tip2.contains("Recibido: 0 Toneladas"), qPrintable(tip2));
    QVERIFY2(tip2.contains("Espacio disponible: 800 Toneladas"), qPrintable(tip2));
    // The detailed view carries its figures in the label.
    m_panel->optHorizontal()->setChecked(true);
    QCOMPARE(m_panel->lblDeposito(0)->toolTip(), QString());
}

void tst_SiloPanel::fiftySilosRefresh()
{
    QList<QVariantList> rows;
    for (int i = 1; i <= 50; ++i)
        rows.push_back({QString::number(i), QStringLiteral("Silo %1").arg(i), 1000 + i});
    setDeposits(rows);
    for (int i = 1; i <= 50; i += 7)
        receive(QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')), 10.0 * i);
    m_panel->MostrarDepositos(false);
    QCOMPARE(m_panel->count(SiloPanel::lblDepositos), 50);
    QCOMPARE(m_panel->lblDeposito(49)->text(), QStringLiteral("50"));
    QVERIFY(m_panel->element(SiloPanel::PicUsado, 7)->isVisible());  // silo 8
    QVERIFY(!m_panel->element(SiloPanel::PicUsado, 8)->isVisible()); // silo 9
    // The detailed view of fifty silos in a small frame still places each
    // label, each bar with a height of its own, and scrolls to the last.
    m_panel->optHorizontal()->setChecked(true);
    QCOMPARE(m_panel->twips(SiloPanel::lblDepositos, 49).top(),
             650 + 49 * (SiloPanel::MinDetallado + 350) - 285.0);
    QVERIFY(m_panel->barraVertical()->isVisibleTo(m_panel));
}

// Fifty silos at the window's first size and at 1200 px, in both views:
// every number and label reads whole, every bar has a size of its own, and
// every silo can be brought into the frame.
void tst_SiloPanel::fiftySilosReadableAndReachable_data()
{
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<bool>("summary");
    QTest::addColumn<int>("rows");
    QTest::newRow("first size, Resumido") << QSize(1072, 440) << true << 2;
    QTest::newRow("first size, Detallado") << QSize(1072, 440) << false << 1;
    QTest::newRow("1200 px, Resumido") << QSize(1180, 560) << true << 2;
    QTest::newRow("1200 px, Detallado") << QSize(1180, 560) << false << 1;
    QTest::newRow("design frame, Resumido") << QSize(503, 187) << true << 5;
}

void tst_SiloPanel::fiftySilosReadableAndReachable()
{
    QFETCH(QSize, frame);
    QFETCH(bool, summary);
    QFETCH(int, rows);
    QList<QVariantList> deposits;
    for (int i = 1; i <= 50; ++i)
        deposits.push_back({QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')),
                            QStringLiteral("Silo %1").arg(i), 1000});
    setDeposits(deposits);
    for (int i = 1; i <= 50; ++i)
        receive(QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')), 10.0 * i);
    m_window->resize(frame + QSize(10, 10));
    m_panel->resize(frame);
    if (!summary) m_panel->optHorizontal()->setChecked(true);
    m_panel->MostrarDepositos(false);
    QCOMPARE(m_panel->count(SiloPanel::PicDeposito), 50);
    if (summary) QCOMPARE(m_panel->filasResumido(), rows);

    QScrollBar* scroll = m_panel->barraVertical();
    const bool scrolls = scroll->isVisibleTo(m_panel);
    const int reach = scrolls ? scroll->maximum() : 0;
    for (int k = 0; k < 50; ++k) {
        QLabel* label = m_panel->lblDeposito(k);
        QWidget* bar = m_panel->element(SiloPanel::PicDeposito, k);
        QVERIFY2(bar->height() > 0 && bar->width() > 0, qPrintable(QString::number(k)));
        if (summary) {
            // The whole silo number under its column.
            QCOMPARE(label->text(), QStringLiteral("%1").arg(k + 1, 4, 10, QLatin1Char('0')));
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->text()));
        }
        // Inside the frame's width, and within reach of the scroll bar.
        const int right = scrolls ? m_panel->width() - scroll->width() : m_panel->width();
        QVERIFY(bar->geometry().right() < right);
        const QRectF tw = m_panel->twips(SiloPanel::lblDepositos, k);
        QVERIFY2(Twips::toPx(tw.top() + tw.height()) - reach <= m_panel->height(),
                 qPrintable(QString::number(k)));
    }
    // The last silo scrolled into view really is there.
    if (scrolls) {
        scroll->setValue(scroll->maximum());
        const QRect last = m_panel->lblDeposito(49)->geometry();
        QVERIFY(last.top() >= 0 && last.bottom() <= m_panel->height());
        const QRect bar = m_panel->element(SiloPanel::PicDeposito, 49)->geometry();
        QVERIFY(bar.top() >= 0 && bar.bottom() <= m_panel->height());
    }
    // Without more silos than fit, no scroll bar: six in the same frame.
    setDeposits(deposits.mid(0, 6));
    m_panel->MostrarDepositos(false);
    QVERIFY(!scroll->isVisibleTo(m_panel));
    QCOMPARE(m_panel->filasResumido(), 1);
}

// A detailed label longer than its line goes on to more lines, broken
// between its parts (never inside a figure with its name and unit); the bars
// move down so that no label is under a bar. A single word wider than the
// frame is cut with "…" and the tooltip has the whole text.
void tst_SiloPanel::detailedLabelCutHasItWholeInItsTooltip()
{
    setDeposits({{"1", "Silo de la cooperativa del sudeste", 500},
                 {"2", "Sur", 800},
                 {"3", QString(90, u'M'), 900}});
    receive("0001", 100);
    m_db->data().execute("UPDATE v_mv_molvera SET humedad = 13.25, pesohect = 78.5, "
                         "fallingnumber = 310 WHERE silodestino = '0001'");
    m_panel->optHorizontal()->setChecked(true);
    m_panel->MostrarDepositos(false);
    auto* label = static_cast<SiloLabel*>(m_panel->lblDeposito(0));
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) > label->width());
    const QStringList lines = SiloLabel::lines(label->text(), label->fontMetrics(), label->width());
    QVERIFY(lines.size() > 1);
    QCOMPARE(lines.join(u' ').simplified(), label->text().simplified());
    for (const QString& l : lines)
        QVERIFY2(label->fontMetrics().horizontalAdvance(l) <= label->width(), qPrintable(l));
    for (const QString figure :
         {"Peso hect. 78.50 kg/hl", "Falling number 310 s", "Humedad 13.25 %",
          "(Capacidad Total 500 Toneladas)", "Espacio disponible: 400 Toneladas"}) {
        bool whole = false;
        for (const QString& l : lines)
            whole = whole || l.contains(figure);
        QVERIFY2(whole, qPrintable(figure + " | " + lines.join(" | ")));
    }
    QCOMPARE(label->toolTip(), QString());
    // Every label above its own bar, under none.
    for (int k = 0; k < 3; ++k) {
        const QRect l = m_panel->lblDeposito(k)->geometry();
        QVERIFY(static_cast<SiloLabel*>(m_panel->lblDeposito(k))->heightFor(l.width()) <=
                l.height());
        for (int j = 0; j < 3; ++j)
            for (auto array : {SiloPanel::PicDeposito, SiloPanel::PicUsado})
                QVERIFY2(!l.intersects(m_panel->element(array, j)->geometry()),
                         qPrintable(QStringLiteral("label %1, bar %2").arg(k).arg(j)));
    }
    // A word wider than the frame: cut with its mark, whole in the tooltip.
    QLabel* wide = m_panel->lblDeposito(2);
    QVERIFY(static_cast<SiloLabel*>(wide)->cut());
    QCOMPARE(wide->toolTip(), wide->text());
    // Wide enough, the text reads on one line.
    m_window->resize(1400, 300);
    m_panel->resize(1380, m_panel->height());
    m_panel->MostrarDepositos(true);
    QCOMPARE(SiloLabel::lines(label->text(), label->fontMetrics(), label->width()).size(), 1);
}

// Fifty silos in Resumido, every fifth far over capacity, in a frame of a
// 1366x768 window: no bar reaches over a silo number, drawn or laid out.
void tst_SiloPanel::overCapacityColumnsStayInTheirRow()
{
    QList<QVariantList> deposits;
    for (int i = 1; i <= 50; ++i)
        deposits.push_back({QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')),
                            QStringLiteral("Silo %1").arg(i), 100});
    setDeposits(deposits);
    for (int i = 1; i <= 50; ++i)
        receive(QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')), i % 5 == 4 ? 400.0 : 50.0);
    m_window->resize(1360, 560);
    m_panel->resize(1340, 540);
    m_panel->MostrarDepositos(false);
    QVERIFY(m_panel->filasResumido() > 1);
    const QImage img = m_panel->grab().toImage();
    for (int k = 0; k < 50; ++k) {
        const QRect label = m_panel->lblDeposito(k)->geometry();
        for (int j = 0; j < 50; ++j)
            QVERIFY2(
                !label.intersects(m_panel->element(SiloPanel::PicUsado, j)->geometry()),
                qPrintable(QStringLiteral("silo %1 under the bar of %2").arg(k + 1).arg(j + 1)));
        QVERIFY(m_panel->element(SiloPanel::PicDeposito, k)
                    ->geometry()
                    .contains(m_panel->element(SiloPanel::PicUsado, k)->geometry()));
        QCOMPARE(m_panel->overCapacity(k), k % 5 == 3);
        for (int y = label.top(); y <= label.bottom(); ++y)
            for (int x = label.left(); x <= label.right(); ++x) {
                const QColor c = img.pixelColor(x, y);
                QVERIFY2(c != QColor(255, 0, 0) && c != QColor(0, 0, 255),
                         qPrintable(QStringLiteral("a bar's colour on silo %1").arg(k + 1)));
            }
    }
}

QTEST_MAIN(tst_SiloPanel)
#include "tst_silopanel.moc"
