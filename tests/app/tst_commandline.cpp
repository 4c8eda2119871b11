// The program's command line, run as the program itself: --help and
// --version without a screen, unknown options refused, and --backup copying
// the embedded database while another workstation keeps writing to it.
#include "DataService.h"
#include "ProgramRun.h"
#include "SchemaUpgrade.h"
#include "TestDb.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

// The program without a screen: no display, no platform chosen.
QProcessEnvironment headless()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

using Run = ProgramRun;

Run molvera(const QStringList& args)
{
    return ProgramRun::of(QStringLiteral(MOLVERA_EXE), args, headless());
}

QVariant scalar(QSqlDatabase db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next()) return QStringLiteral("error: ") + q.lastError().text();
    return q.value(0);
}

} // namespace

class TstCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void helpNeedsNoScreen()
    {
        const Run r = molvera({QStringLiteral("--help")});
        QCOMPARE(r.status, 0);
        for (const char* s :
             {"--report", "--output", "--init-db", "--backup", "--version",
              "@Server=", "@DbName=", "@Usuario=", "@Password=", "@UsuarioLogeado="})
            QVERIFY2(r.out.contains(QLatin1String(s)), s);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        QCOMPARE(molvera({QStringLiteral("-h")}).out, r.out);
    }

    void version()
    {
        const Run r = molvera({QStringLiteral("--version")});
        QCOMPARE(r.status, 0);
        QVERIFY2(QRegularExpression(QStringLiteral("^molvera \\d+\\.\\d+")).match(r.out).hasMatch(),
                 qPrintable(r.out));
        QVERIFY2(r.out.contains(
                     QStringLiteral("esquema de base de datos %1").arg(SchemaUpgrade::kCurrent)),
                 qPrintable(r.out));
    }

    void unknownOptionsAreRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("named");
        QTest::newRow("alone") << QStringList{"--frobnicate"} << "--frobnicate";
        QTest::newRow("typo of --report")
            << QStringList{"--reprot", "01/03/2024", "31/03/2024", "--output", "x.pdf"}
            << "--reprot";
        QTest::newRow("short") << QStringList{"-x", "@DbName=a.db;"} << "-x";
        QTest::newRow("after the parameter string")
            << QStringList{"@UsuarioLogeado=OPERADOR;", "--verbose"} << "--verbose";
    }
    void unknownOptionsAreRefused()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, named);
        const Run r = molvera(args);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(QStringLiteral("opción desconocida \"%1\"").arg(named)),
                 qPrintable(r.err));
    }

    void backupRefusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::newRow("no file") << QStringList{"--backup"} << 2 << "falta el archivo";
        QTest::newRow("parameter string as the file")
            << QStringList{"--backup", "@DbName=a.db;"} << 2 << "falta el archivo";
        QTest::newRow("server") << QStringList{"--backup", "copia.db",
                                               "@Server=SRV01/PLANTA; "
                                               "@DbName=PLANTA;"}
                                << 2 << "pg_dump";
        QTest::newRow("no database")
            << QStringList{"--backup", "copia.db", "@DbName=/nonexistent/molvera.db;"} << 1
            << "No existe la base de datos /nonexistent/molvera.db";
    }
    void backupRefusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, says);
        const Run r = molvera(args);
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
    }

    // Another desk writes all along; the copy is one consistent state of the
    // database: complete rows, totals that match them, integrity_check ok,
    // and the desk never waits long.
    void backupWhileADeskWrites()
    {
        if (!TestDb::serverDsn().isEmpty()) QSKIP("the embedded database is copied here");
        TestDb db;
        DataService& d = db.data();
        {
            // A plant's year: enough pages that the copy takes a while.
            QSqlDatabase conn = d.database();
            QVERIFY(conn.transaction());
            QSqlQuery q(conn);
            QVERIFY(q.prepare(QStringLiteral(
                "INSERT INTO mv_molvera (Fecha, Toneladas, silodestino, observaciones) "
                "VALUES (?, ?, ?, ?)")));
            for (int i = 0; i < 6000; ++i) {
                q.addBindValue(QStringLiteral("2024-03-15 00:00:00"));
                q.addBindValue(25.0 + (i % 13) * 0.3333);
                q.addBindValue(QStringLiteral("000%1").arg(i % 6 + 1));
                q.addBindValue(QString(400, QChar(u'a' + i % 26)));
                QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
            }
            QVERIFY(conn.commit());
        }
        const int before = scalar(d.database(), "SELECT COUNT(*) FROM mv_molvera").toInt();
        QTemporaryDir out;
        const QString copy = QDir(out.path()).filePath(QStringLiteral("copia.db"));

        QProcess p;
        p.setProcessEnvironment(headless());
        p.start(QStringLiteral(MOLVERA_EXE),
                {QStringLiteral("--backup"), copy, QStringLiteral("@DbName=%1;").arg(db.path())});
        QVERIFY(p.waitForStarted());
        int writes = 0;
        qint64 slowest = 0;
        QElapsedTimer all;
        all.start();
        while (!p.waitForFinished(1) && all.elapsed() < 60000) {
            QElapsedTimer t;
            t.start();
            d.execute(QStringLiteral("INSERT INTO v_mv_molvera (Fecha, Toneladas, silodestino) "
                                     "VALUES (?, ?, ?)"),
                      {QDateTime(QDate(2024, 3, 16), QTime()), 30.5, QStringLiteral("0001")});
            d.execute(
                QStringLiteral("UPDATE v_mv_molvera SET Toneladas = Toneladas + 1 WHERE ID = ?"),
                {1 + writes % before});
            slowest = std::max(slowest, t.elapsed());
            ++writes;
        }
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(p.exitCode() == 0, qPrintable(err));
        QVERIFY2(QString::fromUtf8(p.readAllStandardOutput())
                     .contains(QStringLiteral("integridad comprobada")),
                 qPrintable(err));
        qInfo("%d writes while the copy was made, slowest %lld ms", writes, slowest);
        QVERIFY(writes > 0);
        QVERIFY2(slowest < 2000, "the desk waited for the copy");
        QVERIFY(!QFileInfo::exists(copy + QStringLiteral("-wal")));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{"copia.db"});

        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "copy");
        c.setDatabaseName(copy);
        QVERIFY(c.open());
        QCOMPARE(scalar(c, "PRAGMA integrity_check").toString(), QStringLiteral("ok"));
        QCOMPARE(scalar(c, "PRAGMA journal_mode").toString(), QStringLiteral("delete"));
        const int copied = scalar(c, "SELECT COUNT(*) FROM mv_molvera").toInt();
        const int now = scalar(d.database(), "SELECT COUNT(*) FROM mv_molvera").toInt();
        QVERIFY2(copied >= before && copied <= now, qPrintable(QString::number(copied)));
        // One state: the kept totals are those of the rows in the copy.
        QCOMPARE(scalar(c, "SELECT COUNT(*) FROM (SELECT silodestino, "
                           "SUM(CAST(ROUND(Toneladas * 1000000) AS INTEGER)) AS g, COUNT(*) AS n "
                           "FROM mv_molvera WHERE silodestino IS NOT NULL AND Toneladas IS NOT "
                           "NULL GROUP BY silodestino) r JOIN mv_molvera_silo_total t ON "
                           "t.silodestino = r.silodestino WHERE t.gramos <> r.g OR t.cargas <> r.n")
                     .toInt(),
                 0);
        c.close();
        c = QSqlDatabase();
        QSqlDatabase::removeDatabase("copy");

        // The copy is what a restore puts in place: the program opens it.
        DataService restored(QStringLiteral("restored"));
        restored.setDatabaseName(copy);
        restored.open(true);
        QVERIFY2(restored.isOpen(), qPrintable(restored.openError()));
        QCOMPARE(restored.openRecordSet(QStringLiteral("SELECT COUNT(*) FROM v_mv_molvera"))
                     .value(0)
                     .toInt(),
                 copied);
    }

    // A copy that cannot be written leaves nothing behind and says so.
    void backupIntoAFolderThatIsNotThere()
    {
        if (!TestDb::serverDsn().isEmpty()) QSKIP("the embedded database is copied here");
        TestDb db;
        const Run r = molvera({QStringLiteral("--backup"), QStringLiteral("/nonexistent/copia.db"),
                               QStringLiteral("@DbName=%1;").arg(db.path())});
        QCOMPARE(r.status, 3);
        QVERIFY2(r.err.contains(QStringLiteral("No existe la carpeta /nonexistent")),
                 qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_commandline.moc"
