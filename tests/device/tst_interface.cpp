#include "base/appdata.h"
#include "base/log.h"
#include "device/deviceSession.h"
#include "device/interface.h"
#include "tests/support/linkTimingSwitch.h"
#include "tests/support/ptypeer.h"

#include <QTemporaryDir>
#include <QTest>

namespace
{
constexpr int comNumber = 17;

// A sensor as its manual describes it, for the session's dialogue.
struct Sensor {
    enum class SetupAnswer { Normal, Ignore, Illegal };

    std::mutex lock;
    QByteArray address = "7";
    QByteArray identity = "TST 2.1 [7] 0001";
    bool answersQuery = true;
    SetupAnswer setup = SetupAnswer::Normal;
    bool inSetupMode = false;
    QList<QByteArray> serialReply{"SERIAL = 12345 "};
    QList<QByteArray> starReply{"READY"};

    QList<QByteArray> answer(const QByteArray &line)
    {
        std::lock_guard guard(lock);
        if (line == "%%%")
            return answersQuery ? QList<QByteArray>{"ID:" + identity} : QList<QByteArray>{};
        if (line == "**" + address.repeated(4) + "\n")
            return setupCommand();
        if (line == "EXIT") {
            inSetupMode = false;
            return {};
        }
        if (line == "SERIAL")
            return serialReply;
        if (line == "*")
            return starReply;
        if (line.isEmpty() || line.startsWith("**")) // a wrong address is ignored
            return {};
        return inSetupMode ? QList<QByteArray>{"ILLEGAL COMMAND LINE"} : QList<QByteArray>{};
    }

    QList<QByteArray> setupCommand()
    {
        if (setup == SetupAnswer::Ignore)
            return {};
        if (inSetupMode)
            return {setup == SetupAnswer::Illegal ? "ILLEGAL COMMAND LINE" : "UNNECESSARY COMMAND"};
        inSetupMode = true;
        return {"SETUP MODE"};
    }
};
} // namespace

class TestInterface : public QObject
{
    Q_OBJECT
    QTemporaryDir dataDir;
    std::unique_ptr<PtyPeer> peer;
    std::shared_ptr<Sensor> sensor;
    std::unique_ptr<DeviceSession> device;
    TfrmInterface *session = nullptr;
    QStringList debugLog;

    void connectSession(bool echo)
    {
        peer->SetEcho(echo);
        device = std::make_unique<DeviceSession>(LinkTiming{250, 0, 0}); // ample time for a loaded machine
        QCOMPARE(device->OpenOnce(comNumber - 1, 9), BringUpFailure::None);
        QCOMPARE(device->StartTransacting(), BringUpFailure::None);
        session = &device->Session();
    }

    int logCount(const QString &line) const { return static_cast<int>(debugLog.count(line)); }

private slots:
    void initTestCase()
    {
        UseShortLinkTiming();
        QVERIFY(dataDir.isValid());
        SetAppDataFolder(dataDir.path());
    }

    void init()
    {
        debugLog.clear();
        SetLogSink([this](const QString &text) { debugLog << text; });
        sensor = std::make_shared<Sensor>();
        peer = std::make_unique<PtyPeer>();
        QVERIFY(peer->IsOpen());
        peer->SetResponder([s = sensor](const QByteArray &line) { return s->answer(line); });
        AddComAlias(*peer, comNumber);
    }

    void cleanup()
    {
        session = nullptr;
        device.reset();
        peer.reset();
        SetLogSink({});
    }

    void echo_data()
    {
        QTest::addColumn<bool>("echo");
        QTest::newRow("echo off") << false;
        QTest::newRow("echo on") << true;
    }

    void queryUnitLearnsTheAddress_data() { echo_data(); }
    void queryUnitLearnsTheAddress()
    {
        QFETCH(bool, echo);
        connectSession(echo);
        QCOMPARE(session->unitAddress, QStringLiteral("Q"));
        QCOMPARE(session->SetupModeCommand(), QStringLiteral("**QQQQ\n"));
        QString identity;
        QCOMPARE(session->QueryUnit(identity), 0);
        QCOMPARE(identity, QStringLiteral("TST 2.1 [7] 0001"));
        QCOMPARE(session->unitAddress, QStringLiteral("7"));
        QCOMPARE(session->SetupModeCommand(), QStringLiteral("**7777\n"));
        QVERIFY(debugLog.contains(QStringLiteral("Query Unit Successful: ID:TST 2.1 [7] 0001")));
        QCOMPARE(logCount(QStringLiteral("Retry Sending: %%%...")), 1);
        QCOMPARE(peer->LineCount("%%%"), 1);
    }

