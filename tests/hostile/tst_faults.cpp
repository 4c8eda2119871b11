// Faults while the operator edits: the database full, read-only, locked by
// another desk for longer than the wait, and the program killed while it
// writes. The operator is told clearly, the editor keeps the value that was
// not written, and every edit reported accepted is in the file afterwards.
#include "WindowFixture.h"

#include "FileDialog.h"
#include "HostileData.h"
#include "LiveSheet.h"
#include "MolveraReportPrinter.h"
#include "WeighingSlip.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSqlError>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <signal.h>
#include <unistd.h>

namespace
{

// Scripted dialogs that also let the test act while an error is on screen,
// as the operator would before answering.
class FaultDialogs : public ScriptedDialogs
{
public:
    std::function<void(const ServiceError&)> onError;
    int errorDialog(QWidget* parent, const ServiceError& error, const QString& source) override
    {
        if (onError) onError(error);
        return ScriptedDialogs::errorDialog(parent, error, source);
    }
};

void sql(DataService& d, const QString& statement)
{
    QSqlQuery q(d.database());
    if (!q.exec(statement)) qFatal("%s: %s", qPrintable(statement), qPrintable(q.lastError().text()));
}

QString writerPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/hostile_writer");
}

// Another program on the same file: the sqlite3 shell runs the statements and
// closes (the last connection to close checkpoints and deletes the WAL).
QString otherProgram(const QString& path, const QString& statements)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"),
            {QStringLiteral("-cmd"), QStringLiteral(".timeout 5000"), path, statements});
    if (!p.waitForFinished(15000) || p.exitCode() != 0)
        return QStringLiteral("sqlite3 failed: ") +
               QString::fromLocal8Bit(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// A small file system of its own that fills up (root only); empty when it
// cannot be made here.
struct FullDisk {
    QTemporaryDir dir;
    bool mounted = false;
    FullDisk()
    {
        if (::geteuid() != 0) return;
        mounted = QProcess::execute(QStringLiteral("mount"),
                                    {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                     QStringLiteral("-o"), QStringLiteral("size=16k"),
                                     QStringLiteral("tmpfs"), dir.path()}) == 0;
        if (!mounted) return;
        // Every block taken: the next byte written fails.
        QFile fill(dir.filePath(QStringLiteral("fill")));
        fill.open(QIODevice::WriteOnly);
        const QByteArray block(1024, 'x');
        while (fill.write(block) == block.size() && fill.flush()) {
        }
    }
    ~FullDisk()
    {
        if (mounted) QProcess::execute(QStringLiteral("umount"), {dir.path()});
    }
    QString filePath(const QString& name) const { return dir.filePath(name); }
};

// The scripted dialogs with the real save dialog (FileDialog) on screen.
class RealFileDialogs : public ScriptedDialogs
{
public:
    std::optional<QString> saveFileName(QWidget* parent, const QString& title,
                                        const QString& suggested, const QString& filter) override
    {
        ScriptedDialogs::saveFileName(parent, title, suggested, filter);
        return QtDialogs().saveFileName(parent, title, suggested, filter);
    }
};

// Every file of the folder listed in the dialog shown, with its icon and kind
// asked for, as the view does while painting; what went wrong, if anything.
QString listEverything(QFileDialog& fd, const QString& folder)
{
    auto* model = fd.findChild<QFileSystemModel*>();
    if (!model) return QStringLiteral("the dialog has no file model");
    const QModelIndex dir = model->index(folder);
    QElapsedTimer waited;
    waited.start();
    // The database, its -wal and -shm, and the test's scratch files.
    while (model->rowCount(dir) < 3 && waited.elapsed() < 5000)
        QTest::qWait(20);
    if (model->rowCount(dir) < 3)
        return QStringLiteral("%1 files listed").arg(model->rowCount(dir));
    for (int r = 0; r < model->rowCount(dir); ++r) {
        model->data(model->index(r, 0, dir), Qt::DecorationRole);
        model->data(model->index(r, 2, dir), Qt::DisplayRole);
    }
    QTest::qWait(500); // the listing's own thread gathers icons and kinds
    return {};
}

} // namespace

