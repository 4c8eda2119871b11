// Every column of the daily sheet fed with hostile texts through the real
// cell editor: a value is either written exactly as the editor held it (and
// nothing else in the database changes but that cell, its time stamp and the
// records the database keeps of the change) or refused with a message, the
// editor keeping the value and the database untouched. Afterwards the window
// still edits.
#include "WindowFixture.h"

#include "CellWriter.h"
#include "HostileData.h"
#include "SheetSettlement.h"
#include "UtilService.h"

#include <QClipboard>
#include <QTextBoundaryFinder>

class TstHostileGrid : public QObject
{
    Q_OBJECT

    static void key(WindowFixture& f, Qt::Key k) { QTest::keyClick(f.w->TxtEdit(), k); }

    // The number the operator meant, read strictly: the locale's form or the
    // period form, never with group separators.
    static std::optional<double> meant(const QString& text)
    {
        for (QLocale loc : {QLocale(), QLocale::c()}) {
            loc.setNumberOptions(QLocale::RejectGroupSeparator);
            bool ok = false;
            const double d = loc.toDouble(text.trimmed(), &ok);
            if (ok) return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
        }
        return std::nullopt;
    }

    // The editor's limit counts characters (code points) and cuts between
    // whole characters: the longest such start of the text within the limit.
    static bool cutWhole(const QString& text, const QString& offered, int max)
    {
        if (max <= 0) return offered == text;
        if (!text.startsWith(offered)) return false;
        const auto codePoints = [](const QString& t) { return t.toUcs4().size(); };
        QTextBoundaryFinder whole(QTextBoundaryFinder::Grapheme, text);
        whole.setPosition(offered.size());
        if (!whole.isAtBoundary() || codePoints(offered) > max) return false;
        // One more character would not have fitted.
        const qsizetype next = offered.size() == text.size() ? -1 : whole.toNextBoundary();
        return next < 0 || codePoints(text.left(next)) > max;
    }

    // One edit of cell (2, col) with the text; checks what became of it.
    static void editCell(WindowFixture& f, int col, const QString& text, bool typed)
    {
        const int row = 2;
        f.grid()->setRowCol(row, col);
        const qint64 id = f.idAt(row);
        const QString cellBefore = f.grid()->TextMatrix(row, col);
        const Hostile::Snapshot before = Hostile::Snapshot::take(f.db.data());
        if (typed) {
            QTest::keyClicks(f.grid(), text.left(1));
            QVERIFY(f.w->TxtEdit()->isVisible());
            QTest::keyClicks(f.w->TxtEdit(), text.mid(1));
        } else {
            QTest::keyClick(f.grid(), Qt::Key_Return);
            QVERIFY(f.w->TxtEdit()->isVisible());
            f.w->TxtEdit()->setText(text);
        }
        const QString field = f.w->TxtEdit()->dataField();
        const CellWriter::Kind kind = CellWriter::kindOf(field);
        const QString offered = f.w->TxtEdit()->text();
        if (!typed && kind == CellWriter::Kind::Text) {
            // The editor takes the text up to the column's length.
            const int max = f.w->TxtEdit()->maxChars();
            QVERIFY2(cutWhole(text, offered, max), qPrintable(offered));
        }
        const int dialogsBefore = int(f.dialogs.shown.size());
        key(f, Qt::Key_Return);
        const Hostile::Snapshot after = Hostile::Snapshot::take(f.db.data());
        const QStringList changes = before.changesTo(after);
        QString why;
        QVERIFY2(Hostile::siloTotalsConsistent(f.db.data(), &why), qPrintable(why));

        if (f.w->TxtEdit()->isVisible()) {
            // Refused (no number, no deposit, or a reading out of its range):
            // said so, nothing written, the editor keeps the value.
            QVERIFY2(changes.isEmpty(), qPrintable(changes.join(u' ')));
            QVERIFY(f.dialogs.shown.size() > dialogsBefore);
            QCOMPARE(f.w->TxtEdit()->text(), offered);
            QCOMPARE(f.grid()->TextMatrix(row, col), cellBefore);
            key(f, Qt::Key_Escape);
            QVERIFY(!f.w->TxtEdit()->isVisible());
            return;
        }

        // Written: exactly what the editor held, and nothing else.
        const QVariant stored = f.column(id, field);
        const QString v = offered.trimmed();
        switch (kind) {
        case CellWriter::Kind::Text:
            if (v.isEmpty()) {
                QVERIFY(stored.isNull()); // the cell emptied
            } else if (field.compare(QLatin1String("SILODESTINO"), Qt::CaseInsensitive) == 0) {
                QCOMPARE(stored.toString(), UtilService::fixedWidth(v, 4));
                QVERIFY(f.db.scalar("SELECT COUNT(*) FROM v_ta_deposito WHERE iddeposito = ?",
                                    {stored})
                            .toInt() == 1);
            } else {
                QCOMPARE(stored.toString(), v);
                QCOMPARE(f.grid()->TextMatrix(row, col), v);
            }
            break;
        case CellWriter::Kind::Number: {
            const auto n = meant(v);
            if (v.isEmpty()) {
                QCOMPARE(stored.toDouble(), 0.0);
            } else {
                QVERIFY2(n.has_value(), qPrintable(QStringLiteral("accepted %1 as %2")
                                                       .arg(v, stored.toString())));
                QVERIFY(!stored.isNull());
                QCOMPARE(stored.toDouble(), *n);
            }
            break;
        }
        default: QFAIL("a column that is not edited was written");
        }
        const QString mine = QStringLiteral("mv_molvera:%1:").arg(id);
        for (const QString& c : changes) {
            if (c == mine + field.toLower() || c == mine + QLatin1String("fecha_modificacion") ||
                c == mine + QLatin1String("modificado_por"))
                continue;
            // What the load is worth, written with its tonnes or a reading.
            if (SheetSettlement::entra(field) &&
                (c == mine + QLatin1String("merma") || c == mine + QLatin1String("kg_netos") ||
                 c == mine + QLatin1String("grado") || c == mine + QLatin1String("reglas_version")))
                continue;
            if (c.startsWith(QLatin1String("mv_molvera_silo_total:")) ||
                c.startsWith(QLatin1String("sqlite_sequence:")))
                continue; // kept by the database's own triggers, checked above
            if (!c.startsWith(QLatin1String("mv_molvera:")) && c.contains(QLatin1String(":+")))
                continue; // a record of the change
            QFAIL(qPrintable(QStringLiteral("unexpected change %1").arg(c)));
        }
    }

