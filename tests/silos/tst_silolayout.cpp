#include "SiloLayout.h"

#include <QtTest>

class tst_SiloLayout : public QObject
{
    Q_OBJECT
private slots:
    void summaryColumns_data();
    void summaryColumns();
    void detailedBars_data();
    void detailedBars();
    void usedBar_data();
    void usedBar();
    void tooSmallFrameGivesZeroSizes();
    void summaryRows_data();
    void summaryRows();
    void summaryInRows_data();
    void summaryInRows();
    void detailedBarsKeepAHeight();
};

void tst_SiloLayout::summaryColumns_data()
{
    QTest::addColumn<double>("W");
    QTest::addColumn<double>("H");
    QTest::addColumn<int>("n");
    QTest::addColumn<double>("width");
    QTest::addColumn<QList<double>>("lefts");
    QTest::newRow("three silos in 7545")
        << 7545.0 << 2805.0 << 3 << 2375.0 << QList<double>{195, 2670, 5145};
    QTest::newRow("one silo") << 7545.0 << 2805.0 << 1 << 7405.0 << QList<double>{195};
    // 7545 / 4 = 1886.25: the width keeps its fraction, the lefts add up.
    QTest::newRow("four silos") << 7545.0 << 2805.0 << 4 << 1746.25
                                << QList<double>{195, 2041.25, 3887.5, 5733.75};
}

void tst_SiloLayout::summaryColumns()
{
    QFETCH(double, W);
    QFETCH(double, H);
    QFETCH(int, n);
    QFETCH(double, width);
    QFETCH(QList<double>, lefts);
    QRectF previous;
    for (int k = 0; k < n; ++k) {
        const QRectF bar = SiloLayout::summaryBar(W, H, n, k, previous, 195);
        QCOMPARE(bar.width(), width);
        QCOMPARE(bar.left(), lefts.at(k));
        QCOMPARE(bar.top(), 500.0);
        QCOMPARE(bar.height(), H - 1000);
        const QRectF label = SiloLayout::summaryLabel(bar, 195);
        QCOMPARE(label.left(), bar.left());
        QCOMPARE(label.width(), bar.width());
        QCOMPARE(label.top(), 500 + (H - 1000) + 100);
        QCOMPARE(label.height(), 195.0);
        previous = bar;
    }
}

void tst_SiloLayout::detailedBars_data()
{
    QTest::addColumn<double>("H");
    QTest::addColumn<int>("n");
    QTest::addColumn<double>("height");
    QTest::addColumn<QList<double>>("tops");
    QTest::newRow("three silos") << 2805.0 << 3 << 510.0 << QList<double>{650, 1510, 2370};
    QTest::newRow("one silo") << 2805.0 << 1 << 2380.0 << QList<double>{650};
    QTest::newRow("two silos") << 3000.0 << 2 << 1075.0 << QList<double>{650, 2075};
}

void tst_SiloLayout::detailedBars()
{
    QFETCH(double, H);
    QFETCH(int, n);
    QFETCH(double, height);
    QFETCH(QList<double>, tops);
    const double W = 7545;
    QRectF previous;
    for (int k = 0; k < n; ++k) {
        const QRectF bar = SiloLayout::detailedBar(W, H, n, k, previous);
        QCOMPARE(bar.left(), 195.0);
        QCOMPARE(bar.width(), W - 350);
        QCOMPARE(bar.height(), height);
        QCOMPARE(bar.top(), tops.at(k));
        const QRectF label = SiloLayout::detailedLabel(W, k, bar, 195);
        QCOMPARE(label.left(), 195.0);
        QCOMPARE(label.width(), W - 350);
        QCOMPARE(label.top(), bar.top() - (k == 0 ? 255 : 285));
        previous = bar;
    }
}

