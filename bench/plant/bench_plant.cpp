// The intake desk at plant scale: the program's own code paths over the
// database that molvera_gen builds (1,000,000 truckloads, 2,000 sellers,
// 800 truckers, 50 silos), each against the same database work done through
// the raw SQLite C API with statements prepared once (the floor).
//
//   bench_plant --db /tmp/molvera-plant.db [Google Benchmark flags]
//
// Every iteration is timed on its own; after the run one table gives, per
// operation, the median and the 99th percentile of the program, the median
// of the floor and their ratio, and the target. The database file is changed
// only on days the generator leaves empty, and those rows are taken out
// again at the end.
#include "CellEditor.h"
#include "DailySheet.h"
#include "DataService.h"
#include "DateText.h"
#include "FieldLookups.h"
#include "FlexGrid.h"
#include "KeyCodes.h"
#include "Lib_ClsCons3.h"
#include "Lib_FrmCons3.h"
#include "MolveraReportPrinter.h"
#include "ScriptedDialogs.h"
#include "ServiceError.h"
#include "SheetCommands.h"
#include "SiloPanel.h"
#include "TextBox.h"
#include "frmTrigo.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace
{

QString g_dbPath;

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// ---------------------------------------------------------------- samples

std::map<std::string, std::vector<double>> g_samples;

// What the silo panel reads: the silos and their kept totals.
const char* const kSiloStatements[] = {
    "select * from v_ta_deposito", "select silodestino, gramos, cargas from mv_molvera_silo_total"};

// Times one iteration: records it and hands it to Google Benchmark.
template <typename F> void timed(benchmark::State& state, const std::string& key, F&& work)
{
    const double t0 = nowMs();
    work();
    const double ms = nowMs() - t0;
    g_samples[key].push_back(ms);
    state.SetIterationTime(ms / 1e3);
}

double quantile(std::vector<double> v, double q)
{
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(q * double(v.size() - 1) + 0.5));
    return v[i];
}

// ---------------------------------------------------------------- the floor

// The raw SQLite C API on the same file, with the program's durability
// (WAL, synchronous FULL) and every statement prepared once.
class Floor
{
public:
    explicit Floor(const QString& path)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) !=
            SQLITE_OK)
            qFatal("floor: cannot open %s", qPrintable(path));
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA synchronous=FULL");
        sqlite3_busy_timeout(m_db, 5000);
    }
    ~Floor()
    {
        for (auto& [sql, st] : m_stmts)
            sqlite3_finalize(st);
        sqlite3_close(m_db);
    }

    // Runs a statement (in SQLite's own form) with its values and reads every
    // row and column as the values they are; answers the rows read.
    int run(const QString& sql, const QVariantList& params = {})
    {
        sqlite3_stmt* st = statement(sql);
        for (int i = 0; i < params.size(); ++i)
            bind(st, i + 1, params.at(i));
        int rows = 0;
        int rc;
        const int n = sqlite3_column_count(st);
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            ++rows;
            for (int c = 0; c < n; ++c) {
                switch (sqlite3_column_type(st, c)) {
                case SQLITE_INTEGER:
                    m_sink += sqlite3_column_int64(st, c);
                    break;
                case SQLITE_FLOAT:
                    m_sink += qint64(sqlite3_column_double(st, c));
                    break;
                case SQLITE_TEXT:
                    m_sink += sqlite3_column_bytes(st, c);
                    break;
                default:
                    break;
                }
            }
        }
        if (rc != SQLITE_DONE) qFatal("floor: %s: %s", qPrintable(sql), sqlite3_errmsg(m_db));
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        return rows;
    }
    qint64 lastId() const { return sqlite3_last_insert_rowid(m_db); }
    void exec(const char* sql)
    {
        char* err = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &err) != SQLITE_OK) qFatal("floor: %s", err);
    }

