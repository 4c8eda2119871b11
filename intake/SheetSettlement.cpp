#include "SheetSettlement.h"

#include "CellEditor.h"
#include "ChangeHistory.h"
#include "Cuit.h"
#include "DailySheet.h"
#include "DataService.h"
#include "DateText.h"
#include "Dialogs.h"
#include "FlexGrid.h"
#include "RangeRecompute.h"
#include "ReportCommand.h"
#include "RulesStore.h"
#include "SellerRecord.h"
#include "ServiceError.h"
#include "SheetMenu.h"
#include "TextBox.h"
#include "TextFold.h"
#include "Twips.h"
#include "UtilService.h"
#include "frmTrigo.h"

#include <QAction>
#include <QDateTime>
#include <QFrame>
#include <QLocale>
#include <QMenu>
#include <QToolButton>

namespace
{

// The row's values the settlement is computed from, as the view names them.
const char* const kEntradas[] = {"Toneladas", "humedad", "pesohect", "fallingnumber", "humedo"};
const char* const kCalculadas[] = {"merma", "kg_netos", "grado"};

int entradaDe(const QString& campo)
{
    for (int i = 0; i < 5; ++i)
        if (campo.compare(QLatin1String(kEntradas[i]), Qt::CaseInsensitive) == 0) return i;
    return -1;
}

} // namespace

SheetSettlement::SheetSettlement(frmTrigo& w) : QObject(&w), w(w)
{
    connect(&w, &frmTrigo::planillaPorLeer, this, &SheetSettlement::recargar);
    QMenu* menu = w.sheetMenu().menu();
    menu->addSeparator();
    QAction* resumen = menu->addAction(QStringLiteral("Resumen por vendedor del día"));
    resumen->setObjectName(QStringLiteral("mnuResumenVendedor"));
    connect(resumen, &QAction::triggered, this, &SheetSettlement::resumen);
    QAction* recalcular = menu->addAction(QStringLiteral("Recalcular liquidación del día..."));
    recalcular->setObjectName(QStringLiteral("mnuRecalcular"));
    connect(recalcular, &QAction::triggered, this, &SheetSettlement::recalcular);
    QAction* cuit = menu->addAction(QStringLiteral("CUIT del vendedor..."));
    cuit->setObjectName(QStringLiteral("mnuCuit"));
    connect(cuit, &QAction::triggered, this, &SheetSettlement::cuitVendedor);
    QAction* unificar = menu->addAction(QStringLiteral("Unificar vendedor..."));
    unificar->setObjectName(QStringLiteral("mnuUnificar"));
    connect(unificar, &QAction::triggered, this, &SheetSettlement::unificar);

    // The report tab: the statement and the recomputation of its range.
    auto boton = [&](const QString& nombre, const QString& texto, int izquierda) {
        auto* b = new QToolButton(w.frmRep());
        b->setObjectName(nombre);
        b->setText(texto);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->move(Twips::toPx(izquierda), Twips::toPx(900));
        b->resize(b->sizeHint());
        return b;
    };
    m_resumen =
        boton(QStringLiteral("CmdResumenVendedor"), QStringLiteral("Resumen por vendedor"), 105);
    m_recalcular =
        boton(QStringLiteral("CmdRecalcular"), QStringLiteral("Recalcular liquidación"), 2970);
    connect(m_resumen, &QToolButton::clicked, this, &SheetSettlement::resumen);
    connect(m_recalcular, &QToolButton::clicked, this, &SheetSettlement::recalcular);
}

bool SheetSettlement::entra(const QString& campo)
{
    return entradaDe(campo) >= 0;
}

bool SheetSettlement::calculada(int columna)
{
    for (const char* c : kCalculadas)
        if (columna == DailySheet::columnaDe(QLatin1String(c))) return true;
    return false;
}

void SheetSettlement::recargar()
{
    try {
        RulesStore store(w.data());
        m_disponible = store.available();
        if (m_disponible) m_reglas = store.read();
    } catch (const ServiceError&) {
        // Without its rules the sheet writes as before.
        m_disponible = false;
    }
}

