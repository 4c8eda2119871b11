#include "DataService.h"
#include "DateText.h"
#include "FormService.h"
#include "IniReader.h"
#include "KeyCodes.h"
#include "ServiceError.h"
#include "TextBox.h"
#include "UtilService.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

class TstUtilService : public QObject
{
    Q_OBJECT
private slots:
    void fixedWidth_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("short") << "7"
                               << "0007";
        QTest::newRow("blanks") << "  12 "
                                << "0012";
        QTest::newRow("already") << "0003"
                                 << "0003";
        QTest::newRow("extra zeros") << "000007"
                                     << "0007";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("text stays") << "A1"
                                    << "A1";
        QTest::newRow("long number") << "12345"
                                     << "12345";
    }
    void fixedWidth()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(UtilService::fixedWidth(in, 4), out);
    }

    void numbers()
    {
        QCOMPARE(UtilService::textToNumber("  42abc"), 42);
        QCOMPARE(UtilService::textToNumber("-3"), -3);
        QCOMPARE(UtilService::textToNumber("x1"), 0);
        QCOMPARE(UtilService::leadingNumber(" 2.5kg"), 2.5);
        QCOMPARE(UtilService::leadingNumber("2,5"), 2.0);
        QCOMPARE(UtilService::leadingNumber("abc"), 0.0);
    }

    void numericValueByLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("es comma") << "es_AR"
                                  << "12,5" << true << 12.5;
        QTest::newRow("es period") << "es_AR"
                                   << "12.5" << true << 12.5;
        QTest::newRow("en period") << "en_US"
                                   << "12.5" << true << 12.5;
        QTest::newRow("en comma is no number") << "en_US"
                                               << "12,5" << false << 0.0;
        QTest::newRow("two separators") << "es_AR"
                                        << "12,5,3" << false << 0.0;
        QTest::newRow("NaN") << "en_US"
                             << "NaN" << false << 0.0;
        QTest::newRow("infinite") << "en_US"
                                  << "1e999" << false << 0.0;
        QTest::newRow("negative zero") << "en_US"
                                       << "-0" << true << 0.0;
        QTest::newRow("letters") << "es_AR"
                                 << "doce" << false << 0.0;
    }
    void numericValueByLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        const QLocale saved;
        QLocale::setDefault(QLocale(locale));
        const auto v = DataService::numericValue(text);
        QLocale::setDefault(saved);
        QCOMPARE(v.has_value(), ok);
        if (ok) QCOMPARE(*v, value);
    }

    // The quick reading of plain numbers gives what the locale's own parsing
    // gives (the locale, then the C form), for every text and locale.
    void numericValueAsTheLocaleReadsIt_data()
    {
        QTest::addColumn<QString>("locale");
        for (const char* l : {"C", "es_AR", "en_US", "de_DE", "fr_FR", "de_CH", "ar_EG"})
            QTest::newRow(l) << QString::fromLatin1(l);
    }
    void numericValueAsTheLocaleReadsIt()
    {
        QFETCH(QString, locale);
        const QLocale saved;
        QLocale::setDefault(QLocale(locale));
        QStringList texts{"0",
                          "00",
                          "007",
                          "-0",
                          "-007.50",
                          "12",
                          "12.5",
                          "12,5",
                          "1.234",
                          "1.234,5",
                          "1,234.5",
                          "1 234,5",
                          ".5",
                          "5.",
                          "-",
                          "+5",
                          "1e3",
                          "12,5,3",
                          "--1",
                          "0.1",
                          "0,30000000000000004",
                          "9007199254740993",
                          "123456789012345678901234567890",
                          "12345678901234567890123456789012345678901",
                          "27,125",
                          "14.5",
                          "-3",
                          "٣٫٥",
                          "1'234.5",
                          "12.",
                          "1..2",
                          "1.,2"};
        // And many texts of digits, separators and signs.
        quint32 seed = 12345;
        auto next = [&] { return seed = seed * 1103515245u + 12345u; };
        const QString alphabet = QStringLiteral("0123456789012345678.,-");
        for (int i = 0; i < 3000; ++i) {
            QString t;
            const int len = 1 + int(next() >> 16) % 12;
            for (int k = 0; k < len; ++k)
                t += alphabet.at(int(next() >> 16) % alphabet.size());
            texts << t;
        }
        int quick = 0;
        for (const QString& t : std::as_const(texts)) {
            QLocale loc;
            loc.setNumberOptions(QLocale::RejectGroupSeparator);
            bool ok = false;
            double expected = loc.toDouble(t, &ok);
            if (!ok) expected = QLocale::c().toDouble(t, &ok);
            const bool expectedOk = ok && std::isfinite(expected);
            const auto v = DataService::numericValue(t);
            QVERIFY2(v.has_value() == expectedOk, qPrintable(locale + u' ' + t));
            if (expectedOk) QVERIFY2(*v == expected, qPrintable(locale + u' ' + t));
            if (DataService::plainNumber(t, QLocale().decimalPoint())) ++quick;
        }
        QLocale::setDefault(saved);
        QVERIFY(quick > 300); // the quick reading was taken, and agreed
    }

    void dates_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("es short") << "es_AR"
                                  << "15/3/2024" << QDate(2024, 3, 15);
        QTest::newRow("es two-digit year") << "es_AR"
                                           << "15/03/24" << QDate(2024, 3, 15);
        QTest::newRow("iso") << "es_AR"
                             << "2024-03-15" << QDate(2024, 3, 15);
        QTest::newRow("dashes") << "es_AR"
                                << "15-3-2024" << QDate(2024, 3, 15);
        QTest::newRow("dots") << "es_AR"
                              << "15.3.2024" << QDate(2024, 3, 15);
        QTest::newRow("31 February") << "es_AR"
                                     << "31/02/2024" << QDate();
        QTest::newRow("letters") << "es_AR"
                                 << "hoy" << QDate();
        QTest::newRow("us short") << "en_US"
                                  << "3/15/2024" << QDate(2024, 3, 15);
        QTest::newRow("us, day first still read") << "en_US"
                                                  << "15/3/2024" << QDate(2024, 3, 15);
    }
    void dates()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QDate, date);
        const QLocale saved;
        QLocale::setDefault(QLocale(locale));
        const QDate d = DateText::parse(text);
        const QString roundTrip = DateText::format(QDate(2026, 12, 9));
        const QDate back = DateText::parse(roundTrip);
        QLocale::setDefault(saved);
        QCOMPARE(d, date);
        QCOMPARE(back, QDate(2026, 12, 9));
        QVERIFY(roundTrip.size() <= 10);
    }

    void dateToFormula()
    {
        QLocale::setDefault(QLocale("es_AR"));
        QCOMPARE(UtilService::dateToFormula("15/3/2024"), QStringLiteral("Date(2024,3,15)"));
        QVERIFY_THROWS_EXCEPTION(ServiceError, UtilService::dateToFormula("32/1/2024"));
        QLocale::setDefault(QLocale::c());
    }

    void textHelpers()
    {
        QCOMPARE(UtilService::removeChars("a=b= c", u'='), QStringLiteral("ab c"));
        QCOMPARE(UtilService::removeChars(QString("x") + QChar(0) + "y" + QChar(255), QChar(0),
                                          QChar(255)),
                 QStringLiteral("xy"));
        QCOMPARE(UtilService::replace("|A|B|", "|", ","), QStringLiteral(",A,B,"));
        QCOMPARE(UtilService::normalizeFolder("/opt/molvera"), QStringLiteral("/opt/molvera/"));
        QCOMPARE(UtilService::normalizeFolder("/opt/molvera/"), QStringLiteral("/opt/molvera/"));
        QCOMPARE(UtilService::valueToText(QVariant()), QString());
        QLocale::setDefault(QLocale("es_AR"));
        QCOMPARE(UtilService::valueToText(12.5), QStringLiteral("12,5"));
        QCOMPARE(UtilService::valueToText(1234567.0), QStringLiteral("1234567"));
        QLocale::setDefault(QLocale::c());
    }

    void formService()
    {
        TextBox a, b;
        a.setDataField("Fecha");
        b.setDataField("Responsable");
        QCOMPARE(FormService::findByFieldName("responsable", {&a, &b}), 1);
        QCOMPARE(FormService::findByFieldName("FECHA", {&a, &b}), 0);
        QCOMPARE(FormService::findByFieldName("otro", {&a, &b}), -1);
        QVERIFY(FormService::isEndOfEditKey(KeyCodes::Enter));
        QVERIFY(FormService::isEndOfEditKey(KeyCodes::Up));
        QVERIFY(FormService::isEndOfEditKey(KeyCodes::Down));
        QVERIFY(FormService::isEndOfEditKey(KeyCodes::Tab));
        QVERIFY(!FormService::isEndOfEditKey(KeyCodes::Escape));
        QVERIFY(!FormService::isEndOfEditKey('A'));
        a.setTag("Fecha");
        for (QChar c : QStringLiteral("0123456789/-.")) {
            int code = c.unicode();
            FormService::keyFilter(&a, code);
            QCOMPARE(code, int(c.unicode()));
        }
        for (QChar c : QStringLiteral("a ;'x")) {
            int code = c.unicode();
            FormService::keyFilter(&a, code);
            QCOMPARE(code, 0);
        }
        int backspace = KeyCodes::Backspace;
        FormService::keyFilter(&a, backspace);
        QCOMPARE(backspace, int(KeyCodes::Backspace));
        int letter = 'x';
        FormService::keyFilter(&b, letter);
        QCOMPARE(letter, int('x'));
    }

    void iniReader()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath("CN000pr.INI"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("; comment\n[PC01|OPERADOR1]\nFlatToolbars = 0\n[Iconos]\nIconoDelSistema=TRIGO\n");
        f.close();
        IniReader::setSearchFolders({dir.path()});
        QCOMPARE(IniReader::readKey("CN000pr.INI", "pc01|operador1", "flattoolbars", "1"),
                 QStringLiteral("0"));
        QCOMPARE(IniReader::readKey("CN000pr.INI", "Iconos", "IconoDelSistema", "X"),
                 QStringLiteral("TRIGO"));
        QCOMPARE(IniReader::readKey("CN000pr.INI", "Iconos", "Falta", "def"),
                 QStringLiteral("def"));
        QCOMPARE(IniReader::readKey("NOEXISTE.INI", "Iconos", "IconoDelSistema", "def"),
                 QStringLiteral("def"));
        IniReader::setSearchFolders({});
    }
};

QTEST_MAIN(TstUtilService)
#include "tst_utilservice.moc"