private:
    sqlite3_stmt* statement(const QString& sql)
    {
        auto it = m_stmts.find(sql);
        if (it != m_stmts.end()) return it->second;
        sqlite3_stmt* st = nullptr;
        const QByteArray u = sql.toUtf8();
        if (sqlite3_prepare_v3(m_db, u.constData(), int(u.size()), SQLITE_PREPARE_PERSISTENT, &st,
                               nullptr) != SQLITE_OK)
            qFatal("floor: %s: %s", qPrintable(sql), sqlite3_errmsg(m_db));
        m_stmts.emplace(sql, st);
        return st;
    }
    static void bind(sqlite3_stmt* st, int i, const QVariant& v)
    {
        if (v.isNull()) {
            sqlite3_bind_null(st, i);
            return;
        }
        switch (v.metaType().id()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
            sqlite3_bind_int64(st, i, v.toLongLong());
            break;
        case QMetaType::Double:
            sqlite3_bind_double(st, i, v.toDouble());
            break;
        default: {
            const QByteArray u = v.toString().toUtf8();
            sqlite3_bind_text(st, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
        }
        }
    }

    sqlite3* m_db = nullptr;
    std::map<QString, sqlite3_stmt*> m_stmts;
    qint64 m_sink = 0;
};

// ---------------------------------------------------------------- the plant

// Prints through the program's report engine into a PDF file and keeps the
// request the window made, so that the floor reads the same rows.
class PdfPrinter : public ReportPrinter
{
public:
    PdfPrinter(DataService& data, const QString& pdf) : engine(data) { engine.setOutputFile(pdf); }
    void setBaseFolder(const QString&) override
    {
        // The definition is the one in the source tree.
        ReportPrinter::setBaseFolder(QStringLiteral(MOLVERA_SOURCE_DIR));
        engine.setBaseFolder(QStringLiteral(MOLVERA_SOURCE_DIR));
    }
    void print(QWidget* parent, const Request& r) override
    {
        last = r;
        engine.print(parent, r);
    }
    MolveraReportPrinter engine;
    Request last;
};

struct Plant {
    QTemporaryDir scratch;
    ScriptedDialogs dialogs; // nothing may block
    DataService data{QStringLiteral("plant")};
    Lib_ClsCons3 lookup{&data};
    PdfPrinter printer{data, scratch.filePath(QStringLiteral("month.pdf"))};
    std::unique_ptr<frmTrigo> w;
    Floor floor{g_dbPath};
    const SqlDialect sqlite{SqlDialect::Kind::SQLite};
    QDate day;       // a full day of the history
    QDate monthFrom; // the last full month
    QDate monthTo;
    const QDate nuevoDay{2099, 1, 4}; // a day without rows, for NUEVO
    qint64 lastHistoryId = 0;
    qint64 tenThousandFrom = 0, tenThousandTo = 0; // ids of the last 10,000 loads

    Plant()
    {
        w = std::make_unique<frmTrigo>(data, lookup, &printer);
        if (!w->Load(QStringLiteral("@DbName=%1;@UsuarioLogeado=OPERADOR;").arg(g_dbPath)))
            qFatal("the window did not load");
        w->show();
        QApplication::setActiveWindow(w.get());
        QCoreApplication::processEvents();
        const QDate last = DataService::toDateTime(
                               data.openRecordSet("SELECT max(Fecha) FROM mv_molvera").value(0))
                               .date();
        if (!last.isValid()) qFatal("the database has no intake rows");
        day = last.addDays(-1);
        monthTo = QDate(last.year(), last.month(), 1).addDays(-1);
        monthFrom = QDate(monthTo.year(), monthTo.month(), 1);
        lastHistoryId = historyId();
        const QVariantList history{data.bindable(QDateTime(nuevoDay, QTime(0, 0)))};
        tenThousandTo =
            data.openRecordSet("SELECT max(ID) FROM mv_molvera WHERE Fecha < ?", history)
                .value(0)
                .toLongLong();
        tenThousandFrom = data.openRecordSet("SELECT ID FROM mv_molvera WHERE Fecha < ? ORDER BY "
                                             "ID DESC LIMIT 1 OFFSET 9999",
                                             history)
                              .value(0)
                              .toLongLong();
        // MOLVERA_PLANT_GRAB=file.png: a picture of the window with the day's
        // sheet, to see what the benchmarks paint.
        if (const QString grab = qEnvironmentVariable("MOLVERA_PLANT_GRAB"); !grab.isEmpty()) {
            loadDay(day);
            MSflexGrid()->setRowCol(FlexGrid::FixedRows + 1, 2);
            MSflexGrid()->setRowSel(FlexGrid::FixedRows + 3);
            QCoreApplication::processEvents();
            w->grab().save(grab);
        }
    }
    FlexGrid* MSflexGrid() const { return w->MSflexGrid1(); }

