// How a read interprets each kind of reply: a scripted device answers the
// editor fixture's commands with the edge cases of every type.
#include "config/summary.h"
#include "device/deviceSession.h"
#include "serial/comms.h"
#include "tests/config/editorFixture.h"
#include "tests/support/ptypeer.h"
#include "tests/support/linkTimingSwitch.h"

#include <QMap>
#include <QtTest>
#include <mutex>

using namespace EditorFixture;

namespace
{
constexpr int kComNumber = 63;

// Answers the setup dialogue and, in setup mode, each command from a table;
// anything else is refused as the devices do.
struct ScriptedSensor {
    std::mutex lock;
    QMap<QByteArray, QList<QByteArray>> replies;
    QMap<QByteArray, QList<QByteArray>> firstReplies; // instead of replies, the first time only
    bool inSetupMode = false;

    QList<QByteArray> Answer(const QByteArray &line)
    {
        std::lock_guard guard(lock);
        if (line == "%%%")
            return {"ID:" + Reply(QStringLiteral("0000")).toLatin1()};
        if (line == "**0000\n") {
            const bool already = inSetupMode;
            inSetupMode = true;
            return {already ? "UNNECESSARY COMMAND" : "SETUP MODE"};
        }
        if (line == "EXIT") {
            inSetupMode = false;
            return {};
        }
        if (!inSetupMode || line.isEmpty())
            return {};
        if (firstReplies.contains(line))
            return firstReplies.take(line);
        return replies.value(line, {"ILLEGAL COMMAND LINE"});
    }
};
} // namespace

class TestDeviceReplies : public QObject
{
    Q_OBJECT

    std::unique_ptr<Editor> editor;
    std::shared_ptr<ScriptedSensor> sensor;
    std::unique_ptr<PtyPeer> peer;
    std::unique_ptr<DeviceSession> device;

    bool Connect(const Parts &parts)
    {
        UseShortLinkTiming();
        editor = std::make_unique<Editor>();
        sensor = std::make_shared<ScriptedSensor>();
        peer = std::make_unique<PtyPeer>();
        peer->SetEcho(true);
        peer->SetResponder([s = sensor](const QByteArray &line) { return s->Answer(line); });
        if (!peer->IsOpen() || AddComAlias(*peer, kComNumber) != kComNumber - 1 || !editor->Start() ||
            !editor->Load(parts))
            return false;
        device = std::make_unique<DeviceSession>(LinkTiming{50, 0, 0});
        if (device->OpenOnce(kComNumber - 1, 6) != BringUpFailure::None ||
            device->StartTransacting() != BringUpFailure::None)
            return false;
        device->Session().unitAddress = QStringLiteral("0");
        editor->engine->SetSession(&device->Session());
        editor->dialogs.clear();
        return true;
    }

private slots:
    void cleanup()
    {
        if (editor)
            editor->engine.reset();
        device.reset();
        peer.reset();
        editor.reset();
    }

