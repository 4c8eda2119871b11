// One intake desk of a busy plant: the program's own window (offscreen) on a
// server database, worked by keys sent to the focused widget at an operator's
// pace. Each truckload: Nuevo (F2), the tonnes, the seller picked from its list
// (F4, a few rows down, Enter), ten cells more typed and ended with Tab, the
// last one with Shift+Tab, and the silo typed again and ended with Enter:
// thirteen cells. Every few loads (each desk at its own turn) the silo tab
// (Ctrl+Enter and back), Borrar
// (F3, Sí) on the load just typed, or the day read again (F8, the date,
// Enter); the run begins with the day read --loads times (3).
//
//   bench_desk --desk I --dsn DSN --user U --password P --day yyyy-MM-dd
//              --start-at EPOCH_MS --seconds S [--truck-ms MS] [--loads K] --out FILE
//   bench_desk --db FILE ... (the same on the embedded database)
//
// The observations column of each load holds a mark "D<desk>-<n>"; the time
// another desk's mark first shows in this desk's grid, after the live sheet
// brought it, is how long a change takes to reach another screen.
// The file written holds one line per fact (desks_summary reads it):
//   S <measure> <ms>         a timed operation
//   E <id> <col> <text>      a cell the database accepted, as the grid shows it
//   X <id>                   a row this desk deleted
//   T <start> <end>          the run's start and end (epoch ms)
//   W <mark> <epoch ms> <id> a mark accepted, in that row
//   V <mark> <epoch ms>      another desk's mark first on this screen (0: it
//                            came with a read of the day, not by itself)
//   M <kind> <icon> <text>   what the operator was shown
#include "DataService.h"
#include "DateText.h"
#include "FlexGrid.h"
#include "Lib_ClsCons3.h"
#include "LiveSheet.h"
#include "ScriptedDialogs.h"
#include "TextBox.h"
#include "frmTrigo.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QTabWidget>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <functional>
#include <map>

namespace
{

constexpr int kObservaciones = 12;

qint64 epochMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// The operator's answers: Sí to Borrar's question; a failed write is tried
// again for a while (the server restarting), then given up.
class DeskDialogs : public ScriptedDialogs
{
public:
    int errorDialog(QWidget* parent, const ServiceError& error, const QString& source) override
    {
        ScriptedDialogs::errorDialog(parent, error, source);
        if (!m_failing.isValid()) m_failing.start();
        if (m_failing.elapsed() > 20000) {
            m_failing.invalidate();
            return Abort;
        }
        QThread::msleep(250);
        return Retry;
    }
    void writeWent() { m_failing.invalidate(); }

private:
    QElapsedTimer m_failing;
};

class Desk : public QObject
{
public:
    Desk(int desk, const QString& params, const QDate& day, qint64 startAt, int seconds,
         int truckMs, int loads)
        : m_desk(desk), m_params(params), m_day(day), m_startAt(startAt),
          m_until(startAt + qint64(seconds) * 1000), m_truckMs(truckMs), m_loads(std::max(1, loads))
    {
    }

    bool start()
    {
        w = std::make_unique<frmTrigo>(data, lookup, nullptr);
        if (!w->Load(m_params)) return false;
        w->show();
        QApplication::setActiveWindow(w.get());
        QCoreApplication::processEvents();
        connect(&w->live(), &LiveSheet::applied, this, &Desk::lookForMarks);
        if (!loadDay()) return false;
        // The run begins with the day read again a few times (F8, the date,
        // Enter), each desk at its own moment.
        for (int i = 1; i < m_loads; ++i)
            m_steps << [this] { reload(); };
        // Operators do not work in step: each desk starts its first load at
        // its own moment within one load's time.
        const qint64 offset = qint64(m_truckMs) * ((m_desk * 7) % 20) / 20;
        QTimer::singleShot(std::max<qint64>(0, m_startAt + offset - epochMs()), this,
                           [this] { next(); });
        return true;
    }

