// The program's own statements on the database under test: the embedded
// SQLite file by default, PostgreSQL through ODBC when MOLVERA_TEST_ODBC_DSN
// is set (tools/run-tests runs this test both ways).
#include "DailySheet.h"
#include "DataService.h"
#include "FieldLookups.h"
#include "ModGlobal.h"
#include "ScriptedDialogs.h"
#include "ServiceError.h"
#include "TestDb.h"

#include <QMap>
#include <QtTest>

namespace
{

const QString kInsert =
    QStringLiteral("INSERT INTO v_mv_molvera (Fecha,responsable,fecha_alta) VALUES (?,?,?)");

QString updateOf(const QString& field)
{
    return QStringLiteral("UPDATE v_mv_molvera SET [%1] = ?, fecha_modificacion = ? WHERE ID = ?")
        .arg(field);
}

qint64 addRow(DataService& d, const QDateTime& fecha, const QString& responsable)
{
    return d.insertReturningId(
        QStringLiteral("v_mv_molvera"),
        {QStringLiteral("Fecha"), QStringLiteral("responsable"), QStringLiteral("fecha_alta")},
        {fecha, responsable, QDateTime::currentDateTime()});
}

// Grams and loads per silo, summed from the intake rows themselves.
QMap<QString, QPair<qint64, int>> totalsFromRows(DataService& d)
{
    QMap<QString, QPair<qint64, int>> out;
    RecordSet rs = d.openRecordSet(QStringLiteral(
        "SELECT silodestino, Toneladas FROM mv_molvera WHERE silodestino IS NOT NULL AND "
        "Toneladas IS NOT NULL"));
    for (const auto& r : rs.rows()) {
        auto& t = out[r.at(0).toString()];
        t.first += qRound64(r.at(1).toDouble() * 1000000);
        t.second += 1;
    }
    return out;
}

QMap<QString, QPair<qint64, int>> totalsKept(DataService& d)
{
    QMap<QString, QPair<qint64, int>> out;
    RecordSet rs = d.openRecordSet(
        QStringLiteral("SELECT silodestino, gramos, cargas FROM mv_molvera_silo_total"));
    for (const auto& r : rs.rows())
        if (r.at(2).toInt() != 0 || r.at(1).toLongLong() != 0)
            out[r.at(0).toString()] = {r.at(1).toLongLong(), r.at(2).toInt()};
    return out;
}

} // namespace