    // True when the database keeps the history of changes (the writes then
    // name the operator).
    bool history() { return data.tableHasColumn("mv_molvera", "modificado_por"); }

    qint64 historyId()
    {
        if (!data.tableHasColumn("mv_molvera_historial", "ID")) return -1;
        return data.openRecordSet("SELECT max(ID) FROM mv_molvera_historial").value(0).toLongLong();
    }

    // The rows the benchmarks added are taken out again.
    void tidy()
    {
        const QVariantList range{QDateTime(nuevoDay, QTime(0, 0)),
                                 QDateTime(nuevoDay.addDays(1), QTime(0, 0))};
        data.execute("DELETE FROM mv_molvera WHERE Fecha >= ? AND Fecha < ?", range);
        if (lastHistoryId >= 0)
            data.execute("DELETE FROM mv_molvera_historial WHERE ID > ?", {lastHistoryId});
    }

    bool loadDay(const QDate& d)
    {
        w->SSTab1()->setCurrentIndex(0);
        w->box(QStringLiteral("fecha"))->setEnabled(true);
        w->box(QStringLiteral("fecha"))->setText(DateText::format(d));
        return w->sheet().Cargar();
    }
    QVariantList dayBounds(const QDate& d) const
    {
        return {data.bindable(QDateTime(d, QTime(0, 0))),
                data.bindable(QDateTime(d.addDays(1), QTime(0, 0)))};
    }
    // The statement the cell writer makes for the tonnes column (naming the
    // operator where the database keeps the history of changes), and its
    // values for the i-th edit over the day's rows.
    static QString cellUpdate(bool quien)
    {
        return QStringLiteral("UPDATE v_mv_molvera SET [TONELADAS] = ?, fecha_modificacion = ?%1 "
                              "WHERE ID = ?")
            .arg(quien ? QStringLiteral(", modificado_por = ?") : QString());
    }
    QVariantList cellUpdateValues(int i, bool quien, qint64 firstOfDay) const
    {
        QVariantList v{20 + (i % 150) / 10.0, QDateTime::currentDateTime()};
        if (quien) v << QStringLiteral("OPERADOR");
        return v << firstOfDay + i % 180;
    }
    qint64 firstOfDay()
    {
        return data
            .openRecordSet("SELECT min(ID) FROM mv_molvera WHERE Fecha >= ? AND Fecha < ?",
                           dayBounds(day))
            .value(0)
            .toLongLong();
    }

    // The month report's statement and values, as the report engine makes
    // them for the request the window made.
    QString monthStatement(QVariantList& params)
    {
        const MolveraReportPrinter::Prepared r = printer.engine.prepare(printer.last);
        const SelectionFormula::Where where = r.formula.toWhere(r.def, data.dialect());
        params = where.params;
        return ReportData::statement(r.def, where.sql, data.dialect());
    }

    QVariantList bindable(const QVariantList& values) const
    {
        QVariantList out;
        for (const QVariant& v : values)
            out << data.bindable(v);
        return out;
    }
};

Plant* g_plant = nullptr;

// What went wrong in a run, listed after the table (those figures measured
// something else).
std::vector<std::string> g_failed;

void fail(benchmark::State& state, const QString& why)
{
    g_failed.push_back(why.toStdString());
    state.SkipWithError(qPrintable(why));
}

// ---------------------------------------------------------------- start-up

// Starts a program and answers the time from the start to the first paint,
// which the program writes as "painted <monotonic ns>" on standard output.
double startToPaint(const QString& program, const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MOLVERA_EXIT_AFTER_PAINT"), QStringLiteral("1"));
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.setProgram(program);
    p.setArguments(args);
    const double t0 = nowMs();
    p.start();
    if (!p.waitForFinished(30000)) return -1;
    const QByteArray out = p.readAllStandardOutput();
    const qsizetype i = out.lastIndexOf("painted ");
    if (i < 0) return -1;
    return out.mid(i + 8).trimmed().toLongLong() / 1e6 - t0;
}

void BM_StartupProgram(benchmark::State& state)
{
    const QStringList args{QStringLiteral("@DbName=%1;@UsuarioLogeado=OPERADOR;").arg(g_dbPath)};
    for (auto _ : state) {
        const double ms = startToPaint(QStringLiteral(MOLVERA_EXE), args);
        if (ms < 0) return fail(state, "molvera did not paint");
        g_samples["startup/program"].push_back(ms);
        state.SetIterationTime(ms / 1e3);
    }
}

