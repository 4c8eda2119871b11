// A database of the version before the settlement, made from the current
// schema by taking away what the settlement brought, opened by the program:
// its rows kept, the rules made with wheat's values, the kept settlement of a
// row recorded in the history from then on, a change of the rules a new
// version. Labelled db: also on PostgreSQL.
#include "DataService.h"
#include "SchemaUpgrade.h"
#include "TestDb.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace
{

// Every intake row and history record, as text.
QStringList rowsOf(QSqlDatabase db)
{
    QStringList out;
    for (const char* sql :
         {"SELECT ID, Fecha, Toneladas, humedad, modificado_por FROM mv_molvera ORDER BY ID",
          "SELECT ID, id_registro, operacion, campo, valor_nuevo FROM mv_molvera_historial "
          "ORDER BY ID"}) {
        QSqlQuery q(db);
        if (!q.exec(QLatin1String(sql))) qFatal("%s", qPrintable(q.lastError().text()));
        while (q.next()) {
            QStringList r;
            for (int i = 0; i < 5; ++i)
                r << (q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i).toString());
            out << r.join(u'|');
        }
    }
    return out;
}

QVariant scalar(DataService& d, const char* sql, const QVariantList& p = {})
{
    RecordSet rs = d.openRecordSet(QLatin1String(sql), p);
    return rs.bof() ? QVariant() : rs.value(0);
}

// The program's own connection to that database, as a desk opens it.
std::unique_ptr<DataService> open(TestDb& db)
{
    auto d = std::make_unique<DataService>(QStringLiteral("desk"));
    if (db.onServer()) {
        const QString schema =
            db.data().openRecordSet(QStringLiteral("SELECT current_schema()")).value(0).toString();
        d->setServer(QStringLiteral("test"));
        d->setDatabaseName(QStringLiteral("%1;ConnSettings=SET search_path TO %2")
                               .arg(TestDb::serverDsn(), schema));
        d->setUser(qEnvironmentVariable("MOLVERA_TEST_ODBC_USER"));
        d->setPassword(qEnvironmentVariable("MOLVERA_TEST_ODBC_PASSWORD"));
        d->open(false);
        return d;
    }
    d->setDatabaseName(db.path());
    d->open(true);
    return d;
}

} // namespace

class TstSettlementUpgrade : public QObject
{
    Q_OBJECT
private slots:
    // A database of version 5 (before the settlement): its rows kept, the
    // rules made with wheat's values, and the kept settlement of a row
    // written and recorded in the history from then on.
    void theSettlementIsAdded()
    {
        TestDb db;
        DataService& made = db.data();
        const bool pg = db.onServer();
        const qint64 id = made.insertReturningId(
            QStringLiteral("v_mv_molvera"), {"Fecha", "Toneladas", "humedad", "modificado_por"},
            {QDateTime(QDate(2024, 3, 15), QTime()), 30.0, 15.2, QStringLiteral("ANA")});
        const QString script = made.schemaScript();
        for (const char* later : {"settlement", "historytriggers", "view"})
            for (const QString& drop :
                 SchemaUpgrade::dropsFor(SchemaUpgrade::section(script, QLatin1String(later)), pg))
                made.execute(drop);
        for (const char* c : {"merma", "kg_netos", "grado", "reglas_version"})
            made.execute(
                QStringLiteral("ALTER TABLE mv_molvera DROP COLUMN %1").arg(QLatin1String(c)));
        made.execute(QStringLiteral("CREATE VIEW v_mv_molvera AS SELECT ID, Fecha, Toneladas, "
                                    "humedad, modificado_por FROM mv_molvera"));
        made.execute(QStringLiteral("UPDATE mv_molvera_version SET version = 5"));
        QCOMPARE(SchemaUpgrade(made).version(), 5);
        const QStringList before = rowsOf(made.database());

        auto d = open(db);
        QVERIFY2(d->isOpen(), qPrintable(d->openError()));
        QCOMPARE(SchemaUpgrade(*d).version(), SchemaUpgrade::kCurrent);
        QCOMPARE(rowsOf(d->database()), before);
        QCOMPARE(scalar(*d, "SELECT base FROM ta_liquidacion").toDouble(), 13.5);
        QCOMPARE(scalar(*d, "SELECT manipuleo FROM ta_liquidacion").toDouble(), 0.25);
        QVERIFY(scalar(*d, "SELECT kg_netos FROM mv_molvera WHERE ID = ?", {id}).isNull());
        d->execute(QStringLiteral("UPDATE v_mv_molvera SET merma = ?, kg_netos = ?, grado = ?, "
                                  "reglas_version = ?, modificado_por = ? WHERE ID = ?"),
                   {2.22, 29334, QStringLiteral("1"), 1, QStringLiteral("LUIS"), id});
        RecordSet h = d->openRecordSet(
            QStringLiteral("SELECT campo, valor_nuevo, usuario FROM mv_molvera_historial WHERE "
                           "id_registro = ? AND operacion = 'MODIFICACION' ORDER BY campo"),
            {id});
        QStringList cambios;
        for (const auto& r : h.rows())
            cambios << r.at(0).toString() + u'=' + r.at(1).toString() + u'/' + r.at(2).toString();
        QCOMPARE(cambios, (QStringList{"grado=1/LUIS", "kg_netos=29334/LUIS", "merma=2.22/LUIS",
                                       "reglas_version=1/LUIS"}));
        // The plant's change of its rules is a new version.
        const qint64 v = scalar(*d, "SELECT version FROM ta_liquidacion").toLongLong();
        d->execute(QStringLiteral("INSERT INTO ta_grado (grado, pesohect_min) VALUES (1, 78)"));
        QVERIFY(scalar(*d, "SELECT version FROM ta_liquidacion").toLongLong() > v);
    }
};

QTEST_GUILESS_MAIN(TstSettlementUpgrade)
#include "tst_settlementupgrade.moc"
