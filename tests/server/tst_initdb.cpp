// molvera --init-db, run as the program itself: it creates the tables on an
// empty server database, leaves a database that has them alone, and ends with
// one clear message and a non-zero status when it cannot connect.
#include "DataService.h"
#include "ProgramRun.h"
#include "SchemaUpgrade.h"
#include "TestDb.h"

#include "SqlScript.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

const QString kPassword = QStringLiteral("Clave-Que-No-Se-Ve-55");

using Run = ProgramRun;

Run initDb(const QString& parametros)
{
    return ProgramRun::of(QStringLiteral(MOLVERA_EXE), {QStringLiteral("--init-db"), parametros});
}

QString env(const char* name)
{
    return qEnvironmentVariable(name);
}

QString items(const QString& dsn, const QString& user, const QString& password)
{
    return QStringLiteral("@Server=PLANTA/SRV01; @DbName=%1; @Usuario=%2; @Password=%3;")
        .arg(dsn, user, password);
}

} // namespace

class TstInitDb : public QObject
{
    Q_OBJECT
private slots:
    void badInput_data()
    {
        QTest::addColumn<QString>("parametros");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("data source that does not exist")
            << items("MOLVERA_NO_EXISTE", "operador", kPassword)
            << QStringList{"\"MOLVERA_NO_EXISTE\" no existe"};
        QTest::newRow("no data source named")
            << QStringLiteral("@Server=SRV01; @Usuario=operador; @Password=%1;").arg(kPassword)
            << QStringList{"Falta el nombre del origen de datos ODBC (@DbName)"};
        if (!TestDb::serverDsn().isEmpty())
            QTest::newRow("wrong password")
                << items(TestDb::serverDsn(), env("MOLVERA_TEST_ODBC_USER"), kPassword)
                << QStringList{"rechazó el usuario", TestDb::serverDsn()};
        if (!env("MOLVERA_TEST_ODBC_DOWN_DSN").isEmpty())
            QTest::newRow("server that is down")
                << items(env("MOLVERA_TEST_ODBC_DOWN_DSN"), "operador", kPassword)
                << QStringList{"No se puede llegar al servidor", env("MOLVERA_TEST_ODBC_DOWN_DSN")};
    }
    void badInput()
    {
        QFETCH(QString, parametros);
        QFETCH(QStringList, expected);
        const Run r = initDb(parametros);
        QCOMPARE(r.status, 1);
        for (const QString& e : expected)
            QVERIFY2(r.err.contains(e), qPrintable(r.err));
        QVERIFY2(!r.err.contains(kPassword) && !r.out.contains(kPassword), qPrintable(r.err));
        // One message, not one per attempt.
        QCOMPARE(r.err.count(QLatin1String("molvera --init-db:")), 1);
    }

