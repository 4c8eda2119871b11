#include "DataService.h"
#include "ReportData.h"
#include "ReportDefinition.h"
#include "ReportRows.h"
#include "SelectionFormula.h"
#include "ServiceError.h"
#include "SqlDialect.h"
#include "TestDb.h"

#include <QtTest>

namespace
{

ReportDefinition definition()
{
    return ReportDefinition::load(qEnvironmentVariable("MOLVERA_SOURCE_DIR") +
                                  QStringLiteral("/reports/Rp_molvera.json"));
}

// The conditions in a compact form: "table.field op value" joined by "; ".
QString summary(const SelectionFormula& f)
{
    static const char* ops[] = {"=", "<>", "<", "<=", ">", ">="};
    QStringList out;
    for (const auto& c : f.conditions()) {
        QString v;
        if (c.value.metaType().id() == QMetaType::QDate)
            v = c.value.toDate().toString(Qt::ISODate);
        else if (c.value.metaType().id() == QMetaType::Double)
            v = QString::number(c.value.toDouble());
        else
            v = u'\'' + c.value.toString() + u'\'';
        out << QStringLiteral("%1.%2 %3 %4").arg(c.table, c.field, ops[int(c.op)], v);
    }
    return out.join(QStringLiteral("; "));
}

} // namespace

