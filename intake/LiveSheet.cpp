#include "LiveSheet.h"

#include "CellEditor.h"
#include "ChangeHistory.h"
#include "DailySheet.h"
#include "DataService.h"
#include "DateText.h"
#include "FlexGrid.h"
#include "ServiceError.h"
#include "TextBox.h"
#include "UtilService.h"
#include "frmTrigo.h"

#include <QApplication>
#include <QHash>
#include <QSet>
#include <QTimer>
#include <algorithm>

namespace
{

struct Dia {
    QDateTime desde, hasta;
};

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
    m_timer->setInterval(3000);
    connect(m_timer, &QTimer::timeout, this, &LiveSheet::check);
    connect(&w, &frmTrigo::planillaCargada, this, &LiveSheet::baseline);
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
    try {
        m_signature = signature();
    } catch (const ServiceError&) {
        m_signature.clear(); // the first check reads the day
    }
}

bool LiveSheet::check()
{
    if (m_busy || !w.mPlanillaCargada) return false;
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return false;
    m_busy = true;
    bool changed = false;
    try {
        const QString now = signature();
        if (now != m_signature) {
            ++m_reads;
            bool complete = true;
            changed = sync(&complete);
            // Rows that could not be taken out yet keep the check open.
            if (complete) m_signature = now;
        }
    } catch (const ServiceError&) {
        // The next check tries again; the sheet stays as it is.
    }
    m_busy = false;
    return changed;
}

bool LiveSheet::sync(bool* complete)
{
    const auto dia = diaDe(w);
    if (!dia) return false;
    RecordSet rs =
        w.data().openRecordSet(DailySheet::sentenciaLectura(w.mVista), {dia->desde, dia->hasta});
    FlexGrid* g = w.MSflexGrid1();
    const int cols = g->Cols();
    QHash<qint64, int> filaDe;
    for (int r = FlexGrid::FixedRows; r < g->Rows(); ++r) {
        bool ok = false;
        const qint64 id = g->TextMatrix(r, 0).trimmed().toLongLong(&ok);
        if (ok && id > 0) filaDe.insert(id, r);
    }
    QSet<qint64> enBase;
    QVector<QVector<QString>> nuevas;
    int aplicadas = 0;
    for (const RecordSet::Row row : rs.rows()) {
        const qint64 id = row.at(0).toLongLong();
        enBase.insert(id);
        QVector<QString> textos;
        for (int c = 0; c < std::min(cols, int(row.size())); ++c)
            textos << UtilService::valueToText(row.at(c));
        const auto it = filaDe.constFind(id);
        if (it == filaDe.cend()) {
            nuevas << textos;
            continue;
        }
        // The cell under an open edit takes the stored value too; the
        // editor keeps what the operator is typing.
        bool distinta = false;
        for (int c = 1; c < textos.size(); ++c) {
            if (g->TextMatrix(*it, c) == textos.at(c)) continue;
            g->setTextMatrix(*it, c, textos.at(c));
            distinta = true;
        }
        if (distinta) ++aplicadas;
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
    QVector<int> fuera;
    for (auto it = filaDe.cbegin(); it != filaDe.cend(); ++it)
        if (!enBase.contains(it.key())) fuera << it.value();
    if (!fuera.isEmpty()) {
        if (w.editor().abierto()) {
            *complete = false; // rows move when they go: after the edit
        } else {
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
    return aplicadas > 0;
}
