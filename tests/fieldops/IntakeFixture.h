#pragma once

#include "CellEditor.h"
#include "DailySheet.h"
#include "DataService.h"
#include "DateText.h"
#include "FlexGrid.h"
#include "KeyCodes.h"
#include "Lib_ClsCons3.h"
#include "ScriptedDialogs.h"
#include "TestDb.h"
#include "TextBox.h"
#include "frmTrigo.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

// A real intake window over a fresh database, shown offscreen, with the
// scripted dialogs installed.
struct IntakeFixture {
    ScriptedDialogs dialogs;
    TestDb db;
    Lib_ClsCons3 lookup;
    std::unique_ptr<frmTrigo> w;

    ~IntakeFixture()
    {
        // The window's helpers go before its widgets: the focus leaves the
        // window while they are all still there.
        w->hide();
        QApplication::processEvents();
    }

    static QDate dia() { return QDate(2024, 3, 15); }

    IntakeFixture()
    {
        w = std::make_unique<frmTrigo>(db.data(), lookup, nullptr);
        if (!w->Load()) qFatal("the window did not load");
        w->show();
        QApplication::setActiveWindow(w.get());
        if (!QTest::qWaitForWindowExposed(w.get())) qWarning("window not exposed");
    }

    // Adds an intake row of the day with the given columns; answers its id.
    qint64 fila(const QDate& d, const QVariantMap& columnas = {})
    {
        QStringList nombres{"Fecha", "responsable", "fecha_alta"};
        QVariantList valores{QDateTime(d, QTime(0, 0)), "TEST", QDateTime::currentDateTime()};
        QStringList marcas{"?", "?", "?"};
        for (auto it = columnas.begin(); it != columnas.end(); ++it) {
            nombres << it.key();
            valores << it.value();
            marcas << "?";
        }
        db.data().execute(QStringLiteral("INSERT INTO v_mv_molvera (%1) VALUES (%2)")
                              .arg(nombres.join(u','), marcas.join(u',')),
                          valores);
        return db.scalar("SELECT MAX(ID) FROM mv_molvera").toLongLong();
    }

    // Types the date into the date box and loads its sheet.
    bool cargar(const QDate& d = dia())
    {
        w->box("fecha")->setText(DateText::format(d));
        return w->sheet().Cargar();
    }

    FlexGrid* grid() const { return w->MSflexGrid1(); }

    // The grid row that shows the intake row with that id (-1 when none).
    int filaDe(qint64 id) const
    {
        for (int r = FlexGrid::FixedRows; r < grid()->Rows(); ++r)
            if (grid()->TextMatrix(r, 0).toLongLong() == id) return r;
        return -1;
    }

    QVariant valor(const QString& columna, qint64 id)
    {
        return db.scalar(QStringLiteral("SELECT %1 FROM mv_molvera WHERE ID = ?").arg(columna),
                         {id});
    }

    // Puts the cursor on a cell the way a click does.
    void irA(int row, int col)
    {
        grid()->setFocus(Qt::MouseFocusReason);
        grid()->setRowCol(row, col);
        w->mCampoActivo = w->TxtEdit();
        if (grid()->onClick) grid()->onClick();
    }

    // Types a value into a cell through the editor and ends it with Enter.
    void teclear(int row, int col, const QString& texto)
    {
        irA(row, col);
        w->editor().MsflexGridEdt(KeyCodes::Space);
        w->TxtEdit()->setText(texto);
        int k = KeyCodes::Enter;
        w->editor().editKeyDown(k, 0);
    }
};

// Scripts for the lookup window: the list, its rows and the buttons.
namespace LookupScript
{

inline QTreeWidget* lista(QDialog* d)
{
    return d->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
}

inline QStringList textos(QDialog* d, int col = 0)
{
    QStringList out;
    if (QTreeWidget* l = lista(d))
        for (int i = 0; i < l->topLevelItemCount(); ++i)
            out << l->topLevelItem(i)->text(col);
    return out;
}

// Selects the first row whose column holds the text and accepts.
inline int elegir(QDialog* d, const QString& texto, int col = 0)
{
    QTreeWidget* l = lista(d);
    if (!l) return QDialog::Rejected;
    for (int i = 0; i < l->topLevelItemCount(); ++i) {
        QTreeWidgetItem* it = l->topLevelItem(i);
        if (it->text(col) == texto) {
            l->setCurrentItem(it);
            it->setSelected(true);
            if (auto* b = d->findChild<QAbstractButton*>(QStringLiteral("CmdAceptar")))
                b->click();
            else
                d->accept();
            return QDialog::Accepted;
        }
    }
    return QDialog::Rejected;
}

inline int cancelar(QDialog* d)
{
    if (auto* b = d->findChild<QAbstractButton*>(QStringLiteral("CmdCancelar")))
        b->click();
    else
        d->reject();
    return QDialog::Rejected;
}

} // namespace LookupScript
