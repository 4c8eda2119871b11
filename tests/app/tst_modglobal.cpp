#include "DataService.h"
#include "IniReader.h"
#include "Lib_ClsCons3.h"
#include "ModGlobal.h"
#include "ScriptedDialogs.h"
#include "ServiceError.h"
#include "SessionService.h"
#include "TestDb.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

using namespace ModGlobal;

class TstModGlobal : public QObject
{
    Q_OBJECT
private slots:
    void init() { ModGlobal::reset(); }

    void extraerItem_data()
    {
        QTest::addColumn<QString>("params");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "@server=SRV;" << "@Server" << "SRV";
        QTest::newRow("case") << "@SERVER=x;" << "@server" << "x";
        QTest::newRow("blanks") << "@dbname= PLANTA;" << "@DbName" << "PLANTA";
        QTest::newRow("empty") << "@Usuario=;" << "@Usuario" << "";
        QTest::newRow("absent") << "@DbName=P;" << "@Usuario" << "";
        QTest::newRow("equals removed") << "@Password=a=b=c;" << "@Password" << "abc";
        QTest::newRow("inside longer name first")
            << "@UsuarioLogeado=OPERADOR1; @Usuario=operador;" << "@Usuario" << "LogeadoOPERADOR1";
        QTest::newRow("other order")
            << "@Usuario=operador; @UsuarioLogeado=OPERADOR1;" << "@Usuario" << "operador";
        QTest::newRow("operator after user")
            << "@Usuario=operador; @UsuarioLogeado=OPERADOR1;" << "@UsuarioLogeado" << "OPERADOR1";
        QTest::newRow("several items")
            << "@Server=SRV01/PLANTA; @DbName=PLANTA; @Usuario=operador;" << "@DbName" << "PLANTA";
        QTest::newRow("quote kept") << "@UsuarioLogeado=O'Brien;" << "@UsuarioLogeado" << "O'Brien";
    }
    void extraerItem()
    {
        QFETCH(QString, params);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QCOMPARE(ExtraerItem(params, name), value);
    }

    void lastItemWithoutSemicolon()
    {
        QVERIFY_THROWS_EXCEPTION(ServiceError, ExtraerItem("@DbName=PLANTA", "@DbName"));
    }