class TstFaults : public QObject
{
    Q_OBJECT

    static void key(WindowFixture& f, Qt::Key k) { QTest::keyClick(f.w->TxtEdit(), k); }

    // Opens cell (2, 12) and offers the text; Enter. Answers the row's id.
    static qint64 offer(WindowFixture& f, const QString& text)
    {
        f.grid()->setRowCol(2, 12);
        const qint64 id = f.idAt(2);
        QTest::keyClick(f.grid(), Qt::Key_Return);
        f.w->TxtEdit()->setText(text);
        key(f, Qt::Key_Return);
        return id;
    }

    // A failed write: the error was shown under the cell writer's name with
    // the words the operator needs, the editor still holds the value, and
    // the database is as it was.
    void notWritten(WindowFixture& f, const Hostile::Snapshot& before, const QString& text,
                           const QString& words)
    {
        const ScriptedDialogs& d = *m_dialogs;
        QVERIFY(d.count("error") >= 1);
        QCOMPARE(d.shown.last().source, QStringLiteral("UpdateaCampo"));
        QVERIFY2(d.shown.last().text.contains(words, Qt::CaseInsensitive),
                 qPrintable(d.shown.last().text));
        QVERIFY(f.w->TxtEdit()->isVisible());
        QCOMPARE(f.w->TxtEdit()->text(), text);
        QCOMPARE(f.grid()->TextMatrix(2, 12), QString());
        const QStringList changes = before.changesTo(Hostile::Snapshot::take(f.db.data()));
        QVERIFY2(changes.isEmpty(), qPrintable(changes.join(u' ')));
    }

private slots:
    void init() { m_dialogs = std::make_unique<FaultDialogs>(); }
    void cleanup() { m_dialogs.reset(); }

    void diskFullDuringAnEdit()
    {
        WindowFixture f;
        Dialogs::install(m_dialogs.get()); // in front of the fixture's own
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        // No page more than the file has now: the long text needs new pages.
        sql(f.db.data(), "PRAGMA max_page_count = 1");
        const QString text = Hostile::longText() + Hostile::longText();
        const Hostile::Snapshot before = Hostile::Snapshot::take(f.db.data());
        offer(f, text);
        notWritten(f, before, text, "lleno");
        // Space is freed while the message is on screen; Reintentar writes it.
        m_dialogs->onError = [&](const ServiceError&) {
            sql(f.db.data(), "PRAGMA max_page_count = 1073741823");
        };
        m_dialogs->errorAnswers = {Dialogs::Retry};
        key(f, Qt::Key_Return);
        QVERIFY(!f.w->TxtEdit()->isVisible());
        QCOMPARE(f.column(f.idAt(2), "observaciones").toString(), text);
        QCOMPARE(f.grid()->TextMatrix(2, 12), text);
    }

    void readOnlyDatabaseDuringAnEdit()
    {
        WindowFixture f;
        Dialogs::install(m_dialogs.get()); // in front of the fixture's own
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        sql(f.db.data(), "PRAGMA query_only = ON");
        const Hostile::Snapshot before = Hostile::Snapshot::take(f.db.data());
        offer(f, QStringLiteral("Camión 12"));
        notWritten(f, before, QStringLiteral("Camión 12"), "solo lectura");
        // The sheet still reads; once writable, the same value goes in.
        sql(f.db.data(), "PRAGMA query_only = OFF");
        key(f, Qt::Key_Return);
        QVERIFY(!f.w->TxtEdit()->isVisible());
        QCOMPARE(f.column(f.idAt(2), "observaciones").toString(), QStringLiteral("Camión 12"));
    }

