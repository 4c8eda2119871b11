#pragma once

#include "CellEditor.h"
#include "WindowFixture.h"

// The intake window fixture with the helpers of the desk additions' tests.
struct ExtrasFixture : WindowFixture {
    static QDate dia() { return QDate(2024, 3, 15); }

    TextBox* editor() const { return w->TxtEdit(); }

    bool loadDay(const QDate& d = dia()) { return WindowFixture::loadDay(d); }
    int rowOf(qint64 id) const
    {
        for (int r = FlexGrid::FixedRows; r < grid()->Rows(); ++r)
            if (idAt(r) == id) return r;
        return -1;
    }
    // Types a value into a cell as an operator does: the first key opens the
    // editor, Enter ends the edit. Answers whether the editor closed.
    bool typeInto(int row, int col, const QString& text)
    {
        grid()->setRowCol(row, col);
        QTest::keyClick(grid(), Qt::Key_Return);
        if (!editor()->isVisible()) return false;
        editor()->setText(text);
        QTest::keyClick(editor(), Qt::Key_Return);
        QCoreApplication::processEvents(); // what the event loop runs after the key
        return !editor()->isVisible();
    }

    // An intake row of the day written as another program would.
    qint64 addRow(DataService& d, const QDate& day, const QVariantMap& cols = {})
    {
        QStringList names{"Fecha", "responsable", "fecha_alta"};
        QVariantList values{QDateTime(day, QTime(0, 0)), "OTRA", QDateTime::currentDateTime()};
        for (auto it = cols.begin(); it != cols.end(); ++it) {
            names << it.key();
            values << it.value();
        }
        return d.insertReturningId(QStringLiteral("mv_molvera"), names, values);
    }
};