class TstServerDb : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qInfo("database under test: %s",
              TestDb::serverDsn().isEmpty() ? "embedded SQLite" : qPrintable(TestDb::serverDsn()));
    }

    void dialectMatchesTheDatabase()
    {
        TestDb db;
        QCOMPARE(db.data().dialect().kind(),
                 db.onServer() ? SqlDialect::Kind::PostgreSQL : SqlDialect::Kind::SQLite);
        QCOMPARE(db.data().isServer(), db.onServer());
        QVERIFY(db.data().hasSchema());
        QVERIFY(!db.data().connectionString().contains(QLatin1String("PWD"), Qt::CaseInsensitive));
    }

    // Rows read straight from the connection's handle (on PostgreSQL a row as
    // one record text) are the rows the Qt driver gives: names, kinds, sizes
    // and values, empty cells and empty texts, quotes, commas, parentheses and
    // backslashes, a text longer than the first room kept for it, a character
    // outside the basic plane, and sums the direct read leaves to the driver.
    // Each is read directly twice: the first read finds its columns.
    void directReadsEqualTheDriversReads()
    {
        TestDb db;
        DataService& d = db.data();
        const QDateTime day(QDate(2024, 3, 15), QTime(0, 0));
        const QDateTime now = QDateTime::currentDateTime();
        const qint64 a = addRow(d, day.addSecs(3600), QStringLiteral("ANA"));
        const qint64 b = addRow(d, day.addSecs(7200), QString());
        d.execute(updateOf("TONELADAS"), {30.25, now, a});
        d.execute(updateOf("SILODESTINO"), {QStringLiteral("0007"), now, a});
        d.execute(updateOf("HUMEDAD"), {0.1 + 0.2, now, a});
        d.execute(updateOf("PESOHECT"), {-1.5e-300, now, b});
        d.execute(updateOf("SECO"), {123456789.12345679, now, b});
        d.execute(updateOf("VENDEDOR"),
                  {QStringLiteral("Molinos \"del\" Sur, (S.A.) \\ \U0001F33E"), now, a});
        d.execute(updateOf("PROCEDENCIA"), {QString(""), now, a});
        d.execute(updateOf("CAMIONERO"), {QStringLiteral("NULL"), now, b});
        d.execute(updateOf("PROCEDENCIA"), {QStringLiteral("\\\"\\ \"\""), now, b});
        d.execute(updateOf("CARACTERISTICAS"), {QStringLiteral("\\"), now, b});
        const QString longText = QString(3000, QChar(0xF1)) + QStringLiteral("\U0001F69A fin");
        d.execute(updateOf("OBSERVACIONES"), {longText, now, b});
        // The seller pick list: named subqueries walking the index, alone and
        // narrowed by what the operator typed.
        QString sellers, campo;
        QVERIFY(FieldLookups::listaFija("VT_Vendedores", sellers, campo, d.dialect().kind()));
        const QList<QPair<QString, QVariantList>> statements{
            {sellers, {}},
            {sellers + " and VENDEDOR like ?", {QStringLiteral("Mol%")}},
            {DailySheet::sentenciaLectura("v_mv_molvera"), {day, day.addDays(1)}},
            {"SELECT COUNT(*), MAX(fecha_modificacion), MAX(ID) FROM v_mv_molvera WHERE Fecha >= ? "
             "AND Fecha < ?",
             {day, day.addDays(1)}},
            {"SELECT ID, Fecha, responsable, Toneladas FROM v_mv_molvera WHERE ID IN (?, ?) AND "
             "responsable = ? ORDER BY ID",
             {a, b, QStringLiteral("ANA")}},
            {"SELECT silodestino, SUM(gramos), COUNT(*) FROM mv_molvera_silo_total GROUP BY "
             "silodestino ORDER BY silodestino",
             {}},
        };
        for (const auto& [sql, params] : statements) {
            d.setDirectReads(true);
            d.openRecordSet(sql, params);
            const RecordSet direct = d.openRecordSet(sql, params);
            d.setDirectReads(false);
            const RecordSet driver = d.openRecordSet(sql, params);
            QCOMPARE(direct.fieldCount(), driver.fieldCount());
            for (int i = 0; i < driver.fieldCount(); ++i) {
                QCOMPARE(direct.field(i).name, driver.field(i).name);
                QCOMPARE(direct.field(i).type, driver.field(i).type);
                QCOMPARE(direct.field(i).definedSize, driver.field(i).definedSize);
                QCOMPARE(direct.field(i).declared, driver.field(i).declared);
            }
            QCOMPARE(direct.rows().size(), driver.rows().size());
            QVERIFY(driver.recordCount() > 0);
            for (int r = 0; r < driver.rows().size(); ++r)
                for (int i = 0; i < driver.fieldCount(); ++i) {
                    const QVariant& x = direct.rows().at(r).at(i);
                    const QVariant& y = driver.rows().at(r).at(i);
                    QCOMPARE(x.metaType(), y.metaType());
                    QCOMPARE(x.isNull(), y.isNull());
                    QCOMPARE(x, y);
                }
        }
        d.setDirectReads(true);
        const RecordSet sheet =
            d.openRecordSet(DailySheet::sentenciaLectura("v_mv_molvera"), {day, day.addDays(1)});
        QCOMPARE(sheet.rows().at(1).at(12).toString(), longText);
        QVERIFY(sheet.rows().at(1).at(2).isNull());
    }

    // The sheet's read statement with its bracketed captions gives the grid's
    // header texts as column names, in order.
    void readStatementGivesTheCaptions()
    {
        TestDb db;
        const QDateTime day(QDate(2024, 3, 15), QTime(0, 0));
        db.data().execute(kInsert, {day, QStringLiteral("ANA"), QDateTime::currentDateTime()});
        RecordSet rs = db.data().openRecordSet(DailySheet::sentenciaLectura("v_mv_molvera"),
                                               {day, day.addDays(1)});
        QCOMPARE(rs.recordCount(), 1);
        int count = 0;
        const DailySheet::Columna* cols = DailySheet::columnas(count);
        QCOMPARE(rs.fieldCount(), count + 1);
        QCOMPARE(rs.fieldName(0).toUpper(), QStringLiteral("ID"));
        for (int i = 0; i < count; ++i)
            QCOMPARE(rs.fieldName(i + 1), QString::fromUtf8(cols[i].alias));
        QVERIFY(rs.value(0).toLongLong() > 0);
    }

    // A day's sheet runs from its first second to its last one; a time stamp
    // with milliseconds is kept to the second and never moves to the next day.
    void dayBoundsAndSeconds()
    {
        TestDb db;
        DataService& d = db.data();
        const QDate day(2024, 3, 15);
        const qint64 first = addRow(d, QDateTime(day, QTime(0, 0)), "A");
        const qint64 last = addRow(d, QDateTime(day, QTime(23, 59, 59, 700)), "B");
        addRow(d, QDateTime(day.addDays(1), QTime(0, 0)), "C");
        addRow(d, QDateTime(day.addDays(-1), QTime(23, 59, 59)), "D");
        RecordSet rs =
            d.openRecordSet(DailySheet::sentenciaLectura("v_mv_molvera"),
                            {QDateTime(day, QTime(0, 0)), QDateTime(day.addDays(1), QTime(0, 0))});
        QCOMPARE(rs.recordCount(), 2);
        QCOMPARE(rs.rows().at(0).at(0).toLongLong(), first);
        QCOMPARE(rs.rows().at(1).at(0).toLongLong(), last);
        QCOMPARE(DataService::toDateTime(
                     db.scalar("SELECT Fecha FROM v_mv_molvera WHERE ID = ?", {last})),
                 QDateTime(day, QTime(23, 59, 59)));

        const QDateTime stamp(day, QTime(14, 5, 9, 123));
        d.execute(updateOf("VENDEDOR"), {QStringLiteral("X"), stamp, first});
        QCOMPARE(DataService::toDateTime(db.scalar(
                     "SELECT fecha_modificacion FROM v_mv_molvera WHERE ID = ?", {first})),
                 QDateTime(day, QTime(14, 5, 9)));
        // Compared as a value, the stored stamp equals the bound one.
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM v_mv_molvera WHERE fecha_modificacion = ?",
                           {QDateTime(day, QTime(14, 5, 9))})
                     .toInt(),
                 1);
    }

    // Texts, NULLs and numbers reach the column named in brackets, whatever
    // they contain.
    void cellValues_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("quote and comment") << "VENDEDOR" << QVariant("O'Higgins; -- x");
        QTest::newRow("accents") << "PROCEDENCIA"
                                 << QVariant(QStringLiteral("Río Cuarto, Córdoba"));
        QTest::newRow("null text") << "CAMIONERO" << QVariant(QMetaType(QMetaType::QString));
        QTest::newRow("deposit") << "SILODESTINO" << QVariant("0003");
        QTest::newRow("number") << "TONELADAS" << QVariant(30.25);
        QTest::newRow("zero") << "HUMEDAD" << QVariant(0.0);
        QTest::newRow("long observation") << "OBSERVACIONES" << QVariant(QString(3000, u'x'));
    }
    void cellValues()
    {
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        TestDb db;
        DataService& d = db.data();
        const qint64 id = addRow(d, QDateTime(QDate(2024, 3, 15), QTime()), "A");
        const qint64 other = addRow(d, QDateTime(QDate(2024, 3, 15), QTime()), "B");
        d.execute(updateOf(field), {value, QDateTime::currentDateTime(), id});
        const QVariant back = db.scalar(
            QStringLiteral("SELECT %1 FROM v_mv_molvera WHERE ID = ?").arg(field.toLower()), {id});
        QCOMPARE(back.isNull(), value.isNull());
        if (value.metaType().id() == QMetaType::Double)
            QCOMPARE(back.toDouble(), value.toDouble());
        else
            QCOMPARE(back.toString(), value.toString());
        // Only that row changed.
        QVERIFY(
            db.scalar(
                  QStringLiteral("SELECT %1 FROM v_mv_molvera WHERE ID = ?").arg(field.toLower()),
                  {other})
                .isNull());
    }

    void deleteWithoutFrom()
    {
        TestDb db;
        DataService& d = db.data();
        const qint64 a = addRow(d, QDateTime(QDate(2024, 3, 15), QTime()), "A");
        const qint64 b = addRow(d, QDateTime(QDate(2024, 3, 15), QTime()), "B");
        d.execute(QStringLiteral("DELETE v_mv_molvera WHERE ID = ?"), {a});
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM v_mv_molvera").toInt(), 1);
        QCOMPARE(db.scalar("SELECT ID FROM v_mv_molvera").toLongLong(), b);
        // A row deleted meanwhile by another desk: the edit changes nothing.
        d.execute(updateOf("VENDEDOR"), {QStringLiteral("X"), QDateTime::currentDateTime(), a});
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM v_mv_molvera").toInt(), 1);
    }

    void lookupsAndCatalogue()
    {
        TestDb db;
        DataService& d = db.data();
        QVERIFY(d.exists("v_ta_deposito", "0001", "iddeposito"));
        QVERIFY(!d.exists("v_ta_deposito", "9999", "iddeposito"));
        QVERIFY(d.tableHasColumn("ta_configuracion", "clave"));
        QVERIFY(d.tableHasColumn("TA_CONFIGURACION", "VALOR"));
        QVERIFY(!d.tableHasColumn("ta_configuracion", "nada"));
        QVERIFY(!d.tableHasColumn("no_existe", "clave"));
        // A failed catalogue probe leaves the connection usable.
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM ta_provincias").toInt(), 24);
        QCOMPARE(db.scalar("SELECT DESCRIPCION FROM ta_provincias WHERE DESCRIPCION = ?",
                           {QStringLiteral("Neuquén")})
                     .toString(),
                 QStringLiteral("Neuquén"));
        RecordSet top =
            d.openRecordSet(QStringLiteral("SELECT top 2 nombre FROM ta_usuarios ORDER BY nombre"));
        QCOMPARE(top.recordCount(), 2);
        QCOMPARE(top.rows().at(0).at(0).toString(), QStringLiteral("ADMINISTRADOR"));

        ScriptedDialogs dialogs;
        ModGlobal::reset();
        ModGlobal::CargarConfiguracion(d);
        QCOMPARE(ModGlobal::gTablaConfiguracion, QStringLiteral("ta_configuracion"));
        QCOMPARE(ModGlobal::ValorConfiguracion(d, "NOMBRE"),
                 QStringLiteral("Molino Harinero del Sur S.A."));
        QCOMPARE(dialogs.shown.size(), 0);
    }

    // The silo totals follow the rows through inserts, edits, moves and
    // deletes, in grams.
    void siloTotalsFollowTheRows()
    {
        TestDb db;
        DataService& d = db.data();
        const QDateTime day(QDate(2024, 3, 15), QTime());
        QList<qint64> ids;
        for (int i = 0; i < 6; ++i)
            ids << addRow(d, day, QStringLiteral("R%1").arg(i));
        const QDateTime now = QDateTime::currentDateTime();
        d.execute(updateOf("SILODESTINO"), {"0001", now, ids[0]});
        d.execute(updateOf("TONELADAS"), {30.5, now, ids[0]});
        d.execute(updateOf("TONELADAS"), {12.25, now, ids[1]});
        d.execute(updateOf("SILODESTINO"), {"0001", now, ids[1]});
        d.execute(updateOf("TONELADAS"), {7.125, now, ids[2]});
        d.execute(updateOf("SILODESTINO"), {"0002", now, ids[2]});
        d.execute(updateOf("SILODESTINO"), {"0003", now, ids[3]}); // no tonnes yet
        QCOMPARE(totalsKept(d), totalsFromRows(d));
        QCOMPARE(totalsKept(d).value("0001"), (QPair<qint64, int>(42750000, 2)));

        d.execute(updateOf("SILODESTINO"), {"0002", now, ids[0]}); // moved
        d.execute(updateOf("TONELADAS"), {0.0, now, ids[1]});
        d.execute(updateOf("SILODESTINO"), {QVariant(QMetaType(QMetaType::QString)), now, ids[2]});
        d.execute(updateOf("TONELADAS"), {1.001, now, ids[3]});
        QCOMPARE(totalsKept(d), totalsFromRows(d));
        QCOMPARE(totalsKept(d).value("0002"), (QPair<qint64, int>(30500000, 1)));

        d.execute(QStringLiteral("DELETE v_mv_molvera WHERE ID = ?"), {ids[0]});
        d.execute(QStringLiteral("DELETE v_mv_molvera WHERE ID = ?"), {ids[3]});
        QCOMPARE(totalsKept(d), totalsFromRows(d));
        QCOMPARE(totalsKept(d).value("0002"), (QPair<qint64, int>(0, 0)));
        QCOMPARE(totalsKept(d).value("0001"), (QPair<qint64, int>(0, 1)));
    }
};

QTEST_MAIN(TstServerDb)
#include "tst_serverdb.moc"
