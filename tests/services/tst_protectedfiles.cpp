// The files no writer may touch: the open database and its -wal, -shm and
// -journal, however a path spells them, refused with the same words by the
// writers; the save dialog refusing them before it asks to replace, and a
// pattern typed in it filtering its list.
#include "DataService.h"
#include "FileDialog.h"
#include "OutputFile.h"
#include "ProtectedFiles.h"
#include "ScriptedDialogs.h"
#include "TestDb.h"

#include <QApplication>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <thread>
#include <unistd.h>

namespace
{

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void touch(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write("x") != 1)
        qFatal("cannot write %s", qPrintable(path));
}

// Qt's own message boxes shown while the dialog works (the replace question
// would wait for an answer): their texts, each answered No.
struct QtBoxes {
    QStringList texts;
    QTimer timer;
    QtBoxes()
    {
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->done(QMessageBox::No);
            }
        });
        timer.start();
    }
};

} // namespace

class TstProtectedFiles : public QObject
{
    Q_OBJECT
private slots:
    void spellingsOfTheDatabase_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("refused");
        for (const char* how :
             {"as opened", "relative", "through a linked folder", "a link to the file",
              "a hard link", "-wal", "-shm", "-journal, not there", "-wal through a linked folder",
              "a link to the -journal, not there", "folder/../folder/name"})
            QTest::newRow(how) << QString::fromLatin1(how) << true;
        for (const char* how : {"another file beside", "a name that begins alike",
                                "the same name elsewhere", "a copy of the file"})
            QTest::newRow(how) << QString::fromLatin1(how) << false;
    }
    void spellingsOfTheDatabase()
    {
        QFETCH(QString, how);
        QFETCH(bool, refused);
        TestDb db;
        if (db.onServer()) QSKIP("a server database has no files here");
        QTemporaryDir other;
        const QString path = db.path();
        const QFileInfo info(path);
        const QString folder = info.absolutePath(), name = info.fileName();
        auto at = [&](const QString& n) { return QDir(other.path()).filePath(n); };
        QString spelled;
        if (how == "as opened")
            spelled = path;
        else if (how == "relative")
            spelled = QDir::current().relativeFilePath(path);
        else if (how == "through a linked folder") {
            QVERIFY(QFile::link(folder, at("enlace")));
            spelled = at("enlace/") + name;
        } else if (how == "a link to the file") {
            QVERIFY(QFile::link(path, at("base.pdf")));
            spelled = at("base.pdf");
        } else if (how == "a hard link") {
            QCOMPARE(::link(QFile::encodeName(path).constData(),
                            QFile::encodeName(at("dura.csv")).constData()),
                     0);
            spelled = at("dura.csv");
        } else if (how == "-wal" || how == "-shm") {
            spelled = path + how;
            QVERIFY(QFileInfo::exists(spelled));
        } else if (how == "-journal, not there") {
            spelled = path + "-journal";
        } else if (how == "-wal through a linked folder") {
            QVERIFY(QFile::link(folder, at("enlace")));
            spelled = at("enlace/") + name + "-wal";
        } else if (how == "a link to the -journal, not there") {
            QVERIFY(QFile::link(path + "-journal", at("diario.csv")));
            spelled = at("diario.csv");
        } else if (how == "folder/../folder/name") {
            spelled = folder + "/../" + QFileInfo(folder).fileName() + u'/' + name;
        } else if (how == "another file beside") {
            spelled = path + ".csv";
        } else if (how == "a name that begins alike") {
            spelled = path + "-walx";
        } else if (how == "the same name elsewhere") {
            spelled = at(name);
        } else if (how == "a copy of the file") {
            QVERIFY(QFile::copy(path, at("copia.db")));
            spelled = at("copia.db");
        }
        const QString refusal = ProtectedFiles::refusalFor(spelled);
        QCOMPARE(!refusal.isEmpty(), refused);
        const QByteArray before = contents(path);
        QString error;
        const bool written = OutputFile::write(spelled, "no es una base de datos", &error);
        QCOMPARE(written, !refused);
        if (refused) {
            QVERIFY2(refusal.contains(path) && refusal.contains("No se escribió nada"),
                     qPrintable(refusal));
            QCOMPARE(error, refusal);
        }
        // The database as it was, and still working.
        QCOMPARE(contents(path), before);
        QVERIFY(!QFileInfo::exists(path + "-journal"));
        QCOMPARE(db.scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
        db.data().execute("INSERT INTO mv_molvera (Fecha, Toneladas) VALUES (?, 1)",
                          {QDateTime(QDate(2024, 3, 15), QTime())});
        // Closed, it is a file like any other.
        db.data().close();
        QVERIFY(ProtectedFiles::refusalFor(path).isEmpty());
    }

    // Typed in the save dialog, a file of the database is refused in words
    // before the dialog would ask whether to replace it, and the dialog stays
    // open; any other file that is there is asked about.
    // Desks on threads of their own open and close their connections at the
    // same moment: each database is still known while open, and gone after.
    void connectionsOpenedOnManyThreads()
    {
        QTemporaryDir dir;
        const QString kept = dir.filePath(QStringLiteral("kept.db"));
        touch(kept);
        ProtectedFiles::open().add(kept);
        std::vector<std::thread> threads;
        std::atomic<int> unknown{0};
        for (int t = 0; t < 8; ++t)
            threads.emplace_back([&, t] {
                const QString own = dir.filePath(QStringLiteral("desk%1.db").arg(t));
                for (int i = 0; i < 2000; ++i) {
                    ProtectedFiles::open().add(own);
                    if (ProtectedFiles::refusalFor(own).isEmpty()) ++unknown;
                    ProtectedFiles::open().remove(own);
                }
            });
        for (auto& t : threads) t.join();
        QCOMPARE(unknown.load(), 0);
        QVERIFY(!ProtectedFiles::refusalFor(kept).isEmpty());
        for (int t = 0; t < 8; ++t)
            QVERIFY(ProtectedFiles::refusalFor(dir.filePath(QStringLiteral("desk%1.db").arg(t)))
                        .isEmpty());
        ProtectedFiles::open().remove(kept);
        QVERIFY(ProtectedFiles::refusalFor(kept).isEmpty());
    }

    void theSaveDialogRefusesTheDatabaseFirst()
    {
        TestDb db;
        if (db.onServer()) QSKIP("a server database has no files here");
        ScriptedDialogs dialogs;
        const QString folder = QFileInfo(db.path()).absolutePath();
        touch(QDir(folder).filePath("otro.csv"));
        FileDialog fd(nullptr, "Exportar la planilla", QDir(folder).filePath("x.csv"),
                      "Archivos CSV (*.csv);;Todos los archivos (*)");
        fd.show();
        auto* name = fd.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        // The name box has the keyboard, as the operator types there.
        QApplication::setActiveWindow(&fd);
        name->setFocus();
        QTRY_VERIFY(name->hasFocus());
        QtBoxes qtBoxes;
        for (const QString& typed : {QFileInfo(db.path()).fileName(), db.path() + "-wal"}) {
            name->setText(typed);
            QTest::keyClick(name, Qt::Key_Return);
            QVERIFY(fd.isVisible());
        }
        QCOMPARE(dialogs.count("message"), 2);
        for (const QString& t : dialogs.messageTexts())
            QVERIFY2(t.contains("es la base de datos") && t.contains(db.path()), qPrintable(t));
        QVERIFY2(qtBoxes.texts.isEmpty(), qPrintable(qtBoxes.texts.join(u' ')));
        name->setText("otro");
        QTest::keyClick(name, Qt::Key_Return);
        QCOMPARE(qtBoxes.texts.size(), 1); // "otro.csv ya existe..."; answered No
        QVERIFY(fd.isVisible());
        QCOMPARE(dialogs.count("message"), 2);
    }

    // "*.pdf" or "*" typed in the name box narrows the list to the files it
    // matches, as any file dialog does; no file is named after the pattern.
    void aTypedPatternFiltersTheList()
    {
        QTemporaryDir dir;
        for (const char* f : {"a.pdf", "b.csv", "c.csv"})
            touch(dir.filePath(f));
        ScriptedDialogs dialogs;
        FileDialog fd(nullptr, "Exportar la planilla", dir.filePath("x.csv"),
                      "Archivos CSV (*.csv)");
        fd.show();
        auto* model = fd.findChild<QFileSystemModel*>();
        auto* name = fd.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(model && name);
        const QModelIndex folder = model->index(dir.path());
        QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(folder), 2, 5000);
        name->setText("*.pdf");
        QTest::keyClick(name, Qt::Key_Return);
        QVERIFY(fd.isVisible());
        QCOMPARE(model->nameFilters(), QStringList{"*.pdf"});
        QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(folder), 1, 5000);
        QCOMPARE(model->index(0, 0, folder).data().toString(), QStringLiteral("a.pdf"));
        QCOMPARE(name->text(), QString());
        name->setText("*");
        QTest::keyClick(name, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(folder), 3, 5000);
        QVERIFY(fd.isVisible());
        // A name is a name again.
        name->setText("nuevo");
        QTest::keyClick(name, Qt::Key_Return);
        QCOMPARE(fd.result(), int(QDialog::Accepted));
        QCOMPARE(fd.selectedFiles(), QStringList{dir.filePath("nuevo.csv")});
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), (QStringList{"a.pdf", "b.csv", "c.csv"}));
        QCOMPARE(dialogs.shown.size(), 0);
    }
};

QTEST_MAIN(TstProtectedFiles)
#include "tst_protectedfiles.moc"