void tst_SiloLayout::usedBar_data()
{
    QTest::addColumn<bool>("summary");
    QTest::addColumn<QVariant>("usado");
    QTest::addColumn<QVariant>("capacidad");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("full");
    QTest::addColumn<double>("size");
    // Capacity bar: 7195 wide in the detailed view, 1805 high in the summary view.
    QTest::newRow("detailed, none")
        << false << QVariant() << QVariant(500.0) << false << false << 0.0;
    QTest::newRow("detailed, part") << false << QVariant(380.0) << QVariant(500.0) << true << false
                                    << double(float(380.0 * 7195 / 500));
    QTest::newRow("detailed, full")
        << false << QVariant(500.0) << QVariant(500.0) << true << true << 7195.0;
    QTest::newRow("detailed, over") << false << QVariant(650.0) << QVariant(500.0) << true << true
                                    << double(float(650.0 * 7195 / 500));
    QTest::newRow("summary, part") << true << QVariant(380.0) << QVariant(500.0) << true << false
                                   << double(float(380.0 * 1805 / 500));
    QTest::newRow("summary, over") << true << QVariant(501.0) << QVariant(500.0) << true << true
                                   << double(float(501.0 * 1805 / 500));
    QTest::newRow("capacity 0 with tonnes")
        << true << QVariant(10.0) << QVariant(0.0) << true << true << 1805.0;
    QTest::newRow("capacity null with tonnes")
        << false << QVariant(10.0) << QVariant() << true << true << 7195.0;
    QTest::newRow("capacity null, none")
        << false << QVariant() << QVariant() << false << false << 0.0;
    QTest::newRow("capacity not a number")
        << false << QVariant(3.0) << QVariant("abc") << true << true << 7195.0;
    QTest::newRow("negative total")
        << false << QVariant(-5.0) << QVariant(500.0) << true << false << 0.0;
}

void tst_SiloLayout::usedBar()
{
    QFETCH(bool, summary);
    QFETCH(QVariant, usado);
    QFETCH(QVariant, capacidad);
    QFETCH(bool, visible);
    QFETCH(bool, full);
    QFETCH(double, size);
    const QRectF bar = summary ? QRectF(195, 500, 2375, 1805) : QRectF(195, 650, 7195, 510);
    const SiloLayout::Used u = SiloLayout::usedBar(summary, bar, usado, capacidad);
    QCOMPARE(u.visible, visible);
    QCOMPARE(u.full, full);
    if (summary) {
        QCOMPARE(u.rect.height(), size);
        QCOMPARE(u.rect.width(), bar.width());
        QCOMPARE(u.rect.left(), bar.left());
        // Grows from the bottom of the column.
        QCOMPARE(u.rect.top() + u.rect.height(), bar.top() + bar.height());
    } else {
        QCOMPARE(u.rect.width(), size);
        QCOMPARE(u.rect.height(), bar.height());
        QCOMPARE(u.rect.top(), bar.top());
        QCOMPARE(u.rect.left(), 195.0);
    }
}

void tst_SiloLayout::tooSmallFrameGivesZeroSizes()
{
    // Fifty silos in the design frame: the detailed bars have no height left,
    // but every silo still gets its place, 350 twips below the one before.
    QRectF previous;
    for (int k = 0; k < 50; ++k) {
        const QRectF bar = SiloLayout::detailedBar(7545, 2805, 50, k, previous);
        QCOMPARE(bar.height(), 0.0);
        QCOMPARE(bar.top(), 650.0 + 350 * k);
        previous = bar;
    }
    const QRectF column = SiloLayout::summaryBar(300, 800, 3, 0, {}, 195);
    QCOMPARE(column.width(), 0.0);
    QCOMPARE(column.height(), 0.0);
}

// How many rows the summary columns wrap into so that each is at least
// minWidth wide: one while they fit side by side.
void tst_SiloLayout::summaryRows_data()
{
    QTest::addColumn<double>("W");
    QTest::addColumn<int>("n");
    QTest::addColumn<double>("minWidth");
    QTest::addColumn<int>("rows");
    QTest::newRow("six silos in the design frame") << 7545.0 << 6 << 450.0 << 1;
    QTest::newRow("three silos, wide numbers") << 7545.0 << 3 << 2375.0 << 1;
    QTest::newRow("three silos, one too wide") << 7545.0 << 3 << 2376.0 << 2;
    // At the window's first size (about 1080 px of frame) and at 1200 px.
    QTest::newRow("fifty at 16200") << 16200.0 << 50 << 450.0 << 2;
    QTest::newRow("fifty at 18000") << 18000.0 << 50 << 450.0 << 2;
    QTest::newRow("fifty in the design frame") << 7545.0 << 50 << 450.0 << 5;
    QTest::newRow("fifty, nothing fits") << 500.0 << 50 << 450.0 << 50;
    QTest::newRow("one silo") << 7545.0 << 1 << 450.0 << 1;
}