    void write(FILE* f) const
    {
        for (const auto& [k, v] : m_samples)
            for (double ms : v)
                std::fprintf(f, "S %s %.3f\n", k.c_str(), ms);
        for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it)
            std::fprintf(f, "E %lld %d %s\n", it.key().first, it.key().second,
                         qPrintable(it.value().toUtf8().toPercentEncoding()));
        for (qint64 id : m_deleted)
            std::fprintf(f, "X %lld\n", id);
        std::fprintf(f, "T %lld %lld\n", m_startAt, m_ended);
        for (auto it = m_written.cbegin(); it != m_written.cend(); ++it)
            std::fprintf(f, "W %s %lld %lld\n", qPrintable(it.key()), it.value().first,
                         it.value().second);
        for (auto it = m_seen.cbegin(); it != m_seen.cend(); ++it)
            std::fprintf(f, "V %s %lld\n", qPrintable(it.key()), it.value());
        for (const ScriptedDialogs::Shown& s : dialogs.shown)
            std::fprintf(f, "M %s %d %s\n", qPrintable(s.kind), int(s.icon),
                         qPrintable(s.text.toUtf8().toPercentEncoding()));
    }

private:
    static QWidget* focus() { return QApplication::focusWidget(); }
    // The focused widget; a key with nothing focused is a fault of the run.
    QWidget* focused()
    {
        if (QWidget* f = focus()) return f;
        dialogs.shown.append({QStringLiteral("bench"), {}, QStringLiteral("no focus"), {}, {}});
        w->MSflexGrid1()->setFocus();
        return w->MSflexGrid1();
    }
    void key(int k, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        QTest::keyClick(focused(), Qt::Key(k), m);
    }
    void type(const QString& text)
    {
        for (QChar c : text)
            QTest::keyClicks(focused(), QString(c));
    }
    template <typename F> void timed(const char* what, F&& work)
    {
        QElapsedTimer t;
        t.start();
        work();
        m_samples[what].push_back(t.nsecsElapsed() / 1e6);
    }

    // The date typed into the date box and Enter, up to the grid painted.
    bool loadDay()
    {
        TextBox* fecha = w->box(QStringLiteral("fecha"));
        if (focus() != fecha) fecha->setFocus();
        key(Qt::Key_A, Qt::ControlModifier);
        type(DateText::format(m_day));
        // Timed during the run only: before it every desk is starting.
        QElapsedTimer t;
        t.start();
        key(Qt::Key_Return);
        QCoreApplication::processEvents();
        if (m_running) m_samples["load_day"].push_back(t.nsecsElapsed() / 1e6);
        // What the sheet shows now came with it, not through the live sheet.
        const FlexGrid* g = w->MSflexGrid1();
        for (int r = FlexGrid::FixedRows; r < g->Rows(); ++r) {
            const QString m = g->TextMatrix(r, kObservaciones);
            if (m.startsWith(u'D') && !m_seen.contains(m)) m_seen.insert(m, 0);
        }
        return w->mPlanillaCargada;
    }

    // F8 and the day read again; the operator tries again until it is read.
    void reload()
    {
        if (w->mPlanillaCargada) key(Qt::Key_F8);
        if (!loadDay()) m_steps.prepend([this] { reload(); });
    }

    // The grid row of a record (-1 when it is not in the grid). Rows move
    // while the desk works (the live sheet takes out rows above the cursor):
    // a cell is followed by its record, never by its row number.
    int rowOf(qint64 id) const { return w->MSflexGrid1()->rowOfId(id); }
    qint64 currentId() const
    {
        const FlexGrid* g = w->MSflexGrid1();
        return g->TextMatrix(g->Row(), 0).toLongLong();
    }
    // What the grid shows of a record's cell, once the database accepted it.
    void accepted(qint64 id, int col)
    {
        const int r = rowOf(id);
        if (r >= 0) m_cells.insert({id, col}, w->MSflexGrid1()->TextMatrix(r, col));
    }

    // One cell typed and ended with a key; answers whether it was accepted.
    bool cell(const QString& text, int endKey, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        const qint64 id = currentId();
        const int col = w->MSflexGrid1()->Col();
        type(text);
        timed("cell_edit", [&] { key(endKey, m); });
        if (w->TxtEdit()->isVisible()) {
            // Refused: the operator gives the value up and goes on.
            key(Qt::Key_Escape);
            key(Qt::Key_Tab);
            return false;
        }
        dialogs.writeWent();
        accepted(id, col);
        return true;
    }

