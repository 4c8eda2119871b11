#include "DataService.h"
#include "ReportRows.h"
#include "TestDb.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

struct Run {
    int exitCode = -1;
    QString out, err;
};

// Runs the built program as an operator's script would, on the scratch
// database, with the Argentine locale.
Run molvera(const QStringList& args, const QString& dbPath)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LANG"), QStringLiteral("es_AR.UTF-8"));
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM")); // the command needs no screen of its own
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(MOLVERA_EXE),
            args + QStringList{QStringLiteral("@DbName=%1;").arg(dbPath)});
    Run r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

} // namespace

class TstReportCli : public QObject
{
    Q_OBJECT

    TestDb* db = nullptr;
    double inRange = 0;

private slots:
    void initTestCase()
    {
        db = new TestDb;
        DataService& d = db->data();
        d.execute("UPDATE ta_configuracion SET VALOR = ? WHERE CLAVE = ?",
                  {QStringLiteral("Molino O'Brien S.A."), QStringLiteral("NOMBRE")});
        const double tonnes[] = {28.5, 30.25, 25.125, 31.0, 27.75};
        for (int i = 0; i < 5; ++i) {
            ReportRows::add(d, QDateTime(QDate(2024, 3, 10 + i), QTime(9, 0)), tonnes[i],
                            QStringLiteral("Vendedor %1").arg(i));
            inRange += tonnes[i];
        }
        ReportRows::add(d, QDateTime(QDate(2024, 4, 1), QTime(0, 0)), 99, "FueraDeRango");
        ReportRows::add(d, QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59)), 99, "FueraDeRango");
    }
    void cleanupTestCase() { delete db; }

    void writesAPdf()
    {
        QTemporaryDir dir;
        const QString pdf = dir.filePath("marzo.pdf");
        const Run r =
            molvera({"--report", "01/03/2024", "31/03/2024", "--output", pdf}, db->path());
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.out.contains(QStringLiteral("marzo.pdf")));
        const QString text = ReportRows::pdfText(pdf);
        QVERIFY2(text.contains(QStringLiteral("Molino O'Brien S.A.")), qPrintable(text));
        const QString total = QLocale(QStringLiteral("es_AR")).toString(inRange, 'f', 2);
        QCOMPARE(total, QStringLiteral("142,63")); // 142.625 as the report rounds it
        QVERIFY2(text.contains(
                     QRegularExpression(total + QStringLiteral("\\s+Total general: 5 cargas"))),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("desde el 1/3/2024 hasta el 31/3/2024")));
        QVERIFY(!text.contains(QStringLiteral("FueraDeRango")));
        QCOMPARE(int(text.count(QStringLiteral("Total del día"))), 5);
        QVERIFY(text.contains(QStringLiteral("Página 1 de 1")));
    }

    void writesACsv()
    {
        QTemporaryDir dir;
        const QString csv = dir.filePath("marzo.csv");
        const Run r = molvera({"--report", "-", "31/03/2024", "--output", csv}, db->path());
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
        // The header and the rows up to the 31st: the one of 29/2 too.
        QCOMPARE(lines.size(), 1 + 6);
        QVERIFY(lines.at(1).startsWith(QStringLiteral("29/2/2024;99,00;FueraDeRango;")));
        QVERIFY(lines.at(2).startsWith(QStringLiteral("10/3/2024;28,50;Vendedor 0;")));
    }

    void aWrongDateWritesNothing_data()
    {
        QTest::addColumn<QString>("desde");
        QTest::addColumn<QString>("hasta");
        QTest::addColumn<QString>("box");
        QTest::newRow("from") << "31/02/2024"
                              << ""
                              << "Fecha Desde";
        QTest::newRow("to") << ""
                            << "marzo"
                            << "Fecha Hasta";
        QTest::newRow("reversed") << "31/03/2024"
                                  << "01/03/2024"
                                  << "es posterior a Fecha Hasta";
    }
    void aWrongDateWritesNothing()
    {
        QFETCH(QString, desde);
        QFETCH(QString, hasta);
        QFETCH(QString, box);
        QTemporaryDir dir;
        const QString pdf = dir.filePath("x.pdf");
        const Run r = molvera({"--report", desde, hasta, "--output", pdf}, db->path());
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(box), qPrintable(r.err));
        QVERIFY(!QFile::exists(pdf));
    }

    void aCommandLineWithoutOutputIsRefused()
    {
        const Run r = molvera({"--report", "01/03/2024", "31/03/2024"}, db->path());
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains(QStringLiteral("--output")));
    }
};

QTEST_GUILESS_MAIN(TstReportCli)
#include "tst_reportcli.moc"
