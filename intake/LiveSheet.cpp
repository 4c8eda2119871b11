#include "LiveSheet.h"

#include "CellEditor.h"
#include "ChangeHistory.h"
#include "DailySheet.h"
#include "DataService.h"
#include "DateText.h"
#include "Dialogs.h"
#include "FlexGrid.h"
#include "KeyRouter.h"
#include "OpenTransactions.h"
#include "ServiceError.h"
#include "SheetSettlement.h"
#include "TextBox.h"
#include "UtilService.h"
#include "frmTrigo.h"

#include <QApplication>
#include <QHash>
#include <QLocale>
#include <QSet>
#include <QTimer>
#include <algorithm>

namespace
{

struct Dia {
    QDateTime desde, hasta;
};

// The rows read in one statement: a fixed number of places, so that the
// statement is prepared once.
constexpr int kIdsPerRead = 16;

std::optional<Dia> diaDe(const frmTrigo& w)
{
    const TextBox* fecha = w.box(QStringLiteral("fecha"));
    const QDate d = DateText::parse(fecha ? fecha->text() : QString());
    if (!d.isValid()) return std::nullopt;
    return Dia{QDateTime(d, QTime(0, 0)), QDateTime(d.addDays(1), QTime(0, 0))};
}

} // namespace

LiveSheet::LiveSheet(frmTrigo& w) : QObject(&w), w(w)
{
    m_timer = new QTimer(this);
    m_timer->setInterval(kIntervalMs);
    m_reconnections = w.data().reconnections();
    connect(m_timer, &QTimer::timeout, this, &LiveSheet::check);
    connect(&w, &frmTrigo::planillaPorLeer, this, &LiveSheet::baseline);
    m_timer->start();
}

void LiveSheet::setInterval(int ms)
{
    m_timer->setInterval(ms);
}

int LiveSheet::interval() const
{
    return m_timer->interval();
}

QString LiveSheet::signature()
{
    const auto dia = diaDe(w);
    if (!dia) return {};
    const QString historial = w.history().available()
                                  ? QStringLiteral(", (SELECT MAX(ID) FROM mv_molvera_historial)")
                                  : QString();
    RecordSet rs = w.data().openRecordSet(
        QStringLiteral("SELECT COUNT(*), MAX(fecha_modificacion), MAX(ID)%1 FROM %2 "
                       "WHERE Fecha >= ? AND Fecha < ?")
            .arg(historial, w.mVista),
        {dia->desde, dia->hasta});
    QStringList parts;
    if (!rs.bof())
        for (const QVariant& v : rs.rows().first())
            parts << v.toString();
    return parts.join(u'|');
}

void LiveSheet::baseline()
{
    m_pending.clear();
    m_windowed = false;
    m_needsBaseline = false;
    try {
        if (w.history().available()) {
            // Taken before the sheet is read: every change the read does not
            // hold has a record after this one, or belongs to a transaction
            // under way now.
            m_windowed = true;
            const qint64 highest =
                w.data()
                    .openRecordSet(QStringLiteral("SELECT MAX(ID) FROM mv_molvera_historial"))
                    .value(0)
                    .toLongLong();
            m_window.reset(highest, OpenTransactions::now(w.data()));
            return;
        }
        m_signature = signature();
    } catch (const ServiceError&) {
        // The first check takes it and reads the whole day.
        m_needsBaseline = m_windowed;
        m_signature.clear();
    }
}

QVector<HistoryWindow::Record> LiveSheet::records(const QString& sql, const QVariantList& params)
{
    const RecordSet rs = w.data().openRecordSet(sql, params);
    QVector<HistoryWindow::Record> out;
    out.reserve(rs.recordCount());
    for (const RecordSet::Row row : rs.rows())
        out.push_back({row.at(0).toLongLong(), row.at(1).toLongLong()});
    return out;
}