    // The window goes on working: a plain edit is written.
    static void stillUsable(WindowFixture& f)
    {
        f.grid()->setRowCol(3, 12);
        const qint64 id = f.idAt(3);
        QTest::keyClicks(f.grid(), "o");
        QVERIFY(f.w->TxtEdit()->isVisible());
        QTest::keyClicks(f.w->TxtEdit(), "k");
        key(f, Qt::Key_Return);
        QVERIFY(!f.w->TxtEdit()->isVisible());
        QCOMPARE(f.column(id, "observaciones").toString(), QStringLiteral("ok"));
        QCOMPARE(f.rowsOf(QDate(2024, 3, 15)), 2);
    }

private slots:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void everyColumnTakesOrRefuses_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("typed");
        static const char* const columns[] = {"tonnes",  "seller",  "origin",   "trucker",
                                              "wet",     "dry",     "charact.", "falling",
                                              "humid.",  "hectol.", "silo",     "remarks"};
        for (int col = 1; col <= 12; ++col) {
            for (const Hostile::Input& in : Hostile::inputs()) {
                QTest::newRow(qPrintable(QStringLiteral("%1/%2").arg(columns[col - 1], in.name)))
                    << col << in.text << false;
            }
            // Typed key by key: the editor's key handling on the way.
            for (const char* t : {"12,5,3", "1e308", "-0", "'; DROP TABLE mv_molvera; --", "3"})
                QTest::newRow(qPrintable(QStringLiteral("%1/typed %2").arg(columns[col - 1], t)))
                    << col << QString::fromLatin1(t) << true;
        }
    }
    void everyColumnTakesOrRefuses()
    {
        QFETCH(int, col);
        QFETCH(QString, text);
        QFETCH(bool, typed);
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        editCell(f, col, text, typed);
        if (QTest::currentTestFailed()) return;
        stillUsable(f);
    }

    // A sheet that holds hostile texts loads, shows them as stored and
    // keeps them through a reload; a text with a control character inside
    // (NUL, a tab, a line break: the cells are of one line) is refused with
    // a message and not stored.
    void storedTextsComeBackUnchanged()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        const qint64 id = f.idAt(2);
        const auto inputs = Hostile::inputs();
        const Hostile::Snapshot before = Hostile::Snapshot::take(f.db.data());
        for (const Hostile::Input& in : inputs) {
            f.grid()->setRowCol(2, 12);
            QTest::keyClick(f.grid(), Qt::Key_Return);
            f.w->TxtEdit()->setText(in.text);
            const QString before = f.column(id, "observaciones").toString();
            key(f, Qt::Key_Return);
            const QString v = in.text.trimmed();
            bool control = false;
            for (QChar c : v) control = control || c.category() == QChar::Other_Control;
            if (control) {
                QVERIFY2(f.w->TxtEdit()->isVisible(), in.name);
                QVERIFY(f.dialogs.messageTexts().last().contains("carácter de control"));
                QCOMPARE(f.column(id, "observaciones").toString(), before);
                key(f, Qt::Key_Escape);
                continue;
            }
            QVERIFY2(!f.w->TxtEdit()->isVisible(), in.name);
            if (v.isEmpty()) QVERIFY(f.column(id, "observaciones").isNull());
            else QCOMPARE(f.column(id, "observaciones").toString(), v);
            f.w->ProcesarComando("CANCELAR");
            QVERIFY(f.loadDay(QDate(2024, 3, 15)));
            QCOMPARE(f.grid()->TextMatrix(2, 12), v);
        }
        const Hostile::Snapshot after = Hostile::Snapshot::take(f.db.data());
        for (const QString& t : before.tables())
            if (!t.startsWith(QLatin1String("mv_molvera")) && t != QLatin1String("sqlite_sequence"))
                QCOMPARE(after.checksum(t), before.checksum(t));
        QCOMPARE(after.rowCount("mv_molvera"), before.rowCount("mv_molvera"));
    }

    // A text pasted with a control character inside (a NUL from another
    // program, a tab or a line break out of a spreadsheet) is refused with a
    // message, in a cell and in the date box, the editor keeping it; nothing
    // is stored, and Esc leaves it.
    void aPastedControlCharacterIsRefused()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        const Hostile::Snapshot before = Hostile::Snapshot::take(f.db.data());
        auto press = [](int k, Qt::KeyboardModifiers m = Qt::NoModifier) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), m);
        };
        const QString pasted[] = {QStringLiteral("ab") + QChar(0) + QStringLiteral("cd"),
                                  QStringLiteral("Juan\tPérez"), QStringLiteral("uno\ndos")};
        for (const QString& text : pasted) {
            QApplication::clipboard()->setText(text);
            f.grid()->setRowCol(2, 2);
            f.grid()->setFocus();
            press(Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), f.w->TxtEdit());
            press(Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(f.w->TxtEdit()->text(), text);
            const int shown = int(f.dialogs.shown.size());
            press(Qt::Key_Return);
            QVERIFY(f.w->TxtEdit()->isVisible());
            QCOMPARE(f.w->TxtEdit()->text(), text);
            QCOMPARE(int(f.dialogs.shown.size()), shown + 1);
            QVERIFY2(f.dialogs.messageTexts().last().contains("carácter de control"),
                     qPrintable(f.dialogs.messageTexts().last()));
            press(Qt::Key_Escape);
            QVERIFY(!f.w->TxtEdit()->isVisible());
        }
        f.w->ProcesarComando("CANCELAR");
        TextBox* fecha = f.w->box("Fecha");
        fecha->setFocus();
        fecha->clear();
        QApplication::clipboard()->setText(QStringLiteral("16/3/2024") + QChar(0));
        // The box takes digits alone from the keys: pasted from its menu.
        fecha->paste();
        QCOMPARE(fecha->text().size(), 10);
        press(Qt::Key_Return);
        QVERIFY(!f.w->mPlanillaCargada);
        QVERIFY(f.dialogs.messageTexts().last().contains("carácter de control"));
        const QStringList changes = before.changesTo(Hostile::Snapshot::take(f.db.data()));
        QVERIFY2(changes.isEmpty(), qPrintable(changes.join(u' ')));
    }

    // The editor's limits count characters and never cut one in two: an
    // emoji typed as the hundredth character of a seller is stored whole (as
    // valid UTF-8), one more is refused, a pasted text is cut between
    // characters; OBSERVACIONES has no limit at all.
    void textLimitsKeepWholeCharacters()
    {
        WindowFixture f;
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        const qint64 id = f.idAt(2);
        const QString wheat =
            QString::fromUtf8("\xf0\x9f\x8c\xbe"); // one character, two UTF-16 units
        auto open = [&](int col) {
            f.grid()->setRowCol(2, col);
            f.grid()->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QVERIFY(f.w->TxtEdit()->isVisible());
            QCOMPARE(QApplication::focusWidget(), f.w->TxtEdit());
        };
        auto typeText = [](const QString& t) {
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, t,
                                Qt::NoModifier);
        };

        open(2);
        f.w->TxtEdit()->setText(QString(99, u'a'));
        typeText(wheat);
        QCOMPARE(f.w->TxtEdit()->text(), QString(99, u'a') + wheat);
        typeText(wheat); // the 101st character
        QCOMPARE(f.w->TxtEdit()->text(), QString(99, u'a') + wheat);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!f.w->TxtEdit()->isVisible());
        QCOMPARE(f.column(id, "vendedor").toString(), QString(99, u'a') + wheat);
        QCOMPARE(f.db.scalar("SELECT length(vendedor) FROM mv_molvera WHERE ID = ?", {id}).toInt(),
                 100);

        // Set from outside (a paste, a pick): cut before the character that
        // would not fit whole.
        open(3);
        f.w->TxtEdit()->setText(QString(99, u'b') + wheat + wheat);
        QCOMPARE(f.w->TxtEdit()->text(), QString(99, u'b') + wheat);
        f.w->TxtEdit()->setText(QString(99, u'b') + u'e' + QChar(0x301) + u'x'); // e + accent
        QCOMPARE(f.w->TxtEdit()->text(), QString(99, u'b'));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);

        // Far past the line edit's own 32,767.
        QString largo;
        while (largo.size() < 40000)
            largo += QStringLiteral("Observación %1. ").arg(largo.size());
        largo = largo.trimmed();
        open(12);
        f.w->TxtEdit()->setText(largo);
        QCOMPARE(f.w->TxtEdit()->text().size(), largo.size());
        typeText(QStringLiteral("!"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!f.w->TxtEdit()->isVisible());
        QCOMPARE(f.column(id, "observaciones").toString(), largo + u'!');
    }
};

QTEST_MAIN(TstHostileGrid)
#include "tst_hostilegrid.moc"