void BM_StartupFloor(benchmark::State& state)
{
    const QString self = QCoreApplication::applicationFilePath();
    for (auto _ : state) {
        const double ms = startToPaint(self, {QStringLiteral("--floor-startup"), g_dbPath});
        if (ms < 0) return fail(state, "the floor window did not paint");
        g_samples["startup/floor"].push_back(ms);
        state.SetIterationTime(ms / 1e3);
    }
}

// The floor of the start-up: a process that opens the file with the raw API,
// reads what the window shows at first (deposits and their totals) and paints
// one plain window.
int floorStartup(int argc, char** argv, const QString& path)
{
    QApplication app(argc, argv);
    {
        Floor f(path);
        f.run("SELECT count(*) FROM sqlite_master");
        f.run("SELECT VALOR FROM ta_configuracion WHERE CLAVE = ?", {QStringLiteral("NOMBRE")});
        for (const char* sql : kSiloStatements)
            f.run(QString::fromLatin1(sql));
    }
    QWidget win;
    win.resize(1100, 640);
    bool done = false;
    struct Filter : QObject {
        bool* done;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint && !*done) {
                *done = true;
                QTimer::singleShot(0, [] {
                    timespec ts{};
                    clock_gettime(CLOCK_MONOTONIC, &ts);
                    std::printf("painted %lld\n", qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec);
                    std::fflush(stdout);
                    QCoreApplication::exit(0);
                });
            }
            return false;
        }
    } filter;
    filter.done = &done;
    win.installEventFilter(&filter);
    win.show();
    return app.exec();
}

// ---------------------------------------------------------------- the sheet

void BM_LoadDayProgram(benchmark::State& state)
{
    Plant& p = *g_plant;
    for (auto _ : state) {
        bool ok = false;
        // Up to the grid painted with the rows.
        timed(state, "load_day/program", [&] {
            ok = p.loadDay(p.day);
            QCoreApplication::processEvents();
        });
        if (!ok) return fail(state, "sheet not loaded");
    }
    state.counters["rows"] = p.w->MSflexGrid1()->Rows() - FlexGrid::FixedRows;
}

void BM_LoadDayFloor(benchmark::State& state)
{
    Plant& p = *g_plant;
    const QString sql = p.sqlite.translate(DailySheet::sentenciaLectura("v_mv_molvera"));
    const QVariantList bounds = p.dayBounds(p.day);
    int rows = 0;
    for (auto _ : state)
        timed(state, "load_day/floor", [&] { rows = p.floor.run(sql, bounds); });
    state.counters["rows"] = rows;
}

// One cell of the tonnes column typed and ended with Enter: validated,
// written with its UPDATE (the silo totals follow in the same statement),
// shown in the cell and the cursor moved on.
void BM_CellEditProgram(benchmark::State& state)
{
    Plant& p = *g_plant;
    if (!p.loadDay(p.day)) return fail(state, "sheet not loaded");
    FlexGrid* g = p.w->MSflexGrid1();
    TextBox* e = p.w->TxtEdit();
    int i = 0;
    for (auto _ : state) {
        const int row = FlexGrid::FixedRows + i % 180;
        const QString value = QString::number(20 + (i++ % 150) / 10.0, 'f', 1);
        g->setRowCol(row, 1);
        p.w->editor().MsflexGridEdt(value.at(0).unicode());
        e->setText(value);
        QCoreApplication::processEvents(); // what moving there painted is not the edit's
        timed(state, "cell_edit/program", [&] {
            int k = KeyCodes::Enter;
            p.w->editor().editKeyDown(k, 0);
        });
        if (g->TextMatrix(row, 1).isEmpty() || e->isVisible())
            return fail(state, "the edit was not written");
    }
}

void BM_CellEditFloor(benchmark::State& state)
{
    Plant& p = *g_plant;
    const bool quien = p.history();
    const QString sql = p.sqlite.translate(Plant::cellUpdate(quien));
    const qint64 first = p.firstOfDay();
    for (int i = 0; auto _ : state) {
        const QVariantList v = p.bindable(p.cellUpdateValues(i++, quien, first));
        timed(state, "cell_edit/floor", [&] { p.floor.run(sql, v); });
    }
}

