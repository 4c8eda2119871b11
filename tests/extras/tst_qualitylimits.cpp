// Quality limits of the readings: a value no instrument gives is refused at
// entry; a value beyond the plant's acceptance limits (configuration table)
// is written and flagged in amber with a tooltip naming the limit.
#include "ExtrasFixture.h"

#include "QualityDelegate.h"
#include "QualityLimits.h"

#include <QHelpEvent>
#include <QToolTip>

namespace
{

QColor cellColour(FlexGrid* g, int row, int col)
{
    const QRect r = g->visualRect(g->model()->index(row - FlexGrid::FixedRows, col));
    const QImage img = g->viewport()->grab().toImage();
    return img.pixelColor(r.right() - 3, r.top() + 3);
}

} // namespace

class TstQualityLimits : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void aNewDatabaseHasTheCommonLimits_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<double>("value");
        QTest::newRow("humidity") << "LIMITE_HUMEDAD_MAX" << 14.5;
        QTest::newRow("hectolitre") << "LIMITE_PESOHECT_MIN" << 76.0;
        QTest::newRow("falling") << "LIMITE_FALLINGNUMBER_MIN" << 250.0;
        QTest::newRow("wet gluten") << "LIMITE_HUMEDO_MIN" << 25.0;
    }
    void aNewDatabaseHasTheCommonLimits()
    {
        QFETCH(QString, key);
        QFETCH(double, value);
        TestDb db;
        const QString v = ModGlobal::ValorConfiguracion(db.data(), key).trimmed();
        QCOMPARE(QLocale::c().toDouble(v), value);
    }

    void implausibleReadingsAreRefused_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("refused");
        QTest::newRow("humidity 45") << 9 << "45" << true;
        QTest::newRow("humidity -1") << 9 << "-1" << true;
        QTest::newRow("humidity 40") << 9 << "40" << false;
        QTest::newRow("humidity 0") << 9 << "0" << false;
        QTest::newRow("hectolitre 39.9") << 10 << "39.9" << true;
        QTest::newRow("hectolitre 95") << 10 << "95" << false;
        QTest::newRow("hectolitre 96") << 10 << "96" << true;
        QTest::newRow("hectolitre 0: not taken") << 10 << "0" << false;
        QTest::newRow("falling 0: not taken") << 8 << "0" << false;
        QTest::newRow("falling 0.5") << 8 << "0.5" << true;
        QTest::newRow("falling 59") << 8 << "59" << true;
        QTest::newRow("falling 600") << 8 << "600" << false;
        QTest::newRow("falling 601") << 8 << "601" << true;
        QTest::newRow("wet gluten 61") << 5 << "61" << true;
        QTest::newRow("dry gluten 60") << 6 << "60" << false;
        QTest::newRow("tonnes 60.5") << 1 << "60.5" << true;
        QTest::newRow("tonnes 0") << 1 << "0" << false;
        QTest::newRow("tonnes 31") << 1 << "31" << false;
        // The kept silo sums hold tonnes to the gram and the quality readings
        // to the hundredth: a finer value is refused, so the silo figures
        // always equal the rows.
        QTest::newRow("tonnes to the gram") << 1 << "0.333333" << false;
        QTest::newRow("humidity 13.45") << 9 << "13.45" << false;
        QTest::newRow("humidity 13.456") << 9 << "13.456" << true;
        QTest::newRow("hectolitre 78.125") << 10 << "78.125" << true;
        QTest::newRow("falling 300.5") << 8 << "300.5" << false;
        QTest::newRow("falling 300.555") << 8 << "300.555" << true;
        QTest::newRow("wet gluten 27.555, not summed") << 5 << "27.555" << false;
    }
    void implausibleReadingsAreRefused()
    {
        QFETCH(int, col);
        QFETCH(QString, typed);
        QFETCH(bool, refused);
        ExtrasFixture f;
        QVERIFY(f.loadDay());
        const qint64 id = f.idAt(2);
        const QString campo = QualityLimits::fieldOfColumn(col);
        const qint64 records =
            f.db.scalar("SELECT COUNT(*) FROM mv_molvera_historial").toLongLong();
        const bool closed = f.typeInto(2, col, typed);
        QCOMPARE(closed, !refused);
        if (refused) {
            // The editor stays open on the typed value, nothing is written.
            QCOMPARE(f.editor()->text(), typed);
            QCOMPARE(f.grid()->Col(), col);
            QVERIFY(f.column(id, campo).isNull());
            QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM mv_molvera_historial").toLongLong(),
                     records);
            QCOMPARE(f.dialogs.count("message"), 1);
            QCOMPARE(f.dialogs.shown.last().title, QStringLiteral("Atención"));
            const QString msg = f.dialogs.messageTexts().last();
            const auto range = QualityLimits::plausibleRange(campo);
            QVERIFY(range);
            const double v = QLocale::c().toDouble(typed);
            if (v < *range->min || v > *range->max) {
                QVERIFY2(msg.contains("fuera de rango"), qPrintable(msg));
                QVERIFY2(msg.contains(QLocale().toString(*range->max)), qPrintable(msg));
            } else {
                QVERIFY2(msg.contains(QStringLiteral("2 decimales como máximo")), qPrintable(msg));
            }
            QTest::keyClick(f.editor(), Qt::Key_Escape);
        } else {
            QCOMPARE(f.dialogs.count("message"), 0);
            QCOMPARE(f.column(id, campo).toDouble(), QLocale::c().toDouble(typed));
        }
    }

    // The tonnes editor holds 8 characters, so a typed weight never passes
    // the gram; a value given otherwise is refused all the same.
    void tonnesBelowTheGramAreRefused()
    {
        QVERIFY(QualityLimits::plausibilityMessage("toneladas", "0.3333333")
                    .contains(QStringLiteral("hasta el gramo")));
        QVERIFY(QualityLimits::plausibilityMessage("toneladas", "0.333333").isEmpty());
        QVERIFY(QualityLimits::plausibilityMessage("toneladas", "59.999999").isEmpty());
    }

    void plausibilityOnlyConcernsReadings()
    {
        QCOMPARE(QualityLimits::plausibilityMessage("VENDEDOR", "999"), QString());
        QCOMPARE(QualityLimits::plausibilityMessage("SILODESTINO", "9999"), QString());
        QCOMPARE(QualityLimits::plausibilityMessage("HUMEDAD", ""), QString());
        QCOMPARE(QualityLimits::plausibilityMessage("HUMEDAD", "catorce"), QString());
        QVERIFY(!QualityLimits::plausibilityMessage("HUMEDAD", "41").isEmpty());
    }

    void beyondTheAcceptanceLimitIsFlagged()
    {
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
        ExtrasFixture f;
        QVERIFY(f.loadDay());
        const qint64 id = f.idAt(2);
        QVERIFY(f.typeInto(2, 9, "15,2")); // humidity above 14.5: written, flagged
        QVERIFY(f.typeInto(3, 9, "14,5")); // at the limit: not flagged
        QVERIFY(f.typeInto(2, 10, "74"));  // hectolitre weight below 76
        QVERIFY(f.typeInto(3, 10, "0"));   // not measured
        QVERIFY(f.typeInto(2, 8, "300"));  // falling number within
        QVERIFY(f.typeInto(3, 5, "24,5")); // wet gluten below 25
        QCOMPARE(f.column(id, "humedad").toDouble(), 15.2);
        QCOMPARE(f.dialogs.count("message"), 0);

        const QualityLimits& l = f.w->limits();
        const QString hum = l.cellBreach(2, 9);
        QVERIFY2(hum.contains("LIMITE_HUMEDAD_MAX") && hum.contains("14,5") && hum.contains("15,2"),
                 qPrintable(hum));
        QCOMPARE(l.cellBreach(3, 9), QString());
        QVERIFY(l.cellBreach(2, 10).contains("LIMITE_PESOHECT_MIN"));
        QCOMPARE(l.cellBreach(3, 10), QString());
        QCOMPARE(l.cellBreach(2, 8), QString());
        QVERIFY(l.cellBreach(3, 5).contains("LIMITE_HUMEDO_MIN"));
        QCOMPARE(l.cellBreach(2, 2), QString());

        // Amber on screen where flagged, the usual background elsewhere.
        f.grid()->setRowCol(3, 2);
        QCoreApplication::processEvents();
        QCOMPARE(cellColour(f.grid(), 2, 9), QualityDelegate::amber());
        QCOMPARE(cellColour(f.grid(), 2, 10), QualityDelegate::amber());
        QVERIFY(cellColour(f.grid(), 3, 9) != QualityDelegate::amber());
        QVERIFY(cellColour(f.grid(), 2, 8) != QualityDelegate::amber());

        // The tooltip of the cell names the limit.
        QWidget* vp = f.grid()->viewport();
        const QRect r = f.grid()->visualRect(f.grid()->model()->index(2 - FlexGrid::FixedRows, 9));
        QHelpEvent tip(QEvent::ToolTip, r.center(), vp->mapToGlobal(r.center()));
        QCoreApplication::sendEvent(vp, &tip);
        QCOMPARE(QToolTip::text(), hum);
        QToolTip::hideText();
    }

    void limitsComeFromTheConfigurationTable()
    {
        ExtrasFixture f;
        DataService& d = f.db.data();
        d.execute("UPDATE ta_configuracion SET VALOR = '13' WHERE CLAVE = 'LIMITE_HUMEDAD_MAX'");
        d.execute("DELETE FROM ta_configuracion WHERE CLAVE = 'LIMITE_PESOHECT_MIN'");
        d.execute("INSERT INTO ta_configuracion (CLAVE, VALOR) VALUES ('LIMITE_TONELADAS_MAX', "
                  "'30')");
        d.execute("INSERT INTO ta_configuracion (CLAVE, VALOR) VALUES ('LIMITE_SECO_MAX', '')");
        QVERIFY(f.loadDay());
        const QualityLimits& l = f.w->limits();
        QCOMPARE(l.limit("humedad").max.value_or(-1), 13.0);
        QVERIFY(!l.limit("pesohect").min && !l.limit("pesohect").max);
        QCOMPARE(l.limit("toneladas").max.value_or(-1), 30.0);
        QVERIFY(!l.limit("seco").max); // an empty value is no limit
        QVERIFY(f.typeInto(2, 9, "13.5"));
        QVERIFY(f.typeInto(2, 10, "50"));
        QVERIFY(f.typeInto(2, 1, "31"));
        QVERIFY(f.typeInto(2, 6, "59"));
        QVERIFY(l.cellBreach(2, 9).contains("LIMITE_HUMEDAD_MAX"));
        QCOMPARE(l.cellBreach(2, 10), QString());
        QVERIFY(l.cellBreach(2, 1).contains("LIMITE_TONELADAS_MAX"));
        QCOMPARE(l.cellBreach(2, 6), QString());
    }

    // A database without the configuration table: the limits cannot be read,
    // which is said once (not once per key, not on every day loaded), and
    // the sheet works without limits.
    void noConfigurationTableIsOneMessage()
    {
        ExtrasFixture f;
        f.db.data().execute("DROP TABLE ta_configuracion");
        f.dialogs.clear();
        QVERIFY(f.loadDay());
        QCOMPARE(f.dialogs.count("error"), 0);
        QCOMPARE(f.dialogs.count("message"), 1);
        QVERIFY2(f.dialogs.shown.last().text.contains("límites de aceptación"),
                 qPrintable(f.dialogs.shown.last().text));
        QVERIFY(f.dialogs.shown.last().text.contains("Detalle: "));
        QVERIFY(!f.w->limits().limit("humedad").max);
        QVERIFY(f.loadDay(ExtrasFixture::dia().addDays(1)));
        QCOMPARE(f.dialogs.shown.size(), 1);
        QVERIFY(f.typeInto(2, 9, "14.9")); // over the usual limit: no limit now
        QCOMPARE(f.w->limits().cellBreach(2, 9), QString());
    }
};

QTEST_MAIN(TstQualityLimits)
#include "tst_qualitylimits.moc"
