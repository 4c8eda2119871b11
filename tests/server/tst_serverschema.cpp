// The server schemas and the SQL Server dialect, checked as statement texts
// (no SQL Server runs on the build machines): the PostgreSQL and SQL Server
// scripts must hold the same tables, columns, views, indexes and starter rows
// as the embedded SQLite script, and the statements the program sends must
// come out in each server's own form.
#include "EmbeddedSchema.h"
#include "SchemaUpgrade.h"
#include "SqlDialect.h"
#include "SqlScript.h"

#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

using Kind = SqlDialect::Kind;
Q_DECLARE_METATYPE(SqlDialect::Kind)

namespace {

QStringList statements(const QString& schema)
{
    return SqlScript::split(embeddedSchema(schema));
}

// Names of the objects a script creates, by kind ("TABLE", "VIEW", ...).
QSet<QString> created(const QString& schema, const QString& kind)
{
    static const QRegularExpression re(
        QStringLiteral("^CREATE\\s+(TABLE|VIEW|INDEX|TRIGGER|FUNCTION)\\s+(\\w+)"),
        QRegularExpression::CaseInsensitiveOption);
    QSet<QString> out;
    for (const QString& s : statements(schema)) {
        const auto m = re.match(s);
        if (m.hasMatch() && m.captured(1).compare(kind, Qt::CaseInsensitive) == 0)
            out.insert(m.captured(2).toLower());
    }
    return out;
}

// The column names of a table, in order, lower case.
QStringList columnsOf(const QString& schema, const QString& table)
{
    const QRegularExpression re(
        QStringLiteral("^CREATE\\s+TABLE\\s+%1\\s*\\((.*)\\)\\s*$").arg(table),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    for (const QString& s : statements(schema)) {
        const auto m = re.match(s);
        if (!m.hasMatch()) continue;
        QStringList cols;
        for (const QString& line : m.captured(1).split(u'\n')) {
            const QString t = line.trimmed();
            if (t.isEmpty()) continue;
            const QString first = t.section(u' ', 0, 0).toLower();
            if (first == QLatin1String("primary") || first == QLatin1String("constraint")) continue;
            cols << first;
        }
        return cols;
    }
    return {};
}

// The column type of one column, lower case, as written.
QString typeOf(const QString& schema, const QString& table, const QString& column)
{
    const QRegularExpression re(
        QStringLiteral("^CREATE\\s+TABLE\\s+%1\\s*\\((.*)\\)\\s*$").arg(table),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    for (const QString& s : statements(schema)) {
        const auto m = re.match(s);
        if (!m.hasMatch()) continue;
        for (const QString& line : m.captured(1).split(u'\n')) {
            const QString t = line.simplified();
            if (t.section(u' ', 0, 0).compare(column, Qt::CaseInsensitive) == 0)
                return t.section(u' ', 1, 1).toLower().remove(u',');
        }
    }
    return {};
}

// The starter rows of a table: each row as its values, texts without quotes
// and without SQL Server's N prefix, numbers as written.
QList<QStringList> starterRows(const QString& schema, const QString& table)
{
    const QRegularExpression re(
        QStringLiteral("^INSERT\\s+INTO\\s+%1\\s*\\(([^)]*)\\)\\s*VALUES\\s*(.*)$").arg(table),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    QList<QStringList> rows;
    for (const QString& s : statements(schema)) {
        const auto m = re.match(s);
        if (!m.hasMatch()) continue;
        const QString v = m.captured(2);
        QStringList row;
        QString cur;
        bool inText = false;
        for (int i = 0; i < v.size(); ++i) {
            const QChar c = v.at(i);
            if (inText) {
                if (c == u'\'' && i + 1 < v.size() && v.at(i + 1) == u'\'') {
                    cur += c;
                    ++i;
                } else if (c == u'\'') {
                    inText = false;
                } else {
                    cur += c;
                }
            } else if (c == u'\'') {
                inText = true;
                if (cur.trimmed() == QLatin1String("N")) cur.clear();
            } else if (c == u',' || c == u')') {
                row << cur.trimmed();
                cur.clear();
                if (c == u')') {
                    rows << row;
                    row.clear();
                }
            } else if (c != u'(') {
                if (!(c == u' ' && cur.isEmpty())) cur += c;
            }
        }
    }
    return rows;
}

} // namespace

class TstServerSchema : public QObject
{
    Q_OBJECT
private slots:
    void scriptsAreBuiltIn()
    {
        for (const char* s : {"sqlite", "postgres", "sqlserver"})
            QVERIFY2(statements(QLatin1String(s)).size() > 15, s);
    }

    void sameObjects_data()
    {
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QString>("kind");
        for (const char* s : {"postgres", "sqlserver"})
            for (const char* k : {"TABLE", "VIEW", "INDEX"})
                QTest::addRow("%s %s", s, k) << QString::fromLatin1(s) << QString::fromLatin1(k);
    }
    void sameObjects()
    {
        QFETCH(QString, schema);
        QFETCH(QString, kind);
        const QSet<QString> expected = created(QStringLiteral("sqlite"), kind);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(created(schema, kind), expected);
    }

    void sameColumns_data()
    {
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QString>("table");
        for (const char* s : {"postgres", "sqlserver"})
            for (const QString& t : created(QStringLiteral("sqlite"), QStringLiteral("TABLE")))
                QTest::addRow("%s %s", s, qPrintable(t)) << QString::fromLatin1(s) << t;
    }
    void sameColumns()
    {
        QFETCH(QString, schema);
        QFETCH(QString, table);
        const QStringList expected = columnsOf(QStringLiteral("sqlite"), table);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(columnsOf(schema, table), expected);
    }

    void sameStarterRows_data()
    {
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QString>("table");
        for (const char* s : {"postgres", "sqlserver"})
            for (const char* t : {"ta_deposito", "ta_configuracion", "ta_usuarios", "ta_provincias"})
                QTest::addRow("%s %s", s, t) << QString::fromLatin1(s) << QString::fromLatin1(t);
    }
    void sameStarterRows()
    {
        QFETCH(QString, schema);
        QFETCH(QString, table);
        const QList<QStringList> expected = starterRows(QStringLiteral("sqlite"), table);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(starterRows(schema, table), expected);
    }

    // Row ids are 64-bit everywhere; the silo totals are whole grams.
    void keyAndTotalTypes_data()
    {
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("type");
        QTest::newRow("pg id") << "postgres" << "mv_molvera" << "ID" << "bigint";
        QTest::newRow("mssql id") << "sqlserver" << "mv_molvera" << "ID" << "bigint";
        QTest::newRow("pg fecha") << "postgres" << "mv_molvera" << "Fecha" << "timestamp(0)";
        QTest::newRow("mssql fecha") << "sqlserver" << "mv_molvera" << "Fecha" << "datetime2(0)";
        QTest::newRow("pg gramos") << "postgres" << "mv_molvera_silo_total" << "gramos" << "bigint";
        QTest::newRow("mssql gramos") << "sqlserver" << "mv_molvera_silo_total" << "gramos" << "bigint";
        QTest::newRow("pg cargas") << "postgres" << "mv_molvera_silo_total" << "cargas" << "integer";
        QTest::newRow("mssql cargas") << "sqlserver" << "mv_molvera_silo_total" << "cargas" << "int";
        QTest::newRow("mssql texts unicode")
            << "sqlserver" << "mv_molvera" << "vendedor" << "nvarchar(100)";
    }
    void keyAndTotalTypes()
    {
        QFETCH(QString, schema);
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QString, type);
        QCOMPARE(typeOf(schema, table, column), type);
    }

    // The silo totals follow every insert, update and delete of an intake row.
    void totalsTriggersCoverEveryChange()
    {
        QString pg;
        for (const QString& s : statements(QStringLiteral("postgres")))
            if (s.startsWith(QLatin1String("CREATE TRIGGER"), Qt::CaseInsensitive)) pg += s + u'\n';
        for (const char* change : {"AFTER INSERT ON mv_molvera", "AFTER DELETE ON mv_molvera",
                                   "AFTER UPDATE OF Toneladas, silodestino ON mv_molvera"})
            QVERIFY2(pg.contains(QLatin1String(change)), change);

        QStringList ms;
        for (const QString& s : statements(QStringLiteral("sqlserver")))
            if (s.startsWith(QLatin1String("CREATE TRIGGER"), Qt::CaseInsensitive) &&
                s.contains(QLatin1String("AFTER INSERT")))
                ms << s;
        QCOMPARE(ms.size(), 1);
        QVERIFY(ms.first().contains(QLatin1String("ON mv_molvera AFTER INSERT, UPDATE, DELETE")));
        QVERIFY(ms.first().contains(QLatin1String("MERGE mv_molvera_silo_total WITH (HOLDLOCK)")));
        QVERIFY(ms.first().trimmed().endsWith(QLatin1String("END")));
        // The whole trigger is one batch: its inner statements were not split off.
        QVERIFY(ms.first().contains(QLatin1String("SET NOCOUNT ON;")));
    }

    // Weighings and analyzer readings are only ever added, in every script:
    // each table has a trigger that refuses an update and a delete, and a
    // deleted load's history names them. Every script makes a database of
    // the program's own schema version.
    void weighingsAreKeptForGood_data()
    {
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QString>("guard"); // the changes a table's trigger refuses
        QTest::newRow("sqlite") << "sqlite" << "BEFORE (UPDATE|DELETE) ON %1\\b";
        QTest::newRow("postgres") << "postgres" << "BEFORE UPDATE OR DELETE ON %1\\b";
        QTest::newRow("sqlserver") << "sqlserver" << "ON %1 AFTER UPDATE, DELETE\\b";
    }
    void weighingsAreKeptForGood()
    {
        QFETCH(QString, schema);
        QFETCH(QString, guard);
        for (const char* table : {"mv_molvera_pesada", "mv_molvera_lectura"}) {
            QStringList guards;
            const QRegularExpression re(guard.arg(QLatin1String(table)),
                                        QRegularExpression::CaseInsensitiveOption);
            for (const QString& s : statements(schema))
                if (s.startsWith(QLatin1String("CREATE TRIGGER"), Qt::CaseInsensitive) &&
                    re.match(s).hasMatch())
                    guards << s;
            QVERIFY2(guards.size() == (schema == QLatin1String("sqlite") ? 2 : 1),
                     qPrintable(table + (u' ' + guards.join(u'\n'))));
            if (schema == QLatin1String("sqlserver"))
                QVERIFY2(guards.first().contains(QLatin1String("THROW")), qPrintable(guards.first()));
            QVERIFY(columnsOf(schema, QLatin1String(table)).contains(QLatin1String("usuario")));
        }
        bool namesThem = false;
        for (const QString& s : statements(schema))
            namesThem |= s.contains(QLatin1String("'pesada'")) &&
                         s.contains(QLatin1String("mv_molvera_pesada AS p")) &&
                         s.contains(QLatin1String("BAJA"));
        QVERIFY(namesThem);
        const QRegularExpression version(
            QStringLiteral("^INSERT INTO mv_molvera_version \\(version\\) VALUES \\((\\d+)\\)$"));
        QStringList versions;
        for (const QString& s : statements(schema))
            if (const auto m = version.match(s); m.hasMatch()) versions << m.captured(1);
        QCOMPARE(versions, QStringList{QString::number(SchemaUpgrade::kCurrent)});
    }

    // OUTPUT INSERTED needs a view without INSTEAD OF triggers on SQL Server,
    // and CREATE VIEW / CREATE TRIGGER must each open a batch of their own.
    void sqlServerBatches()
    {
        const QStringList all = statements(QStringLiteral("sqlserver"));
        for (const QString& s : all) {
            QVERIFY2(!s.contains(QLatin1String("INSTEAD OF"), Qt::CaseInsensitive), qPrintable(s));
            QVERIFY2(!s.contains(QRegularExpression(QStringLiteral("^\\s*GO\\s*$"),
                                                    QRegularExpression::MultilineOption)),
                     qPrintable(s));
            const int creates = int(s.count(QRegularExpression(
                QStringLiteral("\\bCREATE\\s+(VIEW|TRIGGER|TABLE|INDEX)\\b"))));
            QVERIFY2(creates <= 1, qPrintable(s));
        }
        // Every text of the starter rows is a Unicode literal (accents survive).
        int texts = 0;
        for (const QString& s : all) {
            if (!s.startsWith(QLatin1String("INSERT"))) continue;
            bool inText = false;
            for (int i = 0; i < s.size(); ++i) {
                if (s.at(i) != u'\'') continue;
                if (inText && i + 1 < s.size() && s.at(i + 1) == u'\'') {
                    ++i;
                } else if (!inText) {
                    QVERIFY2(i > 0 && s.at(i - 1) == u'N', qPrintable(s.mid(i, 20)));
                    inText = true;
                    ++texts;
                } else {
                    inText = false;
                }
            }
        }
        QVERIFY(texts > 30);
    }

    // The program's statements in each server's form.
    void translate_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        const QString read = QStringLiteral(
            "SELECT ID,Toneladas as [TN DESC.], humedo as [GLUTEN HÚMEDO], silodestino as "
            "[SILO DESTINO] FROM v_mv_molvera where fecha >= ? and fecha < ? ORDER BY ID");
        QTest::newRow("read, sql server") << Kind::SqlServer << read << read;
        QTest::newRow("read, postgres")
            << Kind::PostgreSQL << read
            << "SELECT ID,Toneladas as \"TN DESC.\", humedo as \"GLUTEN HÚMEDO\", silodestino as "
               "\"SILO DESTINO\" FROM v_mv_molvera where fecha >= ? and fecha < ? ORDER BY ID";
        const QString update =
            QStringLiteral("UPDATE v_mv_molvera SET [VENDEDOR] = ?, fecha_modificacion = ? WHERE ID = ?");
        QTest::newRow("update, sql server") << Kind::SqlServer << update << update;
        QTest::newRow("update, postgres")
            << Kind::PostgreSQL << update
            << "UPDATE v_mv_molvera SET VENDEDOR = ?, fecha_modificacion = ? WHERE ID = ?";
        QTest::newRow("delete, sql server")
            << Kind::SqlServer << "DELETE v_mv_molvera WHERE ID = ?" << "DELETE v_mv_molvera WHERE ID = ?";
        QTest::newRow("delete, postgres")
            << Kind::PostgreSQL << "DELETE v_mv_molvera WHERE ID = ?"
            << "DELETE FROM v_mv_molvera WHERE ID = ?";
        QTest::newRow("captions keep their letters, postgres")
            << Kind::PostgreSQL << "SELECT vendedor as [VENDEDOR], ID AS[Id] FROM v WHERE [VENDEDOR] = ?"
            << "SELECT vendedor as \"VENDEDOR\", ID AS\"Id\" FROM v WHERE VENDEDOR = ?";
        QTest::newRow("top, sql server")
            << Kind::SqlServer << "SELECT top 1000 nombre FROM ta_usuarios ORDER BY nombre"
            << "SELECT top 1000 nombre FROM ta_usuarios ORDER BY nombre";
        QTest::newRow("top, postgres")
            << Kind::PostgreSQL << "SELECT top 1000 nombre FROM ta_usuarios ORDER BY nombre;"
            << "SELECT nombre FROM ta_usuarios ORDER BY nombre LIMIT 1000";
        QTest::newRow("closing bracket in a name, sql server")
            << Kind::SqlServer << "SELECT 1 as [a]]b]" << "SELECT 1 as [a]]b]";
    }
    void translate()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(SqlDialect(kind).translate(in), out);
    }