// NUEVO on a loaded sheet: the row inserted, its id read back, a grid row
// added and the editor opened on it.
void BM_NuevoProgram(benchmark::State& state)
{
    Plant& p = *g_plant;
    if (!p.loadDay(p.nuevoDay)) return fail(state, "sheet not loaded");
    for (auto _ : state) {
        qint64 id = 0;
        timed(state, "nuevo/program", [&] { id = p.w->commands().Nuevo(); });
        p.w->editor().cancelarEdicion();
        if (id <= 0) return fail(state, "no row added");
    }
    p.w->Reiniciar();
}

void BM_NuevoFloor(benchmark::State& state)
{
    Plant& p = *g_plant;
    QStringList cols{"Fecha", "responsable", "fecha_alta"};
    if (p.history()) cols << "modificado_por";
    const QString sql = p.sqlite.translate(p.sqlite.insertReturningId("v_mv_molvera", cols, "ID"));
    for (auto _ : state) {
        QVariantList v = p.bindable({QDateTime(p.nuevoDay, QTime(0, 0)), QStringLiteral("OPERADOR"),
                                     QDateTime::currentDateTime()});
        if (p.history()) v << QStringLiteral("OPERADOR");
        qint64 id = 0;
        timed(state, "nuevo/floor", [&] {
            p.floor.run(sql, v);
            id = p.floor.lastId();
        });
        if (id <= 0) return fail(state, "no row added");
    }
}

// ---------------------------------------------------------------- silos

void BM_SiloRefreshProgram(benchmark::State& state)
{
    Plant& p = *g_plant;
    p.w->SSTab1()->setCurrentIndex(1);
    QCoreApplication::processEvents();
    SiloPanel* panel = p.w->frmDepositos();
    for (auto _ : state)
        timed(state, "silo_refresh/program", [&] { panel->MostrarDepositos(true); });
    state.counters["silos"] = panel->count(SiloPanel::PicDeposito);
    if (panel->count(SiloPanel::PicDeposito) != 50) fail(state, "the panel does not show 50 silos");
    p.w->SSTab1()->setCurrentIndex(0);
}

void BM_SiloRefreshFloor(benchmark::State& state)
{
    Plant& p = *g_plant;
    for (auto _ : state)
        timed(state, "silo_refresh/floor", [&] {
            for (const char* sql : kSiloStatements)
                p.floor.run(QString::fromLatin1(sql));
        });
}

// ---------------------------------------------------------------- pick lists

// F4 in the seller column: the list of every seller entered is read and
// shown in the lookup window; the operator closes it.
void BM_SellerListProgram(benchmark::State& state)
{
    Plant& p = *g_plant;
    if (!p.loadDay(p.day)) return fail(state, "sheet not loaded");
    FlexGrid* g = p.w->MSflexGrid1();
    int listed = 0;
    for (auto _ : state) {
        g->setFocus();
        g->setRowCol(FlexGrid::FixedRows, 2);
        p.w->mCampoActivo = p.w->TxtEdit();
        double shownAt = 0;
        p.dialogs.execScripts << [&](QDialog* d) {
            shownAt = nowMs();
            auto* l = d->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
            listed = l ? l->topLevelItemCount() : -1;
            d->reject();
            return int(QDialog::Rejected);
        };
        // Timed from F4 to the list shown.
        const double t0 = nowMs();
        p.w->CmdConsultar(false);
        const double ms = shownAt - t0;
        g_samples["seller_list/program"].push_back(ms);
        state.SetIterationTime(ms / 1e3);
        p.w->editor().cancelarEdicion();
    }
    state.counters["sellers"] = listed;
    if (listed != 2000) fail(state, QStringLiteral("listed %1 sellers").arg(listed));
}

QString sellerStatement()
{
    QString sql, campo;
    FieldLookups::listaFija(QStringLiteral("VT_Vendedores"), sql, campo);
    return sql;
}

void BM_SellerListFloor(benchmark::State& state)
{
    Plant& p = *g_plant;
    const QString sql = p.sqlite.translate(sellerStatement());
    int rows = 0;
    for (auto _ : state)
        timed(state, "seller_list/floor", [&] { rows = p.floor.run(sql); });
    state.counters["sellers"] = rows;
}

