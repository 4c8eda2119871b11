#include "FieldLookups.h"
#include "IntakeFixture.h"
#include "SqlDialect.h"
#include "UtilVextra.h"

#include <QtTest>

// Without the lookup window built into this tree, the cases that work the
// list are skipped; the others run.
#ifdef MOLVERA_HAS_LOOKUP_WINDOW
#define REQUIRE_LOOKUP_WINDOW()
#else
#define REQUIRE_LOOKUP_WINDOW() QSKIP("the lookup window is not part of this build yet")
#endif

class TstFieldLookups : public QObject
{
    Q_OBJECT
private slots:
    void definirConsulta_data()
    {
        QTest::addColumn<QString>("tabla");
        QTest::addColumn<QString>("filtro");
        QTest::addColumn<QString>("sentencia");
        QTest::addColumn<QString>("clave");

        auto fila = [](const char* t, const char* s, const char* k, const char* f = "") {
            QTest::newRow(t) << QString::fromUtf8(t) << QString::fromUtf8(f) << QString::fromUtf8(s)
                             << QString::fromUtf8(k);
        };
        // Names with fixed columns.
        fila("V_TA_RETENCIONES", "select Descripcion,IdRetencion from V_TA_RETENCIONES ",
             "IdRetencion");
        fila("V_TA_Cpte", "select Descripcion,CODIGO from V_TA_Cpte ", "CODIGO");
        fila("V_TA_Tecnicos", "select NOMBRE,IDTecnico from V_TA_Tecnicos ", "IDTecnico");
        fila("V_TA_CPRA_VTA", "select DESCRIPCION,IDCOND_CPRA_VTA from V_TA_CPRA_VTA ",
             "IDCOND_CPRA_VTA");
        fila("V_TA_TipoArticulo", "select DESCRIPCION,IDTIPO from V_TA_TipoArticulo ", "IDTIPO");
        fila("TA_TipoArticulo", "select DESCRIPCION,IDTIPO from TA_TipoArticulo ", "IDTIPO");
        fila("P_MA_Empresas", "select NombreEmpresa,IDEmpresa from P_MA_Empresas ", "IDEmpresa");
        fila("P_SINDICATOS", "select Descripcion,IdSindicato from P_SINDICATOS ", "IdSindicato");
        fila("P_TA_Funciones", "select DESCRIPCION,IDFunciones from P_TA_Funciones ",
             "IDFunciones");
        fila("P_MA_Clientes", "select RAZON_SOCIAL,IDCLIENTE from P_MA_Clientes ", "IDCLIENTE");
        fila("TA_Cpte", "select DESCRIPCION,CODIGO from TA_Cpte ", "CODIGO");
        fila("V_MA_ARTICULOS", "select DESCRIPCION,IDARTICULO from V_MA_ARTICULOS ", "IDARTICULO");
        fila("MA_ARTICULOS", "select DESCRIPCION,IDARTICULO from MA_ARTICULOS ", "IDARTICULO");
        fila("MA_MODELOS", "select NOMBRE,NOMBRE from MA_MODELOS ", "NOMBRE");
        fila("MA_CHOFERES", "select APELLIDO,CODIGO from MA_CHOFERES ", "CODIGO");
        fila("MA_DESTINATARIOS", "select NOMBRE,CODIGO from MA_DESTINATARIOS ", "CODIGO");
        fila("MA_VEHICULOS", "select PATENTE,PATENTE from MA_VEHICULOS ", "PATENTE");
        fila("MV_EJERCICIOS", "select DESCRIPCION,PERIODO from MV_EJERCICIOS ", "PERIODO");
        fila("TA_USUARIOS", "select NOMBRE,NOMBRE from TA_USUARIOS ", "NOMBRE");
        fila("ta_usuarios", "select NOMBRE,NOMBRE from ta_usuarios ", "NOMBRE");
        // Views with "ID" and the singular part after "V_TA_".
        fila("V_TA_Deposito", "select DESCRIPCION,IDDeposito from V_TA_Deposito ", "IDDeposito");
        fila("V_TA_Bancos", "select DESCRIPCION,IDBanco from V_TA_Bancos ", "IDBanco");
        fila("V_TA_Rubros", "select DESCRIPCION,IDRubro from V_TA_Rubros ", "IDRubro");
        fila("V_TA_Unidad", "select DESCRIPCION,IDUnidad from V_TA_Unidad ", "IDUnidad");
        fila("V_TA_MotivoStock", "select DESCRIPCION,IDMotivoStock from V_TA_MotivoStock ",
             "IDMotivoStock");
        fila("V_TA_ORIGEN", "select DESCRIPCION,IDORIGEN from V_TA_ORIGEN ", "IDORIGEN");
        fila("v_ta_tareas", "select DESCRIPCION,IDtarea from v_ta_tareas ", "IDtarea");
        // Tables with "ID" and the name after the five-character prefix.
        fila("P_TA_Areas", "select Descripcion,IDAreas from P_TA_Areas ", "IDAreas");
        fila("P_TA_Grupos", "select Descripcion,IDGrupo from P_TA_Grupos ", "IDGrupo");
        fila("P_TA_TITULOs", "select Descripcion,IDTITULO from P_TA_TITULOs ", "IDTITULO");
        fila("P_TA_IDIOMAS", "select Descripcion,IDIDIOMA from P_TA_IDIOMAS ", "IDIDIOMA");
        fila("P_TA_NIVELESTUDIO", "select Descripcion,IDNIVELESTUDIO from P_TA_NIVELESTUDIO ",
             "IDNIVELESTUDIO");
        // Tables with "ID" and the singular part after "TA_".
        fila("TA_Rubros", "select DESCRIPCION,IDRubro from TA_Rubros ", "IDRubro");
        fila("TA_Categoria", "select DESCRIPCION,IDCategoria from TA_Categoria ", "IDCategoria");
        fila("TA_Deposito", "select DESCRIPCION,IDDeposito from TA_Deposito ", "IDDeposito");
        // By the beginning of the name.
        fila("TA_Monedas", "select DESCRIPCION,CODIGO from TA_Monedas ", "CODIGO");
        fila("MA_PROVEEDORES", "select Razon_Social,Codigo from MA_PROVEEDORES ", "Codigo");
        fila("ma_vendedores", "select Razon_Social,Codigo from ma_vendedores ", "Codigo");
        fila("MA_Transportes", "select Razon_Social,Codigo from MA_Transportes ", "Codigo");
        fila("MA_CONTACTOS", "select Razon_Social,Codigo from MA_CONTACTOS ", "Codigo");
        fila("MA_AGENTES", "select Razon_Social,Codigo from MA_AGENTES ", "Codigo");
        fila("MA_CLIENTES", "select Razon_Social,Codigo from MA_CLIENTES ", "Codigo");
        fila("MA_Rubros", "select Descripcion,Codigo from MA_Rubros ", "Codigo");
        fila("[MA_CAMPOS]", "select nombre,Codigo from [MA_CAMPOS] ", "Codigo");
        fila("MV_PROYECTOS", "select ASUNTO,ID from MV_PROYECTOS ", "ID");
        // Without columns: no statement.
        fila("MV_OTROS", "", "");
        fila("XX_TABLA", "", "");
        fila("[MA_OTRA]", "", "");
        // The filter follows the blank.
        fila("TA_Rubros filtered", "select DESCRIPCION,IDRubro from TA_Rubros WHERE IDRubro > 2",
             "IDRubro", "WHERE IDRubro > 2");
        // A name that is not a plain table name never reaches a statement.
        fila("TA_X; DELETE FROM mv_molvera", "", "");
    }

