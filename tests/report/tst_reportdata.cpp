#include "DataService.h"
#include "FormulaAssignments.h"
#include "ReportCsv.h"
#include "ReportData.h"
#include "ReportDefinition.h"
#include "ReportRows.h"
#include "SelectionFormula.h"
#include "ServiceError.h"
#include "TestDb.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

QString definitionPath()
{
    return qEnvironmentVariable("MOLVERA_SOURCE_DIR") + QStringLiteral("/reports/Rp_molvera.json");
}

} // namespace

class TstReportData : public QObject
{
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }

    // Per-day and overall totals against what the database itself sums.
    void totalsMatchTheDatabase()
    {
        TestDb db;
        QRandomGenerator rng(20240315);
        int expectedRows = 0;
        for (int day = 0; day < 12; ++day) {
            const QDate d = QDate(2024, 2, 25).addDays(day);
            const int loads = int(rng.bounded(0, 9));
            for (int i = 0; i < loads; ++i) {
                // Tonnes with kilograms, some loads still without a weight.
                const QVariant t = rng.bounded(10) == 0
                                       ? QVariant()
                                       : QVariant(double(rng.bounded(5000, 35000)) / 1000.0);
                ReportRows::add(db.data(), QDateTime(d, QTime(int(rng.bounded(24)), 30)), t,
                                QStringLiteral("V%1").arg(i));
                if (d >= QDate(2024, 3, 1) && d <= QDate(2024, 3, 5)) ++expectedRows;
            }
        }
        const ReportDefinition def = ReportDefinition::load(definitionPath());
        const auto f = SelectionFormula::parse(
            "{V_MV_MOLVERA.FECHA} >= Date(2024,3,1) AND  {V_MV_MOLVERA.FECHA} <= Date(2024,3,5)");
        const ReportData data = ReportData::read(db.data(), def, f);
        QCOMPARE(data.rowCount(), expectedRows);

        const int tn = def.columnIndex(QStringLiteral("Toneladas"));
        // What the database sums for each day that has loads, asked day by day.
        double overall = 0;
        int g = 0;
        for (QDate d(2024, 3, 1); d <= QDate(2024, 3, 5); d = d.addDays(1)) {
            RecordSet rs = db.data().openRecordSet(
                "SELECT SUM(Toneladas), COUNT(*) FROM mv_molvera WHERE Fecha >= ? AND Fecha < ?",
                {QDateTime(d, QTime(0, 0)), QDateTime(d.addDays(1), QTime(0, 0))});
            const int count = rs.value(1).toInt();
            if (count == 0) continue;
            QVERIFY(g < data.groups().size());
            const auto& grp = data.groups().at(g);
            QCOMPARE(grp.day, d);
            QCOMPARE(grp.count, count);
            QVERIFY2(qAbs(data.groupTotal(g, tn) - rs.value(0).toDouble()) < 1e-9,
                     qPrintable(QString::number(data.groupTotal(g, tn), 'f', 6)));
            overall += rs.value(0).toDouble();
            // The rows of a group are that day's rows.
            for (int r = grp.first; r < grp.first + grp.count; ++r)
                QCOMPARE(DataService::toDateTime(data.row(r).at(0)).date(), grp.day);
            ++g;
        }
        QCOMPARE(g, int(data.groups().size()));
        QVERIFY(qAbs(data.total(tn) - overall) < 1e-9);
        QCOMPARE(data.total(def.columnIndex(QStringLiteral("vendedor"))), 0.0);
    }

    void valuesAreShownInTheirFormat()
    {
        const ReportDefinition def = ReportDefinition::load(definitionPath());
        const int tn = def.columnIndex(QStringLiteral("Toneladas"));
        const int fecha = def.columnIndex(QStringLiteral("Fecha"));
        QCOMPARE(ReportData::format(def, tn, 28.5), QStringLiteral("28,50"));
        QCOMPARE(ReportData::format(def, tn, QVariant()), QString());
        QCOMPARE(ReportData::format(def, fecha, QStringLiteral("2024-03-15 00:00:00")),
                 QStringLiteral("15/3/2024"));
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        QCOMPARE(ReportData::format(def, tn, 1234.5), QStringLiteral("1,234.50"));
    }

    // Counts of loads as the report's totals write them, with the locale's
    // thousands separator, and the report's name as the operator knows it.
    void countsAndCaption()
    {
        const ReportDefinition def = ReportDefinition::load(definitionPath());
        QCOMPARE(def.countText(1), QStringLiteral("1 carga"));
        QCOMPARE(def.countText(999), QStringLiteral("999 cargas"));
        QCOMPARE(def.countText(3000), QStringLiteral("3.000 cargas"));
        QCOMPARE(def.countText(1234567), QStringLiteral("1.234.567 cargas"));
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        QCOMPARE(def.countText(3134), QStringLiteral("3,134 cargas"));
        QCOMPARE(def.name, QStringLiteral("Rp_molvera"));
        QCOMPARE(def.caption, QStringLiteral("Reporte de Recepción de Trigo"));
        const ReportDefinition plain = ReportDefinition::parse(
            R"({"report": "Rp_otro", "source": "v", "columns": [{"field": "a"}]})", "x.json");
        QCOMPARE(plain.caption, QStringLiteral("Rp_otro"));
    }

    void missingDefinitionNamesTheFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Rp_molvera.json"));
        try {
            ReportDefinition::load(path);
            QFAIL("a missing definition was accepted");
        } catch (const ServiceError& e) {
            QCOMPARE(e.number(), int(ServiceError::NotFound));
            QVERIFY2(e.description().contains(QDir::toNativeSeparators(path)),
                     qPrintable(e.description()));
        }
    }

    void brokenDefinitionIsRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("why");
        const QByteArray cols = R"("columns": [{"field": "Fecha", "format": "date"}])";
        QTest::newRow("not JSON") << QByteArray("{\n\"source\": \"v_mv_molvera\",\n oops }")
                                  << "línea 3";
        QTest::newRow("no source") << QByteArray("{" + cols + "}") << "source";
        QTest::newRow("statement as source")
            << QByteArray(R"({"source": "v_mv_molvera; DROP TABLE mv_molvera", )" + cols + "}")
            << "no es un nombre válido";
        QTest::newRow("no columns") << QByteArray(R"({"source": "v_mv_molvera"})") << "columns";
        QTest::newRow("odd format")
            << QByteArray(R"({"source": "v", "columns": [{"field": "a", "format": "money"}]})")
            << "money";
        QTest::newRow("sum of text")
            << QByteArray(R"({"source": "v", "columns": [{"field": "a", "total": "sum"}]})")
            << "numéricas";
        QTest::newRow("group not a date")
            << QByteArray(
                   R"({"source": "v", "columns": [{"field": "a"}], "group": {"field": "a"}})")
            << "fecha";
    }
    void brokenDefinitionIsRefused()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, why);
        try {
            ReportDefinition::parse(text, QStringLiteral("/x/reports/Rp_molvera.json"));
            QFAIL("a broken definition was accepted");
        } catch (const ServiceError& e) {
            QCOMPARE(e.number(), int(ServiceError::InvalidCall));
            QVERIFY2(
                e.description().contains(QDir::toNativeSeparators("/x/reports/Rp_molvera.json")),
                qPrintable(e.description()));
            QVERIFY2(e.description().contains(why), qPrintable(e.description()));
        }
    }

    void assignmentsKeepWhatIsStored_data()
    {
        QTest::addColumn<QString>("assignment");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::newRow("company") << "empresa = 'Molino S.A.'"
                                 << "EMPRESA"
                                 << "Molino S.A.";
        QTest::newRow("apostrophe") << "empresa = 'Molino O'Higgins S.A.'"
                                    << "empresa"
                                    << "Molino O'Higgins S.A.";
        QTest::newRow("no blank") << "NOMBREREP= 'Molvera'"
                                  << "nombrerep"
                                  << "Molvera";
        QTest::newRow("empty") << "Parametros = ''"
                               << "Parametros"
                               << "";
        QTest::newRow("one blank, as for a missing key") << "empresa = ' '"
                                                         << "empresa"
                                                         << " ";
    }
    void assignmentsKeepWhatIsStored()
    {
        QFETCH(QString, assignment);
        QFETCH(QString, name);
        QFETCH(QString, value);
        const FormulaAssignments f({assignment});
        QVERIFY(f.contains(name));
        QCOMPARE(f.value(name), value);
        QCOMPARE(f.expand(QStringLiteral("[{") + name + QStringLiteral("}] {otro}")),
                 QStringLiteral("[") + value + QStringLiteral("] {otro}"));
    }

    void csvQuotesWhatNeedsIt()
    {
        TestDb db;
        ReportRows::add(db.data(), QDateTime(QDate(2024, 3, 15), QTime(8, 0)), 28.5,
                        QStringLiteral("Pérez; Hnos."), QStringLiteral("0002"),
                        QStringLiteral("dijo \"ok\"\nsegunda línea"));
        ReportRows::add(db.data(), QDateTime(QDate(2024, 3, 16), QTime(8, 0)), QVariant(),
                        QStringLiteral("O'Higgins"));
        const ReportDefinition def = ReportDefinition::load(definitionPath());
        const ReportData data = ReportData::read(db.data(), def, SelectionFormula::parse({}));
        const QString csv = ReportCsv::text(def, data);
        const QStringList lines = csv.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 4); // header, two rows, the empty rest after the last break
        QVERIFY(lines.at(0).startsWith(QStringLiteral("FECHA;TN DESC.;VENDEDOR;PROCEDENCIA")));
        QCOMPARE(lines.at(1),
                 QStringLiteral("15/3/2024;28,50;\"Pérez; Hnos.\";Tandil;Transportes Sur;27,5;9,8;"
                                "Bueno;350;13,2;79,5;0002;\"dijo \"\"ok\"\"\nsegunda línea\""));
        QVERIFY(lines.at(2).startsWith(QStringLiteral("16/3/2024;;O'Higgins;")));
        QCOMPARE(lines.at(3), QString());
    }

    // Texts a spreadsheet would run as formulas are written to show as text;
    // numbers, negative ones too, stay numbers. Rows with nothing entered
    // beside the date are no loads: not written.
    void csvTextsAreNeverFormulas()
    {
        TestDb db;
        const QDateTime dia(QDate(2024, 3, 15), QTime(8, 0));
        ReportRows::add(db.data(), dia, -3.5, QStringLiteral("=HYPERLINK(\"http://x\";\"y\")"),
                        QStringLiteral("0001"), QStringLiteral("@SUM(A1)"));
        ReportRows::add(db.data(), dia, 2, QStringLiteral("+54 11 5555"), QStringLiteral("0001"),
                        QStringLiteral("\tcmd|' /C calc'!A0"));
        db.data().execute("INSERT INTO mv_molvera (Fecha, Toneladas, observaciones) "
                          "VALUES (?, 0, '  ')",
                          {dia});
        const ReportDefinition def = ReportDefinition::load(definitionPath());
        const ReportData data = ReportData::read(db.data(), def, SelectionFormula::parse({}));
        QCOMPARE(data.rowCount(), 2);
        QCOMPARE(data.loadCount(), 1); // -3.5 t is no load
        const QStringList lines = ReportCsv::text(def, data).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 4);
        QVERIFY2(lines.at(1).startsWith(QStringLiteral(
                     "15/3/2024;-3,50;\"'=HYPERLINK(\"\"http://x\"\";\"\"y\"\")\";")),
                 qPrintable(lines.at(1)));
        QVERIFY2(lines.at(1).endsWith(QStringLiteral(";0001;\"'@SUM(A1)\"")),
                 qPrintable(lines.at(1)));
        QVERIFY2(lines.at(2).startsWith(QStringLiteral("15/3/2024;2,00;\"'+54 11 5555\";")),
                 qPrintable(lines.at(2)));
        QVERIFY2(lines.at(2).endsWith(QStringLiteral(";\"'\tcmd|' /C calc'!A0\"")),
                 qPrintable(lines.at(2)));
    }
};

QTEST_GUILESS_MAIN(TstReportData)
#include "tst_reportdata.moc"