// The lookup window over the intake rows of the last 10,000 loads of the
// history (taken when the run starts, so that the rows the benchmarks add
// and take out again are never among them).
QString tenThousandStatement(Plant& p)
{
    return QStringLiteral("SELECT vendedor, procedencia, camionero, silodestino FROM v_mv_molvera "
                          "WHERE ID >= %1 AND ID <= %2")
        .arg(p.tenThousandFrom)
        .arg(p.tenThousandTo);
}

std::unique_ptr<Lib_FrmCons3> lookupWindow(Plant& p, const QString& sql)
{
    auto f = std::make_unique<Lib_FrmCons3>(&p.data);
    f->Sql = sql;
    f->OrdenarPorLwv = true;
    f->show(); // the first show runs the load operation
    return f;
}

void BM_List10kProgram(benchmark::State& state)
{
    Plant& p = *g_plant;
    const QString sql = tenThousandStatement(p);
    int rows = 0;
    for (auto _ : state) {
        std::unique_ptr<Lib_FrmCons3> f;
        timed(state, "list_10k/program", [&] { f = lookupWindow(p, sql); });
        rows = f->ListView1()->topLevelItemCount();
    }
    state.counters["rows"] = rows;
    if (rows != 10000) fail(state, QStringLiteral("listed %1 rows").arg(rows));
}

void BM_List10kFloor(benchmark::State& state)
{
    Plant& p = *g_plant;
    const QString sql = p.sqlite.translate(tenThousandStatement(p));
    int rows = 0;
    for (auto _ : state)
        timed(state, "list_10k/floor", [&] { rows = p.floor.run(sql); });
    state.counters["rows"] = rows;
    if (rows != 10000) fail(state, QStringLiteral("read %1 rows").arg(rows));
}

// One more character typed in the first search box: the list moves to the
// first row that begins with the text.
void keystrokes(benchmark::State& state, const std::string& key, const QString& sql,
                const QString& prefix)
{
    Plant& p = *g_plant;
    auto f = lookupWindow(p, sql);
    QComboBox* box = f->CmbSearch(0);
    int i = 0;
    for (auto _ : state) {
        const QString typed = prefix + QChar(u'0' + (i++ % 10));
        box->setEditText(prefix);
        timed(state, key, [&] { box->setEditText(typed); });
    }
}

void BM_SellerKeystrokeProgram(benchmark::State& state)
{
    keystrokes(state, "seller_keystroke/program", sellerStatement(), QStringLiteral("Vendedor 19"));
}

void BM_Keystroke10kProgram(benchmark::State& state)
{
    keystrokes(state, "keystroke_10k/program", tenThousandStatement(*g_plant),
               QStringLiteral("Vendedor 19"));
}

// ---------------------------------------------------------------- report

// The reception report of the last full month from the report tab, written
// as PDF by the report engine.
void BM_MonthReportProgram(benchmark::State& state)
{
    Plant& p = *g_plant;
    p.w->Reiniciar();
    p.w->SSTab1()->setCurrentIndex(2);
    p.w->box(QStringLiteral("FechaDesde"))->setText(DateText::format(p.monthFrom));
    p.w->box(QStringLiteral("FechaHasta"))->setText(DateText::format(p.monthTo));
    const QString pdf = p.printer.engine.outputFile();
    for (auto _ : state) {
        QFile::remove(pdf);
        timed(state, "month_report/program", [&] { p.w->ImprimirReporte(); });
        if (!QFileInfo::exists(pdf) || p.dialogs.count("message") != 0)
            return fail(state, "no report written");
    }
    state.counters["pages"] = p.printer.engine.lastPageCount();
    p.w->SSTab1()->setCurrentIndex(0);
}

void BM_MonthReportFloor(benchmark::State& state)
{
    Plant& p = *g_plant;
    if (p.printer.last.reportName.isEmpty()) return fail(state, "the report did not run");
    QVariantList values;
    const QString sql = p.sqlite.translate(p.monthStatement(values));
    const QVariantList params = p.bindable(values);
    int rows = 0;
    for (auto _ : state)
        timed(state, "month_report/floor", [&] { rows = p.floor.run(sql, params); });
    state.counters["rows"] = rows;
}

// ---------------------------------------------------------------- database work

// The database work of each operation alone: the same statements with the
// same values through the program's data service (statement cache, bound
// values, rows read into a record set), against the same floor. What the
// window then makes of the rows is in the operation's own line above.
void BM_DbLoadDay(benchmark::State& state)
{
    Plant& p = *g_plant;
    const QString sql = DailySheet::sentenciaLectura("v_mv_molvera");
    const QVariantList bounds{QDateTime(p.day, QTime(0, 0)),
                              QDateTime(p.day.addDays(1), QTime(0, 0))};
    for (auto _ : state)
        timed(state, "db_load_day/program", [&] { p.data.openRecordSet(sql, bounds); });
}

