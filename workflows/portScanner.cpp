#include "workflows/portScanner.h"

#include "base/log.h"

#include <QCoreApplication>

namespace
{
constexpr int openBaudCode = 5; // 9600: each rate is set after opening
} // namespace

PortScanner::PortScanner(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("portScanner"));
}

PortScanner::~PortScanner() = default;

int PortScanner::PortIndexFromName(const QString &name)
{
    bool ok = false;
    const int number = name.mid(3).toInt(&ok);
    return ok ? number - 1 : -1;
}

QString PortScanner::BaudName(int baudCode)
{
    QString name;
    TComms(nullptr, 0, 0).GetBaudName(baudCode, name);
    return name;
}

DeviceSession &PortScanner::NewDevice()
{
    device.reset(); // the earlier port goes first
    device = std::make_unique<DeviceSession>(timing);
    if (portSource)
        device->SetPortSource(portSource);
    return *device;
}

void PortScanner::ReleasePort()
{
    device.reset(); // stops the receive thread and closes the port
    safeModePort = -1;
}

// ---------------------------------------------------------------- one port

bool PortScanner::OpenForTry(int portIndex)
{
    Log(QStringLiteral("Opening port: COM") + QString::number(portIndex + 1));
    if (device->OpenOnce(portIndex, openBaudCode) != BringUpFailure::None) {
        Log(QStringLiteral("Failed to open port."));
        return false;
    }
    Log(QStringLiteral("Port open"));
    // The scanner is the notify window only to satisfy the link; the lines
    // are collected for the exchanges.
    if (device->StartTransacting(this) != BringUpFailure::None) {
        device->Close();
        Log(QStringLiteral("Failed to open port."));
        return false;
    }
    device->OpenPortLog();
    return true;
}

void PortScanner::CloseAfterTry()
{
    device->Close();
}

bool PortScanner::TryBauds(aDeviceCommsInfo &record)
{
    emit progress(0, scanRateCount);
    for (int q = 0; q < scanRateCount && !cancelled; ++q) {
        emit progress(q, scanRateCount);
        if (TryBaud(record, scanBaudCodes[q]))
            return true;
    }
    return false;
}

bool PortScanner::TryBaud(aDeviceCommsInfo &record, int code)
{
    device->Link().SetBaud(code);
    device->Link().PortControl('S');
    if (device->QueryUnit() != BringUpFailure::None)
        return false;
    record.baudCode = code;
    record.identity = device->Identity();
    record.baudText = BaudName(code);
    record.kind = 1;
    return true;
}

// ---------------------------------------------------------------- the scan

ScanResult PortScanner::Scan()
{
    scanning = true;
    cancelled = false;
    ScanResult result;
    QStringList names;
    if (NewDevice().Link().ListComPorts(names) != 0) {
        Log(QStringLiteral("The list of COM ports could not be read."));
        names.clear();
    }
    for (const QString &name : std::as_const(names))
        result.ports.append(ScannedPort{name, PortState::NotScanned, {}, {}});
    emit portsListed(names);
    Log(QStringLiteral("First COM port to try (reg) = ") + QString::number(firstTryPort));
    const int start = StartPosition(names);
    for (qsizetype visited = 0; visited < names.size() && !cancelled; ++visited) {
        const int position = static_cast<int>((start + visited) % names.size());
        result.ports[position] = ScanPort(position, names.at(position));
        if (result.ports[position].state == PortState::Found) {
            result.found.append(result.ports[position].device);
            break;
        }
    }
    ReleasePort();
    scanning = false;
    return Finish(result);
}

