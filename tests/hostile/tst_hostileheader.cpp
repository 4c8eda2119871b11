// The header boxes fed with hostile texts: the sheet date box loads a day
// only for a text that is a date (and then only that day's rows are made);
// the report's range boxes print only a selection made of dates, otherwise
// the operator is told which box is wrong. Nothing else changes, and the
// window goes on working.
#include "WindowFixture.h"

#include "HostileData.h"
#include "ReportCommand.h"
#include "ReportPrinter.h"
#include "SelectionFormula.h"

namespace
{

class RecordingPrinter : public ReportPrinter
{
public:
    QList<Request> requests;
    void print(QWidget*, const Request& request) override { requests << request; }
};


} // namespace

class TstHostileHeader : public QObject
{
    Q_OBJECT

    static void stillUsable(WindowFixture& f)
    {
        f.w->ProcesarComando("CANCELAR");
        QVERIFY(f.loadDay(QDate(2024, 3, 15)));
        f.grid()->setRowCol(2, 2);
        const qint64 id = f.idAt(2);
        QTest::keyClicks(f.grid(), "Z");
        QTest::keyClick(f.w->TxtEdit(), Qt::Key_Return);
        QCOMPARE(f.column(id, "vendedor").toString(), QStringLiteral("Z"));
    }

    static QList<Hostile::Input> dateInputs()
    {
        QList<Hostile::Input> in = Hostile::inputs();
        in << Hostile::Input{"date 15/3/2024", QStringLiteral("15/3/2024")}
           << Hostile::Input{"date with quote", QStringLiteral("15/3/2024'")}
           << Hostile::Input{"date then statement", QStringLiteral("1/1/2024; DELETE FROM mv_molvera")}
           << Hostile::Input{"date 31/02/2024", QStringLiteral("31/02/2024")}
           << Hostile::Input{"date year 0", QStringLiteral("1/1/0000")}
           << Hostile::Input{"date 29/2/2024 padded", QStringLiteral("  29/2/2024 ")};
        return in;
    }

private slots:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void dateBox_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("typed");
        for (const Hostile::Input& in : dateInputs()) {
            QTest::newRow(in.name) << in.text << false;
            bool ascii = true;
            for (QChar c : in.text) ascii = ascii && c.unicode() >= 32 && c.unicode() < 127;
            if (ascii && in.text.size() < 100)
                QTest::newRow(qPrintable(QStringLiteral("typed %1").arg(in.name))) << in.text << true;
        }
    }
    void dateBox()
    {
        QFETCH(QString, text);
        QFETCH(bool, typed);
        WindowFixture f;
        TextBox* fecha = f.w->box("Fecha");
        fecha->setFocus();
        QCoreApplication::processEvents();
        const Hostile::Snapshot before = Hostile::Snapshot::take(f.db.data());
        fecha->clear();
        if (typed) QTest::keyClicks(fecha, text);
        else fecha->setText(text);
        const QString held = fecha->text();
        QVERIFY(held.size() <= 10);
        if (typed)
            for (QChar c : held) QVERIFY(c.isDigit() || c == u'/' || c == u'-' || c == u'.');
        const QDate day = DateText::parse(held);
        QTest::keyClick(fecha, Qt::Key_Return);
        const QStringList changes = before.changesTo(Hostile::Snapshot::take(f.db.data()));
        if (day.isValid()) {
            QVERIFY(f.w->mPlanillaCargada);
            QCOMPARE(f.rowsOf(day), 2);
            // Only the new day's two rows (and their records) were made.
            for (const QString& c : changes) QVERIFY2(c.contains(QLatin1String(":+")), qPrintable(c));
        } else {
            QVERIFY(!f.w->mPlanillaCargada);
            QVERIFY2(changes.isEmpty(), qPrintable(changes.join(u' ')));
            // A control character is named as such, before the date is read.
            bool control = false;
            for (QChar c : held.trimmed()) control = control || c.category() == QChar::Other_Control;
            QVERIFY(f.dialogs.messageTexts().last().startsWith(
                control ? QStringLiteral("El valor tiene un carácter de control")
                        : QStringLiteral("¡¡¡Debe ingresar una fecha")));
        }
        stillUsable(f);
    }

    void reportRange_data()
    {
        QTest::addColumn<QString>("desde");
        QTest::addColumn<QString>("hasta");
        for (const Hostile::Input& in : dateInputs()) {
            QTest::newRow(qPrintable(QStringLiteral("desde %1").arg(in.name))) << in.text << "31/3/2024";
            QTest::newRow(qPrintable(QStringLiteral("hasta %1").arg(in.name))) << "1/3/2024" << in.text;
        }
    }
    void reportRange()
    {
        QFETCH(QString, desde);
        QFETCH(QString, hasta);
        RecordingPrinter printer;
        QTemporaryDir iniDir;
        TestDb db;
        ScriptedDialogs dialogs;
        Lib_ClsCons3 lookup{&db.data()};
        ModGlobal::reset();
        IniReader::setSearchFolders({iniDir.path()});
        frmTrigo w(db.data(), lookup, &printer);
        QVERIFY(w.Load());
        w.show();
        w.SSTab1()->setCurrentIndex(2);
        const Hostile::Snapshot before = Hostile::Snapshot::take(db.data());
        w.box("FechaDesde")->setText(desde);
        w.box("FechaHasta")->setText(hasta);
        const QString d = w.box("FechaDesde")->text(), h = w.box("FechaHasta")->text();
        const bool dOk = d.trimmed().isEmpty() || DateText::parse(d).isValid();
        const bool hOk = h.trimmed().isEmpty() || DateText::parse(h).isValid();
        w.ImprimirReporte();
        if (dOk && hOk) {
            QCOMPARE(printer.requests.size(), 1);
            // The selection is dates only, whatever the boxes held.
            const SelectionFormula sel = SelectionFormula::parse(printer.requests[0].selectionFormula);
            for (const auto& c : sel.conditions())
                QCOMPARE(c.value.metaType().id(), int(QMetaType::QDate));
            QCOMPARE(sel.conditions().size(), int(!d.trimmed().isEmpty()) + int(!h.trimmed().isEmpty()));
        } else {
            QVERIFY(printer.requests.isEmpty());
            QVERIFY(dialogs.messageTexts().last().contains(QStringLiteral("no es una fecha válida")));
            QVERIFY(w.focusWidget() == w.box(dOk ? "FechaHasta" : "FechaDesde") || !w.isActiveWindow());
        }
        const QStringList changes = before.changesTo(Hostile::Snapshot::take(db.data()));
        QVERIFY2(changes.isEmpty(), qPrintable(changes.join(u' ')));
        // A good range prints afterwards.
        w.box("FechaDesde")->setText("1/3/2024");
        w.box("FechaHasta")->setText("31/3/2024");
        printer.requests.clear();
        w.ImprimirReporte();
        QCOMPARE(printer.requests.size(), 1);
        IniReader::setSearchFolders({});
    }
};

QTEST_MAIN(TstHostileHeader)
#include "tst_hostileheader.moc"
