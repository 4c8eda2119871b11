#pragma once

#include "DailySheet.h"
#include "DateText.h"
#include "DataService.h"
#include "FlexGrid.h"
#include "IniReader.h"
#include "Lib_ClsCons3.h"
#include "ModGlobal.h"
#include "ScriptedDialogs.h"
#include "TestDb.h"
#include "TextBox.h"
#include "UtilVextra.h"
#include "frmTrigo.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

// A real intake window over a scratch database, loaded as at start-up, with
// the dialogs scripted.
struct WindowFixture {
    QTemporaryDir iniDir;
    TestDb db;
    ScriptedDialogs dialogs;
    Lib_ClsCons3 lookup{&db.data()};
    std::unique_ptr<frmTrigo> w;

    // With a CN000pr.INI of that text when one is given.
    explicit WindowFixture(const QByteArray& ini = {})
    {
        ModGlobal::reset();
        ModGlobal::gUsuarioLogeado.clear();
        IniReader::setSearchFolders({iniDir.path()});
        if (!ini.isEmpty()) {
            QFile f(iniDir.filePath(QStringLiteral("CN000pr.INI")));
            if (!f.open(QIODevice::WriteOnly) || f.write(ini) != ini.size())
                qFatal("INI not written");
        }
        w = std::make_unique<frmTrigo>(db.data(), lookup, nullptr);
        if (!w->Load()) qFatal("window did not load");
        w->box("responsable")->setText(QStringLiteral("ANA"));
        w->show();
        QApplication::setActiveWindow(w.get());
        QCoreApplication::processEvents();
    }
    ~WindowFixture() { IniReader::setSearchFolders({}); }

    FlexGrid* grid() const { return w->MSflexGrid1(); }
    UtilVextra* toolbar() const { return w->UtilVextra1(); }

    // Types a date into the sheet date box and loads its sheet.
    bool loadDay(const QDate& d)
    {
        w->box("Fecha")->setText(d.toString("d/M/yyyy"));
        return w->sheet().Cargar();
    }
    int rowsOf(const QDate& d)
    {
        return db.scalar("SELECT COUNT(*) FROM mv_molvera WHERE Fecha >= ? AND Fecha < ?",
                         {QDateTime(d, QTime(0, 0)), QDateTime(d.addDays(1), QTime(0, 0))})
            .toInt();
    }
    QVariant column(qint64 id, const QString& col)
    {
        return db.scalar(QStringLiteral("SELECT %1 FROM mv_molvera WHERE ID = ?").arg(col), {id});
    }
    qint64 idAt(int row) const { return grid()->TextMatrix(row, 0).toLongLong(); }
};
