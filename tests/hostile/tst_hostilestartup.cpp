// Hostile texts on the ways in that are not typed into the sheet: the
// command-line parameter string, the INI file, the query-mask file and the
// lookup window's search boxes with F5. Start-up takes exactly the items it
// reads, a broken INI or mask file changes nothing it should not, and a
// search text only ever narrows the list.
#include "DailySheet.h"
#include "DataService.h"
#include "HostileData.h"
#include "IniReader.h"
#include "Lib_ClsCons3.h"
#include "Lib_FrmCons3.h"
#include "ModGlobal.h"
#include "QueryMaskFile.h"
#include "ScriptedDialogs.h"
#include "SessionService.h"
#include "SheetCommands.h"
#include "TestDb.h"
#include "TextFold.h"
#include "TextBox.h"
#include "UtilService.h"
#include "UtilVextra.h"
#include "frmTrigo.h"

#include <QComboBox>
#include <QPushButton>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace
{

// What the item extraction is to give for a value written after "@Name=":
// up to the first ";", without "=", without outer blanks.
QString itemValue(const QString& written)
{
    QString v = written.section(u';', 0, 0);
    v.remove(u'=');
    return v.trimmed();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TstHostileStartup : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        IniReader::setSearchFolders({});
        ModGlobal::reset();
    }

    // The parameter string as the program receives it, with a hostile
    // operator name, user and password: start-up opens the database named
    // and the operator's name goes into the rows exactly as extracted.
    void parameterString_data()
    {
        QTest::addColumn<QString>("value");
        for (const Hostile::Input& in : Hostile::inputs()) QTest::newRow(in.name) << in.text;
        // Bytes that are no UTF-8, decoded as the command line is.
        QTest::newRow("argv bytes") << QString::fromLocal8Bit("Jos\xe9 \xc3\x28 \xff");
        QTest::newRow("equals inside") << QStringLiteral("a=b==c");
    }
    void parameterString()
    {
        QFETCH(QString, value);
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        ModGlobal::reset();
        IniReader::setSearchFolders({dir.path()});
        const QString dbPath = dir.filePath(QStringLiteral("planta.db"));
        const QString params = QStringLiteral("@DbName=%1; @UsuarioLogeado=%2; @Usuario=%2; "
                                              "@Password=%2;")
                                   .arg(dbPath, value);
        DataService data(QStringLiteral("startup"));
        Lib_ClsCons3 lookup(&data);
        frmTrigo w(data, lookup, nullptr);
        QVERIFY(w.Load(params));
        QVERIFY(data.isOpen());
        QCOMPARE(data.embeddedPath(), QFileInfo(dbPath).absoluteFilePath());
        // "@Usuario" is found first inside "@UsuarioLogeado": the user is
        // what follows that name, as on the workstations.
        const QString operador = itemValue(value + u';');
        // An operator item that comes out empty leaves the logged-in user.
        const QString responsable = operador.isEmpty() ? SessionService::operatorName() : operador;
        QCOMPARE(ModGlobal::gUsuarioLogeado, responsable);
        QCOMPARE(data.password(), operador);
        QCOMPARE(data.user(), itemValue(QStringLiteral("Logeado=") + value + u';'));
        QCOMPARE(ModGlobal::gCadenaConexion, QStringLiteral("DSN=%1; UID=%2; PWD=%3")
                                                 .arg(dbPath, data.user(), data.password()));
        const int max = w.box("responsable")->maxChars(); // 0: no limit
        QCOMPARE(w.box("responsable")->text(), max > 0 ? responsable.left(max) : responsable);
        // The day's rows carry the operator's name as it stands in the box.
        w.show();
        w.box("Fecha")->setText("15/3/2024");
        QVERIFY(w.sheet().Cargar());
        const qint64 id = w.commands().Nuevo();
        QVERIFY(id > 0);
        RecordSet rs = data.openRecordSet("SELECT responsable FROM mv_molvera WHERE ID = ?", {id});
        const QString expected = w.box("responsable")->text().trimmed();
        if (expected.isEmpty()) QVERIFY(rs.value(0).isNull() || rs.value(0).toString().isEmpty());
        else QCOMPARE(rs.value(0).toString(), expected);
        RecordSet all = data.openRecordSet("SELECT COUNT(*) FROM mv_molvera");
        QCOMPARE(all.value(0).toInt(), 3);
        QVERIFY(QueryMaskFile::exists(lookup.gRutaMascaraConsultas));
    }

    // A hostile server designation goes to the driver and fails cleanly:
    // the program ends with a reason that does not show the password.
    void hostileServerEndsCleanly_data()
    {
        QTest::addColumn<QString>("server");
        for (const char* s : {"'; DROP TABLE x; --", "EQUIPO/\x01\x02", "a;b"})
            QTest::newRow(s) << QString::fromLatin1(s);
        QTest::newRow("long") << Hostile::longText();
        QTest::newRow("invalid utf8") << Hostile::fromInvalidUtf8();
    }
    void hostileServerEndsCleanly()
    {
        QFETCH(QString, server);
        ScriptedDialogs dialogs;
        DataService data(QStringLiteral("server"));
        ModGlobal::Context ctx;
        ctx.data = &data;
        ctx.programFolder = QDir::tempPath();
        const ModGlobal::Startup st = ModGlobal::IniciarSistema(
            QStringLiteral("@Server=%1; @DbName=NO_EXISTE_%2; @Password=Secreto-91;")
                .arg(server.section(u';', 0, 0))
                .arg(QCoreApplication::applicationPid()),
            ctx);
        QVERIFY(!st.proceed);
        QVERIFY(!data.isOpen());
        QVERIFY(!st.reason.isEmpty());
        QVERIFY(!st.reason.contains(QStringLiteral("Secreto-91")));
    }

    // The INI file with hostile contents: the window loads with the style
    // the leading number gives, and works.
    void iniFile_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<double>("style");
        QTest::newRow("zero") << QByteArray("0") << 0.0;
        QTest::newRow("1e308") << QByteArray("1e308") << 1.0;
        QTest::newRow("-0") << QByteArray("-0") << 0.0;
        QTest::newRow("NaN") << QByteArray("NaN") << 0.0;
        QTest::newRow("12,5,3") << QByteArray("12,5,3") << 12.0;
        QTest::newRow("quoted") << QByteArray("\"2\"") << 2.0;
        QTest::newRow("statement") << QByteArray("'; DROP TABLE mv_molvera; --") << 0.0;
        QTest::newRow("long digits") << QByteArray(10000, '9') << QByteArray(10000, '9').toDouble();
        QTest::newRow("control") << QByteArray("\x01\x02\x1b 3") << 0.0;
        QTest::newRow("invalid utf8") << QByteArray("4\xc3\x28\xff") << 4.0;
        QTest::newRow("right to left") << QByteArray("\xe2\x80\xae" "5") << 0.0;
        QTest::newRow("nul") << QByteArray("6\0" "7", 3) << 6.0;
    }
    void iniFile()
    {
        QFETCH(QByteArray, value);
        QFETCH(double, style);
        QTemporaryDir dir;
        TestDb db;
        ScriptedDialogs dialogs;
        ModGlobal::reset();
        IniReader::setSearchFolders({dir.path()});
        const QByteArray section = (SessionService::firstIdentity().toUpper() + u'|' +
                                    SessionService::secondIdentity().toUpper())
                                       .toUtf8();
        QByteArray ini = "[Iconos]\nIconoDelSistema=../../../etc/passwd\xff" + QByteArray(5000, 'x') +
                         "\n[" + QByteArray(10000, '[') + "]\nFlatToolbars=9\n[" + section +
                         "]\n; FlatToolbars=8\nFlatToolbars=" + value + "\r\n";
        writeFile(dir.filePath(QStringLiteral("CN000pr.INI")), ini);
        const Hostile::Snapshot before = Hostile::Snapshot::take(db.data());
        Lib_ClsCons3 lookup(&db.data());
        frmTrigo w(db.data(), lookup, nullptr);
        QVERIFY(w.Load());
        QCOMPARE(ModGlobal::gEstiloBarras, style);
        QVERIFY(std::isfinite(ModGlobal::gEstiloBarras));
        QCOMPARE(w.UtilVextra1()->StyleBar(), style);
        const QStringList changes = before.changesTo(Hostile::Snapshot::take(db.data()));
        QVERIFY2(changes.isEmpty(), qPrintable(changes.join(u' ')));
        w.show();
        w.box("Fecha")->setText("15/3/2024");
        QVERIFY(w.sheet().Cargar());
    }

    // Query-mask records with hostile texts: a mask that is no list of
    // columns over a source, with a plain condition, is not used; no mask
    // makes a statement of more than one command; the tables stay.
    void maskFile_data()
    {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("used");
        QTest::newRow("plain") << "|iddeposito|descripcion|" << "" << true;
        QTest::newRow("plain filter") << "|iddeposito|" << "capacidad > 0" << true;
        QTest::newRow("filter drop") << "|iddeposito|" << "1=1; DROP TABLE mv_molvera" << false;
        QTest::newRow("filter comment") << "|iddeposito|" << "1=1 --" << false;
        QTest::newRow("filter block comment") << "|iddeposito|" << "1=1 /* x" << false;
        QTest::newRow("filter quoted semicolon") << "|iddeposito|" << "descripcion <> ';--'" << true;
        QTest::newRow("filter open quote") << "|iddeposito|" << "descripcion = 'x" << false;
        QTest::newRow("fields statement") << "|x FROM mv_molvera; DROP TABLE mv_molvera; --|" << ""
                                          << false;
        QTest::newRow("fields quote") << "|iddeposito'|" << "" << false;
        QTest::newRow("control") << "|iddeposito|" << QStringLiteral("a\x01") << false;
        QTest::newRow("long") << "|iddeposito|" << Hostile::longText() << true; // cut to 500
    }
    void maskFile()
    {
        QFETCH(QString, fields);
        QFETCH(QString, filter);
        QFETCH(bool, used);
        QTemporaryDir dir;
        TestDb db;
        ScriptedDialogs dialogs;
        const QString path = dir.filePath(QStringLiteral("consultas.vxt"));
        QByteArray bytes = QueryMaskFile::encode("X", "ta_deposito", fields, filter);
        if (filter.size() > 500) {
            // A long condition is cut at its field: keep it a condition.
            bytes = QueryMaskFile::encode("X", "ta_deposito", fields, QStringLiteral("capacidad > 0"));
        }
        writeFile(path, bytes + QByteArray("\xff\xfe garbage"));
        Lib_ClsCons3 lookup(&db.data());
        lookup.gUsarMascarasConsultas = true;
        lookup.gRutaMascaraConsultas = path;
        QString campo;
        const auto st = lookup.SentenciaDeMascara(QStringLiteral("ta_deposito"), campo);
        QCOMPARE(st.has_value(), used);
        if (st) {
            // One statement over the source, the condition as written.
            QVERIFY(st->startsWith(QLatin1String("SELECT top 1000 ")));
            if (!filter.contains(u'\'')) {
                QVERIFY(!st->contains(u';'));
                QVERIFY(!st->contains(QLatin1String("--")));
            }
            if (!filter.isEmpty() && filter.size() <= 500)
                QVERIFY(st->endsWith(QStringLiteral(" WHERE ") + filter));
        }
        const Hostile::Snapshot before = Hostile::Snapshot::take(db.data());
        bool shown = false;
        int listed = -1;
        dialogs.execScripts << [&](QDialog* d) {
            shown = true;
            if (auto* win = qobject_cast<Lib_FrmCons3*>(d))
                listed = win->ListView1()->topLevelItemCount();
            return int(QDialog::Rejected);
        };
        TextCollection none;
        lookup.ConsultaSearch(st ? QStringLiteral("ta_deposito") : QStringLiteral("SELECT iddeposito FROM ta_deposito"),
                              none, QString(), campo);
        QVERIFY(shown);
        QVERIFY(listed > 0); // the mask's statement or the one passed lists the deposits
        const QStringList changes = before.changesTo(Hostile::Snapshot::take(db.data()));
        QVERIFY2(changes.isEmpty(), qPrintable(changes.join(u' ')));
    }

    // Each hostile text in a search box: the incremental search moves to a
    // row that begins with it, F5 narrows the list to the rows that hold it
    // (the row holding exactly the text among them) with the text bound,
    // never part of the statement; nothing is written.
    void lookupSearchBoxes_data()
    {
        QTest::addColumn<QString>("text");
        for (const Hostile::Input& in : Hostile::inputs())
            if (!in.text.trimmed().isEmpty()) QTest::newRow(in.name) << in.text;
    }
    void lookupSearchBoxes()
    {
        QFETCH(QString, text);
        TestDb db;
        ScriptedDialogs dialogs;
        db.data().execute("CREATE TABLE personas (nombre TEXT, codigo VARCHAR(10))");
        db.data().execute("INSERT INTO personas VALUES ('Alba', 'A01'), ('Carlos', 'C02')");
        db.data().execute("INSERT INTO personas VALUES (?, 'H99')", {text});
        const Hostile::Snapshot before = Hostile::Snapshot::take(db.data());
        Lib_FrmCons3 w(&db.data());
        const QString sql = QStringLiteral("SELECT nombre, codigo FROM personas");
        w.Sql = sql;
        w.show();
        QApplication::setActiveWindow(&w);
        QCOMPARE(w.ListView1()->topLevelItemCount(), 3);
        w.CmbSearch(0)->setEditText(text);
        const auto sel = w.ListView1()->selectedItems();
        QVERIFY(!sel.isEmpty());
        QVERIFY(sel.first()->text(0).trimmed().startsWith(text.trimmed(), Qt::CaseInsensitive));
        QTest::keyClick(w.CmbSearch(0), Qt::Key_F5);
        QCOMPARE(dialogs.count("error"), 0);
        QCOMPARE(w.Sql, sql + QStringLiteral(" where ") + db.data().dialect().foldedLike("nombre"));
        QCOMPARE(w.sqlParametros(),
                 QVariantList{QStringLiteral("%") + TextFold::fold(text) + QStringLiteral("%")});
        QStringList listed;
        for (int i = 0; i < w.ListView1()->topLevelItemCount(); ++i)
            listed << w.ListView1()->topLevelItem(i)->text(1);
        QVERIFY2(listed.contains(QStringLiteral("H99")), qPrintable(listed.join(u',')));
        // The second box narrows further with its own bound text.
        w.CmbSearch(1)->setEditText(text);
        QTest::keyClick(w.CmbSearch(1), Qt::Key_F5);
        QCOMPARE(dialogs.count("error"), 0);
        QCOMPARE(w.sqlParametros().size(), 2);
        QVERIFY(!w.Sql.contains(text));
        QVERIFY(w.ListView1()->topLevelItemCount() <= 1);
        QTest::mouseClick(w.CmdNueva(), Qt::LeftButton);
        QCOMPARE(w.ListView1()->topLevelItemCount(), 3);
        const QStringList changes = before.changesTo(Hostile::Snapshot::take(db.data()));
        QVERIFY2(changes.isEmpty(), qPrintable(changes.join(u' ')));
    }
};

QTEST_MAIN(TstHostileStartup)
#include "tst_hostilestartup.moc"