    void lockedByAnotherDesk()
    {
        WindowFixture f;
        Dialogs::install(m_dialogs.get()); // in front of the fixture's own
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        std::unique_ptr<DataService> other = f.db.secondConnection();
        sql(*other, "BEGIN EXCLUSIVE");
        sql(*other, "UPDATE ta_configuracion SET VALOR = VALOR WHERE 1 = 0");
        const Hostile::Snapshot before = Hostile::Snapshot::take(f.db.data());
        QElapsedTimer t;
        t.start();
        qint64 waited = -1;
        m_dialogs->onError = [&](const ServiceError&) { waited = t.elapsed(); };
        offer(f, QStringLiteral("Lote 7"));
        // The edit waited for the other desk as long as the busy time-out.
        QVERIFY2(waited >= 4500, qPrintable(QString::number(waited)));
        notWritten(f, before, QStringLiteral("Lote 7"), "otra estación");
        // The other desk finishes while the message is on screen: Reintentar.
        m_dialogs->onError = [&](const ServiceError&) { sql(*other, "COMMIT"); };
        m_dialogs->errorAnswers = {Dialogs::Retry};
        key(f, Qt::Key_Return);
        QVERIFY(!f.w->TxtEdit()->isVisible());
        QCOMPARE(f.column(f.idAt(2), "observaciones").toString(), QStringLiteral("Lote 7"));
        QCOMPARE(m_dialogs->count("error"), 2);
    }

