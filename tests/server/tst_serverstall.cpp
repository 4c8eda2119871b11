// The database server stops answering (every process of the cluster stopped
// with SIGSTOP) while an operator works: the desk says within a moment that
// it is waiting for the server, refuses after its limit as it refuses with
// the server down (nothing shown as saved), refuses the next actions at once
// while the server is still silent, and once the server answers again what
// was refused is not in the database and the next edit is written.
// Needs MOLVERA_TEST_PG_PIDFILE (tools/run-tests); runs alone.
#include "CellEditor.h"
#include "ServiceError.h"
#include "WindowFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <cerrno>
#include <csignal>
#include <sys/types.h>

namespace
{

// The postmaster and its children, by number.
QList<pid_t> clusterProcesses()
{
    QFile f(qEnvironmentVariable("MOLVERA_TEST_PG_PIDFILE"));
    if (!f.open(QIODevice::ReadOnly)) return {};
    const pid_t postmaster = f.readLine().trimmed().toInt();
    if (postmaster <= 0) return {};
    QList<pid_t> out{postmaster};
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const pid_t pid = entry.toInt(&ok);
        if (!ok) continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray s = stat.readAll();
        // pid (comm) state ppid ...
        const QList<QByteArray> rest = s.mid(s.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1 && rest.at(1).toInt() == postmaster) out << pid;
    }
    return out;
}

bool gStopped = false;
qint64 gWatchdog = 0; // the shell that lets the server go on should this test be ended

bool signalCluster(int sig)
{
    const QList<pid_t> pids = clusterProcesses();
    if (pids.isEmpty()) return false;
    if (sig == SIGSTOP) {
        // Should this test be ended before it lets the server go on (a
        // timeout), the server goes on by itself a while later.
        QStringList numbers;
        for (pid_t p : pids)
            numbers << QString::number(p);
        QProcess watchdog;
        watchdog.setProgram(QStringLiteral("/bin/sh"));
        watchdog.setArguments(
            {QStringLiteral("-c"), QStringLiteral("sleep 40; kill -CONT %1").arg(numbers.join(u' '))});
        // Holds none of the test's output (ctest would wait for it).
        watchdog.setStandardInputFile(QProcess::nullDevice());
        watchdog.setStandardOutputFile(QProcess::nullDevice());
        watchdog.setStandardErrorFile(QProcess::nullDevice());
        watchdog.startDetached(&gWatchdog);
    } else if (gWatchdog > 0) {
        ::kill(pid_t(gWatchdog), SIGTERM);
        gWatchdog = 0;
    }
    // A backend of an earlier connection may end between the listing and
    // its signal: gone is not a failure. Any process stopped is let go in
    // the cleanup.
    bool stopped = false;
    for (pid_t p : pids) {
        if (::kill(p, sig) == 0) stopped = true;
        else if (errno != ESRCH) {
            gStopped = gStopped || (sig == SIGSTOP && stopped);
            return false;
        }
    }
    gStopped = sig == SIGSTOP && stopped;
    return stopped;
}

} // namespace

