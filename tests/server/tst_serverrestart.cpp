// The database server restarts while the program runs: a statement while it
// is down fails with one clear message (no password), the program's
// connection object stays usable, and once the server is back the next
// statement reconnects by itself and finds every row written before.
// Needs MOLVERA_TEST_PG_STOP / MOLVERA_TEST_PG_START (tools/run-tests); runs
// alone, since it stops the server.
#include "DataService.h"
#include "ServiceError.h"
#include "TestDb.h"

#include <QProcess>
#include <QtTest>

namespace {

bool gStopped = false;

bool shell(const char* var)
{
    gStopped = qstrcmp(var, "MOLVERA_TEST_PG_STOP") == 0;
    const QString cmd = qEnvironmentVariable(var);
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), cmd});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

class TstServerRestart : public QObject
{
    Q_OBJECT
private slots:
    // Whatever happened, the server runs again for the tests after this one.
    void cleanup()
    {
        if (gStopped) shell("MOLVERA_TEST_PG_START");
    }

    void restartWhileRunning()
    {
        if (TestDb::serverDsn().isEmpty() || qEnvironmentVariableIsEmpty("MOLVERA_TEST_PG_STOP") ||
            qEnvironmentVariableIsEmpty("MOLVERA_TEST_PG_START"))
            QSKIP("needs a test server that may be stopped (MOLVERA_TEST_PG_STOP/START)");
        TestDb db;
        DataService& d = db.data();
        const QString insert =
            QStringLiteral("INSERT INTO v_mv_molvera (Fecha,responsable,fecha_alta) VALUES (?,?,?)");
        const QDateTime day(QDate(2024, 3, 15), QTime());
        d.execute(insert, {day, QStringLiteral("antes"), QDateTime::currentDateTime()});

        // Restarted between two statements: the next one just works, a read
        // (straight from the connection's handle) as well as a write.
        QVERIFY(shell("MOLVERA_TEST_PG_STOP"));
        QVERIFY(shell("MOLVERA_TEST_PG_START"));
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM v_mv_molvera").toInt(), 1);
        QVERIFY(shell("MOLVERA_TEST_PG_STOP"));
        QVERIFY(shell("MOLVERA_TEST_PG_START"));
        d.execute(insert, {day, QStringLiteral("despues"), QDateTime::currentDateTime()});
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM v_mv_molvera").toInt(), 2);

        // Down: one clear message, no password, for each statement tried.
        QVERIFY(shell("MOLVERA_TEST_PG_STOP"));
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                d.execute(QStringLiteral("UPDATE v_mv_molvera SET [VENDEDOR] = ? WHERE ID > ?"),
                          {QStringLiteral("X"), 0});
                QFAIL("a statement reported as done while the server was down");
            } catch (const ServiceError& e) {
                QCOMPARE(e.number(), int(ServiceError::NotConnected));
                QVERIFY2(e.description().startsWith(QStringLiteral(
                             "Se perdió la conexión con la base de datos")),
                         qPrintable(e.description()));
                QVERIFY(e.description().contains(TestDb::serverDsn()));
                QVERIFY(!e.description().contains(QLatin1String("  ")));
                const QString pw = qEnvironmentVariable("MOLVERA_TEST_ODBC_PASSWORD");
                QVERIFY(!e.description().contains(pw));
            }
        }
        // Back: the connection is made again on the next statement.
        QVERIFY(shell("MOLVERA_TEST_PG_START"));
        QCOMPARE(d.execute(QStringLiteral("UPDATE v_mv_molvera SET [VENDEDOR] = ? WHERE ID > ?"),
                           {QStringLiteral("Y"), 0}),
                 2);
        QVERIFY(d.isOpen());
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM v_mv_molvera WHERE vendedor = 'Y'").toInt(), 2);
    }
};

QTEST_GUILESS_MAIN(TstServerRestart)
#include "tst_serverrestart.moc"
