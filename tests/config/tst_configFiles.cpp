// Configuration files (save, load, the file's device description, the
// compatibility check) and the difference view.
#include "tests/config/editorFixture.h"
#include "tests/support/fileSizeLimit.h"

#include <QCheckBox>

using namespace EditorFixture;

namespace
{
QByteArray FixtureWith(const QString &from, const QString &to)
{
    return QString::fromUtf8(TemplateXml({})).replace(from, to).toUtf8();
}
} // namespace

class TestConfigFiles : public QObject
{
    Q_OBJECT

    std::unique_ptr<Editor> e;

    // The shown document becomes the settings last read from the device.
    void SaveAsRetrieved()
    {
        QVERIFY(WriteFile(e->engine->RetrievedConfigPath(), e->engine->ProductsDoc().XML().toUtf8()));
    }

private slots:
    void init()
    {
        e = std::make_unique<Editor>();
        QVERIFY(e->Start(QStringLiteral("FFFF")));
        QVERIFY(e->Load());
        e->dialogs.clear();
    }
    void cleanup() { e.reset(); }

    void saveThenLoadKeepsEveryValue()
    {
        e->Edit("General", "Address")->setText("42");
        e->Edit("General", "Settle")->setText("7");
        e->Combo("General", "Mode")->setCurrentIndex(2);
        e->Combo("General", "Baud Rate")->setCurrentIndex(0);
        e->Combo("General", "Wind Units")->setCurrentIndex(0);
        e->Edit("General", "Latitude")->setText("-12.25");
        e->Edit("General", "Clock")->setText("2025-06-30 08:15:00");
        e->Edit("General", "Clock Sync")->setText("2025-06-30 08:15:01");
        e->Edit("General", "Site")->setText("HILL");
        const cfgInputTabPageType &an1 = e->Input(0);
        an1.sensorTypeCombo->setCurrentText("HUMIDITY");
        an1.sensorUnitsCombo->setCurrentIndex(0); // humidity has one unit here
        an1.inputTypeCombo->setCurrentIndex(1);
        an1.highEdit->setText("100");
        an1.lowEdit->setText(" 0 ");
        an1.substNameEdit->setText("WET");
        an1.digitCountEdit->setText("3.25");
        e->Input(1).sensorTypeCombo->setCurrentText("CUSTOM");
        e->Input(1).sensorUnitsCombo->setEditText("mms");
        e->engine->Report().formatCombo->setCurrentText("FULL");
        e->dialogs.clear();
        e->logs.clear();

        const QString file = e->Path("saved.tcf");
        QVERIFY(e->engine->SaveConfigFile(file));
        QVERIFY(e->dialogs.boxes.isEmpty());
        QVERIFY(e->logs.contains("Substituted FULL for NODE DIR SPEED TEMP"));
        const QByteArray text = ReadFile(file);
        QVERIFY(text.startsWith("<products"));
        QVERIFY(text.endsWith("</products>\r\n"));
        QCOMPARE(e->DocParam("Report", "Report Format").Reportvalue(), QStringLiteral("NODE DIR SPEED TEMP"));
        QCOMPARE(e->DocParam("Report", "Report XDR Format").Reportvalue(), QStringLiteral("TEMP PITCH"));
        QCOMPARE(e->DocParam("AN2", "Input Type").Selected(), -1);
        QCOMPARE(e->DocParam("AN2", "Input Type").High(), 0);
        QCOMPARE(e->DocParam("AN2", "Input Type").Low(), QStringLiteral("0"));
        QCOMPARE(e->DocParam("AN2", "Sensor Type").Selected(), 2);
        QCOMPARE(e->DocParam("AN2", "Sensor Units").Selected(), 0);
        QCOMPARE(e->DocParam("AN2", "Sensor Units").Customunits(), QStringLiteral("MMS"));
        QCOMPARE(e->DocParam("AN1", "Input Type").Low(), QStringLiteral("0"));

        Editor other;
        QVERIFY(other.Start(QStringLiteral("FFFF")));
        QVERIFY(other.engine->BuildConfigPages(file));
        QCOMPARE(other.Edit("General", "Address")->text(), QStringLiteral("42"));
        QCOMPARE(other.Edit("General", "Settle")->text(), QStringLiteral("7"));
        QCOMPARE(other.Combo("General", "Mode")->currentText(), QStringLiteral("C"));
        QCOMPARE(other.Combo("General", "Baud Rate")->currentText(), QStringLiteral("4800"));
        QCOMPARE(other.Combo("General", "Wind Units")->currentIndex(), 0);
        QCOMPARE(other.Edit("General", "Latitude")->text(), QStringLiteral("-12.2500"));
        QCOMPARE(other.Edit("General", "Clock")->text(), QStringLiteral("2025-06-30 08:15:00"));
        QCOMPARE(other.Edit("General", "Clock Sync")->text(), QStringLiteral("2025-06-30 08:15:01"));
        QCOMPARE(other.Edit("General", "Site")->text(), QStringLiteral("HILL"));
        const cfgInputTabPageType &in1 = other.Input(0);
        QCOMPARE(in1.sensorTypeCombo->currentText(), QStringLiteral("HUMIDITY"));
        QCOMPARE(in1.sensorUnitsCombo->currentIndex(), 0);
        QCOMPARE(in1.inputTypeCombo->currentText(), QStringLiteral("4-20MA"));
        QCOMPARE(in1.highEdit->text(), QStringLiteral("100"));
        QCOMPARE(in1.lowEdit->text(), QStringLiteral("0"));
        QCOMPARE(in1.substNameEdit->text(), QStringLiteral("WET"));
        QCOMPARE(in1.digitCountEdit->text(), QStringLiteral("3.25"));
        const cfgInputTabPageType &in2 = other.Input(1);
        QVERIFY(in2.sensorUnitsCombo->isEditable());
        QCOMPARE(in2.sensorUnitsCombo->currentText(), QStringLiteral("MMS"));
        QCOMPARE(in2.inputTypeCombo->currentText(), QStringLiteral("NOT CONFIGURED"));
        QCOMPARE(other.engine->Report().reportEdit->text(), QStringLiteral("NODE DIR SPEED TEMP"));
        QCOMPARE(other.engine->Report().formatCombo->currentText(), QStringLiteral("USERDEF"));
        QCOMPARE(other.engine->Report().xdrEdit->text(), QStringLiteral("TEMP PITCH"));
    }

