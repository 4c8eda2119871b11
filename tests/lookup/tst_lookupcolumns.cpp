// How wide the lookup list's columns are: the declared length where the
// database has it (also through the statement's tables and views when the
// result itself declares none), never narrower than the header and a search
// box with room to type, the same through new searches; and a window that
// cannot be made smaller than its buttons.
#include "DataService.h"
#include "FieldLookups.h"
#include "Lib_FrmCons3.h"
#include "LookupColumns.h"
#include "ScriptedDialogs.h"
#include "TestDb.h"
#include "Twips.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

Q_DECLARE_METATYPE(RecordSet::Field)

namespace
{

RecordSet::Field field(const char* name, int size, bool declared)
{
    RecordSet::Field f;
    f.name = QString::fromUtf8(name);
    f.definedSize = size;
    f.declared = declared;
    return f;
}

struct Fixture {
    TestDb db;
    ScriptedDialogs dialogs;
    std::unique_ptr<Lib_FrmCons3> w;

    Lib_FrmCons3& open(const QString& sql)
    {
        w = std::make_unique<Lib_FrmCons3>(&db.data());
        w->Sql = sql;
        w->show();
        QApplication::setActiveWindow(w.get());
        return *w;
    }

    QString sellers()
    {
        QString sql, campo;
        FieldLookups::listaFija(QStringLiteral("VT_Vendedores"), sql, campo,
                                db.data().dialect().kind());
        return sql;
    }

    int xWidth(int letters) const
    {
        return w->ListView1()->fontMetrics().horizontalAdvance(QString(letters, u'X'));
    }
};

} // namespace

