#include "InstrumentCommands.h"

#include "CellEditor.h"
#include "CellWriter.h"
#include "ChangeHistory.h"
#include "DailySheet.h"
#include "Dialogs.h"
#include "FieldValidator.h"
#include "FlexGrid.h"
#include "InstrumentHub.h"
#include "InstrumentLink.h"
#include "KeyCodes.h"
#include "ReadingGate.h"
#include "ServiceError.h"
#include "TextBox.h"
#include "UtilService.h"
#include "WeighingSlip.h"
#include "frmTrigo.h"

#include <QHostInfo>
#include <QLocale>

InstrumentCommands::InstrumentCommands(frmTrigo& w, InstrumentHub& hub)
    : w(w), m_hub(hub), m_store(w.data()), m_readings(w.data())
{
}

bool InstrumentCommands::tecla(int keyCode)
{
    switch (keyCode) {
    case KeyCodes::F7:
        pesar(QLatin1String(WeighingStore::kBruto));
        return true;
    case KeyCodes::F9:
        pesar(QLatin1String(WeighingStore::kTara));
        return true;
    case KeyCodes::F11:
        leerAnalizador();
        return true;
    default:
        return false;
    }
}

void InstrumentCommands::aviso(const QString& texto, bool grave)
{
    Dialogs::instance().message(&w, QStringLiteral("Atención"), texto,
                                grave ? Dialogs::Icon::Critical : Dialogs::Icon::Exclamation);
}

qint64 InstrumentCommands::filaLista(InstrumentLink* instrumento, const QString& falta)
{
    if (!instrumento) {
        aviso(falta);
        return 0;
    }
    if (!w.mPlanillaCargada) {
        aviso(QStringLiteral("Cargue primero la planilla del día."));
        return 0;
    }
    if (!w.editor().terminarEdicion()) return 0;
    const qint64 id = filaActual();
    if (id <= 0) aviso(QStringLiteral("¡¡¡Mal Posicionamiento!!!, no se actualizará"), true);
    return id;
}

QString InstrumentCommands::escribir(const QString& campo, const QString& texto, QString* mostrado)
{
    const QString motivo = FieldValidator::rechazoNumero(campo, texto);
    if (!motivo.isEmpty()) return motivo;
    TextBox valor;
    valor.setDataField(campo.toUpper());
    valor.setText(texto);
    if (!CellWriter::UpdateaCampo(w, &valor, mostrado))
        return QStringLiteral("%1 %2: no se guardó.").arg(campo, texto);
    return {};
}

void InstrumentCommands::mostrar(const QString& campo, const QString& mostrado)
{
    const int col = DailySheet::columnaDe(campo);
    FlexGrid* g = w.MSflexGrid1();
    if (col > 0) g->setTextMatrix(g->Row(), col, mostrado);
}

bool InstrumentCommands::pesar(const QString& tipo)
{
    const bool esBruto = tipo == QLatin1String(WeighingStore::kBruto);
    InstrumentLink* b = m_hub.balanza();
    const qint64 id = filaLista(b, QStringLiteral("No hay ninguna balanza configurada en "
                                                  "CN000pr.INI ([Instrumento1], Formato con "
                                                  "(?<peso>...))."));
    if (id <= 0) return false;
    // Only a confirmed, plausible weight: never one damaged line, an empty
    // platform or an old reading.
    const ReadingGate::Resultado g = ReadingGate::peso(*b);
    if (!g.lectura) {
        aviso(g.motivo);
        return false;
    }
    const InstrumentReading& r = *g.lectura;
    WeighingStore::Pesada p;
    p.registro = id;
    p.tipo = tipo;
    p.kilos = *r.peso;
    p.fecha = QDateTime::currentDateTime();
    p.estacion = QHostInfo::localHostName().toUpper();
    p.instrumento = b->nombre();
    p.linea = r.linea;
    p.usuario = w.history().operador();
    QString rechazo, toneladas;
    while (true) {
        try {
            if (!m_store.disponible()) {
                aviso(QStringLiteral("La base de datos no tiene la tabla de pesadas "
                                     "(mv_molvera_pesada); no se registró nada."),
                      true);
                return false;
            }
            const bool ok = m_store.enTransaccion([&] {
                m_store.registrar(p);
                const auto otra = m_store.ultima(
                    id, QLatin1String(esBruto ? WeighingStore::kTara : WeighingStore::kBruto));
                if (!otra) return true; // the tonnes wait for the other weighing
                const double bruto = esBruto ? p.kilos : otra->kilos;
                const double tara = esBruto ? otra->kilos : p.kilos;
                if (bruto == tara)
                    rechazo = QStringLiteral("el bruto y la tara son iguales: la carga no tiene "
                                             "peso neto.");
                else
                    rechazo = escribir(QStringLiteral("TONELADAS"),
                                       WeighingStore::toneladas(bruto, tara), &toneladas);
                if (rechazo.isEmpty()) return true;
                rechazo = QStringLiteral("Bruto %1 − tara %2: %3")
                              .arg(InstrumentReading::kilos(bruto), InstrumentReading::kilos(tara),
                                   rechazo);
                return false;
            });
            if (ok) {
                // Kept: the cell shows what the database now holds.
                if (!toneladas.isEmpty()) mostrar(QStringLiteral("TONELADAS"), toneladas);
                return true;
            }
            break;
        } catch (const ServiceError& e) {
            if (UtilService::errorDialog(&w, e, QStringLiteral("Pesada")) != Dialogs::Retry)
                return false;
        }
    }
    aviso(rechazo + QStringLiteral("\n\nLa pesada no se registró."));
    return false;
}

