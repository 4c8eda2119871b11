// The sheet to CSV: the locale's separators, UTF-8 with a byte-order mark,
// and a value with a comma, a quote and a line break read back exactly.
#include "ExtrasFixture.h"

#include "LiveSheet.h"
#include "SheetExport.h"
#include "SheetMenu.h"

#include <QAction>
#include <QFile>
#include <QMenu>

namespace
{

// An independent reader of the file: fields split on the separator outside
// quotes, doubled quotes inside them, records on CRLF outside quotes.
QList<QStringList> parseCsv(const QString& text, QChar sep)
{
    QList<QStringList> rows;
    QStringList row;
    QString cur;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                cur += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                cur += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == sep) {
            row << cur;
            cur.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            row << cur;
            cur.clear();
            rows << row;
            row.clear();
            ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.isEmpty() || !row.isEmpty()) rows << (row << cur);
    return rows;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

} // namespace

class TstSheetExport : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void fields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sep");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << "Juan"
                               << ";"
                               << "Juan";
        QTest::newRow("decimal comma under ;") << "12,5"
                                               << ";"
                                               << "12,5";
        QTest::newRow("separator") << "a;b"
                                   << ";"
                                   << "\"a;b\"";
        QTest::newRow("comma under ,") << "a,b"
                                       << ","
                                       << "\"a,b\"";
        QTest::newRow("quote") << "x\"y"
                               << ";"
                               << "\"x\"\"y\"";
        QTest::newRow("line break") << "a\nb"
                                    << ";"
                                    << "\"a\nb\"";
        QTest::newRow("outer blank") << " a"
                                     << ";"
                                     << "\" a\"";
        QTest::newRow("empty") << ""
                               << ";"
                               << "";
        // Texts a spreadsheet would take for a formula show as text.
        QTest::newRow("formula =") << "=1+2"
                                   << ";"
                                   << "\"'=1+2\"";
        QTest::newRow("formula +") << "+54 11"
                                   << ";"
                                   << "\"'+54 11\"";
        QTest::newRow("formula @") << "@SUMA(A1)"
                                   << ";"
                                   << "\"'@SUMA(A1)\"";
        QTest::newRow("formula -") << "-2+3"
                                   << ","
                                   << "\"'-2+3\"";
        QTest::newRow("tab") << "\t=1"
                             << ";"
                             << "\"'\t=1\"";
        QTest::newRow("carriage return") << "\r=1"
                                         << ";"
                                         << "\"'\r=1\"";
        QTest::newRow("negative number") << "-12,5"
                                         << ";"
                                         << "-12,5";
        QTest::newRow("signed number, comma sep") << "+1.5"
                                                  << ","
                                                  << "+1.5";
    }
    void fields()
    {
        QFETCH(QString, text);
        QFETCH(QString, sep);
        QFETCH(QString, written);
        QCOMPARE(SheetExport::field(text, sep.at(0)), written);
    }

    void separatorFollowsTheLocale()
    {
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
        QCOMPARE(SheetExport::separator(), QChar(u';'));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(SheetExport::separator(), QChar(u';'));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(SheetExport::separator(), QChar(u','));
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("sep");
        QTest::addColumn<QString>("tonnes");
        QTest::newRow("es_AR") << "es_AR"
                               << ";"
                               << "12,5";
        QTest::newRow("en_US") << "en_US"
                               << ","
                               << "12.5";
    }
    void roundTrip()
    {
        QFETCH(QString, locale);
        QFETCH(QString, sep);
        QFETCH(QString, tonnes);
        QLocale::setDefault(QLocale(locale));
        ExtrasFixture f;
        QVERIFY(f.loadDay());
        const QString tricky = QStringLiteral("Dijo \"ojo\", húmedo; revisar\r\nsegunda línea");
        f.db.data().execute("UPDATE v_mv_molvera SET observaciones = ?, vendedor = ? WHERE ID = ?",
                            {tricky, QStringLiteral("Ñandú, S.A."), f.idAt(2)});
        f.w->live().check();
        QCOMPARE(f.grid()->TextMatrix(2, 12), tricky);
        QVERIFY(f.typeInto(2, 1, tonnes));

        const QString path = f.iniDir.filePath("planilla.csv");
        f.dialogs.saveFileAnswers << path;
        QTest::keyClick(f.grid(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(f.dialogs.count("save"), 1);
        QVERIFY(!f.editor()->isVisible());
        const QByteArray bytes = readAll(path);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QString text = QString::fromUtf8(bytes.mid(3));
        QVERIFY(text.endsWith("\r\n"));
        const QList<QStringList> rows = parseCsv(text, sep.at(0));
        QCOMPARE(rows.size(), f.grid()->Rows() - 1); // header line + data rows
        QCOMPARE(rows.at(0).first(), QStringLiteral("TN DESC."));
        QCOMPARE(rows.at(0).at(4), QStringLiteral("GLUTEN HÚMEDO"));
        // Every shown column, the computed MERMA %, KG NETOS and GRADO last.
        QCOMPARE(rows.at(0).size(), 15);
        QCOMPARE(rows.at(0).at(12), QStringLiteral("MERMA %"));
        QCOMPARE(rows.at(0).at(14), QStringLiteral("GRADO"));
        for (int r = FlexGrid::FixedRows; r < f.grid()->Rows(); ++r) {
            QCOMPARE(rows.at(r - 1).size(), 15);
            for (int c = 1; c < 16; ++c)
                QCOMPARE(rows.at(r - 1).at(c - 1), f.grid()->TextMatrix(r, c));
        }
        QCOMPARE(rows.at(1).at(11), tricky);
        QCOMPARE(rows.at(1).at(1), QStringLiteral("Ñandú, S.A."));
        QCOMPARE(rows.at(1).at(0), tonnes);
    }

    void fromTheContextMenu()
    {
        ExtrasFixture f;
        QVERIFY(f.loadDay());
        QAction* a = f.w->sheetMenu().exportar();
        QVERIFY(f.w->sheetMenu().menu()->actions().contains(a));
        const QString path = f.iniDir.filePath("menu.csv");
        f.dialogs.saveFileAnswers << path;
        a->trigger();
        QVERIFY(readAll(path).size() > 3);
        // The context menu request opens the menu, without blocking.
        emit f.grid()->customContextMenuRequested(QPoint(10, 10));
        QTRY_VERIFY(f.w->sheetMenu().menu()->isVisible());
        f.w->sheetMenu().menu()->hide();
    }

    void cancelledOrFailedWritesNothing()
    {
        ExtrasFixture f;
        // No sheet: nothing to export.
        QVERIFY(!f.w->exporter().exportar());
        QCOMPARE(f.dialogs.count("save"), 0);
        QCOMPARE(f.dialogs.count("message"), 1);
        QVERIFY(f.loadDay());
        // Cancelled.
        QVERIFY(!f.w->exporter().exportar());
        QCOMPARE(f.dialogs.count("save"), 1);
        QCOMPARE(f.dialogs.count("message"), 1);
        // A folder that does not exist: told, nothing written.
        const QString bad = f.iniDir.filePath("no/existe/planilla.csv");
        f.dialogs.saveFileAnswers << bad;
        QVERIFY(!f.w->exporter().exportar());
        QCOMPARE(f.dialogs.count("message"), 2);
        QVERIFY(f.dialogs.messageTexts().last().contains(bad));
        QVERIFY(!QFile::exists(bad));
    }
};

QTEST_MAIN(TstSheetExport)
#include "tst_sheetexport.moc"