    void defaultReportIsExpanded()
    {
        e->engine->Report().formatCombo->setCurrentText("DEFAULT");
        e->logs.clear();
        QVERIFY(e->engine->SaveConfigFile(e->Path("d.tcf")));
        QVERIFY(e->logs.contains("Substituted DEFAULT for NODE DIR"));
        QCOMPARE(e->DocParam("Report", "Report Format").Reportvalue(), QStringLiteral("NODE DIR"));
    }

    void invalidEntriesWriteNothing()
    {
        const QString file = e->Path("kept.tcf");
        QVERIFY(WriteFile(file, "OLD"));
        e->Edit("General", "Address")->setText("");
        QVERIFY(!e->engine->SaveConfigFile(file));
        QCOMPARE(e->dialogs.texts(), QStringList{"Entry for Address is invalid\nAllowed: 0 to 99"});
        QCOMPARE(ReadFile(file), QByteArray("OLD"));
        QCOMPARE(e->DocParam("General", "Address").Value(), 5);
    }

    void failedWriteKeepsTheOldFile()
    {
        const QString file = e->Path("kept.tcf");
        QVERIFY(WriteFile(file, "OLD"));
        bool saved = true;
        {
            FileSizeLimit limit(64);
            QVERIFY(limit.ok());
            saved = e->engine->SaveConfigFile(file);
        }
        QVERIFY(!saved);
        QCOMPARE(ReadFile(file), QByteArray("OLD"));
        QVERIFY(std::any_of(e->logs.cbegin(), e->logs.cend(),
                            [&file](const QString &line) { return line.startsWith("Could not write " + file); }));
        QCOMPARE(QDir(e->dataDir.path()).entryList({"kept.tcf*"}, QDir::Files), QStringList{"kept.tcf"});
        QVERIFY(!e->engine->SaveConfigFile(e->Path("no/such/folder/x.tcf")));
    }

