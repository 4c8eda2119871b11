// The change history: every accepted cell write, row insert and row delete
// leaves its record (who, when, which row and column, old and new value) in
// the same statement as the change, and the "Historial" window lists them.
#include "ExtrasFixture.h"

#include "ChangeHistory.h"
#include "HistoryDialog.h"
#include "SheetCommands.h"
#include "SheetMenu.h"

#include <QAction>
#include <QMenu>

namespace
{

struct Rec {
    QString usuario, operacion, campo;
    QVariant anterior, nuevo;
};

QList<Rec> recordsOf(TestDb& db, qint64 id, qint64 afterId = 0)
{
    RecordSet rs = db.data().openRecordSet(
        "SELECT usuario, operacion, campo, valor_anterior, valor_nuevo, ID, fecha_cambio "
        "FROM mv_molvera_historial WHERE id_registro = ? AND ID > ? "
        // What the load is worth comes with a change of its tonnes or a
        // reading (tests/settlement): these tests follow the typed columns.
        "AND campo NOT IN ('merma', 'kg_netos', 'grado', 'reglas_version') ORDER BY ID",
        {id, afterId});
    QList<Rec> out;
    for (const auto& row : rs.rows()) {
        // Every record has its time.
        if (!DataService::toDateTime(row.at(6)).isValid()) qWarning("a record without its time");
        out << Rec{row.at(0).toString(), row.at(1).toString(), row.at(2).toString(), row.at(3),
                   row.at(4)};
    }
    return out;
}

qint64 lastRecord(TestDb& db)
{
    return db.scalar("SELECT MAX(ID) FROM mv_molvera_historial").toLongLong();
}

// A recorded number read back as a number (each database writes its own text).
double asNumber(const QVariant& v)
{
    bool ok = false;
    const double d = QLocale::c().toDouble(v.toString().trimmed(), &ok);
    return ok ? d : -1e300;
}

} // namespace

