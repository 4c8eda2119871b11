// The sheet as the operator sees it: every text whole in its column, the
// view's room used, the tonnes on the same line as the other texts, no row
// under the header after a scroll; the window inside the screen's available
// area, and every control within reach on a screen too small for it.
#include "FlexGrid.h"
#include "WindowFixture.h"
#include "WindowPlacement.h"

#include <QHeaderView>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QWheelEvent>

namespace
{

const QDate kDia(2024, 3, 15);

void addRows(DataService& d, int n)
{
    for (int i = 1; i <= n; ++i)
        d.execute(QStringLiteral("INSERT INTO v_mv_molvera (Fecha, Toneladas, vendedor, "
                                 "procedencia, camionero, silodestino) VALUES (?,?,?,?,?,?)"),
                  {QDateTime(kDia, QTime()), 27.882,
                   QStringLiteral("Vendedor número %1 de la cooperativa").arg(i),
                   QStringLiteral("Procedencia %1").arg(i),
                   QStringLiteral("Transportes Unidos Hermanos %1").arg(i),
                   QStringLiteral("0001")});
}

// The texts the grid would cut: wider than their cell leaves them.
QStringList cut(const FlexGrid* g)
{
    const int margin = g->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, g) + 1;
    QStringList out;
    for (int c = 1; c < g->Cols(); ++c) {
        if (g->isColumnHidden(c)) continue;
        for (int r = FlexGrid::FixedRows; r < g->Rows(); ++r) {
            const QString t = g->TextMatrix(r, c);
            if (g->fontMetrics().horizontalAdvance(t) > g->columnWidth(c) - 2 * margin)
                out << QStringLiteral("%1,%2 %3").arg(r).arg(c).arg(t);
        }
        if (g->horizontalHeader()->sectionSizeHint(c) > g->columnWidth(c))
            out << QStringLiteral("header %1").arg(c);
    }
    return out;
}

int shownWidth(const FlexGrid* g)
{
    int sum = 0;
    for (int c = 0; c < g->Cols(); ++c)
        if (!g->isColumnHidden(c)) sum += g->columnWidth(c);
    return sum;
}

// The rows of a cell's image that hold ink (darker than the background).
QPair<int, int> inkRows(const QImage& img, const QRect& r)
{
    int top = -1, bottom = -1;
    for (int y = r.top() + 1; y < r.bottom(); ++y)
        for (int x = r.left() + 1; x < r.right(); ++x)
            if (qGray(img.pixel(x, y)) < 100) {
                if (top < 0) top = y - r.top();
                bottom = y - r.top();
                break;
            }
    return {top, bottom};
}

} // namespace

