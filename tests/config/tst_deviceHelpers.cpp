// The pieces of device reading and writing that need no device: reply
// parsing, the report list conversions, the sensor type lookup and the setup
// commands made from what the pages show.
#include "tests/config/editorFixture.h"

#include <QCheckBox>
#include <QtTest>

using namespace EditorFixture;

class TestDeviceHelpers : public QObject
{
    Q_OBJECT

private slots:
    void parseResponse_data();
    void parseResponse();
    void normaliseReportList_data();
    void normaliseReportList();
    void normaliseXdrList_data();
    void normaliseXdrList();
    void replaceSubstNames();
    void measurementFromSensorType();
    void commandLines();
    void syncFlagFollowsTheBox();
    void timeLinesOnlyWhenChangedOrSynced();
    void xdrLineOnlyForNmeaDefWithXdr_data();
    void xdrLineOnlyForNmeaDefWithXdr();
    void unknownUnitsMeasurementGivesNoLine();
};

void TestDeviceHelpers::parseResponse_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<QString>("value");
    QTest::newRow("two blanks") << "ADDR =  10" << true << "10";
    QTest::newRow("second equals kept") << "A = B=C" << true << "B=C";
    QTest::newRow("empty value") << "SITE =" << true << "";
    QTest::newRow("trailing kept") << "X = 5 " << true << "5 ";
    QTest::newRow("no equals") << "ILLEGAL COMMAND LINE" << false << "ILLEGAL COMMAND LINE";
}

void TestDeviceHelpers::parseResponse()
{
    QFETCH(QString, reply);
    QFETCH(bool, parsed);
    QFETCH(QString, value);
    QCOMPARE(TFormConfig::ParseResponse(reply), parsed);
    QCOMPARE(reply, value);
}

void TestDeviceHelpers::normaliseReportList_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("list");
    const QString tempris = QStringLiteral("TEMPRIS KDX556-5E");
    const QString corvix = QStringLiteral("CORVIX II");
    // Sentences stay where the sensor lists them: a shorter "NMEA" written
    // back would make it send every sentence it has.
    QTest::newRow("v8 parameters and sentences") << tempris << 8 << "CHECK,P,XDR,MWVR" << true << "P XDR MWVR";
    QTest::newRow("v5 parameters and sentences") << tempris << 5 << "CHECK,P,XDR,MWV" << true << "P XDR MWV";
    QTest::newRow("v9 all six") << tempris << 9 << "CHECK,MWVR,MWVT,HDG,XDR,GGA,ORDT" << true << "NMEA";
    QTest::newRow("v9 all six in another order")
        << tempris << 9 << "CHECK,XDR,MWVR,MWVT,HDG,GGA,ORDT" << true << "NMEA XDR MWVR MWVT HDG GGA ORDT";
    QTest::newRow("v9 some sentences") << tempris << 9 << "CHECK,MWVR,HDG" << true << "NMEA MWVR HDG";
    QTest::newRow("v9 NMEA") << tempris << 9 << "CHECK,NMEA" << true << "NMEA";
    QTest::newRow("v5 both sentences") << tempris << 5 << "CHECK,MWV,XDR" << true << "NMEA";
    QTest::newRow("v5 one sentence") << tempris << 5 << "CHECK,XDR" << true << "NMEA XDR";
    QTest::newRow("v9 none") << tempris << 9 << "NODE,DIR,SPEED,CHECK" << true << "NODE DIR SPEED";
    QTest::newRow("lower-case check") << tempris << 9 << "check,NODE" << true << "NODE";
    QTest::newRow("v5 MWV") << tempris << 5 << "MWV,NODE" << true << "MWV NODE";
    QTest::newRow("old Corvix axes") << corvix << 2 << "CHECK,NODE,U-AXIS,V-AXIS,DIR,SPEED" << true
                                     << "NODE AXIS POLAR";
    QTest::newRow("old Tempris keeps words") << tempris << 2 << "NODE,U-AXIS,V-AXIS" << true << "NODE U-AXIS V-AXIS";
    QTest::newRow("axis without partner") << corvix << 2 << "NODE,U-AXIS" << false << "";
    QTest::newRow("dir without partner") << corvix << 2 << "DIR,NODE" << false << "";
}

