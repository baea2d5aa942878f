#include "workflows/sensorWork.h"

#include "base/log.h"
#include "engine/identity.h"
#include "templates/productCatalogue.h"

#include <QFile>

namespace
{
const QString kUnitsFile = QStringLiteral("ordaDeviceUnits.tdx");

// What a scan or try that found nothing tells of the ports.
ConnectOutcome NotFoundOutcome(const ScanResult &scan, const SensorTarget &target)
{
    switch (scan.outcome) {
    case ScanOutcome::Aborted:
        return ConnectOutcome::Aborted;
    case ScanOutcome::PortNotOpened:
        return ConnectOutcome::PortNotOpened;
    default:
        break;
    }
    if (target.HasPort() && !scan.ports.isEmpty() && scan.ports.first().state == PortState::NotScanned)
        return ConnectOutcome::PortNotOpened;
    return scan.ports.isEmpty() && !target.Direct() ? ConnectOutcome::NoPorts : ConnectOutcome::NoSensor;
}
} // namespace

SensorWork::SensorWork(const QString &programFolder, const LinkTiming &timing, QObject *parent)
    : QObject(parent), programFolder(programFolder), timing(timing)
{
}

SensorWork::~SensorWork()
{
    Release();
}

void SensorWork::SetPortSource(ComPortSource source)
{
    portSource = std::move(source);
}

void SensorWork::Stop()
{
    cancel->Cancel();
    if (scanner)
        scanner->Cancel();
}

ConnectResult SensorWork::Connect(const SensorTarget &target)
{
    Release();
    ConnectResult result = Find(target);
    if (result.outcome != ConnectOutcome::Connected)
        return result;
    return BringOnline(result);
}

ConnectResult SensorWork::Find(const SensorTarget &target)
{
    PortScanner finder;
    finder.SetTiming(timing);
    finder.SetFirstTryPort(firstTryPort);
    if (portSource)
        finder.SetPortSource(portSource);
    scanner = &finder;
    ConnectResult result;
    if (!Stopped())
        result.scan = target.HasPort() ? finder.TryPort(target.comNumber - 1, target.baudCode) : finder.Scan();
    scanner = nullptr;
    if (Stopped()) {
        result.outcome = ConnectOutcome::Aborted;
        return result;
    }
    if (result.scan.found.isEmpty()) {
        result.outcome = NotFoundOutcome(result.scan, target);
        result.reason = result.scan.openError;
        return result;
    }
    // Only the first sensor found is ever used.
    result.device = result.scan.found.first();
    result.outcome = ConnectOutcome::Connected;
    return result;
}

ConnectResult SensorWork::BringOnline(ConnectResult result)
{
    const aDeviceCommsInfo &found = result.device;
    device = std::make_unique<DeviceSession>(timing);
    if (portSource)
        device->SetPortSource(portSource);
    const auto fail = [&](ConnectOutcome outcome, const QString &reason) {
        result.outcome = outcome;
        result.reason = reason;
        Release();
        return result;
    };
    if (device->Open(found.portIndex, found.baudCode) != BringUpFailure::None)
        return fail(ConnectOutcome::PortNotOpened, device->OpenErrorText());
    device->OpenPortLog();
    if (!OpenDocument(found.identity, result))
        return fail(result.outcome, result.reason);
    if (device->StartTransacting() != BringUpFailure::None || device->EnterSetupMode() != BringUpFailure::None)
        return fail(ConnectOutcome::SetupModeFailed, device->SetupModeFailure());
    if (device->ReadSerialNumber() != BringUpFailure::None)
        return fail(ConnectOutcome::SerialNumberFailed, QString());
    serialNumber = device->SerialNumber();
    online = true;
    return result;
}

bool SensorWork::OpenDocument(const QString &identity, ConnectResult &result)
{
    const IdentityParse id = ParseIdentityReply(identity);
    if (id.outcome != IdentityParse::Outcome::Matched) {
        result.outcome = ConnectOutcome::UnknownDevice;
        result.reason = id.outcome == IdentityParse::Outcome::Unsupported ? QStringLiteral("unsupported product")
                                                                          : QStringLiteral("unknown device type");
        return false;
    }
    current = Document();
    current.identity = IdentityFromParse(id, identity);
    XmlLoadError unitsError;
    current.units = IXMLsensorunitsType::Load(programFolder + kUnitsFile, &unitsError);
    const DocumentLoad load = LoadConfigDocument(programFolder + aProductDefs().at(id.row).templateFile);
    if (current.units.IsNull() || load.error != DocumentLoadError::None) {
        result.outcome = ConnectOutcome::TemplateUnusable;
        result.reason = current.units.IsNull() ? unitsError.Text() : load.reason;
        return false;
    }
    current.products = load.products;
    return true;
}

ReadResult SensorWork::Read()
{
    ReadResult result;
    if (!online) {
        result.outcome = ReadOutcome::DeviceGone;
        return result;
    }
    DeviceReader reader(&device->Session(), current);
    reader.SetCancelToken(cancel);
    result.report = reader.Read();
    switch (result.report.stop) {
    case ReadReport::Stop::SetupModeRefused:
        result.outcome = ReadOutcome::SetupModeRefused;
        break;
    case ReadReport::Stop::Aborted:
        result.outcome = ReadOutcome::Aborted;
        break;
    case ReadReport::Stop::Unreadable:
        result.outcome = result.report.deviceGone ? ReadOutcome::DeviceGone : ReadOutcome::Incomplete;
        break;
    case ReadReport::Stop::None:
        result.outcome = result.report.Complete() ? ReadOutcome::Complete : ReadOutcome::Incomplete;
        break;
    }
    return result;
}

void SensorWork::Release()
{
    online = false;
    if (device)
        device->Release();
    device.reset();
}
