// The port scanner without any window: scans, tries and the safe-mode probe
// against the simulator and scripted devices on pseudo-terminals behind COM
// aliases, with the port list restricted to the test's ports.
#include "base/appdata.h"
#include "base/log.h"
#include "sim/simulator.h"
#include "tests/support/ptypeer.h"
#include "workflows/portScanner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace
{
// Short link waits: every device here answers at once or never.
const LinkTiming kShortWaits{60, 0, 0};
const QByteArray kSafeIdentity = "SAF 1.0 [Q] 0042";

// A sensor that answers only once switched on, and then only at 4800 baud.
struct SafeSensor {
    std::atomic<bool> powered{false};
    PtyPeer *peer = nullptr;

    QList<QByteArray> Answer(const QByteArray &line) const
    {
        if (!powered || peer->BaudRate() != 4800)
            return {};
        if (line == "*")
            return {"OK"};
        if (line == "%%%")
            return {"ID:" + kSafeIdentity};
        return {};
    }
};
} // namespace

class TestPortScanner : public QObject
{
    Q_OBJECT
    QTemporaryDir dataDir;
    QStringList debugLog;
    QStringList ports;
    std::vector<std::unique_ptr<Simulator>> sensors;
    std::vector<std::unique_ptr<PtyPeer>> peers;
    std::unique_ptr<PortScanner> scanner;

    QString AppData() const { return dataDir.path() + QLatin1Char('/'); }

    Simulator *AddSensor(int number, int baud)
    {
        SimOptions options;
        options.product = QStringLiteral("Tempris KDX560-6 PV6");
        options.dataDir = QStringLiteral(TALVEK_TEST_APP_DIR);
        options.baud = baud;
        options.streamIntervalMs = 60000; // no data lines in the way of the queries
        auto sensor = std::make_unique<Simulator>(options);
        QString error;
        if (!sensor->Start(&error) || !sensor->RegisterAlias(AppData(), number, &error)) {
            qWarning("%s", qPrintable(error));
            return nullptr;
        }
        sensors.push_back(std::move(sensor));
        return sensors.back().get();
    }

    PtyPeer &AddSilentPort(int number)
    {
        peers.push_back(std::make_unique<PtyPeer>());
        AddComAlias(*peers.back(), number);
        return *peers.back();
    }

    void AddMissingPort(int number)
    {
        const QString folder = AppData() + QStringLiteral("ports/");
        QDir().mkpath(folder);
        QFile::link(QStringLiteral("/nonexistent/talvek-test-device"), folder + QStringLiteral("COM%1").arg(number));
    }

    static QStringList Names(const QSignalSpy &spy, int argument)
    {
        QStringList names;
        for (const QList<QVariant> &call : spy)
            names << call.at(argument).toString();
        return names;
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
        ports.clear();
        scanner = std::make_unique<PortScanner>();
        scanner->SetTiming(kShortWaits);
        scanner->SetPortSource([this]() -> std::optional<QStringList> {
            QStringList friendlyNames;
            for (const QString &port : std::as_const(ports))
                friendlyNames << QStringLiteral("Test port (%1)").arg(port);
            return friendlyNames;
        });
    }

    void cleanup()
    {
        scanner.reset();
        for (auto &sensor : sensors)
            sensor->RemoveAlias();
        sensors.clear();
        peers.clear();
        QDir(AppData() + QStringLiteral("ports")).removeRecursively();
        SetLogSink({});
    }

    void scanFindsTheSensorOnItsPortAndRate()
    {
        Simulator *sensor = AddSensor(31, 9600);
        QVERIFY(sensor != nullptr);
        AddSilentPort(30);
        ports = {QStringLiteral("COM30"), QStringLiteral("COM31")};
        scanner->SetFirstTryPort(31);
        QSignalSpy listed(scanner.get(), &PortScanner::portsListed);
        QSignalSpy started(scanner.get(), &PortScanner::portStarted);
        QSignalSpy foundSpy(scanner.get(), &PortScanner::found);

        const ScanResult result = scanner->Scan();

        QCOMPARE(result.outcome, ScanOutcome::Found);
        QCOMPARE(result.found.size(), 1);
        const aDeviceCommsInfo record = result.found.first();
        QCOMPARE(record.portIndex, 30);
        QCOMPARE(record.baudCode, 5);
        QCOMPARE(record.baudText, QStringLiteral("9600"));
        QCOMPARE(record.identity, sensor->Identity());
        QCOMPARE(record.kind, 1);
        QCOMPARE(listed.size(), 1);
        QCOMPARE(listed.first().first().toStringList(), ports);
        QCOMPARE(Names(started, 1), QStringList{QStringLiteral("COM31")}); // found on the first port tried
        QCOMPARE(foundSpy.size(), 1);
        QCOMPARE(result.ports.size(), 2);
        QCOMPARE(result.ports.at(0).state, PortState::NotScanned);
        QVERIFY(result.ports.at(0).reason.isEmpty());
        QCOMPARE(result.ports.at(1).state, PortState::Found);
        QCOMPARE(result.ports.at(1).device.identity, sensor->Identity());
        QCOMPARE(scanner->CurrentLink(), nullptr);
        QVERIFY(!scanner->Scanning());
    }

