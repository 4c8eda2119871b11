// The lookup request object: the query-mask step, the sorting decision, the
// hand-over to a fresh window and the results of every way the window closes.
#include "DataService.h"
#include "Lib_ClsCons3.h"
#include "Lib_FrmCons3.h"
#include "QueryMaskFile.h"
#include "ScriptedDialogs.h"
#include "TestDb.h"

#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace
{

struct Fixture {
    TestDb db;
    ScriptedDialogs dialogs;
    QTemporaryDir dir;
    Lib_ClsCons3 lookup;
    // What the window showed while it was open.
    QString sql;
    QStringList rows;
    bool ordenar = false;
    QPointer<Lib_FrmCons3> window;

    Fixture() : lookup(&db.data())
    {
        DataService& d = db.data();
        d.execute("CREATE TABLE VT_CLIENTES (RAZON_SOCIAL VARCHAR(60), CODIGO VARCHAR(10), "
                  "CONTACTO VARCHAR(40), Dada_De_Baja INTEGER)");
        d.execute("INSERT INTO VT_CLIENTES VALUES ('Zapata SA', 'C1', 'Ana', 0), "
                  "('Acme SRL', 'C2', 'Bob', 1), ('Molinos SA', 'C3', 'Cris', 0)");
        d.execute("CREATE TABLE V_MA_ARTICULOS (DESCRIPCION VARCHAR(60), IDARTICULO INTEGER, "
                  "SUSPENDIDO INTEGER)");
        d.execute("INSERT INTO V_MA_ARTICULOS VALUES ('Harina 000', 1, 0), ('Salvado', 2, 1), "
                  "('Afrecho', 3, 0)");
        d.execute("CREATE TABLE MA_CONTACTOS (Nombre_y_Apellido VARCHAR(60), Domicilio "
                  "VARCHAR(60), Localidad VARCHAR(40), Telefono VARCHAR(20))");
        d.execute("INSERT INTO MA_CONTACTOS VALUES ('Juan Paz', 'Mitre 10', 'Azul', '555')");
        lookup.gRutaMascaraConsultas = maskPath();
        lookup.gUsarMascarasConsultas = true;
    }

    QString maskPath() const { return dir.filePath(QStringLiteral("consultas.vxt")); }

    void writeMasks() { QueryMaskFile::writeStandardMasks(maskPath()); }

    void appendRecord(const QByteArray& rec)
    {
        QFile f(maskPath());
        QVERIFY(f.open(QIODevice::Append));
        f.write(rec);
    }

    // The next window records what it showed and is worked by the action.
    void script(std::function<int(Lib_FrmCons3*)> action = {})
    {
        dialogs.execScripts << [this, action](QDialog* d) {
            auto* w = qobject_cast<Lib_FrmCons3*>(d);
            if (!w) return int(QDialog::Rejected);
            window = w;
            sql = w->Sql;
            ordenar = w->OrdenarPorLwv;
            rows.clear();
            for (int i = 0; i < w->ListView1()->topLevelItemCount(); ++i)
                rows << w->ListView1()->topLevelItem(i)->text(0);
            if (action) return action(w);
            w->CmdCancelar_Click();
            return int(QDialog::Rejected);
        };
    }

    void request(const QString& text, QString campo = {})
    {
        TextCollection none;
        lookup.ConsultaSearch(text, none, QString(), campo);
        campoBusqueda = campo;
    }
    QString campoBusqueda;
};

int pick(Lib_FrmCons3* w, const QString& first)
{
    QTreeWidget* l = w->ListView1();
    for (int i = 0; i < l->topLevelItemCount(); ++i) {
        if (l->topLevelItem(i)->text(0) == first) {
            l->setCurrentItem(l->topLevelItem(i));
            l->topLevelItem(i)->setSelected(true);
        }
    }
    w->CmdAceptar_Click();
    return QDialog::Accepted;
}

} // namespace