    void definirConsulta()
    {
        QFETCH(QString, tabla);
        QFETCH(QString, filtro);
        QFETCH(QString, sentencia);
        QFETCH(QString, clave);
        if (tabla.endsWith(QLatin1String(" filtered"))) tabla.chop(9);
        QString d, k;
        QCOMPARE(FieldLookups::sentenciaConsulta(tabla, d, k, filtro), sentencia);
        if (!clave.isEmpty()) QCOMPARE(k, clave);
        if (sentencia.isEmpty() && tabla.front().isLetter() && !tabla.contains(u' ')) {
            QVERIFY(!FieldLookups::columnasConsulta(tabla, d, k));
            QVERIFY(d.isEmpty() && k.isEmpty()); // left as passed
        }
    }

    void definirConsultaKeepsColumnsPassedIn()
    {
        QString d = QStringLiteral("NOMBRE"), k = QStringLiteral("LEGAJO");
        QCOMPARE(FieldLookups::sentenciaConsulta(QStringLiteral("XX_PERSONAL"), d, k),
                 QStringLiteral("select NOMBRE,LEGAJO from XX_PERSONAL "));
    }

    void definirConsultaWithoutColumnsOffersNoList()
    {
        IntakeFixture f;
        QString d, k = QStringLiteral("x");
        f.w->lookups().DefinirConsulta(QStringLiteral("XX_TABLA"), d, k, true, QString());
        QVERIFY(k.isEmpty());
        QCOMPARE(f.dialogs.count("exec"), 0);
        QCOMPARE(f.dialogs.count("error"), 0);
    }

