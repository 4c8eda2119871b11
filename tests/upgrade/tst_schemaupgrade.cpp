// Databases of earlier schemas, built from the SQL texts beside this file,
// opened by the program: brought up to date in one transaction with every row
// kept, the change history recording edits from then on, the kept silo sums
// counted again in grams and equal to the rows. A database newer than the
// program is refused and left as it is. Runs on the embedded database and,
// labelled db, on PostgreSQL.
#include "DataService.h"
#include "SchemaUpgrade.h"
#include "ServiceError.h"
#include "SiloCaption.h"
#include "SiloFigures.h"
#include "SqlScript.h"
#include "TestDb.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace
{

QString fixture(const QString& name)
{
    QString dir = qEnvironmentVariable("MOLVERA_SOURCE_DIR");
    if (dir.isEmpty()) dir = QStringLiteral(MOLVERA_ROOT);
    QFile f(dir + QStringLiteral("/tests/upgrade/") + name);
    if (!f.open(QIODevice::ReadOnly)) qFatal("fixture %s missing", qPrintable(f.fileName()));
    return QString::fromUtf8(f.readAll());
}

// Every row of a table, each as its values in text, ordered by all columns.
QStringList rowsOf(QSqlDatabase db, const QString& table, const QStringList& columns)
{
    QSqlQuery q(db);
    const QString cols = columns.join(QStringLiteral(", "));
    if (!q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %1").arg(cols, table)))
        qFatal("%s: %s", qPrintable(table), qPrintable(q.lastError().text()));
    QStringList out;
    while (q.next()) {
        QStringList r;
        for (int i = 0; i < columns.size(); ++i) {
            const QVariant v = q.value(i);
            r << (v.isNull() ? QStringLiteral("<null>") : v.toString());
        }
        out << r.join(u'|');
    }
    return out;
}

const QStringList kIntake{
    "ID",          "Fecha",           "responsable",   "fecha_alta", "fecha_modificacion",
    "Toneladas",   "vendedor",        "procedencia",   "camionero",  "humedo",
    "seco",        "caracteristicas", "fallingnumber", "humedad",    "pesohect",
    "silodestino", "observaciones"};

// What the upgrade must keep, table by table.
QMap<QString, QStringList> snapshot(QSqlDatabase db, bool withHistory)
{
    QMap<QString, QStringList> s;
    s["mv_molvera"] = rowsOf(db, "mv_molvera", kIntake);
    s["ta_deposito"] = rowsOf(db, "ta_deposito", {"iddeposito", "descripcion", "capacidad"});
    s["ta_usuarios"] = rowsOf(db, "ta_usuarios", {"nombre", "sistema"});
    s["ta_provincias"] = rowsOf(db, "ta_provincias", {"DESCRIPCION"});
    s["ta_configuracion"] = rowsOf(db, "ta_configuracion", {"CLAVE", "VALOR"});
    if (withHistory)
        s["mv_molvera_historial"] = rowsOf(db, "mv_molvera_historial",
                                           {"ID", "id_registro", "fecha_cambio", "usuario",
                                            "operacion", "campo", "valor_anterior", "valor_nuevo"});
    return s;
}

} // namespace

class TstSchemaUpgrade : public QObject
{
    Q_OBJECT

    // A database made from the fixture `name` ("v1", "v2"): a file in the
    // scratch folder, or the test's own schema on the server (emptied
    // first). Answers the rows it holds before any upgrade.
    QMap<QString, QStringList> build(TestDb& db, const QString& name, QString* embeddedPath)
    {
        const QString script = fixture(name + (db.onServer() ? QStringLiteral("-postgres.sql")
                                                             : QStringLiteral("-sqlite.sql")));
        QMap<QString, QStringList> before;
        if (db.onServer()) {
            DataService& d = db.data();
            const QString schema =
                d.openRecordSet(QStringLiteral("SELECT current_schema()")).value(0).toString();
            d.execute(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(schema));
            d.execute(QStringLiteral("CREATE SCHEMA %1").arg(schema));
            d.executeScript(script);
            before = snapshot(d.database(), name != QLatin1String("v1"));
            return before;
        }
        *embeddedPath = QDir(m_dir.path()).filePath(name + QStringLiteral(".db"));
        QFile::remove(*embeddedPath);
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fixture");
            raw.setDatabaseName(*embeddedPath);
            if (!raw.open()) qFatal("fixture db: %s", qPrintable(raw.lastError().text()));
            for (const QString& st : SqlScript::split(script)) {
                QSqlQuery q(raw);
                if (!q.exec(st))
                    qFatal("fixture %s: %s\n%s", qPrintable(name), qPrintable(q.lastError().text()),
                           qPrintable(st));
            }
            before = snapshot(raw, name != QLatin1String("v1"));
            QSqlQuery wal(raw);
            if (!wal.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) qFatal("fixture: no WAL");
            wal.finish();
            raw.close();
        }
        QSqlDatabase::removeDatabase("fixture");
        return before;
    }

    // The program's own connection to that database, as a desk opens it.
    std::unique_ptr<DataService> open(TestDb& db, const QString& embeddedPath,
                                      const QString& connection = QStringLiteral("desk"))
    {
        if (db.onServer()) {
            auto d = std::make_unique<DataService>(connection);
            const QString schema = db.data()
                                       .openRecordSet(QStringLiteral("SELECT current_schema()"))
                                       .value(0)
                                       .toString();
            d->setServer(QStringLiteral("test"));
            d->setDatabaseName(QStringLiteral("%1;ConnSettings=SET search_path TO %2")
                                   .arg(TestDb::serverDsn(), schema));
            d->setUser(qEnvironmentVariable("MOLVERA_TEST_ODBC_USER"));
            d->setPassword(qEnvironmentVariable("MOLVERA_TEST_ODBC_PASSWORD"));
            d->open(false);
            return d;
        }
        auto d = std::make_unique<DataService>(connection);
        d->setDatabaseName(embeddedPath);
        d->open(true);
        return d;
    }

    static QVariant scalar(DataService& d, const QString& sql, const QVariantList& p = {})
    {
        RecordSet rs = d.openRecordSet(sql, p);
        return rs.bof() ? QVariant() : rs.value(0);
    }

    // The kept silo sums against the rows, silo by silo.
    static void keptSumsEqualTheRows(DataService& d)
    {
        RecordSet rows = d.openRecordSet(QStringLiteral(
            "SELECT silodestino, Toneladas, humedad, pesohect, fallingnumber FROM mv_molvera "
            "WHERE silodestino IS NOT NULL AND Toneladas IS NOT NULL"));
        QMap<QString, qint64> gramos, humedad;
        QMap<QString, int> cargas;
        for (const auto& r : rows.rows()) {
            const qint64 g = qRound64(r.at(1).toDouble() * 1000000);
            gramos[r.at(0).toString()] += g;
            cargas[r.at(0).toString()] += 1;
            if (r.at(1).toDouble() > 0 && r.at(2).toDouble() > 0)
                humedad[r.at(0).toString()] += g * qRound64(r.at(2).toDouble() * 100);
        }
        QVERIFY(!gramos.isEmpty());
        RecordSet kept = d.openRecordSet(
            QStringLiteral("SELECT silodestino, gramos, cargas FROM mv_molvera_silo_total"));
        QMap<QString, qint64> keptGramos;
        for (const auto& r : kept.rows())
            if (r.at(2).toInt() != 0) {
                keptGramos[r.at(0).toString()] = r.at(1).toLongLong();
                QCOMPARE(r.at(2).toInt(), cargas.value(r.at(0).toString()));
            }
        QCOMPARE(keptGramos, gramos);
        for (auto it = humedad.cbegin(); it != humedad.cend(); ++it)
            QCOMPARE(scalar(d,
                            "SELECT humedad_gramos FROM mv_molvera_silo_calidad WHERE "
                            "silodestino = ?",
                            {it.key()})
                         .toLongLong(),
                     it.value());
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void upgradesKeepEveryRow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("version");
        QTest::newRow("before the history") << "v1" << 1;
        QTest::newRow("before the version table") << "v2" << 2;
    }
    void upgradesKeepEveryRow()
    {
        QFETCH(QString, name);
        QFETCH(int, version);
        TestDb db;
        QString path;
        QMap<QString, QStringList> before = build(db, name, &path);
        QCOMPARE(before.value("mv_molvera").size(), 8);

        auto d = open(db, path);
        QVERIFY2(d->isOpen(), qPrintable(d->openError()));
        QCOMPARE(SchemaUpgrade(*d).version(), SchemaUpgrade::kCurrent);

        // Every row kept; the limits the plant had are kept, the missing
        // ones seeded only where the database had none yet (version 1).
        QMap<QString, QStringList> after = snapshot(d->database(), version > 1);
        QStringList config = before.take("ta_configuracion");
        QStringList configAfter = after.take("ta_configuracion");
        QCOMPARE(after, before);
        if (version == 1) {
            QVERIFY(configAfter.contains("LIMITE_HUMEDAD_MAX|13.5")); // the plant's own
            for (const char* seeded :
                 {"LIMITE_PESOHECT_MIN|76", "LIMITE_FALLINGNUMBER_MIN|250", "LIMITE_HUMEDO_MIN|25"})
                config << QString::fromLatin1(seeded);
            config.sort();
        }
        QCOMPARE(configAfter, config);
        QVERIFY(configAfter.contains(QStringLiteral("NOMBRE|Molinos del Puerto S.R.L.")));

        // The sums kept in grams, counted again from the rows: four loads of
        // 0.3333 t read 1.3332 t, as the rows add up.
        keptSumsEqualTheRows(*d);
        if (QTest::currentTestFailed()) return;
        QCOMPARE(scalar(*d, "SELECT gramos FROM mv_molvera_silo_total WHERE silodestino = '0002'")
                     .toLongLong(),
                 Q_INT64_C(1333200));
        SiloFigures figures(*d);
        const QVector<SiloFigure> silos = figures.read();
        QVERIFY(figures.usingKeptTotals());
        QCOMPARE(silos.at(1).iddeposito, QStringLiteral("0002"));
        QCOMPARE(SiloCaption::number(silos.at(1).usado), QStringLiteral("1.3332"));
        QCOMPARE(SiloCaption::number(silos.at(1).usado),
                 SiloCaption::number(scalar(
                     *d, "SELECT SUM(Toneladas) FROM mv_molvera WHERE silodestino = '0002'")));

        // From now on an edit is recorded in the history and kept in the sums.
        const qint64 historyBefore =
            scalar(*d, "SELECT COUNT(*) FROM mv_molvera_historial").toLongLong();
        d->execute(QStringLiteral("UPDATE v_mv_molvera SET vendedor = ?, Toneladas = ?, "
                                  "modificado_por = ? WHERE ID = ?"),
                   {QStringLiteral("Nuevo Vendedor"), 0.25, QStringLiteral("AUDITOR"), 8});
        RecordSet h = d->openRecordSet(QStringLiteral(
            "SELECT usuario, operacion, campo, valor_anterior, valor_nuevo FROM "
            "mv_molvera_historial WHERE id_registro = 8 AND operacion = 'MODIFICACION' "
            "ORDER BY campo"));
        QCOMPARE(h.recordCount(), 2);
        QCOMPARE(h.rows().at(0).at(2).toString(), QStringLiteral("toneladas"));
        QCOMPARE(h.rows().at(1).at(2).toString(), QStringLiteral("vendedor"));
        QVERIFY(h.rows().at(1).at(3).isNull());
        QCOMPARE(h.rows().at(1).at(4).toString(), QStringLiteral("Nuevo Vendedor"));
        QCOMPARE(h.rows().at(1).at(0).toString(), QStringLiteral("AUDITOR"));
        QCOMPARE(scalar(*d, "SELECT COUNT(*) FROM mv_molvera_historial").toLongLong(),
                 historyBefore + 2);
        const qint64 id = d->insertReturningId(
            QStringLiteral("v_mv_molvera"), {"Fecha", "Toneladas", "silodestino", "modificado_por"},
            {QDateTime(QDate(2024, 3, 18), QTime()), 0.3333, QStringLiteral("0002"),
             QStringLiteral("AUDITOR")});
        QVERIFY(id > 34);
        keptSumsEqualTheRows(*d);
        // The settlement: wheat's moisture rule, no grade yet, nothing
        // computed for the loads received before.
        QCOMPARE(scalar(*d, "SELECT tolerancia FROM ta_liquidacion").toDouble(), 14.0);
        QCOMPARE(scalar(*d, "SELECT COUNT(*) FROM ta_grado").toInt(), 0);
        QCOMPARE(scalar(*d, "SELECT COUNT(*) FROM mv_molvera WHERE kg_netos IS NOT NULL").toInt(),
                 0);
        // The weighings (with their operator) and the analyzer's readings
        // are there, empty.
        QVERIFY(d->tableHasColumn(QStringLiteral("mv_molvera_pesada"), QStringLiteral("usuario")));
        QCOMPARE(scalar(*d, "SELECT COUNT(*) FROM mv_molvera_pesada").toInt(), 0);
        QVERIFY(d->tableHasColumn(QStringLiteral("mv_molvera_lectura"), QStringLiteral("linea")));

        if (!db.onServer()) {
            QCOMPARE(scalar(*d, "PRAGMA integrity_check").toString(), QStringLiteral("ok"));
            QCOMPARE(scalar(*d, "PRAGMA foreign_key_check").isNull(), true);
        }
        // Opened again: nothing more to do, nothing changed.
        const QMap<QString, QStringList> settled = snapshot(d->database(), true);
        d.reset();
        auto again = open(db, path, QStringLiteral("again"));
        QVERIFY2(again->isOpen(), qPrintable(again->openError()));
        QCOMPARE(snapshot(again->database(), true), settled);
    }

    // Databases of version 3 (before the weighings) and 4 (weighings that
    // could be deleted, without their operator), made from the current
    // schema by taking away what the later versions brought: brought up to
    // date with every row and weighing kept; from then on a weighing or an
    // analyzer reading is neither changed nor deleted, and a deleted load's
    // history names its weighings.
    void olderWeighingsAreKeptForGood_data()
    {
        QTest::addColumn<int>("version");
        QTest::newRow("version 3") << 3;
        QTest::newRow("version 4") << 4;
    }
    void olderWeighingsAreKeptForGood()
    {
        QFETCH(int, version);
        TestDb db;
        DataService& made = db.data();
        const bool pg = db.onServer();
        const qint64 id = made.insertReturningId(
            QStringLiteral("v_mv_molvera"), {"Fecha", "Toneladas", "silodestino", "modificado_por"},
            {QDateTime(QDate(2024, 3, 15), QTime()), 17.12, QStringLiteral("0001"),
             QStringLiteral("ANA")});
        const QString script = made.schemaScript();
        for (const char* later : {"ledger", "readings"})
            for (const QString& drop :
                 SchemaUpgrade::dropsFor(SchemaUpgrade::section(script, QLatin1String(later)), pg))
                made.execute(drop);
        if (version == 3) {
            made.execute(QStringLiteral("DROP TABLE mv_molvera_pesada"));
        } else {
            // Version 4's weighings: no operator, a guard against updates only.
            made.execute(QStringLiteral("ALTER TABLE mv_molvera_pesada DROP COLUMN usuario"));
            if (pg) {
                made.execute(QStringLiteral(
                    "CREATE FUNCTION fn_mv_molvera_pesada_fija() RETURNS trigger LANGUAGE plpgsql "
                    "AS $$ BEGIN RAISE EXCEPTION 'Una pesada registrada no se modifica.'; END; "
                    "$$"));
                made.execute(QStringLiteral(
                    "CREATE TRIGGER tr_mv_molvera_pesada_fija BEFORE UPDATE ON mv_molvera_pesada "
                    "FOR EACH ROW EXECUTE FUNCTION fn_mv_molvera_pesada_fija()"));
            } else {
                made.execute(QStringLiteral(
                    "CREATE TRIGGER tr_mv_molvera_pesada_fija BEFORE UPDATE ON mv_molvera_pesada "
                    "BEGIN SELECT RAISE(ABORT, 'Una pesada registrada no se modifica.'); END"));
            }
            for (const auto& [tipo, kilos] : {std::pair{"BRUTO", 28340}, {"TARA", 11220}})
                made.execute(
                    QStringLiteral("INSERT INTO mv_molvera_pesada (id_registro, tipo, "
                                   "kilos, fecha, estacion, instrumento, linea) VALUES "
                                   "(?, ?, ?, ?, 'DESK1', 'Balanza', 'ST,GS,+0kg')"),
                    {id, QLatin1String(tipo), kilos, QDateTime(QDate(2024, 3, 15), QTime(9, 30))});
            // What version 4 let through.
            made.execute(QStringLiteral("DELETE FROM mv_molvera_pesada WHERE tipo = 'TARA'"));
            made.execute(QStringLiteral("INSERT INTO mv_molvera_pesada (id_registro, tipo, kilos, "
                                        "fecha) VALUES (?, 'TARA', 11220, ?)"),
                         {id, QDateTime(QDate(2024, 3, 15), QTime(9, 50))});
        }
        made.execute(QStringLiteral("UPDATE mv_molvera_version SET version = ?"), {version});
        QCOMPARE(SchemaUpgrade(made).version(), version);
        const QMap<QString, QStringList> before = snapshot(made.database(), true);
        const QStringList weighingColumns{"ID",    "id_registro", "tipo",        "kilos",
                                          "fecha", "estacion",    "instrumento", "linea"};
        const QStringList weighings =
            version == 4 ? rowsOf(made.database(), "mv_molvera_pesada", weighingColumns)
                         : QStringList();

        auto d = open(db, db.path());
        QVERIFY2(d->isOpen(), qPrintable(d->openError()));
        QCOMPARE(SchemaUpgrade(*d).version(), SchemaUpgrade::kCurrent);
        QCOMPARE(snapshot(d->database(), true), before);
        QCOMPARE(rowsOf(d->database(), "mv_molvera_pesada", weighingColumns), weighings);
        QCOMPARE(rowsOf(d->database(), "mv_molvera_pesada", {"usuario"}),
                 QStringList(weighings.size(), QStringLiteral("<null>")));

        d->execute(QStringLiteral("INSERT INTO mv_molvera_pesada (id_registro, tipo, kilos, fecha, "
                                  "estacion, instrumento, linea, usuario) VALUES (?, 'BRUTO', "
                                  "28400, ?, 'DESK1', 'Balanza', 'ST,GS,+028400kg', 'LUIS')"),
                   {id, QDateTime(QDate(2024, 3, 15), QTime(10, 0))});
        d->execute(QStringLiteral("INSERT INTO mv_molvera_lectura (id_registro, fecha, humedad, "
                                  "linea, usuario) VALUES (?, ?, 12.8, 'H=12.8', 'LUIS')"),
                   {id, QDateTime(QDate(2024, 3, 15), QTime(10, 5))});
        const int kept = weighings.size() + 1;
        for (const char* table : {"mv_molvera_pesada", "mv_molvera_lectura"}) {
            QVERIFY_THROWS_EXCEPTION(
                ServiceError,
                d->execute(QStringLiteral("UPDATE %1 SET linea = 'x'").arg(QLatin1String(table))));
            QVERIFY_THROWS_EXCEPTION(
                ServiceError,
                d->execute(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table))));
        }
        QCOMPARE(scalar(*d, "SELECT COUNT(*) FROM mv_molvera_pesada").toInt(), kept);
        QCOMPARE(scalar(*d, "SELECT COUNT(*) FROM mv_molvera_lectura").toInt(), 1);
        QVERIFY_THROWS_EXCEPTION(
            ServiceError, d->execute(QStringLiteral("INSERT INTO mv_molvera_pesada (id_registro, "
                                                    "tipo, kilos, fecha) VALUES (1, 'NETO', 1, ?)"),
                                     {QDateTime::currentDateTime()}));

        // The load deleted: its weighings stay, named in its deletion.
        d->execute(QStringLiteral("UPDATE v_mv_molvera SET modificado_por = 'JEFE' WHERE ID = ?"),
                   {id});
        d->execute(QStringLiteral("DELETE FROM v_mv_molvera WHERE ID = ?"), {id});
        QCOMPARE(scalar(*d, "SELECT COUNT(*) FROM mv_molvera_pesada WHERE id_registro = ?", {id})
                     .toInt(),
                 kept);
        RecordSet h = d->openRecordSet(
            QStringLiteral("SELECT campo, usuario, valor_anterior FROM mv_molvera_historial WHERE "
                           "id_registro = ? AND operacion = 'BAJA' AND campo IN ('pesada', "
                           "'lectura') ORDER BY ID"),
            {id});
        QStringList named;
        for (const auto& r : h.rows()) {
            QCOMPARE(r.at(1).toString(), QStringLiteral("JEFE"));
            const bool pesada = r.at(0).toString() == QLatin1String("pesada");
            named << r.at(0).toString() + u' ' +
                         r.at(2).toString().section(u' ', 0, pesada ? 2 : 0);
        }
        QStringList expected;
        if (version == 4)
            expected << "pesada BRUTO 28340 kg"
                     << "pesada TARA 11220 kg";
        expected << "pesada BRUTO 28400 kg"
                 << "lectura H=12.8";
        QCOMPARE(named, expected);
    }

    // A statement the upgrade cannot run leaves the database as it was.
    void aFailedUpgradeChangesNothing()
    {
        TestDb db;
        QString path;
        build(db, QStringLiteral("v1"), &path);
        // An object of the plant's own in the way of the history's index.
        const QString blocker = QStringLiteral(
            "CREATE INDEX ix_mv_molvera_historial_registro ON ta_usuarios (sistema)");
        QMap<QString, QStringList> before;
        if (db.onServer()) {
            db.data().execute(blocker);
            before = snapshot(db.data().database(), false);
        } else {
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "blocker");
            raw.setDatabaseName(path);
            QVERIFY(raw.open());
            QSqlQuery q(raw);
            QVERIFY2(q.exec(blocker), qPrintable(q.lastError().text()));
            before = snapshot(raw, false);
            raw.close();
        }
        QSqlDatabase::removeDatabase("blocker");
        {
            auto d = open(db, path);
            QVERIFY(!d->isOpen());
            QVERIFY2(d->openError().contains(QStringLiteral("no cambió nada")),
                     qPrintable(d->openError()));
        }
        // Looked at without the program's start-up (which would try again).
        std::unique_ptr<DataService> look;
        QSqlDatabase raw;
        if (db.onServer()) {
            raw = db.data().database();
        } else {
            raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "look");
            raw.setDatabaseName(path);
            QVERIFY(raw.open());
        }
        QCOMPARE(snapshot(raw, false), before);
        QSqlQuery q(raw);
        QVERIFY(q.exec(QStringLiteral("SELECT * FROM mv_molvera WHERE 1 = 0")));
        QCOMPARE(q.record().indexOf(QStringLiteral("modificado_por")), -1);
        QVERIFY(q.exec(QStringLiteral("SELECT kilos FROM mv_molvera_silo_total")));
        q.finish();
        if (!db.onServer()) {
            raw.close();
            raw = QSqlDatabase();
            QSqlDatabase::removeDatabase("look");
        }
    }

    // Another desk holds the write lock longer than one busy time-out (it
    // is upgrading a large database): this one waits, then finds the
    // database up to date.
    void aSecondDeskWaitsForTheUpgrade()
    {
        if (!TestDb::serverDsn().isEmpty()) QSKIP("the embedded database's lock is held here");
        TestDb db;
        QString path;
        build(db, QStringLiteral("v2"), &path);
        std::atomic<bool> locked{false};
        std::atomic<bool> committed{false};
        std::thread holder([&] {
            {
                QSqlDatabase h = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "holder");
                h.setDatabaseName(path);
                if (h.open()) {
                    QSqlQuery q(h);
                    if (q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
                        locked = true;
                        std::this_thread::sleep_for(std::chrono::milliseconds(6500));
                        q.exec(QStringLiteral("COMMIT"));
                        committed = true;
                    }
                    q.finish();
                    h.close();
                }
            }
            QSqlDatabase::removeDatabase("holder");
            locked = true;
        });
        while (!locked)
            QTest::qWait(10);
        QVERIFY(!committed);
        auto d = open(db, path);
        const bool waited = committed;
        holder.join();
        QVERIFY2(d->isOpen(), qPrintable(d->openError()));
        QVERIFY(waited);
        QCOMPARE(SchemaUpgrade(*d).version(), SchemaUpgrade::kCurrent);
    }

    // A database of a newer program: refused in words, not touched.
    void aNewerDatabaseIsRefused()
    {
        TestDb db;
        db.data().execute(QStringLiteral("UPDATE mv_molvera_version SET version = ?"),
                          {SchemaUpgrade::kCurrent + 1});
        db.data().execute(
            QStringLiteral("INSERT INTO v_mv_molvera (Fecha, Toneladas) VALUES (?, ?)"),
            {QDateTime(QDate(2024, 3, 15), QTime()), 12.5});
        QString path = db.path();
        QByteArray hash;
        QDateTime modified;
        if (!db.onServer()) {
            db.data().close();
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            hash = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
            f.close();
            modified = QFileInfo(path).lastModified();
        }
        {
            auto d = open(db, path);
            QVERIFY(!d->isOpen());
            QVERIFY2(d->openError().contains(QStringLiteral("versión más nueva de Molvera")),
                     qPrintable(d->openError()));
            QVERIFY2(d->openError().contains(
                         QStringLiteral("esquema %1").arg(SchemaUpgrade::kCurrent + 1)),
                     qPrintable(d->openError()));
        }
        if (db.onServer()) {
            QCOMPARE(scalar(db.data(), "SELECT version FROM mv_molvera_version").toInt(),
                     SchemaUpgrade::kCurrent + 1);
            return;
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256), hash);
        QCOMPARE(QFileInfo(path).lastModified(), modified);
        QVERIFY(!QFileInfo::exists(path + QStringLiteral("-wal")));
    }

    // A new database is made at the program's version.
    void aNewDatabaseIsCurrent()
    {
        TestDb db;
        QCOMPARE(SchemaUpgrade(db.data()).version(), SchemaUpgrade::kCurrent);
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM mv_molvera_version").toInt(), 1);
    }

    // The drops of a section are found from its own statements.
    void dropsOfASection()
    {
        const QString script = QStringLiteral(
            "-- @section a\nCREATE TABLE t (x INTEGER);\nCREATE TRIGGER tr AFTER INSERT OR "
            "DELETE\n    OR UPDATE OF x ON t\nFOR EACH ROW EXECUTE FUNCTION f();\nCREATE FUNCTION "
            "f() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RETURN NULL; END; $$;\n"
            "-- @section b\nCREATE VIEW v AS SELECT 1;\n");
        const QString a = SchemaUpgrade::section(script, QStringLiteral("a"));
        QVERIFY(!a.contains(QLatin1String("VIEW")));
        QCOMPARE(SchemaUpgrade::dropsFor(a, true),
                 (QStringList{"DROP TRIGGER IF EXISTS tr ON t", "DROP FUNCTION IF EXISTS f()",
                              "DROP TABLE IF EXISTS t"}));
        QCOMPARE(
            SchemaUpgrade::dropsFor(SchemaUpgrade::section(script, QStringLiteral("b")), false),
            QStringList{"DROP VIEW IF EXISTS v"});
        QVERIFY(SchemaUpgrade::section(script, QStringLiteral("c")).isEmpty());
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TstSchemaUpgrade)
#include "tst_schemaupgrade.moc"