class TstServerStall : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        if (gStopped) signalCluster(SIGCONT);
    }

    void aStalledServerIsRefusedWithinTheLimit()
    {
        if (TestDb::serverDsn().isEmpty() || clusterProcesses().isEmpty())
            QSKIP("needs a test server whose processes may be stopped (MOLVERA_TEST_PG_PIDFILE)");
        WindowFixture f;
        // Declared after the window: whatever happens, the server answers
        // again before the window and its connection go.
        struct Resume {
            ~Resume()
            {
                if (gStopped) signalCluster(SIGCONT);
            }
        } resume;
        DataService& d = f.db.data();
        QCOMPARE(d.serverLimitMs(), DataService::kLimitMs);
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        const qint64 id = f.idAt(2);
        const int rows = f.grid()->Rows();
        auto* notice = f.w->findChild<QLabel*>(QStringLiteral("AvisoEspera"));
        QVERIFY(notice);
        QVERIFY(!notice->isVisible());
        // When the notice is painted on the window.
        QElapsedTimer since;
        qint64 paintedAt = -1;
        struct PaintSpy : QObject {
            std::function<void()> seen;
            bool eventFilter(QObject*, QEvent* e) override
            {
                if (e->type() == QEvent::Paint) seen();
                return false;
            }
        } spy;
        spy.seen = [&] {
            if (paintedAt < 0) paintedAt = since.elapsed();
        };
        notice->installEventFilter(&spy);

        // A value typed and ended with Enter while the server is silent.
        f.grid()->setRowCol(2, 2);
        f.grid()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(f.w->TxtEdit()->isVisible());
        f.w->TxtEdit()->setText(QStringLiteral("Parado"));
        f.dialogs.clear();
        QVERIFY(signalCluster(SIGSTOP));
        since.start();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        const qint64 answered = since.elapsed();
        qInfo("notice painted after %lld ms, refused after %lld ms", paintedAt, answered);
        QVERIFY2(paintedAt >= DataService::kNoticeMs - 50 &&
                     paintedAt < DataService::kNoticeMs + 1500,
                 qPrintable(QString::number(paintedAt)));
        QVERIFY2(answered >= DataService::kLimitMs - 50 && answered < DataService::kLimitMs + 2000,
                 qPrintable(QString::number(answered)));
        QVERIFY(!notice->isVisible());
        // One refusal, as with the server down (the write, or a read the
        // write makes first, is what waited).
        QCOMPARE(f.dialogs.shown.size(), 1);
        const QString said = f.dialogs.shown.last().text;
        QVERIFY2(said.startsWith(QStringLiteral("El servidor de base de datos")) &&
                     (said.contains(QStringLiteral("no respondió en 10 s")) ||
                      said.contains(QStringLiteral("sigue sin responder"))) &&
                     said.contains(QStringLiteral("la operación no se realizó")),
                 qPrintable(said));
        // Nothing shown as saved; the editor keeps the value.
        QVERIFY(f.w->TxtEdit()->isVisible());
        QCOMPARE(f.w->TxtEdit()->text(), QStringLiteral("Parado"));
        QCOMPARE(f.grid()->TextMatrix(2, 2), QString());

        // Still silent: the next actions are refused at once.
        since.restart();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
        QVERIFY2(since.elapsed() < 1000, qPrintable(QString::number(since.elapsed())));
        QCOMPARE(f.dialogs.shown.size(), 3);
        for (int i = 1; i < 3; ++i)
            QVERIFY2(f.dialogs.shown.at(i).text.contains(QStringLiteral("sigue sin responder")),
                     qPrintable(f.dialogs.shown.at(i).text));
        QCOMPARE(f.grid()->Rows(), rows);
        // The live sheet's checks do not hold the window either.
        since.restart();
        QTest::qWait(1000);
        QVERIFY2(since.elapsed() < 1300, qPrintable(QString::number(since.elapsed())));

        // The server answers again: the write it was sent is undone, and
        // the next one is written.
        QVERIFY(signalCluster(SIGCONT));
        QTRY_VERIFY_WITH_TIMEOUT(!d.serverBusy(), 10000);
        QCOMPARE(f.column(id, "vendedor").toString(), QString());
        QCOMPARE(f.rowsOf(QDate(2024, 3, 15)), rows - 2);
        f.grid()->setRowCol(2, 2);
        f.grid()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        f.w->TxtEdit()->setText(QStringLiteral("Andando"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(f.column(id, "vendedor").toString(), QStringLiteral("Andando"));
        QCOMPARE(f.grid()->TextMatrix(2, 2), QStringLiteral("Andando"));
        QTest::qWait(1500);
        QCOMPARE(f.column(id, "vendedor").toString(), QStringLiteral("Andando"));
    }
};

QTEST_MAIN(TstServerStall)
#include "tst_serverstall.moc"