void TestDeviceHelpers::normaliseReportList()
{
    QFETCH(QString, product);
    QFETCH(int, protocol);
    QFETCH(QString, value);
    QFETCH(bool, ok);
    QFETCH(QString, list);
    Editor editor;
    QVERIFY(editor.Start(QStringLiteral("0000"), true));
    editor.engine->SetIdentity(product, protocol, QString(), 2, 0);
    bool converted = !ok;
    QCOMPARE(editor.engine->NormaliseReportList(value, &converted), list);
    QCOMPARE(converted, ok);
}

void TestDeviceHelpers::normaliseXdrList_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("list");
    QTest::newRow("device form") << "XDR,T1,T2,CHECK"
                                 << "T1 T2";
    QTest::newRow("lower case") << "xdr,T1,check"
                                << "T1";
    QTest::newRow("only the first XDR") << "XDR,XDR,T1"
                                        << "XDR T1";
    QTest::newRow("empty") << ""
                           << "";
}

void TestDeviceHelpers::normaliseXdrList()
{
    QFETCH(QString, value);
    QFETCH(QString, list);
    QCOMPARE(TFormConfig::NormaliseXdrList(value), list);
}

void TestDeviceHelpers::replaceSubstNames()
{
    const QStringList substs = {QStringLiteral("OUT"), QStringLiteral("HUM")};
    const QStringList names = {QStringLiteral("AN1"), QStringLiteral("AN2")};
    QCOMPARE(TFormConfig::ReplaceSubstNames(QStringLiteral("NODE out HUM DIR"), substs, names),
             QStringLiteral("NODE AN1 AN2 DIR"));
    QCOMPARE(TFormConfig::ReplaceSubstNames(QStringLiteral("NODE DIR"), substs, names), QStringLiteral("NODE DIR"));
}

void TestDeviceHelpers::measurementFromSensorType()
{
    Editor editor;
    QVERIFY(editor.Start());
    QVERIFY(editor.Load());
    const IXMLdeviceType device = editor.engine->Device();
    QString name;
    QString error;
    QVERIFY(editor.engine->GetMeasurementFromSenstype(device.Category(editor.CategoryIndex("AN1")), name, &error));
    QCOMPARE(name, QStringLiteral("TEMPERATURE"));
    QVERIFY(!editor.engine->GetMeasurementFromSenstype(device.Category(editor.CategoryIndex("AN2")), name, &error));
    QVERIFY(error.isEmpty()); // not configured is not an error

    editor.DocParam("AN1", "Sensor Type").SetSelected(7);
    QVERIFY(!editor.engine->GetMeasurementFromSenstype(device.Category(editor.CategoryIndex("AN1")), name, &error));
    QCOMPARE(error, QStringLiteral("GetMeasurementFromSenstype: selected out of range"));
    error.clear();
    QVERIFY(!editor.engine->GetMeasurementFromSenstype(device.Category(editor.CategoryIndex("General")), name, &error));
    QCOMPARE(error, QStringLiteral("GetMeasurementFromSenstype: Did not find SENSTYPE"));
}

void TestDeviceHelpers::commandLines()
{
    Editor editor;
    QVERIFY(editor.Start());
    Parts parts;
    parts.system = Param("User Info", "USERINF", "string", "<string></string>") +
                   Param("Note", "NOTE", "string", "<string>HELLO</string>");
    QVERIFY(editor.Load(parts));
    bool sync = true;
    const QStringList lines = editor.engine->BuildCommandList(sync);
    for (const char *expected : {"ADDR 5", "SETTLE 3", "MODE B", "BAUD 9600", "LAT +51.5000", "SITE SITE1",
                                 "AN1TYPE TEMPERATURE", "AN1INPUT 0-5V 50 -40", "AN1NAME OUT", "AN2TYPE NOT CONFIGURED",
                                 "AN2UNITS NOT CONFIGURED", "AN2INPUT NOT CONFIGURED", "AN2NAME NOT CONFIGURED",
                                 "AN2DIGITS NOT CONFIGURED", "USERINF \"\"", "NOTE HELLO"})
        QVERIFY2(lines.contains(QString::fromLatin1(expected)), expected);
    QVERIFY(lines.indexOf(QStringLiteral("ADDR 5")) < lines.indexOf(QStringLiteral("AN1TYPE TEMPERATURE")));
    QVERIFY(std::none_of(lines.cbegin(), lines.cend(),
                         [](const QString &line) { return line.startsWith(QLatin1String("XDRREPORT")); }));
    // The clocks ran on since they were read: an unchanged time is not sent.
    QVERIFY(std::none_of(lines.cbegin(), lines.cend(), [](const QString &line) {
        return line.startsWith(QLatin1String("TIME")) || line.startsWith(QLatin1String("STIME"));
    }));
}