void BM_DbCellEdit(benchmark::State& state)
{
    Plant& p = *g_plant;
    const bool quien = p.history();
    const QString sql = Plant::cellUpdate(quien);
    const qint64 first = p.firstOfDay();
    for (int i = 0; auto _ : state) {
        const QVariantList v = p.cellUpdateValues(i++, quien, first);
        timed(state, "db_cell_edit/program", [&] { p.data.execute(sql, v); });
    }
}

void BM_DbNuevo(benchmark::State& state)
{
    Plant& p = *g_plant;
    QStringList cols{"Fecha", "responsable", "fecha_alta"};
    if (p.history()) cols << "modificado_por";
    for (auto _ : state) {
        QVariantList v{QDateTime(p.nuevoDay, QTime(0, 0)), QStringLiteral("OPERADOR"),
                       QDateTime::currentDateTime()};
        if (p.history()) v << QStringLiteral("OPERADOR");
        timed(state, "db_nuevo/program",
              [&] { p.data.insertReturningId(QStringLiteral("v_mv_molvera"), cols, v); });
    }
}

void BM_DbSilos(benchmark::State& state)
{
    Plant& p = *g_plant;
    for (auto _ : state)
        timed(state, "db_silo_refresh/program", [&] {
            for (const char* sql : kSiloStatements)
                p.data.openRecordSet(QString::fromLatin1(sql));
        });
}

void BM_DbSellerList(benchmark::State& state)
{
    Plant& p = *g_plant;
    const QString sql = sellerStatement();
    for (auto _ : state)
        timed(state, "db_seller_list/program", [&] { p.data.openRecordSet(sql); });
}

void BM_DbList10k(benchmark::State& state)
{
    Plant& p = *g_plant;
    const QString sql = tenThousandStatement(p);
    int rows = 0;
    for (auto _ : state)
        timed(state, "db_list_10k/program",
              [&] { rows = p.data.openRecordSet(sql).recordCount(); });
    state.counters["rows"] = rows;
    if (rows != 10000) fail(state, QStringLiteral("read %1 rows").arg(rows));
}

void BM_DbMonth(benchmark::State& state)
{
    Plant& p = *g_plant;
    if (p.printer.last.reportName.isEmpty()) return fail(state, "the report did not run");
    QVariantList params;
    const QString sql = p.monthStatement(params);
    for (auto _ : state)
        timed(state, "db_month_report/program", [&] { p.data.openRecordSet(sql, params); });
}

// ---------------------------------------------------------------- the table

struct Line {
    const char* key;
    const char* label;
    double targetMs;                // median target (ratio target for the database work)
    double p99TargetMs = 0;         // p99 target, where there is one
    const char* floorKey = nullptr; // the floor of another line
};

const Line kLines[] = {
    {"startup", "start-up to first paint", 150},
    {"load_day", "load a day's sheet (180 rows)", 10},
    {"cell_edit", "one cell edit written (durable)", 1, 5},
    {"nuevo", "NUEVO (insert, id, grid row)", 2},
    {"silo_refresh", "silo panel refresh (50 silos)", 5},
    {"seller_list", "seller pick list open (2,000)", 150},
    {"seller_keystroke", "keystroke in the seller list", 5},
    {"list_10k", "lookup list of 10,000 rows", 60},
    {"keystroke_10k", "keystroke, 10,000 rows", 5},
    {"month_report", "report of one month to PDF", 1000},
    // The database work alone: program (data service) / floor under 1.5.
    {"db_load_day", "  db: a day's rows", 1.5, 0, "load_day"},
    {"db_cell_edit", "  db: one cell UPDATE", 1.5, 0, "cell_edit"},
    {"db_nuevo", "  db: insert with its id", 1.5, 0, "nuevo"},
    {"db_silo_refresh", "  db: silo figures", 1.5, 0, "silo_refresh"},
    {"db_seller_list", "  db: seller list", 1.5, 0, "seller_list"},
    {"db_list_10k", "  db: 10,000 rows", 1.5, 0, "list_10k"},
    {"db_month_report", "  db: a month's rows", 1.5, 0, "month_report"},
};

