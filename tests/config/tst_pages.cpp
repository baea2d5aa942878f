// Building the editor pages: controls per param type, their places and the
// values they write, pruning by option bits, the report editor and events.
#include "config/editMask.h"
#include "tests/config/editorFixture.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>

using namespace EditorFixture;

class TestPages : public QObject
{
    Q_OBJECT

private slots:
    void connectingBuildsTheTemplatesPages()
    {
        Editor e;
        QVERIFY(e.Start(QStringLiteral("0000")));
        QVERIFY(e.engine->TemplatePath().endsWith("tempris_type_5e_pv9_template.tdx"));
        QVERIFY(e.engine->CategoryCount() > 0);
        QCOMPARE(e.host.pages.count(), e.engine->CategoryCount());
        QCOMPARE(e.engine->TabSheet(0)->objectName(), "pts" + e.engine->Device().Category(0).Name());
        QVERIFY(e.engine->Report().formatCombo);
        QVERIFY(e.CategoryIndex("Heating") < 0); // pruned: no heating option
        QVERIFY(e.engine->ValidateEntries());
        QVERIFY(e.dialogs.boxes.isEmpty());
    }

    void buildsEveryParamType()
    {
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        QVERIFY(e.Load());
        QVERIFY(e.dialogs.boxes.isEmpty());

        QCOMPARE(e.Edit("General", "Address")->text(), QStringLiteral("5"));
        QCOMPARE(e.DocParam("General", "Address").Valuestring(), QStringLiteral("5"));
        QCOMPARE(e.Edit("General", "Settle")->text(), QStringLiteral("3"));
        QCOMPARE(e.Combo("General", "Mode")->currentText(), QStringLiteral("B"));
        QCOMPARE(e.DocParam("General", "Mode").Valuestring(), QStringLiteral("B"));
        QCOMPARE(Items(e.Combo("General", "Wind Units")), e.engine->UnitsDoc().Measurement(0).Symbols());
        QCOMPARE(e.Combo("General", "Wind Units")->currentIndex(), 2);
        QCOMPARE(e.DocParam("General", "Wind Units").Valuestring(), e.Combo("General", "Wind Units")->currentText());
        QCOMPARE(e.Edit("General", "Latitude")->text(), QStringLiteral("+51.5000"));
        QCOMPARE(e.DocParam("General", "Latitude").Valuestring(), QStringLiteral("+51.5000"));
        QCOMPARE(e.Edit("General", "Clock")->text(), QStringLiteral("2024-01-01 12:00:00"));
        QVERIFY(e.DocParam("General", "Clock").Valuestring().isEmpty()); // left alone
        QCOMPARE(e.Edit("General", "Site")->text(), QStringLiteral("SITE1"));
        QVERIFY(e.Controls("General", "Clock Sync").check);
        QVERIFY(!e.Controls("General", "Clock").check);

        const cfgInputTabPageType &an1 = e.Input(0);
        QCOMPARE(an1.inputName, QStringLiteral("AN1"));
        QCOMPARE(an1.sensorTypeCombo->currentText(), QStringLiteral("TEMPERATURE"));
        QCOMPARE(an1.sensorUnitsCombo->currentIndex(), 1);
        QVERIFY(!an1.sensorUnitsCombo->isEditable());
        QCOMPARE(e.DocParam("AN1", "Input Type").Valuestring(), QStringLiteral("0-5V 50 -40"));
        QCOMPARE(e.DocParam("AN1", "Name").Valuestring(), QStringLiteral("OUT"));
        QCOMPARE(e.DocParam("AN1", "Digits").Valuestring(), QStringLiteral("12.5"));

        const cfgInputTabPageType &an2 = e.Input(1);
        QCOMPARE(an2.sensorTypeCombo->currentText(), QStringLiteral("NOT CONFIGURED"));
        QCOMPARE(e.DocParam("AN2", "Sensor Type").Valuestring(), QStringLiteral("NOT CONFIGURED"));
        QCOMPARE(an2.sensorUnitsCombo->currentText(), QStringLiteral("#"));
        QCOMPARE(an2.inputTypeCombo->currentText(), QStringLiteral("NOT CONFIGURED"));
        QCOMPARE(e.DocParam("AN2", "Input Type").Valuestring(), QStringLiteral("NOT CONFIGURED"));
        QCOMPARE(e.DocParam("AN2", "Name").Valuestring(), QStringLiteral("NOT CONFIGURED"));
        QCOMPARE(e.DocParam("AN2", "Digits").Valuestring(), QStringLiteral("NOT CONFIGURED"));
        QCOMPARE(e.Input(2).inputName, QStringLiteral("UNUSED"));
    }