    void fixedLists_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("sentencia");
        QTest::addColumn<QString>("campo");
        QTest::newRow("deposits (editor's tag)")
            << "v_TA_DEPOSITO"
            << QString::fromUtf8("select iddeposito as [Depósito], descripcion as [Descripción] "
                                 "from v_ta_deposito")
            << QString::fromUtf8("Depósito");
        QTest::newRow("users") << "ta_usuarios"
                               << "SELECT nombre,sistema FROM TA_USUARIOS"
                               << "Nombre";
        QTest::newRow("provinces") << "Provincia"
                                   << "SELECT DESCRIPCION FROM TA_PROVINCIAS ORDER BY DESCRIPCION "
                                   << "DESCRIPCION";
        QTest::newRow("date boxes") << "Fecha"
                                    << ""
                                    << "";
        QTest::newRow("other") << "TA_Rubros"
                               << ""
                               << "";
    }

    void fixedLists()
    {
        QFETCH(QString, tag);
        QFETCH(QString, sentencia);
        QFETCH(QString, campo);
        QString s, c;
        QCOMPARE(FieldLookups::listaFija(tag, s, c), !sentencia.isEmpty());
        QCOMPARE(s, sentencia);
        QCOMPARE(c, campo);
        // Every built-in statement runs on the database.
        if (!sentencia.isEmpty()) {
            TestDb db;
            db.data().openRecordSet(s);
        }
    }

    void enteredValues_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("columna");
        QTest::addColumn<QString>("campo");
        QTest::addColumn<int>("dialecto");
        const int lite = int(SqlDialect::Kind::SQLite), ss = int(SqlDialect::Kind::SqlServer);
        QTest::newRow("sellers") << "VT_Vendedores"
                                 << "VENDEDOR"
                                 << "Vendedor" << lite;
        QTest::newRow("origins") << "vt_procedencia"
                                 << "PROCEDENCIA"
                                 << "Procedencia" << lite;
        QTest::newRow("truckers") << "VT_Camionero"
                                  << "CAMIONERO"
                                  << "CAMIONERO" << lite;
        QTest::newRow("characteristics") << "VT_Caract"
                                         << "CARACTERISTICAS"
                                         << "CARACTERISTICAS" << lite;
        QTest::newRow("sellers, server form") << "VT_Vendedores"
                                              << "VENDEDOR"
                                              << "Vendedor" << ss;
        QTest::newRow("characteristics, server form") << "VT_Caract"
                                                      << "CARACTERISTICAS"
                                                      << "CARACTERISTICAS" << ss;
    }

    // The lists of values entered offer exactly the distinct non-empty values
    // of the column over all days, and take the lookup window's narrowing.
    void enteredValues()
    {
        QFETCH(QString, tag);
        QFETCH(QString, columna);
        QFETCH(QString, campo);
        QFETCH(int, dialecto);
        TestDb db;
        const QVariant nulo(QMetaType(QMetaType::QString));
        const QVariantList valores{"TANDIL", "AZUL", "",       nulo,        "AZUL",
                                   "azul",   "  ",   "Tandil", "O'Higgins", "AZUL"};
        int i = 0;
        for (const QVariant& v : valores)
            db.data().execute(QStringLiteral("INSERT INTO v_mv_molvera (Fecha,responsable,%1) "
                                             "VALUES (?,?,?)")
                                  .arg(columna),
                              {QDateTime(QDate(2024, 1, 1).addDays(i++), QTime(0, 0)), "T", v});
        QString s, c;
        QVERIFY(FieldLookups::listaFija(tag, s, c, SqlDialect::Kind(dialecto)));
        QCOMPARE(c, campo);
        auto leer = [&](const QString& sql, const QVariantList& p = {}) -> QStringList {
            QStringList out;
            RecordSet rs = db.data().openRecordSet(sql, p);
            if (rs.fieldName(0).compare(columna, Qt::CaseInsensitive) != 0)
                return {QStringLiteral("column named ") + rs.fieldName(0)};
            while (!rs.eof()) {
                out << rs.value(0).toString();
                rs.moveNext();
            }
            out.sort();
            return out;
        };
        const QString porGrupo = QStringLiteral("SELECT %1 FROM V_MV_MOLVERA WHERE %1<>'' %2 "
                                                "GROUP BY %1")
                                     .arg(columna);
        const QStringList todos = leer(s);
        QCOMPARE(todos, leer(porGrupo.arg(QString())));
        QCOMPARE(todos.count(QStringLiteral("AZUL")), 1);
        QVERIFY(!todos.contains(QString()));
        // The window narrows the list by appending a condition.
        QVERIFY(s.contains(QLatin1String("where"), Qt::CaseInsensitive));
        QVERIFY(!s.contains(QLatin1String("order"), Qt::CaseInsensitive));
        const QString cond = QStringLiteral(" and %1 like ?").arg(columna);
        const QStringList filtrados = leer(s + cond, {"%AN%"});
        QCOMPARE(filtrados, leer(porGrupo.arg(cond), {"%AN%"}));
        // (Whether "like" ignores case is the database's own rule.)
        QVERIFY(filtrados.contains(QStringLiteral("TANDIL")));
        QVERIFY(!filtrados.contains(QStringLiteral("AZUL")));
        for (const QString& v : filtrados)
            QVERIFY(v.contains(QLatin1String("an"), Qt::CaseInsensitive));
    }

    void sellerTypedOnceIsListedOnce()
    {
        IntakeFixture f;
        QString sql, campo;
        QVERIFY(FieldLookups::listaFija(QStringLiteral("VT_Vendedores"), sql, campo));
        auto vendedores = [&] {
            QStringList out;
            RecordSet rs = f.db.data().openRecordSet(sql);
            while (!rs.eof()) {
                out << rs.value(0).toString();
                rs.moveNext();
            }
            return out;
        };
        QVERIFY(f.cargar());
        QVERIFY(vendedores().isEmpty()); // a new database offers nothing

        const qint64 id = f.grid()->TextMatrix(2, 0).toLongLong();
        f.teclear(2, 2, QStringLiteral("ACOPIO SUR"));
        QCOMPARE(f.valor("vendedor", id).toString(), QStringLiteral("ACOPIO SUR"));
        QCOMPARE(vendedores(), QStringList{QStringLiteral("ACOPIO SUR")});

        // The same seller on other rows and days, and empty sellers, add nothing.
        for (int i = 0; i < 5; ++i)
            f.fila(IntakeFixture::dia().addDays(-i), {{"vendedor", "ACOPIO SUR"}});
        f.fila(IntakeFixture::dia().addDays(-9), {{"vendedor", ""}});
        f.fila(IntakeFixture::dia().addDays(-9), {{"vendedor", "COOP. NORTE"}});
        QCOMPARE(vendedores(), (QStringList{"ACOPIO SUR", "COOP. NORTE"}));

        REQUIRE_LOOKUP_WINDOW();
        QStringList listados;
        f.dialogs.execScripts << [&](QDialog* d) {
            listados = LookupScript::textos(d);
            return LookupScript::cancelar(d);
        };
        f.irA(3, 2);
        f.w->CmdConsultar(false);
        QCOMPARE(f.dialogs.count("exec"), 1);
        QCOMPARE(listados.count(QStringLiteral("ACOPIO SUR")), 1);
        QCOMPARE(listados.count(QStringLiteral("COOP. NORTE")), 1);
        QVERIFY(!listados.contains(QString()));
    }

    void cancellingKeepsCellAndDatabase_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("columna");
        QTest::addColumn<QString>("valor");
        QTest::newRow("seller") << 2 << "vendedor"
                                << "ACOPIO SUR";
        QTest::newRow("origin") << 3 << "procedencia"
                                << "TANDIL";
        QTest::newRow("deposit") << 11 << "silodestino"
                                 << "0003";
    }

    void cancellingKeepsCellAndDatabase()
    {
        QFETCH(int, col);
        QFETCH(QString, columna);
        QFETCH(QString, valor);
        IntakeFixture f;
        const qint64 id = f.fila(IntakeFixture::dia(), {{columna, valor}});
        QVERIFY(f.cargar());
        const int r = f.filaDe(id);
        QVERIFY(r >= 2);
        QCOMPARE(f.grid()->TextMatrix(r, col), valor);
        f.dialogs.execScripts << [](QDialog* d) { return LookupScript::cancelar(d); };
        f.irA(r, col);
        f.w->CmdConsultar(false);
        QCOMPARE(f.grid()->TextMatrix(r, col), valor);
        QCOMPARE(f.valor(columna, id).toString(), valor);
        QVERIFY(f.valor("fecha_modificacion", id).isNull()); // nothing was written
        QCOMPARE(f.grid()->Row(), r);
        QCOMPARE(f.grid()->Col(), col);
        QVERIFY(!f.w->editor().abierto());
        QCOMPARE(f.dialogs.count("message"), 0);
    }

    void cancellingKeepsAnOpenEdit()
    {
        IntakeFixture f;
        const qint64 id = f.fila(IntakeFixture::dia(), {{"vendedor", "ACOPIO SUR"}});
        QVERIFY(f.cargar());
        const int r = f.filaDe(id);
        f.irA(r, 2);
        f.w->editor().MsflexGridEdt('C');
        QVERIFY(f.w->editor().abierto());
        f.w->TxtEdit()->setText(QStringLiteral("COOP"));
        f.dialogs.execScripts << [](QDialog* d) { return LookupScript::cancelar(d); };
        f.w->CmdConsultar(false);
        QVERIFY(f.w->editor().abierto());
        QCOMPARE(f.w->TxtEdit()->text(), QStringLiteral("COOP"));
        QCOMPARE(f.valor("vendedor", id).toString(), QStringLiteral("ACOPIO SUR"));
    }

    void pickingDepositWritesItAndMovesRight()
    {
        REQUIRE_LOOKUP_WINDOW();
        IntakeFixture f;
        f.db.data().execute("INSERT INTO v_ta_deposito (iddeposito,descripcion,capacidad) "
                            "VALUES ('0007','Silo 7',700)");
        QVERIFY(f.cargar());
        const qint64 id = f.grid()->TextMatrix(3, 0).toLongLong();
        QStringList listados;
        f.dialogs.execScripts << [&](QDialog* d) {
            listados = LookupScript::textos(d);
            return LookupScript::elegir(d, QStringLiteral("0007"));
        };
        f.irA(3, 11);
        QVERIFY(f.w->UtilVextra1()->consultaenabled());
        f.w->CmdConsultar(false);
        QCOMPARE(listados.size(), 7);
        QCOMPARE(f.valor("silodestino", id).toString(), QStringLiteral("0007"));
        QVERIFY(!f.valor("fecha_modificacion", id).isNull());
        QCOMPARE(f.grid()->TextMatrix(3, 11), QStringLiteral("0007"));
        QCOMPARE(f.grid()->Row(), 3);
        QCOMPARE(f.grid()->Col(), 12);
        QVERIFY(!f.w->editor().abierto());
        QCOMPARE(f.dialogs.messageTexts(), QStringList());
    }

    void pickedSellerIsWrittenLikeATypedOne()
    {
        REQUIRE_LOOKUP_WINDOW();
        IntakeFixture f;
        f.fila(IntakeFixture::dia().addDays(-3), {{"vendedor", "COOP. NORTE"}});
        QVERIFY(f.cargar());
        const qint64 id = f.grid()->TextMatrix(2, 0).toLongLong();
        f.dialogs.execScripts <<
            [](QDialog* d) { return LookupScript::elegir(d, QStringLiteral("COOP. NORTE")); };
        f.irA(2, 2);
        f.w->CmdConsultar(false);
        QCOMPARE(f.valor("vendedor", id).toString(), QStringLiteral("COOP. NORTE"));
        QCOMPARE(f.grid()->TextMatrix(2, 2), QStringLiteral("COOP. NORTE"));
        QCOMPARE(f.grid()->Col(), 3);
    }

    void withoutKeyDownTheEditStaysOpen()
    {
        REQUIRE_LOOKUP_WINDOW();
        IntakeFixture f;
        QVERIFY(f.cargar());
        const qint64 id = f.grid()->TextMatrix(2, 0).toLongLong();
        f.dialogs.execScripts <<
            [](QDialog* d) { return LookupScript::elegir(d, QStringLiteral("0002")); };
        f.irA(2, 11);
        f.w->CmdConsultar(true);
        QVERIFY(f.w->editor().abierto());
        QCOMPARE(f.w->TxtEdit()->text(), QStringLiteral("0002"));
        QVERIFY(f.valor("silodestino", id).isNull());
        QCOMPARE(f.grid()->Col(), 11);
    }

    void definirConsultaAnswersThePickedKey()
    {
        REQUIRE_LOOKUP_WINDOW();
        IntakeFixture f;
        f.db.data().execute(
            "CREATE TABLE TA_Rubros (IDRubro INTEGER PRIMARY KEY, DESCRIPCION TEXT)");
        f.db.data().execute("INSERT INTO TA_Rubros VALUES (1,'Trigo pan'),(2,'Trigo candeal')");
        f.dialogs.execScripts <<
            [](QDialog* d) { return LookupScript::elegir(d, QStringLiteral("Trigo candeal")); };
        QString desc, clave;
        f.w->lookups().DefinirConsulta(QStringLiteral("TA_Rubros"), desc, clave, true, QString());
        QCOMPARE(desc, QStringLiteral("DESCRIPCION"));
        QCOMPARE(clave, QStringLiteral("2"));
    }

    void dateChooserFillsTheBoxAndLoadsThatSheet()
    {
        IntakeFixture f;
        const QDate d = IntakeFixture::dia().addDays(-2);
        const qint64 a = f.fila(d, {{"vendedor", "ACOPIO SUR"}});
        const qint64 b = f.fila(d, {{"vendedor", "COOP. NORTE"}});
        f.fila(d.addDays(1), {{"vendedor", "OTRO DIA"}});
        QVERIFY(!f.w->mPlanillaCargada);
        TextBox* fecha = f.w->box(QStringLiteral("fecha"));
        fecha->setFocus(Qt::OtherFocusReason);
        f.w->mCampoActivo = fecha;
        f.dialogs.dateAnswers << d;
        f.w->CmdConsultar(false);
        QCOMPARE(f.dialogs.count("date"), 1);
        QCOMPARE(fecha->text(), DateText::format(d));
        QVERIFY(f.w->mPlanillaCargada);
        QCOMPARE(f.grid()->Rows(), FlexGrid::FixedRows + 2);
        QVERIFY(f.filaDe(a) >= 2);
        QVERIFY(f.filaDe(b) >= 2);
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM mv_molvera").toInt(), 3); // nothing created
    }

    void dateChooserClosedKeepsTheBox()
    {
        IntakeFixture f;
        TextBox* fecha = f.w->box(QStringLiteral("fecha"));
        const QString antes = fecha->text();
        f.w->mCampoActivo = fecha;
        f.w->CmdConsultar(false); // the chooser answers no choice
        QCOMPARE(f.dialogs.count("date"), 1);
        QCOMPARE(fecha->text(), antes);
        QVERIFY(!f.w->mPlanillaCargada);
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM mv_molvera").toInt(), 0);
    }

    void reportDateBoxTakesTheChosenDate()
    {
        IntakeFixture f;
        TextBox* desde = f.w->box(QStringLiteral("FechaDesde"));
        f.w->mCampoActivo = desde;
        f.dialogs.dateAnswers << QDate(2024, 1, 2);
        f.w->CmdConsultar(false);
        QCOMPARE(desde->text(), DateText::format(QDate(2024, 1, 2)));
        QVERIFY(!f.w->mPlanillaCargada);
    }

    void columnWithoutPickListDoesNothing()
    {
        IntakeFixture f;
        QVERIFY(f.cargar());
        const qint64 id = f.grid()->TextMatrix(2, 0).toLongLong();
        f.irA(2, 1); // tonnes: no lookup tag
        QVERIFY(f.w->TxtEdit()->tag().isEmpty());
        QVERIFY(!f.w->UtilVextra1()->consultaenabled());
        f.w->CmdConsultar(false);
        // The identifier column keeps the tag of the column visited before it.
        f.irA(2, 2);
        f.irA(2, 0);
        f.w->CmdConsultar(false);
        QCOMPARE(f.dialogs.shown.size(), 0);
        QVERIFY(f.valor("fecha_modificacion", id).isNull());
        QVERIFY(!f.w->editor().abierto());
    }

    void disabledResponsibleBoxOffersNoList()
    {
        IntakeFixture f;
        TextBox* resp = f.w->box(QStringLiteral("responsable"));
        QVERIFY(!resp->isEnabled());
        const QString antes = resp->text();
        f.w->mCampoActivo = resp;
        f.w->CmdConsultar(false);
        QCOMPARE(f.dialogs.shown.size(), 0);
        QCOMPARE(resp->text(), antes);
    }

    void otherTagsGoThroughTheDefaultDefinition()
    {
        REQUIRE_LOOKUP_WINDOW();
        IntakeFixture f;
        f.db.data().execute(
            "CREATE TABLE TA_Rubros (IDRubro VARCHAR(10) PRIMARY KEY, DESCRIPCION VARCHAR(40))");
        f.db.data().execute("INSERT INTO TA_Rubros VALUES (' R2 ','Trigo candeal')");
        // A box whose tag names a table: the picked key, trimmed, is put in.
        TextBox* hasta = f.w->box(QStringLiteral("FechaHasta"));
        hasta->setTag(QStringLiteral("TA_Rubros"));
        f.w->mCampoActivo = hasta;
        f.dialogs.execScripts <<
            [](QDialog* d) { return LookupScript::elegir(d, QStringLiteral("Trigo candeal")); };
        f.w->CmdConsultar(false);
        QCOMPARE(hasta->text(), QStringLiteral("R2"));
        // The provinces' list: the picked name, trimmed.
        hasta->setTag(QStringLiteral("PROVINCIA"));
        QString picked;
        f.dialogs.execScripts << [&](QDialog* d) {
            picked = LookupScript::textos(d).value(5);
            return LookupScript::elegir(d, picked);
        };
        f.w->CmdConsultar(false);
        QVERIFY(!picked.isEmpty());
        QCOMPARE(hasta->text(), picked.trimmed());
        QCOMPARE(f.dialogs.count("exec"), 2);
    }

    void responsiblePickFillsTheBox()
    {
        REQUIRE_LOOKUP_WINDOW();
        IntakeFixture f;
        TextBox* resp = f.w->box(QStringLiteral("responsable"));
        resp->setEnabled(true);
        f.w->mCampoActivo = resp;
        f.dialogs.execScripts <<
            [](QDialog* d) { return LookupScript::elegir(d, QStringLiteral("LABORATORIO")); };
        f.w->CmdConsultar(false);
        QCOMPARE(resp->text(), QStringLiteral("LABORATORIO"));
        QCOMPARE(f.dialogs.messageTexts(), QStringList());
    }
};

QTEST_MAIN(TstFieldLookups)
#include "tst_fieldlookups.moc"