class TestLookupRequest : public QObject
{
    Q_OBJECT
private slots:
    void initialState()
    {
        Lib_ClsCons3 l;
        QVERIFY(l.CmpsDevueltos.has_value() && l.CmpsDevueltos->isEmpty());
        QVERIFY(l.Valores.has_value() && l.Valores->isEmpty());
        QVERIFY(!l.Cantidades.has_value());
        QVERIFY(!l.Checks);
        QVERIFY(!l.ValorDevuelto.isValid());
        QVERIFY(!l.gUsarMascarasConsultas);
        QVERIFY(!l.UsaCantidades);
        QVERIFY(l.CampoDevuelto.isEmpty());
    }

    void maskStatements_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("campo");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("clientes, any case and blanks")
            << "  vt_clientes "
            << "SELECT top 1000 RAZON_SOCIAL,CODIGO,CONTACTO FROM VT_CLIENTES WHERE Dada_De_Baja = "
               "0"
            << "RAZON_SOCIAL" << QStringList{"Molinos SA", "Zapata SA"};
        QTest::newRow("articulos")
            << "V_MA_ARTICULOS"
            << "SELECT top 1000 DESCRIPCION,IDARTICULO FROM V_MA_ARTICULOS WHERE SUSPENDIDO = 0"
            << "DESCRIPCION" << QStringList{"Afrecho", "Harina 000"};
        QTest::newRow("contactos without filter")
            << "Ma_Contactos"
            << "SELECT top 1000 Nombre_y_Apellido,Domicilio,Localidad,Telefono FROM MA_CONTACTOS"
            << "Nombre_y_Apellido" << QStringList{"Juan Paz"};
    }

    void maskStatements()
    {
        QFETCH(QString, asked);
        QFETCH(QString, statement);
        QFETCH(QString, campo);
        QFETCH(QStringList, rows);
        Fixture f;
        f.writeMasks();
        f.script();
        f.request(asked);
        QCOMPARE(f.sql, statement);
        QCOMPARE(f.campoBusqueda, campo);
        QVERIFY(f.ordenar);
        QCOMPARE(f.rows, rows); // it ran on the embedded database
        QCOMPARE(f.dialogs.count("error"), 0);
    }

    void campoBusquedaGivenStays()
    {
        Fixture f;
        f.writeMasks();
        f.script();
        f.request("VT_CLIENTES", "CODIGO");
        QCOMPARE(f.campoBusqueda, QStringLiteral("CODIGO"));
        QVERIFY(f.sql.startsWith("SELECT top 1000 RAZON_SOCIAL,"));
    }

    void ownMasks_data()
    {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("campo");
        QTest::newRow("empty field list selects all")
            << ""
            << ""
            << "SELECT top 1000 * FROM VT_CLIENTES WHERE Dada_De_Baja = 0"
            << "";
        QTest::newRow("one column leaves campo empty")
            << "|CODIGO|"
            << ""
            << "SELECT top 1000 CODIGO FROM VT_CLIENTES WHERE Dada_De_Baja = 0"
            << "";
        QTest::newRow("own filter replaces the default")
            << "|CODIGO|CONTACTO|"
            << "CODIGO <> 'C1'"
            << "SELECT top 1000 CODIGO,CONTACTO FROM VT_CLIENTES WHERE CODIGO <> 'C1'"
            << "CODIGO";
    }

    void ownMasks()
    {
        QFETCH(QString, fields);
        QFETCH(QString, filter);
        QFETCH(QString, statement);
        QFETCH(QString, campo);
        Fixture f;
        f.appendRecord(QueryMaskFile::encode("MIO", "VT_CLIENTES", fields, filter));
        f.writeMasks(); // the standard record comes later: the first match wins
        f.script();
        f.request("vt_clientes");
        QCOMPARE(f.sql, statement);
        QCOMPARE(f.campoBusqueda, campo);
        QCOMPARE(f.dialogs.count("error"), 0);
        QVERIFY(!f.rows.isEmpty());
    }

    void statementUsedAsPassed_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<bool>("masksOn");
        QTest::newRow("complete statement")
            << "SELECT RAZON_SOCIAL FROM VT_CLIENTES ORDER BY RAZON_SOCIAL" << true;
        QTest::newRow("masks switched off") << "VT_CLIENTES" << false;
        QTest::newRow("source without mask") << "TA_PROVINCIAS" << true;
    }

    void statementUsedAsPassed()
    {
        QFETCH(QString, asked);
        QFETCH(bool, masksOn);
        Fixture f;
        f.writeMasks();
        f.lookup.gUsarMascarasConsultas = masksOn;
        f.script();
        f.request(asked);
        QCOMPARE(f.sql, asked);
        QCOMPARE(f.campoBusqueda, QString());
    }

    void damagedMaskFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QByteArray whole;
        for (const char* src : {"V_MA_ARTICULOS", "VT_CLIENTES"})
            whole += QueryMaskFile::encode("X", src, "|RAZON_SOCIAL|CODIGO|", "");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("shorter than a record") << whole.left(150);
        QTest::newRow("record cut short") << whole.left(1202 + 400);
        QByteArray noEnd = whole;
        noEnd[1202 + 1200] = 'x';
        noEnd[1202 + 1201] = 'y';
        QTest::newRow("record without its end") << noEnd;
        QByteArray shifted = QByteArray(7, ' ') + whole;
        QTest::newRow("misaligned records") << shifted;
        QTest::newRow("statement characters in the field list")
            << QueryMaskFile::encode("X", "VT_CLIENTES", "|CODIGO; DELETE FROM VT_CLIENTES|", "");
        QTest::newRow("empty column in the list")
            << QueryMaskFile::encode("X", "VT_CLIENTES", "|CODIGO||CONTACTO|", "");
        QByteArray control = QueryMaskFile::encode("X", "VT_CLIENTES", "|CODIGO|", "");
        control[205] = '\x01';
        QTest::newRow("control characters") << control;
    }

    void damagedMaskFile()
    {
        QFETCH(QByteArray, content);
        Fixture f;
        f.appendRecord(content);
        f.script();
        f.request("VT_CLIENTES");
        QCOMPARE(f.sql, QStringLiteral("VT_CLIENTES"));
        QCOMPARE(f.campoBusqueda, QString());
    }

    void missingOrHiddenMaskFile()
    {
        Fixture f;
        f.script();
        f.request("VT_CLIENTES");
        QCOMPARE(f.sql, QStringLiteral("VT_CLIENTES"));
        // A hidden file counts as missing.
        const QString hidden = f.dir.filePath(".consultas.vxt");
        QueryMaskFile::writeStandardMasks(hidden);
        f.lookup.gRutaMascaraConsultas = hidden;
        f.script();
        f.request("VT_CLIENTES");
        QCOMPARE(f.sql, QStringLiteral("VT_CLIENTES"));
    }

    void sortingDecision_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<bool>("ordenar");
        QTest::addColumn<QStringList>("sorted");
        QTest::newRow("own ORDER BY keeps the order read")
            << "SELECT DESCRIPCION FROM TA_PROVINCIAS WHERE DESCRIPCION LIKE 'C%' "
               "ORDER BY DESCRIPCION DESC "
            << false << QStringList{};
        QTest::newRow("lower-case order by")
            << "select nombre from ta_usuarios order by sistema, nombre desc" << false
            << QStringList{};
        QTest::newRow("no ORDER BY: the window sorts")
            << "SELECT nombre,sistema FROM TA_USUARIOS" << true
            << QStringList{"ADMINISTRADOR", "LABORATORIO", "OPERADOR"};
    }

    void sortingDecision()
    {
        QFETCH(QString, statement);
        QFETCH(bool, ordenar);
        QFETCH(QStringList, sorted);
        QCOMPARE(Lib_ClsCons3::OrdenarEnLista(statement), ordenar);
        Fixture f;
        f.script();
        f.request(statement);
        QCOMPARE(f.ordenar, ordenar);
        if (ordenar) {
            QCOMPARE(f.rows, sorted);
        } else {
            // The rows keep the order the database gave them.
            QStringList read;
            RecordSet rs = f.db.data().openRecordSet(statement);
            for (const auto& row : rs.rows())
                read << row.at(0).toString();
            QVERIFY(read.size() >= 3);
            QCOMPARE(f.rows, read);
        }
    }

    void handOverAndSinglePick()
    {
        Fixture f;
        f.lookup.CampoDevuelto = "CODIGO";
        f.lookup.UsaCantidades = true;
        f.lookup.gConnString = "conn";
        TextCollection extra = QStringList{"CONTACTO", "RAZON_SOCIAL"};
        QString campo = "x";
        bool seen = false;
        f.dialogs.execScripts << [&](QDialog* d) {
            auto* w = qobject_cast<Lib_FrmCons3*>(d);
            seen = true;
            [&] {
                QVERIFY(w);
                QCOMPARE(w->FiltroInicial, QStringLiteral("zap"));
                QCOMPARE(w->CampoBusqueda, QStringLiteral("x"));
                QCOMPARE(w->CampoDevuelto, QStringLiteral("CODIGO"));
                QCOMPARE(w->gConnString, QStringLiteral("conn"));
                QVERIFY(!w->CheckBoxes);
                QVERIFY(w->UsaCantidades);
                QCOMPARE(w->CmpsDevueltos.value_or(QStringList{}),
                         (QStringList{"CONTACTO", "RAZON_SOCIAL"}));
                QVERIFY(!f.lookup.Valores.has_value()); // none while the window is open
                // The initial search text selected Zapata.
                QCOMPARE(w->ListView1()->selectedItems().value(0)->text(0),
                         QStringLiteral("Zapata SA"));
            }();
            w->CmdAceptar_Click();
            return int(QDialog::Accepted);
        };
        f.lookup.ConsultaSearch("SELECT RAZON_SOCIAL, CODIGO, CONTACTO FROM VT_CLIENTES", extra,
                                "zap", campo);
        QVERIFY(seen);
        QCOMPARE(f.lookup.ValorDevuelto.toString(), QStringLiteral("C1"));
        QCOMPARE(f.lookup.Valores.value_or(QStringList{"<none>"}),
                 (QStringList{"Ana", "Zapata SA"}));
        QCOMPARE(f.lookup.Cantidades.value_or(QStringList{"<none>"}), QStringList{});
        QVERIFY(!extra.has_value()); // consumed
        QVERIFY(f.lookup.CampoDevuelto.isEmpty());
        QVERIFY(!f.lookup.Checks);
        QVERIFY(f.lookup.UsaCantidades); // kept
        QCOMPARE(campo, QStringLiteral("x"));
    }

    void outcomes_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QVariant>("valor");
        QTest::addColumn<bool>("valoresNone");
        QTest::newRow("cancel") << "cancel" << QVariant(QString()) << true;
        QTest::newRow("escape") << "escape" << QVariant(QString()) << true;
        QTest::newRow("title-bar close") << "close" << QVariant() << false;
        QTest::newRow("accept without a row") << "nothing" << QVariant() << false;
    }

    void outcomes()
    {
        QFETCH(QString, how);
        QFETCH(QVariant, valor);
        QFETCH(bool, valoresNone);
        Fixture f;
        f.lookup.CampoDevuelto = "CODIGO";
        f.lookup.ValorDevuelto = "previous";
        TextCollection extra = QStringList{"CODIGO"};
        const QString sql = how == "nothing"
                                ? QStringLiteral("SELECT CODIGO FROM VT_CLIENTES WHERE 1 = 0")
                                : QStringLiteral("SELECT CODIGO FROM VT_CLIENTES");
        f.script([how](Lib_FrmCons3* w) {
            if (how == "cancel")
                QTest::mouseClick(w->CmdCancelar(), Qt::LeftButton);
            else if (how == "escape")
                QTest::keyClick(w->ListView1(), Qt::Key_Escape);
            else if (how == "close")
                w->close();
            else
                QTest::mouseClick(w->CmdAceptar(), Qt::LeftButton);
            return w->result();
        });
        QString campo;
        f.lookup.ConsultaSearch(sql, extra, QString(), campo);
        QVERIFY(f.window.isNull()); // disposed of
        QCOMPARE(f.lookup.ValorDevuelto, valor);
        QCOMPARE(!f.lookup.Valores.has_value(), valoresNone);
        if (!valoresNone) QVERIFY(f.lookup.Valores->isEmpty());
        QCOMPARE(f.lookup.Cantidades.value_or(QStringList{"<none>"}), QStringList{});
        QVERIFY(!extra.has_value());
        QVERIFY(f.lookup.CampoDevuelto.isEmpty());
    }

    void multiPickThroughTheRequest()
    {
        Fixture f;
        f.lookup.Checks = true;
        f.lookup.CampoDevuelto = "CODIGO";
        f.script([](Lib_FrmCons3* w) {
            if (!w->CheckBoxes) return int(QDialog::Rejected);
            QTreeWidget* l = w->ListView1();
            for (int i = 0; i < l->topLevelItemCount(); ++i)
                if (l->topLevelItem(i)->text(0) != QLatin1String("Acme SRL"))
                    l->topLevelItem(i)->setCheckState(0, Qt::Checked);
            QTest::mouseClick(w->CmdAceptar(), Qt::LeftButton);
            return int(QDialog::Accepted);
        });
        f.request("SELECT RAZON_SOCIAL, CODIGO FROM VT_CLIENTES");
        QCOMPARE(f.rows, (QStringList{"Acme SRL", "Molinos SA", "Zapata SA"}));
        QCOMPARE(f.lookup.Valores.value_or(QStringList{"<none>"}), (QStringList{"C3", "C1"}));
        QVERIFY(!f.lookup.ValorDevuelto.isValid());
        QVERIFY(!f.lookup.Checks); // set again before every multi-pick request
        QVERIFY(f.lookup.CampoDevuelto.isEmpty());
    }

    void rejectedStatementThroughTheRequest()
    {
        Fixture f;
        f.lookup.CampoDevuelto = "CODIGO";
        f.script([](Lib_FrmCons3* w) {
            QTest::mouseClick(w->CmdCancelar(), Qt::LeftButton);
            return int(QDialog::Rejected);
        });
        f.request("SELECT CODIGO FROM VT_CLIENTES WHERE");
        QCOMPARE(f.dialogs.count("error"), 1);
        QCOMPARE(f.dialogs.shown.at(1).source, QStringLiteral("FORM_LOAD"));
        QVERIFY(f.rows.isEmpty());
        QVERIFY(!f.lookup.Valores.has_value());
        QCOMPARE(f.lookup.ValorDevuelto, QVariant(QString()));
    }

    void everyRequestHasANewWindow()
    {
        Fixture f;
        QList<QPointer<Lib_FrmCons3>> windows;
        QStringList originals;
        for (int i = 0; i < 2; ++i) {
            f.script([&](Lib_FrmCons3* w) {
                windows << w;
                originals << w->sqlOriginal(); // a fresh window starts from its own statement
                return pick(w, "Zapata SA");
            });
            f.lookup.CampoDevuelto = "CODIGO";
            f.request(i == 0 ? "SELECT RAZON_SOCIAL, CODIGO FROM VT_CLIENTES"
                             : "SELECT RAZON_SOCIAL, CODIGO FROM VT_CLIENTES WHERE CODIGO = 'C1'");
            QCOMPARE(f.lookup.ValorDevuelto.toString(), QStringLiteral("C1"));
        }
        QCOMPARE(windows.size(), 2);
        QCOMPARE(
            originals.at(1),
            QStringLiteral("SELECT RAZON_SOCIAL, CODIGO FROM VT_CLIENTES WHERE CODIGO = 'C1'"));
        QVERIFY(windows.at(0).isNull() && windows.at(1).isNull());
        QCOMPARE(f.dialogs.count("exec"), 2);
    }
};

QTEST_MAIN(TestLookupRequest)
#include "tst_lookuprequest.moc"