    void pagesAndRowsSitWhereTheyShould()
    {
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        QVERIFY(e.Load());
        QCOMPARE(e.host.pages.count(), e.engine->CategoryCount());
        QCOMPARE(e.host.pages.widget(0)->objectName(), QStringLiteral("ptsGeneral"));
        QCOMPARE(e.host.pages.tabText(0), QStringLiteral("General"));
        const int p = e.ParamIndex(0, "Latitude");
        const ParamControls &row = e.engine->Controls(0, p);
        QCOMPARE(row.caption->pos(), QPoint(20, 30 * p + 20));
        QCOMPARE(row.caption->text(), QStringLiteral("Latitude"));
        QCOMPARE(row.caption->font().pointSize(), 10);
        QCOMPARE(row.edit->pos(), QPoint(300, 30 * p + 18));
        QCOMPARE(row.image->geometry(), QRect(460, 30 * p + 20, 18, 18));
        QCOMPARE(e.Controls("General", "Address").image->toolTip(), QStringLiteral("Node address"));
        QCOMPARE(e.Edit("General", "Clock")->width(), 145);
        const int s = e.ParamIndex(0, "Clock Sync");
        QCOMPARE(e.engine->Controls(0, s).check->geometry().topLeft(), QPoint(496, 30 * s + 20));
        QCOMPARE(e.engine->Controls(0, s).check->width(), 210);
        QCOMPARE(e.engine->Controls(0, s).check->text(), QStringLiteral("Sync time to PC"));
        // An analogue input takes two more rows for its range.
        const int a = e.ParamIndex(e.CategoryIndex("AN1"), "Input Type");
        QCOMPARE(e.Input(0).highEdit->y(), 30 * (a + 1) + 18);
        QCOMPARE(e.Input(0).lowEdit->y(), 30 * (a + 2) + 18);
        QCOMPARE(e.Input(0).highLabel->x(), 20);
        // The XDR row has no caption or help image of its own.
        const ParamControls &xdr = e.Controls("Report", "Report XDR Format");
        QVERIFY(xdr.caption->isHidden() && xdr.image->isHidden());
        // Critical params show the warning picture instead of the help one.
        QVERIFY(e.Controls("General", "Baud Rate").image->pixmap().toImage() !=
                e.Controls("General", "Mode").image->pixmap().toImage());
    }

    void unknownTypeStopsItsCategoryOnly()
    {
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        Parts parts;
        parts.general = Param("Before", "B", "int", "<min>0</min><max>9</max><value>1</value>") +
                        Param("Odd", "O", "radiogroupbutton", Options({"X"})) +
                        Param("After", "A", "int", "<min>0</min><max>9</max><value>1</value>");
        QVERIFY(!e.Load(parts));
        QCOMPARE(e.dialogs.texts(), QStringList{"Cannot create component for General"});
        QCOMPARE(e.dialogs.captions(), QStringList{"Error in " + e.Path("fixture.tdx")});
        QVERIFY(e.logs.contains("UNRECOGNISED PARAM TYPE."));
        QVERIFY(e.logs.contains("CreateParamComponent error: General"));
        QVERIFY(e.engine->Controls(0, 0).edit);
        QVERIFY(!e.engine->Controls(0, 1).caption && !e.engine->Controls(0, 2).edit);
        QCOMPARE(e.DocParam("General", "Odd").Valuestring(), QStringLiteral("VALUE_STRING_NOT_SET"));
        QVERIFY(e.Input(0).sensorTypeCombo); // the next categories are built
    }

    void pruning_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("offline");
        QTest::addColumn<QStringList>("categories");
        QTest::addColumn<QStringList>("system");
        QTest::addColumn<QStringList>("removedItems");

