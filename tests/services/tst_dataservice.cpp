#include "DataService.h"
#include "ServiceError.h"
#include "TestDb.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QtTest>
#include <unistd.h>

class TstDataService : public QObject
{
    Q_OBJECT
private slots:
    void newFileGetsSchemaAndStarterRows()
    {
        TestDb db;
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM ta_deposito").toInt(), 6);
        QCOMPARE(db.scalar("SELECT MIN(capacidad) FROM v_ta_deposito").toDouble(), 500.0);
        QCOMPARE(db.scalar("SELECT MAX(capacidad) FROM v_ta_deposito").toDouble(), 2000.0);
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM ta_provincias").toInt(), 24);
        QVERIFY(!db.scalar("SELECT VALOR FROM ta_configuracion WHERE CLAVE = 'NOMBRE'")
                     .toString()
                     .isEmpty());
        QVERIFY(db.scalar("SELECT COUNT(*) FROM ta_usuarios").toInt() > 0);
        QCOMPARE(db.scalar("PRAGMA journal_mode").toString(), QStringLiteral("wal"));
        QCOMPARE(db.scalar("PRAGMA synchronous").toInt(), 2); // FULL
        QVERIFY(db.scalar("PRAGMA busy_timeout").toInt() >= 1000);
        QVERIFY(db.data().tableHasColumn("ta_configuracion", "clave"));
        QVERIFY(!db.data().tableHasColumn("ta_configuracion", "nada"));
        QVERIFY(!db.data().tableHasColumn("no_existe", "clave"));
    }

    void viewAcceptsInsertUpdateDelete()
    {
        TestDb db;
        DataService& d = db.data();
        const QDateTime day(QDate(2024, 3, 15), QTime(0, 0));
        d.execute("INSERT INTO v_mv_molvera (Fecha,responsable,fecha_alta) VALUES (?,?,?)",
                  {day, "ANA", QDateTime::currentDateTime()});
        const qint64 id = db.scalar("SELECT MAX(ID) FROM mv_molvera").toLongLong();
        d.execute("UPDATE v_mv_molvera SET [VENDEDOR] = ? WHERE ID = ?", {"O'Higgins; --", id});
        QCOMPARE(db.scalar("SELECT vendedor FROM mv_molvera WHERE ID = ?", {id}).toString(),
                 QStringLiteral("O'Higgins; --"));
        QCOMPARE(DataService::toDateTime(db.scalar("SELECT Fecha FROM v_mv_molvera WHERE ID = ?", {id})),
                 day);
        d.execute("DELETE v_mv_molvera WHERE ID = ?", {id});
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM mv_molvera").toInt(), 0);
    }

    void insertIdComesFromTheInsertItself()
    {
        TestDb db;
        auto other = db.secondConnection();
        const QStringList cols{"Fecha", "responsable"};
        const QDateTime day(QDate(2024, 3, 15), QTime(0, 0));
        const qint64 mine = db.data().insertReturningId("v_mv_molvera", cols, {day, "A"});
        const qint64 theirs = other->insertReturningId("v_mv_molvera", cols, {day, "B"});
        const qint64 mine2 = db.data().insertReturningId("v_mv_molvera", cols, {day, "A2"});
        QVERIFY(mine != theirs && theirs != mine2 && mine != mine2);
        QCOMPARE(db.scalar("SELECT responsable FROM mv_molvera WHERE ID = ?", {mine}).toString(),
                 QStringLiteral("A"));
        QCOMPARE(db.scalar("SELECT responsable FROM mv_molvera WHERE ID = ?", {theirs}).toString(),
                 QStringLiteral("B"));
        QCOMPARE(db.scalar("SELECT responsable FROM mv_molvera WHERE ID = ?", {mine2}).toString(),
                 QStringLiteral("A2"));
    }