class TstSheetLayout : public QObject
{
    Q_OBJECT
private slots:
    void columnsHoldWhatTheyHold()
    {
        WindowFixture f;
        addRows(f.db.data(), 30);
        QVERIFY(f.loadDay(kDia));
        FlexGrid* g = f.grid();
        QCoreApplication::processEvents();
        QCOMPARE(cut(g), QStringList());
        // The room of the view is used, not left empty beside the grid (the
        // computed columns after the typed ones make the grid scroll across
        // at this size).
        QVERIFY2(
            shownWidth(g) >= g->viewport()->width(),
            qPrintable(QStringLiteral("%1 < %2").arg(shownWidth(g)).arg(g->viewport()->width())));
        // A longer value typed: its column grows to hold it.
        const QString largo = QStringLiteral("Cooperativa Agricola Ganadera Limitada del Sudoeste");
        g->setRowCol(2, 4);
        g->setFocus();
        // A key starts a new value; the rest go to the editor it opened.
        QTest::keyClicks(QApplication::focusWidget(), largo.left(1));
        QTest::keyClicks(QApplication::focusWidget(), largo.mid(1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(g->TextMatrix(2, 4), largo);
        QCOMPARE(cut(g), QStringList());
        // Wider and narrower windows: the room shared again, nothing cut
        // (the grid scrolls across when the texts need more than the view).
        for (const QSize s : {QSize(1500, 700), QSize(700, 500), QSize(1100, 640)}) {
            f.w->resize(s);
            QCoreApplication::processEvents();
            QCOMPARE(cut(g), QStringList());
            QVERIFY2(shownWidth(g) >= g->viewport()->width(),
                     qPrintable(
                         QStringLiteral("%1 < %2").arg(shownWidth(g)).arg(g->viewport()->width())));
        }
    }

    // The tonnes and the silo, both figures, on the same line of their row;
    // after a scroll by wheel, by page and to the end, the top row starts
    // right under the header.
    void rowsStayOnTheirLines()
    {
        WindowFixture f;
        addRows(f.db.data(), 60);
        QVERIFY(f.loadDay(kDia));
        FlexGrid* g = f.grid();
        QCoreApplication::processEvents();
        g->setRowCol(5, 2); // no cell of row 2 highlighted
        const QImage img = g->viewport()->grab().toImage();
        const int silo = DailySheet::columnaDe(QStringLiteral("silodestino"));
        const int tn = DailySheet::columnaDe(QStringLiteral("Toneladas"));
        const QModelIndex first = g->model()->index(0, tn);
        const QRect tnCell = g->visualRect(first);
        const QRect siloCell = g->visualRect(g->model()->index(0, silo));
        const auto a = inkRows(img, tnCell), b = inkRows(img, siloCell);
        QVERIFY(a.first >= 0 && b.first >= 0);
        QCOMPARE(a, b);

        QWheelEvent wheel(QPointF(50, 50), g->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                          QPoint(0, -240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        auto topRowStartsUnderTheHeader = [&] {
            QCoreApplication::processEvents();
            QVERIFY(g->TopRow() > FlexGrid::FixedRows);
            QCOMPARE(g->rowViewportPosition(g->TopRow() - FlexGrid::FixedRows), 0);
            QVERIFY(g->horizontalHeader()->geometry().bottom() < g->viewport()->geometry().top());
            QVERIFY(g->horizontalHeader()->height() >= 2 * g->fontMetrics().height());
            QVERIFY(g->rowHeight(0) >= g->fontMetrics().height());
        };
        QApplication::sendEvent(g->viewport(), &wheel);
        topRowStartsUnderTheHeader();
        g->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
        topRowStartsUnderTheHeader();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_End, Qt::ControlModifier);
        topRowStartsUnderTheHeader();
    }

    void theWindowOpensInsideTheScreen()
    {
        const QMargins frame = WindowPlacement::usualFrame();
        // 1024x768 with a task bar; a scale factor of 2 on 1366x768.
        for (const QRect avail :
             {QRect(0, 0, 1024, 728), QRect(0, 0, 683, 384), QRect(1366, 24, 1024, 744)}) {
            const QRect r = WindowPlacement::first(avail, QSize(1100, 640), frame);
            QVERIFY(avail.contains(r.marginsAdded(frame)));
            QVERIFY(r.width() == 1100 || r.width() == avail.width() - frame.left() - frame.right());
        }
        QCOMPARE(WindowPlacement::first(QRect(0, 0, 1920, 1040), QSize(1100, 640), frame).size(),
                 QSize(1100, 640));
        // A frame found larger than the usual one, off the screen's side.
        const QRect avail(0, 0, 1024, 728);
        const QRect inner(300, 100, 900, 640);
        const QRect moved =
            WindowPlacement::within(avail, inner.marginsAdded(QMargins(4, 40, 4, 4)), inner);
        QVERIFY(avail.contains(moved.marginsAdded(QMargins(4, 40, 4, 4))));
        QCOMPARE(moved.size(), QSize(900, 640));
        // Contents laid out at their least size scroll; a bar takes room.
        QCOMPARE(WindowPlacement::contents(QSize(900, 600), QSize(640, 400), 15), QSize(900, 600));
        QCOMPARE(WindowPlacement::contents(QSize(500, 600), QSize(640, 400), 15), QSize(640, 585));
        QCOMPARE(WindowPlacement::contents(QSize(500, 380), QSize(640, 400), 15), QSize(640, 400));
    }

    // A window smaller than its contents' least size scrolls them: every
    // control of the header band and every tab is within reach.
    void everyControlWithinReach()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(kDia));
        f.w->resize(500, 360);
        QCoreApplication::processEvents();
        auto* area = f.w->findChild<QScrollArea*>(QStringLiteral("Contenido"));
        QVERIFY(area);
        QWidget* content = area->widget();
        QVERIFY(content->width() >= f.w->leastContents().width());
        QVERIFY(area->horizontalScrollBar()->maximum() > 0);
        QCOMPARE(area->horizontalScrollBar()->maximum(),
                 content->width() - area->viewport()->width());
        const QList<QWidget*> controls = {f.w->CmdCargar(),    f.w->CmdOrdenar(),
                                          f.w->CmdCompletar(), f.w->box("responsable"),
                                          f.w->UtilVextra1(),  f.w->SSTab1()->tabBar()};
        for (QWidget* c : controls) {
            const QRect r(c->mapTo(content, QPoint(0, 0)), c->size());
            QVERIFY2(content->rect().contains(r), qPrintable(c->objectName()));
        }
        // Back to a roomy window: nothing scrolls.
        f.w->resize(1100, 640);
        QCoreApplication::processEvents();
        QCOMPARE(area->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(area->verticalScrollBar()->maximum(), 0);
        QCOMPARE(f.w->Frame2()->width(), 1100);
    }
};

QTEST_MAIN(TstSheetLayout)
#include "tst_sheetlayout.moc"