        const QStringList all = {"General", "AN1",         "AN2",    "Precipitation",
                                 "Heating", "Heat_Stress", "Report", "System"};
        const QStringList bare = {"General", "AN1", "AN2", "Report", "System"};
        QTest::newRow("no options") << "0000" << false << bare << QStringList{"After", "Power Mode"}
                                    << QStringList{"XTILT", "PITCH", "HEATSTAT", "WBGT", "PRECIPT"};
        QTest::newRow("every option") << "FFFF" << false << all
                                      << QStringList{"TILT Sensor", "WBGT Sensor", "Posture factor", "After", "PIN"}
                                      << QStringList{};
        QTest::newRow("tilt") << "0001" << false << bare << QStringList{"TILT Sensor", "After", "Power Mode"}
                              << QStringList{"PITCH", "HEATSTAT", "WBGT", "PRECIPT"};
        QTest::newRow("precipitation") << "0002" << false
                                       << QStringList{"General", "AN1", "AN2", "Precipitation", "Report", "System"}
                                       << QStringList{"After", "Power Mode"}
                                       << QStringList{"XTILT", "PITCH", "HEATSTAT", "WBGT"};
        QTest::newRow("pitch and roll") << "0004" << false << bare << QStringList{"After", "Power Mode"}
                                        << QStringList{"XTILT", "HEATSTAT", "WBGT", "PRECIPT"};
        QTest::newRow("heat stress") << "0800" << false
                                     << QStringList{"General", "AN1", "AN2", "Heat_Stress", "Report", "System"}
                                     << QStringList{"WBGT Sensor", "Posture factor", "After", "Power Mode"}
                                     << QStringList{"XTILT", "PITCH", "HEATSTAT", "PRECIPT"};
        QTest::newRow("pin") << "1000" << false << bare << QStringList{"After", "PIN"}
                             << QStringList{"XTILT", "PITCH", "HEATSTAT", "WBGT", "PRECIPT"};
        QTest::newRow("heating") << "8000" << false
                                 << QStringList{"General", "AN1", "AN2", "Heating", "Report", "System"}
                                 << QStringList{"After", "Power Mode"}
                                 << QStringList{"XTILT", "PITCH", "WBGT", "PRECIPT"};
        QTest::newRow("offline keeps all but Bluetooth")
            << "0000" << true << all
            << QStringList{"TILT Sensor", "WBGT Sensor", "Posture factor", "After", "PIN", "Power Mode"}
            << QStringList{};
    }

    void pruning()
    {
        QFETCH(QString, code);
        QFETCH(bool, offline);
        QFETCH(QStringList, categories);
        QFETCH(QStringList, system);
        QFETCH(QStringList, removedItems);
        Editor e;
        QVERIFY(e.Start(code, offline));
        QVERIFY(e.Load());
        QStringList names;
        for (int c = 0; c < e.engine->CategoryCount(); ++c)
            names << e.engine->Device().Category(c).Name();
        QCOMPARE(names, categories);
        QCOMPARE(e.host.pages.count(), categories.size());
        const IXMLcategoryType sys = e.engine->Device().Category(e.CategoryIndex("System"));
        QStringList params;
        for (int p = 0; p < sys.Count(); ++p) {
            params << sys.Param(p).Name();
            QVERIFY(e.engine->Controls(e.CategoryIndex("System"), p).caption); // the rows move up
        }
        QCOMPARE(params, system);

        const QStringList offered = {"XTILT", "PITCH", "HEATSTAT", "WBGT", "PRECIPT"};
        const IXMLparamType report = e.DocParam("Report", "Report Format");
        const QComboBox *slot = e.engine->Report().paramSlots.first();
        for (const QString &word : offered) {
            const bool removed = removedItems.contains(word);
            QCOMPARE(report.Option().IndexOf(word) < 0, removed);
            QCOMPARE(report.Repoption().IndexOf(word) < 0, removed);
            QCOMPARE(slot->findText(word) < 0, removed);
        }
        QCOMPARE(e.engine->Report().paramSlots.size(), report.Repoption().Count());
        // The XDR list loses pitch and roll, and precipitation for the thirteen models.
        const IXMLparamType xdr = e.DocParam("Report", "Report XDR Format");
        QCOMPARE(xdr.Repxdroption().IndexOf("PITCH") < 0, removedItems.contains("PITCH"));
        QCOMPARE(xdr.Repxdroption().IndexOf("PRECIPT") < 0, removedItems.contains("PRECIPT"));
        QCOMPARE(e.DocParam("Report", "Report Format").Repnmeaoption().IndexOf("PITCH") < 0,
                 removedItems.contains("PITCH"));
    }

    void reportStringIsFiltered_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("offline");
        QTest::addColumn<QString>("shown");
        const QString value = "NODE XTILT PITCH DIR HEATSTAT WBGT PRECIPS";
        QTest::newRow("no options") << "0000" << false << "NODE DIR";
        QTest::newRow("every option") << "FFFF" << false << value;
        QTest::newRow("offline") << "0000" << true << value;
    }

    void reportStringIsFiltered()
    {
        QFETCH(QString, code);
        QFETCH(bool, offline);
        QFETCH(QString, shown);
        Editor e;
        QVERIFY(e.Start(code, offline));
        Parts parts;
        parts.report = ReportParams("NODE XTILT PITCH DIR HEATSTAT WBGT PRECIPS");
        QVERIFY(e.Load(parts));
        QCOMPARE(e.engine->Report().reportEdit->text(), shown);
        QCOMPARE(e.DocParam("Report", "Report Format").Valuestring(), shown);
        QCOMPARE(e.engine->FilterReportString("XTILT  NODE XTILT"),
                 offline || code == "FFFF" ? "XTILT  NODE XTILT" : "NODE");
    }

    void reportSlotsStartFromTheReportString()
    {
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        QVERIFY(e.Load());
        const ReportWidgets &w = e.engine->Report();
        QCOMPARE(w.formatCombo->currentText(), QStringLiteral("USERDEF"));
        QCOMPARE(Items(w.formatCombo), (QStringList{"USERDEF", "FULL", "DEFAULT", "NMEA", "NMEADEF"}));
        QCOMPARE(w.paramSlots.size(), 11);
        QCOMPARE(w.paramSlots[0]->currentText(), QStringLiteral("NODE"));
        QCOMPARE(w.paramSlots[2]->currentText(), QStringLiteral("SPEED"));
        QCOMPARE(w.paramSlots[3]->currentText(), QStringLiteral("-"));
        QCOMPARE(w.paramSlots[10]->currentText(), QStringLiteral("-"));
        QCOMPARE(w.paramSlots[0]->itemText(1), QStringLiteral("-"));
        QCOMPARE(w.paramSlots[0]->geometry(), QRect(10, 18, 99, w.paramSlots[0]->height()));
        QCOMPARE(w.paramSlots[1]->x(), 110);
        // The substitute name of AN1 is offered as the input's own name.
        QVERIFY(w.paramSlots[0]->findText("OUT") < 0);
        QVERIFY(w.paramSlots[0]->findText("AN1") >= 0);
        QCOMPARE(w.sentenceSlots.size(), 5);
        QVERIFY(!w.sentenceSlots[0]->isEnabled());
        QCOMPARE(w.sentenceSlots[0]->currentText(), QStringLiteral("NMEA"));
        QCOMPARE(w.sentenceSlots[1]->currentText(), QStringLiteral("MWVR"));
        QVERIFY(w.sentenceSlots[2]->findText("NMEA") < 0);
        QCOMPARE(w.xdrSlots.size(), 4);
        QCOMPARE(w.xdrSlots[0]->currentText(), QStringLiteral("TEMP"));
        QVERIFY(w.xdrSlots[0]->findText("XDR") < 0);
        QVERIFY(!w.paramGroup->isHidden());
        QVERIFY(w.sentenceGroup->isHidden() && w.xdrEdit->isHidden() && w.xdrGroup->isHidden());
        QCOMPARE(w.reportEdit->height(), 40);
        QVERIFY(w.reportEdit->isReadOnly());
        QCOMPARE(w.paramGroup->title(), QStringLiteral("Select Parameters to Report"));
    }

    void slotChangesRebuildTheReport()
    {
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        QVERIFY(e.Load());
        const ReportWidgets &w = e.engine->Report();
        w.paramSlots[1]->setCurrentText("-");
        QCOMPARE(w.reportEdit->text(), QStringLiteral("NODE SPEED"));
        // A sensor takes sentences among its parameters: a sentence stays.
        w.paramSlots[3]->setCurrentText("HDG");
        QCOMPARE(w.reportEdit->text(), QStringLiteral("NODE SPEED HDG"));
        w.paramSlots[4]->setCurrentText("TEMP");
        QCOMPARE(w.reportEdit->text(), QStringLiteral("NODE SPEED HDG TEMP"));
        for (QComboBox *slot : w.paramSlots)
            slot->setCurrentText("-");
        QCOMPARE(w.reportEdit->text(), QString());
        QVERIFY(e.dialogs.boxes.isEmpty()); // an empty user report is valid
    }

    void formatChangeSwitchesTheGroups()
    {
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        QVERIFY(e.Load());
        const ReportWidgets &w = e.engine->Report();
        w.formatCombo->setCurrentText("NMEADEF");
        QVERIFY(w.paramGroup->isHidden());
        QVERIFY(!w.sentenceGroup->isHidden());
        QCOMPARE(w.reportEdit->text(), QStringLiteral("NMEA MWVR"));
        QVERIFY(w.xdrEdit->isHidden());
        w.sentenceSlots[2]->setCurrentText("XDR");
        QCOMPARE(w.reportEdit->text(), QStringLiteral("NMEA MWVR XDR"));
        QVERIFY(!w.xdrEdit->isHidden() && !w.xdrGroup->isHidden());
        QCOMPARE(w.xdrEdit->text(), QStringLiteral("TEMP PITCH"));
        w.xdrSlots[1]->setCurrentText("-");
        QCOMPARE(w.xdrEdit->text(), QStringLiteral("TEMP"));
        w.formatCombo->setCurrentText("FULL");
        QCOMPARE(w.reportEdit->text(), QStringLiteral("FULL"));
        QVERIFY(!w.reportEdit->isHidden());
        QVERIFY(w.paramGroup->isHidden() && w.sentenceGroup->isHidden() && w.xdrEdit->isHidden());
        w.formatCombo->setCurrentText("USERDEF");
        QVERIFY(!w.paramGroup->isHidden());
        QCOMPARE(w.reportEdit->text(), QStringLiteral("NODE DIR SPEED"));
        QVERIFY(e.dialogs.boxes.isEmpty());
    }

    void reportListSelectsItsFormat_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("shown");
        QTest::newRow("every sentence") << "NMEA MWVR HDG XDR PITCH"
                                        << "NMEA"
                                        << "NMEA";
        QTest::newRow("the word NMEA") << "NMEA"
                                       << "NMEA"
                                       << "NMEA";
        QTest::newRow("some sentences") << "NMEA MWVR HDG"
                                        << "NMEADEF"
                                        << "NMEA MWVR HDG";
        QTest::newRow("one sentence without NMEA") << "XDR"
                                                   << "NMEADEF"
                                                   << "NMEA XDR";
        QTest::newRow("every sentence in another order") << "NMEA HDG MWVR XDR PITCH"
                                                         << "NMEADEF"
                                                         << "NMEA HDG MWVR XDR PITCH";
        QTest::newRow("parameters and sentences") << "NODE MWVR DIR HDG"
                                                  << "USERDEF"
                                                  << "NODE MWVR DIR HDG";
        QTest::newRow("parameters, sentences and NMEA") << "NMEA NODE XDR MWVR"
                                                        << "USERDEF"
                                                        << "NODE XDR MWVR";
        QTest::newRow("parameters") << "NODE DIR"
                                    << "USERDEF"
                                    << "NODE DIR";
    }

    void reportListSelectsItsFormat()
    {
        QFETCH(QString, value);
        QFETCH(QString, format);
        QFETCH(QString, shown);
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        Parts parts;
        parts.report = ReportParams(value);
        QVERIFY(e.Load(parts));
        const ReportWidgets &w = e.engine->Report();
        QCOMPARE(w.formatCombo->currentText(), format);
        QCOMPARE(w.reportEdit->text(), shown);
        QCOMPARE(e.DocParam("Report", "Report Format").Valuestring(), shown);
        QCOMPARE(w.paramGroup->isHidden(), format != QLatin1String("USERDEF"));
        QCOMPARE(w.sentenceGroup->isHidden(), format != QLatin1String("NMEADEF"));
        QCOMPARE(w.xdrEdit->isHidden(), format != QLatin1String("NMEADEF") || !shown.contains("XDR"));
        // The slots of the format shown start from the list.
        const QStringList words = shown.split(' ');
        const QList<QComboBox *> &slotCombos = format == QLatin1String("NMEADEF") ? w.sentenceSlots : w.paramSlots;
        if (format != QLatin1String("NMEA")) {
            for (int i = 0; i < words.size(); ++i)
                QCOMPARE(slotCombos[i]->currentText(), words[i]);
        }
        QCOMPARE(w.paramSlots[0]->currentText(), format == QLatin1String("USERDEF") ? words[0] : QStringLiteral("-"));
        QVERIFY(e.dialogs.boxes.isEmpty());
    }

    void nmeaWithoutNmeaModeSaysSo()
    {
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        Parts parts;
        parts.report = ReportParams("NMEA", {"FULL"});
        QVERIFY(e.Load(parts));
        QCOMPARE(e.dialogs.texts(), QStringList{"NMEA detected but not a valid option"});
        QCOMPARE(e.dialogs.captions(), QStringList{"ERROR"});
        QVERIFY(e.logs.contains("ERROR - NMEA detected but not a valid option."));
        QCOMPARE(e.engine->Report().formatCombo->currentText(), QStringLiteral("USERDEF"));
        // Kept as listed, so that writing it back changes nothing.
        QCOMPARE(e.engine->Report().reportEdit->text(), QStringLiteral("NMEA"));
    }

    void sentencesWithoutSentenceModeAreKeptAsListed()
    {
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        Parts parts;
        parts.report = ReportParams("NMEA MWVR", {"FULL", "NMEA"});
        QVERIFY(e.Load(parts));
        QVERIFY(e.dialogs.boxes.isEmpty());
        QCOMPARE(e.engine->Report().formatCombo->currentText(), QStringLiteral("USERDEF"));
        QCOMPARE(e.engine->Report().reportEdit->text(), QStringLiteral("NMEA MWVR"));
    }

    void xdrBeforeReportFails()
    {
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        Parts parts;
        parts.report = Param("Report XDR Format", "X", "reportxdr", "<reportxdrvalue>TEMP</reportxdrvalue>");
        QVERIFY(!e.Load(parts));
        QCOMPARE(e.dialogs.texts(), QStringList{"Cannot create component for Report"});
    }

    void criticalSelectChangeWarns()
    {
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        QVERIFY(e.Load());
        e.Combo("General", "Mode")->setCurrentIndex(0);
        QVERIFY(e.dialogs.boxes.isEmpty());
        e.Combo("General", "Baud Rate")->setCurrentIndex(2);
        QCOMPARE(e.dialogs.texts(), QStringList{"CHANGES_TO_BAUD_COMMS_PROTOCOL"});
        QCOMPARE(e.dialogs.captions(), QStringList{"WARNING"});
    }

    void sensorTypeChangeRefillsTheUnits()
    {
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        QVERIFY(e.Load());
        const cfgInputTabPageType &an1 = e.Input(0);
        const IXMLsensorunitsType units = e.engine->UnitsDoc();
        an1.sensorTypeCombo->setCurrentText("HUMIDITY");
        QCOMPARE(Items(an1.sensorUnitsCombo), units.Measurement(units.FindMeasurement("HUMIDITY")).Symbols());
        QCOMPARE(an1.sensorUnitsCombo->currentIndex(), 0);
        an1.sensorTypeCombo->setCurrentText("CUSTOM");
        QVERIFY(an1.sensorUnitsCombo->isEditable());
        QCOMPARE(an1.sensorUnitsCombo->currentText(), QStringLiteral("#"));
        QCOMPARE(an1.sensorUnitsCombo->lineEdit()->maxLength(), 4);
        // From "#" the units stay unchosen: "#" is added and selected.
        an1.sensorTypeCombo->setCurrentText("TEMPERATURE");
        QVERIFY(!an1.sensorUnitsCombo->isEditable());
        QCOMPARE(an1.sensorUnitsCombo->currentText(), QStringLiteral("#"));
        QCOMPARE(an1.sensorUnitsCombo->currentIndex(), an1.sensorUnitsCombo->count() - 1);
    }

    void customUnitsShowTheStoredText()
    {
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        Parts parts;
        parts.inputs = InputParams(1, 2, 0, 0, "", "").replace("<customunits/>", "<customunits>LUX</customunits>");
        QVERIFY(e.Load(parts));
        QVERIFY(e.Input(0).sensorUnitsCombo->isEditable());
        QCOMPARE(e.Input(0).sensorUnitsCombo->currentText(), QStringLiteral("LUX"));
        QCOMPARE(e.DocParam("AN1", "Sensor Units").Valuestring(), QStringLiteral("LUX"));
    }

    void syncTimeBoxFollowsTheSetting()
    {
        Editor e;
        QVERIFY(e.settingsOpen);
        QVERIFY(e.settings.SetSyncTime(true));
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        QVERIFY(e.Load());
        QCheckBox *check = e.Controls("General", "Clock Sync").check;
        QVERIFY(check->isChecked());
        check->click();
        bool sync = true;
        QVERIFY(e.settings.GetSyncTime(sync));
        QVERIFY(!sync);
    }

    void enterAndFocusLossCheckTheEntry()
    {
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        QVERIFY(e.Load());
        QLineEdit *edit = e.Edit("General", "Address");
        edit->setText("150");
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(e.dialogs.texts(), QStringList{"Entry for Address is invalid\nAllowed: 0 to 99"});
        QCOMPARE(e.dialogs.captions(), QStringList{"Error: General"});
        e.dialogs.clear();
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(edit, &out);
        QCOMPARE(e.dialogs.texts(), QStringList{"Entry for Address is invalid\nAllowed: 0 to 99"});
    }

    void anInvalidEntryStaysRedUntilCorrected()
    {
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        QVERIFY(e.Load());
        QLineEdit *edit = e.Edit("General", "Address");
        QLineEdit *other = e.Edit("General", "Settle");
        const QColor normal = edit->grab().toImage().pixelColor(edit->width() / 2, edit->height() / 2);
        edit->selectAll();
        QTest::keyClicks(edit, "150");
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(edit->property(kInvalidEntryProperty).toBool());
        const QColor marked = edit->grab().toImage().pixelColor(edit->width() / 2, edit->height() / 2);
        QVERIFY(marked != normal);
        QVERIFY(marked.red() > 200 && marked.green() < 230 && marked.blue() < 230);
        QVERIFY(!other->property(kInvalidEntryProperty).toBool());

        // Still red while another entry is checked, cleared once corrected.
        QTest::keyClick(other, Qt::Key_Return);
        QVERIFY(edit->property(kInvalidEntryProperty).toBool());
        edit->selectAll();
        QTest::keyClicks(edit, "42");
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(!edit->property(kInvalidEntryProperty).toBool());
        QVERIFY(edit->styleSheet().isEmpty());
        QVERIFY(edit->grab().toImage().pixelColor(edit->width() / 2, edit->height() / 2) != marked);
    }

    void digitCountMaskFollowsTheProtocol_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("length");
        QTest::newRow("protocol 2") << 2 << 4;
        QTest::newRow("protocol 3") << 3 << 6;
    }

    void digitCountMaskFollowsTheProtocol()
    {
        QFETCH(int, protocol);
        QFETCH(int, length);
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        e.engine->SetIdentity(kProduct, protocol, QString(), 2, 0);
        Parts parts;
        parts.protocol = protocol;
        QVERIFY(e.Load(parts));
        QLineEdit *edit = e.Input(0).digitCountEdit;
        edit->clear();
        edit->setFocus();
        QTest::keyClicks(edit, "1.234567");
        QCOMPARE(edit->text(), QStringLiteral("1.234567").left(length));
    }

    void protocolMismatchShowsNoDifferences()
    {
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        Parts parts;
        parts.protocol = 8;
        QVERIFY(e.Load(parts));
        QCOMPARE(e.dialogs.texts(), QStringList{"Due to file/device protocol mismatch, differences cannot be shown"});
        QCOMPARE(e.dialogs.captions(), QStringList{"WARNING"});
    }

    void rebuildDiscardsTheOldControls()
    {
        Editor e;
        QVERIFY(e.Start(QStringLiteral("FFFF")));
        QVERIFY(e.Load());
        QPointer<QLineEdit> old = e.Edit("General", "Address");
        Parts parts;
        parts.inputs = Param("Plain", "P", "int", "<min>0</min><max>9</max><value>1</value>");
        parts.report = parts.system = Param("Other", "O", "int", "<min>0</min><max>9</max><value>1</value>");
        QVERIFY(e.Load(parts));
        QVERIFY(old.isNull());
        QVERIFY(!e.engine->Report().formatCombo);
        QVERIFY(!e.Input(1).sensorTypeCombo);
        QCOMPARE(e.Input(0).inputName, QStringLiteral("UNUSED"));
        QCOMPARE(e.host.pages.count(), e.engine->CategoryCount());
    }
};

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
