#include "WindowFixture.h"

#include "CellEditor.h"
#include "SheetCommands.h"

class TstCellEditor : public QObject
{
    Q_OBJECT

    // Types a value into the current cell as an operator would: the first
    // key goes to the grid (it opens the editor), the rest to the editor.
    static void type(WindowFixture& f, const QString& text)
    {
        QTest::keyClicks(f.grid(), text.left(1));
        QVERIFY(f.w->TxtEdit()->isVisible());
        if (text.size() > 1) QTest::keyClicks(f.w->TxtEdit(), text.mid(1));
    }
    static void key(WindowFixture& f, Qt::Key k) { QTest::keyClick(f.w->TxtEdit(), k); }

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void typedValueIsWrittenAndTheCursorMoves()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        f.grid()->setRowCol(2, 2);
        const qint64 id = f.idAt(2);
        type(f, "Juan Perez");
        QCOMPARE(f.w->TxtEdit()->text(), QStringLiteral("Juan Perez"));
        QCOMPARE(f.w->TxtEdit()->dataField(), QStringLiteral("VENDEDOR"));
        QCOMPARE(f.w->TxtEdit()->tag(), QStringLiteral("VT_Vendedores"));
        QVERIFY(f.toolbar()->consultaenabled());
        key(f, Qt::Key_Return);
        QCOMPARE(f.column(id, "vendedor").toString(), QStringLiteral("Juan Perez"));
        QVERIFY(DataService::toDateTime(f.column(id, "fecha_modificacion")).isValid());
        QCOMPARE(f.grid()->TextMatrix(2, 2), QStringLiteral("Juan Perez"));
        QVERIFY(!f.w->TxtEdit()->isVisible());
        QCOMPARE(f.grid()->Col(), 3);
        QCOMPARE(f.grid()->Row(), 2);
        // Enter on a cell opens it with its own value, the caret at the end.
        f.grid()->setCol(2);
        QTest::keyClick(f.grid(), Qt::Key_Return);
        QVERIFY(f.w->TxtEdit()->isVisible());
        QCOMPARE(f.w->TxtEdit()->text(), QStringLiteral("Juan Perez"));
        QCOMPARE(f.w->TxtEdit()->cursorPosition(), 10);
        // Emptying a text cell stores NULL.
        f.w->TxtEdit()->clear();
        key(f, Qt::Key_Return);
        QVERIFY(f.column(id, "vendedor").isNull());
    }

    void textsAreStoredExactly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("apostrophe") << "O'Higgins";
        QTest::newRow("statement") << "'; DROP TABLE mv_molvera; --";
        QTest::newRow("brackets and quotes") << "[x] \"y\" ?";
        QTest::newRow("accents") << "Ñandú Córdoba";
    }
    void textsAreStoredExactly()
    {
        QFETCH(QString, text);
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        f.grid()->setRowCol(2, 12);
        const qint64 id = f.idAt(2);
        QTest::keyClick(f.grid(), Qt::Key_Return);
        f.w->TxtEdit()->setText(text);
        key(f, Qt::Key_Return);
        QCOMPARE(f.column(id, "observaciones").toString(), text);
        QCOMPARE(f.grid()->TextMatrix(2, 12), text);
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM mv_molvera").toInt(), 2);
    }

    void numbersFollowTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("es_AR comma") << "es_AR" << "12,5" << 12.5 << "12,5";
        QTest::newRow("es_AR period key gives comma") << "es_AR" << "12.5" << 12.5 << "12,5";
        QTest::newRow("en_US period") << "en_US" << "12.5" << 12.5 << "12.5";
        QTest::newRow("en_US comma key gives period") << "en_US" << "12,5" << 12.5 << "12.5";
        QTest::newRow("second separator ignored") << "es_AR" << "1,2,5" << 1.25 << "1,25";
        QTest::newRow("negative zero") << "en_US" << "-0" << 0.0 << "0";
    }
    void numbersFollowTheLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QString, typed);
        QFETCH(double, stored);
        QFETCH(QString, shown);
        QLocale::setDefault(QLocale(locale));
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        f.grid()->setRowCol(2, 1);
        const qint64 id = f.idAt(2);
        type(f, typed);
        key(f, Qt::Key_Return);
        QCOMPARE(f.column(id, "Toneladas").toDouble(), stored);
        QCOMPARE(f.grid()->TextMatrix(2, 1), shown);
        // An emptied number cell stores 0.
        f.grid()->setRowCol(2, 1);
        QTest::keyClick(f.grid(), Qt::Key_Backspace);
        f.w->TxtEdit()->clear();
        key(f, Qt::Key_Return);
        QCOMPARE(f.column(id, "Toneladas").toDouble(), 0.0);
        QVERIFY(!f.column(id, "Toneladas").isNull());
        QCOMPARE(f.grid()->TextMatrix(2, 1), QStringLiteral("0"));
    }

    void notANumberIsRefused()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        f.grid()->setRowCol(2, 9);
        const qint64 id = f.idAt(2);
        type(f, "catorce");
        key(f, Qt::Key_Return);
        QVERIFY(f.w->TxtEdit()->isVisible());
        QCOMPARE(f.w->TxtEdit()->text(), QStringLiteral("catorce"));
        QVERIFY(f.column(id, "humedad").isNull());
        QCOMPARE(f.dialogs.messageTexts().last(),
                 QStringLiteral("¡¡¡Debe ingresar un número válido!!!"));
        QCOMPARE(f.grid()->Col(), 9);
    }

    void depositNumbers()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        f.grid()->setRowCol(2, 11);
        const qint64 id = f.idAt(2);
        type(f, "99");
        key(f, Qt::Key_Return);
        QCOMPARE(f.dialogs.messageTexts().last(),
                 QStringLiteral("¡¡¡Número de depósito incorrecto!!!"));
        QVERIFY(f.w->TxtEdit()->isVisible());
        QVERIFY(f.column(id, "silodestino").isNull());
        f.w->TxtEdit()->setText("3");
        key(f, Qt::Key_Return);
        QCOMPARE(f.column(id, "silodestino").toString(), QStringLiteral("0003"));
        QCOMPARE(f.grid()->TextMatrix(2, 11), QStringLiteral("0003"));
        QCOMPARE(f.grid()->Col(), 12);
        // The deposit column takes at most 4 characters.
        f.grid()->setRowCol(2, 11);
        QTest::keyClick(f.grid(), Qt::Key_Return);
        QCOMPARE(f.w->TxtEdit()->maxChars(), 4);
        key(f, Qt::Key_Escape);
    }

    void movesAtTheEdges()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        const int last = f.grid()->Rows() - 1; // row 3
        // Enter in column 12 of the last row: same row, column 1.
        f.grid()->setRowCol(last, 12);
        type(f, "x");
        key(f, Qt::Key_Return);
        QCOMPARE(f.grid()->Row(), last);
        QCOMPARE(f.grid()->Col(), 1);
        // Enter in column 12 of another row: next row, column 1.
        f.grid()->setRowCol(2, 12);
        type(f, "y");
        key(f, Qt::Key_Return);
        QCOMPARE(f.grid()->Row(), 3);
        QCOMPARE(f.grid()->Col(), 1);
        // Down in the last row does not move.
        f.grid()->setRowCol(last, 2);
        type(f, "a");
        key(f, Qt::Key_Down);
        QCOMPARE(f.grid()->Row(), last);
        QCOMPARE(f.grid()->Col(), 2);
        // Down elsewhere keeps the column, as Up does: the value typed next
        // goes into the next row's cell.
        f.grid()->setRowCol(2, 2);
        type(f, "b");
        key(f, Qt::Key_Down);
        QCOMPARE(f.grid()->Row(), 3);
        QCOMPARE(f.grid()->Col(), 2);
        type(f, "Otro");
        key(f, Qt::Key_Return);
        QCOMPARE(f.column(f.idAt(3), "vendedor").toString(), QStringLiteral("Otro"));
        // The record number's column is never the current cell: Left from
        // the first column stays there.
        f.grid()->setRowCol(3, 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
        QCOMPARE(f.grid()->Col(), 1);
        // Up in row 2 does not move.
        f.grid()->setRowCol(2, 3);
        type(f, "c");
        key(f, Qt::Key_Up);
        QCOMPARE(f.grid()->Row(), 2);
        f.grid()->setRowCol(3, 3);
        type(f, "d");
        key(f, Qt::Key_Up);
        QCOMPARE(f.grid()->Row(), 2);
        QCOMPARE(f.column(f.idAt(3), "procedencia").toString(), QStringLiteral("d"));
    }

    // Another desk changes the cell being edited: before it is written over,
    // the operator is told who changed it and to what. No keeps the other
    // desk's value (the cell shows it; a second Enter writes the operator's
    // without asking again), Yes writes at once; an unchanged cell asks
    // nothing.
    void anotherDesksChangeIsSaidBeforeItIsOverwritten()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        const qint64 id = f.idAt(2);
        const int col = DailySheet::columnaDe(QStringLiteral("camionero"));
        auto otra = f.db.secondConnection();
        auto otraEscribe = [&](const QString& v) {
            otra->execute(QStringLiteral("UPDATE v_mv_molvera SET camionero = ?, modificado_por = ? "
                                         "WHERE ID = ?"),
                          {v, QStringLiteral("OPB"), id});
        };
        auto teclas = [](const QString& text) {
            QTest::keyClicks(QApplication::focusWidget(), text.left(1));
            QTest::keyClicks(QApplication::focusWidget(), text.mid(1));
        };
        auto enter = [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); };
        f.grid()->setRowCol(2, col);
        f.grid()->setFocus();
        teclas(QStringLiteral("21"));
        otraEscribe(QStringLiteral("31"));
        f.dialogs.messageAnswers << Dialogs::No;
        enter();
        QCOMPARE(f.dialogs.count(QStringLiteral("message")), 1);
        const QString said = f.dialogs.shown.last().text;
        QVERIFY2(said.contains(QLatin1String("OPB")) && said.contains(QStringLiteral("«31»")) &&
                     said.contains(QStringLiteral("(vacío)")) && said.contains(QStringLiteral("«21»")),
                 qPrintable(said));
        QCOMPARE(f.column(id, "camionero").toString(), QStringLiteral("31"));
        QCOMPARE(f.grid()->TextMatrix(2, col), QStringLiteral("31"));
        QVERIFY(f.w->TxtEdit()->isVisible());
        enter();
        QCOMPARE(f.dialogs.count(QStringLiteral("message")), 1);
        QCOMPARE(f.column(id, "camionero").toString(), QStringLiteral("21"));
        // Yes writes over the other desk's value at once.
        f.grid()->setRowCol(2, col);
        teclas(QStringLiteral("22"));
        otraEscribe(QStringLiteral("32"));
        f.dialogs.messageAnswers << Dialogs::Yes;
        enter();
        QCOMPARE(f.dialogs.count(QStringLiteral("message")), 2);
        QCOMPARE(f.column(id, "camionero").toString(), QStringLiteral("22"));
        // Nobody else changed it: nothing is asked.
        f.grid()->setRowCol(2, col);
        teclas(QStringLiteral("23"));
        enter();
        QCOMPARE(f.dialogs.count(QStringLiteral("message")), 2);
        QCOMPARE(f.column(id, "camionero").toString(), QStringLiteral("23"));
    }

    void escapeAbandonsTheEdit()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        f.grid()->setRowCol(2, 2);
        type(f, "Primero");
        key(f, Qt::Key_Return);
        f.grid()->setRowCol(2, 2);
        const qint64 id = f.idAt(2);
        const QVariant stamp = f.column(id, "fecha_modificacion");
        type(f, "Otro");
        key(f, Qt::Key_Escape);
        QVERIFY(!f.w->TxtEdit()->isVisible());
        QCOMPARE(f.grid()->TextMatrix(2, 2), QStringLiteral("Primero"));
        QCOMPARE(f.column(id, "vendedor").toString(), QStringLiteral("Primero"));
        QCOMPARE(f.column(id, "fecha_modificacion"), stamp);
    }

    void clickingAnotherCellWritesAsEnterWould()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        f.grid()->setRowCol(2, 3);
        const qint64 id = f.idAt(2);
        type(f, "Rufino");
        const QRect target = f.grid()->visualRect(f.grid()->model()->index(1, 4));
        QTest::mouseClick(f.grid()->viewport(), Qt::LeftButton, {}, target.center());
        QCOMPARE(f.column(id, "procedencia").toString(), QStringLiteral("Rufino"));
        QCOMPARE(f.grid()->TextMatrix(2, 3), QStringLiteral("Rufino"));
        QCOMPARE(f.grid()->Row(), 3);
        QCOMPARE(f.grid()->Col(), 4);
        QVERIFY(!f.w->TxtEdit()->isVisible());
        // A refused value is not copied into the cell.
        f.grid()->setRowCol(2, 11);
        type(f, "77");
        QTest::mouseClick(f.grid()->viewport(), Qt::LeftButton, {}, target.center());
        QCOMPARE(f.grid()->TextMatrix(2, 11), QString());
        QVERIFY(f.column(id, "silodestino").isNull());
        QCOMPARE(f.dialogs.messageTexts().last(),
                 QStringLiteral("¡¡¡Número de depósito incorrecto!!!"));
    }

    void closingWithAnOpenEditWritesIt()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        f.grid()->setRowCol(2, 4);
        const qint64 id = f.idAt(2);
        type(f, "Transportes Sur");
        f.w->close();
        QCOMPARE(f.column(id, "camionero").toString(), QStringLiteral("Transportes Sur"));
    }

    void cancelarWithAnOpenEditWritesIt()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        f.grid()->setRowCol(2, 3);
        const qint64 id = f.idAt(2);
        type(f, "Pergamino");
        f.w->ProcesarComando("CANCELAR");
        QCOMPARE(f.column(id, "procedencia").toString(), QStringLiteral("Pergamino"));
        QVERIFY(!f.w->mPlanillaCargada);
    }

    void rowWithoutIdIsNotWritten()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        f.grid()->setTextMatrix(2, 0, "");
        f.grid()->setRowCol(2, 2);
        type(f, "Nadie");
        key(f, Qt::Key_Return);
        QCOMPARE(f.dialogs.messageTexts().last(),
                 QStringLiteral("¡¡¡Mal Posicionamiento!!!, no se actualizará"));
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM mv_molvera WHERE vendedor IS NOT NULL").toInt(), 0);
        QVERIFY(f.w->TxtEdit()->isVisible());
    }

    void largeIdsAreWritten()
    {
        WindowFixture f;
        f.db.data().execute("INSERT INTO mv_molvera (ID, Fecha) VALUES (40000, ?)",
                            {QDateTime(QDate(2024, 3, 15), QTime())});
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        QCOMPARE(f.idAt(2), 40000);
        f.grid()->setRowCol(2, 2);
        type(f, "Grande");
        key(f, Qt::Key_Return);
        QCOMPARE(f.column(40000, "vendedor").toString(), QStringLiteral("Grande"));
        const qint64 id = f.w->commands().Nuevo();
        if (f.db.onServer()) QVERIFY(id > 0 && id != 40000); // the server's own sequence
        else QCOMPARE(id, 40001);
    }

    void databaseErrorGoesToTheErrorDialog()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        if (f.db.onServer()) {
            f.db.data().execute("CREATE FUNCTION falla() RETURNS trigger AS $$ BEGIN "
                                "RAISE EXCEPTION 'disco lleno'; END $$ LANGUAGE plpgsql");
            f.db.data().execute("CREATE TRIGGER falla BEFORE UPDATE ON mv_molvera "
                                "FOR EACH ROW EXECUTE FUNCTION falla()");
        } else {
            f.db.data().execute("CREATE TRIGGER falla BEFORE UPDATE ON mv_molvera "
                                "BEGIN SELECT RAISE(ABORT, 'disco lleno'); END");
        }
        f.grid()->setRowCol(2, 2);
        const qint64 id = f.idAt(2);
        type(f, "Perdido");
        f.dialogs.errorAnswers = {Dialogs::Retry, Dialogs::Abort};
        key(f, Qt::Key_Return);
        QCOMPARE(f.dialogs.count("error"), 2);
        QCOMPARE(f.dialogs.shown.last().source, QStringLiteral("UpdateaCampo"));
        QVERIFY(f.dialogs.shown.last().text.contains("disco lleno"));
        // Not written: the editor keeps the value, the cell its old one.
        QVERIFY(f.w->TxtEdit()->isVisible());
        QCOMPARE(f.w->TxtEdit()->text(), QStringLiteral("Perdido"));
        QCOMPARE(f.grid()->TextMatrix(2, 2), QString());
        QVERIFY(f.column(id, "vendedor").isNull());
    }

    void insertAndDeleteKeysRunTheCommands()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        QTest::keyClick(f.grid(), Qt::Key_Insert);
        QCOMPARE(f.rowsOf(QDate(2024, 3, 15)), 3);
        QVERIFY(!f.w->TxtEdit()->isVisible());
        QCOMPARE(f.grid()->Col(), 1);
        // Typing a digit now opens the editor on the new row's tonnes.
        QTest::keyClicks(f.grid(), "8");
        QVERIFY(f.w->TxtEdit()->isVisible());
        QCOMPARE(f.w->TxtEdit()->dataField(), QStringLiteral("TONELADAS"));
        key(f, Qt::Key_Escape);
        f.grid()->setRowCol(f.grid()->Rows() - 1, 1);
        f.dialogs.messageAnswers = {Dialogs::Yes};
        QTest::keyClick(f.grid(), Qt::Key_Delete);
        QCOMPARE(f.rowsOf(QDate(2024, 3, 15)), 2);
    }

    void headerDateBox()
    {
        WindowFixture f;
        TextBox* fecha = f.w->box("Fecha");
        fecha->setFocus();
        QCoreApplication::processEvents();
        QCOMPARE(fecha->palette().color(QPalette::Base), QColor(0, 255, 255));
        fecha->clear();
        QTest::keyClicks(fecha, "ab15/3x/2024;"); // letters are filtered out
        QCOMPARE(fecha->text(), QStringLiteral("15/3/2024"));
        fecha->setText("   ");
        QTest::keyClick(fecha, Qt::Key_Return);
        QCOMPARE(f.dialogs.messageTexts().last(), QStringLiteral("¡¡¡Debe ingresar una fecha!!!"));
        fecha->setText("31/02/2024");
        QTest::keyClick(fecha, Qt::Key_Return);
        QCOMPARE(f.dialogs.messageTexts().last(),
                 QStringLiteral("¡¡¡Debe ingresar una fecha válida!!!"));
        QVERIFY(!f.w->mPlanillaCargada);
        fecha->setText("15/3/2024");
        QTest::keyClick(fecha, Qt::Key_Return);
        QVERIFY(f.w->mPlanillaCargada);
        QCOMPARE(f.rowsOf(QDate(2024, 3, 15)), 2);
        QVERIFY(f.grid()->hasFocus());
        QCOMPARE(fecha->palette().color(QPalette::Base), QColor(255, 255, 255));
    }
};

QTEST_MAIN(TstCellEditor)
#include "tst_celleditor.moc"