    void insertReturningIdOnServers()
    {
        const QStringList cols{"Fecha", "responsable", "fecha_alta"};
        QCOMPARE(SqlDialect(Kind::SqlServer).insertReturningId("v_mv_molvera", cols, "ID"),
                 QStringLiteral("SET NOCOUNT ON; DECLARE @nuevo TABLE (ID bigint); INSERT INTO "
                                "v_mv_molvera (Fecha,responsable,fecha_alta) OUTPUT INSERTED.ID "
                                "INTO @nuevo VALUES (?,?,?); SELECT ID FROM @nuevo"));
        QCOMPARE(SqlDialect(Kind::PostgreSQL).insertReturningId("v_mv_molvera", cols, "ID"),
                 QStringLiteral("INSERT INTO v_mv_molvera (Fecha,responsable,fecha_alta) VALUES "
                                "(?,?,?) RETURNING ID"));
        // Servers insert through the view itself; only SQLite needs the table.
        QCOMPARE(SqlDialect(Kind::SqlServer).insertTarget("v_mv_molvera"), QStringLiteral("v_mv_molvera"));
        QCOMPARE(SqlDialect(Kind::SQLite).insertTarget("V_MV_MOLVERA"), QStringLiteral("mv_molvera"));
    }

    void dateTimeLiteral_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("literal");
        QTest::newRow("sqlite") << Kind::SQLite << "'2024-03-05 07:08:09'";
        QTest::newRow("postgres") << Kind::PostgreSQL << "TIMESTAMP '2024-03-05 07:08:09'";
        QTest::newRow("sql server")
            << Kind::SqlServer << "CONVERT(datetime2(0), '2024-03-05 07:08:09', 120)";
    }
    void dateTimeLiteral()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, literal);
        const QDateTime t(QDate(2024, 3, 5), QTime(7, 8, 9, 600));
        QCOMPARE(SqlDialect(kind).dateTimeLiteral(t), literal);
    }

    void fromProductName_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("kind"); // -1: not supported
        QTest::newRow("pg version") << "PostgreSQL 15.20 (Debian 15.20-0+deb12u1) on x86_64" << int(Kind::PostgreSQL);
        QTest::newRow("pg dbms name") << "PostgreSQL" << int(Kind::PostgreSQL);
        QTest::newRow("mssql dbms name") << "Microsoft SQL Server" << int(Kind::SqlServer);
        QTest::newRow("mssql version")
            << "Microsoft SQL Server 2019 (RTM) - 15.0.2000.5 (X64)" << int(Kind::SqlServer);
        QTest::newRow("azure") << "Microsoft SQL Azure (RTM) - 12.0.2000.8" << int(Kind::SqlServer);
        QTest::newRow("mysql") << "MySQL" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void fromProductName()
    {
        QFETCH(QString, product);
        QFETCH(int, kind);
        const auto k = SqlDialect::fromProductName(product);
        QCOMPARE(k ? int(*k) : -1, kind);
    }
};

QTEST_APPLESS_MAIN(TstServerSchema)
#include "tst_serverschema.moc"
