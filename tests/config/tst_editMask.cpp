// Edit masks as validators, the mask used as a number pattern, and the
// C-style number reads of the editor.
#include "config/editMask.h"
#include "engine/numberScan.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <limits>

class TestEditMask : public QObject
{
    Q_OBJECT

private slots:
    void validation_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("shown");

        QTest::newRow("int: empty") << "#999999"
                                    << "" << true << "";
        QTest::newRow("int: signed") << "#999999"
                                     << "-123456" << true << "-123456";
        QTest::newRow("int: seven digits") << "#999999"
                                           << "1234567" << true << "1234567";
        QTest::newRow("int: eight digits") << "#999999"
                                           << "12345678" << false << "";
        QTest::newRow("int: sign after digit") << "#999999"
                                               << "1-2" << false << "";
        QTest::newRow("int: letter") << "#999999"
                                     << "12a" << false << "";
        QTest::newRow("name: upper-cased") << ">aaaaaaaa"
                                           << "temp1" << true << "TEMP1";
        QTest::newRow("name: eight") << ">aaaaaaaa"
                                     << "abcdefgh" << true << "ABCDEFGH";
        QTest::newRow("name: nine") << ">aaaaaaaa"
                                    << "abcdefghi" << false << "";
        QTest::newRow("name: space") << ">aaaaaaaa"
                                     << "ab c" << false << "";
        QTest::newRow("name: underscore") << ">aaaaaaaa"
                                          << "ab_" << false << "";
        QTest::newRow("four: any characters") << "cccc"
                                              << "1.5x" << true << "1.5x";
        QTest::newRow("four: five") << "cccc"
                                    << "12.55" << false << "";
        QTest::newRow("four: lower case kept") << "cccc"
                                               << "ab" << true << "ab";
        QTest::newRow("six: six") << "cccccc"
                                  << "12.555" << true << "12.555";
        QTest::newRow("six: seven") << "cccccc"
                                    << "12.5555" << false << "";
        QTest::newRow("decimal: short") << "#000.0"
                                        << "12.5" << true << "12.5";
        QTest::newRow("decimal: full") << "#000.0"
                                       << "+012.5" << true << "+012.5";
        QTest::newRow("decimal: no point") << "#000.0"
                                           << "-5" << true << "-5";
        QTest::newRow("decimal: two decimals") << "#000.0"
                                               << "12.55" << false << "";
        QTest::newRow("decimal: five digits") << "#000.0"
                                              << "12345" << false << "";
        QTest::newRow("decimal: letter") << "#000.0"
                                         << "1a" << false << "";
        QTest::newRow("unsigned decimal: value") << "0.00"
                                                 << "1.25" << true << "1.25";
        QTest::newRow("unsigned decimal: sign") << "0.00"
                                                << "-1" << false << "";
        QTest::newRow("literal") << "99:99"
                                 << "12:3" << true << "12:3";
        QTest::newRow("literal wrong") << "99:99"
                                       << "12-3" << false << "";
    }

    void validation()
    {
        QFETCH(QString, mask);
        QFETCH(QString, input);
        QFETCH(bool, accepted);
        QFETCH(QString, shown);
        TMaskValidator validator(MaskPattern(mask), MaskForcesUpperCase(mask));
        QString text = input;
        int pos = int(text.size());
        QCOMPARE(validator.validate(text, pos) != QValidator::Invalid, accepted);
        if (accepted)
            QCOMPARE(text, shown);
    }

    // What a user gets by typing: rejected keys are dropped, the rest stays.
    void typing_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<bool>("upper");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("shown");
        QTest::newRow("int") << "#999999" << false << "-12x345678"
                             << "-123456";
        QTest::newRow("name") << ">aaaaaaaa" << false << "an1 out!"
                              << "AN1OUT";
        QTest::newRow("four") << "cccc" << false << "12.55"
                              << "12.5";
        QTest::newRow("six") << "cccccc" << false << "12.5555"
                             << "12.555";
        QTest::newRow("template decimal") << "#00.0000" << true << "-3.14159"
                                          << "-3.1415";
        QTest::newRow("upper without mask") << "" << true << "site 1"
                                            << "SITE 1";
    }

    void typing()
    {
        QFETCH(QString, mask);
        QFETCH(bool, upper);
        QFETCH(QString, keys);
        QFETCH(QString, shown);
        QLineEdit edit;
        ApplyEditMask(&edit, mask, upper);
        QTest::keyClicks(&edit, keys);
        QCOMPARE(edit.text(), shown);
        QVERIFY(edit.inputMask().isEmpty()); // no fixed-layout blanks
    }

    void noMaskLeavesTheEditFree()
    {
        QLineEdit edit;
        ApplyEditMask(&edit, QString(), false);
        QVERIFY(!edit.validator());
    }

    void numberPattern_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("text");
        QTest::newRow("padded") << 12.5 << "#000.0"
                                << "012.5";
        QTest::newRow("negative") << -3.25 << "#00.0000"
                                  << "-03.2500";
        QTest::newRow("two decimals") << 1.5 << "0.00"
                                      << "1.50";
        QTest::newRow("zero") << 0.0 << "#000.0"
                              << "000.0";
        QTest::newRow("rounded") << 1234.56 << "#0000.0"
                                 << "1234.6";
        QTest::newRow("rounded down to zero") << 0.004 << "0.00"
                                              << "0.00";
        QTest::newRow("negative zero") << -0.001 << "0.00"
                                       << "0.00";
        QTest::newRow("optional decimals") << 2.5 << "0.0#"
                                           << "2.5";
        QTest::newRow("more digits than the mask") << 12345.0 << "#0.0"
                                                   << "12345.0";
        QTest::newRow("case mark and literals") << 7.0 << ">T#0.0C"
                                                << "T7.0C";
    }

    void numberPattern()
    {
        QFETCH(double, value);
        QFETCH(QString, mask);
        QFETCH(QString, text);
        QCOMPARE(FormatWithMask(value, mask), text);
    }

    void scanInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("digits then text") << "  42abc" << 42;
        QTest::newRow("negative") << "-7" << -7;
        QTest::newRow("plus") << "+3" << 3;
        QTest::newRow("nothing") << "x1" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("decimal") << "12.9" << 12;
        QTest::newRow("too large") << "99999999999" << std::numeric_limits<int>::max();
        QTest::newRow("too small") << "-99999999999" << std::numeric_limits<int>::min();
    }

    void scanInt()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(ScanInt(text), value);
    }

    void scanDouble_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("then text") << "12.5x" << true << 12.5;
        QTest::newRow("leading point") << ".5" << true << 0.5;
        QTest::newRow("exponent") << "1e2" << true << 100.0;
        QTest::newRow("comma is no point") << "1,5" << true << 1.0;
        QTest::newRow("nothing") << "abc" << false << 0.0;
        QTest::newRow("sign only") << "-" << false << 0.0;
    }

    void scanDouble()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        double read = 0;
        QCOMPARE(ScanDouble(text, read), ok);
        QCOMPARE(read, value);
    }

    void wholeNumbers()
    {
        int n = 0;
        QVERIFY(ParseWholeInt(" 12 ", n) && n == 12);
        QVERIFY(!ParseWholeInt("12a", n));
        QVERIFY(!ParseWholeInt("", n));
        QVERIFY(!ParseWholeInt("99999999999", n));
        double d = 0;
        QVERIFY(ParseWholeDouble("-3.5", d) && d == -3.5);
        QVERIFY(!ParseWholeDouble("3.5.1", d));
        QCOMPARE(TrimBlank(QStringLiteral("\t x y \r\n")), QStringLiteral("x y"));
    }
};

QTEST_MAIN(TestEditMask)
#include "tst_editMask.moc"