class TestLookupColumns : public QObject
{
    Q_OBJECT
private slots:
    void sources_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("one table")
            << "SELECT nombre FROM ta_usuarios" << QStringList{"ta_usuarios"};
        QTest::newRow("brackets and owner")
            << "select a from [dbo].[V_TA_Deposito] where x = 1" << QStringList{"V_TA_Deposito"};
        QTest::newRow("join") << "SELECT a FROM t1 x JOIN t2 y ON x.id = y.id"
                              << QStringList{"t1", "t2"};
        QTest::newRow("the seller list")
            << "WITH RECURSIVE v(VENDEDOR) AS (SELECT MIN(VENDEDOR) FROM V_MV_MOLVERA WHERE "
               "VENDEDOR > '' UNION ALL SELECT (SELECT MIN(m.VENDEDOR) FROM V_MV_MOLVERA m WHERE "
               "m.VENDEDOR > v.VENDEDOR) FROM v WHERE v.VENDEDOR IS NOT NULL) SELECT VENDEDOR "
               "FROM v WHERE VENDEDOR IS NOT NULL"
            << QStringList{"V_MV_MOLVERA", "v"};
        QTest::newRow("a subquery only") << "SELECT n FROM (SELECT 1 AS n) t" << QStringList{};
    }
    void sources()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, names);
        QCOMPARE(LookupColumns::sources(sql), names);
    }

    // The measure in letters X: declared length first, then the sources'
    // declared length of that column, then the longest value; 1 to 60.
    void measure_data()
    {
        QTest::addColumn<RecordSet::Field>("f");
        QTest::addColumn<int>("measure");
        QTest::newRow("declared") << field("codigo", 10, true) << 10;
        QTest::newRow("declared over 60") << field("nombre", 200, true) << 60;
        QTest::newRow("undeclared, found in the view") << field("VENDEDOR", 1, false) << 60;
        QTest::newRow("undeclared, short in the view") << field("SiloDestino", 1, false) << 4;
        QTest::newRow("undeclared, nowhere") << field("total", 7, false) << 7;
        QTest::newRow("nothing read") << field("total", 0, false) << 1;
    }
    void measure()
    {
        QFETCH(RecordSet::Field, f);
        QFETCH(int, measure);
        const QHash<QString, int> view{{"vendedor", 100}, {"silodestino", 4}};
        QCOMPARE(LookupColumns::measure(f, view), measure);
    }

    // Widths on the database, by statement: the column, the letters X it is
    // as wide as (0: set by its header or the search box instead).
    void widthsOnTheDatabase_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("letters");
        QTest::newRow("users: declared 50") << "SELECT nombre, sistema FROM TA_USUARIOS" << 50;
        QTest::newRow("silos: declared 4, header wider")
            << "SELECT iddeposito FROM v_ta_deposito" << 0;
        QTest::newRow("provinces: declared 60")
            << "SELECT DESCRIPCION FROM TA_PROVINCIAS WHERE DESCRIPCION <> ''" << 60;
    }
    void widthsOnTheDatabase()
    {
        QFETCH(QString, sql);
        QFETCH(int, letters);
        Fixture f;
        Lib_FrmCons3& w = f.open(sql);
        QCOMPARE(f.dialogs.count("error"), 0);
        const int width = w.ListView1()->columnWidth(0);
        if (letters > 0) {
            QVERIFY2(width >= f.xWidth(letters) && width < f.xWidth(letters + 1),
                     qPrintable(QString::number(width)));
        }
        const QString header = w.ListView1()->headerItem()->text(0);
        QVERIFY(width > w.ListView1()->header()->fontMetrics().horizontalAdvance(header));
        QVERIFY(w.CmbSearch(0)->width() >=
                LookupColumns::minimumSearchBox(w.ListView1()->fontMetrics()));
    }

    // A new database's seller list: no rows to measure, the view declares
    // 100: as wide as 60 letters, the search box usable; the same after F5.
    void emptySellerListIsUsable()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open(f.sellers());
        QCOMPARE(w.ListView1()->topLevelItemCount(), 0);
        QVERIFY(w.ListView1()->columnWidth(0) >= f.xWidth(60));
        QVERIFY(w.CmbSearch(0)->width() >= f.xWidth(60) - Twips::toPx(50));
    }

    // Widths stay where they were through new searches, also when no
    // length is declared anywhere and the values read set them.
    void widthsStableAcrossNewSearches()
    {
        Fixture f;
        f.db.data().execute("CREATE TABLE notas (n INTEGER, texto TEXT)");
        f.db.data().execute("INSERT INTO notas VALUES (1, ?), (2, 'corto')", {QString(40, u'a')});
        Lib_FrmCons3& w = f.open("SELECT texto, n FROM notas WHERE texto IS NOT NULL");
        const int before0 = w.ListView1()->columnWidth(0);
        const int before1 = w.ListView1()->columnWidth(1);
        QVERIFY(before0 >= f.xWidth(40));
        w.CmbSearch(0)->setFocus();
        QTest::keyClicks(QApplication::focusWidget(), "cor");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
        QCOMPARE(w.ListView1()->topLevelItemCount(), 1);
        QCOMPARE(w.ListView1()->columnWidth(0), before0);
        QCOMPARE(w.ListView1()->columnWidth(1), before1);
        QTest::mouseClick(w.CmdNueva(), Qt::LeftButton);
        QCOMPARE(w.ListView1()->columnWidth(0), before0);
    }

    // The operator cannot make the window smaller than its buttons.
    void windowNotSmallerThanItsButtons()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open("SELECT nombre FROM TA_USUARIOS");
        w.resize(50, 40);
        QCoreApplication::processEvents();
        QVERIFY(w.width() >= w.minimumWidth() && w.height() >= w.minimumHeight());
        for (QPushButton* b : {w.CmdAceptar(), w.CmdCancelar(), w.CmdNueva()}) {
            const QRect r(b->mapTo(&w, QPoint(0, 0)), b->size());
            QVERIFY2(w.rect().contains(r), qPrintable(b->objectName()));
        }
        // The list still shows a few rows above the help line.
        QVERIFY(w.ListView1()->height() > 3 * w.ListView1()->fontMetrics().height());
    }
};

QTEST_MAIN(TestLookupColumns)
#include "tst_lookupcolumns.moc"
