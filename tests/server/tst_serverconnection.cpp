// Opening a server database through ODBC: the forms of the data source name,
// one clear message for each way the connection can fail (never with the
// password in it, nor in any log line), and the statement that finds its
// connection lost and makes it again.
#include "DataService.h"
#include "ServiceError.h"
#include "TestDb.h"

#include <QFile>
#include <QMutex>
#include <QtTest>

namespace {

const QString kPassword = QStringLiteral("Pw-Never-Shown-731");
const char* kPsqlOdbc = "/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so";

// Every message Qt or the program logs while a test runs.
QStringList gLog;
QMutex gLogLock;
void collect(QtMsgType, const QMessageLogContext&, const QString& text)
{
    QMutexLocker l(&gLogLock);
    gLog << text;
}

QString env(const char* name)
{
    return qEnvironmentVariable(name);
}

} // namespace

class TstServerConnection : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        gLog.clear();
        qInstallMessageHandler(collect);
    }
    void cleanup()
    {
        qInstallMessageHandler(nullptr);
        for (const QString& line : gLog) QVERIFY2(!line.contains(kPassword), qPrintable(line));
    }

    // Each failure names what failed and says it once, without the password.
    void failedOpen_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("data source that does not exist")
            << "MOLVERA_NO_EXISTE" << "operador" << kPassword
            << QStringList{"origen de datos ODBC \"MOLVERA_NO_EXISTE\" no existe"};
        QTest::newRow("data source written with DSN=")
            << "DSN=MOLVERA_NO_EXISTE" << "operador" << kPassword
            << QStringList{"origen de datos ODBC \"MOLVERA_NO_EXISTE\" no existe"};
        QTest::newRow("no data source name")
            << "  " << "operador" << kPassword << QStringList{"Falta el nombre del origen de datos"};
        if (QFile::exists(QLatin1String(kPsqlOdbc)))
            QTest::newRow("server that is down")
                << QStringLiteral("DRIVER=%1;SERVER=127.0.0.1;PORT=1;DATABASE=planta;SSLmode=disable")
                       .arg(QLatin1String(kPsqlOdbc))
                << "operador" << kPassword
                << QStringList{"No se puede llegar al servidor", "apagado o no responde"};
        if (!TestDb::serverDsn().isEmpty()) {
            QTest::newRow("wrong password")
                << TestDb::serverDsn() << env("MOLVERA_TEST_ODBC_USER") << kPassword
                << QStringList{QStringLiteral("rechazó el usuario \"%1\" o su contraseña")
                                   .arg(env("MOLVERA_TEST_ODBC_USER")),
                               TestDb::serverDsn()};
            QTest::newRow("unknown user")
                << TestDb::serverDsn() << "nadie_aqui" << kPassword
                << QStringList{"rechazó el usuario \"nadie_aqui\""};
        }
        if (!env("MOLVERA_TEST_ODBC_DOWN_DSN").isEmpty())
            QTest::newRow("data source of a server that is down")
                << env("MOLVERA_TEST_ODBC_DOWN_DSN") << "operador" << kPassword
                << QStringList{"No se puede llegar al servidor", env("MOLVERA_TEST_ODBC_DOWN_DSN")};
    }
    void failedOpen()
    {
        QFETCH(QString, source);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QStringList, expected);
        DataService d(QStringLiteral("failing"));
        d.setServer(QStringLiteral("SRV01"));
        d.setDatabaseName(source);
        d.setUser(user);
        d.setPassword(password);
        QElapsedTimer t;
        t.start();
        d.open(false);
        QVERIFY(t.elapsed() < 30000);
        QVERIFY(!d.isOpen());
        const QString why = d.openError();
        for (const QString& e : expected) QVERIFY2(why.contains(e), qPrintable(why));
        QVERIFY2(!why.contains(password), qPrintable(why));
        // Statements on the failed service say there is no connection.
        try {
            d.execute(QStringLiteral("SELECT 1"));
            QFAIL("a statement ran without a connection");
        } catch (const ServiceError& e) {
            QCOMPARE(e.number(), int(ServiceError::NotConnected));
        }
    }

    void passwordTakenOutOfTexts()
    {
        DataService d;
        d.setPassword(kPassword);
        QCOMPARE(d.withoutPassword(QStringLiteral("x %1 y %1").arg(kPassword)), QStringLiteral("x **** y ****"));
        d.setPassword(QStringLiteral("a"));
        QCOMPARE(d.withoutPassword(QStringLiteral("a la base")), QStringLiteral("a la base"));
    }

    // The data source by name, or written with "DSN=" in front.
    void sourceForms_data()
    {
        QTest::addColumn<QString>("form");
        QTest::newRow("name") << "%1";
        QTest::newRow("DSN=name") << "DSN=%1";
        QTest::newRow("dsn = name") << "dsn = %1";
    }
    void sourceForms()
    {
        QFETCH(QString, form);
        if (TestDb::serverDsn().isEmpty()) QSKIP("no server data source (MOLVERA_TEST_ODBC_DSN)");
        TestDb db; // makes sure the default schema path has the tables
        DataService d(QStringLiteral("forms"));
        d.setServer(QStringLiteral("SRV01"));
        d.setDatabaseName(form.arg(TestDb::serverDsn()) +
                          QStringLiteral(";ConnSettings=SET search_path TO ") + schemaOf(db));
        d.setUser(env("MOLVERA_TEST_ODBC_USER"));
        d.setPassword(env("MOLVERA_TEST_ODBC_PASSWORD"));
        d.open(false);
        QVERIFY2(d.isOpen(), qPrintable(d.openError()));
        QCOMPARE(d.dialect().kind(), SqlDialect::Kind::PostgreSQL);
        QCOMPARE(d.connectionString(),
                 QStringLiteral("DSN=%1;UID=%2").arg(TestDb::serverDsn(), env("MOLVERA_TEST_ODBC_USER")));
    }

    // A database without the program's tables is named as such, with the
    // command that creates them.
    void databaseWithoutTables()
    {
        if (TestDb::serverDsn().isEmpty()) QSKIP("no server data source (MOLVERA_TEST_ODBC_DSN)");
        DataService d(QStringLiteral("empty"));
        d.setServer(QStringLiteral("SRV01"));
        d.setDatabaseName(TestDb::serverDsn() +
                          QStringLiteral(";ConnSettings=SET search_path TO molvera_sin_tablas"));
        d.setUser(env("MOLVERA_TEST_ODBC_USER"));
        d.setPassword(env("MOLVERA_TEST_ODBC_PASSWORD"));
        d.open(false);
        QVERIFY(!d.isOpen());
        QVERIFY2(d.openError().contains(QLatin1String("no tiene las tablas de Molvera")), qPrintable(d.openError()));
        QVERIFY(d.openError().contains(QLatin1String("--init-db")));
        d.setSchemaCheck(false);
        d.open(false);
        QVERIFY2(d.isOpen(), qPrintable(d.openError()));
        QVERIFY(!d.hasSchema());
    }

    // The server ends the session (as a restart does): the next statement
    // makes the connection again and runs once, its work done exactly once.
    void lostSessionIsMadeAgain()
    {
        if (TestDb::serverDsn().isEmpty()) QSKIP("no server data source (MOLVERA_TEST_ODBC_DSN)");
        TestDb db;
        DataService& d = db.data();
        auto other = db.secondConnection();
        auto cut = [&] {
            const qint64 pid = db.scalar(QStringLiteral("SELECT pg_backend_pid()")).toLongLong();
            RecordSet rs = other->openRecordSet(QStringLiteral("SELECT pg_terminate_backend(?)"), {pid});
            QVERIFY(rs.value(0).toBool());
            QTest::qWait(100);
        };
        const QString insert =
            QStringLiteral("INSERT INTO v_mv_molvera (Fecha,responsable,fecha_alta) VALUES (?,?,?)");
        const QDateTime day(QDate(2024, 3, 15), QTime());
        cut();
        d.execute(insert, {day, QStringLiteral("A"), QDateTime::currentDateTime()});
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM v_mv_molvera").toInt(), 1);

        cut();
        const qint64 id = d.insertReturningId(QStringLiteral("v_mv_molvera"),
                                              {QStringLiteral("Fecha"), QStringLiteral("responsable")},
                                              {day, QStringLiteral("B")});
        QCOMPARE(other->openRecordSet(QStringLiteral("SELECT responsable FROM v_mv_molvera WHERE ID = ?"), {id})
                     .value(0)
                     .toString(),
                 QStringLiteral("B"));

        cut();
        RecordSet rs = d.openRecordSet(QStringLiteral("SELECT COUNT(*) FROM v_mv_molvera"));
        QCOMPARE(rs.value(0).toInt(), 2);

        cut();
        QCOMPARE(d.execute(QStringLiteral("UPDATE v_mv_molvera SET [VENDEDOR] = ? WHERE ID = ?"),
                           {QStringLiteral("V"), id}),
                 1);
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM v_mv_molvera WHERE vendedor = 'V'").toInt(), 1);
        // A statement the database refuses is no lost connection: its error
        // comes back as it is and nothing is repeated.
        try {
            d.execute(QStringLiteral("INSERT INTO no_existe VALUES (1)"));
            QFAIL("refused statement reported as done");
        } catch (const ServiceError& e) {
            QCOMPARE(e.number(), int(ServiceError::Database));
            QVERIFY(e.description().contains(QLatin1String("no_existe")));
        }
    }

    // A statement that fails inside a transaction ends the transaction's work
    // with its error: nothing of it is confirmed, neither before the failure
    // nor after (VACUUM is refused inside a transaction and accepted outside
    // one: made again on a new connection it would pass, and the rest of the
    // work would be confirmed statement by statement).
    void failureInsideATransactionIsNotMadeAgain()
    {
        TestDb db;
        DataService& d = db.data();
        const QString insert =
            QStringLiteral("INSERT INTO v_mv_molvera (Fecha,responsable,fecha_alta) VALUES (?,?,?)");
        const QDateTime day(QDate(2024, 3, 15), QTime());
        bool refused = false;
        try {
            d.exclusiveTransaction(77, [&] {
                d.execute(insert, {day, QStringLiteral("A"), QDateTime::currentDateTime()});
                d.execute(QStringLiteral("VACUUM"));
                d.execute(insert, {day, QStringLiteral("B"), QDateTime::currentDateTime()});
            });
        } catch (const ServiceError&) {
            refused = true;
        }
        QVERIFY(refused);
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM v_mv_molvera").toInt(), 0);
        // The connection works on.
        d.execute(insert, {day, QStringLiteral("C"), QDateTime::currentDateTime()});
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM v_mv_molvera").toInt(), 1);
    }

private:
    static QString schemaOf(TestDb& db)
    {
        return db.scalar(QStringLiteral("SELECT current_schema()")).toString();
    }
};

QTEST_MAIN(TstServerConnection)
#include "tst_serverconnection.moc"