    void brokenFileLeavesThePages_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not XML") << QByteArray("<products><device") << "line";
        QTest::newRow("other root") << QByteArray("<sensorunits/>") << "products";
        QTest::newRow("no device") << QByteArray("<products version=\"1\"/>") << "no device";
        QTest::newRow("input index too high")
            << FixtureWith("groupindex=\"1\"", "groupindex=\"25\"") << "groupindex 25";
        QTest::newRow("missing") << QByteArray() << "";
    }

    void brokenFileLeavesThePages()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        const QString file = e->Path("broken.tcf");
        if (!content.isEmpty())
            QVERIFY(WriteFile(file, content));
        QWidget *page = e->engine->TabSheet(0);
        QLineEdit *address = e->Edit("General", "Address");
        const QDomElement device = e->engine->Device().Element();
        const int pages = e->host.pages.count();

        QVERIFY(!e->engine->BuildConfigPages(file));
        QCOMPARE(e->dialogs.boxes.size(), 1);
        QVERIFY(e->dialogs.texts().first().contains(file));
        QVERIFY(e->dialogs.texts().first().contains(reason));
        QCOMPARE(e->dialogs.captions(), QStringList{"ERROR"});
        QCOMPARE(e->engine->TabSheet(0), page);
        QCOMPARE(e->Edit("General", "Address"), address);
        QVERIFY(e->engine->Device().Element() == device);
        QCOMPARE(e->host.pages.count(), pages);
        QVERIFY(e->engine->ValidateEntries());
    }

    void equalValuesShowNoDifference()
    {
        SaveAsRetrieved();
        const bool found = e->engine->ShowDifferences();
        QCOMPARE(e->engine->WorkList().join(","), QString());
        QVERIFY(!found);
        QCOMPARE(BaseColour(e->Edit("General", "Address")), EqualColour());
        QCOMPARE(BaseColour(e->Combo("General", "Mode")), EqualColour());
        QCOMPARE(BaseColour(e->Input(0).highEdit), EqualColour());
        QCOMPARE(BaseColour(e->engine->Report().reportEdit), ReportEditColour());
    }

    void differencesAreColouredAndListed()
    {
        SaveAsRetrieved();
        e->Edit("General", "Address")->setText("42");
        QVERIFY(e->engine->ShowDifferences());
        QCOMPARE(e->engine->WorkList(), QStringList{"ADDR"});
        QCOMPARE(BaseColour(e->Edit("General", "Address")), DifferentColour());

        e->Combo("General", "Baud Rate")->setCurrentIndex(2); // critical
        QCOMPARE(e->engine->WorkList(), (QStringList{"ADDR", "BAUD"}));
        QCOMPARE(BaseColour(e->Combo("General", "Baud Rate")), CriticalColour());

        e->Edit("General", "Address")->setText("5");
        e->Combo("General", "Baud Rate")->setCurrentIndex(1);
        QVERIFY(!e->engine->ShowDifferences());
        QVERIFY(e->engine->WorkList().isEmpty());
        QCOMPARE(BaseColour(e->Edit("General", "Address")), EqualColour());
        QCOMPARE(BaseColour(e->Combo("General", "Baud Rate")), EqualColour());
    }

    void eachKindOfParamIsCompared_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("delayed int") << "Settle" << QStringList{"SETTLE"};
        QTest::newRow("units") << "Wind Units" << QStringList{"WINDUNIT"};
        QTest::newRow("masked float") << "Latitude" << QStringList{"LAT"};
        QTest::newRow("string") << "Site" << QStringList{"SITE"};
        QTest::newRow("time never differs") << "Clock" << QStringList{};
        QTest::newRow("sensor type and its units") << "type" << QStringList{"AN1TYPE", "AN1UNITS"};
        QTest::newRow("high end only") << "high" << QStringList{"AN1INPUT"};
        QTest::newRow("both ends") << "high low" << QStringList{"AN1INPUT", "AN1INPUT"};
        QTest::newRow("substitute name") << "subst" << QStringList{"AN1NAME"};
        QTest::newRow("report") << "report" << QStringList{"REPORT"};
        QTest::newRow("xdr") << "xdr" << QStringList{"XDRREPORT"};
    }

    void eachKindOfParamIsCompared()
    {
        QFETCH(QString, what);
        QFETCH(QStringList, commands);
        SaveAsRetrieved();
        const cfgInputTabPageType &an1 = e->Input(0);
        QWidget *changed = nullptr;
        if (what == "Settle" || what == "Latitude" || what == "Site" || what == "Clock") {
            QLineEdit *edit = e->Edit("General", what);
            edit->setText(what == "Latitude" ? "+10.0000" : what == "Clock" ? "1999-01-01 00:00:00" : "7");
            changed = edit;
        } else if (what == "Wind Units") {
            e->Combo("General", what)->setCurrentIndex(0);
            changed = e->Combo("General", what);
        } else if (what == "type") {
            an1.sensorTypeCombo->setCurrentText("HUMIDITY");
            changed = an1.sensorTypeCombo;
        } else if (what.startsWith("high")) {
            an1.highEdit->setText("51");
            if (what.contains("low"))
                an1.lowEdit->setText("-41");
            changed = an1.highEdit;
            QCOMPARE(BaseColour(an1.inputTypeCombo), EqualColour());
        } else if (what == "subst") {
            an1.substNameEdit->setText("DRY");
            changed = an1.substNameEdit;
        } else if (what == "report") {
            e->engine->Report().paramSlots[0]->setCurrentText("-");
            changed = e->engine->Report().reportEdit;
        } else {
            e->engine->Report().formatCombo->setCurrentText("NMEADEF");
            e->engine->Report().sentenceSlots[2]->setCurrentText("XDR");
            e->engine->Report().xdrSlots[0]->setCurrentText("-");
            changed = e->engine->Report().xdrEdit;
            commands.prepend("REPORT"); // the report string changed too
        }
        QCOMPARE(e->engine->ShowDifferences(), !commands.isEmpty());
        QCOMPARE(e->engine->WorkList(), commands);
        QCOMPARE(BaseColour(changed), commands.isEmpty() ? EqualColour() : DifferentColour());
    }

    void digitCounts_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<QString>("retrieved");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("differs");
        QTest::newRow("pv3 trailing zero") << 3 << "12.340"
                                           << "12.34" << false;
        QTest::newRow("pv3 third decimal") << 3 << "12.340"
                                           << "12.341" << true;
        QTest::newRow("pv2 trailing zero") << 2 << "12.30"
                                           << "12.3" << false;
        QTest::newRow("pv2 rejected entry") << 2 << "12.34"
                                            << "12.34" << true;
        QTest::newRow("not configured and empty") << 3 << ""
                                                  << "" << false;
        QTest::newRow("not configured and set") << 3 << ""
                                                << "1.5" << true;
    }

    void digitCounts()
    {
        QFETCH(int, protocol);
        QFETCH(QString, retrieved);
        QFETCH(QString, shown);
        QFETCH(bool, differs);
        e->engine->SetIdentity(kProduct, protocol, QString(), 2, 0);
        Parts parts;
        parts.protocol = protocol;
        parts.inputs = InputParams(1, 0, 1, 0, "OUT", retrieved);
        QVERIFY(e->Load(parts));
        SaveAsRetrieved();
        e->Input(0).digitCountEdit->setText(shown);
        QCOMPARE(e->engine->ShowDifferences(), differs);
        QCOMPARE(e->engine->WorkList().contains("AN1DIGITS"), differs);
    }

    void offlineShowsNoDifferences()
    {
        Editor offline;
        QVERIFY(offline.Start(QStringLiteral("0000"), true));
        QVERIFY(offline.Load());
        QVERIFY(WriteFile(offline.engine->RetrievedConfigPath(), offline.engine->ProductsDoc().XML().toUtf8()));
        offline.Edit("General", "Address")->setText("42");
        QVERIFY(!offline.engine->ShowDifferences());
        QVERIFY(offline.engine->WorkList().isEmpty());
        QCOMPARE(BaseColour(offline.Edit("General", "Address")),
                 offline.Edit("General", "Site")->palette().color(QPalette::Base));
    }

    void missingRetrievedFileIsLogged()
    {
        QFile::remove(e->engine->RetrievedConfigPath());
        e->logs.clear();
        e->Edit("General", "Address")->setText("42");
        QVERIFY(!e->engine->ShowDifferences());
        QCOMPARE(e->logs, QStringList{"No RETRIEVED CONFIG to diff against"});
    }

    void fileReaders()
    {
        const QString file = e->Path("f.tcf");
        QVERIFY(WriteFile(file, FixtureWith("heatingcapability=\"0\" axisconfig=\"UV\"",
                                            "heatingcapability=\"1\" axisconfig=\"UVW\"")));
        QCOMPARE(e->engine->GetFileProductName(file), kProduct);
        QCOMPARE(e->engine->GetFileProtocolVersion(file), 9);
        QCOMPARE(e->engine->GetFileHeating(file), 1);
        QCOMPARE(e->engine->GetFileAxisConfig(file), 3);
        QVERIFY(WriteFile(file, FixtureWith("heatingcapability=\"0\" axisconfig=\"UV\"", "heatingcapability=\"x\"")));
        QCOMPARE(e->engine->GetFileHeating(file), 0);
        QCOMPARE(e->engine->GetFileAxisConfig(file), 2);
        QCOMPARE(e->engine->GetFileProductName(e->Path("none.tcf")), QString());
    }

    void compatibility_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("caption");
        const QString found = "Found:%1  Expected:%2. Continue?";
        const QString more = "CONTINUING_MAY_CAUSE_PROBLEMS";
        QTest::newRow("same device") << ""
                                     << "" << QList<bool>{} << true << QStringList{} << "";
        QTest::newRow("other product")
            << kProduct << "TEMPRIS KDX510-1" << QList<bool>{} << false
            << QStringList{"Found:TEMPRIS KDX510-1  Expected:TEMPRIS KDX556-5E\r\nOperation has been aborted."}
            << "Error - device type mismatch";
        QTest::newRow("protocol, yes yes") << "protocolversion=\"9\""
                                           << "protocolversion=\"8\"" << QList<bool>{true, true} << true
                                           << QStringList{found.arg(8).arg(9), more} << "Warning - protocol mismatch";
        QTest::newRow("protocol, yes no") << "protocolversion=\"9\""
                                          << "protocolversion=\"8\"" << QList<bool>{true, false} << false
                                          << QStringList{found.arg(8).arg(9), more} << "Warning - protocol mismatch";
        QTest::newRow("protocol, no") << "protocolversion=\"9\""
                                      << "protocolversion=\"8\"" << QList<bool>{false} << false
                                      << QStringList{found.arg(8).arg(9)} << "Warning - protocol mismatch";
        QTest::newRow("heating") << "heatingcapability=\"0\""
                                 << "heatingcapability=\"1\"" << QList<bool>{false} << false
                                 << QStringList{found.arg(1).arg(0)} << "Warning - heating mismatch";
        QTest::newRow("unreadable heating")
            << "heatingcapability=\"0\""
            << "heatingcapability=\"?\"" << QList<bool>{} << true << QStringList{} << "";
        QTest::newRow("axes") << "axisconfig=\"UV\""
                              << "axisconfig=\"UVW\"" << QList<bool>{false} << false << QStringList{found.arg(3).arg(2)}
                              << "Warning - axis configuration mismatch";
    }

    void compatibility()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QList<bool>, answers);
        QFETCH(bool, result);
        QFETCH(QStringList, texts);
        QFETCH(QString, caption);
        const QString file = e->Path("c.tcf");
        QVERIFY(WriteFile(file, from.isEmpty() ? TemplateXml({}) : FixtureWith(from, to)));
        for (bool answer : answers)
            e->dialogs.answers.enqueue(answer);
        QCOMPARE(e->engine->CheckFileCompatibility(file), result);
        QCOMPARE(e->dialogs.texts(), texts);
        for (const QString &shown : e->dialogs.captions())
            QCOMPARE(shown, caption);
        QCOMPARE(e->dialogs.unanswered, 0);
    }
};

QTEST_MAIN(TestConfigFiles)
#include "tst_configFiles.moc"
