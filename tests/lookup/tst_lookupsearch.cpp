// The lookup window finds names as Spanish is written: F5 on the database and
// the typed search in the list compare without regard to case or accents and
// find the same names, on the embedded database and on the server alike. A
// typed text that matches no row is shown, and Enter does not take the row
// found before. Keys go where a person's would: to the focused widget.
#include "DataService.h"
#include "FieldLookups.h"
#include "Lib_FrmCons3.h"
#include "RecordSet.h"
#include "ScriptedDialogs.h"
#include "TestDb.h"
#include "TextFold.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolTip>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

namespace
{

// Sellers of a plant: the same names written with and without accents, in
// upper and lower case, and names that only look alike.
const char* const kVendedores[] = {
    "Ángel Gómez",        "ANGEL GOMEZ", "angel rios",        "Los Ángeles S.R.L.",
    "Pérez Hnos.",        "PÉREZ JUAN",  "Perez Coop.",       "Ñandú S.A.",
    "ÑANDÚ Acopio",       "Nandu Sur",   "Acopio Acuña S.A.", "Acopios ACUÑA",
    "Cooperativa Güemes", "GUEMES Agro", "Ibáñez y Cía.",     "Anglo Cereales",
    "María Peña",         "Marta Pena",  "Ángela López",      "Sucesión Ángelo",
};

struct Fixture {
    TestDb db;
    ScriptedDialogs dialogs;
    std::unique_ptr<Lib_FrmCons3> w;

    Fixture()
    {
        int day = 0;
        for (const char* v : kVendedores)
            db.data().execute("INSERT INTO v_mv_molvera (Fecha, responsable, vendedor) "
                              "VALUES (?, ?, ?)",
                              {QDateTime(QDate(2024, 3, 1).addDays(day++), QTime(0, 0)), "T",
                               QString::fromUtf8(v)});
    }

    // The seller pick list, as the sheet offers it.
    QString sellersStatement()
    {
        QString sql, campo;
        if (!FieldLookups::listaFija(QStringLiteral("VT_Vendedores"), sql, campo,
                                     db.data().dialect().kind()))
            return {};
        return sql;
    }

    Lib_FrmCons3& open()
    {
        w = std::make_unique<Lib_FrmCons3>(&db.data());
        w->Sql = sellersStatement();
        w->CampoDevuelto = QStringLiteral("Vendedor");
        w->show();
        QApplication::setActiveWindow(w.get());
        w->CmbSearch(0)->setFocus();
        QCoreApplication::processEvents();
        return *w;
    }