void tst_SiloLayout::summaryRows()
{
    QFETCH(double, W);
    QFETCH(int, n);
    QFETCH(double, minWidth);
    QFETCH(int, rows);
    QCOMPARE(SiloLayout::summaryRows(W, n, minWidth), rows);
}

// Columns wrapped into rows: the row and column of silo k, its width, and
// its band's height, never below the minimum.
void tst_SiloLayout::summaryInRows_data()
{
    QTest::addColumn<double>("W");
    QTest::addColumn<double>("H");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("rows");
    QTest::addColumn<double>("minHeight");
    QTest::addColumn<int>("k");
    QTest::addColumn<QRectF>("bar");
    // 50 in 2 rows of 25: 16200 / 25 - 140 = 508 wide; bands of (6500 - 500) / 2.
    QTest::newRow("first") << 16200.0 << 6500.0 << 50 << 2 << 600.0 << 0
                           << QRectF(195, 500, 508, 2500);
    QTest::newRow("end of the first row")
        << 16200.0 << 6500.0 << 50 << 2 << 600.0 << 24 << QRectF(195 + 24 * 608, 500, 508, 2500);
    QTest::newRow("start of the second row")
        << 16200.0 << 6500.0 << 50 << 2 << 600.0 << 25 << QRectF(195, 3500, 508, 2500);
    QTest::newRow("last") << 16200.0 << 6500.0 << 50 << 2 << 600.0 << 49
                          << QRectF(195 + 24 * 608, 3500, 508, 2500);
    // 5 rows in a low frame: each band keeps its minimum and reaches below.
    QTest::newRow("low frame") << 7545.0 << 2805.0 << 50 << 5 << 600.0 << 49
                               << QRectF(195 + 9 * 714.5, 500 + 4 * 1100, 614.5, 600);
    QTest::newRow("one row is the design")
        << 7545.0 << 2805.0 << 3 << 1 << 0.0 << 2 << QRectF(5145, 500, 2375, 1805);
}

void tst_SiloLayout::summaryInRows()
{
    QFETCH(double, W);
    QFETCH(double, H);
    QFETCH(int, n);
    QFETCH(int, rows);
    QFETCH(double, minHeight);
    QFETCH(int, k);
    QFETCH(QRectF, bar);
    const QRectF got = SiloLayout::summaryBarInRows(W, H, n, k, 195, rows, minHeight);
    QCOMPARE(got, bar);
    // Its label under it stays above the next row's columns.
    const QRectF label = SiloLayout::summaryLabel(got, 195);
    if (k + (n + rows - 1) / rows < n) {
        const QRectF below =
            SiloLayout::summaryBarInRows(W, H, n, k + (n + rows - 1) / rows, 195, rows, minHeight);
        QVERIFY(label.bottom() < below.top());
    }
}

// Fifty silos in the design frame: bars keep the least height asked for,
// each 350 below the one before, instead of none.
void tst_SiloLayout::detailedBarsKeepAHeight()
{
    QRectF previous;
    for (int k = 0; k < 50; ++k) {
        const QRectF bar = SiloLayout::detailedBar(7545, 2805, 50, k, previous, 180);
        QCOMPARE(bar.height(), 180.0);
        QCOMPARE(bar.top(), 650.0 + 530 * k);
        previous = bar;
    }
    // Where the design's height is larger, it stands.
    QCOMPARE(SiloLayout::detailedBar(7545, 2805, 3, 0, {}, 180).height(), 510.0);
}

QTEST_APPLESS_MAIN(tst_SiloLayout)
#include "tst_silolayout.moc"