    // F4 on the seller: the list, a few rows down and Enter.
    void pickSeller()
    {
        FlexGrid* g = w->MSflexGrid1();
        const qint64 id = currentId();
        const int col = g->Col();
        QElapsedTimer t;
        t.start();
        dialogs.execScripts << [&](QDialog* d) {
            auto* list = d->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
            if (!list || list->topLevelItemCount() == 0) return int(QDialog::Rejected);
            // Modal, as the program's own exec() shows it.
            d->setWindowModality(Qt::ApplicationModal);
            d->show();
            QApplication::setActiveWindow(d);
            list->setFocus();
            QCoreApplication::processEvents();
            m_samples["seller_list"].push_back(t.nsecsElapsed() / 1e6);
            for (int i = 0; i < 1 + (m_truck * 7) % 5; ++i)
                key(Qt::Key_Down);
            key(Qt::Key_Return);
            return d->result();
        };
        key(Qt::Key_F4);
        if (!dialogs.execScripts.isEmpty()) dialogs.execScripts.clear(); // no list came
        // The window manager gives the window back its keyboard (offscreen
        // there is none).
        if (QApplication::activeWindow() != w.get()) QApplication::setActiveWindow(w.get());
        if (currentId() == id && g->Col() == col) {
            key(Qt::Key_Escape);
            key(Qt::Key_Tab); // nothing picked: on to the next cell
            return;
        }
        accepted(id, col);
    }

    void truck()
    {
        if (!w->mPlanillaCargada) {
            reload();
            return;
        }
        ++m_truck;
        FlexGrid* g = w->MSflexGrid1();
        if (focus() != g && !w->TxtEdit()->isVisible()) g->setFocus();
        const int rows = g->Rows();
        timed("nuevo", [&] { key(Qt::Key_F2); });
        const qint64 id = currentId();
        // The new row is the last one, with the cursor on its tonnes.
        if (id <= 0 || g->Col() != 1 || g->Row() != g->Rows() - 1 || g->Rows() <= rows) return;
        const int n = m_desk * 100000 + m_truck;
        const QString mark = QStringLiteral("D%1-%2").arg(m_desk).arg(m_truck);
        const QStringList values{
            QString::number(20 + n % 150 / 10.0, 'f', 2),
            {}, // the seller, from its list
            QStringLiteral("Localidad %1").arg(1 + n % 300),
            QStringLiteral("Transportes %1").arg(1 + n % 800, 3, 10, QChar(u'0')),
            QString::number(25 + n % 97 / 10.0, 'f', 1),
            QString::number(8 + n % 43 / 10.0, 'f', 1),
            QStringLiteral("Bueno"),
            QString::number(280 + n % 140),
            QString::number(11 + n % 45 / 10.0, 'f', 1),
            QString::number(74 + n % 80 / 10.0, 'f', 1),
            QString::number(1 + n % 50),
            mark,
        };
        m_steps.clear();
        for (int c = 0; c < values.size(); ++c) {
            if (c == 1)
                m_steps << [this] { pickSeller(); };
            else if (c + 1 < values.size())
                m_steps << [this, v = values.at(c)] { cell(v, Qt::Key_Tab); };
            else
                m_steps << [this, id, v = values.at(c)] {
                    if (cell(v, Qt::Key_Tab, Qt::ShiftModifier))
                        m_written.insert(v, qMakePair(epochMs(), id));
                };
        }
        // The silo again: the thirteenth cell.
        m_steps <<
            [this, v = QString::number(1 + (m_desk + m_truck) % 50)] { cell(v, Qt::Key_Return); };
        if ((m_truck + m_desk) % 4 == 0)
            m_steps << [this] {
                timed("silo_panel", [&] {
                    key(Qt::Key_Return, Qt::ControlModifier);
                    QCoreApplication::processEvents();
                });
            } << [this] { key(Qt::Key_Return, Qt::ControlModifier); };
        if ((m_truck + m_desk) % 7 == 0)
            m_steps << [this, id] {
                if (currentId() != id) return;
                dialogs.messageAnswers << Dialogs::Yes;
                key(Qt::Key_F3);
                if (rowOf(id) < 0) {
                    m_deleted << id;
                    for (int c = 1; c <= kObservaciones; ++c)
                        m_cells.remove({id, c});
                }
            };
        if ((m_truck + m_desk) % 5 == 0) m_steps << [this] { reload(); };
    }

