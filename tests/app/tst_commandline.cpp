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
#include <csignal>
#include <unistd.h>

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

// A small file system of its own (root only): read-only, or of 16 KB.
struct ScratchDisk {
    QTemporaryDir dir;
    bool mounted = false;
    explicit ScratchDisk(const char* options)
    {
        if (::geteuid() != 0) return;
        mounted = QProcess::execute(QStringLiteral("mount"),
                                    {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                     QStringLiteral("-o"), QString::fromLatin1(options),
                                     QStringLiteral("tmpfs"), dir.path()}) == 0;
    }
    ~ScratchDisk()
    {
        if (mounted) QProcess::execute(QStringLiteral("umount"), {dir.path()});
    }
};

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// The number of a process that is over.
qint64 endedProcess()
{
    QProcess p;
    p.start(QStringLiteral("true"), QStringList());
    p.waitForFinished();
    return p.processId() ? p.processId() : 999999;
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
        QTest::newRow("after --version") << QStringList{"--version", "--bogus"} << "--bogus";
        QTest::newRow("before --help") << QStringList{"--bogus", "--help"} << "--bogus";
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

    // --help and --version take nothing else: the extra argument is named
    // and nothing is printed on standard output.
    void helpAndVersionAlone_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        QTest::newRow("help extra")
            << QStringList{"--help", "extra"} << "--help no lleva otros argumentos (\"extra\")";
        QTest::newRow("-h with parameters") << QStringList{"@DbName=a.db;", "-h"}
                                            << "-h no lleva otros argumentos (\"@DbName=a.db;\")";
        QTest::newRow("version extra")
            << QStringList{"--version", "1"} << "--version no lleva otros argumentos (\"1\")";
        QTest::newRow("both") << QStringList{"--help", "--version"}
                              << "--help no lleva otros argumentos (\"--version\")";
    }
    void helpAndVersionAlone()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, says);
        const Run r = molvera(args);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
        QVERIFY2(r.out.isEmpty(), qPrintable(r.out));
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

    // Neither the copy nor the report's file ever goes over the database or
    // one of its companions, however the target is spelled, and a companion
    // is no database to copy: refused in Spanish, nothing written, nothing
    // left beside the target, and the database as it was.
    void neverOverTheDatabase_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        const QString refused = QStringLiteral("es la base de datos");
        for (const char* t : {"itself", "through a linked folder", "-wal", "-shm", "-journal",
                              "-wal through a linked folder"})
            QTest::newRow(qPrintable(QStringLiteral("backup %1").arg(t)))
                << "--backup" << QString::fromLatin1(t) << 3 << refused;
        QTest::newRow("backup of the -wal")
            << "--backup"
            << "of the -wal" << 1 << "es un archivo de trabajo de la base de datos";
        for (const char* t : {"itself", "-wal through a linked folder"})
            QTest::newRow(qPrintable(QStringLiteral("report %1").arg(t)))
                << "--report" << QString::fromLatin1(t) << 3 << refused;
    }
    void neverOverTheDatabase()
    {
        QFETCH(QString, command);
        QFETCH(QString, target);
        QFETCH(int, status);
        QFETCH(QString, says);
        if (!TestDb::serverDsn().isEmpty()) QSKIP("the embedded database is copied here");
        TestDb db;
        const QString path = db.path();
        const QString folder = QFileInfo(path).absolutePath();
        db.data().execute("INSERT INTO mv_molvera (Fecha, Toneladas) VALUES (?, 1)",
                          {QDateTime(QDate(2024, 3, 15), QTime())});
        QTemporaryDir other;
        QVERIFY(QFile::link(folder, other.filePath("enlace")));
        const QString linked = other.filePath("enlace/") + QFileInfo(path).fileName();
        QString source = path, to;
        if (target == "itself")
            to = path;
        else if (target == "through a linked folder")
            to = linked;
        else if (target == "-wal through a linked folder")
            to = linked + "-wal";
        else if (target == "of the -wal") {
            source = path + "-wal";
            to = other.filePath("copia.db");
        } else
            to = path + target;
        const QStringList files = filesIn(folder);
        const Run r = command == "--backup"
                          ? molvera({command, to, QStringLiteral("@DbName=%1;").arg(source)})
                          : molvera({command, "-", "-", "--output", to,
                                     QStringLiteral("@DbName=%1;").arg(source)});
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
        // Still the database (SQLite itself may have moved its log into it).
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(16), QByteArray("SQLite format 3", 16));
        QCOMPARE(filesIn(folder), files);
        QCOMPARE(
            QDir(other.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
            QStringList{"enlace"});
        QCOMPARE(db.scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
        db.data().execute("INSERT INTO mv_molvera (Fecha, Toneladas) VALUES (?, 2)",
                          {QDateTime(QDate(2024, 3, 15), QTime())});
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM mv_molvera WHERE Toneladas IN (1, 2)").toInt(), 2);
    }

    // Copies that earlier runs for the same target left unfinished (killed,
    // or the machine stopped) are taken away by the next run; the copy of a
    // run still going is left alone, and so is anything else in the folder.
    void backupTakesAwayStaleCopies()
    {
        if (!TestDb::serverDsn().isEmpty()) QSKIP("the embedded database is copied here");
        TestDb db;
        QTemporaryDir out;
        const QString copy = out.filePath("copia.db");
        const QString dead = QStringLiteral("copia.db.part-%1-deadbeef").arg(endedProcess());
        const QString running = QStringLiteral("copia.db.part-%1-cafecafe").arg(::getpid());
        const QStringList stale{"copia.db.part-1a2b3c4d", dead, dead + "-journal"};
        for (const QString& name : stale + QStringList{running, "otra.db.part-1a2b3c4d"}) {
            QFile f(out.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(4096, 'x')) == 4096);
            f.close();
        }
        QFile old(out.filePath(stale.first()));
        QVERIFY(old.open(QIODevice::ReadWrite));
        QVERIFY(old.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                QFileDevice::FileModificationTime));
        old.close();
        const Run r = molvera(
            {QStringLiteral("--backup"), copy, QStringLiteral("@DbName=%1;").arg(db.path())});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains("Se borraron 2 archivos de copias anteriores"), qPrintable(r.out));
        QCOMPARE(filesIn(out.path()), (QStringList{"copia.db", running, "otra.db.part-1a2b3c4d"}));
    }

    // A folder that cannot be written and a disk that fills up during the
    // copy: said in Spanish, status 3, no unfinished copy left behind.
    void backupFailuresInSpanish_data()
    {
        QTest::addColumn<QString>("disk");
        QTest::addColumn<QString>("says");
        QTest::newRow("read-only folder") << "ro"
                                          << "No se puede escribir en la carpeta";
        QTest::newRow("full disk") << "size=16k"
                                   << "el disco está lleno";
    }
    void backupFailuresInSpanish()
    {
        QFETCH(QString, disk);
        QFETCH(QString, says);
        if (!TestDb::serverDsn().isEmpty()) QSKIP("the embedded database is copied here");
        ScratchDisk scratch(qPrintable(disk));
        if (!scratch.mounted) QSKIP("a file system of its own needs root and mount");
        TestDb db;
        const Run r = molvera({QStringLiteral("--backup"), scratch.dir.filePath("copia.db"),
                               QStringLiteral("@DbName=%1;").arg(db.path())});
        QCOMPARE(r.status, 3);
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
        for (const char* english : {"unable", "disk", "full", "read-only", "denied", "file"})
            QVERIFY2(!r.err.contains(QLatin1String(english), Qt::CaseInsensitive),
                     qPrintable(r.err));
        QCOMPARE(filesIn(scratch.dir.path()), QStringList());
    }

    // SIGTERM, SIGHUP and SIGINT (a logout, a shutdown, Ctrl+C) end the desk
    // as Cerrar does: status 0 within a second, and the database file alone
    // (a plant's copy of molvera.db without its -wal) holds every row,
    // although another desk still has the database open.
    void aSignalEndsTheDeskAsCerrar_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void aSignalEndsTheDeskAsCerrar()
    {
        QFETCH(int, signal);
        if (!TestDb::serverDsn().isEmpty()) QSKIP("the embedded database's file is copied here");
        TestDb db;
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath("config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath("data"));
        QProcess desk;
        desk.setProcessEnvironment(env);
        desk.start(QStringLiteral(MOLVERA_EXE),
                   {QStringLiteral("@DbName=%1;@UsuarioLogeado=OPERADOR;").arg(db.path())});
        QVERIFY(desk.waitForStarted());
        // The desk has the database open (its files in its descriptors).
        const QString fds = QStringLiteral("/proc/%1/fd").arg(desk.processId());
        auto holds = [&] {
            for (const QFileInfo& fd : QDir(fds).entryInfoList(QDir::AllEntries | QDir::System))
                if (fd.symLinkTarget() == db.path() + "-shm") return true;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(holds(), 20000);
        for (int i = 0; i < 20; ++i)
            db.data().execute("INSERT INTO mv_molvera (Fecha, Toneladas) VALUES (?, ?)",
                              {QDateTime(QDate(2024, 3, 15), QTime()), i + 1});
        QVERIFY(QFileInfo(db.path() + "-wal").size() > 0);
        QElapsedTimer t;
        t.start();
        QCOMPARE(::kill(pid_t(desk.processId()), signal), 0);
        QVERIFY(desk.waitForFinished(5000));
        const qint64 took = t.elapsed();
        QCOMPARE(desk.exitStatus(), QProcess::NormalExit);
        QCOMPARE(desk.exitCode(), 0);
        QVERIFY2(took < 1000, qPrintable(QString::number(took)));
        QTemporaryDir copied;
        QVERIFY(QFile::copy(db.path(), copied.filePath("molvera.db")));
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "alone");
        c.setDatabaseName(copied.filePath("molvera.db"));
        QVERIFY(c.open());
        QCOMPARE(scalar(c, "SELECT COUNT(*) FROM mv_molvera WHERE Toneladas > 0").toInt(), 20);
        c.close();
        c = QSqlDatabase();
        QSqlDatabase::removeDatabase("alone");
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