    void scanStartsAtTheFirstTryPortAndWrapsAround()
    {
        Simulator *sensor = AddSensor(40, 19200);
        QVERIFY(sensor != nullptr);
        PtyPeer &silent = AddSilentPort(42);
        AddMissingPort(41);
        ports = {QStringLiteral("COM40"), QStringLiteral("COM41"), QStringLiteral("COM42")};
        scanner->SetFirstTryPort(41);
        QSignalSpy started(scanner.get(), &PortScanner::portStarted);
        QSignalSpy status(scanner.get(), &PortScanner::portStatusChanged);

        const ScanResult result = scanner->Scan();

        QCOMPARE(Names(started, 1), QStringList({"COM41", "COM42", "COM40"}));
        QCOMPARE(status.size(), 3);
        QCOMPARE(result.outcome, ScanOutcome::Found);
        QCOMPARE(result.found.first().baudCode, 6);
        QCOMPARE(result.ports.at(0).state, PortState::Found);
        QCOMPARE(result.ports.at(1).state, PortState::NotScanned);
        QVERIFY2(result.ports.at(1).reason.contains(QStringLiteral("not present")),
                 qPrintable(result.ports.at(1).reason));
        QCOMPARE(result.ports.at(2).state, PortState::NoSensor);
        // Every scan rate went to the silent port, in the scan's order.
        QCOMPARE(silent.LineCount("%%%") > 0, true);
        QVERIFY(debugLog.contains(QStringLiteral("First COM port to try (reg) = 41")));
        QCOMPARE(LogCount(QStringLiteral("Failed to open port.")), 1);
    }

    void scanWithoutPortsFindsNothing()
    {
        QSignalSpy listed(scanner.get(), &PortScanner::portsListed);
        const ScanResult result = scanner->Scan();
        QCOMPARE(result.outcome, ScanOutcome::NothingFound);
        QVERIFY(result.ports.isEmpty());
        QCOMPARE(listed.size(), 1);
        QVERIFY(listed.first().first().toStringList().isEmpty());
    }

    void cancelMidScanStopsPromptlyAndSaysAborted()
    {
        PtyPeer &first = AddSilentPort(50);
        PtyPeer &second = AddSilentPort(51);
        ports = {QStringLiteral("COM50"), QStringLiteral("COM51")};
        scanner->SetFirstTryPort(50);
        QElapsedTimer sinceCancel;
        QTimer user;
        user.setInterval(10);
        connect(&user, &QTimer::timeout, this, [&] {
            if (first.LineCount("%%%") == 0)
                return;
            user.stop();
            scanner->Cancel();
            sinceCancel.start();
        });
        user.start();

        const ScanResult result = scanner->Scan();

        QVERIFY(sinceCancel.isValid());
        // At most the unit query in progress with its retries (about 2 s
        // here); the rest of the scan would take over 20 s.
        QVERIFY2(sinceCancel.elapsed() < 5000, qPrintable(QString::number(sinceCancel.elapsed())));
        QCOMPARE(result.outcome, ScanOutcome::Aborted);
        QVERIFY(scanner->Cancelled());
        QCOMPARE(result.ports.at(0).state, PortState::Aborted);
        QCOMPARE(result.ports.at(1).state, PortState::NotScanned);
        QCOMPARE(second.Received(), QByteArray());
        QCOMPARE(scanner->CurrentLink(), nullptr);
    }

    void tryPortAtOneRate()
    {
        Simulator *sensor = AddSensor(60, 19200);
        QVERIFY(sensor != nullptr);
        QSignalSpy foundSpy(scanner.get(), &PortScanner::found);
        const ScanResult hit = scanner->TryPort(59, 6);
        QCOMPARE(hit.outcome, ScanOutcome::Found);
        QCOMPARE(hit.found.first().identity, sensor->Identity());
        QCOMPARE(hit.found.first().baudText, QStringLiteral("19200"));
        QCOMPARE(foundSpy.size(), 1);
        QCOMPARE(scanner->CurrentLink(), nullptr);

        const ScanResult miss = scanner->TryPort(59, 4); // 4800
        QCOMPARE(miss.outcome, ScanOutcome::NothingFound);
        QVERIFY(miss.found.isEmpty());
    }