void TestDeviceHelpers::timeLinesOnlyWhenChangedOrSynced()
{
    Editor editor;
    QVERIFY(editor.Start());
    QVERIFY(editor.Load());
    bool sync = false;
    editor.Controls("General", "Clock").edit->setText(QStringLiteral("2025-02-03 04:05:06"));
    QVERIFY(editor.engine->BuildCommandList(sync).contains(QStringLiteral("TIME 2025-02-03 04:05:06")));
    // Ticked, the line is sent to be replaced by the PC's time.
    editor.Controls("General", "Clock Sync").check->setChecked(true);
    QVERIFY(editor.engine->BuildCommandList(sync).contains(QStringLiteral("STIME 2024-01-01 12:00:00")));
    QVERIFY(sync);
    editor.Controls("General", "Clock Sync").check->setChecked(false);
    QVERIFY(!editor.engine->BuildCommandList(sync).contains(QStringLiteral("STIME 2024-01-01 12:00:00")));
}

void TestDeviceHelpers::syncFlagFollowsTheBox()
{
    Editor editor;
    QVERIFY(editor.Start());
    QVERIFY(editor.Load());
    QCheckBox *box = editor.Controls("General", "Clock Sync").check;
    QVERIFY(box);
    for (bool ticked : {true, false}) {
        box->setChecked(ticked);
        bool sync = !ticked;
        editor.engine->BuildCommandList(sync);
        QCOMPARE(sync, ticked);
    }
}

void TestDeviceHelpers::xdrLineOnlyForNmeaDefWithXdr_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("report");
    QTest::addColumn<bool>("sent");
    QTest::newRow("NMEADEF with XDR") << "NMEADEF"
                                      << "NMEA XDR" << true;
    QTest::newRow("NMEADEF without XDR") << "NMEADEF"
                                         << "NMEA MWVR" << false;
    QTest::newRow("other format") << "NMEA"
                                  << "NMEA XDR" << false;
}

void TestDeviceHelpers::xdrLineOnlyForNmeaDefWithXdr()
{
    QFETCH(QString, format);
    QFETCH(QString, report);
    QFETCH(bool, sent);
    Editor editor;
    QVERIFY(editor.Start());
    QVERIFY(editor.Load());
    const ReportWidgets &w = editor.engine->Report();
    QVERIFY(w.formatCombo && w.reportEdit && w.xdrEdit);
    w.formatCombo->setCurrentIndex(w.formatCombo->findText(format));
    w.reportEdit->setText(report);
    w.xdrEdit->setText(QStringLiteral("TEMP PITCH"));
    bool sync = false;
    const QStringList lines = editor.engine->BuildCommandList(sync);
    QCOMPARE(lines.contains(QStringLiteral("XDRREPORT TEMP PITCH")), sent);
}

void TestDeviceHelpers::unknownUnitsMeasurementGivesNoLine()
{
    Editor editor;
    QVERIFY(editor.Start());
    QVERIFY(editor.Load());
    QVERIFY(editor.Combo("General", "Wind Units"));
    editor.DocParam("General", "Wind Units").SetMeasure(QStringLiteral("NOSUCH"));
    editor.dialogs.clear();
    bool sync = false;
    const QStringList lines = editor.engine->BuildCommandList(sync);
    QVERIFY(lines.contains(QStringLiteral("ADDR 5"))); // the others are still made
    QVERIFY(std::none_of(lines.cbegin(), lines.cend(),
                         [](const QString &line) { return line.startsWith(QLatin1String("WINDUNIT")); }));
    QCOMPARE(editor.dialogs.texts(), QStringList{QStringLiteral("WINDUNIT NOSUCH")});
    QCOMPARE(editor.dialogs.captions(), QStringList{QStringLiteral("Save To Device Error - Unknown Units")});
    QVERIFY(editor.logs.contains(QStringLiteral("ERROR: UNITS INDEX INVALID.")));
}

QTEST_MAIN(TestDeviceHelpers)
#include "tst_deviceHelpers.moc"