bool SheetSettlement::escribir(qint64 id, const QString& campo, const QVariant& valor,
                               const QString& quien)
{
    DataService& d = w.data();
    const int propia = entradaDe(campo);
    QStringList cols;
    for (const char* c : kEntradas)
        cols << QLatin1String(c);
    const QString lectura =
        QStringLiteral("SELECT %1, (SELECT version FROM ta_liquidacion) FROM %2 WHERE ID = ?")
            .arg(cols.join(u','), w.mVista);
    for (int intento = 0;; ++intento) {
        RecordSet rs = d.openRecordSet(lectura, {id});
        if (rs.eof()) return false; // deleted at another desk
        if (rs.value(5).toLongLong() != m_reglas.version) recargar();
        QVariant v[5];
        for (int i = 0; i < 5; ++i)
            v[i] = i == propia ? valor : rs.value(i);
        const LoadSettlement::Result r =
            LoadSettlement::of(LoadSettlement::input(v[0], v[1], v[2], v[3], v[4]), m_reglas);
        // The row's other values are those it was computed from: a desk that
        // changed one meanwhile makes this write read them again.
        QString sql = QStringLiteral("UPDATE %1 SET [%2] = ?, fecha_modificacion = ?, merma = ?, "
                                     "kg_netos = ?, grado = ?, reglas_version = ?%3 WHERE ID = ?")
                          .arg(w.mVista, campo.toUpper(), quien);
        QVariantList p{valor,          QDateTime::currentDateTime(),
                       r.merma(),      r.kg(),
                       r.gradoValue(), r.versionValue()};
        if (!quien.isEmpty()) p << w.history().operador();
        p << id;
        const bool guardada = intento < 3;
        if (guardada)
            for (int i = 0; i < 5; ++i) {
                if (i == propia) continue;
                sql += QStringLiteral(" AND %1 IS NOT DISTINCT FROM ?").arg(cols.at(i));
                p << rs.value(i);
            }
        if (d.executeChanged(sql, p)) {
            mostrar(id, r);
            if (!r.mermaCent && propia == 1 && !r.why.isEmpty() && !m_reglas.tabla.isEmpty())
                Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"),
                                            r.why + QStringLiteral(" La carga %1 queda sin kilos "
                                                                   "netos.")
                                                        .arg(id),
                                            Dialogs::Icon::Exclamation);
            return true;
        }
        if (!guardada) return false;
    }
}

void SheetSettlement::revisar(const QVector<qint64>& ids)
{
    if (!m_disponible) return;
    FlexGrid* g = w.MSflexGrid1();
    int col[5], calc[3];
    for (int i = 0; i < 5; ++i)
        col[i] = DailySheet::columnaDe(QLatin1String(kEntradas[i]));
    for (int i = 0; i < 3; ++i)
        calc[i] = DailySheet::columnaDe(QLatin1String(kCalculadas[i]));
    for (qint64 id : ids) {
        const int fila = g->rowOfId(id);
        if (fila < FlexGrid::FixedRows) continue;
        // What the row shows, first: most rows come as a desk computed them.
        QVariant v[5];
        for (int i = 0; i < 5; ++i)
            if (const auto n = DataService::numericValue(g->TextMatrix(fila, col[i]).trimmed()))
                v[i] = *n;
        const LoadSettlement::Result visto =
            LoadSettlement::of(LoadSettlement::input(v[0], v[1], v[2], v[3], v[4]), m_reglas);
        if (g->TextMatrix(fila, calc[0]) == UtilService::valueToText(visto.merma()) &&
            g->TextMatrix(fila, calc[1]) == UtilService::valueToText(visto.kg()) &&
            g->TextMatrix(fila, calc[2]) == visto.grado)
            continue;
        try {
            RecordSet rs = w.data().openRecordSet(
                QStringLiteral("SELECT Toneladas, humedad, pesohect, fallingnumber, humedo, merma, "
                               "kg_netos, grado, reglas_version, (SELECT version FROM "
                               "ta_liquidacion) FROM %1 WHERE ID = ?")
                    .arg(w.mVista),
                {id});
            if (rs.eof()) continue;
            if (rs.value(9).toLongLong() != m_reglas.version) recargar();
            const LoadSettlement::Result guardado =
                LoadSettlement::kept(rs.value(5), rs.value(6), rs.value(7), rs.value(8));
            const LoadSettlement::Result nuevo =
                LoadSettlement::of(LoadSettlement::input(rs.value(0), rs.value(1), rs.value(2),
                                                         rs.value(3), rs.value(4)),
                                   m_reglas);
            if (guardado.version != m_reglas.version || nuevo == guardado) continue;
            const bool quien = w.history().available();
            QVariantList p{nuevo.merma(), nuevo.kg(), nuevo.gradoValue(), nuevo.versionValue()};
            if (quien) p << w.history().operador();
            p << id;
            QString sql = QStringLiteral("UPDATE %1 SET merma = ?, kg_netos = ?, grado = ?, "
                                         "reglas_version = ?%2 WHERE ID = ?")
                              .arg(w.mVista, quien ? w.history().setClause() : QString());
            for (int i = 0; i < 5; ++i) {
                sql += QStringLiteral(" AND %1 IS NOT DISTINCT FROM ?")
                           .arg(QLatin1String(kEntradas[i]));
                p << rs.value(i);
            }
            if (w.data().executeChanged(sql, p)) mostrar(id, nuevo);
        } catch (const ServiceError&) {
            // Seen again with the row's next change.
        }
    }
}

