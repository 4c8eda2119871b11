// What an operator reads on the window: Qt's own buttons and dialogs in
// Spanish, the report tab's labels whole beside their boxes, and the day
// totals band at the foot of the sheet from the first show on.
#include "DayTotals.h"
#include "Idioma.h"
#include "WindowFixture.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>

class TestWindowTexts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(Idioma::instalarTraducciones(*qApp)); }

    // Every standard button the program shows, in Spanish.
    void standardButtonsSpeakSpanish_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("text");
        QTest::newRow("Yes") << int(QDialogButtonBox::Yes) << QStringLiteral("&Sí");
        QTest::newRow("No") << int(QDialogButtonBox::No) << QStringLiteral("&No");
        QTest::newRow("Ok") << int(QDialogButtonBox::Ok) << QStringLiteral("Aceptar");
        QTest::newRow("Cancel") << int(QDialogButtonBox::Cancel) << QStringLiteral("Cancelar");
        QTest::newRow("Save") << int(QDialogButtonBox::Save) << QStringLiteral("Guardar");
    }
    void standardButtonsSpeakSpanish()
    {
        QFETCH(int, button);
        QFETCH(QString, text);
        QDialogButtonBox box{QDialogButtonBox::StandardButtons(button)};
        QCOMPARE(box.button(QDialogButtonBox::StandardButton(button))->text(), text);
        // A confirmation as the window asks it.
        QMessageBox msg(QMessageBox::Question, QStringLiteral("¡Atención!"), QStringLiteral("?"),
                        QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(msg.button(QMessageBox::Yes)->text(), QStringLiteral("&Sí"));
        QCOMPARE(msg.windowTitle(), QStringLiteral("¡Atención!"));
    }

    // The file dialog's own labels, in the program's words: "archivo", as
    // every text of the program says, not Qt's "fichero".
    void fileDialogSpeaksSpanish()
    {
        QFileDialog fd(nullptr, QStringLiteral("Guardar reporte en PDF"));
        fd.setOption(QFileDialog::DontUseNativeDialog);
        fd.setAcceptMode(QFileDialog::AcceptSave);
        fd.setNameFilters({QStringLiteral("PDF (*.pdf)"), fd.tr("All Files (*)")});
        fd.show();
        QStringList texts;
        for (const QLabel* l : fd.findChildren<QLabel*>())
            texts << l->text();
        for (const QPushButton* b : fd.findChildren<QPushButton*>())
            texts << b->text();
        auto* types = fd.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(types);
        for (int i = 0; i < types->count(); ++i)
            texts << types->itemText(i);
        const QString all = texts.join(u'|');
        QVERIFY2(all.contains(QStringLiteral("Guardar")), qPrintable(all));
        QVERIFY2(!all.contains(QLatin1String("Look in")), qPrintable(all));
        QVERIFY2(!all.contains(QLatin1String("File name")), qPrintable(all));
        QCOMPARE(fd.findChild<QLabel*>(QStringLiteral("fileNameLabel"))->text(),
                 QStringLiteral("&Nombre de archivo:"));
        QCOMPARE(fd.findChild<QLabel*>(QStringLiteral("fileTypeLabel"))->text(),
                 QStringLiteral("Archivos de tipo:"));
        QVERIFY2(all.contains(QStringLiteral("Todos los archivos (*)")), qPrintable(all));
        QVERIFY2(!all.contains(QLatin1String("ichero"), Qt::CaseInsensitive), qPrintable(all));
        // Texts of Qt the program does not reword stay as Qt's Spanish has them.
        QCOMPARE(QCoreApplication::translate("QFileDialog", "&Save"), QStringLiteral("&Guardar"));
    }

    // Texts are Spanish on any system; the system's own Spanish when it has one.
    void textLocaleIsSpanish() { QCOMPARE(Idioma::textos().language(), QLocale::Spanish); }

    // "Fecha Desde:" and "Fecha Hasta:" read whole: no box covers their text.
    void reportLabelsReadWhole()
    {
        WindowFixture f;
        f.w->SSTab1()->setCurrentIndex(2);
        QCoreApplication::processEvents();
        for (const auto& [label, field] :
             {std::pair{"Label2", "FechaDesde"}, std::pair{"Label4", "FechaHasta"}}) {
            auto* l = f.w->findChild<QLabel*>(QLatin1String(label));
            QVERIFY(l);
            TextBox* box = f.w->box(QLatin1String(field));
            QVERIFY(box);
            const int textRight = l->x() + l->contentsMargins().left() +
                                  l->fontMetrics().horizontalAdvance(l->text());
            QVERIFY2(textRight <= box->x(), qPrintable(l->text()));
            QVERIFY(l->text().endsWith(u':'));
        }
    }

    // From the first show on, the totals band sits at the foot of the sheet's
    // page: no empty band under it waiting for a resize.
    void totalsBandAtTheFootFromTheFirstShow()
    {
        WindowFixture f;
        DayTotals* t = f.w->totals();
        QWidget* page = t->parentWidget();
        QVERIFY(t->isVisible());
        QVERIFY2(page->height() - t->geometry().bottom() <= 4,
                 qPrintable(QStringLiteral("%1 px under the band")
                                .arg(page->height() - t->geometry().bottom())));
        QCOMPARE(t->geometry().top(), f.grid()->geometry().bottom() + 2);
    }
};

QTEST_MAIN(TestWindowTexts)
#include "tst_windowtexts.moc"
