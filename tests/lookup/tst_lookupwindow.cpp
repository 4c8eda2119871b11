// The lookup window over a scratch database: loading, columns, the
// incremental search, new searches, the keys, multi-pick, quantities and the
// results it leaves for the request object.
#include "DataService.h"
#include "KeyCodes.h"
#include "Lib_FrmCons3.h"
#include "ScriptedDialogs.h"
#include "TestDb.h"
#include "Twips.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

namespace
{

const char* kPersonas = "SELECT nombre, codigo, ciudad FROM personas";

struct Fixture {
    TestDb db;
    ScriptedDialogs dialogs;
    std::unique_ptr<Lib_FrmCons3> w;

    Fixture()
    {
        db.data().execute("CREATE TABLE personas (nombre VARCHAR(20), codigo VARCHAR(10), "
                          "ciudad VARCHAR(30), cantidad VARCHAR(10))");
        const QList<QVariantList> rows = {
            {"Alba", "A01", "Tandil", "2.0"},
            {"CARLOS", "C02", "Azul", "1.0"},
            {"Carmen", "C03", "  Bolivar", "0.5"},
        };
        for (const auto& r : rows)
            db.data().execute("INSERT INTO personas VALUES (?, ?, ?, ?)", r);
    }

    Lib_FrmCons3& open(const QString& sql = QLatin1String(kPersonas))
    {
        w = std::make_unique<Lib_FrmCons3>(&db.data());
        w->Sql = sql;
        w->show();                              // the first show loads the list
        QApplication::setActiveWindow(w.get()); // focus moves as it would on screen
        return *w;
    }

    QStringList column(int c = 0) const
    {
        QStringList out;
        QTreeWidget* l = w->ListView1();
        for (int i = 0; i < l->topLevelItemCount(); ++i)
            out << l->topLevelItem(i)->text(c);
        return out;
    }

    // The condition F5 appends for a column on this database.
    QString like(const char* column) { return db.data().dialect().foldedLike(column); }

    QString selected(int c = 0) const
    {
        const auto sel = w->ListView1()->selectedItems();
        return sel.isEmpty() ? QStringLiteral("<none>") : sel.first()->text(c);
    }

    QTreeWidgetItem* row(const QString& nombre) const
    {
        QTreeWidget* l = w->ListView1();
        for (int i = 0; i < l->topLevelItemCount(); ++i)
            if (l->topLevelItem(i)->text(0) == nombre) return l->topLevelItem(i);
        return nullptr;
    }

    void select(const QString& nombre)
    {
        QTreeWidgetItem* it = row(nombre);
        QVERIFY(it);
        w->ListView1()->setCurrentItem(it);
        it->setSelected(true);
    }
};

} // namespace

Q_DECLARE_METATYPE(std::optional<QString>)

class TestLookupWindow : public QObject
{
    Q_OBJECT
private slots:
    void controlsAndCaption()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open();
        QCOMPARE(w.windowTitle(), QStringLiteral("Consulta..."));
        QVERIFY(w.windowFlags() & Qt::Tool);
        QVERIFY(!(w.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(w.findChild<QTreeWidget*>("ListView1"), w.ListView1());
        for (int i = 0; i < 3; ++i) {
            auto* box = w.findChild<QComboBox*>(QStringLiteral("CmbSearch%1").arg(i));
            QVERIFY(box);
            QVERIFY(box->isEditable());
            QCOMPARE(box->toolTip(), QStringLiteral("F5 realiza nueva búsqueda"));
        }
        QCOMPARE(w.findChild<QPushButton*>("CmdAceptar")->text(), QStringLiteral("&Aceptar"));
        QCOMPARE(w.findChild<QPushButton*>("CmdCancelar")->text(), QStringLiteral("&Cancelar"));
        QCOMPARE(w.findChild<QPushButton*>("CmdNueva")->text(), QStringLiteral("&Nueva Búsqueda"));
        QVERIFY(w.CmdAceptar()->isDefault());
    }

    void loadBuildsColumnsBoxesAndRows()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open();
        QCOMPARE(w.ListView1()->columnCount(), 3);
        QCOMPARE(w.ListView1()->headerItem()->text(2), QStringLiteral("ciudad"));
        QCOMPARE(w.cantidadCmbSearch(), 3);
        QCOMPARE(w.CmbSearch(1)->property("tag").toString(), QStringLiteral("codigo"));
        QCOMPARE(w.ListView1()->topLevelItemCount(), 3);
        // Sub-items are not trimmed; the first column is.
        QCOMPARE(f.row("Carmen")->text(2), QStringLiteral("  Bolivar"));
        QCOMPARE(w.sqlOriginal(), QString::fromLatin1(kPersonas));
        QCOMPARE(w.sqlActual(), QString::fromLatin1(kPersonas));
        QVERIFY(w.Valores.has_value() && w.Valores->isEmpty());
        QVERIFY(w.Cantidades.has_value() && w.Cantidades->isEmpty());
        QCOMPARE(f.dialogs.count("error"), 0);
    }

