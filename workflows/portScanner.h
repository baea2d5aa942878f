#pragma once
#include "device/deviceSession.h"
#include "serial/comPortUtils.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>

// One sensor a scan, try or safe-mode probe found; the main window copies
// the one it connects to.
struct aDeviceCommsInfo {
    qint32 baudCode = -1;  // baud code it answered at (0..9)
    qint32 portIndex = -1; // 0-based: COM1 is 0
    QString identity;      // the unit query's "ID:" line without "ID:"
    QString baudText;      // e.g. "19200"
    qint32 kind = 0;       // 1: identified by the unit query
};

// How far a scan got with one port.
enum class PortState {
    NotScanned, // not reached, or it could not be opened (reason says why when the system told)
    NoSensor,   // every rate tried, nothing answered
    Found,
    Aborted, // cancelled while its rates were being tried
};

struct ScannedPort {
    QString name; // "COM3"
    PortState state = PortState::NotScanned;
    QString reason;          // the system's reason a port could not be opened
    aDeviceCommsInfo device; // when found
};

// How a scan, try or safe-mode attempt ended.
enum class ScanOutcome {
    Found,
    NothingFound,
    Aborted,
    InvalidPort,   // no port number given
    PortNotOpened, // the one port of a try or safe-mode attempt: openError says why
    DeviceLost,    // the port went away during the safe-mode probe
    NotReady,      // a safe-mode probe without a port held since OpenSafeMode
};

struct ScanResult {
    ScanOutcome outcome = ScanOutcome::NothingFound;
    QList<aDeviceCommsInfo> found;
    QList<ScannedPort> ports; // every listed port of a scan, in the listing's order
    QString openError;
};

// Finds sensors: the scan of every listed port at the scan's rates starting
// with the port that answered last, a try of one port at one rate (or all
// of them), and the safe-mode probe of a sensor switched on at 4800 baud.
// Each attempt opens a link of its own and lets it go before it returns,
// except a safe-mode port, held from OpenSafeMode until the probe ends or
// ReleasePort.
//
// UI thread only. Every call blocks while the link pumps events, so Cancel,
// called from an event handler meanwhile (an Abort button), ends the work at
// the next step.
class PortScanner : public QObject
{
    Q_OBJECT
public:
    // Baud codes tried on each port, in this order: 19200, 4800, 9600, 38400, 57600.
    static constexpr int scanBaudCodes[5] = {6, 4, 5, 7, 8};
    static constexpr int scanRateCount = static_cast<int>(std::size(scanBaudCodes));
    static constexpr int safeModeBaudCode = 4; // 4800
    static constexpr int safeModeProbeSteps = 10;

    explicit PortScanner(QObject *parent = nullptr);
    ~PortScanner() override;

    // Where every scan lists the ports; the default is the system's list.
    void SetPortSource(ComPortSource source) { portSource = std::move(source); }
    void SetTiming(const LinkTiming &value) { timing = value; }
    // The 1-based port number a scan tries first.
    void SetFirstTryPort(int number) { firstTryPort = number; }

    ScanResult Scan();
    // One port; baudCode -1 tries every scan rate.
    ScanResult TryPort(int portIndex, int baudCode);
    // Opens the port at 4800 baud and holds it while the sensor is switched
    // off and on.
    ScanResult OpenSafeMode(int portIndex);
    // After pauseMs, sends "*" until the sensor answers and identifies
    // itself, or Cancel, or the port goes away; then lets the port go.
    ScanResult ProbeSafeMode(int pauseMs);
    // Lets go of a port held for safe mode.
    void ReleasePort();

    // Ends the running scan, try or probe at its next step.
    void Cancel() { cancelled = true; }
    bool Cancelled() const { return cancelled; }
    bool Scanning() const { return scanning; }
    bool Probing() const { return probing; }
    // Whether a port opened by OpenSafeMode is still held for the probe.
    bool HoldsSafeModePort() const { return device && safeModePort >= 0; }
    // The link of the attempt in progress or the held port; nullptr between attempts.
    const TComms *CurrentLink() const { return device ? &device->Link() : nullptr; }

    static int PortIndexFromName(const QString &name);
    static QString BaudName(int baudCode);

signals:
    // A scan listed these ports, all not scanned yet (empty: there are none).
    void portsListed(const QStringList &names);
    void portStarted(int position, const QString &name);
    void portStatusChanged(int position, const ScannedPort &status);
    // Rate `step` of `steps` is being tried (0 also when a port is done).
    void progress(int step, int steps);
    // Another safe-mode probe pass; step counts round safeModeProbeSteps.
    void probePass(int step);
    void found(const aDeviceCommsInfo &device);
    // The safe-mode pause is over and the probing begins.
    void safeModeProbeStarted();

private:
    DeviceSession &NewDevice();
    bool OpenForTry(int portIndex);
    void CloseAfterTry();
    ScannedPort ScanPort(int position, const QString &name);
    int StartPosition(const QStringList &names) const;
    bool TryBauds(aDeviceCommsInfo &record);
    bool TryBaud(aDeviceCommsInfo &record, int code);
    bool ProbeOnce(aDeviceCommsInfo &record);
    ScanResult Finish(ScanResult result);

    ComPortSource portSource;
    LinkTiming timing{0, 20, 5000};
    int firstTryPort = 1;
    std::unique_ptr<DeviceSession> device;
    int safeModePort = -1;
    std::atomic<bool> cancelled{false};
    bool scanning = false;
    bool probing = false;
    int probeStep = 0;
};
