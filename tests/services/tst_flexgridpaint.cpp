#include "FlexGrid.h"

#include <QApplication>
#include <QLineEdit>
#include <QPaintEvent>
#include <QVBoxLayout>
#include <QtTest>

// What the grid paints: the selection colours with and without the focus, the
// cell texts, and how much is painted again when the focus comes and goes.
class TstFlexGridPaint : public QObject
{
    Q_OBJECT

    struct Window {
        QWidget top;
        FlexGrid* grid;
        QLineEdit* other;
        Window()
        {
            auto* lay = new QVBoxLayout(&top);
            grid = new FlexGrid;
            other = new QLineEdit;
            lay->addWidget(grid);
            lay->addWidget(other);
            top.resize(500, 400);
            grid->setRows(12);
            grid->setCols(4);
            for (int r = 2; r < 12; ++r)
                for (int c = 0; c < 4; ++c)
                    grid->setTextMatrix(r, c, QStringLiteral("%1-%2").arg(r).arg(c));
            for (int c = 0; c < 4; ++c)
                grid->setColWidth(c, 1500);
            grid->setRowCol(3, 1);
            grid->setRowSel(5);
            top.show();
            QApplication::setActiveWindow(&top);
            grid->setFocus();
            QCoreApplication::processEvents();
        }
        QColor at(int row, int col, int dx = 2, int dy = 2)
        {
            const QImage img = grid->viewport()->grab().toImage();
            const QRect r = grid->visualRect(grid->model()->index(row - FlexGrid::FixedRows, col));
            return img.pixelColor(r.topLeft() + QPoint(dx, dy));
        }
    };

    struct PaintLog : QObject {
        QRegion painted;
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint) {
                painted += static_cast<QPaintEvent*>(e)->region();
                ++paints;
            }
            return false;
        }
    };

private slots:
    void selectionKeepsItsColourWithoutTheFocus()
    {
        Window w;
        const QColor blue(0x1e, 0x5a, 0xa8);
        QCOMPARE(w.at(4, 1), blue); // selected, not the current cell's frame
        QVERIFY(w.at(8, 1) != blue);
        w.other->setFocus();
        QCoreApplication::processEvents();
        QCOMPARE(w.at(4, 1), blue);
        QVERIFY(w.at(8, 1) != blue);
    }

    void textsArePaintedInTheirCells()
    {
        Window w;
        // Some pixel of the cell's text differs from the cell's background:
        // light on the selection, dark elsewhere.
        auto inked = [&](int row, int col, bool light) {
            const QImage img = w.grid->viewport()->grab().toImage();
            const QRect r =
                w.grid->visualRect(w.grid->model()->index(row - FlexGrid::FixedRows, col));
            for (int x = r.left() + 2; x < r.right() - 1; ++x)
                for (int y = r.top() + 2; y < r.bottom() - 1; ++y) {
                    const int v = qGray(img.pixel(x, y));
                    if (light ? v > 200 : v < 100) return true;
                }
            return false;
        };
        QVERIFY(inked(4, 1, true));
        QVERIFY(inked(8, 2, false));
        w.grid->setTextMatrix(8, 2, QString());
        QCoreApplication::processEvents();
        QVERIFY(!inked(8, 2, false));

        // Texts are kept laid out between paints: a cell shows its own text
        // after a change, and the same text looks the same in every cell of a
        // column.
        auto cell = [&](int row, int col) {
            const QRect r =
                w.grid->visualRect(w.grid->model()->index(row - FlexGrid::FixedRows, col));
            return w.grid->viewport()->grab(r).toImage();
        };
        w.grid->setTextMatrix(9, 2, QStringLiteral("17,5"));
        w.grid->setTextMatrix(10, 2, QStringLiteral("71,5"));
        QCoreApplication::processEvents();
        const QImage a = cell(9, 2), b = cell(10, 2);
        QVERIFY(a != b);
        w.grid->setTextMatrix(10, 2, QStringLiteral("17,5"));
        QCoreApplication::processEvents();
        QCOMPARE(cell(10, 2), a);
    }

    void rowsAddedBelowTheViewPaintNothing()
    {
        Window w;
        PaintLog log;
        w.grid->viewport()->installEventFilter(&log);
        // A row added in view shows its text.
        w.grid->setRows(14);
        w.grid->setTextMatrix(13, 1, QStringLiteral("nueva"));
        QTRY_VERIFY(log.paints > 0);
        const QImage img = w.grid->viewport()->grab().toImage();
        const QRect r = w.grid->visualRect(w.grid->model()->index(13 - FlexGrid::FixedRows, 1));
        bool inked = false;
        for (int x = r.left() + 2; x < r.right() - 1 && !inked; ++x)
            for (int y = r.top() + 2; y < r.bottom() - 1 && !inked; ++y)
                inked = qGray(img.pixel(x, y)) < 100;
        QVERIFY(inked);

        // Rows added below the view: nothing painted, and the view stays
        // where the operator put it, away from the cursor.
        w.grid->setRows(300);
        QCoreApplication::processEvents();
        w.grid->setTopRow(200);
        QCoreApplication::processEvents();
        QCOMPARE(w.grid->TopRow(), 200);
        log.painted = {};
        log.paints = 0;
        w.grid->setRows(305);
        QCoreApplication::processEvents();
        QCOMPARE(w.grid->TopRow(), 200);
        QCOMPARE(log.paints, 0);
        // Rows taken out: all is painted again.
        w.grid->setRows(250);
        QCoreApplication::processEvents();
        QCOMPARE(log.painted.boundingRect(), w.grid->viewport()->rect());
    }

    void focusChangesRepaintOnlyTheCurrentCell()
    {
        Window w;
        PaintLog log;
        w.grid->viewport()->installEventFilter(&log);
        const QRect current =
            w.grid->visualRect(w.grid->model()->index(3 - FlexGrid::FixedRows, 1));
        w.other->setFocus();
        QCoreApplication::processEvents();
        w.grid->setFocus();
        QCoreApplication::processEvents();
        QVERIFY(log.paints > 0);
        QVERIFY2(current.contains(log.painted.boundingRect()),
                 qPrintable(QStringLiteral("painted %1,%2 %3x%4")
                                .arg(log.painted.boundingRect().x())
                                .arg(log.painted.boundingRect().y())
                                .arg(log.painted.boundingRect().width())
                                .arg(log.painted.boundingRect().height())));
    }
};

QTEST_MAIN(TstFlexGridPaint)
#include "tst_flexgridpaint.moc"