    void columnWidthsFollowTheDefinedSize()
    {
        Fixture f;
        f.db.data().execute("CREATE TABLE anchos (a VARCHAR(10), b VARCHAR(200))");
        f.db.data().execute("INSERT INTO anchos VALUES (?, ?)",
                            {QString(10, u'a'), QString(200, u'b')});
        f.db.data().execute("INSERT INTO anchos VALUES (NULL, ?)", {QStringLiteral("  x  ")});
        f.db.data().execute("INSERT INTO anchos VALUES (?, NULL)", {QStringLiteral("  pad  ")});
        Lib_FrmCons3& w = f.open("SELECT a, b FROM anchos");
        const QFontMetrics fm = w.ListView1()->fontMetrics();
        const int x10 = fm.horizontalAdvance(QString(10, u'X'));
        const int x60 = fm.horizontalAdvance(QString(60, u'X'));
        // The text widths plus the same cell margins.
        const int margin = w.ListView1()->columnWidth(0) - x10;
        QVERIFY(margin >= 0 && margin < fm.horizontalAdvance(u'X'));
        QCOMPARE(w.ListView1()->columnWidth(1), x60 + margin);
        QCOMPARE(w.CmbSearch(1)->width(), w.ListView1()->columnWidth(1) - Twips::toPx(50));
        QCOMPARE(w.CmbSearch(0)->width(), w.ListView1()->columnWidth(0) - Twips::toPx(50));
        // Each box sits over its column.
        const int offset = w.ListView1()->x() + w.ListView1()->frameWidth();
        QCOMPARE(w.CmbSearch(1)->x(), offset + w.ListView1()->header()->sectionPosition(1));
        // A null first column is empty; blanks around it are trimmed.
        QCOMPARE(f.column(0), (QStringList{QString(10, u'a'), QString(), QStringLiteral("pad")}));
        QCOMPARE(f.column(1).at(1), QStringLiteral("  x  "));
    }