QSet<qint64> LiveSheet::newlyChanged(bool* wholeDay)
{
    QSet<qint64> rows = m_window.takeNew(
        records(QStringLiteral("SELECT ID, id_registro FROM mv_molvera_historial WHERE ID > ?"),
                {m_window.base()}));
    if (!m_window.needsRunning()) return rows;
    // Asked after the read: a transaction that held a skipped number then is
    // among these, or has ended and its records are there for the reads below.
    *wholeDay = m_window.settle(OpenTransactions::now(w.data()));
    const QList<qint64> gaps = m_window.gaps();
    if (gaps.isEmpty()) return rows;
    QStringList places;
    for (int i = 0; i < kIdsPerRead; ++i)
        places << QStringLiteral("?");
    const QString sql =
        QStringLiteral("SELECT ID, id_registro FROM mv_molvera_historial WHERE ID IN (%1)")
            .arg(places.join(u','));
    QVector<HistoryWindow::Record> found;
    for (qsizetype from = 0; from < gaps.size(); from += kIdsPerRead) {
        QVariantList params;
        for (int i = 0; i < kIdsPerRead; ++i)
            params << (from + i < gaps.size() ? gaps.at(from + i) : qint64(-1));
        found += records(sql, params);
    }
    rows.unite(m_window.takeGaps(found));
    return rows;
}

void LiveSheet::toldReconnection()
{
    const int n = w.data().reconnections();
    if (n == m_reconnections) return;
    m_reconnections = n;
    Dialogs::instance().message(&w, QStringLiteral("Atención"),
                                QStringLiteral("Se restableció la conexión con la base de datos. "
                                               "Lo aceptado antes del corte está guardado."),
                                Dialogs::Icon::Information);
}

bool LiveSheet::check()
{
    if (m_busy) return false;
    if (KeyRouter::modalOpen() || QApplication::activeModalWidget() ||
        QApplication::activePopupWidget())
        return false;
    // Also without a sheet (a read of the day that failed while the server
    // was away).
    toldReconnection();
    if (!w.mPlanillaCargada) return false;
    m_busy = true;
    bool changed = false;
    // A check that fails half-way is made again whole by the next one.
    const HistoryWindow window = m_window;
    const QSet<qint64> pending = m_pending;
    const bool needsBaseline = m_needsBaseline;
    try {
        if (m_needsBaseline) {
            baseline();
            if (m_needsBaseline) throw ServiceError(ServiceError::NotConnected, {});
            ++m_reads;
            bool complete = true;
            changed = sync(&complete);
        } else if (m_windowed) {
            bool wholeDay = false;
            QSet<qint64> ids = newlyChanged(&wholeDay);
            ids.unite(m_pending);
            m_pending.clear(); // those still waiting are named again
            bool complete = true;
            if (wholeDay) {
                ++m_reads;
                ++m_wholeDay;
                changed = sync(&complete);
            } else if (!ids.isEmpty()) {
                ++m_reads;
                changed = syncRows(ids, &complete);
            }
            m_busy = false;
            toldReconnection();
            if (changed) emit applied();
            return changed;
        }
        if (!m_windowed) {
            const QString now = signature();
            if (now != m_signature) {
                ++m_reads;
                bool complete = true;
                changed = sync(&complete);
                // Rows that could not be taken out yet keep the check open.
                if (complete) m_signature = now;
            }
        }
    } catch (const ServiceError& e) {
        // The next check tries again; the sheet stays as it is. A database
        // file that is gone or damaged will not come back: the operator is
        // told once.
        m_window = window;
        m_pending = pending;
        m_needsBaseline = needsBaseline;
        if (!m_toldMoved && (w.data().fileMoved() || w.data().damaged())) {
            m_toldMoved = true;
            Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"), e.description(),
                                        Dialogs::Icon::Critical);
        }
        m_busy = false;
        return false;
    }
    m_busy = false;
    toldReconnection();
    if (changed) emit applied();
    return changed;
}

bool LiveSheet::sync(bool* complete)
{
    const auto dia = diaDe(w);
    if (!dia) return false;
    const RecordSet rs =
        w.data().openRecordSet(DailySheet::sentenciaLectura(w.mVista), {dia->desde, dia->hasta});
    return apply(rs, nullptr, complete);
}

