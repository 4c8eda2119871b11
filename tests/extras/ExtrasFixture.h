#pragma once

#include "CellEditor.h"
#include "DailySheet.h"
#include "DataService.h"
#include "FlexGrid.h"
#include "IniReader.h"
#include "Lib_ClsCons3.h"
#include "ModGlobal.h"
#include "ScriptedDialogs.h"
#include "TestDb.h"
#include "TextBox.h"
#include "frmTrigo.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

// A real intake window over a fresh database (embedded, or the PostgreSQL
// test server), loaded as at start-up, shown offscreen, dialogs scripted.
struct ExtrasFixture {
    QTemporaryDir iniDir;
    ScriptedDialogs dialogs;
    TestDb db;
    Lib_ClsCons3 lookup{&db.data()};
    std::unique_ptr<frmTrigo> w;

    static QDate dia() { return QDate(2024, 3, 15); }

    ExtrasFixture()
    {
        ModGlobal::reset();
        ModGlobal::gUsuarioLogeado.clear();
        IniReader::setSearchFolders({iniDir.path()});
        w = std::make_unique<frmTrigo>(db.data(), lookup, nullptr);
        if (!w->Load()) qFatal("window did not load");
        w->box("responsable")->setText(QStringLiteral("ANA"));
        w->show();
        QApplication::setActiveWindow(w.get());
        QCoreApplication::processEvents();
    }
    ~ExtrasFixture()
    {
        w->hide();
        QApplication::processEvents();
        IniReader::setSearchFolders({});
    }

    FlexGrid* grid() const { return w->MSflexGrid1(); }
    TextBox* editor() const { return w->TxtEdit(); }

    bool loadDay(const QDate& d = dia())
    {
        w->box("Fecha")->setText(d.toString("d/M/yyyy"));
        return w->sheet().Cargar();
    }
    qint64 idAt(int row) const { return grid()->TextMatrix(row, 0).toLongLong(); }
    int rowOf(qint64 id) const
    {
        for (int r = FlexGrid::FixedRows; r < grid()->Rows(); ++r)
            if (idAt(r) == id) return r;
        return -1;
    }
    QVariant column(qint64 id, const QString& col)
    {
        return db.scalar(QStringLiteral("SELECT %1 FROM mv_molvera WHERE ID = ?").arg(col), {id});
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