class TstChangeHistory : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void aNewDayRecordsItsRows()
    {
        ExtrasFixture f;
        QVERIFY(f.w->history().available());
        QVERIFY(f.loadDay());
        QCOMPARE(f.grid()->Rows(), 4);
        for (int r : {2, 3}) {
            const QList<Rec> recs = recordsOf(f.db, f.idAt(r));
            QCOMPARE(recs.size(), 2); // the date and the responsible person
            for (const Rec& x : recs) {
                QCOMPARE(x.operacion, QStringLiteral("ALTA"));
                QCOMPARE(x.usuario, QStringLiteral("ANA"));
                QVERIFY(x.anterior.isNull());
            }
            QCOMPARE(recs.at(0).campo, QStringLiteral("fecha"));
            QCOMPARE(DataService::toDateTime(recs.at(0).nuevo).date(), ExtrasFixture::dia());
            QCOMPARE(recs.at(1).campo, QStringLiteral("responsable"));
            QCOMPARE(recs.at(1).nuevo.toString(), QStringLiteral("ANA"));
        }
    }

    void aCellWriteRecordsExactlyItsChange_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("campo");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("storedFirst");
        QTest::addColumn<QString>("storedSecond");
        QTest::addColumn<bool>("number");
        QTest::newRow("seller") << 2 << "vendedor"
                                << "Juan Perez"
                                << "juan perez"
                                << "Juan Perez"
                                << "juan perez" << false;
        QTest::newRow("humidity") << 9 << "humedad"
                                  << "13.5"
                                  << "14"
                                  << "13.5"
                                  << "14" << true;
        QTest::newRow("tonnes") << 1 << "toneladas"
                                << "28.25"
                                << "0"
                                << "28.25"
                                << "0" << true;
        QTest::newRow("silo") << 11 << "silodestino"
                              << "3"
                              << "0005"
                              << "0003"
                              << "0005" << false;
        QTest::newRow("quotes and line") << 12 << "observaciones"
                                         << "O'Higgins; \"x\""
                                         << ""
                                         << "O'Higgins; \"x\"" << QString() << false;
    }
    void aCellWriteRecordsExactlyItsChange()
    {
        QFETCH(int, col);
        QFETCH(QString, campo);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, storedFirst);
        QFETCH(QString, storedSecond);
        QFETCH(bool, number);
        ExtrasFixture f;
        QVERIFY(f.loadDay());
        const qint64 id = f.idAt(2);
        const qint64 other = f.idAt(3);
        const qint64 before = lastRecord(f.db);

        QVERIFY(f.typeInto(2, col, first));
        QList<Rec> recs = recordsOf(f.db, id, before);
        QCOMPARE(recs.size(), 1);
        QCOMPARE(recs.at(0).operacion, QStringLiteral("MODIFICACION"));
        QCOMPARE(recs.at(0).campo, campo);
        QCOMPARE(recs.at(0).usuario, QStringLiteral("ANA"));
        QVERIFY(recs.at(0).anterior.isNull());
        if (number)
            QCOMPARE(asNumber(recs.at(0).nuevo), asNumber(storedFirst));
        else
            QCOMPARE(recs.at(0).nuevo.toString(), storedFirst);

        // The next change names the value before it; another operator now.
        f.w->box("responsable")->setText(QStringLiteral("LUIS"));
        const qint64 mid = lastRecord(f.db);
        QVERIFY(f.typeInto(2, col, second));
        recs = recordsOf(f.db, id, mid);
        QCOMPARE(recs.size(), 1);
        QCOMPARE(recs.at(0).usuario, QStringLiteral("LUIS"));
        if (number) {
            QCOMPARE(asNumber(recs.at(0).anterior), asNumber(storedFirst));
            QCOMPARE(asNumber(recs.at(0).nuevo), asNumber(storedSecond));
        } else {
            QCOMPARE(recs.at(0).anterior.toString(), storedFirst);
            QCOMPARE(recs.at(0).nuevo.isNull(), storedSecond.isNull());
            if (!storedSecond.isNull()) QCOMPARE(recs.at(0).nuevo.toString(), storedSecond);
        }
        // The same value again is no change and leaves no record.
        const qint64 last = lastRecord(f.db);
        QVERIFY(f.typeInto(2, col, second));
        QCOMPARE(lastRecord(f.db), last);
        // The other row has only the records of its creation.
        QCOMPARE(recordsOf(f.db, other, before).size(), 0);
    }

    void insertAndDeleteAreRecorded()
    {
        ExtrasFixture f;
        QVERIFY(f.loadDay());
        const qint64 id = f.w->commands().Nuevo();
        QVERIFY(id > 0);
        QTest::keyClick(f.editor(), Qt::Key_Escape);
        QList<Rec> recs = recordsOf(f.db, id);
        QCOMPARE(recs.size(), 3); // the date, the responsible person, the 0 tonnes shown
        QCOMPARE(recs.at(0).operacion, QStringLiteral("ALTA"));
        QCOMPARE(recs.at(1).nuevo.toString(), QStringLiteral("ANA"));
        QCOMPARE(recs.at(2).campo.toLower(), QStringLiteral("toneladas"));
        const int row = f.rowOf(id);
        QVERIFY(f.typeInto(row, 2, QStringLiteral("Coop. Norte")));
        QVERIFY(f.typeInto(row, 9, QStringLiteral("12.5")));

        // Another operator deletes it: the delete names who deleted, and keeps
        // each value the row had.
        f.w->box("responsable")->setText(QStringLiteral("LUIS"));
        const qint64 before = lastRecord(f.db);
        f.grid()->setRowCol(row, 2);
        f.dialogs.messageAnswers << Dialogs::Yes;
        QCOMPARE(f.w->commands().Borrar(), 1);
        QVERIFY(!f.column(id, "ID").isValid());
        recs = recordsOf(f.db, id, before);
        QCOMPARE(recs.size(), 5);
        QStringList campos;
        for (const Rec& x : recs) {
            QCOMPARE(x.operacion, QStringLiteral("BAJA"));
            QCOMPARE(x.usuario, QStringLiteral("LUIS"));
            QVERIFY(x.nuevo.isNull());
            campos << x.campo;
        }
        QCOMPARE(campos,
                 QStringList({"fecha", "responsable", "toneladas", "vendedor", "humedad"}));
        QCOMPARE(recs.at(3).anterior.toString(), QStringLiteral("Coop. Norte"));
        QCOMPARE(asNumber(recs.at(4).anterior), 12.5);
    }

    // A write that the database refuses leaves neither the change nor its
    // record: both are made by the one statement.
    void aFailedWriteLeavesNeither()
    {
        ExtrasFixture f;
        QVERIFY(f.loadDay());
        const qint64 id = f.idAt(2);
        if (f.db.onServer()) {
            f.db.data().execute(
                "CREATE FUNCTION fn_falla() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                "IF NEW.observaciones = 'FALLA' THEN RAISE EXCEPTION 'falla de prueba'; END IF; "
                "RETURN NULL; END; $$");
            f.db.data().execute("CREATE TRIGGER tr_falla AFTER UPDATE ON mv_molvera "
                                "FOR EACH ROW EXECUTE FUNCTION fn_falla()");
        } else {
            f.db.data().execute("CREATE TRIGGER tr_falla AFTER UPDATE ON mv_molvera "
                                "WHEN NEW.observaciones = 'FALLA' "
                                "BEGIN SELECT RAISE(ABORT, 'falla de prueba'); END");
        }
        QVERIFY(f.typeInto(2, 12, QStringLiteral("bien")));
        const qint64 before = lastRecord(f.db);
        f.dialogs.errorAnswers << Dialogs::Abort;
        QVERIFY(!f.typeInto(2, 12, QStringLiteral("FALLA")));
        QCOMPARE(f.dialogs.count("error"), 1);
        QCOMPARE(f.column(id, "observaciones").toString(), QStringLiteral("bien"));
        QCOMPARE(lastRecord(f.db), before);
        QCOMPARE(f.grid()->TextMatrix(2, 12), QStringLiteral("bien"));
    }

    void historialListsTheCurrentRow()
    {
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
        ExtrasFixture f;
        QVERIFY(f.loadDay());
        const qint64 id = f.idAt(3);
        QVERIFY(f.typeInto(3, 9, QStringLiteral("13,5")));
        // At or below the receiving tolerance: the load's shrink stays 0, so
        // the second humidity brings no settlement record of its own.
        QVERIFY(f.typeInto(3, 9, QStringLiteral("13,75")));
        QVERIFY(f.typeInto(3, 2, QStringLiteral("Juan")));

        int rows = -1;
        QStringList newest, older, title;
        f.dialogs.execScripts << [&](QDialog* d) {
            auto* h = qobject_cast<HistoryDialog*>(d);
            if (!h) return int(QDialog::Rejected);
            title << h->windowTitle();
            rows = h->rowCount();
            for (int c = 0; c < 6; ++c)
                newest << h->cellText(0, c);
            for (int c = 0; c < 6; ++c)
                older << h->cellText(1, c);
            return int(QDialog::Rejected);
        };
        f.grid()->setRowCol(3, 4);
        QTest::keyClick(f.grid(), Qt::Key_H, Qt::ControlModifier);
        QCOMPARE(f.dialogs.count("exec"), 1);
        QVERIFY(!f.editor()->isVisible()); // the key opened no edit
        QCOMPARE(title, QStringList{"Historial"});
        // Every record, the settlement the first humidity brought included.
        QCOMPARE(rows, f.db.scalar("SELECT COUNT(*) FROM mv_molvera_historial WHERE "
                                   "id_registro = ?",
                                   {id})
                           .toInt());
        QCOMPARE(int(recordsOf(f.db, id).size()), 5);
        QCOMPARE(rows, 5 + 3); // merma, kg_netos and reglas_version
        QCOMPARE(newest.mid(1), QStringList({"ANA", "Modificación", "VENDEDOR", "", "Juan"}));
        QCOMPARE(older.mid(1), QStringList({"ANA", "Modificación", "HUMEDAD", "13,5", "13,75"}));
        QVERIFY(!newest.at(0).isEmpty());

        // The same window from the context menu; the first row has its own.
        int firstRows = -1;
        f.dialogs.execScripts << [&](QDialog* d) {
            if (auto* h = qobject_cast<HistoryDialog*>(d)) firstRows = h->rowCount();
            return int(QDialog::Rejected);
        };
        f.grid()->setRowCol(2, 1);
        QVERIFY(f.w->sheetMenu().menu()->actions().contains(f.w->sheetMenu().historial()));
        f.w->sheetMenu().historial()->trigger();
        QCOMPARE(firstRows, 2);
    }

    void historialWithoutASheet()
    {
        ExtrasFixture f;
        f.w->history().mostrar();
        QCOMPARE(f.dialogs.count("exec"), 0);
        QCOMPARE(f.dialogs.count("message"), 1);
    }

    // A database made before the history was kept: the program writes as
    // before, names no operator, and says the history is not kept.
    void aDatabaseWithoutTheHistory()
    {
        if (!TestDb::serverDsn().isEmpty()) QSKIP("the embedded database is changed here");
        ScriptedDialogs dialogs;
        TestDb db;
        DataService& d = db.data();
        for (const char* s :
             {"DROP TRIGGER tr_mv_molvera_historial_insert",
              "DROP TRIGGER tr_mv_molvera_historial_update",
              "DROP TRIGGER tr_mv_molvera_historial_delete", "DROP TABLE mv_molvera_historial"})
            d.execute(QString::fromLatin1(s));
        Lib_ClsCons3 lookup{&d};
        ModGlobal::reset();
        frmTrigo w(d, lookup, nullptr);
        QVERIFY(w.Load());
        w.show();
        QVERIFY(!w.history().available());
        QCOMPARE(w.history().setClause(), QString());
        w.box("Fecha")->setText("15/3/2024");
        QVERIFY(w.sheet().Cargar());
        w.MSflexGrid1()->setRowCol(2, 2);
        QTest::keyClick(w.MSflexGrid1(), Qt::Key_Return);
        w.TxtEdit()->setText("Juan");
        QTest::keyClick(w.TxtEdit(), Qt::Key_Return);
        const qint64 id = w.MSflexGrid1()->TextMatrix(2, 0).toLongLong();
        QCOMPARE(db.scalar("SELECT vendedor FROM mv_molvera WHERE ID = ?", {id}).toString(),
                 QStringLiteral("Juan"));
        w.MSflexGrid1()->setRowCol(2, 2);
        w.history().mostrar();
        QCOMPARE(dialogs.count("exec"), 0);
        QVERIFY(dialogs.messageTexts().last().contains("no guarda el historial"));
        w.hide();
    }
};

QTEST_MAIN(TstChangeHistory)
#include "tst_changehistory.moc"