class TstSelectionFormula : public QObject
{
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }

    void parses_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("conditions");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("blank") << "   "
                               << "";
        QTest::newRow("only from") << "{V_MV_MOLVERA.FECHA} >= Date(2024,3,15)"
                                   << "V_MV_MOLVERA.FECHA >= 2024-03-15";
        QTest::newRow("only to, leading blank") << " {V_MV_MOLVERA.FECHA} <= Date(2024,3,31)"
                                                << "V_MV_MOLVERA.FECHA <= 2024-03-31";
        QTest::newRow("both, two blanks after AND")
            << "{V_MV_MOLVERA.FECHA} >= Date(2024,3,1) AND  {V_MV_MOLVERA.FECHA} <= Date(2024,3,31)"
            << "V_MV_MOLVERA.FECHA >= 2024-03-01; V_MV_MOLVERA.FECHA <= 2024-03-31";
        QTest::newRow("sheet loaded") << "{V_MV_MOLVERA.FECHA} = Date(2024,3,15)"
                                      << "V_MV_MOLVERA.FECHA = 2024-03-15";
        QTest::newRow("lower-case and, no blanks")
            << "{V_MV_MOLVERA.FECHA}>Date(2023,12,31)and{V_MV_MOLVERA.FECHA}<Date(2024,1,2)"
            << "V_MV_MOLVERA.FECHA > 2023-12-31; V_MV_MOLVERA.FECHA < 2024-01-02";
        QTest::newRow("no table, text and number")
            << "{silodestino} = '0001' AND {Toneladas} <> 28.5"
            << ".silodestino = '0001'; .Toneladas <> 28.5";
        QTest::newRow("quote doubled in a text") << "{vendedor} = 'O''Higgins'"
                                                 << ".vendedor = 'O'Higgins'";
        QTest::newRow("leap day") << "{FECHA} = Date(2024,2,29)"
                                  << ".FECHA = 2024-02-29";
    }
    void parses()
    {
        QFETCH(QString, formula);
        QFETCH(QString, conditions);
        QCOMPARE(summary(SelectionFormula::parse(formula)), conditions);
    }

    void malformedIsRefused_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::newRow("no value") << "{V_MV_MOLVERA.FECHA} >= ";
        QTest::newRow("no operator") << "{V_MV_MOLVERA.FECHA} Date(2024,3,15)";
        QTest::newRow("unclosed brace") << "{V_MV_MOLVERA.FECHA >= Date(2024,3,15)";
        QTest::newRow("no braces") << "V_MV_MOLVERA.FECHA >= Date(2024,3,15)";
        QTest::newRow("no such day") << "{V_MV_MOLVERA.FECHA} >= Date(2024,2,30)";
        QTest::newRow("month 13") << "{V_MV_MOLVERA.FECHA} >= Date(2024,13,1)";
        QTest::newRow("two parts of a date") << "{V_MV_MOLVERA.FECHA} >= Date(2024,3)";
        QTest::newRow("OR") << "{FECHA} = Date(2024,3,1) OR {FECHA} = Date(2024,3,2)";
        QTest::newRow("dangling AND") << "{V_MV_MOLVERA.FECHA} >= Date(2024,3,15) AND";
        QTest::newRow("missing AND") << "{FECHA} >= Date(2024,3,1) {FECHA} <= Date(2024,3,2)";
        QTest::newRow("unclosed text") << "{vendedor} = 'abc";
        QTest::newRow("statement after") << "{FECHA} >= Date(2024,3,15); DROP TABLE mv_molvera";
        QTest::newRow("bare word") << "{FECHA} >= hoy";
        QTest::newRow("empty field") << "{V_MV_MOLVERA.} = 1";
    }
    void malformedIsRefused()
    {
        QFETCH(QString, formula);
        try {
            SelectionFormula::parse(formula);
            QFAIL("a malformed formula was accepted");
        } catch (const ServiceError& e) {
            QCOMPARE(e.number(), int(ServiceError::InvalidCall));
            QVERIFY2(e.description().contains(QStringLiteral("fórmula de selección")),
                     qPrintable(e.description()));
        }
    }

    void whereClauseIsParameterised()
    {
        const ReportDefinition def = definition();
        const auto f = SelectionFormula::parse(
            "{V_MV_MOLVERA.FECHA} >= Date(2024,3,1) AND  {V_MV_MOLVERA.FECHA} <= Date(2024,3,31)"
            " AND {vendedor} = 'x'' OR 1=1 --'");
        const auto w = f.toWhere(def, SqlDialect(SqlDialect::Kind::SQLite));
        QCOMPARE(w.sql, QStringLiteral("Fecha >= ? AND Fecha < ? AND vendedor = ?"));
        QCOMPARE(w.params.size(), 3);
        QCOMPARE(w.params.at(0).toDateTime(), QDateTime(QDate(2024, 3, 1), QTime(0, 0)));
        // "up to the 31st" takes in the whole 31st.
        QCOMPARE(w.params.at(1).toDateTime(), QDateTime(QDate(2024, 4, 1), QTime(0, 0)));
        QCOMPARE(w.params.at(2).toString(), QStringLiteral("x' OR 1=1 --"));
        // A day: from its start to the next day's start.
        const auto d = SelectionFormula::parse("{V_MV_MOLVERA.FECHA} = Date(2024,12,31)")
                           .toWhere(def, SqlDialect(SqlDialect::Kind::SQLite));
        QCOMPARE(d.sql, QStringLiteral("(Fecha >= ? AND Fecha < ?)"));
        QCOMPARE(d.params.at(1).toDateTime(), QDateTime(QDate(2025, 1, 1), QTime(0, 0)));
    }

    void unknownFieldOrTableIsRefused_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::newRow("other table") << "{TA_USUARIOS.FECHA} = Date(2024,3,1)";
        QTest::newRow("field not in the report") << "{V_MV_MOLVERA.responsable} = 'x'";
        QTest::newRow("field made up") << "{V_MV_MOLVERA.sqlite_master} = 1";
    }
    void unknownFieldOrTableIsRefused()
    {
        QFETCH(QString, formula);
        const auto f = SelectionFormula::parse(formula);
        QVERIFY_THROWS_EXCEPTION(ServiceError,
                                 f.toWhere(definition(), SqlDialect(SqlDialect::Kind::SQLite)));
    }

    // The bounds are checked against stored rows: a date means its whole day.
    void datesSelectWholeDays_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QStringList>("sellers");
        QTest::newRow("the day") << "{V_MV_MOLVERA.FECHA} = Date(2024,3,15)"
                                 << QStringList{"first second", "last second"};
        QTest::newRow("from and to the same day") << "{V_MV_MOLVERA.FECHA} >= Date(2024,3,15) AND  "
                                                     "{V_MV_MOLVERA.FECHA} <= Date(2024,3,15)"
                                                  << QStringList{"first second", "last second"};
        QTest::newRow("from") << "{V_MV_MOLVERA.FECHA} >= Date(2024,3,15)"
                              << QStringList{"first second", "last second", "next day"};
        QTest::newRow("to") << " {V_MV_MOLVERA.FECHA} <= Date(2024,3,15)"
                            << QStringList{"day before", "first second", "last second"};
        QTest::newRow("after") << "{V_MV_MOLVERA.FECHA} > Date(2024,3,15)"
                               << QStringList{"next day"};
        QTest::newRow("before") << "{V_MV_MOLVERA.FECHA} < Date(2024,3,15)"
                                << QStringList{"day before"};
        QTest::newRow("but the day")
            << "{V_MV_MOLVERA.FECHA} <> Date(2024,3,15)" << QStringList{"day before", "next day"};
        QTest::newRow("no condition")
            << "" << QStringList{"day before", "first second", "last second", "next day"};
    }
    void datesSelectWholeDays()
    {
        QFETCH(QString, formula);
        QFETCH(QStringList, sellers);
        TestDb db;
        const QDate d(2024, 3, 15);
        ReportRows::add(db.data(), QDateTime(d.addDays(-1), QTime(23, 59, 59)), 1, "day before");
        ReportRows::add(db.data(), QDateTime(d, QTime(0, 0)), 2, "first second");
        ReportRows::add(db.data(), QDateTime(d, QTime(23, 59, 59)), 3, "last second");
        ReportRows::add(db.data(), QDateTime(d.addDays(1), QTime(0, 0)), 4, "next day");
        const ReportDefinition def = definition();
        const ReportData data = ReportData::read(db.data(), def, SelectionFormula::parse(formula));
        QStringList got;
        const int col = def.columnIndex(QStringLiteral("vendedor"));
        for (int r = 0; r < data.rowCount(); ++r)
            got << data.row(r).at(col).toString();
        QCOMPARE(got, sellers);
    }

    void selectionInWords_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("words");
        QTest::newRow("none") << ""
                              << "";
        QTest::newRow("range")
            << "{V_MV_MOLVERA.FECHA} >= Date(2024,3,1) AND  {V_MV_MOLVERA.FECHA} <= Date(2024,3,31)"
            << "desde el 1/3/2024 hasta el 31/3/2024";
        QTest::newRow("day") << "{V_MV_MOLVERA.FECHA} = Date(2024,3,15)"
                             << "del día 15/3/2024";
        QTest::newRow("silo") << "{silodestino} = '0001'"
                              << "SILO DESTINO = \"0001\"";
    }
    void selectionInWords()
    {
        QFETCH(QString, formula);
        QFETCH(QString, words);
        QCOMPARE(SelectionFormula::parse(formula).describe(definition()), words);
    }
};

QTEST_GUILESS_MAIN(TstSelectionFormula)
#include "tst_selectionformula.moc"