    void nombreServidor_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("with host") << "EQUIPO/SQL01" << "SQL01";
        QTest::newRow("plain") << "SQL01" << "SQL01";
        QTest::newRow("slash last") << "EQUIPO/" << "";
    }
    void nombreServidor()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(NombreServidor(in), out);
    }

    void configurationValues()
    {
        TestDb db;
        ScriptedDialogs dialogs;
        // No table chosen yet: the default table, kept for later lookups.
        QVERIFY(!ValorConfiguracion(db.data(), "NOMBRE").trimmed().isEmpty());
        QCOMPARE(gTablaConfiguracion, QStringLiteral("TA_CONFIGURACION"));
        CargarConfiguracion(db.data());
        QCOMPARE(gTablaConfiguracion, QStringLiteral("ta_configuracion"));
        db.data().execute("INSERT INTO ta_configuracion (CLAVE, VALOR) VALUES ('VACIO', '')");
        db.data().execute("INSERT INTO ta_configuracion (CLAVE, VALOR) VALUES ('NULO', NULL)");
        db.data().execute("UPDATE ta_configuracion SET VALOR = ? WHERE CLAVE = 'NOMBRE'",
                          {"Molino O'Brien"});
        QCOMPARE(ValorConfiguracion(db.data(), " NOMBRE "), QStringLiteral("Molino O'Brien"));
        QCOMPARE(ValorConfiguracion(db.data(), "FALTA"), QStringLiteral(" "));
        QCOMPARE(ValorConfiguracion(db.data(), "VACIO"), QString());
        QCOMPARE(ValorConfiguracion(db.data(), "NULO"), QString());
        QCOMPARE(dialogs.count("error"), 0);
        // A table without the key column: the second table is chosen; its
        // lookups fail through the error dialog and answer "".
        db.data().execute("ALTER TABLE ta_configuracion RENAME COLUMN CLAVE TO LLAVE");
        CargarConfiguracion(db.data());
        QCOMPARE(gTablaConfiguracion, QStringLiteral("ta_configuracion2"));
        dialogs.errorAnswers = {4, 3}; // retry once, then abort
        QCOMPARE(ValorConfiguracion(db.data(), "NOMBRE"), QString());
        QCOMPARE(dialogs.count("error"), 2);
        QCOMPARE(dialogs.shown.last().source, QStringLiteral("Cfg"));
    }

    void startupOnEmbeddedDatabase()
    {
        QTemporaryDir program;
        QTemporaryDir dbDir;
        const QString section = SessionService::firstIdentity().toUpper() + "|" +
                                SessionService::secondIdentity().toUpper();
        QFile ini(program.filePath("CN000pr.INI"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[%1]\nFlatToolbars=0\n").arg(section).toUtf8());
        ini.close();
        IniReader::setSearchFolders({program.path()});

        DataService data("startup");
        Lib_ClsCons3 lookup(&data);
        Context ctx{&data, &lookup, nullptr, program.path()};
        const QString dbPath = dbDir.filePath("planta.db");
        const Startup st = IniciarSistema(
            QStringLiteral("@DbName=%1; @Usuario=ana; @Password=s3; @UsuarioLogeado=OPERADOR1;").arg(dbPath),
            ctx);
        QVERIFY(st.proceed);
        QVERIFY(data.isOpen());
        QCOMPARE(data.embeddedPath(), QFileInfo(dbPath).absoluteFilePath());
        QCOMPARE(gUsuarioLogeado, QStringLiteral("OPERADOR1"));
        QCOMPARE(gEstiloBarras, 0.0);
        QCOMPARE(gSeccionIni, section);
        QCOMPARE(gCadenaConexion, QStringLiteral("DSN=%1; UID=ana; PWD=s3").arg(dbPath));
        QCOMPARE(data.commandTimeout(), 360);
        QVERIFY(lookup.gUsarMascarasConsultas);
        QCOMPARE(lookup.gRutaMascaraConsultas, program.path() + "/consultas.vxt");
        QVERIFY(!lookup.gConnString.contains("s3"));
        QCOMPARE(QFileInfo(program.filePath("consultas.vxt")).size(), qint64(8414));
        QCOMPARE(gTablaConfiguracion, QStringLiteral("ta_configuracion"));

        // A second start finds the mask file and writes nothing; with the
        // connection open the parameter string is not read.
        ModGlobal::reset();
        const QDateTime stamp = QFileInfo(program.filePath("consultas.vxt")).lastModified();
        const Startup again = IniciarSistema("@UsuarioLogeado=OTRO;", ctx);
        QVERIFY(again.proceed);
        QCOMPARE(gUsuarioLogeado, QString());
        QCOMPARE(gEstiloBarras, 0.0); // the style is read all the same
        QCOMPARE(QFileInfo(program.filePath("consultas.vxt")).size(), qint64(8414));
        QCOMPARE(QFileInfo(program.filePath("consultas.vxt")).lastModified(), stamp);
        IniReader::setSearchFolders({});
    }

    void startupDefaultsAndFailure()
    {
        QTemporaryDir program;
        IniReader::setSearchFolders({program.path()}); // no INI file there
        DataService data("failing");
        Lib_ClsCons3 lookup(&data);
        Context ctx{&data, &lookup, nullptr, program.path()};
        // A server designated with a data source that does not exist.
        const Startup st =
            IniciarSistema("@Server=EQUIPO/SQL01; @DbName=NO_SUCH_DSN; @Usuario=u; @Password=secreto;", ctx);
        QVERIFY(!st.proceed);
        QVERIFY(!data.isOpen());
        QVERIFY(st.reason.contains("NO_SUCH_DSN"));
        QVERIFY(!st.reason.contains("secreto"));
        QCOMPARE(gEstiloBarras, 1.0); // no INI file: the default style
        QCOMPARE(data.server(), QStringLiteral("SQL01"));
        IniReader::setSearchFolders({});
    }

    void operatorFromTheAccount_data()
    {
        QTest::addColumn<QString>("gecos");
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("name");
        QTest::newRow("full name") << "Ana Pérez"
                                   << "aperez"
                                   << "Ana Pérez";
        QTest::newRow("office and phones after it") << "Luis Núñez,Balanza 2,4455,,"
                                                    << "lnunez"
                                                    << "Luis Núñez";
        QTest::newRow("no full name") << ""
                                      << "puesto3"
                                      << "puesto3";
        QTest::newRow("only commas") << ",,,"
                                     << "puesto3"
                                     << "puesto3";
        QTest::newRow("blanks") << "  Ana   Pérez "
                                << "aperez"
                                << "Ana Pérez";
        QTest::newRow("ampersand is the login") << "& Gómez"
                                                << "marta"
                                                << "Marta Gómez";
    }
    void operatorFromTheAccount()
    {
        QFETCH(QString, gecos);
        QFETCH(QString, login);
        QFETCH(QString, name);
        QCOMPARE(SessionService::operatorName(gecos, login), name);
    }

    // Without an operator on the command line (or with an empty one) the
    // operator is the logged-in user as the account database names it.
    void operatorWithoutItemIsTheLoggedInUser()
    {
        QProcess getent;
        getent.start(QStringLiteral("getent"),
                     {QStringLiteral("passwd"), QString::number(::getuid())});
        QVERIFY(getent.waitForFinished());
        const QStringList entry =
            QString::fromLocal8Bit(getent.readAllStandardOutput()).trimmed().split(u':');
        QVERIFY2(entry.size() >= 5, "no account entry for the user running the test");
        if (entry.at(4).contains(u'&')) QSKIP("the account's name uses &");
        QString expected = entry.at(4).section(u',', 0, 0).simplified();
        if (expected.isEmpty()) expected = entry.at(0);

        QTemporaryDir program, dbDir;
        IniReader::setSearchFolders({program.path()});
        for (const QString& item : {QString(), QStringLiteral(" @UsuarioLogeado=;")}) {
            ModGlobal::reset();
            DataService data("operator");
            Lib_ClsCons3 lookup(&data);
            Context ctx{&data, &lookup, nullptr, program.path()};
            const Startup st = IniciarSistema(
                QStringLiteral("@DbName=%1;").arg(dbDir.filePath("planta.db")) + item, ctx);
            QVERIFY(st.proceed);
            QCOMPARE(gUsuarioLogeado, expected);
        }
        IniReader::setSearchFolders({});
    }
};

QTEST_MAIN(TstModGlobal)
#include "tst_modglobal.moc"