bool LiveSheet::syncRows(const QSet<qint64>& ids, bool* complete)
{
    const auto dia = diaDe(w);
    if (!dia) return false;
    // The day's read statement narrowed to a few ids.
    QString sql = DailySheet::sentenciaLectura(w.mVista);
    const qsizetype order = sql.lastIndexOf(QLatin1String(" ORDER BY"));
    QStringList places;
    for (int i = 0; i < kIdsPerRead; ++i)
        places << QStringLiteral("?");
    sql.insert(order, QStringLiteral(" and ID IN (%1)").arg(places.join(u',')));
    const QList<qint64> list(ids.cbegin(), ids.cend());
    // The rows of every part are brought into the grid together.
    QVector<RecordSet::Field> fields;
    QVector<QVariant> values;
    for (qsizetype from = 0; from < list.size(); from += kIdsPerRead) {
        QVariantList params{dia->desde, dia->hasta};
        for (int i = 0; i < kIdsPerRead; ++i)
            params << (from + i < list.size() ? list.at(from + i) : qint64(-1));
        const RecordSet rs = w.data().openRecordSet(sql, params);
        if (fields.isEmpty())
            for (int i = 0; i < rs.fieldCount(); ++i)
                fields << rs.field(i);
        for (const RecordSet::Row row : rs.rows())
            for (int i = 0; i < row.size(); ++i)
                values << row.at(i);
    }
    return apply(RecordSet(fields, values), &ids, complete);
}

bool LiveSheet::apply(const RecordSet& rs, const QSet<qint64>* touched, bool* complete)
{
    FlexGrid* g = w.MSflexGrid1();
    const int cols = g->Cols();
    QSet<qint64> enBase;
    const QLocale loc = UtilService::textLocale();
    QVector<QVector<QString>> nuevas;
    QVector<qint64> cambiadas; // rows whose values the database changed
    int aplicadas = 0;
    for (const RecordSet::Row row : rs.rows()) {
        const qint64 id = row.at(0).toLongLong();
        enBase.insert(id);
        QVector<QString> textos;
        for (int c = 0; c < std::min(cols, int(row.size())); ++c)
            textos << UtilService::valueToText(row.at(c), loc);
        const int fila = g->rowOfId(id);
        if (fila < 0) {
            nuevas << textos;
            cambiadas << id;
            continue;
        }
        // The cell under an open edit takes the stored value too; the
        // editor keeps what the operator is typing.
        bool distinta = false;
        for (int c = 1; c < textos.size(); ++c) {
            if (g->TextMatrix(fila, c) == textos.at(c)) continue;
            g->setTextMatrix(fila, c, textos.at(c));
            distinta = true;
        }
        if (distinta) {
            ++aplicadas;
            cambiadas << id;
        }
    }
    // New rows go at the end: no row the operator sees moves.
    if (!nuevas.isEmpty()) {
        const int primera = g->Rows();
        g->setRows(primera + int(nuevas.size()));
        for (int i = 0; i < nuevas.size(); ++i)
            for (int c = 0; c < nuevas.at(i).size(); ++c)
                g->setTextMatrix(primera + i, c, nuevas.at(i).at(c));
        aplicadas += int(nuevas.size());
    }
    // Rows of the grid the database no longer has (among those read again).
    QVector<int> fuera;
    QSet<qint64> idsFuera;
    auto quitar = [&](qint64 id) {
        if (enBase.contains(id) || idsFuera.contains(id)) return;
        const int fila = g->rowOfId(id);
        if (fila < 0) return;
        fuera << fila;
        idsFuera.insert(id);
    };
    if (touched) {
        for (qint64 id : *touched)
            quitar(id);
    } else {
        for (int r = FlexGrid::FixedRows; r < g->Rows(); ++r) {
            bool ok = false;
            const qint64 id = g->TextMatrix(r, 0).trimmed().toLongLong(&ok);
            if (ok && id > 0) quitar(id);
        }
    }
    if (!fuera.isEmpty()) {
        if (w.editor().abierto()) {
            *complete = false; // rows move when they go: after the edit
            m_pending.unite(idsFuera);
        } else {
            m_pending.subtract(idsFuera);
            std::sort(fuera.begin(), fuera.end(), std::greater<>());
            int fila = g->Row();
            const int col = g->Col();
            for (int r : fuera) {
                for (int rr = r; rr < g->Rows() - 1; ++rr)
                    for (int c = 0; c < cols; ++c)
                        g->setTextMatrix(rr, c, g->TextMatrix(rr + 1, c));
                g->setRows(g->Rows() - 1);
                if (r < fila) --fila; // the cursor stays on its record
                ++aplicadas;
            }
            fila = std::clamp(fila, int(FlexGrid::FixedRows),
                              std::max(int(FlexGrid::FixedRows), g->Rows() - 1));
            if (fila != g->Row() && fila < g->Rows()) g->setRowCol(fila, col);
        }
    }
    m_applied += aplicadas;
    // What the changed loads are worth, when another program left it behind.
    w.settlement().revisar(cambiadas);
    return aplicadas > 0;
}
