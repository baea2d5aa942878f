// Bringing a sensor online and letting it go, against the simulator and
// scripted pseudo-terminals behind COM aliases, without any window.
#include "base/appdata.h"
#include "base/log.h"
#include "device/deviceSession.h"
#include "sim/simulator.h"
#include "tests/support/ptypeer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace
{
constexpr int kComNumber = 23;
constexpr int kBaud19200 = 6;
// Short waits: the peers here answer at once or never.
const LinkTiming kShortWaits{60, 0, 0};
} // namespace

class TestDeviceSession : public QObject
{
    Q_OBJECT
    QTemporaryDir dataDir;
    QStringList debugLog;
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<PtyPeer> peer;

    QString AppData() const { return dataDir.path() + QLatin1Char('/'); }

    void StartSimulator(const SimFaults &faults = {})
    {
        SimOptions options;
        options.product = QStringLiteral("Tempris KDX560-6 PV6");
        options.dataDir = QStringLiteral(TALVEK_TEST_APP_DIR);
        options.streamIntervalMs = 60000; // no data lines in the way of the queries
        options.faults = faults;
        sim = std::make_unique<Simulator>(options);
        QString error;
        QVERIFY2(sim->Start(&error), qPrintable(error));
        QVERIFY2(sim->RegisterAlias(AppData(), kComNumber, &error), qPrintable(error));
    }

    // A sensor that gives its identity but never takes the setup-mode command.
    void StartRefusingPeer()
    {
        peer = std::make_unique<PtyPeer>();
        QVERIFY(peer->IsOpen());
        peer->SetResponder([](const QByteArray &line) {
            return line == "%%%" ? QList<QByteArray>{"ID:TST 2.1 [7] 0001"} : QList<QByteArray>{};
        });
        QCOMPARE(AddComAlias(*peer, kComNumber), kComNumber - 1);
    }

    int LogCount(const QString &line) const { return static_cast<int>(debugLog.count(line)); }

private slots:
    void initTestCase()
    {
        QVERIFY(dataDir.isValid());
        SetAppDataFolder(AppData());
    }

    void init()
    {
        debugLog.clear();
        SetLogSink([this](const QString &text) { debugLog << text; });
    }

    void cleanup()
    {
        if (sim)
            sim->RemoveAlias();
        sim.reset();
        peer.reset();
        QFile::remove(AppData() + QStringLiteral("ports/COM%1").arg(kComNumber));
        SetLogSink({});
    }

    void bringUpReachesSetupModeAndReadsTheSerialNumber()
    {
        StartSimulator();
        DeviceSession device(kShortWaits);
        QCOMPARE(device.BringUp(kComNumber - 1, kBaud19200), BringUpFailure::None);
        QCOMPARE(device.LastCode(), 0);
        QCOMPARE(device.Identity(), sim->Identity());
        QCOMPARE(device.SerialNumber(), QStringLiteral("12345"));
        QCOMPARE(device.Session().unitAddress, QStringLiteral("Q"));
        QVERIFY(sim->InSetupMode());
        QVERIFY(device.Link().RxServiceRunning());
        QVERIFY(QFile::exists(AppData() + QStringLiteral("comm%1.dbg").arg(kComNumber)));
    }

    void releaseTakesTheSensorOutOfSetupModeAndClosesThePort()
    {
        StartSimulator();
        DeviceSession device(kShortWaits);
        QCOMPARE(device.BringUp(kComNumber - 1, kBaud19200), BringUpFailure::None);
        device.Release();
        QVERIFY(!sim->InSetupMode());
        QVERIFY(!device.Link().RxServiceRunning());
        // The port is free for the next session.
        DeviceSession next(kShortWaits);
        QCOMPARE(next.OpenOnce(kComNumber - 1, kBaud19200), BringUpFailure::None);
    }