    void emptyResultStillHasColumns()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open(QString::fromLatin1(kPersonas) + " WHERE 1 = 0");
        QCOMPARE(w.ListView1()->columnCount(), 3);
        QCOMPARE(w.cantidadCmbSearch(), 3);
        QCOMPARE(w.ListView1()->topLevelItemCount(), 0);
        QCOMPARE(f.dialogs.count("error"), 0);
        // A narrow list still shows the three buttons.
        QVERIFY(w.width() >= Twips::toPx(7260));
        for (QPushButton* b : {w.CmdAceptar(), w.CmdCancelar(), w.CmdNueva()}) {
            const QRect r(b->mapTo(&w, QPoint(0, 0)), b->size());
            QVERIFY(w.rect().contains(r));
        }
    }

    void wideResultScrollsAndFitsTheScreen()
    {
        Fixture f;
        QStringList cols;
        for (int i = 0; i < 12; ++i)
            cols << QStringLiteral("c%1 VARCHAR(80)").arg(i);
        f.db.data().execute("CREATE TABLE ancha (" + cols.join(", ") + ")");
        QVariantList vals;
        QStringList marks;
        for (int i = 0; i < 12; ++i) {
            vals << QString(80, QChar(u'a' + i));
            marks << "?";
        }
        f.db.data().execute("INSERT INTO ancha VALUES (" + marks.join(",") + ")", vals);
        Lib_FrmCons3& w = f.open("SELECT * FROM ancha");
        const int screenTwips = Twips::fromPx(w.screen()->availableGeometry().width());
        QCOMPARE(Twips::fromPx(w.width()) + Lib_FrmCons3::NonClientWidth,
                 (screenTwips - 480) / Twips::perPixel * Twips::perPixel);
        // The whole list can be reached: the scroll range is what does not fit.
        QVERIFY(w.HScroll1()->maximum() > 0);
        QCOMPARE(w.HScroll1()->maximum(), w.picFields()->width() - w.width());
        const QRect lastBox = w.CmbSearch(11)->geometry();
        w.HScroll1()->setValue(w.HScroll1()->maximum());
        QCOMPARE(w.picFields()->x(), -w.HScroll1()->maximum());
        QVERIFY(lastBox.right() + w.picFields()->x() <= w.width());
    }

    void incrementalSearch_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("selected");
        QTest::newRow("ca picks CARLOS, first in list order") << 0 << "ca"
                                                              << "CARLOS";
        QTest::newRow("capitals match too") << 0 << "CAR"
                                            << "CARLOS";
        QTest::newRow("carm picks Carmen") << 0 << "carm"
                                           << "Carmen";
        QTest::newRow("al picks Alba") << 0 << "al"
                                       << "Alba";
        QTest::newRow("box 2 searches column 3") << 2 << "az"
                                                 << "CARLOS";
        QTest::newRow("blanks of the cell are skipped") << 2 << "bol"
                                                        << "Carmen";
        QTest::newRow("codes in box 1") << 1 << "c03"
                                        << "Carmen";
    }

    void incrementalSearch()
    {
        QFETCH(int, box);
        QFETCH(QString, typed);
        QFETCH(QString, selected);
        Fixture f;
        Lib_FrmCons3& w = f.open("SELECT nombre, codigo, ciudad FROM personas ORDER BY codigo");
        QTest::keyClicks(w.CmbSearch(box), typed);
        QCOMPARE(w.CmbSearch(box)->currentText(), typed);
        QCOMPARE(f.selected(), selected);
    }

    void searchWithoutMatchKeepsSelectionAndEmptySelectsFirst()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open("SELECT nombre, codigo, ciudad FROM personas ORDER BY codigo");
        QTest::keyClicks(w.CmbSearch(0), "carm");
        QCOMPARE(f.selected(), QStringLiteral("Carmen"));
        QTest::keyClicks(w.CmbSearch(0), "zz");
        QCOMPARE(f.selected(), QStringLiteral("Carmen"));
        w.CmbSearch(0)->setEditText(QString());
        QCOMPARE(f.selected(), QStringLiteral("Alba"));
        QCOMPARE(w.Busqueda(0, "ca"), 2);
        QCOMPARE(w.Busqueda(0, "x"), 0);
        QCOMPARE(w.Busqueda(-3, "carm"), 3);
        QCOMPARE(w.Busqueda(1, "C0"), 2);
        QCOMPARE(w.Busqueda(7, "a"), 0);
    }

    void initialSearchTextSelects()
    {
        Fixture f;
        f.w = std::make_unique<Lib_FrmCons3>(&f.db.data());
        f.w->Sql = QString::fromLatin1(kPersonas) + " ORDER BY codigo";
        f.w->FiltroInicial = "carm";
        f.w->show();
        QCOMPARE(f.w->CmbSearch(0)->currentText(), QStringLiteral("carm"));
        QCOMPARE(f.selected(), QStringLiteral("Carmen"));
        // Reloading applies it again.
        f.w->CmdNueva_Click();
        QCOMPARE(f.selected(), QStringLiteral("Carmen"));
    }

    void indiceColumna()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open();
        QCOMPARE(w.IndiceColumna("nombre"), 1);
        QCOMPARE(w.IndiceColumna("  CIUDAD "), 3);
        QCOMPARE(w.IndiceColumna("precio"), 0);
        QCOMPARE(w.IndiceColumna(""), 0);
    }

    void f5AccumulatesWhereThenAnd()
    {
        Fixture f;
        f.db.data().execute("INSERT INTO personas VALUES ('Carolina', 'X09', 'Azul', '1')");
        Lib_FrmCons3& w = f.open();
        QTest::keyClicks(w.CmbSearch(0), "car");
        QTest::keyClick(w.CmbSearch(0), Qt::Key_F5);
        QCOMPARE(w.Sql, QString::fromLatin1(kPersonas) + " where " + f.like("nombre"));
        QCOMPARE(w.sqlParametros(), QVariantList{QStringLiteral("%car%")});
        QCOMPARE(w.sqlActual(), w.Sql);
        QCOMPARE(w.CmbSearch(0)->currentText(), QString());
        QCOMPARE(f.column(0), (QStringList{"CARLOS", "Carmen", "Carolina"}));

        QTest::keyClicks(w.CmbSearch(1), "0");
        QTest::keyClick(w.CmbSearch(1), Qt::Key_F5);
        QCOMPARE(w.Sql, QString::fromLatin1(kPersonas) + " where " + f.like("nombre") + " and " + f.like("codigo"));
        QCOMPARE(w.sqlParametros(), (QVariantList{"%car%", "%0%"}));
        QCOMPARE(f.column(0).size(), 3);

        QTest::keyClicks(w.CmbSearch(2), "azul");
        QTest::keyClick(w.CmbSearch(2), Qt::Key_F5);
        QCOMPARE(f.column(0), (QStringList{"CARLOS", "Carolina"}));

        // Back to the statement the window was opened with.
        QTest::mouseClick(w.CmdNueva(), Qt::LeftButton);
        QCOMPARE(w.Sql, QString::fromLatin1(kPersonas));
        QVERIFY(w.sqlParametros().isEmpty());
        QCOMPARE(w.ListView1()->topLevelItemCount(), 4);
        QCOMPARE(f.dialogs.count("error"), 0);
    }

    void f5WithQuoteNarrowsWithoutBreakingTheStatement_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("quote inside") << "'Bri" << QStringList{"O'Brien"};
        QTest::newRow("lone quote") << "'" << QStringList{"O'Brien"};
        QTest::newRow("injection attempt") << "x' OR '1'='1" << QStringList{};
    }

    void f5WithQuoteNarrowsWithoutBreakingTheStatement()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        Fixture f;
        f.db.data().execute("INSERT INTO personas VALUES ('O''Brien', 'B07', 'Dolores', '1')");
        Lib_FrmCons3& w = f.open();
        QTest::keyClicks(w.CmbSearch(0), typed);
        QTest::keyClick(w.CmbSearch(0), Qt::Key_F5);
        QCOMPARE(f.dialogs.count("error"), 0);
        QCOMPARE(w.Sql, QString::fromLatin1(kPersonas) + " where " + f.like("nombre"));
        QVERIFY(!w.Sql.contains(typed));
        QCOMPARE(f.column(0), expected);
        QCOMPARE(f.db.scalar("SELECT count(*) FROM personas").toInt(), 4);
    }

    void f5OnOrderedStatementOnlyReloads()
    {
        Fixture f;
        const QString sql = QString::fromLatin1(kPersonas) + " ORDER BY nombre";
        Lib_FrmCons3& w = f.open(sql);
        QTest::keyClicks(w.CmbSearch(0), "carm");
        f.db.data().execute("INSERT INTO personas VALUES ('Zoe', 'Z01', 'Azul', '1')");
        QTest::keyClick(w.CmbSearch(0), Qt::Key_F5);
        QCOMPARE(w.Sql, sql);
        QCOMPARE(w.CmbSearch(0)->currentText(), QString());
        QCOMPARE(w.ListView1()->topLevelItemCount(), 4); // reloaded
        // The line says the list was not narrowed, rather than show a search.
        QVERIFY(w.busquedas().isEmpty());
        QVERIFY2(w.lblAyuda()->text().startsWith(QStringLiteral("F5 no acota esta lista")),
                 qPrintable(w.lblAyuda()->text()));
    }

    void f5ConditionGoesAtTheVeryEnd()
    {
        Fixture f;
        const QString sql = "SELECT ciudad, count(*) AS n FROM personas WHERE codigo <> '' "
                            "GROUP BY ciudad";
        Lib_FrmCons3& w = f.open(sql);
        QCOMPARE(w.ListView1()->topLevelItemCount(), 3);
        QTest::keyClicks(w.CmbSearch(0), "AB");
        QTest::keyClick(w.CmbSearch(0), Qt::Key_F5);
        // After the GROUP BY clause, whatever the database then makes of it.
        QCOMPARE(w.Sql, sql + " and " + f.like("ciudad"));
        // The text is bound folded, as the column is compared.
        QCOMPARE(w.sqlParametros(), QVariantList{QStringLiteral("%ab%")});
    }

    void f5MakingTheStatementInvalidIsReported()
    {
        Fixture f;
        const QString sql = "SELECT ciudad, codigo FROM personas WHERE codigo <> '' "
                            "GROUP BY ciudad LIMIT 10";
        Lib_FrmCons3& w = f.open(sql);
        QCOMPARE(w.ListView1()->topLevelItemCount(), 3);
        QTest::keyClicks(w.CmbSearch(0), "AB");
        QTest::keyClick(w.CmbSearch(0), Qt::Key_F5);
        QCOMPARE(w.Sql, sql + " and " + f.like("ciudad"));
        QCOMPARE(f.dialogs.count("error"), 1);
        QCOMPARE(f.dialogs.shown.last().source, QStringLiteral("FORM_LOAD"));
        QCOMPARE(w.ListView1()->topLevelItemCount(), 0);
        QCOMPARE(w.ListView1()->columnCount(), 2); // the columns stay
        // The window is still usable: the first statement comes back.
        w.CmdNueva_Click();
        QCOMPARE(w.Sql, sql);
        QCOMPARE(w.ListView1()->topLevelItemCount(), 3);
        QCOMPARE(f.dialogs.count("error"), 1);
    }

    void rejectedStatement_data()
    {
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<int>("errors");
        QTest::newRow("abort") << QList<int>{Dialogs::Abort} << 1;
        QTest::newRow("ignore goes on without a result") << QList<int>{Dialogs::Ignore} << 1;
        QTest::newRow("retry asks again") << QList<int>{Dialogs::Retry, Dialogs::Abort} << 2;
    }

    void rejectedStatement()
    {
        QFETCH(QList<int>, answers);
        QFETCH(int, errors);
        Fixture f;
        f.dialogs.errorAnswers = answers;
        f.w = std::make_unique<Lib_FrmCons3>(&f.db.data());
        f.w->Sql = "SELECT nombre FROM no_such_table";
        f.w->CmpsDevueltos = QStringList{"nombre"};
        f.w->show();
        QCOMPARE(f.dialogs.count("error"), errors);
        QCOMPARE(f.dialogs.shown.first().source, QStringLiteral("FORM_LOAD"));
        QVERIFY(f.dialogs.shown.first().text.contains("no_such_table"));
        QCOMPARE(f.dialogs.count("message"), 0);
        QCOMPARE(f.w->ListView1()->topLevelItemCount(), 0);
        QVERIFY(f.w->isVisible());
        QTest::keyClick(f.w->CmbSearch(0), Qt::Key_Escape);
        QVERIFY(!f.w->isVisible());
        QVERIFY(!f.w->Valores.has_value());
        QVERIFY(!f.w->CmpsDevueltos.has_value());
        QCOMPARE(f.w->ValorDevuelto, QVariant(QString()));
    }

    void listLettersGoToTheActiveSearchBox()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open("SELECT nombre, codigo, ciudad FROM personas ORDER BY codigo");
        w.CmbSearch(1)->setFocus();
        QCOMPARE(w.indiceActivo(), 1);
        w.ListView1()->setFocus();
        QTest::keyClick(w.ListView1(), Qt::Key_C);
        QCOMPARE(w.CmbSearch(1)->currentText(), QStringLiteral("C"));
        QCOMPARE(w.focusWidget(), w.CmbSearch(1));
        QCOMPARE(f.selected(), QStringLiteral("CARLOS"));
        w.ListView1()->setFocus();
        QTest::keyClick(w.ListView1(), Qt::Key_0);
        QTest::keyClick(w.ListView1(), Qt::Key_3);
        QCOMPARE(w.CmbSearch(1)->currentText(), QStringLiteral("C03"));
        QCOMPARE(f.selected(), QStringLiteral("Carmen"));
        QTest::keyClick(w.ListView1(), Qt::Key_Space);
        QCOMPARE(w.CmbSearch(1)->currentText(), QStringLiteral("C03 "));
        QTest::keyClick(w.ListView1(), Qt::Key_Backspace);
        QCOMPARE(w.CmbSearch(1)->currentText(), QStringLiteral("C03"));
    }

    void searchBoxArrowsGoToTheList()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open("SELECT nombre, codigo, ciudad FROM personas ORDER BY codigo");
        QTest::keyClicks(w.CmbSearch(0), "car");
        QTest::keyClick(w.CmbSearch(0), Qt::Key_Down);
        QCOMPARE(w.focusWidget(), w.ListView1());
        QCOMPARE(f.selected(), QStringLiteral("CARLOS")); // the key itself moves nothing
        QCOMPARE(w.CmbSearch(0)->currentText(), QStringLiteral("car"));
    }

    void enterInSearchBoxAccepts()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open("SELECT nombre, codigo, ciudad FROM personas ORDER BY codigo");
        w.CampoDevuelto = "codigo";
        QTest::keyClicks(w.CmbSearch(0), "carm");
        QTest::keyClick(w.CmbSearch(0), Qt::Key_Return);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(w.ValorDevuelto.toString(), QStringLiteral("C03"));
        QVERIFY(w.Valores.has_value() && w.Valores->isEmpty());
    }

    void singlePickWithExtraColumns_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("campo");
        QTest::addColumn<QStringList>("valores");
        QTest::addColumn<QString>("valor");
        QTest::newRow("codigo and nombre")
            << QStringList{"CODIGO", "NOMBRE"} << "CODIGO" << QStringList{"C02", "CARLOS"} << "C02";
        QTest::newRow("missing first name gives an empty text")
            << QStringList{"precio", "ciudad"} << "nombre" << QStringList{"", "Azul"} << "CARLOS";
        QTest::newRow("missing name repeats the previous value")
            << QStringList{"codigo", "precio", "ciudad", "otra"} << ""
            << QStringList{"C02", "C02", "Azul", "Azul"} << "Azul";
        QTest::newRow("campo that is no column keeps the current value")
            << QStringList{"ciudad"} << "precio" << QStringList{"Azul"} << "Azul";
    }

    void singlePickWithExtraColumns()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, campo);
        QFETCH(QStringList, valores);
        QFETCH(QString, valor);
        Fixture f;
        Lib_FrmCons3& w = f.open();
        w.CmpsDevueltos = names;
        w.CampoDevuelto = campo;
        f.select("CARLOS");
        QTest::mouseClick(w.CmdAceptar(), Qt::LeftButton);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.Valores.value_or(QStringList{"<none>"}), valores);
        QCOMPARE(w.ValorDevuelto.toString(), valor);
    }

    void acceptWithoutSelectedRow()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open(QString::fromLatin1(kPersonas) + " WHERE 1 = 0");
        w.CampoDevuelto = "codigo";
        w.CmpsDevueltos = QStringList{"codigo"};
        QTest::mouseClick(w.CmdAceptar(), Qt::LeftButton);
        QVERIFY(!w.isVisible());
        QVERIFY(!w.ValorDevuelto.isValid());
        QCOMPARE(w.Valores.value_or(QStringList{"<none>"}), QStringList{});
    }

    void doubleClickAccepts()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open();
        w.CampoDevuelto = "ciudad";
        QTreeWidgetItem* it = f.row("Alba");
        QTest::mouseClick(w.ListView1()->viewport(), Qt::LeftButton, {},
                          w.ListView1()->visualItemRect(it).center());
        QTest::mouseDClick(w.ListView1()->viewport(), Qt::LeftButton, {},
                           w.ListView1()->visualItemRect(it).center());
        QVERIFY(!w.isVisible());
        QCOMPARE(w.ValorDevuelto.toString(), QStringLiteral("Tandil"));
    }

    void multiPick_data()
    {
        QTest::addColumn<QString>("campo");
        QTest::addColumn<QStringList>("checked");
        QTest::addColumn<QStringList>("valores");
        QTest::newRow("codes of checked rows in list order")
            << "codigo" << QStringList{"Carmen", "Alba"} << QStringList{"A01", "C03"};
        QTest::newRow("empty campo gives the first column")
            << "" << QStringList{"CARLOS"} << QStringList{"CARLOS"};
        QTest::newRow("nothing checked") << "codigo" << QStringList{} << QStringList{};
    }

    void multiPick()
    {
        QFETCH(QString, campo);
        QFETCH(QStringList, checked);
        QFETCH(QStringList, valores);
        Fixture f;
        f.w = std::make_unique<Lib_FrmCons3>(&f.db.data());
        f.w->Sql = QString::fromLatin1(kPersonas) + " ORDER BY codigo";
        f.w->CheckBoxes = true;
        f.w->CampoDevuelto = campo;
        f.w->show();
        for (const QString& n : checked)
            f.row(n)->setCheckState(0, Qt::Checked);
        QVERIFY(f.row("Alba")->flags() & Qt::ItemIsUserCheckable);
        QTest::mouseClick(f.w->CmdAceptar(), Qt::LeftButton);
        QVERIFY(!f.w->isVisible());
        QCOMPARE(f.w->Valores.value_or(QStringList{"<none>"}), valores);
        QVERIFY(!f.w->ValorDevuelto.isValid());
        if (campo.isEmpty()) QCOMPARE(f.w->CampoDevuelto, QStringLiteral("nombre"));
    }

    void multiPickWithUnknownColumn()
    {
        Fixture f;
        f.w = std::make_unique<Lib_FrmCons3>(&f.db.data());
        f.w->Sql = kPersonas;
        f.w->CheckBoxes = true;
        f.w->CampoDevuelto = "precio";
        f.w->show();
        f.row("Alba")->setCheckState(0, Qt::Checked);
        f.row("Carmen")->setCheckState(0, Qt::Checked);
        // Abort: the window stays open and nothing is handed over.
        f.w->CmdAceptar_Click();
        QCOMPARE(f.dialogs.count("error"), 1);
        QCOMPARE(f.dialogs.shown.last().source, QStringLiteral("HScroll1_Change"));
        QVERIFY(f.w->isVisible());
        QCOMPARE(f.w->Valores.value_or(QStringList{"<none>"}), QStringList{});
        // Ignore skips each row; the window closes.
        f.dialogs.errorAnswers = {Dialogs::Ignore, Dialogs::Ignore};
        f.w->CmdAceptar_Click();
        QCOMPARE(f.dialogs.count("error"), 3);
        QVERIFY(!f.w->isVisible());
        QCOMPARE(f.w->Valores.value_or(QStringList{"<none>"}), QStringList{});
    }

    void cancelLeavesValoresNone()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open();
        w.CmpsDevueltos = QStringList{"codigo"};
        w.CampoDevuelto = "codigo";
        f.select("Alba");
        QTest::mouseClick(w.CmdCancelar(), Qt::LeftButton);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), int(QDialog::Rejected));
        QVERIFY(!w.Valores.has_value());
        QVERIFY(!w.CmpsDevueltos.has_value());
        QCOMPARE(w.ValorDevuelto, QVariant(QString()));
    }

    void escapeInTheListCancels()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open();
        w.ListView1()->setFocus();
        QTest::keyClick(w.ListView1(), Qt::Key_Escape);
        QVERIFY(!w.isVisible());
        QVERIFY(!w.Valores.has_value());
    }

    void titleBarCloseLeavesEmptyCollections()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open();
        f.select("Alba");
        w.CampoDevuelto = "codigo";
        w.close();
        QVERIFY(!w.isVisible());
        QCOMPARE(w.ListView1()->topLevelItemCount(), 0); // the unload empties the list
        QVERIFY(!w.ValorDevuelto.isValid());
        QCOMPARE(w.Valores.value_or(QStringList{"<none>"}), QStringList{});
        QCOMPARE(w.Cantidades.value_or(QStringList{"<none>"}), QStringList{});
    }

    void columnClickTogglesTheOrder()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open("SELECT nombre, codigo, ciudad FROM personas ORDER BY codigo");
        QVERIFY(!w.ordenada());
        QCOMPARE(f.column(0), (QStringList{"Alba", "CARLOS", "Carmen"}));
        QHeaderView* h = w.ListView1()->header();
        auto click = [&](int section) {
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                              QPoint(h->sectionViewportPosition(section) + 4, h->height() / 2));
        };
        click(0);
        QVERIFY(w.ordenada());
        QCOMPARE(f.column(0), (QStringList{"Carmen", "CARLOS", "Alba"}));
        click(0);
        QCOMPARE(f.column(0), (QStringList{"Alba", "CARLOS", "Carmen"}));
        click(0);
        QCOMPARE(f.column(0), (QStringList{"Carmen", "CARLOS", "Alba"}));
        // One order for the whole list: the next column sorts ascending.
        click(2);
        QCOMPARE(w.columnaOrden(), 2);
        QCOMPARE(w.ordenDeLista(), Qt::AscendingOrder);
        // Blanks around a text do not count.
        QCOMPARE(f.column(2), (QStringList{"Azul", "  Bolivar", "Tandil"}));
    }

    void sortedWhenAskedIgnoringCase()
    {
        Fixture f;
        f.db.data().execute("INSERT INTO personas VALUES ('beto', 'B01', 'Azul', '1')");
        f.w = std::make_unique<Lib_FrmCons3>(&f.db.data());
        f.w->Sql = QString::fromLatin1(kPersonas) + " ORDER BY codigo DESC";
        f.w->OrdenarPorLwv = false;
        f.w->show();
        QCOMPARE(f.column(0), (QStringList{"Carmen", "CARLOS", "beto", "Alba"}));
        Lib_FrmCons3 g(&f.db.data());
        g.Sql = QString::fromLatin1(kPersonas) + " ORDER BY codigo DESC";
        g.OrdenarPorLwv = true;
        g.show();
        auto names = [&g] {
            QStringList out;
            for (int i = 0; i < g.ListView1()->topLevelItemCount(); ++i)
                out << g.ListView1()->topLevelItem(i)->text(0);
            return out;
        };
        QCOMPARE(names(), (QStringList{"Alba", "beto", "CARLOS", "Carmen"}));
        // A later reload keeps the list sorted.
        g.CmdNueva_Click();
        QCOMPARE(names(), (QStringList{"Alba", "beto", "CARLOS", "Carmen"}));
    }

    void quantityKeys_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("checked");
        QTest::newRow("insert on 2.0") << "C"
                                       << "2.0" << int(Qt::Key_Insert) << "3.0" << true;
        QTest::newRow("delete on 1.0 reaches zero")
            << "C"
            << "1.0" << int(Qt::Key_Delete) << "0.00" << false;
        QTest::newRow("delete on 0.5 below zero")
            << "C"
            << "0.5" << int(Qt::Key_Delete) << "0.00" << false;
        QTest::newRow("delete on 3.0 stays checked")
            << "C"
            << "3.0" << int(Qt::Key_Delete) << "2.0" << true;
        QTest::newRow("comma locale keeps decimals")
            << "es_AR"
            << "2,5" << int(Qt::Key_Insert) << "3,5" << true;
        QTest::newRow("comma locale reads a period too")
            << "es_AR"
            << "2.5" << int(Qt::Key_Insert) << "3,5" << true;
        QTest::newRow("comma locale delete") << "es_AR"
                                             << "1,0" << int(Qt::Key_Delete) << "0,00" << false;
        QTest::newRow("text without number counts as zero")
            << "C"
            << "n/a" << int(Qt::Key_Insert) << "1.0" << true;
    }

    void quantityKeys()
    {
        QFETCH(QString, locale);
        QFETCH(QString, start);
        QFETCH(int, key);
        QFETCH(QString, after);
        QFETCH(bool, checked);
        const QLocale saved;
        QLocale::setDefault(QLocale(locale));
        Fixture f;
        f.db.data().execute("UPDATE personas SET cantidad = ? WHERE nombre = 'CARLOS'", {start});
        f.w = std::make_unique<Lib_FrmCons3>(&f.db.data());
        f.w->Sql = "SELECT nombre, cantidad AS [**Cantidad**] FROM personas";
        f.w->UsaCantidades = true;
        f.w->CheckBoxes = true;
        f.w->show();
        QTreeWidgetItem* it = f.row("CARLOS");
        if (key == Qt::Key_Delete) it->setCheckState(0, Qt::Checked);
        f.select("CARLOS");
        f.w->ListView1()->setFocus();
        QTest::keyClick(f.w->ListView1(), Qt::Key(key));
        QLocale::setDefault(saved);
        QCOMPARE(it->text(1), after);
        QCOMPARE(f.w->marcada(it), checked);
        QCOMPARE(f.dialogs.count("error"), 0);
        QCOMPARE(f.w->ListView1()->topLevelItemCount(), 3); // Delete removes no row
    }

    void askForQuantity_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("checked");
        QTest::newRow("a number") << "C" << std::optional<QString>("4.25") << "4.25" << true;
        QTest::newRow("comma locale") << "es_AR" << std::optional<QString>("4,5") << "4,50" << true;
        QTest::newRow("cancelled keeps the cell")
            << "C" << std::optional<QString>() << "2.0" << false;
        QTest::newRow("no number keeps the cell")
            << "C" << std::optional<QString>("abc") << "2.0" << false;
        QTest::newRow("zero unchecks") << "C" << std::optional<QString>("0") << "0.00" << false;
    }

    void askForQuantity()
    {
        QFETCH(QString, locale);
        QFETCH(std::optional<QString>, answer);
        QFETCH(QString, after);
        QFETCH(bool, checked);
        const QLocale saved;
        QLocale::setDefault(QLocale(locale));
        Fixture f;
        f.w = std::make_unique<Lib_FrmCons3>(&f.db.data());
        f.w->Sql = "SELECT nombre, cantidad AS [**Cantidad**] FROM personas";
        f.w->UsaCantidades = true;
        f.w->show();
        f.select("Alba");
        f.dialogs.inputAnswers << answer;
        QTest::keyClick(f.w->ListView1(), Qt::Key_Insert, Qt::ShiftModifier);
        QLocale::setDefault(saved);
        QCOMPARE(f.dialogs.count("input"), 1);
        QCOMPARE(f.dialogs.shown.last().title, QStringLiteral("Carga de Datos"));
        QCOMPARE(f.dialogs.shown.last().text,
                 QStringLiteral("Ingrese la Cantidad del Artículo..."));
        QCOMPARE(f.row("Alba")->text(1), after);
        QCOMPARE(f.w->marcada(f.row("Alba")), checked);
    }

    void quantityKeysOnlyWhenAskedFor()
    {
        Fixture f;
        f.w = std::make_unique<Lib_FrmCons3>(&f.db.data());
        f.w->Sql = "SELECT nombre, cantidad AS [**Cantidad**] FROM personas";
        f.w->show();
        f.select("Alba");
        QTest::keyClick(f.w->ListView1(), Qt::Key_Insert);
        QCOMPARE(f.row("Alba")->text(1), QStringLiteral("2.0"));
    }

    void quantityKeyWithoutColumnIsReported()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open();
        w.UsaCantidades = true;
        f.select("Alba");
        QTest::keyClick(w.ListView1(), Qt::Key_Insert);
        QCOMPARE(f.dialogs.count("error"), 1);
        QCOMPARE(f.dialogs.shown.last().source, QStringLiteral("ListView1_KeyDown"));
        QVERIFY(w.isVisible());
    }

    void reloadDropsChecksAndKeepsBoxes()
    {
        Fixture f;
        f.w = std::make_unique<Lib_FrmCons3>(&f.db.data());
        f.w->Sql = kPersonas;
        f.w->CheckBoxes = true;
        f.w->show();
        f.row("Alba")->setCheckState(0, Qt::Checked);
        QComboBox* box2 = f.w->CmbSearch(2);
        box2->setEditText("Azul");
        f.w->CmdNueva_Click();
        QCOMPARE(f.w->CmbSearch(2), box2);
        QCOMPARE(f.w->cantidadCmbSearch(), 3);
        QCOMPARE(box2->currentText(), QStringLiteral("Azul"));
        QCOMPARE(f.row("Alba")->checkState(0), Qt::Unchecked);
        QCOMPARE(f.dialogs.count("error") + f.dialogs.count("message"), 0);
    }
};

QTEST_MAIN(TestLookupWindow)
#include "tst_lookupwindow.moc"