int PortScanner::StartPosition(const QStringList &names) const
{
    const QString firstName = QStringLiteral("COM") + QString::number(firstTryPort);
    for (qsizetype i = 0; i < names.size(); ++i)
        if (names.at(i).compare(firstName, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return 0;
}

ScannedPort PortScanner::ScanPort(int position, const QString &name)
{
    Log(QStringLiteral("Scanning ") + name + QStringLiteral("..."));
    emit portStarted(position, name);
    ScannedPort status{name, PortState::NotScanned, {}, {}};
    const int index = PortIndexFromName(name);
    if (OpenForTry(index)) {
        aDeviceCommsInfo record;
        record.portIndex = index;
        if (TryBauds(record)) {
            Log(name + QStringLiteral(" Found ") + record.identity + QStringLiteral(" @") + record.baudText);
            status.state = PortState::Found;
            status.device = record;
            emit found(record);
        } else {
            status.state = cancelled ? PortState::Aborted : PortState::NoSensor;
            Log(QStringLiteral("No sensor found"));
        }
        CloseAfterTry();
    } else {
        // Still not scanned, but the user learns why (permissions, in use, gone).
        status.reason = device->OpenErrorText();
    }
    emit portStatusChanged(position, status);
    return status;
}

ScanResult PortScanner::Finish(ScanResult result)
{
    if (!result.found.isEmpty())
        result.outcome = ScanOutcome::Found;
    else if (cancelled)
        result.outcome = ScanOutcome::Aborted;
    return result;
}

// ---------------------------------------------------------------- manual try

ScanResult PortScanner::TryPort(int portIndex, int baudCode)
{
    cancelled = false;
    ScanResult result;
    if (portIndex < 0) {
        result.outcome = ScanOutcome::InvalidPort;
        return result;
    }
    NewDevice();
    if (OpenForTry(portIndex)) {
        aDeviceCommsInfo record;
        record.portIndex = portIndex;
        const bool hit = baudCode >= 0 ? TryBaud(record, baudCode) : TryBauds(record);
        emit progress(0, scanRateCount);
        if (hit) {
            result.found.append(record);
            emit found(record);
        }
        CloseAfterTry();
    } else {
        result.outcome = ScanOutcome::PortNotOpened;
        result.openError = device->OpenErrorText();
    }
    ReleasePort();
    return result.outcome == ScanOutcome::PortNotOpened ? result : Finish(result);
}

// ---------------------------------------------------------------- safe mode

ScanResult PortScanner::OpenSafeMode(int portIndex)
{
    cancelled = false;
    ReleasePort();
    ScanResult result;
    if (portIndex < 0) {
        result.outcome = ScanOutcome::InvalidPort;
        return result;
    }
    NewDevice();
    if (!OpenForTry(portIndex)) {
        result.outcome = ScanOutcome::PortNotOpened;
        result.openError = device->OpenErrorText();
        ReleasePort();
        return result;
    }
    device->Link().SetBaud(safeModeBaudCode);
    safeModePort = portIndex;
    return result;
}

ScanResult PortScanner::ProbeSafeMode(int pauseMs)
{
    ScanResult result;
    if (!HoldsSafeModePort()) {
        result.outcome = ScanOutcome::NotReady;
        return result;
    }
    device->Link().portUtils->Sleep(pauseMs);
    device->Link().PortControl('S');
    emit safeModeProbeStarted();
    probing = true;
    cancelled = false;
    aDeviceCommsInfo record;
    record.portIndex = safeModePort;
    while (!cancelled && result.found.isEmpty()) {
        probeStep = (probeStep + 1) % safeModeProbeSteps;
        emit probePass(probeStep);
        // A vanished device (an adapter pulled out) would never answer: stop.
        if (device->Link().DeviceLost() || !device->Link().RxServiceRunning()) {
            Log(QStringLiteral("Safe mode: the device has gone; probing stopped."));
            result.outcome = ScanOutcome::DeviceLost;
            break;
        }
        if (ProbeOnce(record))
            result.found.append(record);
    }
    probing = false;
    ReleasePort();
    return result.outcome == ScanOutcome::DeviceLost ? result : Finish(result);
}

bool PortScanner::ProbeOnce(aDeviceCommsInfo &record)
{
    if (device->Session().SafeModeProbe() != 0 || !TryBaud(record, safeModeBaudCode))
        return false;
    Log(QStringLiteral(" Found ") + record.identity + QStringLiteral(" @") + record.baudText);
    emit found(record);
    return true;
}