    // The next step of the load under way, or the next load.
    void next()
    {
        m_running = true;
        if (epochMs() >= m_until) {
            m_ended = epochMs();
            QCoreApplication::quit();
            return;
        }
        if (m_gap == 0) m_gap = m_truckMs / 16;
        if (m_steps.isEmpty()) {
            truck();
            m_gap = int(m_truckMs / (m_steps.size() + 1));
        }
        if (!m_steps.isEmpty()) m_steps.takeFirst()();
        QTimer::singleShot(m_gap, this, [this] { next(); });
    }

    void lookForMarks()
    {
        const FlexGrid* g = w->MSflexGrid1();
        const QString own = QStringLiteral("D%1-").arg(m_desk);
        const qint64 now = epochMs();
        for (int r = FlexGrid::FixedRows; r < g->Rows(); ++r) {
            const QString t = g->TextMatrix(r, kObservaciones);
            if (t.startsWith(u'D') && !t.startsWith(own) && !m_seen.contains(t))
                m_seen.insert(t, now);
        }
    }

public:
    DeskDialogs dialogs;
    DataService data{QStringLiteral("desk")};
    Lib_ClsCons3 lookup{&data};

private:
    std::unique_ptr<frmTrigo> w;
    int m_desk;
    QString m_params;
    QDate m_day;
    qint64 m_startAt, m_until;
    int m_truckMs;
    int m_loads;
    int m_truck = 0;
    int m_gap = 0; // between two steps of a load
    QList<std::function<void()>> m_steps;
    std::map<std::string, std::vector<double>> m_samples;
    QHash<QPair<qint64, int>, QString> m_cells;
    QList<qint64> m_deleted;
    QHash<QString, QPair<qint64, qint64>> m_written; // mark: when, row
    QHash<QString, qint64> m_seen; // mark: when (0: it came with a read of the day)
    qint64 m_ended = 0;
    bool m_running = false;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QHash<QString, QString> opt;
    const QStringList a = app.arguments();
    for (int i = 1; i + 1 < a.size(); i += 2)
        opt.insert(a.at(i).mid(2), a.at(i + 1));
    const QDate day = QDate::fromString(opt.value(QStringLiteral("day")), Qt::ISODate);
    if (!day.isValid() || opt.value(QStringLiteral("out")).isEmpty()) {
        std::fprintf(stderr, "usage: bench_desk --desk I --dsn DSN --user U --password P --day "
                             "yyyy-MM-dd --start-at EPOCH_MS --seconds S [--truck-ms MS] --out "
                             "FILE\n");
        return 2;
    }
    const int desk = opt.value(QStringLiteral("desk")).toInt();
    // --db FILE instead of the data source: the embedded database.
    const QString params =
        opt.contains(QStringLiteral("db"))
            ? QStringLiteral("@DbName=%1;@UsuarioLogeado=PUESTO%2;")
                  .arg(opt.value(QStringLiteral("db")))
                  .arg(desk)
            : QStringLiteral("@Server=PLANTA/%1;@DbName=%1;@Usuario=%2;@Password=%3;"
                             "@UsuarioLogeado=PUESTO%4;")
                  .arg(opt.value(QStringLiteral("dsn")), opt.value(QStringLiteral("user")),
                       opt.value(QStringLiteral("password")))
                  .arg(desk);
    Desk d(desk, params, day, opt.value(QStringLiteral("start-at")).toLongLong(),
           opt.value(QStringLiteral("seconds"), QStringLiteral("30")).toInt(),
           opt.value(QStringLiteral("truck-ms"), QStringLiteral("5000")).toInt(),
           opt.value(QStringLiteral("loads"), QStringLiteral("3")).toInt());
    if (!d.start()) {
        std::fprintf(stderr, "bench_desk %d: the window did not load the day\n", desk);
        for (const auto& s : d.dialogs.shown)
            std::fprintf(stderr, "  %s\n", qPrintable(s.text));
        return 1;
    }
    app.exec();
    FILE* f = std::fopen(qPrintable(opt.value(QStringLiteral("out"))), "w");
    if (!f) return 1;
    d.write(f);
    std::fclose(f);
    return 0;
}
