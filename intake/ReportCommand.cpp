#include "ReportCommand.h"

#include "ConsoleDialogs.h"
#include "DataService.h"
#include "DateText.h"
#include "Dialogs.h"
#include "ModGlobal.h"
#include "MolveraReportPrinter.h"
#include "ServiceError.h"
#include "TextBox.h"
#include "UtilService.h"
#include "frmTrigo.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <cstring>

namespace
{

const QString kCampo = QStringLiteral("{V_MV_MOLVERA.FECHA}");

// The box's text in the formula's date form; a text that is no date is
// reported with the box it came from.
QString fechaFormula(const QString& texto, const QString& campo, const QString& rotulo)
{
    try {
        return UtilService::dateToFormula(texto);
    } catch (const ServiceError&) {
        throw ServiceError(ServiceError::TypeMismatch,
                           QStringLiteral("%1: \"%2\" no es una fecha válida.\n"
                                          "Escriba la fecha como %3 o deje el campo en blanco.")
                               .arg(rotulo, texto.trimmed(), QStringLiteral("dd/mm/aaaa")),
                           campo);
    }
}

QString texto(frmTrigo& w, const QString& campo)
{
    const TextBox* b = w.box(campo);
    return b ? b->text() : QString();
}

void decir(const QString& s)
{
    std::fprintf(stderr, "%s\n", s.toLocal8Bit().constData());
}

} // namespace

QString ReportCommand::formula(bool planillaCargada, const QString& fecha, const QString& desde,
                               const QString& hasta)
{
    if (planillaCargada)
        return kCampo + QStringLiteral(" = ") +
               fechaFormula(fecha, QStringLiteral("FECHA"), QStringLiteral("Fecha"));
    QString s;
    if (!desde.trimmed().isEmpty())
        s = kCampo + QStringLiteral(" >= ") +
            fechaFormula(desde, QStringLiteral("FechaDesde"), QStringLiteral("Fecha Desde"));
    if (!hasta.trimmed().isEmpty()) {
        const QString h =
            fechaFormula(hasta, QStringLiteral("FechaHasta"), QStringLiteral("Fecha Hasta"));
        // A range that ends before it begins selects nothing: say so instead
        // of printing an empty report.
        const QDate d = DateText::parse(desde), a = DateText::parse(hasta);
        if (!s.isEmpty() && d.isValid() && a.isValid() && d > a)
            throw ServiceError(ServiceError::TypeMismatch,
                               QStringLiteral("Fecha Desde (%1) es posterior a Fecha Hasta (%2): "
                                              "el rango no contiene ningún día.\n"
                                              "Escriba primero la fecha más antigua.")
                                   .arg(DateText::format(d), DateText::format(a)),
                               QStringLiteral("FechaDesde"));
        if (!s.isEmpty()) s += QStringLiteral(" AND ");
        s += QStringLiteral(" ") + kCampo + QStringLiteral(" <= ") + h;
    }
    return s;
}

QString ReportCommand::formulaSeleccion(frmTrigo& w)
{
    return formula(w.mPlanillaCargada, texto(w, QStringLiteral("FECHA")),
                   texto(w, QStringLiteral("FechaDesde")), texto(w, QStringLiteral("FechaHasta")));
}

QStringList ReportCommand::asignaciones(const QString& empresa)
{
    return {QStringLiteral("empresa = '") + empresa + QStringLiteral("'"),
            QStringLiteral("NOMBREREP= 'Molvera'"), QStringLiteral("Parametros = ''")};
}

ReportPrinter::Request ReportCommand::pedido(const QString& seleccion, const QString& empresa,
                                             const QString& conexion, const char* reporte)
{
    ReportPrinter::Request r;
    r.reportName = QString::fromLatin1(reporte);
    r.parameters = QStringList{QString(), QString()};
    r.selectionFormula = seleccion;
    r.connection = conexion;
    r.formulas = asignaciones(empresa);
    return r;
}

