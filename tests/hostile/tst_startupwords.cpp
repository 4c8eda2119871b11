// What start-up tells the operator, and what it lets out: the password is
// gone from the process list as soon as it is read (and may come from the
// environment instead), a database folder that does not exist or cannot be
// written, or a folder given as the database, is said in words.
#include "CommandLinePassword.h"
#include "DataService.h"
#include "ModGlobal.h"
#include "ScriptedDialogs.h"
#include "ServiceError.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>
#include <vector>

namespace
{

// Arguments laid out one after the other as the kernel gives them to main.
struct Argv {
    QByteArray block;
    std::vector<char*> argv;
    explicit Argv(const QList<QByteArray>& args)
    {
        for (const QByteArray& a : args)
            block += a + '\0';
        qsizetype at = 0;
        for (const QByteArray& a : args) {
            argv.push_back(block.data() + at);
            at += a.size() + 1;
        }
    }
    int argc() const { return int(argv.size()); }
};

ModGlobal::Startup start(DataService& data, const QString& params)
{
    ModGlobal::Context ctx;
    ctx.data = &data;
    ctx.programFolder = QCoreApplication::applicationDirPath();
    return ModGlobal::IniciarSistema(params, ctx);
}

} // namespace

class TstStartupWords : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        ModGlobal::reset();
        CommandLinePassword::reset();
        qunsetenv("MOLVERA_PASSWORD");
    }

    // Blanked in the argument memory, also written in capitals or split over
    // two arguments, and still the password of the connection.
    void passwordTakenOutOfTheArguments()
    {
        QTemporaryDir dir;
        const QByteArray db = QFile::encodeName(dir.filePath("p.db"));
        Argv a({"molvera", "@DbName=" + db + "; @Usuario=u;", "@PASSWORD=", "s3cr3t-Clave;",
                "@UsuarioLogeado=ANA;"});
        CommandLinePassword::take(a.argc(), a.argv.data());
        QVERIFY(!a.block.contains("s3cr3t"));
        QVERIFY(a.block.contains("@PASSWORD"));
        QVERIFY(a.block.contains("@UsuarioLogeado=ANA;"));
        QVERIFY(a.block.contains("@DbName=" + db + "; @Usuario=u;"));
        QStringList blanked;
        for (int i = 1; i < a.argc(); ++i)
            blanked << QString::fromLocal8Bit(a.argv[i]);
        DataService data;
        QVERIFY(start(data, blanked.join(u' ')).proceed);
        QCOMPARE(data.password(), QStringLiteral("s3cr3t-Clave"));
        QCOMPARE(data.user(), QStringLiteral("u"));
    }

    // The environment variable serves when the command line has none; an
    // item on the command line is taken before it.
    void passwordFromTheEnvironment()
    {
        QTemporaryDir dir;
        qputenv("MOLVERA_PASSWORD", "desde-el-entorno");
        {
            DataService data;
            QVERIFY(start(data, QStringLiteral("@DbName=%1;").arg(dir.filePath("e.db"))).proceed);
            QCOMPARE(data.password(), QStringLiteral("desde-el-entorno"));
        }
        ModGlobal::reset();
        DataService data(QStringLiteral("second"));
        QVERIFY(
            start(data, QStringLiteral("@DbName=%1; @Password=propia;").arg(dir.filePath("e.db")))
                .proceed);
        QCOMPARE(data.password(), QStringLiteral("propia"));
    }

    // The running program, read as any other user of the machine reads it.
    void passwordNotInTheProcessList()
    {
        QTemporaryDir dir;
        const QString db = dir.filePath("lista.db");
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        p.start(
            QStringLiteral(MOLVERA_EXE),
            {QStringLiteral("@DbName=%1; @Password=s3cr3t-Clave; @UsuarioLogeado=ANA;").arg(db)});
        QVERIFY(p.waitForStarted(5000));
        // The database is made after the arguments were read.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(db), 15000);
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(p.processId()));
        QVERIFY(cmdline.open(QIODevice::ReadOnly));
        const QByteArray seen = cmdline.readAll();
        p.kill();
        p.waitForFinished(5000);
        QVERIFY2(seen.contains("@DbName="), seen.constData());
        QVERIFY2(!seen.contains("s3cr3t"), seen.constData());
    }

    // Only the user's data folder is made; a folder named in @DbName that
    // is not there is a typing error, said in words, and nothing is created.
    void aMissingFolderIsNotMade()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath("no/existe");
        DataService data;
        const ModGlobal::Startup st =
            start(data, QStringLiteral("@DbName=%1/planta.db;").arg(missing));
        QVERIFY(!st.proceed);
        QVERIFY2(st.reason.contains(QStringLiteral("no existe")), qPrintable(st.reason));
        QVERIFY2(st.reason.contains(QDir::toNativeSeparators(missing)), qPrintable(st.reason));
        QVERIFY(!QFileInfo::exists(dir.filePath("no")));
        // A bare name still goes to the data folder, made when missing.
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("datos")));
        ModGlobal::reset();
        DataService bare(QStringLiteral("bare"));
        const ModGlobal::Startup ok = start(bare, QStringLiteral("@DbName=planta;"));
        qunsetenv("XDG_DATA_HOME");
        QVERIFY2(ok.proceed, qPrintable(ok.reason));
        QVERIFY(bare.embeddedPath().startsWith(dir.filePath("datos")));
        QVERIFY(QFileInfo::exists(bare.embeddedPath()));
    }

    void aFolderGivenAsTheDatabase()
    {
        QTemporaryDir dir;
        DataService data;
        const ModGlobal::Startup st = start(data, QStringLiteral("@DbName=%1;").arg(dir.path()));
        QVERIFY(!st.proceed);
        QVERIFY2(st.reason.startsWith(QDir::toNativeSeparators(dir.path()) +
                                      QStringLiteral(" es una carpeta")),
                 qPrintable(st.reason));
        QVERIFY(!st.reason.contains(QLatin1String("unable")));
    }

    // A healthy database in a folder the user cannot write is not called
    // damaged: the folder is named as the cause.
    void aFolderThatCannotBeWritten()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(
            dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                            QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
        const QString db = dir.filePath("sana.db");
        {
            DataService maker(QStringLiteral("maker"));
            maker.setDatabaseName(db);
            maker.open(true);
            QVERIFY2(maker.isOpen(), qPrintable(maker.openError()));
            maker.execute("INSERT INTO mv_molvera (Fecha, Toneladas) VALUES (?, 1)",
                          {QDateTime(QDate(2024, 3, 15), QTime())});
        }
        QVERIFY(QFile::setPermissions(db, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther |
                                              QFile::WriteOther | QFile::ReadGroup |
                                              QFile::WriteGroup));
        QString reason;
        if (::geteuid() == 0) {
            // Root writes anywhere: the program runs as another user.
            QProcess p;
            p.start(QStringLiteral("setpriv"),
                    {"--reuid=65534", "--regid=65534", "--clear-groups", MOLVERA_EXE, "--report",
                     "-", "-", "--output", "/dev/null", QStringLiteral("@DbName=%1;").arg(db)});
            QVERIFY(p.waitForFinished(30000));
            if (p.error() == QProcess::FailedToStart) QSKIP("setpriv is missing");
            QCOMPARE(p.exitCode(), 1);
            reason = QString::fromLocal8Bit(p.readAllStandardError());
        } else {
            QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
            DataService data;
            const ModGlobal::Startup st = start(data, QStringLiteral("@DbName=%1;").arg(db));
            QFile::setPermissions(dir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QVERIFY(!st.proceed);
            reason = st.reason;
        }
        QVERIFY2(reason.contains(QStringLiteral("No se puede escribir en la carpeta")),
                 qPrintable(reason));
        QVERIFY2(!reason.contains(QStringLiteral("dañado")), qPrintable(reason));
    }

    // A statement the database refuses: one sentence in Spanish, the
    // database's own text after it.
    void aRefusedStatementInWords()
    {
        QTemporaryDir dir;
        DataService data;
        data.setDatabaseName(dir.filePath("r.db"));
        data.open(true);
        QVERIFY(data.isOpen());
        try {
            data.openRecordSet("SELECT Fecha FROM v_ta_deposito");
            QFAIL("a column that is not there was read");
        } catch (const ServiceError& e) {
            QVERIFY2(e.description().startsWith(QStringLiteral("La base de datos rechazó")),
                     qPrintable(e.description()));
            QVERIFY2(e.description().contains(QStringLiteral("\n\nDetalle: ")) &&
                         e.description().contains(QStringLiteral("Fecha")),
                     qPrintable(e.description()));
        }
    }
};

QTEST_MAIN(TstStartupWords)
#include "tst_startupwords.moc"