void SheetSettlement::mostrar(qint64 id, const LoadSettlement::Result& r)
{
    FlexGrid* g = w.MSflexGrid1();
    const int fila = g->rowOfId(id);
    if (fila < FlexGrid::FixedRows) return;
    const QString textos[] = {UtilService::valueToText(r.merma()), UtilService::valueToText(r.kg()),
                              r.grado};
    for (int i = 0; i < 3; ++i) {
        const int col = DailySheet::columnaDe(QLatin1String(kCalculadas[i]));
        if (col > 0 && g->TextMatrix(fila, col) != textos[i])
            g->setTextMatrix(fila, col, textos[i]);
    }
}

void SheetSettlement::recalcular()
{
    if (!w.editor().terminarEdicion()) return;
    QDate desde, hasta;
    if (w.mPlanillaCargada) {
        const TextBox* f = w.box(QStringLiteral("fecha"));
        desde = hasta = DateText::parse(f ? f->text() : QString());
    } else {
        const TextBox* a = w.box(QStringLiteral("FechaDesde"));
        const TextBox* b = w.box(QStringLiteral("FechaHasta"));
        desde = DateText::parse(a ? a->text() : QString());
        hasta = DateText::parse(b ? b->text() : QString());
    }
    if (!desde.isValid() || !hasta.isValid() || desde > hasta) {
        Dialogs::instance().message(&w, QStringLiteral("Atención"),
                                    QStringLiteral("Para recalcular escriba Fecha Desde y Fecha "
                                                   "Hasta (dd/mm/aaaa), la más antigua primero."),
                                    Dialogs::Icon::Exclamation);
        return;
    }
    recargar();
    if (!m_disponible) {
        Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"),
                                    QStringLiteral("La base de datos no tiene las reglas de "
                                                   "liquidación (ta_liquidacion)."),
                                    Dialogs::Icon::Critical);
        return;
    }
    const QString rango =
        desde == hasta
            ? QStringLiteral("del %1").arg(DateText::format(desde))
            : QStringLiteral("del %1 al %2").arg(DateText::format(desde), DateText::format(hasta));
    const int si = Dialogs::instance().message(
        &w, QStringLiteral("¡Atención!"),
        QStringLiteral("¿Recalcular la merma, los kilos netos y el grado de las cargas %1 con "
                       "las reglas de liquidación vigentes (versión %2)? Las cargas ya "
                       "liquidadas con otras reglas cambian; cada cambio queda en el historial.")
            .arg(rango)
            .arg(m_reglas.version),
        Dialogs::Icon::Question, Dialogs::Buttons::YesNo, Dialogs::No);
    if (si != Dialogs::Yes) return;
    try {
        const RangeRecompute::Outcome o =
            RangeRecompute(w.data(), m_reglas, w.history().operador()).run(desde, hasta);
        Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"), o.text(desde, hasta),
                                    Dialogs::Icon::Information);
    } catch (const ServiceError& e) {
        Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"),
                                    QStringLiteral("No se recalculó nada.\n\n") + e.description(),
                                    Dialogs::Icon::Critical);
    }
}

void SheetSettlement::resumen()
{
    if (!w.editor().terminarEdicion()) return;
    ReportCommand::ImprimirReporte(w, ReportCommand::kResumen);
}

QString SheetSettlement::vendedorActual()
{
    FlexGrid* g = w.MSflexGrid1();
    const int c = DailySheet::columnaDe(QStringLiteral("vendedor"));
    const QString nombre = w.mPlanillaCargada && g->Row() >= FlexGrid::FixedRows && c > 0
                               ? g->TextMatrix(g->Row(), c).trimmed()
                               : QString();
    if (nombre.isEmpty())
        Dialogs::instance().message(&w, QStringLiteral("Atención"),
                                    QStringLiteral("La carga no tiene vendedor."),
                                    Dialogs::Icon::Exclamation);
    return nombre;
}