    void createsTheTablesOnAnEmptyDatabase()
    {
        const QString dsn = env("MOLVERA_TEST_ODBC_INIT_DSN");
        if (dsn.isEmpty()) QSKIP("no empty server database (MOLVERA_TEST_ODBC_INIT_DSN)");
        const QString user = env("MOLVERA_TEST_ODBC_USER");
        const QString password = env("MOLVERA_TEST_ODBC_PASSWORD");
        {
            // Start from an empty database.
            DataService d(QStringLiteral("reset"));
            d.setServer(QStringLiteral("SRV01"));
            d.setDatabaseName(dsn);
            d.setUser(user);
            d.setPassword(password);
            d.setSchemaCheck(false);
            d.open(false);
            QVERIFY2(d.isOpen(), qPrintable(d.openError()));
            d.execute(QStringLiteral("DROP SCHEMA public CASCADE"));
            d.execute(QStringLiteral("CREATE SCHEMA public"));
        }
        // Start-up refuses the empty database and says what to run.
        {
            DataService d(QStringLiteral("before"));
            d.setServer(QStringLiteral("SRV01"));
            d.setDatabaseName(dsn);
            d.setUser(user);
            d.setPassword(password);
            d.open(false);
            QVERIFY(!d.isOpen());
            QVERIFY2(d.openError().contains(QLatin1String("--init-db")), qPrintable(d.openError()));
        }
        Run r = initDb(items(dsn, user, password));
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QLatin1String("creadas (PostgreSQL)")), qPrintable(r.out));
        QVERIFY(!r.out.contains(password) && !r.err.contains(password));
        {
            DataService d(QStringLiteral("after"));
            d.setServer(QStringLiteral("SRV01"));
            d.setDatabaseName(dsn);
            d.setUser(user);
            d.setPassword(password);
            d.open(false);
            QVERIFY2(d.isOpen(), qPrintable(d.openError()));
            QCOMPARE(d.openRecordSet(QStringLiteral("SELECT COUNT(*) FROM v_ta_deposito"))
                         .value(0)
                         .toInt(),
                     6);
            const qint64 id =
                d.insertReturningId(QStringLiteral("v_mv_molvera"), {QStringLiteral("Fecha")},
                                    {QDateTime(QDate(2024, 3, 15), QTime())});
            QVERIFY(id > 0);
        }
        // A second run changes nothing and keeps the rows.
        r = initDb(items(dsn, user, password));
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QLatin1String("ya tiene las tablas")), qPrintable(r.out));
        DataService d(QStringLiteral("again"));
        d.setServer(QStringLiteral("SRV01"));
        d.setDatabaseName(dsn);
        d.setUser(user);
        d.setPassword(password);
        d.open(false);
        QVERIFY2(d.isOpen(), qPrintable(d.openError()));
        QCOMPARE(
            d.openRecordSet(QStringLiteral("SELECT COUNT(*) FROM v_mv_molvera")).value(0).toInt(),
            1);
    }

    // A database of the first schema: --init-db brings it up to date and
    // keeps its rows; a second run finds it current.
    void upgradesAnOlderDatabase()
    {
        const QString dsn = env("MOLVERA_TEST_ODBC_INIT_DSN");
        if (dsn.isEmpty()) QSKIP("no empty server database (MOLVERA_TEST_ODBC_INIT_DSN)");
        QFile fixture(env("MOLVERA_SOURCE_DIR") + QStringLiteral("/tests/upgrade/v1-postgres.sql"));
        QVERIFY2(fixture.open(QIODevice::ReadOnly), qPrintable(fixture.fileName()));
        const QString user = env("MOLVERA_TEST_ODBC_USER");
        const QString password = env("MOLVERA_TEST_ODBC_PASSWORD");
        auto connect = [&](const QString& name, bool check) {
            auto d = std::make_unique<DataService>(name);
            d->setServer(QStringLiteral("SRV01"));
            d->setDatabaseName(dsn);
            d->setUser(user);
            d->setPassword(password);
            d->setSchemaCheck(check);
            d->open(false);
            return d;
        };
        const QString rows = QStringLiteral(
            "SELECT COUNT(*) || ':' || SUM(ID) || ':' || SUM(Toneladas) FROM mv_molvera");
        QString before;
        {
            auto d = connect(QStringLiteral("reset"), false);
            QVERIFY2(d->isOpen(), qPrintable(d->openError()));
            d->execute(QStringLiteral("DROP SCHEMA public CASCADE"));
            d->execute(QStringLiteral("CREATE SCHEMA public"));
            d->executeScript(QString::fromUtf8(fixture.readAll()));
            before = d->openRecordSet(rows).value(0).toString();
        }
        Run r = initDb(items(dsn, user, password));
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY2(
            r.out.contains(
                QStringLiteral("actualizada del esquema 1 al %1").arg(SchemaUpgrade::kCurrent)),
            qPrintable(r.out));
        {
            auto d = connect(QStringLiteral("upgraded"), false);
            QVERIFY2(d->isOpen(), qPrintable(d->openError()));
            QCOMPARE(SchemaUpgrade(*d).version(), SchemaUpgrade::kCurrent);
            QCOMPARE(d->openRecordSet(rows).value(0).toString(), before);
            QCOMPARE(d->openRecordSet(QStringLiteral("SELECT gramos FROM mv_molvera_silo_total "
                                                     "WHERE silodestino = '0002'"))
                         .value(0)
                         .toLongLong(),
                     Q_INT64_C(1333200));
        }
        r = initDb(items(dsn, user, password));
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QLatin1String("ya tiene las tablas")), qPrintable(r.out));
    }

    // The same on an embedded file, and a new one made: the message says what
    // was done to it.
    void upgradesAnOlderEmbeddedFile()
    {
        if (!TestDb::serverDsn().isEmpty())
            QSKIP("the embedded file in the run on the embedded database");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("v1.db"));
        QFile fixture(env("MOLVERA_SOURCE_DIR") + QStringLiteral("/tests/upgrade/v1-sqlite.sql"));
        QVERIFY2(fixture.open(QIODevice::ReadOnly), qPrintable(fixture.fileName()));
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fixture");
            raw.setDatabaseName(path);
            QVERIFY2(raw.open(), qPrintable(raw.lastError().text()));
            for (const QString& st : SqlScript::split(QString::fromUtf8(fixture.readAll()))) {
                QSqlQuery q(raw);
                QVERIFY2(q.exec(st), qPrintable(q.lastError().text()));
            }
            raw.close();
        }
        QSqlDatabase::removeDatabase("fixture");
        Run r = initDb(QStringLiteral("@DbName=%1;").arg(path));
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY2(
            r.out.contains(
                QStringLiteral("actualizada del esquema 1 al %1").arg(SchemaUpgrade::kCurrent)),
            qPrintable(r.out));
        r = initDb(QStringLiteral("@DbName=%1;").arg(path));
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QLatin1String("ya tiene las tablas")), qPrintable(r.out));
        r = initDb(QStringLiteral("@DbName=%1;").arg(dir.filePath(QStringLiteral("nueva.db"))));
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QLatin1String("Tablas de Molvera creadas")), qPrintable(r.out));
    }
};

QTEST_GUILESS_MAIN(TstInitDb)
#include "tst_initdb.moc"
