// Texts folded as Spanish is compared: no case, no accents; and the
// character map a server folds with agrees with the folding letter by letter.
#include "TextFold.h"

#include <QtTest>

class TestTextFold : public QObject
{
    Q_OBJECT
private slots:
    void fold_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("folded");
        QTest::newRow("plain") << "Acopio SRL"
                               << "acopio srl";
        QTest::newRow("acute") << "Ángel PÉREZ"
                               << "angel perez";
        QTest::newRow("eñe") << "Ñandú S.A."
                             << "nandu s.a.";
        QTest::newRow("diaeresis") << "GÜEMES"
                                   << "guemes";
        QTest::newRow("decomposed input") << QString::fromUtf8("A\u0301ngel") << "angel";
        QTest::newRow("no decomposition") << "ØRSTED"
                                          << "ørsted";
        QTest::newRow("digits and signs") << "0003 - 25%_"
                                          << "0003 - 25%_";
        QTest::newRow("empty") << ""
                               << "";
    }
    void fold()
    {
        QFETCH(QString, text);
        QFETCH(QString, folded);
        QCOMPARE(TextFold::fold(text), folded);
    }

    // Each mapped letter folds to the letter it is mapped to, and every
    // accented Spanish letter is in the map.
    void mapAgreesWithTheFolding()
    {
        const QString& from = TextFold::mapFrom();
        const QString& to = TextFold::mapTo();
        QCOMPARE(from.size(), to.size());
        for (qsizetype i = 0; i < from.size(); ++i)
            QCOMPARE(TextFold::fold(QString(from.at(i))), QString(to.at(i)));
        for (QChar c : QStringLiteral("ÁÉÍÓÚÜÑáéíóúüñÀÈÌÒÙÇç"))
            QVERIFY2(from.contains(c), qPrintable(QString(c)));
        for (QChar c : to)
            QVERIFY(c.isLower() || !c.isLetter());
    }
};

QTEST_APPLESS_MAIN(TestTextFold)
#include "tst_textfold.moc"