    void queryUnitWithoutAnAddressFails()
    {
        sensor->identity = "TST 2.1 0001";
        connectSession(false);
        QString identity;
        QCOMPARE(session->QueryUnit(identity), ERR_QUERY_FAILED);
        QCOMPARE(identity, QStringLiteral("TST 2.1 0001"));
        QCOMPARE(session->unitAddress, QStringLiteral("Q"));
        QVERIFY(debugLog.contains(QStringLiteral("Query Unit Failed: TST 2.1 0001")));
        QVERIFY(debugLog.contains(QStringLiteral("ERR_QUERY_FAILED")));
        QCOMPARE(peer->LineCount("%%%"), 1); // an ID line was found: no retry
    }

    void anAddressIsTheTextInsideTheFirstBrackets_data()
    {
        QTest::addColumn<QString>("identity");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("address");
        QTest::newRow("plain") << "X [12] Y" << true << "12";
        QTest::newRow("first pair") << "[A] [B]" << true << "A";
        QTest::newRow("stray closing bracket first") << "X ] Y [5]" << true << "5";
        QTest::newRow("empty") << "X []" << true << "";
        QTest::newRow("no closing bracket") << "X [5" << false << "Q";
        QTest::newRow("no opening bracket") << "X 5]" << false << "Q";
    }
    void anAddressIsTheTextInsideTheFirstBrackets()
    {
        QFETCH(QString, identity);
        QFETCH(bool, found);
        QFETCH(QString, address);
        TfrmInterface interface;
        QCOMPARE(interface.ExtractUnitAddress(identity), found);
        QCOMPARE(interface.unitAddress, address);
    }

    void aSilentLineCostsSixQueries()
    {
        sensor->answersQuery = false;
        connectSession(false);
        QString identity = QStringLiteral("kept");
        QCOMPARE(session->QueryUnit(identity), ERR_QUERY_FAILED);
        QCOMPARE(identity, QStringLiteral("kept"));
        QCOMPARE(peer->LineCount("%%%"), 6);
        QCOMPARE(logCount(QStringLiteral("Retry Sending: %%%...")), 6);
        QVERIFY(debugLog.contains(QStringLiteral("Query Unit Failed: ")));
    }

    void aDeviceIsGoneOnlyWhenTheUnitQueryGoesUnansweredToo()
    {
        connectSession(true);
        QString reply;
        QVERIFY(session->SendCmdGetSingleResp(QStringLiteral("NOSUCH"), reply) != 0); // measuring: no answer
        QVERIFY(!session->DeviceGone(ERR_LINE_COUNT));
        QCOMPARE(peer->LineCount("%%%"), 1);
        QVERIFY(debugLog.contains(QStringLiteral("The device still answers.")));
        QVERIFY(!session->DeviceGone(0)); // an answered exchange costs no query
        QCOMPARE(peer->LineCount("%%%"), 1);

        {
            // The peer's thread has answered queries already.
            std::lock_guard guard(sensor->lock);
            sensor->answersQuery = false;
        }
        QVERIFY(session->DeviceGone(ERR_LINE_COUNT));
        QCOMPARE(peer->LineCount("%%%"), 1 + 1 + session->livenessRetries);
        QVERIFY(debugLog.contains(QStringLiteral("The device does not answer.")));
    }

    void aHungUpDeviceIsGoneWithoutAQuery()
    {
        connectSession(false);
        peer->HangUp();
        QTRY_VERIFY(session->LinkLost());
        QVERIFY(session->DeviceGone(0));
        QVERIFY(!session->IsAnswering());
        QCOMPARE(peer->LineCount("%%%"), 0);
    }

    void setupModeEnteredWithOneCommand_data() { echo_data(); }
    void setupModeEnteredWithOneCommand()
    {
        QFETCH(bool, echo);
        connectSession(echo);
        QCOMPARE(session->EnterSetupMode(), 0);
        QCOMPARE(peer->LineCount("**7777\n"), 1);
        QCOMPARE(peer->LineCount("%%%"), 1);
        QVERIFY(debugLog.contains(QStringLiteral("Enter Setup Mode Successful: ")));
        QVERIFY(sensor->inSetupMode);
    }