    void releaseWithoutReceiveServiceSendsNothing()
    {
        StartSimulator();
        DeviceSession device(kShortWaits);
        QCOMPARE(device.OpenOnce(kComNumber - 1, kBaud19200), BringUpFailure::None);
        const int before = sim->Commands();
        device.Release();
        QCOMPARE(sim->Commands(), before);
    }

    void aPortThatCannotBeOpenedIsTriedFourTimesAndSaysWhy()
    {
        const QString folder = AppData() + QStringLiteral("ports/");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/talvek-test-device"),
                            folder + QStringLiteral("COM%1").arg(kComNumber)));
        DeviceSession device(kShortWaits);
        device.SetOpenRetry(DeviceSession::kOpenAttempts, 10);
        QCOMPARE(device.BringUp(kComNumber - 1, kBaud19200), BringUpFailure::PortNotOpened);
        QCOMPARE(device.LastCode(), ERR_PORT_NOT_OPEN);
        QVERIFY(!device.OpenErrorText().isEmpty());
        QCOMPARE(LogCount(QStringLiteral("Re-trying to open port")), DeviceSession::kOpenAttempts);
        QCOMPARE(LogCount(QStringLiteral("Error - Failed to open port")), 1);
    }

    void anOpenAfterAFailedAttemptSucceeds()
    {
        // The alias appears while the first attempts fail, as a port another
        // program has just let go of.
        DeviceSession device(kShortWaits);
        device.SetOpenRetry(DeviceSession::kOpenAttempts, 10);
        QCOMPARE(device.Open(kComNumber - 1, kBaud19200), BringUpFailure::PortNotOpened);
        StartSimulator();
        QCOMPARE(device.Open(kComNumber - 1, kBaud19200), BringUpFailure::None);
        QCOMPARE(device.LastCode(), 0);
        QVERIFY(device.OpenErrorText().isEmpty());
    }

    void aSilentPortGivesNoAnswer()
    {
        peer = std::make_unique<PtyPeer>();
        QCOMPARE(AddComAlias(*peer, kComNumber), kComNumber - 1);
        DeviceSession device(kShortWaits);
        QCOMPARE(device.BringUp(kComNumber - 1, kBaud19200), BringUpFailure::NoAnswer);
        QCOMPARE(device.LastCode(), ERR_QUERY_FAILED);
        QVERIFY(device.Identity().isEmpty());
        QVERIFY(!peer->Lines().contains("SERIAL"));
    }

    void aRefusedSetupModeSaysWhatTheSensorDid()
    {
        StartRefusingPeer();
        DeviceSession device(kShortWaits);
        QCOMPARE(device.BringUp(kComNumber - 1, kBaud19200), BringUpFailure::SetupModeFailed);
        QCOMPARE(device.LastCode(), ERR_COMMAND_FAILED);
        QCOMPARE(device.Identity(), QStringLiteral("TST 2.1 [7] 0001"));
        QCOMPARE(device.SetupModeFailure(), QStringLiteral("the sensor did not answer the setup-mode command"));
        QVERIFY(!peer->Lines().contains("SERIAL"));
    }

    void anUnansweredSerialNumberIsItsOwnFailure()
    {
        SimFaults faults;
        faults.ignored = QStringList{QStringLiteral("SERIAL")};
        StartSimulator(faults);
        DeviceSession device(kShortWaits);
        QCOMPARE(device.BringUp(kComNumber - 1, kBaud19200), BringUpFailure::SerialNumberFailed);
        QCOMPARE(device.LastCode(), ERR_COMMAND_FAILED);
        QVERIFY(sim->InSetupMode());
        QVERIFY(device.SerialNumber().isEmpty());
    }

    void aWrongRateGivesNoAnswer()
    {
        StartSimulator();
        DeviceSession device(kShortWaits);
        QCOMPARE(device.BringUp(kComNumber - 1, 8), BringUpFailure::NoAnswer); // 57600
        QVERIFY(!sim->InSetupMode());
    }
};

QTEST_GUILESS_MAIN(TestDeviceSession)
#include "tst_deviceSession.moc"