    void killedWhileWriting()
    {
        QVERIFY2(QFileInfo(writerPath()).isExecutable(), qPrintable(writerPath()));
        TestDb db;
        const int rows = 5;
        for (int i = 1; i <= rows; ++i)
            db.data().execute("INSERT INTO mv_molvera (ID, Fecha, silodestino, Toneladas) "
                              "VALUES (?, ?, ?, 0)",
                              {i, QDateTime(QDate(2024, 3, 15), QTime()),
                               QStringLiteral("000%1").arg(1 + i % 3)});
        const QString path = db.path();
        db.data().close();

        // The rows as they stand before each run: observaciones and tonnes.
        QMap<qint64, std::pair<QString, double>> prior;
        for (int i = 1; i <= rows; ++i) prior[i] = {QString(), 0.0};
        int accepted = 0;
        const int kills = 40;
        for (int run = 1; run <= kills; ++run) {
            QProcess child;
            child.start(writerPath(), {path, QString::number(run), QString::number(rows)});
            QVERIFY(child.waitForStarted(5000));
            QVERIFY(child.waitForReadyRead(10000));
            QTest::qWait(20 + QRandomGenerator::global()->bounded(150));
            // What the writer has reported accepted up to the kill.
            const QByteArray out = child.readAllStandardOutput();
            const qint64 pid = child.processId();
            QVERIFY2(pid > 0, out.constData()); // never kill(0): the whole process group
            ::kill(pid_t(pid), SIGKILL);
            QVERIFY(child.waitForFinished(5000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            QVERIFY2(child.readAllStandardError().isEmpty(), "the writer reported an error");
            qint64 last = 0;
            for (const QByteArray& line : out.split('\n'))
                if (line.startsWith("ok ")) last = line.mid(3).toLongLong();
            accepted += int(last);

            // Open it as the program does and check it.
            DataService check(QStringLiteral("check%1").arg(run));
            check.setDatabaseName(path);
            check.open(true);
            QVERIFY2(check.isOpen(), qPrintable(check.openError()));
            RecordSet ic = check.openRecordSet("PRAGMA integrity_check");
            QCOMPARE(ic.value(0).toString(), QStringLiteral("ok"));
            QString why;
            QVERIFY2(Hostile::siloTotalsConsistent(check, &why), qPrintable(why));
            RecordSet rs =
                check.openRecordSet("SELECT ID, observaciones, Toneladas FROM mv_molvera ORDER BY ID");
            QCOMPARE(rs.recordCount(), rows);
            // Edit n of this run went to row n % rows + 1; the newest one in
            // the file may have only its first statement in.
            QMap<qint64, std::pair<qint64, double>> found; // row: edit number, tonnes
            qint64 newest = 0;
            for (; !rs.eof(); rs.moveNext()) {
                const qint64 id = rs.value(0).toLongLong();
                const QString obs = rs.value(1).toString();
                qint64 n = 0;
                if (obs.startsWith(QStringLiteral("%1-").arg(run))) n = obs.section(u'-', 1).toLongLong();
                else QCOMPARE(obs, prior[id].first); // not written in this run
                if (n) QCOMPARE(n % rows + 1, id);
                found[id] = {n, rs.value(2).toDouble()};
                newest = std::max(newest, n);
            }
            for (qint64 id = 1; id <= rows; ++id) {
                const auto [n, tonnes] = found[id];
                // The last edit reported accepted for this row is there, or a later one.
                qint64 reported = 0;
                for (qint64 k = last; k >= 1 && k > last - rows; --k)
                    if (k % rows + 1 == id) reported = k;
                QVERIFY2(n >= reported,
                         qPrintable(QStringLiteral("run %1 row %2: edit %3 in the file, edit %4 "
                                                   "reported accepted")
                                        .arg(run).arg(id).arg(n).arg(reported)));
                const double whole = n ? double(n % 40) + 0.5 : prior[id].second;
                const double before =
                    n > rows ? double((n - rows) % 40) + 0.5 : prior[id].second;
                QVERIFY2(tonnes == whole || (n == newest && n > last && tonnes == before),
                         qPrintable(QStringLiteral("run %1 row %2: tonnes %3 for edit %4")
                                        .arg(run).arg(id).arg(tonnes).arg(n)));
                rs.moveFirst();
            }
            for (rs.moveFirst(); !rs.eof(); rs.moveNext())
                prior[rs.value(0).toLongLong()] = {rs.value(1).toString(), rs.value(2).toDouble()};
            check.close();
        }
        qInfo("%d kills, %d edits reported accepted, all present", kills, accepted);
        QVERIFY(accepted > kills);
    }

    // Every file browser the program shows, on the database's folder, opens
    // no file of it: had it opened and closed one, the process's locks on the
    // database would be gone, and another program closing its connection
    // would delete the WAL the desk still writes to. The save dialog of the
    // exports, and the print dialog's "..." reached from the report preview
    // (with "*" typed so that it lists every file).
    void fileBrowsersOnTheDatabaseFolderKeepTheLocks_data()
    {
        QTest::addColumn<bool>("print");
        QTest::newRow("save dialog") << false;
        QTest::newRow("print dialog from the preview") << true;
    }
    void fileBrowsersOnTheDatabaseFolderKeepTheLocks()
    {
        QFETCH(bool, print);
        TestDb db;
        const QString path = db.path();
        const QString folder = QFileInfo(path).absolutePath();
        auto add = [&](DataService& d, const QString& obs) {
            d.execute("INSERT INTO mv_molvera (Fecha, silodestino, Toneladas, observaciones) "
                      "VALUES (?, '0001', 1, ?)",
                      {QDateTime(QDate(2024, 3, 15), QTime()), obs});
        };
        add(db.data(), "mesa-1");
        QVERIFY(QFile::exists(path + "-wal"));
        QString listed = QStringLiteral("not shown");
        if (!print) {
            FileDialog fd(nullptr, "Exportar la planilla", QDir(folder).filePath("x.csv"),
                          "Archivos CSV (*.csv);;Todos los archivos (*)");
            fd.setViewMode(QFileDialog::Detail);
            fd.selectNameFilter("Todos los archivos (*)");
            fd.show();
            listed = listEverything(fd, folder);
            fd.close();
        } else {
            RealFileDialogs dialogs;
            dialogs.execScripts << [](QDialog* preview) {
                if (auto* a = preview->findChild<QAction*>(QStringLiteral("printAction")))
                    a->trigger();
                return int(QDialog::Rejected);
            };
            dialogs.execScripts << [&](QDialog* d) {
                auto* printers = d->findChild<QComboBox*>(QStringLiteral("printers"));
                auto* file = d->findChild<QLineEdit*>(QStringLiteral("filename"));
                auto* browse = d->findChild<QToolButton*>(QStringLiteral("fileBrowser"));
                if (!printers || !file || !browse) return int(QDialog::Rejected);
                printers->setCurrentIndex(printers->count() - 1);
                file->setText(QDir(folder).filePath("informe.pdf"));
                QTimer::singleShot(0, [&] {
                    FileDialog* fd = nullptr;
                    for (QWidget* w : QApplication::topLevelWidgets())
                        if (auto* f = qobject_cast<FileDialog*>(w); f && f->isVisible()) fd = f;
                    if (!fd) return;
                    fd->setViewMode(QFileDialog::Detail);
                    fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("*");
                    fd->accept(); // a pattern: the list shows every file
                    listed = fd->isVisible() ? listEverything(*fd, folder)
                                             : QStringLiteral("\"*\" closed the dialog");
                    fd->reject();
                });
                browse->click();
                return int(QDialog::Rejected);
            };
            MolveraReportPrinter printer(db.data());
            printer.setBaseFolder(qEnvironmentVariable("MOLVERA_SOURCE_DIR"));
            printer.setOptions(true, true, false);
            ReportPrinter::Request r;
            r.reportName = QStringLiteral("Rp_molvera");
            r.formulas = QStringList{"empresa = 'Molino'", "NOMBREREP= 'Molvera'", "Parametros = ''"};
            printer.print(nullptr, r);
            QCOMPARE(dialogs.count("exec"), 2);
        }
        QVERIFY2(listed.isEmpty(), qPrintable(listed));
        QCOMPARE(otherProgram(path, "INSERT INTO mv_molvera (Fecha, silodestino, Toneladas, "
                                    "observaciones) VALUES ('2024-03-15 00:00:00', '0001', 1, "
                                    "'otra')"),
                 QString());
        add(db.data(), "mesa-2");
        // Seen by any other program: every row, and the file whole.
        QCOMPARE(otherProgram(path, "SELECT group_concat(observaciones, ',') FROM (SELECT "
                                    "observaciones FROM mv_molvera ORDER BY ID)"),
                 QStringLiteral("mesa-1,otra,mesa-2"));
        QCOMPARE(otherProgram(path, "PRAGMA integrity_check"), QStringLiteral("ok"));
    }

    // The database file deleted, or replaced by another file, while the desk
    // works: no edit is shown as accepted, the operator reads what happened
    // and what to do, and the file now at the path is not written.
    void theDatabaseFileDeletedOrReplaced_data()
    {
        QTest::addColumn<bool>("replaced");
        QTest::newRow("deleted") << false;
        QTest::newRow("replaced") << true;
    }
    void theDatabaseFileDeletedOrReplaced()
    {
        QFETCH(bool, replaced);
        WindowFixture f;
        Dialogs::install(m_dialogs.get()); // in front of the fixture's own
        f.w->live().setInterval(100);
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        const QString path = f.db.path();
        const QString copy = path + ".copia";
        if (replaced) {
            QVERIFY(QFile::copy(path, copy));
            QVERIFY(::rename(QFile::encodeName(copy).constData(),
                             QFile::encodeName(path).constData()) == 0);
        } else {
            QVERIFY(QFile::remove(path));
        }
        // The live sheet's check notices it by itself, and says so once.
        QTRY_VERIFY_WITH_TIMEOUT(m_dialogs->count("message") == 1, 5000);
        QVERIFY2(m_dialogs->shown.last().text.contains("borrado, movido o reemplazado"),
                 qPrintable(m_dialogs->shown.last().text));
        QVERIFY(m_dialogs->shown.last().text.contains("vuelva a abrir"));
        QTest::qWait(400);
        QCOMPARE(m_dialogs->count("message"), 1);
        // An edit is refused in the same words; the editor keeps the value.
        offer(f, QStringLiteral("Lote perdido"));
        QCOMPARE(m_dialogs->count("error"), 1);
        QVERIFY(m_dialogs->shown.last().text.contains("borrado, movido o reemplazado"));
        QVERIFY(f.w->TxtEdit()->isVisible());
        QCOMPARE(f.w->TxtEdit()->text(), QStringLiteral("Lote perdido"));
        QCOMPARE(f.grid()->TextMatrix(2, 12), QString());
        key(f, Qt::Key_Escape);
        // Nuevo (F2) adds no row either.
        const int rows = f.grid()->Rows();
        f.grid()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
        QCOMPARE(f.grid()->Rows(), rows);
        if (replaced)
            QCOMPARE(otherProgram(path, "SELECT COUNT(*) FROM mv_molvera WHERE observaciones = "
                                        "'Lote perdido'"),
                     QStringLiteral("0"));
        else
            QVERIFY(!QFile::exists(path));
    }

    // A full disk under the exports is a failure said as such: the sheet's
    // CSV says it was not written, the report command ends with status 3,
    // and each says the disk is full; nothing is left on the disk.
    void exportsToAFullDisk()
    {
        FullDisk full;
        if (!full.mounted) QSKIP("a small file system to fill needs root and mount");
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        f.grid()->setRowCol(2, 2);
        f.grid()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_J);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(f.column(f.idAt(2), "vendedor").toString(), QStringLiteral("j"));

        // Ctrl+E on the grid, the operator's way.
        const QString sheet = full.filePath("planilla.csv");
        f.dialogs.saveFileAnswers << sheet;
        f.grid()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(f.dialogs.count("save"), 1);
        QVERIFY2(f.dialogs.messageTexts().join(u' ').contains("No se pudo escribir") &&
                     f.dialogs.messageTexts().join(u' ').contains("el disco está lleno"),
                 qPrintable(f.dialogs.messageTexts().join(u' ')));
        QVERIFY(!QFile::exists(sheet));

        // The report on the command line, as CSV and as PDF: said in words.
        const QString exe = QCoreApplication::applicationDirPath() + "/../../molvera";
        for (const char* name : {"informe.csv", "informe.pdf"}) {
            QProcess report;
            report.start(exe, {"--report", "-", "-", "--output", full.filePath(name),
                               QStringLiteral("@DbName=%1;").arg(f.db.path())});
            QVERIFY(report.waitForFinished(30000));
            QCOMPARE(report.exitCode(), 3);
            const QString err = QString::fromLocal8Bit(report.readAllStandardError());
            QVERIFY2(err.contains("No se pudo escribir") && err.contains("el disco está lleno"),
                     qPrintable(err));
            QVERIFY(!QFile::exists(full.filePath(name)));
        }
        QCOMPARE(QDir(full.dir.path()).entryList(QDir::Files), QStringList{"fill"});
    }

    // No writer takes a file of the database, however the operator names it:
    // the sheet's export (Ctrl+E), the report's "Guardar PDF" and the weighing
    // slip are refused in words, nothing is written, and the desk goes on
    // writing to the database as before.
    void noWriterTakesTheDatabase()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        const QString path = f.db.path();
        auto files = [&] {
            QStringList out;
            for (const char* c : {"", "-wal", "-shm", "-journal"}) {
                const QFileInfo i(path + QLatin1String(c));
                out << QStringLiteral("%1 %2 %3").arg(i.fileName()).arg(i.size()).arg(
                           i.lastModified().toMSecsSinceEpoch());
            }
            return out;
        };
        const QStringList before = files();
        f.dialogs.saveFileAnswers << path << path + "-wal";
        for (int i = 0; i < 2; ++i) {
            f.grid()->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_E, Qt::ControlModifier);
        }
        QCOMPARE(f.dialogs.count("save"), 2);

