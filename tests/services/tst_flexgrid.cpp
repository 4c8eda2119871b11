#include "FlexGrid.h"
#include "KeyCodes.h"
#include "RecordSet.h"
#include "UtilService.h"

#include <QtTest>

class TstFlexGrid : public QObject
{
    Q_OBJECT
private slots:
    void cellEventsRunInOrder()
    {
        FlexGrid g;
        g.setRows(5);
        g.setCols(4);
        g.setRowCol(2, 1);
        QStringList log;
        g.onLeaveCell = [&] { log << QStringLiteral("leave %1,%2").arg(g.Row()).arg(g.Col()); };
        g.onEnterCell = [&] { log << QStringLiteral("enter %1,%2").arg(g.Row()).arg(g.Col()); };
        g.onRowColChange = [&] { log << QStringLiteral("change"); };
        g.setRow(3);
        QCOMPARE(log, (QStringList{"leave 2,1", "enter 3,1", "change"}));
        log.clear();
        g.setRow(3); // no move, no events
        QVERIFY(log.isEmpty());
        g.setRowSel(4);
        QCOMPARE(g.Row(), 3);
        QCOMPARE(g.RowSel(), 4);
        g.setCol(2); // moving resets the selection
        QCOMPARE(g.RowSel(), 3);
    }

    void keysMoveAndExtend()
    {
        FlexGrid g;
        g.resize(400, 300);
        g.setRows(6);
        g.setCols(4);
        g.setRowCol(2, 1);
        QTest::keyClick(&g, Qt::Key_Up);
        QCOMPARE(g.Row(), 2); // the header rows are never reached
        QTest::keyClick(&g, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(&g, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(g.Row(), 2);
        QCOMPARE(g.RowSel(), 4);
        QTest::keyClick(&g, Qt::Key_Right);
        QCOMPARE(g.Col(), 2);
        QCOMPARE(g.RowSel(), 2);
        QTest::keyClick(&g, Qt::Key_End);
        QCOMPARE(g.Col(), 3);
        int pressed = 0;
        g.onKeyPress = [&](int& c) { pressed = c; };
        QTest::keyClick(&g, Qt::Key_A, Qt::NoModifier);
        QCOMPARE(pressed, int('a'));
        QTest::keyClick(&g, Qt::Key_Return);
        QCOMPARE(pressed, 13);
        int down = 0;
        g.onKeyDown = [&](int& k, int) {
            down = k;
            if (k == KeyCodes::Delete) k = 0;
        };
        QTest::keyClick(&g, Qt::Key_Delete);
        QCOMPARE(down, int(KeyCodes::Delete));
    }

    void textAndHeaders()
    {
        FlexGrid g;
        g.setRows(3);
        g.setCols(3);
        g.setTextMatrix(0, 1, "TN");
        g.setTextMatrix(1, 1, "DESC.");
        g.setTextMatrix(2, 1, "12");
        QCOMPARE(g.TextMatrix(2, 1), QStringLiteral("12"));
        QCOMPARE(g.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("TN\nDESC."));
        g.setTextMatrix(9, 9, "x"); // outside: ignored
        QCOMPARE(g.TextMatrix(9, 9), QString());
        g.setColWidth(0, 0);
        QVERIFY(g.isColumnHidden(0));
        g.setColWidth(1, 720);
        QCOMPARE(g.columnWidth(1), 48);
        QCOMPARE(g.ColWidth(1), 720);
    }

    void genericOrder_data()
    {
        QTest::addColumn<QStringList>("in");
        QTest::addColumn<QStringList>("out");
        QTest::newRow("numbers as numbers") << QStringList{"10", "9", "100"} << QStringList{"9", "10", "100"};
        QTest::newRow("numbers before texts")
            << QStringList{"abc", "10", "Abb", "9"} << QStringList{"9", "10", "Abb", "abc"};
        QTest::newRow("empties last") << QStringList{"", "b", "2"} << QStringList{"2", "b", ""};
        QTest::newRow("decimals") << QStringList{"2.5", "2.25", "-1"} << QStringList{"-1", "2.25", "2.5"};
    }
    void genericOrder()
    {
        QFETCH(QStringList, in);
        QFETCH(QStringList, out);
        FlexGrid g;
        g.setRows(2 + in.size());
        g.setCols(2);
        for (int i = 0; i < in.size(); ++i) {
            g.setTextMatrix(2 + i, 0, QString::number(100 + i));
            g.setTextMatrix(2 + i, 1, in.at(i));
        }
        g.sortRows(2, g.Rows() - 1, {1});
        QStringList got;
        for (int r = 2; r < g.Rows(); ++r) {
            got << g.TextMatrix(r, 1);
            // whole rows move: the id travels with its value
            const int original = g.TextMatrix(r, 0).toInt() - 100;
            QCOMPARE(in.at(original), g.TextMatrix(r, 1));
        }
        QCOMPARE(got, out);
    }

    // A bound record set shows each value as the one-value conversion does,
    // also where numbers repeat from row to row (their texts are shared) and
    // for numbers that are near but not equal (0.1 + 0.2 and 0.3).
    void boundNumbersReadAsTheirValues()
    {
        const QVector<QVariant> values{12.5,       QStringLiteral("12.5"),
                                       0.1 + 0.2,  12.5,
                                       0.3,        -0.0,
                                       0.0,        -0.0,
                                       QVariant(), 1e21,
                                       1e21,       qint64(7)};
        QVector<RecordSet::Field> fields(2);
        fields[0].name = QStringLiteral("A");
        fields[1].name = QStringLiteral("B");
        FlexGrid g;
        g.bind(RecordSet(fields, values));
        QCOMPARE(g.Rows(), FlexGrid::FixedRows + 6);
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(g.TextMatrix(FlexGrid::FixedRows + i / 2, i % 2),
                     UtilService::valueToText(values.at(i)));
        QCOMPARE(g.TextMatrix(FlexGrid::FixedRows + 1, 0), UtilService::valueToText(0.1 + 0.2));
        QVERIFY(g.TextMatrix(FlexGrid::FixedRows + 1, 0) !=
                g.TextMatrix(FlexGrid::FixedRows + 2, 0));
    }
};

QTEST_MAIN(TstFlexGrid)
#include "tst_flexgrid.moc"
