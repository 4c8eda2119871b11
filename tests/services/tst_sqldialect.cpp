#include "SqlDialect.h"
#include "SqlScript.h"

#include <QtTest>

using Kind = SqlDialect::Kind;
Q_DECLARE_METATYPE(SqlDialect::Kind)

class TstSqlDialect : public QObject
{
    Q_OBJECT
private slots:
    void translate_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("alias with dot, sqlite")
            << Kind::SQLite << "SELECT Toneladas as [TN DESC.] FROM v"
            << "SELECT Toneladas as \"TN DESC.\" FROM v";
        QTest::newRow("plain bracket unquoted on postgres")
            << Kind::PostgreSQL << "UPDATE v SET [VENDEDOR] = ? WHERE ID = ?"
            << "UPDATE v SET VENDEDOR = ? WHERE ID = ?";
        QTest::newRow("accented alias, postgres")
            << Kind::PostgreSQL << "select iddeposito as [Depósito] from v_ta_deposito"
            << "select iddeposito as \"Depósito\" from v_ta_deposito";
        QTest::newRow("sql server keeps brackets")
            << Kind::SqlServer << "SELECT a as [TN DESC.] FROM v" << "SELECT a as [TN DESC.] FROM v";
        QTest::newRow("top becomes limit")
            << Kind::SQLite << "SELECT top 1000 RAZON_SOCIAL,CODIGO FROM VT_CLIENTES WHERE x = 0"
            << "SELECT RAZON_SOCIAL,CODIGO FROM VT_CLIENTES WHERE x = 0 LIMIT 1000";
        QTest::newRow("top kept on sql server")
            << Kind::SqlServer << "SELECT top 10 a FROM t" << "SELECT top 10 a FROM t";
        QTest::newRow("delete without from")
            << Kind::PostgreSQL << "DELETE v_mv_molvera WHERE ID = ?"
            << "DELETE FROM v_mv_molvera WHERE ID = ?";
        QTest::newRow("delete with from untouched")
            << Kind::SQLite << "DELETE FROM v WHERE ID = ?" << "DELETE FROM v WHERE ID = ?";
        QTest::newRow("brackets inside a literal untouched")
            << Kind::PostgreSQL << "SELECT a FROM t WHERE b = '[x]' AND c = 'it''s [y]'"
            << "SELECT a FROM t WHERE b = '[x]' AND c = 'it''s [y]'";
        QTest::newRow("quote in identifier is doubled")
            << Kind::SQLite << "SELECT 1 as [a\"b]" << "SELECT 1 as \"a\"\"b\"";
    }
    void translate()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(SqlDialect(kind).translate(in), out);
    }

    void insertReturningId()
    {
        const QStringList cols{"Fecha", "responsable"};
        QCOMPARE(SqlDialect(Kind::SQLite).insertReturningId("v_mv_molvera", cols, "ID"),
                 QStringLiteral("INSERT INTO mv_molvera (Fecha,responsable) VALUES (?,?)"));
        QCOMPARE(SqlDialect(Kind::PostgreSQL).insertReturningId("v_mv_molvera", cols, "ID"),
                 QStringLiteral("INSERT INTO v_mv_molvera (Fecha,responsable) VALUES (?,?) RETURNING ID"));
        // SQL Server takes the id through a table variable (the table has triggers).
        const QString ss = SqlDialect(Kind::SqlServer).insertReturningId("v_mv_molvera", cols, "ID");
        QVERIFY(ss.contains(QStringLiteral("INSERT INTO v_mv_molvera (Fecha,responsable) OUTPUT "
                                           "INSERTED.ID INTO @nuevo VALUES (?,?)")));
        QVERIFY(ss.endsWith(QStringLiteral("SELECT ID FROM @nuevo")));
    }

    void scriptSplitting()
    {
        const QString script = QStringLiteral(
            "-- comment; with semicolon\n"
            "CREATE TABLE a (x TEXT DEFAULT 'a;b');\n"
            "CREATE TRIGGER t AFTER INSERT ON a\nBEGIN\n  UPDATE a SET x = CASE WHEN 1 THEN 'y' END;\n"
            "  DELETE FROM a WHERE 0;\nEND;\n"
            "CREATE FUNCTION f() RETURNS trigger AS $$ BEGIN RETURN NEW; END; $$ LANGUAGE plpgsql;\n"
            "INSERT INTO a VALUES ('it''s');\nGO\nSELECT 1\n");
        const QStringList parts = SqlScript::split(script);
        QCOMPARE(parts.size(), 5);
        QVERIFY(parts.at(0).startsWith("CREATE TABLE a"));
        QVERIFY(parts.at(0).contains("'a;b'"));
        QVERIFY(parts.at(1).startsWith("CREATE TRIGGER"));
        QVERIFY(parts.at(1).trimmed().endsWith("END"));
        QVERIFY(parts.at(2).contains("$$ LANGUAGE plpgsql"));
        QCOMPARE(parts.at(3), QStringLiteral("INSERT INTO a VALUES ('it''s')"));
        QCOMPARE(parts.at(4), QStringLiteral("SELECT 1"));
    }
};

QTEST_APPLESS_MAIN(TstSqlDialect)
#include "tst_sqldialect.moc"