    void tryPortAtEveryRate()
    {
        Simulator *sensor = AddSensor(61, 4800);
        QVERIFY(sensor != nullptr);
        const ScanResult result = scanner->TryPort(60, -1);
        QCOMPARE(result.outcome, ScanOutcome::Found);
        QCOMPARE(result.found.first().baudCode, 4); // the list's second rate, after 19200
    }

    void tryPortThatCannotBeOpenedOrNamed()
    {
        AddMissingPort(62);
        const ScanResult missing = scanner->TryPort(61, 6);
        QCOMPARE(missing.outcome, ScanOutcome::PortNotOpened);
        QVERIFY(!missing.openError.isEmpty());
        QCOMPARE(scanner->TryPort(-1, 6).outcome, ScanOutcome::InvalidPort);
    }

    void safeModeProbeFindsTheSensorAt4800()
    {
        SafeSensor sensor;
        PtyPeer &peer = AddSilentPort(70);
        sensor.peer = &peer;
        peer.SetResponder([&sensor](const QByteArray &line) { return sensor.Answer(line); });
        QCOMPARE(scanner->OpenSafeMode(69).outcome, ScanOutcome::NothingFound);
        QVERIFY(scanner->HoldsSafeModePort());
        QCOMPARE(peer.BaudRate(), 4800);
        QTimer user;
        user.setInterval(10);
        connect(&user, &QTimer::timeout, this, [&] {
            if (peer.LineCount("*") >= 2) { // switched on while "*" goes out
                sensor.powered = true;
                user.stop();
            }
        });
        user.start();
        QSignalSpy started(scanner.get(), &PortScanner::safeModeProbeStarted);
        QSignalSpy passes(scanner.get(), &PortScanner::probePass);

        const ScanResult result = scanner->ProbeSafeMode(0);

        QCOMPARE(result.outcome, ScanOutcome::Found);
        QCOMPARE(result.found.first().identity, QString::fromLatin1(kSafeIdentity));
        QCOMPARE(result.found.first().baudCode, PortScanner::safeModeBaudCode);
        QCOMPARE(result.found.first().portIndex, 69);
        QCOMPARE(started.size(), 1);
        QVERIFY(passes.size() >= 3);
        QVERIFY(!scanner->HoldsSafeModePort());
        QCOMPARE(scanner->CurrentLink(), nullptr);
    }

    void safeModeProbeCancelled()
    {
        PtyPeer &peer = AddSilentPort(71);
        QCOMPARE(scanner->OpenSafeMode(70).outcome, ScanOutcome::NothingFound);
        QTimer user;
        user.setInterval(10);
        connect(&user, &QTimer::timeout, this, [&] {
            if (peer.LineCount("*") >= 2) {
                scanner->Cancel();
                user.stop();
            }
        });
        user.start();
        const ScanResult result = scanner->ProbeSafeMode(0);
        QCOMPARE(result.outcome, ScanOutcome::Aborted);
        QVERIFY(!scanner->Probing());
        QCOMPARE(scanner->CurrentLink(), nullptr);
    }

    void safeModeProbeStopsWhenTheDeviceGoes()
    {
        PtyPeer &peer = AddSilentPort(72);
        peer.HangUpOn("*");
        QCOMPARE(scanner->OpenSafeMode(71).outcome, ScanOutcome::NothingFound);
        const ScanResult result = scanner->ProbeSafeMode(0);
        QCOMPARE(result.outcome, ScanOutcome::DeviceLost);
        QCOMPARE(LogCount(QStringLiteral("Safe mode: the device has gone; probing stopped.")), 1);
        QCOMPARE(scanner->CurrentLink(), nullptr);
    }

    void safeModeProbeNeedsAnOpenPort()
    {
        QCOMPARE(scanner->ProbeSafeMode(0).outcome, ScanOutcome::NotReady);
        AddMissingPort(73);
        QCOMPARE(scanner->OpenSafeMode(72).outcome, ScanOutcome::PortNotOpened);
        QCOMPARE(scanner->OpenSafeMode(-1).outcome, ScanOutcome::InvalidPort);
        QVERIFY(!scanner->HoldsSafeModePort());
        QCOMPARE(scanner->ProbeSafeMode(0).outcome, ScanOutcome::NotReady);
    }

    void aScanTakesOverAHeldSafeModePort()
    {
        AddSilentPort(74);
        QCOMPARE(scanner->OpenSafeMode(73).outcome, ScanOutcome::NothingFound);
        scanner->Scan();
        QVERIFY(!scanner->HoldsSafeModePort());
        QCOMPARE(scanner->ProbeSafeMode(0).outcome, ScanOutcome::NotReady);
    }
};

QTEST_GUILESS_MAIN(TestPortScanner)
#include "tst_portScanner.moc"