void printTable()
{
    std::printf("\n%-34s %10s %10s %10s %7s %10s  %s\n", "operation", "median ms", "p99 ms",
                "floor ms", "ratio", "target ms", "");
    for (const Line& l : kLines) {
        const auto prog = g_samples.find(std::string(l.key) + "/program");
        if (prog == g_samples.end() || prog->second.empty()) continue;
        const double med = quantile(prog->second, 0.5), p99 = quantile(prog->second, 0.99);
        const auto fl = g_samples.find(std::string(l.floorKey ? l.floorKey : l.key) + "/floor");
        const bool hasFloor = fl != g_samples.end() && !fl->second.empty();
        const double floorMed = hasFloor ? quantile(fl->second, 0.5) : 0;
        char floorText[32] = "-", ratioText[32] = "-", target[32];
        if (hasFloor) {
            std::snprintf(floorText, sizeof floorText, "%.3f", floorMed);
            std::snprintf(ratioText, sizeof ratioText, "%.2f", med / floorMed);
        }
        if (l.floorKey)
            std::snprintf(target, sizeof target, "ratio<%g", l.targetMs);
        else if (l.p99TargetMs > 0)
            std::snprintf(target, sizeof target, "%g/%g", l.targetMs, l.p99TargetMs);
        else
            std::snprintf(target, sizeof target, "%g", l.targetMs);
        const bool ok = l.floorKey
                            ? hasFloor && med / floorMed < l.targetMs
                            : med < l.targetMs && (l.p99TargetMs <= 0 || p99 < l.p99TargetMs);
        std::printf("%-34s %10.3f %10.3f %10s %7s %10s  %s (n=%zu)\n", l.label, med, p99, floorText,
                    ratioText, target, ok ? "ok" : "MISSED", prog->second.size());
    }
}

} // namespace

BENCHMARK(BM_StartupProgram)->Iterations(15)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartupFloor)->Iterations(15)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MonthReportProgram)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MonthReportFloor)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDayProgram)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDayFloor)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CellEditProgram)->Iterations(500)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CellEditFloor)->Iterations(500)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NuevoProgram)->Iterations(300)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NuevoFloor)->Iterations(300)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SiloRefreshProgram)->Iterations(300)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SiloRefreshFloor)->Iterations(300)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SellerListProgram)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SellerListFloor)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SellerKeystrokeProgram)
    ->Iterations(300)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_List10kProgram)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_List10kFloor)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Keystroke10kProgram)->Iterations(300)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DbLoadDay)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DbCellEdit)->Iterations(500)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DbNuevo)->Iterations(300)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DbSilos)->Iterations(300)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DbSellerList)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DbList10k)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DbMonth)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--floor-startup") == 0) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        return floorStartup(argc, argv, QString::fromLocal8Bit(argv[2]));
    }
    for (int i = 1; i + 1 < argc; ++i)
        if (qstrcmp(argv[i], "--db") == 0) {
            g_dbPath = QFileInfo(QString::fromLocal8Bit(argv[i + 1])).absoluteFilePath();
            for (int j = i; j + 2 <= argc; ++j)
                argv[j] = argv[j + 2];
            argc -= 2;
            break;
        }
    if (g_dbPath.isEmpty() || !QFileInfo::exists(g_dbPath)) {
        std::fprintf(stderr, "usage: bench_plant --db FILE [benchmark flags]  (FILE made by "
                             "molvera_gen)\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
    // The off-screen platform says so on every window raised; nothing else
    // is kept back.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
        if (!m.contains(QLatin1String("does not support raise")))
            std::fprintf(stderr, "%s\n", qPrintable(m));
    });
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    int rc = 0;
    {
        auto plant = std::make_unique<Plant>();
        g_plant = plant.get();
        try {
            benchmark::RunSpecifiedBenchmarks();
        } catch (const ServiceError& e) {
            std::fprintf(stderr, "bench_plant: %s\n", qPrintable(e.description()));
            rc = 1;
        }
        plant->tidy();
        g_plant = nullptr;
    }
    benchmark::Shutdown();
    printTable();
    // A benchmark that went wrong measured something else: said at the end.
    for (const std::string& why : g_failed)
        std::printf("FAILED: %s\n", why.c_str());
    return g_failed.empty() ? rc : 1;
}