    void aSensorAlreadyInSetupModeRefusesTheSecondCommand_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("unnecessary command") << int(Sensor::SetupAnswer::Normal);
        QTest::newRow("illegal command line") << int(Sensor::SetupAnswer::Illegal);
    }
    void aSensorAlreadyInSetupModeRefusesTheSecondCommand()
    {
        QFETCH(int, answer);
        sensor->inSetupMode = true;
        sensor->setup = static_cast<Sensor::SetupAnswer>(answer);
        connectSession(true);
        QCOMPARE(session->EnterSetupMode(), 0);
        QCOMPARE(peer->LineCount("**7777\n"), 2);
        QCOMPARE(logCount(QStringLiteral("Enter Setup Mode Successful: ")), 1);
    }

    void setupModeIgnoredFailsAfterThreeAttempts()
    {
        sensor->setup = Sensor::SetupAnswer::Ignore;
        connectSession(false);
        QCOMPARE(session->EnterSetupMode(), ERR_COMMAND_FAILED);
        QCOMPARE(peer->LineCount("%%%"), 3);
        QCOMPARE(peer->LineCount("**7777\n"), 6);
        const QStringList attempts = debugLog.filter(QStringLiteral("Enter Setup Mode attempt: "));
        QCOMPARE(attempts, (QStringList{"Enter Setup Mode attempt: 1", "Enter Setup Mode attempt: 2",
                                        "Enter Setup Mode attempt: 3"}));
        QCOMPARE(logCount(QStringLiteral("Enter Setup Mode Failed: ")), 3);
        QCOMPARE(logCount(QStringLiteral("ERR_COMMAND_FAILED")), 3);
    }

    void noDeviceFailsSetupModeAfterEighteenQueries()
    {
        sensor->answersQuery = false;
        connectSession(false);
        QCOMPARE(session->EnterSetupMode(), ERR_COMMAND_FAILED);
        QCOMPARE(peer->LineCount("%%%"), 18);
        QCOMPARE(peer->LineCount("**QQQQ\n"), 0);
        QCOMPARE(logCount(QStringLiteral("Enter Setup Mode QueryUnit Failed: ")), 3);
        QCOMPARE(debugLog.filter(QStringLiteral("Enter Setup Mode attempt: ")).size(), 3);
    }

    void exitSetupModeSendsExitTwice()
    {
        sensor->inSetupMode = true;
        connectSession(true);
        QCOMPARE(session->ExitSetupMode(), 0);
        QCOMPARE(peer->LineCount("EXIT"), 2);
        QVERIFY(!sensor->inSetupMode);
    }

    void serialNumberReplies_data()
    {
        QTest::addColumn<bool>("echo");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("serial");
        QTest::newRow("blank and digits, echo off") << false << QByteArray("SERIAL = 12345 ") << "12345";
        QTest::newRow("blank and digits, echo on") << true << QByteArray("SERIAL = 12345 ") << "12345";
        QTest::newRow("no equals sign") << false << QByteArray(" SERIAL 12345 ") << "SERIAL 12345";
        QTest::newRow("tab after equals") << false << QByteArray("SERIAL =\tA-77") << "A-77";
        QTest::newRow("nothing after equals") << false << QByteArray("SERIAL =") << "";
    }
    void serialNumberReplies()
    {
        QFETCH(bool, echo);
        QFETCH(QByteArray, reply);
        QFETCH(QString, serial);
        sensor->serialReply = {reply};
        connectSession(echo);
        QString got = QStringLiteral("kept");
        QCOMPARE(session->GetSerialNumber(got), 0);
        QCOMPARE(got, serial);
        QVERIFY(debugLog.contains(QStringLiteral("Getting unit serial number")));
        QCOMPARE(peer->LineCount("SERIAL"), 1);
        QCOMPARE(peer->Received(), QByteArray("\rSERIAL\r"));
    }

    void serialNumberNotObtained_data()
    {
        QTest::addColumn<bool>("echo");
        QTest::addColumn<QList<QByteArray>>("reply");
        QTest::newRow("silence") << false << QList<QByteArray>{};
        QTest::newRow("other text") << false << QList<QByteArray>{"ILLEGAL COMMAND LINE"};
        // Only the command's echo came back: that is no serial number.
        QTest::newRow("echo only") << true << QList<QByteArray>{};
        // A stale echo after this one's (a late line of an earlier try).
        QTest::newRow("the command's name only") << true << QList<QByteArray>{"SERIAL"};
    }
    void serialNumberNotObtained()
    {
        QFETCH(bool, echo);
        QFETCH(QList<QByteArray>, reply);
        sensor->serialReply = reply;
        connectSession(echo);
        QString serial = QStringLiteral("kept");
        QCOMPARE(session->GetSerialNumber(serial), ERR_COMMAND_FAILED);
        QCOMPARE(serial, QStringLiteral("kept"));
        QCOMPARE(peer->LineCount("SERIAL"), 6);
        const QString last = reply.isEmpty() ? QStringLiteral("UNDEFINED") : QString::fromLatin1(reply.first());
        QCOMPARE(logCount(QStringLiteral("Retry Response: ") + last + QStringLiteral("...")), 6);
    }

    void safeModeProbe_data()
    {
        QTest::addColumn<bool>("echo");
        QTest::addColumn<QList<QByteArray>>("reply");
        QTest::addColumn<int>("result");
        QTest::newRow("answered") << false << QList<QByteArray>{"READY"} << 0;
        QTest::newRow("answered with echo") << true << QList<QByteArray>{"READY"} << 0;
        QTest::newRow("silence") << false << QList<QByteArray>{} << ERR_COMMAND_FAILED;
        QTest::newRow("echo only") << true << QList<QByteArray>{} << ERR_COMMAND_FAILED;
        QTest::newRow("blanks") << false << QList<QByteArray>{"   "} << ERR_COMMAND_FAILED;
    }
    void safeModeProbe()
    {
        QFETCH(bool, echo);
        QFETCH(QList<QByteArray>, reply);
        QFETCH(int, result);
        sensor->starReply = reply;
        connectSession(echo);
        QCOMPARE(session->SafeModeProbe(), result);
        QCOMPARE(peer->LineCount("*"), 1);
    }

    void passThroughsReachTheLink()
    {
        connectSession(false);
        QString response;
        QCOMPARE(session->SendCmdGetSingleResp(QStringLiteral("SERIAL"), response), 0);
        QCOMPARE(response, QStringLiteral("SERIAL = 12345"));
        QStringList lines;
        QCOMPARE(session->SendCmdGetMultipleResp(QStringLiteral("*"), lines), 0);
        QCOMPARE(lines, QStringList{QStringLiteral("READY")});
        QCOMPARE(session->SetRxServiceMode(RX_MODE_STREAMING), 0);
        peer->Send("DATA 1\r\n");
        int count = 0;
        QTRY_VERIFY(session->GetRxLineCount(count) == 0 && count == 1);
        QString line;
        QCOMPARE(session->PopRxLine(line), 0);
        QCOMPARE(line, QStringLiteral("\nDATA 1")); // the LF of the last reply leads
        QCOMPARE(session->PopRxLine(line), ERR_NO_LINE);
    }

    void withoutALinkEverythingFailsQuietly()
    {
        TfrmInterface interface;
        int count = 3;
        QString text = QStringLiteral("kept");
        QStringList lines;
        QCOMPARE(interface.GetRxLineCount(count), ERR_RX_SERVICE_NOT_STARTED);
        QCOMPARE(count, 0);
        QCOMPARE(interface.PopRxLine(text), ERR_RX_SERVICE_NOT_STARTED);
        QCOMPARE(text, QStringLiteral("kept"));
        QCOMPARE(interface.SetRxServiceMode(RX_MODE_TRANSACTING), ERR_RX_SERVICE_NOT_STARTED);
        QCOMPARE(interface.StartRxService(nullptr), ERR_RX_SERVICE_NOT_STARTED);
        QCOMPARE(interface.SendCmdGetMultipleResp(QStringLiteral("*"), lines), ERR_RX_SERVICE_NOT_STARTED);
        QCOMPARE(interface.SendCmdGetSingleResp(QStringLiteral("*"), text), ERR_RX_SERVICE_NOT_STARTED);
        QCOMPARE(text, QStringLiteral("UNDEFINED"));
        QCOMPARE(interface.QueryUnit(text), ERR_QUERY_FAILED);
        QCOMPARE(interface.EnterSetupMode(), ERR_COMMAND_FAILED);
        QCOMPARE(interface.SafeModeProbe(), ERR_COMMAND_FAILED);
    }
};

QTEST_MAIN(TestInterface)
#include "tst_interface.moc"