    // Types into the focused widget, one character at a time, as a keyboard
    // does (non-ASCII letters as the text of the key).
    static void type(const QString& text)
    {
        for (QChar c : text) {
            QWidget* target = QApplication::focusWidget();
            QVERIFY(target);
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }

    static void key(Qt::Key k)
    {
        QWidget* target = QApplication::focusWidget();
        QVERIFY(target);
        QTest::keyClick(target, k);
    }

    QStringList listed() const
    {
        QStringList out;
        QTreeWidget* l = w->ListView1();
        for (int i = 0; i < l->topLevelItemCount(); ++i)
            out << l->topLevelItem(i)->text(0);
        out.sort();
        return out;
    }

    QString selected() const
    {
        const auto sel = w->ListView1()->selectedItems();
        return sel.isEmpty() ? QString() : sel.first()->text(0);
    }
};

QStringList sorted(QStringList l)
{
    l.sort();
    return l;
}

} // namespace

class TestLookupSearch : public QObject
{
    Q_OBJECT
private slots:
    // F5 finds every seller holding the text, whatever its case and accents,
    // and nothing else.
    void f5FindsNamesAsSpanishIsWritten_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("found");
        const QStringList angel{"Ángel Gómez",  "ANGEL GOMEZ",        "angel rios",
                                "Ángela López", "Los Ángeles S.R.L.", "Sucesión Ángelo"};
        QTest::newRow("ángel") << "ángel" << angel;
        QTest::newRow("ANGEL") << "ANGEL" << angel;
        QTest::newRow("Angel") << "Angel" << angel;
        QTest::newRow("pérez") << "pérez"
                               << QStringList{"Perez Coop.", "Pérez Hnos.", "PÉREZ JUAN"};
        QTest::newRow("PEREZ") << "PEREZ"
                               << QStringList{"Perez Coop.", "Pérez Hnos.", "PÉREZ JUAN"};
        QTest::newRow("ñandú") << "ñandú" << QStringList{"Nandu Sur", "Ñandú S.A.", "ÑANDÚ Acopio"};
        QTest::newRow("acuña") << "acuña" << QStringList{"Acopio Acuña S.A.", "Acopios ACUÑA"};
        QTest::newRow("güemes") << "güemes" << QStringList{"Cooperativa Güemes", "GUEMES Agro"};
        QTest::newRow("ibáñez") << "IBANEZ" << QStringList{"Ibáñez y Cía."};
        QTest::newRow("peña") << "peña" << QStringList{"María Peña", "Marta Pena"};
        QTest::newRow("inside a name") << "cía" << QStringList{"Ibáñez y Cía."};
        QTest::newRow("nothing") << "zzz" << QStringList{};
    }
    void f5FindsNamesAsSpanishIsWritten()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, found);
        Fixture f;
        Lib_FrmCons3& w = f.open();
        QCOMPARE(w.ListView1()->topLevelItemCount(), int(std::size(kVendedores)));
        Fixture::type(typed);
        Fixture::key(Qt::Key_F5);
        QCOMPARE(f.dialogs.count("error"), 0);
        QCOMPARE(f.listed(), sorted(found));
    }

    // The typed search and F5 compare alike: for every text, F5 lists exactly
    // the names that hold it once both are folded, and the typed search
    // stops on a name that begins with it exactly when one does.
    void typedSearchAndF5FindTheSameNames_data()
    {
        QTest::addColumn<QString>("typed");
        for (const char* t : {"ÁNGEL", "angel", "Pérez", "ñan", "ACUÑ", "güe", "Marí", "los án"})
            QTest::newRow(t) << QString::fromUtf8(t);
    }
    void typedSearchAndF5FindTheSameNames()
    {
        QFETCH(QString, typed);
        Fixture f;
        Lib_FrmCons3& w = f.open();
        QStringList all;
        for (const char* v : kVendedores)
            all << QString::fromUtf8(v);
        const QString wanted = TextFold::fold(typed);

        Fixture::type(typed);
        const bool begins = std::any_of(all.begin(), all.end(), [&](const QString& n) {
            return TextFold::fold(n).startsWith(wanted);
        });
        QCOMPARE(!w.sinCoincidencia(0), begins);
        if (begins) QVERIFY(TextFold::fold(f.selected()).startsWith(wanted));

        Fixture::key(Qt::Key_F5);
        QStringList holding;
        for (const QString& n : all)
            if (TextFold::fold(n).contains(wanted)) holding << n;
        QCOMPARE(f.listed(), sorted(holding));
        // Each name F5 listed is found again by typing its beginning.
        for (const QString& n : holding) {
            w.CmbSearch(0)->setFocus();
            w.CmbSearch(0)->setEditText(QString());
            Fixture::type(n.left(4).toUpper());
            QVERIFY2(TextFold::fold(f.selected()).startsWith(TextFold::fold(n.left(4))),
                     qPrintable(n));
        }
    }

    // Folding the column keeps the list's own walk through the seller index:
    // the narrowed statement still reads the index, not every truckload.
    void narrowedListStillWalksTheIndex()
    {
        Fixture f;
        if (f.db.onServer()) QSKIP("the plan is SQLite's");
        Lib_FrmCons3& w = f.open();
        Fixture::type(QStringLiteral("ángel"));
        Fixture::key(Qt::Key_F5);
        QCOMPARE(f.listed().size(), 6);
        const RecordSet plan =
            f.db.data().openRecordSet("EXPLAIN QUERY PLAN " + w.Sql, w.sqlParametros());
        QString text;
        for (const auto& row : plan.rows())
            text += row.at(row.size() - 1).toString() + u'\n';
        QVERIFY2(text.contains(QLatin1String("ix_mv_molvera_vendedor")), qPrintable(text));
        QVERIFY2(!text.contains(QLatin1String("SCAN mv_molvera\n")), qPrintable(text));
    }

    // "aceS" matches no seller: the box and the help line say so, and Enter
    // does not take the row found before ("Acopio Acuña S.A." for "ac").
    void typedTextWithoutMatchIsShownAndNotTaken()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open();
        Fixture::type(QStringLiteral("ac"));
        QCOMPARE(f.selected(), QStringLiteral("Acopio Acuña S.A."));
        QVERIFY(!w.sinCoincidencia(0));
        const QString help = w.lblAyuda()->text();
        QVERIFY(help.contains(QLatin1String("F5")));

        Fixture::type(QStringLiteral("eS"));
        QVERIFY(w.sinCoincidencia(0));
        QVERIFY(w.lblAyuda()->text().contains(QStringLiteral("«aceS»")));
        QVERIFY(w.CmbSearch(0)->lineEdit()->palette().color(QPalette::Base) !=
                QApplication::palette().color(QPalette::Base));
        Fixture::key(Qt::Key_Return);
        QVERIFY(w.isVisible());
        QVERIFY(!w.ValorDevuelto.isValid() || w.ValorDevuelto.toString().isEmpty());

        // Mended, the text matches again and Enter takes the row.
        Fixture::key(Qt::Key_Backspace);
        Fixture::key(Qt::Key_Backspace);
        Fixture::type(QStringLiteral("opios"));
        QVERIFY(!w.sinCoincidencia(0));
        QCOMPARE(w.lblAyuda()->text(), help);
        QCOMPARE(w.CmbSearch(0)->lineEdit()->palette().color(QPalette::Base),
                 QApplication::palette().color(QPalette::Base));
        QCOMPARE(f.selected(), QStringLiteral("Acopios ACUÑA"));
        Fixture::key(Qt::Key_Return);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.ValorDevuelto.toString(), QStringLiteral("Acopios ACUÑA"));
    }

    // After F5 the help line keeps the search in force: each term with its
    // column and the rows found, or that nothing was found; Nueva Búsqueda
    // (Alt+N) puts the whole list and the general hint back.
    void f5SaysTheSearchInForce()
    {
        Fixture f;
        Lib_FrmCons3& w = f.open();
        const QString hint = w.lblAyuda()->text();
        const QString column = w.ListView1()->headerItem()->text(0).trimmed();
        Fixture::type(QStringLiteral("pérez"));
        Fixture::key(Qt::Key_F5);
        QCOMPARE(f.listed().size(), 3);
        QCOMPARE(w.CmbSearch(0)->currentText(), QString());
        QString line = w.lblAyuda()->text();
        QVERIFY2(line.contains(QStringLiteral("«pérez» en %1 · 3 filas").arg(column)),
                 qPrintable(line));

        w.CmbSearch(0)->setFocus();
        Fixture::type(QStringLiteral("juan"));
        Fixture::key(Qt::Key_F5);
        QCOMPARE(f.listed(), QStringList{"PÉREZ JUAN"});
        line = w.lblAyuda()->text();
        QVERIFY2(line.contains(QStringLiteral("«pérez» en %1 y «juan» en %1 · 1 fila").arg(column)),
                 qPrintable(line));

        // The button's mnemonic presses it a moment later, as a click shows.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::AltModifier);
        QTRY_COMPARE(f.listed().size(), int(std::size(kVendedores)));
        QCOMPARE(w.lblAyuda()->text(), hint);
        QVERIFY(w.busquedas().isEmpty());

        w.CmbSearch(0)->setFocus();
        Fixture::type(QStringLiteral("zzqx"));
        Fixture::key(Qt::Key_F5);
        QCOMPARE(w.ListView1()->topLevelItemCount(), 0);
        line = w.lblAyuda()->text();
        QVERIFY2(line.contains(QStringLiteral("ningún resultado para «zzqx» en ") + column),
                 qPrintable(line));
        QVERIFY(w.lblAyuda()->palette().color(QPalette::WindowText) !=
                QApplication::palette().color(QPalette::WindowText));
        // Typing in the empty list does not lose the search in force.
        Fixture::type(QStringLiteral("a"));
        QVERIFY(w.sinCoincidencia(0));
        Fixture::key(Qt::Key_Backspace);
        QVERIFY2(w.lblAyuda()->text().contains(QStringLiteral("ningún resultado para «zzqx»")),
                 qPrintable(w.lblAyuda()->text()));
    }

    // Two sellers whose long names differ only at their ends: each cell,
    // too narrow for the name, shows it whole under the pointer.
    void aLongNameShowsWholeInItsTooltip()
    {
        Fixture f;
        const QString common = QStringLiteral("Cooperativa Agrícola Ganadera y de Servicios "
                                              "Públicos del Sudeste Bonaerense Limitada");
        const QStringList names{common + QStringLiteral(" Sección Norte"),
                                common + QStringLiteral(" Sección Sur")};
        for (const QString& n : names)
            f.db.data().execute("INSERT INTO v_mv_molvera (Fecha, responsable, vendedor) "
                                "VALUES (?, ?, ?)",
                                {QDateTime(QDate(2024, 4, 1), QTime(0, 0)), "T", n});
        Lib_FrmCons3& w = f.open();
        Fixture::type(QStringLiteral("cooperativa agrícola"));
        Fixture::key(Qt::Key_F5);
        QTreeWidget* list = w.ListView1();
        QCOMPARE(list->topLevelItemCount(), 2);
        QStringList shown;
        for (int i = 0; i < 2; ++i) {
            QTreeWidgetItem* item = list->topLevelItem(i);
            list->scrollToItem(item);
            const QRect cell = list->visualItemRect(item);
            QVERIFY(list->fontMetrics().horizontalAdvance(item->text(0)) > list->columnWidth(0));
            const QPoint at(cell.left() + 10, cell.center().y());
            QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
            QCoreApplication::sendEvent(list->viewport(), &help);
            QTRY_VERIFY(QToolTip::isVisible());
            shown << QToolTip::text();
            QToolTip::hideText();
        }
        shown.sort();
        QCOMPARE(shown, names);
    }
};

QTEST_MAIN(TestLookupSearch)
#include "tst_lookupsearch.moc"