bool InstrumentCommands::leerAnalizador()
{
    InstrumentLink* a = m_hub.analizador();
    const qint64 id = filaLista(a, QStringLiteral("No hay ningún analizador configurado en "
                                                  "CN000pr.INI ([InstrumentoN], Formato con "
                                                  "(?<humedad>...) u otra lectura)."));
    if (id <= 0) return false;
    // Only readings of this truck: younger than the analyzer's limit.
    const ReadingGate::Resultado g = ReadingGate::analisis(*a);
    if (!g.lectura) {
        aviso(g.motivo);
        return false;
    }
    const InstrumentReading& r = *g.lectura;
    ReadingStore::Lectura lectura;
    lectura.registro = id;
    lectura.fecha = QDateTime::currentDateTime();
    lectura.estacion = QHostInfo::localHostName().toUpper();
    lectura.instrumento = a->nombre();
    lectura.linea = r.linea;
    lectura.usuario = w.history().operador();
    QStringList rechazos;
    QVector<QPair<QString, QString>> escritas; // field, text shown
    bool fallo = false;
    while (true) {
        try {
            if (!m_readings.disponible()) {
                aviso(QStringLiteral("La base de datos no tiene la tabla de lecturas del "
                                     "analizador (mv_molvera_lectura); no se registró nada."),
                      true);
                return false;
            }
            rechazos.clear();
            escritas.clear();
            lectura.valores.clear();
            fallo = false;
            // The values and their record in one transaction; in the
            // sheet's order, each reading checked on its own.
            m_store.enTransaccion([&] {
                for (const QString& campo : FrameParser::columnasDeLectura()) {
                    const auto it = r.lecturas.constFind(campo);
                    if (it == r.lecturas.cend()) continue;
                    QString mostrado;
                    const QString motivo =
                        FieldValidator::rechazoNumero(campo.toUpper(), it.value());
                    if (!motivo.isEmpty()) {
                        rechazos << motivo;
                        continue;
                    }
                    if (!escribir(campo.toUpper(), it.value(), &mostrado).isEmpty()) {
                        fallo = true; // said by the writing itself
                        return false;
                    }
                    escritas.append({campo, mostrado});
                    lectura.valores.insert(campo, QLocale::c().toDouble(it.value()));
                }
                if (!escritas.isEmpty()) m_readings.registrar(lectura);
                return true;
            });
            break;
        } catch (const ServiceError& e) {
            if (UtilService::errorDialog(&w, e, QStringLiteral("Lectura del analizador")) !=
                Dialogs::Retry)
                return false;
        }
    }
    if (fallo) return false;
    for (const auto& [campo, mostrado] : std::as_const(escritas))
        mostrar(campo, mostrado);
    if (rechazos.isEmpty()) return true;
    aviso(QStringLiteral("Lecturas de %1 que no se registraron (las demás sí):\n\n%2")
              .arg(a->nombre(), rechazos.join(u'\n')));
    return false;
}

qint64 InstrumentCommands::filaActual() const
{
    const FlexGrid* g = w.MSflexGrid1();
    if (!w.mPlanillaCargada || g->Row() < FlexGrid::FixedRows) return 0;
    return g->TextMatrix(g->Row(), 0).trimmed().toLongLong();
}

bool InstrumentCommands::boleta()
{
    return WeighingSlip(w, m_store).guardar(filaActual());
}
