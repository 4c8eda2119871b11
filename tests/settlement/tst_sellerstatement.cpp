// The seller's statement ("Resumen por vendedor") of a date range: each
// seller's loads with their shrink, net kilograms and grade, the spellings of
// one seller as one under the most used, the seller's CUIT, subtotals and
// total equal to the database's own sums, written as PDF and CSV. Labelled
// db: also on PostgreSQL.
#include "DataService.h"
#include "LoadSettlement.h"
#include "MolveraReportPrinter.h"
#include "ReportCommand.h"
#include "RulesStore.h"
#include "TestDb.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

const QStringList kPerez{"PEREZ ANGEL", "Pérez, Ángel", "perez  angel", "PEREZ ANGEL"};

ReportPrinter::Request pedido(const QString& desde, const QString& hasta)
{
    return ReportCommand::pedido(ReportCommand::formula(false, {}, desde, hasta),
                                 QStringLiteral("Molino"), {}, ReportCommand::kResumen);
}

} // namespace

class TstSellerStatement : public QObject
{
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }

    void sumsEqualTheDatabase()
    {
        TestDb db;
        DataService& d = db.data();
        const SettlementRules reglas = RulesStore(d).read();
        d.execute(QStringLiteral("INSERT INTO ta_vendedor (nombre, cuit) VALUES (?, ?)"),
                  {QStringLiteral("Pérez, Ángel"), QStringLiteral("20123456786")});
        // 120 loads over March and a day of April: three sellers, one of them
        // written four ways; some without humidity (no net yet).
        const QStringList otros{"Gómez S.A.", "Coop. Norte"};
        QRandomGenerator rng(7);
        for (int i = 0; i < 120; ++i) {
            const QDate dia = QDate(2024, 3, 1).addDays(i % 32);
            const QString quien = i % 3 == 0 ? kPerez.at(i % 4) : otros.at(i % 2);
            const double t = 5 + rng.bounded(55000) / 1000.0; // weighed to the kilogram
            const double h = i % 11 == 0 ? 0 : 12 + rng.bounded(600) / 100.0;
            const LoadSettlement::Result r = LoadSettlement::of({t, h, 0, 0, 0}, reglas);
            d.insertReturningId(
                QStringLiteral("v_mv_molvera"),
                {"Fecha", "Toneladas", "vendedor", "humedad", "merma", "kg_netos",
                 "reglas_version"},
                {QDateTime(dia, QTime(8, 0)), t, quien, h, r.merma(), r.kg(), r.versionValue()});
        }
        // The blank rows of a new day are no loads.
        d.insertReturningId(QStringLiteral("v_mv_molvera"), {"Fecha"},
                            {QDateTime(QDate(2024, 3, 5), QTime())});

        MolveraReportPrinter printer(d);
        printer.setBaseFolder(qEnvironmentVariable("MOLVERA_SOURCE_DIR") + u'/');
        const MolveraReportPrinter::Prepared p =
            printer.prepare(pedido(QStringLiteral("01/03/2024"), QStringLiteral("31/03/2024")));
        const ReportData& data = p.data;
        const QString where =
            QStringLiteral(" FROM mv_molvera WHERE Fecha >= ? AND Fecha < ? AND Toneladas > 0");
        const QVariantList marzo{QDateTime(QDate(2024, 3, 1), QTime()),
                                 QDateTime(QDate(2024, 4, 1), QTime())};
        const int kg = p.def.columnIndex(QStringLiteral("kg_netos"));
        const int tn = p.def.columnIndex(QStringLiteral("Toneladas"));
        QCOMPARE(data.loadCount(), db.scalar("SELECT COUNT(*)" + where, marzo).toInt());
        QCOMPARE(data.missingCount(),
                 db.scalar("SELECT COUNT(*)" + where + " AND kg_netos IS NULL", marzo).toInt());
        QVERIFY(data.missingCount() > 0);
        QCOMPARE(qint64(data.total(kg)),
                 db.scalar("SELECT SUM(kg_netos)" + where, marzo).toLongLong());
        QCOMPARE(qRound64(data.total(tn) * 1000),
                 db.scalar("SELECT SUM(CAST(ROUND(Toneladas * 1000) AS INTEGER))" + where, marzo)
                     .toLongLong());

        // One group per seller, by name; Pérez under its most used spelling.
        QStringList nombres;
        for (const auto& g : data.groups())
            nombres << g.name;
        QCOMPARE(nombres, (QStringList{"Coop. Norte", "Gómez S.A.", "PEREZ ANGEL"}));
        for (int g = 0; g < data.groups().size(); ++g) {
            const QStringList escritos =
                nombres.at(g) == QLatin1String("PEREZ ANGEL") ? kPerez : QStringList{nombres.at(g)};
            QStringList marcas;
            QVariantList params = marzo;
            for (const QString& e : escritos) {
                marcas << QStringLiteral("?");
                params << e;
            }
            const QString de =
                where + QStringLiteral(" AND vendedor IN (%1)").arg(marcas.join(u','));
            QCOMPARE(data.groups().at(g).loads, db.scalar("SELECT COUNT(*)" + de, params).toInt());
            QCOMPARE(qint64(data.groupTotal(g, kg)),
                     db.scalar("SELECT SUM(kg_netos)" + de, params).toLongLong());
            // The loads the net is missing from (no humidity), said with it.
            QCOMPARE(data.groups().at(g).missing,
                     db.scalar("SELECT COUNT(*)" + de + " AND kg_netos IS NULL", params).toInt());
            const ReportData::Group& grupo = data.groups().at(g);
            const int cuit = p.def.columnIndex(QStringLiteral("cuit"));
            for (int r = grupo.first; r < grupo.first + grupo.count; ++r) {
                QCOMPARE(data.cellText(p.def, r, 0), nombres.at(g));
                QCOMPARE(data.cellText(p.def, r, cuit),
                         g == 2 ? QStringLiteral("20123456786") : QString());
            }
        }

        // To PDF and CSV, the same rows.
        QTemporaryDir dir;
        QVERIFY(MolveraReportPrinter::writePdf(dir.filePath("r.pdf"), p) >= 1);
        MolveraReportPrinter::writeCsv(dir.filePath("r.csv"), p);
        QFile csv(dir.filePath("r.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QStringList lineas =
            QString::fromUtf8(csv.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lineas.size(), data.rowCount() + 1);
        QVERIFY(lineas.first().startsWith(QStringLiteral("VENDEDOR;CUIT;FECHA;CARGA")));
    }
};

QTEST_MAIN(TstSellerStatement)
#include "tst_sellerstatement.moc"