    void idsBeyondSixteenBits()
    {
        TestDb db;
        db.data().execute("INSERT INTO mv_molvera (ID, Fecha) VALUES (5000000000, '2024-03-15 00:00:00')");
        const qint64 id = db.data().insertReturningId("v_mv_molvera", {"Fecha"},
                                                      {QDateTime(QDate(2024, 3, 15), QTime())});
        QCOMPARE(id, Q_INT64_C(5000000001));
        db.data().execute("UPDATE v_mv_molvera SET [TONELADAS] = ? WHERE ID = ?", {30.5, id});
        QCOMPARE(db.scalar("SELECT Toneladas FROM mv_molvera WHERE ID = ?", {id}).toDouble(), 30.5);
    }

    void recordSetReadsEveryRow()
    {
        TestDb db;
        RecordSet rs = db.data().openRecordSet("SELECT iddeposito, descripcion FROM v_ta_deposito ORDER BY iddeposito");
        QCOMPARE(rs.recordCount(), 6);
        QVERIFY(!rs.bof());
        QCOMPARE(rs.value("IDDEPOSITO").toString(), QStringLiteral("0001"));
        int n = 0;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) ++n;
        QCOMPARE(n, 6);
        QVERIFY_THROWS_EXCEPTION(ServiceError, rs.value(0));
        RecordSet empty = db.data().openRecordSet("SELECT * FROM v_ta_deposito WHERE 1 = 0");
        QVERIFY(empty.bof() && empty.eof());
        QCOMPARE(empty.fieldCount(), 3);
    }

    // The kept rows, one block of values, seen row by row.
    void recordSetRowsOverOneBlock()
    {
        QVector<RecordSet::Field> fields(3);
        fields[0].name = "a";
        fields[1].name = "B";
        fields[2].name = "c";
        RecordSet rs(fields, {1, "x", 1.5, 2, "y", 2.5, 3, QVariant(), 3.5, 4, "w", 4.5});
        QCOMPARE(rs.recordCount(), 4);
        QCOMPARE(rs.rows().size(), 4);
        QCOMPARE(rs.rows().at(2).at(0).toInt(), 3);
        QVERIFY(rs.rows().at(2).at(1).isNull());
        QCOMPARE(rs.rows().first().at(1).toString(), QStringLiteral("x"));
        int n = 0;
        double sum = 0;
        for (const RecordSet::Row row : rs.rows()) {
            QCOMPARE(row.size(), 3);
            QCOMPARE(row.at(0).toInt(), ++n);
            for (const QVariant& v : row) sum += v.toDouble();
        }
        QCOMPARE(n, 4);
        QCOMPARE(sum, 1 + 2 + 3 + 4 + 1.5 + 2.5 + 3.5 + 4.5);
        // The cursor walks the same rows.
        rs.moveLast();
        QCOMPARE(rs.value("b").toString(), QStringLiteral("w"));
        QCOMPARE(rs.value(2).toDouble(), 4.5);
        rs.moveNext();
        QVERIFY(rs.eof());
        QVERIFY_THROWS_EXCEPTION(ServiceError, rs.value(0));
        rs.close();
        QVERIFY(rs.isEmpty() && rs.rows().isEmpty());
        QCOMPARE(rs.rows().begin() == rs.rows().end(), true);
        const RecordSet none(fields, {});
        QVERIFY(none.bof() && none.eof());
        QCOMPARE(none.fieldCount(), 3);
    }

    void failuresAreRaised()
    {
        TestDb db;
        QVERIFY_THROWS_EXCEPTION(ServiceError, db.data().execute("SELEC nada"));
        QVERIFY_THROWS_EXCEPTION(ServiceError, db.data().openRecordSet("SELECT * FROM no_existe"));
        // The connection is still usable afterwards.
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM ta_deposito").toInt(), 6);
        QVERIFY(db.data().exists("v_ta_deposito", "0003", "iddeposito"));
        QVERIFY(!db.data().exists("v_ta_deposito", "0003' OR '1'='1", "iddeposito"));
    }

    void existingFilesAreNeverOverwritten()
    {
        QTemporaryDir dir;
        // A database of another program: refused, left as it was.
        const QString foreign = dir.filePath("otra.db");
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase("QSQLITE", "raw");
            raw.setDatabaseName(foreign);
            QVERIFY(raw.open());
            QSqlQuery(raw).exec("CREATE TABLE clientes (x)");
            raw.close();
        }
        QSqlDatabase::removeDatabase("raw");
        const QByteArray before = [&] {
            QFile f(foreign);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        DataService d("foreign");
        d.setDatabaseName(foreign);
        d.open(true);
        QVERIFY(!d.isOpen());
        QVERIFY(d.openError().contains("Molvera"));
        QFile after(foreign);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);

        // A file that is no database at all.
        const QString junk = dir.filePath("junk.db");
        QFile j(junk);
        QVERIFY(j.open(QIODevice::WriteOnly));
        j.write(QByteArray(8192, 'x'));
        j.close();
        DataService dj("junk");
        dj.setDatabaseName(junk);
        dj.open(true);
        QVERIFY(!dj.isOpen());
        QVERIFY(!dj.openError().isEmpty());
        QFile jj(junk);
        QVERIFY(jj.open(QIODevice::ReadOnly));
        QCOMPARE(jj.readAll(), QByteArray(8192, 'x'));
    }

    void readOnlyFileIsRefusedClearly()
    {
        if (geteuid() == 0) QSKIP("root can write any file");
        QTemporaryDir dir;
        const QString path = dir.filePath("ro.db");
        {
            DataService d("ro-make");
            d.setDatabaseName(path);
            d.open(true);
        }
        QFile::setPermissions(path, QFileDevice::ReadOwner);
        DataService d("ro");
        d.setDatabaseName(path);
        d.open(true);
        QVERIFY(!d.isOpen());
        QVERIFY(d.openError().contains("solo lectura"));
    }

    // A long day of writing: the log is copied back into the database beside
    // the writer's commits and starts again from its beginning whenever the
    // writer pauses (an operator between two cells), so its file never grows
    // with the day; a writer that never pauses still keeps it bounded. Every
    // commit is in the database.
    void theLogStaysSmallUnderManyCommits()
    {
        TestDb db;
        db.data().execute("CREATE TABLE t_big (id INTEGER PRIMARY KEY, v BLOB)");
        const QByteArray blob(100 * 1024, 'x');
        const QString wal = db.path() + "-wal";
        auto write = [&](int commits, int pauseMs) {
            qint64 largest = 0;
            for (int i = 0; i < commits; ++i) {
                db.data().execute("INSERT INTO t_big (v) VALUES (?)", {blob});
                largest = std::max(largest, QFileInfo(wal).size());
                if (pauseMs) QThread::msleep(pauseMs);
            }
            return largest;
        };
        const qint64 paused = write(300, 5); // 30 MB, a commit every few ms
        QVERIFY2(paused < 20 * 1024 * 1024, qPrintable(QString::number(paused)));
        const qint64 unpaused = write(1000, 0); // 100 MB without a pause
        QVERIFY2(unpaused < 80 * 1024 * 1024, qPrintable(QString::number(unpaused)));
        auto other = db.secondConnection();
        QSqlQuery q(other->database());
        QVERIFY(q.exec("SELECT COUNT(*), SUM(LENGTH(v)) FROM t_big") && q.next());
        QCOMPARE(q.value(0).toInt(), 1300);
        QCOMPARE(q.value(1).toLongLong(), 1300LL * blob.size());
    }

    void nameWithoutPathLivesInTheDataFolder()
    {
        QStandardPaths::setTestModeEnabled(true);
        DataService d("named");
        d.setDatabaseName("planta_test");
        d.open(true);
        QVERIFY(d.isOpen());
        QCOMPARE(QFileInfo(d.embeddedPath()).fileName(), QStringLiteral("planta_test.db"));
        QVERIFY(d.embeddedPath().startsWith(
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
        const QString p = d.embeddedPath();
        d.close();
        QFile::remove(p);
        QFile::remove(p + "-wal");
        QFile::remove(p + "-shm");
    }
};

QTEST_MAIN(TstDataService)
#include "tst_dataservice.moc"