        MolveraReportPrinter printer(f.db.data());
        printer.setBaseFolder(qEnvironmentVariable("MOLVERA_SOURCE_DIR"));
        printer.setOptions(true, true, false);
        f.dialogs.execScripts << [](QDialog* preview) {
            if (auto* save = preview->findChild<QAction*>(QStringLiteral("savePdf"))) save->trigger();
            return int(QDialog::Rejected);
        };
        f.dialogs.saveFileAnswers << path + "-shm";
        ReportPrinter::Request r;
        r.reportName = QStringLiteral("Rp_molvera");
        r.formulas = QStringList{"empresa = 'Molino'", "NOMBREREP= 'Molvera'", "Parametros = ''"};
        printer.print(f.w.get(), r);

        QString slip;
        QVERIFY(!WeighingSlip::escribirPdf(path + "-journal", {"BOLETA DE PESADA"}, &slip));
        const QStringList said = f.dialogs.messageTexts() << slip;
        QCOMPARE(said.size(), 4);
        for (const QString& t : said)
            QVERIFY2(t.contains("es la base de datos " + path) && t.contains("No se escribió nada"),
                     qPrintable(t));
        QCOMPARE(files(), before);
        QCOMPARE(f.db.scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
        f.grid()->setRowCol(2, 2);
        f.grid()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_J);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(f.column(f.idAt(2), "vendedor").toString(), QStringLiteral("j"));
    }

    // A database that turns out damaged under a working desk (a page of it
    // overwritten by another program, as when its -wal is deleted under the
    // desk): the operator reads that it is damaged and cannot be trusted,
    // never that a table or column is missing, and nothing is shown as
    // accepted afterwards.
    void aDamagedDatabaseIsSaidSo()
    {
        WindowFixture f;
        Dialogs::install(m_dialogs.get()); // in front of the fixture's own
        f.w->live().setInterval(100);
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        const QString path = f.db.path();
        const int page = f.db.scalar("SELECT rootpage FROM sqlite_master WHERE name = 'mv_molvera'")
                             .toInt();
        const int size = f.db.scalar("PRAGMA page_size").toInt();
        QCOMPARE(otherProgram(path, "PRAGMA wal_checkpoint(TRUNCATE)"), QStringLiteral("0|0|0"));
        // Another program overwrites the intake table's page, then writes.
        QCOMPARE(QProcess::execute("dd", {"if=/dev/urandom", "of=" + path, "bs=" + QString::number(size),
                                          "seek=" + QString::number(page - 1), "count=1",
                                          "conv=notrunc", "status=none"}),
                 0);
        QCOMPARE(otherProgram(path, "PRAGMA user_version = 7"), QString());
        offer(f, QStringLiteral("Lote dudoso"));
        QVERIFY(f.w->TxtEdit()->isVisible());
        QCOMPARE(f.w->TxtEdit()->text(), QStringLiteral("Lote dudoso"));
        QCOMPARE(f.grid()->TextMatrix(2, 12), QString());
        key(f, Qt::Key_Escape);
        QVERIFY(f.w->data().damaged());
        // Nuevo (F2) adds no row either; the live sheet says it once more at most.
        const int rows = f.grid()->Rows();
        f.grid()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
        QCOMPARE(f.grid()->Rows(), rows);
        QTest::qWait(400);
        QVERIFY(m_dialogs->count("error") >= 1);
        for (const auto& shown : m_dialogs->shown)
            QVERIFY2(shown.text.contains("está dañada o ya no es la que Molvera abrió") &&
                         !shown.text.contains("falta una tabla"),
                     qPrintable(shown.text));
    }

private:
    std::unique_ptr<FaultDialogs> m_dialogs;
};

QTEST_MAIN(TstFaults)
#include "tst_faults.moc"