void ReportCommand::ImprimirReporte(frmTrigo& w, const char* reporte)
{
    QString s;
    try {
        s = formulaSeleccion(w);
    } catch (const ServiceError& e) {
        Dialogs::instance().message(&w, QStringLiteral("Atención"), e.description(),
                                    Dialogs::Icon::Exclamation);
        if (TextBox* b = w.box(e.source()); b && b->isEnabled()) {
            b->setFocus(Qt::OtherFocusReason);
            b->selectAll();
        }
        return;
    }
    const QString empresa = ModGlobal::ValorConfiguracion(w.data(), QStringLiteral("NOMBRE"));
    ReportPrinter* printer = w.printer();
    if (!printer) {
        Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"),
                                    QStringLiteral("No hay un motor de reportes instalado."),
                                    Dialogs::Icon::Exclamation);
        return;
    }
    printer->setOptions(true, true, false);
    try {
        printer->print(&w, pedido(s, empresa, ModGlobal::gCadenaConexion, reporte));
    } catch (const ServiceError& e) {
        Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"), e.description(),
                                    Dialogs::Icon::Critical);
    }
}

bool ReportCommand::isCommandLine(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--report") == 0 || std::strcmp(argv[i], "--statement") == 0)
            return true;
    return false;
}

int ReportCommand::runCommandLine(DataService& data, Lib_ClsCons3& lookup,
                                  MolveraReportPrinter& printer, const QStringList& arguments)
{
    QStringList rest = arguments.mid(1);
    const bool resumen =
        !rest.contains(QStringLiteral("--report")) && rest.contains(QStringLiteral("--statement"));
    const QString opcion = resumen ? QStringLiteral("--statement") : QStringLiteral("--report");
    const QString uso =
        QStringLiteral("Uso: molvera %1 DESDE HASTA --output archivo.pdf|archivo.csv "
                       "[\"@DbName=...;\"]\n"
                       "DESDE y HASTA son fechas (dd/mm/aaaa); \"\" o - deja ese extremo abierto.")
            .arg(opcion);
    const qsizetype r = rest.indexOf(opcion);
    if (r < 0 || r + 2 >= rest.size()) {
        decir(uso);
        return 2;
    }
    auto abierto = [](const QString& s) {
        return s.trimmed() == QLatin1String("-") ? QString() : s;
    };
    const QString desde = abierto(rest.at(r + 1));
    const QString hasta = abierto(rest.at(r + 2));
    rest.remove(r, 3);
    const qsizetype o = rest.indexOf(QStringLiteral("--output"));
    if (o < 0 || o + 1 >= rest.size() || rest.at(o + 1).trimmed().isEmpty()) {
        decir(uso);
        return 2;
    }
    const QString salida = QDir::current().absoluteFilePath(rest.at(o + 1));
    rest.remove(o, 2);

    ConsoleDialogs consola; // nothing may wait for an operator here
    ModGlobal::Context ctx;
    ctx.data = &data;
    ctx.lookup = &lookup;
    ctx.printer = &printer;
    ctx.programFolder = QCoreApplication::applicationDirPath();
    const ModGlobal::Startup st = ModGlobal::IniciarSistema(rest.join(u' '), ctx);
    if (!st.proceed || !data.isOpen()) {
        decir(QStringLiteral("Molvera no puede iniciar. ") + st.reason);
        return 1;
    }
    QString s;
    try {
        s = formula(false, {}, desde, hasta);
    } catch (const ServiceError& e) {
        decir(e.description());
        return 2;
    }
    const QString empresa = ModGlobal::ValorConfiguracion(data, QStringLiteral("NOMBRE"));
    printer.setOptions(false, false, true);
    printer.setOutputFile(salida);
    try {
        printer.print(
            nullptr, pedido(s, empresa, ModGlobal::gCadenaConexion, resumen ? kResumen : kReporte));
    } catch (const ServiceError& e) {
        decir(e.description());
        return 3;
    }
    std::printf("%s\n", QStringLiteral("Reporte escrito en %1")
                            .arg(QDir::toNativeSeparators(salida))
                            .toLocal8Bit()
                            .constData());
    return 0;
}
