#include "FieldLookups.h"

#include "CellEditor.h"
#include "DataService.h"
#include "FieldValidator.h"
#include "FlexGrid.h"
#include "KeyCodes.h"
#include "Lib_ClsCons3.h"
#include "TextBox.h"
#include "UtilService.h"
#include "frmTrigo.h"

#include <QRegularExpression>

namespace
{

struct Lista {
    const char* tag;
    const char* sql;
    const char* campo;
};

// The built-in pick lists over master tables.
const Lista kListas[] = {
    {"PROVINCIA", "SELECT DESCRIPCION FROM TA_PROVINCIAS ORDER BY DESCRIPCION ", "DESCRIPCION"},
    {"ta_usuarios", "SELECT nombre,sistema FROM TA_USUARIOS", "Nombre"},
    {"v_ta_deposito",
     "select iddeposito as [Depósito], descripcion as [Descripción] from v_ta_deposito",
     "Depósito"},
};

// The four free-text columns of the sheet have no master table: their lists
// offer the distinct non-empty values already entered, on any day.
const Lista kValoresIngresados[] = {
    {"VT_Vendedores", "VENDEDOR", "Vendedor"},
    {"VT_Procedencia", "PROCEDENCIA", "Procedencia"},
    {"VT_Camionero", "CAMIONERO", "CAMIONERO"},
    {"VT_Caract", "CARACTERISTICAS", "CARACTERISTICAS"},
};

// The distinct non-empty values of a column of the intake view. The values
// are walked through the column's index one by one (each the least value
// above the previous), which reads as many index entries as there are
// distinct values rather than one per truckload. The statement ends in its
// WHERE clause, so the lookup window's narrowing conditions (" and <column>
// like ?") apply to the values listed.
QString valoresIngresados(const QString& c, SqlDialect::Kind kind)
{
    if (kind == SqlDialect::Kind::SqlServer)
        return QStringLiteral("SELECT %1 FROM (SELECT %1 FROM V_MV_MOLVERA GROUP BY %1) AS t "
                              "WHERE %1<>''")
            .arg(c);
    return QStringLiteral("WITH RECURSIVE v(%1) AS (SELECT MIN(%1) FROM V_MV_MOLVERA WHERE %1 > '' "
                          "UNION ALL SELECT (SELECT MIN(m.%1) FROM V_MV_MOLVERA m WHERE m.%1 > "
                          "v.%1) FROM v WHERE v.%1 IS NOT NULL) "
                          "SELECT %1 FROM v WHERE %1 IS NOT NULL")
        .arg(c);
}

bool igual(const QString& a, const char* b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

bool enLista(const QString& nombre, std::initializer_list<const char*> lista)
{
    for (const char* n : lista)
        if (igual(nombre, n)) return true;
    return false;
}

// A final "S" or "s" removed.
QString sinPlural(QString s)
{
    if (s.endsWith(u's', Qt::CaseInsensitive)) s.chop(1);
    return s;
}

// Views whose key is "ID" and the part after "V_TA_", singular.
const std::initializer_list<const char*> kVistasTa = {
    "V_TA_Bancos",   "V_TA_MotivoVta", "V_TA_MotivoCpra",   "V_TA_Deposito", "V_TA_Tecnicos",
    "V_TA_Tareas",   "V_TA_Unidad",    "V_TA_TipoArticulo", "V_TA_Rubros",   "V_TA_MotivoStock",
    "V_TA_CPRA_VTA", "V_TA_CATEGORIA", "V_TA_DESTINO",      "V_TA_ORIGEN"};
// Tables whose key is "ID" and the name after its five-character prefix.
const std::initializer_list<const char*> kTablasP = {
    "P_TA_NIVELESTUDIO", "P_TA_CONOCIMIENTOS", "P_TA_Categorizacion",   "P_TA_CentroMedico",
    "P_TA_FormasDePago", "P_MA_Empresas",      "P_TA_ZONARESIDENCIA",   "P_TA_ObraSocial",
    "P_TA_MotivoEgreso", "P_TA_Grupos",        "P_TA_EstadoBusqueda",   "P_TA_Areas",
    "P_TA_IDIOMAS",      "P_TA_TITULOs",       "P_TA_ESTADOPOSTULANTE", "P_TA_Parentesco",
    "P_TA_EstadoCivil"};
// Tables whose key is "ID" and the part after "TA_", singular.
const std::initializer_list<const char*> kTablasTa = {
    "TA_Categoria", "TA_Deposito", "TA_MotivoStock", "TA_TipoArticulo", "TA_Rubros"};

QString claveVistaTa(const QString& n)
{
    return QStringLiteral("ID") + sinPlural(n.mid(5));
}

QString claveTablaP(const QString& n)
{
    if (igual(n, "P_TA_Areas")) return QStringLiteral("ID") + n.mid(5);
    return QStringLiteral("ID") + sinPlural(n.mid(5));
}

} // namespace

FieldLookups::FieldLookups(frmTrigo& w) : w(w) {}

bool FieldLookups::listaFija(const QString& tag, QString& sql, QString& campoDevuelto,
                             SqlDialect::Kind kind)
{
    const QString t = tag.trimmed();
    for (const Lista& l : kListas) {
        if (igual(t, l.tag)) {
            sql = QString::fromUtf8(l.sql);
            campoDevuelto = QString::fromUtf8(l.campo);
            return true;
        }
    }
    for (const Lista& l : kValoresIngresados) {
        if (igual(t, l.tag)) {
            sql = valoresIngresados(QLatin1String(l.sql), kind);
            campoDevuelto = QString::fromUtf8(l.campo);
            return true;
        }
    }
    return false;
}

bool FieldLookups::columnasConsulta(const QString& tabla, QString& descripcion, QString& clave)
{
    const QString n = tabla.trimmed();
    auto fijar = [&](const QString& d, const QString& k) {
        descripcion = d;
        clave = k;
        return true;
    };
    // Names with fixed columns.
    if (igual(n, "V_TA_RETENCIONES"))
        return fijar(QStringLiteral("Descripcion"), QStringLiteral("IdRetencion"));
    // The view over the voucher table TA_Cpte: the same key as the table.
    if (igual(n, "V_TA_Cpte"))
        return fijar(QStringLiteral("Descripcion"), QStringLiteral("CODIGO"));
    if (igual(n, "V_TA_Tecnicos")) return fijar(QStringLiteral("NOMBRE"), claveVistaTa(n));
    if (igual(n, "V_TA_CPRA_VTA"))
        return fijar(QStringLiteral("DESCRIPCION"), QStringLiteral("IDCOND_CPRA_VTA"));
    if (enLista(n, {"V_TA_TipoArticulo", "TA_TipoArticulo"}))
        return fijar(QStringLiteral("DESCRIPCION"), QStringLiteral("IDTIPO"));
    if (igual(n, "P_MA_Empresas")) return fijar(QStringLiteral("NombreEmpresa"), claveTablaP(n));
    if (igual(n, "P_SINDICATOS"))
        return fijar(QStringLiteral("Descripcion"), QStringLiteral("IdSindicato"));
    if (igual(n, "P_TA_Funciones"))
        return fijar(QStringLiteral("DESCRIPCION"), QStringLiteral("ID") + n.mid(5));
    if (igual(n, "P_MA_Clientes"))
        return fijar(QStringLiteral("RAZON_SOCIAL"), QStringLiteral("IDCLIENTE"));
    if (igual(n, "TA_Cpte")) return fijar(QStringLiteral("DESCRIPCION"), QStringLiteral("CODIGO"));
    if (enLista(n, {"V_MA_ARTICULOS", "MA_ARTICULOS"}))
        return fijar(QStringLiteral("DESCRIPCION"), QStringLiteral("IDARTICULO"));
    if (igual(n, "MA_MODELOS")) return fijar(QStringLiteral("NOMBRE"), QStringLiteral("NOMBRE"));
    if (igual(n, "MA_CHOFERES")) return fijar(QStringLiteral("APELLIDO"), QStringLiteral("CODIGO"));
    if (igual(n, "MA_DESTINATARIOS"))
        return fijar(QStringLiteral("NOMBRE"), QStringLiteral("CODIGO"));
    if (igual(n, "MA_VEHICULOS"))
        return fijar(QStringLiteral("PATENTE"), QStringLiteral("PATENTE"));
    if (igual(n, "MV_EJERCICIOS"))
        return fijar(QStringLiteral("DESCRIPCION"), QStringLiteral("PERIODO"));
    if (igual(n, "TA_USUARIOS")) return fijar(QStringLiteral("NOMBRE"), QStringLiteral("NOMBRE"));

    // Lists of tables and views named by their kind.
    if (enLista(n, kVistasTa)) return fijar(QStringLiteral("DESCRIPCION"), claveVistaTa(n));
    if (enLista(n, kTablasP)) return fijar(QStringLiteral("Descripcion"), claveTablaP(n));
    if (enLista(n, kTablasTa))
        return fijar(QStringLiteral("DESCRIPCION"), QStringLiteral("ID") + sinPlural(n.mid(3)));

    // Any other name by its beginning.
    const QString tres = n.left(3).toUpper();
    const QString seis = n.left(6).toUpper();
    if (tres == QLatin1String("TA_"))
        return fijar(QStringLiteral("DESCRIPCION"), QStringLiteral("CODIGO"));
    if (tres == QLatin1String("MA_")) {
        if (enLista(seis, {"MA_PRO", "MA_VEN", "MA_TRA", "MA_CON", "MA_AGE", "MA_CLI"}))
            return fijar(QStringLiteral("Razon_Social"), QStringLiteral("Codigo"));
        return fijar(QStringLiteral("Descripcion"), QStringLiteral("Codigo"));
    }
    if (tres == QLatin1String("[MA") && seis == QLatin1String("[MA_CA"))
        return fijar(QStringLiteral("nombre"), QStringLiteral("Codigo"));
    if (tres == QLatin1String("MV_") && seis == QLatin1String("MV_PRO"))
        return fijar(QStringLiteral("ASUNTO"), QStringLiteral("ID"));
    return false;
}

QString FieldLookups::sentenciaConsulta(const QString& tabla, QString& descripcion, QString& clave,
                                        const QString& filtro)
{
    // The name goes into the statement as it stands, so it must be a plain
    // (optionally bracketed, optionally qualified) table name.
    static const QRegularExpression nombre(QStringLiteral(
        R"(^(\[[A-Za-z_][A-Za-z0-9_ ]*\]|[A-Za-z_][A-Za-z0-9_]*)(\.(\[[A-Za-z_][A-Za-z0-9_ ]*\]|[A-Za-z_][A-Za-z0-9_]*))*$)"));
    const QString n = tabla.trimmed();
    if (!nombre.match(n).hasMatch()) return {};
    if (!columnasConsulta(n, descripcion, clave) &&
        (descripcion.trimmed().isEmpty() || clave.trimmed().isEmpty()))
        return {};
    return QStringLiteral("select ") + descripcion + u',' + clave + QStringLiteral(" from ") + n +
           u' ' + filtro;
}

void FieldLookups::DefinirConsulta(const QString& tabla, QString& descripcion, QString& clave,
                                   bool mostrar, const QString& filtro)
{
    const QString sql = sentenciaConsulta(tabla, descripcion, clave, filtro);
    if (!mostrar) return;
    // A name without columns gives no statement: no list is offered, and the
    // field keeps its value.
    if (sql.isEmpty()) {
        clave.clear();
        return;
    }
    clave = consultar(sql, clave);
}

QString FieldLookups::consultar(const QString& sql, const QString& campoDevuelto)
{
    Lib_ClsCons3& l = w.lookup();
    l.CampoDevuelto = campoDevuelto;
    TextCollection ninguno = std::nullopt;
    QString campoBusqueda;
    l.ConsultaSearch(sql, ninguno, QString(), campoBusqueda);
    const QVariant v = l.ValorDevuelto;
    if (!v.isValid() || v.isNull()) return {};
    const QString texto = v.toString();
    return texto.trimmed().isEmpty() ? QString() : texto;
}

bool FieldLookups::abrirEditor()
{
    CellEditor& ed = w.editor();
    if (!ed.abierto()) ed.MsflexGridEdt(KeyCodes::Space);
    if (!ed.abierto()) return false;
    w.TxtEdit()->setFocus(Qt::OtherFocusReason);
    return true;
}

void FieldLookups::terminarEdicion(TextBox* campo)
{
    int k = KeyCodes::Enter;
    if (campo->objectName().compare(QLatin1String("txtfields"), Qt::CaseInsensitive) == 0) {
        const int i = w.txtFields().indexOf(campo);
        if (i >= 0) w.validator().boxKeyDown(i, k, 0);
    } else if (campo->objectName().compare(QLatin1String("txtedit"), Qt::CaseInsensitive) == 0) {
        if (abrirEditor()) w.editor().editKeyDown(k, 0);
    }
}

void FieldLookups::CmdConsultar(bool lSinKeyDown)
{
    TextBox* a = w.mCampoActivo;
    if (!a) return;
    const bool esEditor = a == w.TxtEdit();
    if (esEditor) {
        // Only a data cell of a loaded sheet, never the row identifier.
        FlexGrid* g = w.MSflexGrid1();
        if (!w.mPlanillaCargada || !g->isEnabled() || g->Row() < FlexGrid::FixedRows ||
            g->Row() >= g->Rows() || g->Col() < 1)
            return;
        w.editor().TextPropiedades(a, g->Col());
    } else if (!a->isEnabled()) {
        // A header box that cannot be typed into cannot be picked into either.
        return;
    }
    const QString tag = a->tag().trimmed();
    if (tag.isEmpty()) return;

    QString valor;
    QString sql, campo;
    if (igual(tag, "FECHA")) {
        valor = UtilService::chooseDate(&w, a->text());
    } else if (igual(tag, "ta_usuarios")) {
        listaFija(tag, sql, campo, w.data().dialect().kind());
        valor = consultar(sql, campo);
        if (valor.isEmpty()) return;
        a->setText(valor);
        TextBox* resp = w.box(QStringLiteral("responsable"));
        const int i = resp ? w.txtFields().indexOf(resp) : -1;
        if (i >= 0) {
            int k = KeyCodes::Enter;
            w.validator().boxKeyDown(i, k, 0);
        }
        return;
    } else if (listaFija(tag, sql, campo, w.data().dialect().kind())) {
        valor = consultar(sql, campo);
        if (igual(tag, "PROVINCIA")) valor = valor.trimmed();
    } else {
        QString descripcion, clave;
        DefinirConsulta(tag, descripcion, clave, true, QString());
        valor = clave.trimmed();
    }
    // Nothing picked: the field keeps its value and nothing is written.
    if (valor.isEmpty()) return;

    if (esEditor && !abrirEditor()) return;
    a->setText(valor);
    if (lSinKeyDown) return;
    terminarEdicion(a);
}
