// The entry checks: each rule's boundaries, the messages, the in-place
// normalisations and the duplicate substitute names.
#include "tests/config/editorFixture.h"

#include <QCheckBox>
#include <QRegularExpression>

using namespace EditorFixture;

class TestValidation : public QObject
{
    Q_OBJECT

    std::unique_ptr<Editor> e;

    // Checks once; the boxes shown are left in e->dialogs.
    bool Check()
    {
        e->dialogs.clear();
        return e->engine->ValidateEntries();
    }

private slots:
    void init()
    {
        e = std::make_unique<Editor>();
        QVERIFY(e->Start(QStringLiteral("FFFF")));
        QVERIFY(e->Load());
    }
    void cleanup() { e.reset(); }

    void fixtureIsValid()
    {
        QVERIFY(Check());
        QVERIFY(e->dialogs.boxes.isEmpty());
    }

    void noDocumentIsInvalidSilently()
    {
        Editor fresh;
        fresh.engine = std::make_unique<TFormConfig>(&fresh.host);
        QVERIFY(!fresh.engine->ValidateEntries());
        QVERIFY(fresh.dialogs.boxes.isEmpty());
    }

    void integerLimits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("min") << "0" << true;
        QTest::newRow("max") << "99" << true;
        QTest::newRow("below") << "-1" << false;
        QTest::newRow("above") << "100" << false;
        QTest::newRow("blanks around") << " 42 " << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("not a number") << "4x" << false;
    }

    void integerLimits()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        e->Edit("General", "Address")->setText(text);
        QCOMPARE(Check(), valid);
        if (!valid) {
            QCOMPARE(e->dialogs.texts(), QStringList{"Entry for Address is invalid\nAllowed: 0 to 99"});
            QCOMPARE(e->dialogs.captions(), QStringList{"Error: General"});
        }
    }

    void messagesAreTranslated()
    {
        SetTranslator([](const QString &key) { return QStringLiteral("[") + key + QStringLiteral("]"); });
        e->Edit("General", "Settle")->setText("11");
        e->Input(0).substNameEdit->setText("AB");
        QVERIFY(!Check());
        SetTranslator({});
        QCOMPARE(e->dialogs.texts(), (QStringList{"[Entry for ]Settle[ is invalid]\n[Allowed: 1 to 10]",
                                                  "[Entry for ]Name[ is invalid]\n\n[Substitute name must consist]\n"
                                                  "[Allowed: empty, or 3 to 8 characters without blanks]"}));
        QCOMPARE(e->dialogs.captions(), (QStringList{"[Error: ]General", "[Error: ]AN1"}));
    }

    void everyInvalidEntryGetsItsBoxInOrder()
    {
        e->Edit("General", "Site")->setText("A%B");
        e->Edit("General", "Address")->setText("");
        e->Input(1).substNameEdit->setText("X");
        QVERIFY(!Check());
        QCOMPARE(e->dialogs.texts(), (QStringList{"Entry for Address is invalid\nAllowed: 0 to 99",
                                                  "Entry for Site is invalid\nAllowed: at most 16 characters, none of @ , * % ?",
                                                  "Entry for Name is invalid\n\nSubstitute name must consist\nAllowed: empty, or 3 to 8 characters without blanks"}));
    }

    void aSelectionPastItsOptionsIsInvalid_data()
    {
        QTest::addColumn<QString>("options"); // the last options and the selection, as the fixture has them
        QTest::addColumn<QString>("name");
        QTest::newRow("select") << "<option id=\"2\">C</option><selected>1</selected>"
                                << "Mode";
        QTest::newRow("delayedselect") << "<option id=\"2\">19200</option><selected>1</selected>"
                                       << "Baud Rate";
        QTest::newRow("sensor type") << "<option id=\"2\">CUSTOM</option><selected>0</selected>"
                                     << "Sensor Type";
    }

    void aSelectionPastItsOptionsIsInvalid()
    {
        QFETCH(QString, options);
        QFETCH(QString, name);
        QString xml = QString::fromUtf8(TemplateXml({}));
        const qsizetype at = xml.indexOf(options);
        QVERIFY(at >= 0);
        QString past = options;
        past.replace(QRegularExpression("<selected>\\d+</selected>"), "<selected>7</selected>");
        xml.replace(at, options.size(), past);
        QVERIFY(WriteFile(e->Path("past.tcf"), xml.toUtf8()));
        QVERIFY(e->engine->BuildConfigPages(e->Path("past.tcf")));
        QVERIFY(!Check());
        // A sensor type showing none leaves its units unchosen too: that box follows.
        QCOMPARE(e->dialogs.texts().value(0), "Entry for " + name + " is invalid");
    }

    void customUnits_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("valid");
        QTest::newRow("slash") << "mm/s"
                               << "MM/S" << false;
        QTest::newRow("letters") << "deg"
                                 << "DEG" << true;
        QTest::newRow("hash and underscore") << "#_1"
                                             << "#_1" << true;
        QTest::newRow("blank") << ""
                               << "" << false;
        QTest::newRow("inner space") << "a b"
                                     << "A B" << false;
    }

    void customUnits()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(bool, valid);
        const cfgInputTabPageType &an1 = e->Input(0);
        an1.sensorTypeCombo->setCurrentText("CUSTOM");
        an1.sensorUnitsCombo->setEditText(typed);
        QCOMPARE(Check(), valid);
        QCOMPARE(an1.sensorUnitsCombo->currentText(), shown);
        if (!valid)
            QCOMPARE(e->dialogs.texts(),
                     QStringList{"Entry for Sensor Units is invalid\n\nCheck length of Units field\nAllowed: 1 to 4 of A-Z 0-9 # _"});
    }

    void customUnitsHoldFourCharacters()
    {
        const cfgInputTabPageType &an1 = e->Input(0);
        an1.sensorTypeCombo->setCurrentText("CUSTOM");
        an1.sensorUnitsCombo->setEditText("ABCDE");
        QCOMPARE(an1.sensorUnitsCombo->currentText(), QStringLiteral("ABCD"));
    }

    void unchosenUnitsAreInvalidForAConfiguredSensor()
    {
        const cfgInputTabPageType &an2 = e->Input(1);
        QCOMPARE(an2.sensorUnitsCombo->currentText(), QStringLiteral("#"));
        QVERIFY(Check()); // not configured
        an2.sensorTypeCombo->setCurrentText("TEMPERATURE");
        QCOMPARE(an2.sensorUnitsCombo->currentText(), QStringLiteral("#"));
        QVERIFY(!Check());
        QCOMPARE(e->dialogs.texts(), QStringList{"Entry for Sensor Units is invalid\n\nCheck length of Units field\nAllowed: 1 to 4 of A-Z 0-9 # _"});
        an2.sensorUnitsCombo->setCurrentIndex(0);
        QVERIFY(Check());
    }

    void analogueRange_data()
    {
        QTest::addColumn<int>("input");
        QTest::addColumn<QString>("high");
        QTest::addColumn<QString>("low");
        QTest::addColumn<bool>("valid");
        QTest::newRow("different") << 0 << "50"
                                   << "-40" << true;
        QTest::newRow("equal") << 0 << "7"
                               << "7" << false;
        QTest::newRow("equal but not configured") << 1 << "0"
                                                  << "0" << true;
        QTest::newRow("high at max") << 0 << "999999"
                                     << "0" << true;
        QTest::newRow("high above max") << 0 << "1000000"
                                        << "0" << false;
        QTest::newRow("low below min") << 0 << "5"
                                       << "-100000" << false;
        QTest::newRow("low not a number") << 0 << "5"
                                          << "-" << false;
    }

    void analogueRange()
    {
        QFETCH(int, input);
        QFETCH(QString, high);
        QFETCH(QString, low);
        QFETCH(bool, valid);
        e->Input(input).highEdit->setText(high);
        e->Input(input).lowEdit->setText(low);
        QCOMPARE(Check(), valid);
        if (!valid)
            QCOMPARE(e->dialogs.texts(), QStringList{"Entry for Input Type is invalid\n\naniptype\nAllowed: -99999 to 999999"});
    }

    void substituteNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("two letters") << "AB" << false;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("three letters") << "ABC" << true;
        QTest::newRow("eight letters") << "ABCDEFGH" << true;
        QTest::newRow("nine letters") << "ABCDEFGHI" << false;
        QTest::newRow("illegal, other case") << "node" << false;
        QTest::newRow("space") << "AB CD" << false;
    }

    void substituteNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        e->Input(0).substNameEdit->setText(name);
        QCOMPARE(Check(), valid);
    }

    void duplicateSubstituteNames_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("duplicate");
        QTest::newRow("same") << "TEMP"
                              << "TEMP"
                              << "TEMP";
        // typed in lower case, shown (and compared) in upper case
        QTest::newRow("other case") << "TEMP"
                                    << "temp"
                                    << "TEMP";
        QTest::newRow("both empty") << ""
                                    << ""
                                    << "";
        QTest::newRow("different") << "TEMP"
                                   << "WIND"
                                   << "";
    }

    void duplicateSubstituteNames()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, duplicate);
        e->Input(0).substNameEdit->setText(first);
        e->Input(1).substNameEdit->setText(second);
        QCOMPARE(Check(), duplicate.isEmpty());
        if (!duplicate.isEmpty()) {
            QCOMPARE(e->dialogs.texts(), QStringList{duplicate});
            QCOMPARE(e->dialogs.captions(), QStringList{"Error: Duplicate SUBST name in AN/DIG"});
        }
    }

    void digitCountRule_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("log");
        QTest::newRow("pv2 one decimal") << 2 << "12.5" << true << "";
        QTest::newRow("pv2 two decimals") << 2 << "12.55" << false << "Too many decimal places";
        QTest::newRow("pv2 no point") << 2 << "12" << false << "Too many decimal places";
        QTest::newRow("pv2 one digit") << 2 << "5" << true << "";
        QTest::newRow("pv3 three decimals") << 3 << "12.555" << true << "";
        QTest::newRow("pv3 three digits") << 3 << "123" << true << "";
        QTest::newRow("pv3 four digits") << 3 << "0123" << false << "Too many decimal places";
        QTest::newRow("pv3 four decimals") << 3 << "1.5555" << false << "Too many decimal places";
        QTest::newRow("above") << 3 << "1000.5" << false << "GetDigCountFromString: range error";
        QTest::newRow("below") << 3 << "-1" << false << "GetDigCountFromString: range error";
        QTest::newRow("no number") << 3 << "x1" << false << "GetDigCountFromString: scanf failed";
    }

    void digitCountRule()
    {
        QFETCH(int, protocol);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(QString, log);
        e->engine->SetIdentity(kProduct, protocol, QString(), 2, 0);
        e->logs.clear();
        double value = -1;
        QCOMPARE(e->engine->GetDigCountFromString(text, 0, 1000, value), accepted);
        if (accepted)
            QCOMPARE(value, text.toDouble());
        else
            QCOMPARE(e->logs, QStringList{log});
        // The entry check applies the same rule with the template's bounds.
        e->Input(0).digitCountEdit->setText(text);
        QCOMPARE(Check(), accepted);
    }

    void maskedFloat_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("shown");
        QTest::newRow("short entry is reshaped") << "12.5" << true << "+12.5000";
        QTest::newRow("negative") << "-3.25" << true << "-03.2500";
        QTest::newRow("full form is kept") << "+51.5000" << true << "+51.5000";
        QTest::newRow("same length is kept") << "+12.5" + QString("000") << true << "+12.5000";
        QTest::newRow("above max, reshaped anyway") << "95" << false << "+95.0000";
        QTest::newRow("at min") << "-90" << true << "-90.0000";
        QTest::newRow("not a number counts as 0") << "abc" << false << "+00.0000";
    }

    void maskedFloat()
    {
        QFETCH(QString, typed);
        QFETCH(bool, valid);
        QFETCH(QString, shown);
        QLineEdit *edit = e->Edit("General", "Latitude");
        edit->setText(typed);
        QCOMPARE(Check(), valid);
        QCOMPARE(edit->text(), shown);
    }

    void textRules_data()
    {
        QTest::addColumn<QString>("param");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("string of 16") << "Site" << QString(16, 'A') << true;
        QTest::newRow("string of 17") << "Site" << QString(17, 'A') << false;
        QTest::newRow("string with %") << "Site"
                                       << "A%" << false;
        QTest::newRow("string with @") << "Site"
                                       << "A@" << false;
        QTest::newRow("string with comma") << "Site"
                                           << "A,B" << false;
        QTest::newRow("time of same length") << "Clock"
                                             << "2025-12-31 23:59:59" << true;
        QTest::newRow("time shorter") << "Clock"
                                      << "2025-12-31 23:59" << false;
        QTest::newRow("sync time shorter") << "Clock Sync"
                                           << "2025" << false;
    }

    void textRules()
    {
        QFETCH(QString, param);
        QFETCH(QString, text);
        QFETCH(bool, valid);
        e->Edit("General", param)->setText(text);
        QCOMPARE(Check(), valid);
    }

    void checkStoresTheSyncTimeBox()
    {
        QVERIFY(e->settingsOpen);
        QCheckBox *check = e->Controls("General", "Clock Sync").check;
        check->setChecked(true); // no click: only the check stores it
        QVERIFY(Check());
        bool sync = false;
        QVERIFY(e->settings.GetSyncTime(sync));
        QVERIFY(sync);
    }

    void reportFormats()
    {
        const ReportWidgets &w = e->engine->Report();
        for (QComboBox *slot : w.paramSlots)
            slot->setCurrentText("-");
        QVERIFY(Check()); // an empty user-defined report
        w.formatCombo->setCurrentText("FULL");
        QVERIFY(Check());
        w.reportEdit->clear(); // only a named format can be empty
        QVERIFY(!Check());
        QCOMPARE(e->dialogs.texts(), QStringList{"Entry for Report Format is invalid"});
    }
};

QTEST_MAIN(TestValidation)
#include "tst_validation.moc"