    void repliesByType()
    {
        QVERIFY(Connect({}));
        sensor->replies = {
            {"ADDR", {"ADDR =  10"}},
            {"SETTLE", {"SETTLE = 4", "SETTLE AFTER RESET = 6"}},
            {"MODE", {"MODE = c"}}, // differs from option "C" in case only
            {"BAUD", {"BAUD = 19200"}},
            {"WINDUNIT", {"WINDUNIT = KTS"}},
            {"LAT", {"LAT = -12.2500"}},
            {"TIME", {"TIME = 5"}},
            {"STIME", {"STIME = 2025-06-01 10:20:30.0"}},
            {"SITE", {"SITE = A=B"}},
            {"AN1TYPE", {"AN1TYPE = HUMIDITY"}},
            {"AN1UNITS", {"AN1UNITS = %"}},
            {"AN1INPUT", {"AN1INPUT = 4-20MA,20,-5"}},
            {"AN1NAME", {"AN1NAME = RH"}},
            {"AN1DIGITS", {"AN1DIGITS = NOT CONFIGURED"}},
            {"AN2TYPE", {"AN2TYPE = NOT CONFIGURED"}},
            {"AN2UNITS", {"AN2UNITS = NOT CONFIGURED"}},
            {"AN2INPUT", {"AN2INPUT = 0-5V,7"}}, // a field short
            {"AN2NAME", {"AN2NAME = NOT CONFIGURED"}},
            {"AN2DIGITS", {"AN2DIGITS = NOT CONFIGURED"}},
            {"REPORT", {"REPORT = CHECK,NODE,RH,XDR,MWVR"}},
            {"XDRREPORT", {"XDRREPORT = XDR,RH,TEMP,CHECK"}},
        };
        TFormConfig &engine = *editor->engine;
        QVERIFY(!engine.GetDeviceSettings()); // some params fail
        QVERIFY(!engine.IsBusy());
        QVERIFY(editor->dialogs.boxes.isEmpty());

        QCOMPARE(editor->DocParam("General", "Address").Value(), 10);
        QCOMPARE(editor->DocParam("General", "Settle").Value(), 6);
        QCOMPARE(editor->DocParam("General", "Mode").Valid(), 0);
        QCOMPARE(editor->DocParam("General", "Baud Rate").Selected(), 2);
        QCOMPARE(editor->DocParam("General", "Wind Units").Selected(), 3);
        QCOMPARE(editor->DocParam("General", "Latitude").Floatvalue(), QStringLiteral("-12.2500"));
        QCOMPARE(editor->DocParam("General", "Clock").String(), QString());
        QCOMPARE(editor->DocParam("General", "Clock Sync").String(), QStringLiteral("2025-06-01 10:20:30"));
        QCOMPARE(editor->DocParam("General", "Site").String(), QStringLiteral("A=B"));
        QCOMPARE(editor->DocParam("AN1", "Sensor Type").Selected(), 1);
        const IXMLparamType input = editor->DocParam("AN1", "Input Type");
        QCOMPARE(input.Selected(), 1);
        QCOMPARE(input.High(), 20);
        QCOMPARE(input.Low(), QStringLiteral("-5"));
        QCOMPARE(editor->DocParam("AN1", "Digits").String(), QString());
        QCOMPARE(editor->DocParam("AN2", "Sensor Type").Selected(), -1);
        QCOMPARE(editor->DocParam("AN2", "Sensor Units").Selected(), -1);
        QCOMPARE(editor->DocParam("AN2", "Input Type").Valid(), 0);
        // Both lists with the substitute name replaced by its input's name,
        // the sentences where the device lists them; the XDR list where the
        // pages show it.
        QCOMPARE(editor->DocParam("Report", "Report Format").Reportvalue(), QStringLiteral("NODE AN1 XDR MWVR"));
        const IXMLparamType xdr = editor->DocParam("Report", "Report XDR Format");
        QCOMPARE(xdr.Reportvalue(), QStringLiteral("AN1 TEMP"));
        QCOMPARE(xdr.Reportxdrvalue(), QStringLiteral("AN1 TEMP"));
        QCOMPARE(engine.Report().xdrEdit->text(), QStringLiteral("AN1 TEMP"));

        for (const char *cmd : {"MODE", "AN2INPUT", "AFTER"})
            QVERIFY2(engine.FailedReads().contains(QLatin1String(cmd)), cmd);
        QVERIFY(!engine.FailedReads().contains(QStringLiteral("ADDR")));
        QVERIFY(editor->logs.contains(QStringLiteral("Could not find selected option")));
        QVERIFY(editor->logs.contains(QStringLiteral("FAILED TO GET PARAMETER")));
        const QStringList summary = editor->host.summary.Lines();
        QCOMPARE(summary.value(0), QStringLiteral("PROBLEMS WERE ENCOUNTERED WITH THE FOLLOWING COMMANDS:"));
        QVERIFY(QFile::exists(engine.RetrievedConfigPath()));
        QVERIFY(sensor->inSetupMode); // the caller decides when to leave
    }

