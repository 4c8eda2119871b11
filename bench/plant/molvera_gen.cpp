// molvera_gen: builds the database of a busy plant for the benchmarks.
//
//   molvera_gen [--rows N] [--busy-day N] [--out FILE] [--force]
//   molvera_gen [--rows N] [--busy-day N] --dsn DSN [--user U] [--password P]
//
// --busy-day N raises the last full day of the history to N loads (a port
// terminal's harvest day): the rows it adds follow the same rule, numbered
// after the others.
//
// About 180 truckloads a day from 2011-01-01 on (1,000,000 rows are fifteen
// years), 2,000 sellers, 800 truckers, 300 places of origin and 50 silos.
// The embedded file is made by the program's data service, so it carries the
// program's own schema, triggers and starter rows; the rows then go in with
// one INSERT ... WITH RECURSIVE (generate_series on PostgreSQL) in one
// transaction. The silo totals are kept by the schema's triggers as the rows
// go in, as they are in use. The values follow from the row number only, so
// two runs build the same database.
#include "DataService.h"
#include "EmbeddedSchema.h"
#include "ServiceError.h"
#include "SqlScript.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <cstdio>

namespace
{

constexpr int kPerDay = 180;
constexpr int kSellers = 2000;
constexpr int kTruckers = 800;
constexpr int kOrigins = 300;
constexpr int kSilos = 50;

// The value expressions of one intake row, given its number x (0..N-1) and
// its day d as an expression giving 'yyyy-MM-dd'. Written once for both
// databases: only integer arithmetic, printf/format, CASE and concatenation.
struct Dialect {
    QString day;    // 'yyyy-MM-dd' of row x
    QString stamp;  // a date-time from a day text and a time text
    QString fmt4;   // four digits
    QString fmt3;   // three digits
    QString source; // the row numbers
};

QString rowSelect(const Dialect& d)
{
    // Texts are joined, not formatted: the statement has printf patterns and
    // modulo signs of its own.
    auto fill = [](QString pattern, const QString& value) {
        return pattern.replace(QStringLiteral("%1"), value);
    };
    auto stamp = [&](const char* time) {
        return QString(d.stamp)
            .replace(QStringLiteral("%1"), d.day)
            .replace(QStringLiteral("%2"), QLatin1String(time));
    };
    const QString h = QStringLiteral("((x * 2654435761) % 4294967296)");
    const QString n = QString::number(kSellers), t = QString::number(kTruckers);
    return QStringLiteral("SELECT ") + stamp("'00:00:00'") + QStringLiteral(", 'OPERADOR', ") +
           stamp("'08:00:00'") + QStringLiteral(", NULL, 20 + (") + h +
           QStringLiteral(" % 15001) / 1000.0, 'Vendedor ' || ") +
           fill(d.fmt4, QStringLiteral("1 + (x * 7919) % ") + n) +
           QStringLiteral(", 'Localidad ' || (1 + (x * 31) % ") + QString::number(kOrigins) +
           QStringLiteral("), 'Transportes ' || ") +
           fill(d.fmt3, QStringLiteral("1 + (x * 104729) % ") + t) + QStringLiteral(", 25 + (") +
           h + QStringLiteral(" % 97) / 10.0, 8 + (") + h + QStringLiteral(" % 43) / 10.0, CASE ") +
           h +
           QStringLiteral(" % 4 WHEN 0 THEN 'Bueno' WHEN 1 THEN 'Muy bueno' WHEN 2 THEN "
                          "'Regular' ELSE 'Tenaz' END, 280 + ") +
           h + QStringLiteral(" % 140, 11 + (") + h + QStringLiteral(" % 45) / 10.0, 74 + (") + h +
           QStringLiteral(" % 80) / 10.0, ") +
           fill(d.fmt4, QStringLiteral("1 + (x * 13) % ") + QString::number(kSilos)) +
           QStringLiteral(", CASE WHEN x % 11 = 0 THEN 'Muestra enviada al laboratorio' END "
                          "FROM ") +
           d.source;
}

const char* kColumns = "(Fecha, responsable, fecha_alta, fecha_modificacion, Toneladas, vendedor, "
                       "procedencia, camionero, humedo, seco, caracteristicas, fallingnumber, "
                       "humedad, pesohect, silodestino, observaciones)";

void exec(DataService& data, const QString& sql)
{
    QSqlQuery q(data.database());
    if (!q.exec(sql))
        throw ServiceError(ServiceError::Database,
                           q.lastError().text() + QStringLiteral("\n") + sql.left(400));
}

void deposits(DataService& data)
{
    exec(data, QStringLiteral("DELETE FROM ta_deposito"));
    for (int i = 1; i <= kSilos; ++i)
        data.execute(QStringLiteral("INSERT INTO ta_deposito (iddeposito, descripcion, capacidad) "
                                    "VALUES (?, ?, ?)"),
                     {QStringLiteral("%1").arg(i, 4, 10, QChar(u'0')),
                      QStringLiteral("Silo %1").arg(i), 500000.0 + 20000.0 * (i % 10)});
}

// The last full day of `rows` loads at 180 a day, counted from 2011-01-01;
// --busy-day raises it to `busy` loads with rows numbered after the others.
qint64 busyDay(qint64 rows)
{
    return rows / kPerDay - 1;
}

int sqlite(const QString& out, qint64 rows, int busy, bool force)
{
    if (QFile::exists(out)) {
        if (!force) {
            std::fprintf(stderr, "molvera_gen: %s exists (--force replaces it)\n", qPrintable(out));
            return 2;
        }
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(out + QLatin1String(suffix));
    }
    DataService data(QStringLiteral("gen"));
    data.setDatabaseName(out);
    data.open(true); // a new file: the program's schema and starter rows
    if (!data.isOpen()) {
        std::fprintf(stderr, "molvera_gen: %s\n", qPrintable(data.openError()));
        return 1;
    }
    // Only while building: a lost build is built again.
    exec(data, QStringLiteral("PRAGMA synchronous=OFF"));
    exec(data, QStringLiteral("PRAGMA cache_size=-262144"));
    // The indexes of the intake table are dropped for the load and made again
    // from their own definitions afterwards (one sort each instead of a
    // million scattered inserts).
    QStringList names, indexes;
    {
        QSqlQuery q(data.database());
        q.exec(QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'index' AND "
                              "tbl_name = 'mv_molvera' AND sql IS NOT NULL"));
        while (q.next()) {
            names << q.value(0).toString();
            indexes << q.value(1).toString();
        }
    }
    for (const QString& name : names)
        exec(data, QStringLiteral("DROP INDEX ") + name);
    const Dialect d{QStringLiteral("date('2011-01-01', '+' || (x / %1) || ' days')").arg(kPerDay),
                    QStringLiteral("(%1 || ' ' || %2)"), QStringLiteral("printf('%04d', %1)"),
                    QStringLiteral("printf('%03d', %1)"), QStringLiteral("n")};
    data.database().transaction();
    deposits(data);
    exec(data, QStringLiteral("INSERT INTO mv_molvera ") + QLatin1String(kColumns) +
                   QStringLiteral(" WITH RECURSIVE n(x) AS (SELECT 0 UNION ALL SELECT x + 1 "
                                  "FROM n WHERE x < ") +
                   QString::number(rows - 1) + QStringLiteral(") ") + rowSelect(d));
    if (busy > kPerDay) {
        Dialect b = d;
        b.day = QStringLiteral("date('2011-01-01', '+%1 days')").arg(busyDay(rows));
        exec(data, QStringLiteral("INSERT INTO mv_molvera ") + QLatin1String(kColumns) +
                       QStringLiteral(" WITH RECURSIVE n(x) AS (SELECT %1 UNION ALL SELECT x + 1 "
                                      "FROM n WHERE x < %2) ")
                           .arg(rows)
                           .arg(rows + busy - kPerDay - 1) +
                       rowSelect(b));
    }
    for (const QString& ix : indexes)
        exec(data, ix);
    if (!data.database().commit()) throw ServiceError(ServiceError::Database, "commit failed");
    exec(data, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    return 0;
}

int postgres(const QString& dsn, const QString& user, const QString& password, qint64 rows,
             int busy)
{
    DataService data(QStringLiteral("gen"));
    data.setDatabaseName(dsn);
    data.setUser(user);
    data.setPassword(password);
    data.setServer(QStringLiteral("gen"));
    data.setSchemaCheck(false);
    data.open(false);
    if (!data.isOpen()) {
        std::fprintf(stderr, "molvera_gen: %s\n", qPrintable(data.openError()));
        return 1;
    }
    if (data.dialect().kind() != SqlDialect::Kind::PostgreSQL) {
        std::fprintf(stderr, "molvera_gen: the data source is no PostgreSQL database\n");
        return 1;
    }
    if (!data.hasSchema()) data.createSchema();
    const Dialect d{
        QStringLiteral("to_char(DATE '2011-01-01' + (x / %1)::int, 'YYYY-MM-DD')").arg(kPerDay),
        QStringLiteral("(%1 || ' ' || %2)::timestamp"), QStringLiteral("lpad((%1)::text, 4, '0')"),
        QStringLiteral("lpad((%1)::text, 3, '0')"),
        QStringLiteral("generate_series(0::bigint, %1::bigint) AS n(x)").arg(rows - 1)};
    // The schema's own statements that count the rows already there into the
    // kept silo totals.
    QStringList totals;
    for (const QString& st : SqlScript::split(embeddedSchema(QStringLiteral("postgres")))) {
        const QString head = st.trimmed().left(60).toLower();
        if (head.startsWith(QLatin1String("insert into mv_molvera_silo_total")) ||
            head.startsWith(QLatin1String("insert into mv_molvera_silo_calidad")))
            totals << st;
    }
    if (totals.size() != 2) {
        std::fprintf(stderr, "molvera_gen: the schema's totals statements were not found\n");
        return 1;
    }
    QSqlDatabase db = data.database();
    db.transaction();
    // Row by row, the triggers would update the same fifty totals rows a
    // million times (each update a new row version on PostgreSQL: hours).
    // They are off for the load, and the totals are counted once afterwards
    // by the schema's statements, so they are the figures the triggers keep.
    // The generated past has no change history.
    exec(data, QStringLiteral("ALTER TABLE mv_molvera DISABLE TRIGGER USER"));
    exec(data, QStringLiteral("DELETE FROM mv_molvera"));
    exec(data, QStringLiteral("DELETE FROM mv_molvera_silo_total"));
    exec(data, QStringLiteral("DELETE FROM mv_molvera_silo_calidad"));
    exec(data, QStringLiteral("DELETE FROM mv_molvera_historial"));
    deposits(data);
    // The row statement is written for both databases; on PostgreSQL the
    // row numbers come from the series itself.
    exec(data,
         QStringLiteral("INSERT INTO mv_molvera ") + QLatin1String(kColumns) + u' ' + rowSelect(d));
    if (busy > kPerDay) {
        Dialect b = d;
        b.day = QStringLiteral("to_char(DATE '2011-01-01' + %1, 'YYYY-MM-DD')").arg(busyDay(rows));
        b.source = QStringLiteral("generate_series(%1::bigint, %2::bigint) AS n(x)")
                       .arg(rows)
                       .arg(rows + busy - kPerDay - 1);
        exec(data, QStringLiteral("INSERT INTO mv_molvera ") + QLatin1String(kColumns) + u' ' +
                       rowSelect(b));
    }
    for (const QString& st : totals)
        exec(data, st);
    exec(data, QStringLiteral("ALTER TABLE mv_molvera ENABLE TRIGGER USER"));
    if (!db.commit()) throw ServiceError(ServiceError::Database, db.lastError().text());
    exec(data, QStringLiteral("ANALYZE mv_molvera"));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qint64 rows = 1000000;
    int busy = 0;
    QString out = QStringLiteral("/tmp/molvera-plant.db"), dsn, user, password;
    bool force = false;
    const QStringList a = app.arguments();
    for (int i = 1; i < a.size(); ++i) {
        auto next = [&] { return i + 1 < a.size() ? a.at(++i) : QString(); };
        if (a[i] == QLatin1String("--rows"))
            rows = next().toLongLong();
        else if (a[i] == QLatin1String("--busy-day"))
            busy = next().toInt();
        else if (a[i] == QLatin1String("--out"))
            out = next();
        else if (a[i] == QLatin1String("--dsn"))
            dsn = next();
        else if (a[i] == QLatin1String("--user"))
            user = next();
        else if (a[i] == QLatin1String("--password"))
            password = next();
        else if (a[i] == QLatin1String("--force"))
            force = true;
        else {
            std::fprintf(stderr, "usage: molvera_gen [--rows N] [--busy-day N] [--out FILE] [--force] | "
                                 "[--rows N] [--busy-day N] --dsn DSN [--user U] [--password P]\n");
            return 2;
        }
    }
    if (rows < kSellers) {
        std::fprintf(stderr, "molvera_gen: at least %d rows\n", kSellers);
        return 2;
    }
    QElapsedTimer t;
    t.start();
    int rc = 0;
    try {
        rc = dsn.isEmpty() ? sqlite(out, rows, busy, force)
                           : postgres(dsn, user, password, rows, busy);
    } catch (const ServiceError& e) {
        std::fprintf(stderr, "molvera_gen: %s\n", qPrintable(e.description()));
        return 1;
    }
    if (rc == 0 && busy > kPerDay)
        std::printf("molvera_gen: %s raised to %d loads\n",
                    qPrintable(QDate(2011, 1, 1).addDays(busyDay(rows)).toString(Qt::ISODate)),
                    busy);
    if (rc == 0)
        std::printf("molvera_gen: %lld intake rows (%d a day), %d sellers, %d truckers, %d silos "
                    "into %s in %.1f s\n",
                    rows, kPerDay, kSellers, kTruckers, kSilos,
                    qPrintable(dsn.isEmpty() ? out : QStringLiteral("DSN ") + dsn),
                    t.nsecsElapsed() / 1e9);
    return rc;
}