void SheetSettlement::cuitVendedor()
{
    if (!w.editor().terminarEdicion()) return;
    const QString nombre = vendedorActual();
    if (nombre.isEmpty()) return;
    SellerRecord vendedores(w.data());
    try {
        const std::optional<QString> texto = Dialogs::instance().inputBox(
            &w,
            QStringLiteral("CUIT de «%1» (11 cifras, con o sin guiones; vacío lo quita):")
                .arg(nombre),
            QStringLiteral("CUIT del vendedor"), Cuit::format(vendedores.cuit(nombre)));
        if (!texto) return;
        vendedores.setCuit(nombre, *texto);
        const QString kept = vendedores.cuit(nombre);
        Dialogs::instance().message(
            &w, QStringLiteral("Aviso al operador"),
            kept.isEmpty() ? QStringLiteral("«%1» queda sin CUIT.").arg(nombre)
                           : QStringLiteral("CUIT de «%1»: %2.").arg(nombre, Cuit::format(kept)),
            Dialogs::Icon::Information);
    } catch (const ServiceError& e) {
        Dialogs::instance().message(&w, QStringLiteral("Atención"),
                                    e.description() + QStringLiteral(" No se guardó."),
                                    Dialogs::Icon::Exclamation);
    }
}

void SheetSettlement::unificar()
{
    if (!w.editor().terminarEdicion()) return;
    const QString nombre = vendedorActual();
    if (nombre.isEmpty()) return;
    SellerRecord vendedores(w.data());
    try {
        const QVector<SellerRecord::Spelling> grafias = vendedores.spellings(nombre);
        if (grafias.size() < 2) {
            Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"),
                                        QStringLiteral("«%1» está escrito de una sola manera en "
                                                       "las cargas: no hay nada que unificar.")
                                            .arg(nombre),
                                        Dialogs::Icon::Information);
            return;
        }
        const std::optional<QString> elegido = Dialogs::instance().inputBox(
            &w, QStringLiteral("Nombre con que queda el vendedor en todas sus cargas:"),
            QStringLiteral("Unificar vendedor"), grafias.first().name);
        if (!elegido || elegido->trimmed().isEmpty()) return;
        const QString destino = elegido->trimmed();
        if (TextFold::nameKey(destino) != TextFold::nameKey(nombre)) {
            Dialogs::instance().message(&w, QStringLiteral("Atención"),
                                        QStringLiteral("«%1» no es otra manera de escribir «%2» "
                                                       "(difiere en más que mayúsculas, acentos, "
                                                       "comas o blancos): no se unificó nada.")
                                            .arg(destino, nombre),
                                        Dialogs::Icon::Exclamation);
            return;
        }
        QStringList otras;
        int cargas = 0;
        for (const SellerRecord::Spelling& s : grafias) {
            if (s.name == destino) continue;
            otras << QStringLiteral("«%1» (%2 %3)")
                         .arg(s.name)
                         .arg(QLocale().toString(s.loads))
                         .arg(s.loads == 1 ? QStringLiteral("carga") : QStringLiteral("cargas"));
            cargas += s.loads;
        }
        const int si = Dialogs::instance().message(
            &w, QStringLiteral("¡Atención!"),
            QStringLiteral("¿Escribir «%1» en lugar de %2, en %3 %4? Cada cambio queda en el "
                           "historial.")
                .arg(destino, otras.join(QStringLiteral(", ")))
                .arg(QLocale().toString(cargas))
                .arg(cargas == 1 ? QStringLiteral("carga") : QStringLiteral("cargas")),
            Dialogs::Icon::Question, Dialogs::Buttons::YesNo, Dialogs::No);
        if (si != Dialogs::Yes) return;
        const int hechas = vendedores.unify(destino, grafias, w.history().operador());
        Dialogs::instance().message(
            &w, QStringLiteral("Aviso al operador"),
            QStringLiteral("Se escribió «%1» en %2 %3.")
                .arg(destino)
                .arg(QLocale().toString(hechas))
                .arg(hechas == 1 ? QStringLiteral("carga") : QStringLiteral("cargas")),
            Dialogs::Icon::Information);
    } catch (const ServiceError& e) {
        Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"),
                                    QStringLiteral("No se unificó nada.\n\n") + e.description(),
                                    Dialogs::Icon::Critical);
    }
}