    void unitsWithoutSensorTypeStopsTheRead()
    {
        Parts parts;
        parts.inputs = Param("Sensor Units", "AN1UNITS", "cfgsensorunits", "<selected>0</selected><customunits/>");
        QVERIFY(Connect(parts));
        sensor->replies = {{"AN1UNITS", {"AN1UNITS = %"}}};
        QVERIFY(!editor->engine->GetDeviceSettings());
        QCOMPARE(editor->dialogs.texts(), QStringList{QStringLiteral("UNABLE_TO_READ_FROM_DEVICE")});
        QVERIFY(editor->logs.contains(QStringLiteral("GetMeasurementFromSenstype: Did not find SENSTYPE")));
        QVERIFY(!QFile::exists(editor->engine->RetrievedConfigPath()));
        QVERIFY(!editor->engine->IsBusy());
        QVERIFY(!sensor->inSetupMode); // released: "EXIT" was sent
        QVERIFY(peer->LineCount("EXIT") >= 1);
    }

    void unknownUnitSymbolStopsTheRead()
    {
        QVERIFY(Connect({}));
        sensor->replies = {{"ADDR", {"ADDR = 1"}}, {"WINDUNIT", {"WINDUNIT = furlongs"}}};
        QVERIFY(!editor->engine->GetDeviceSettings());
        QCOMPARE(editor->dialogs.texts(), QStringList{QStringLiteral("UNABLE_TO_READ_FROM_DEVICE")});
        QVERIFY(editor->logs.contains(QStringLiteral("Did not find units.")));
        QVERIFY(!editor->logs.contains(QStringLiteral("LAT"))); // nothing after it is sent
        QVERIFY(!sensor->inSetupMode);
    }

    void lateAnswerIsNotTakenForTheNextOne()
    {
        Parts parts;
        parts.general = Param("Address", "ADDR", "int", "<min>0</min><max>99</max><value>5</value>") +
                        Param("Posture", "POSTURE", "int", "<min>0</min><max>99</max><value>1</value>") +
                        Param("Settle", "SETTLE", "delayedint", "<min>1</min><max>99</max><value>3</value>") +
                        Param("Mode", "MODE", "select", Options({"A", "B", "C"}) + "<selected>1</selected>");
        QVERIFY(Connect(parts));
        // ADDR is answered only after its wait, while the next ones are asked.
        sensor->replies = {{"ADDR", {}},
                           {"POSTURE", {"POSTURE = 3"}},
                           {"SETTLE", {"SETTLE = 4", "SETTLE AFTER RESET = 6"}},
                           {"MODE", {"MODE = C"}}};
        sensor->firstReplies = {{"POSTURE", {"ADDR = 77", "POSTURE = 3"}}, {"SETTLE", {"ADDR = 78"}}};
        TFormConfig &engine = *editor->engine;
        QVERIFY(!engine.GetDeviceSettings());
        QVERIFY(editor->dialogs.boxes.isEmpty());
        QCOMPARE(editor->DocParam("General", "Address").Valid(), 0);
        QCOMPARE(editor->DocParam("General", "Posture").Value(), 3);
        QCOMPARE(editor->DocParam("General", "Settle").Value(), 6);
        QCOMPARE(editor->DocParam("General", "Mode").Selected(), 2);
        QVERIFY(engine.FailedReads().contains(QStringLiteral("ADDR")));
        for (const char *cmd : {"POSTURE", "SETTLE", "MODE"})
            QVERIFY2(!engine.FailedReads().contains(QLatin1String(cmd)), cmd);
        QVERIFY(editor->logs.contains(QStringLiteral("Late reply ignored: ADDR = 77")));
        QCOMPARE(peer->LineCount("POSTURE"), 2); // asked again
    }
};

QTEST_MAIN(TestDeviceReplies)
#include "tst_deviceReplies.moc"
