#include "workflows/sensorWork.h"

#include "base/log.h"
#include "engine/devicePruning.h"
#include "engine/identity.h"
#include "templates/productCatalogue.h"

#include <QFile>
#include <utility>

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
    ConnectResult result = Search(target);
    if (result.outcome != ConnectOutcome::Connected)
        return result;
    return BringOnline(result);
}

ConnectResult SensorWork::ConnectFound(const aDeviceCommsInfo &found)
{
    Release();
    ConnectResult result;
    result.device = found;
    result.outcome = ConnectOutcome::Connected;
    return BringOnline(result);
}

void SensorWork::Attach(TfrmInterface *attached)
{
    Release();
    session = attached;
    online = session != nullptr;
}

ConnectResult SensorWork::Search(const SensorTarget &target)
{
    PortScanner finder;
    finder.SetTiming(timing);
    finder.SetFirstTryPort(firstTryPort);
    if (portSource)
        finder.SetPortSource(portSource);
    scanner = &finder;
    ConnectResult result;
    if (!Stopped())
        result.scan = target.Direct() ? finder.TryPort(target.comNumber - 1, target.baudCode) : finder.Scan();
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
    if (device->StartTransacting(lineReceiver) != BringUpFailure::None ||
        device->EnterSetupMode() != BringUpFailure::None)
        return fail(ConnectOutcome::SetupModeFailed, device->SetupModeFailure());
    if (device->ReadSerialNumber() != BringUpFailure::None)
        return fail(ConnectOutcome::SerialNumberFailed, QString());
    serialNumber = device->SerialNumber();
    session = &device->Session();
    comNumber = found.portIndex + 1;
    online = true;
    return result;
}

ConnectResult SensorWork::Listen(const SensorTarget &target, QObject *receiver)
{
    Release();
    ConnectResult result = Search(target);
    if (result.outcome != ConnectOutcome::Connected)
        return result;
    device = std::make_unique<DeviceSession>(timing);
    if (portSource)
        device->SetPortSource(portSource);
    listening = true; // from here on, letting go never sends a word
    const auto fail = [&](ConnectOutcome outcome, const QString &reason) {
        result.outcome = outcome;
        result.reason = reason;
        Release();
        return result;
    };
    if (device->Open(result.device.portIndex, result.device.baudCode) != BringUpFailure::None)
        return fail(ConnectOutcome::PortNotOpened, device->OpenErrorText());
    device->OpenPortLog();
    if (!OpenDocument(result.device.identity, result))
        return fail(result.outcome, result.reason);
    if (device->StartStreaming(receiver) != BringUpFailure::None)
        return fail(ConnectOutcome::PortNotOpened, QStringLiteral("the receive service could not be started"));
    return result;
}

bool SensorWork::OpenDocument(const QString &identity, ConnectResult &result)
{
    const IdentityParse id = ParseIdentityReply(identity);
    if (id.outcome != IdentityParse::Outcome::Matched) {
        // The program's words for it, as translation keys after the identity.
        using Problem = ConnectResult::IdentityProblem;
        result.outcome = ConnectOutcome::UnknownDevice;
        switch (id.outcome) {
        case IdentityParse::Outcome::NoProtocol:
            result.identityProblem = Problem::NoProtocol;
            result.reason = QStringLiteral(" does not identify protocol version. Aborting");
            break;
        case IdentityParse::Outcome::Unsupported:
            result.identityProblem = Problem::Unsupported;
            result.reason = QStringLiteral(" is an unsupported product");
            break;
        default:
            result.identityProblem = Problem::Unknown;
            result.reason = QStringLiteral(" is an unknown device type");
            break;
        }
        return false;
    }
    current = Document();
    current.identity = IdentityFromParse(id, identity);
    XmlLoadError unitsError;
    current.units = IXMLsensorunitsType::Load(programFolder + kUnitsFile, &unitsError);
    templatePath = programFolder + aProductDefs().at(id.row).templateFile;
    const DocumentLoad load = LoadConfigDocument(templatePath);
    if (current.units.IsNull() || load.error != DocumentLoadError::None) {
        result.outcome = current.units.IsNull() ? ConnectOutcome::UnitsUnusable : ConnectOutcome::TemplateUnusable;
        result.reason = current.units.IsNull() ? unitsError.Text() : load.reason;
        return false;
    }
    current.products = load.products;
    // What the device lacks is neither read nor offered nor written.
    PruneForDevice(current, false);
    return true;
}

void SensorWork::Release()
{
    FlushPendingAudit();
    knownBefore = false;
    comNumber = 0;
    online = false;
    session = nullptr;
    if (device && listening)
        device->Close();
    else if (device)
        device->Release();
    listening = false;
    device.reset();
}

// ------------------------------------------------------------------ files

bool SensorWork::AskAboutMismatches(const CompatibilityCheck &check, IQuestions &questions)
{
    for (const CompatibilityIssue &issue : check.issues) {
        if (!questions.Ask(MismatchQuestion(issue.kind), {issue.found, issue.expected}))
            return false;
    }
    return true;
}

FileResult SensorWork::LoadFile(const QString &path, IQuestions &questions)
{
    FileResult result;
    result.compatibility = CheckCompatibility(path, current.identity);
    switch (result.compatibility.verdict) {
    case Compatibility::Compatible:
        break;
    case Compatibility::Unreadable:
        result.outcome = FileOutcome::Unreadable;
        result.reason = result.compatibility.reason;
        return result;
    case Compatibility::ProductMismatch:
        result.outcome = FileOutcome::Incompatible;
        return result;
    case Compatibility::ProtocolMismatch:
    case Compatibility::HeatingMismatch:
    case Compatibility::AxisMismatch:
        if (!AskAboutMismatches(result.compatibility, questions)) {
            result.outcome = FileOutcome::Incompatible;
            return result;
        }
        break;
    }
    const DocumentLoad load = LoadConfigDocument(path);
    if (load.error != DocumentLoadError::None) {
        result.outcome = FileOutcome::Unreadable;
        result.reason = load.reason;
        return result;
    }
    current.products = load.products;
    PruneForDevice(current, !online);
    return result;
}

FileResult SensorWork::SaveFile(const QString &path)
{
    FileResult result;
    result.invalid = ValidateDocument(current);
    if (!result.invalid.isEmpty()) {
        result.outcome = FileOutcome::InvalidEntries;
        return result;
    }
    if (!SaveConfigDocument(current.products, path, &result.reason))
        result.outcome = FileOutcome::WriteFailed;
    return result;
}

// ------------------------------------------------------------------ the sensor

ReadResult SensorWork::Read()
{
    ReadResult result;
    if (!online) {
        result.outcome = ReadOutcome::DeviceGone;
        return result;
    }
    DeviceReader reader(session, current);
    reader.SetCancelToken(cancel);
    connect(&reader, &DeviceReader::progress, this, &SensorWork::progress);
    result.report = reader.Read();
    lastRead = current;
    knownBefore = result.report.Complete();
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

WriteResult SensorWork::WriteAndVerify(IQuestions &questions, bool syncTime)
{
    WriteChoices choices;
    choices.syncTime = syncTime;
    return WriteAndVerify(questions, choices);
}

WriteResult SensorWork::WriteAndVerify(IQuestions &questions, const WriteChoices &choices)
{
    WriteResult result = Write(questions, choices);
    if (result.outcome != WriteOutcome::Verified)
        return result;
    result.verify = Verify();
    CopyAudit(result);
    if (result.verify.read.Aborted())
        result.outcome = WriteOutcome::Aborted;
    else if (!result.verify.verified)
        result.outcome = WriteOutcome::NotVerified;
    return result;
}

WriteResult SensorWork::Write(IQuestions &questions, const WriteChoices &choices)
{
    FlushPendingAudit();
    lastAudit = {};
    WriteResult result;
    const bool wasOnline = online;
    result.outcome = Send(questions, choices, result);
    if (wasOnline)
        AuditWrite(result);
    return result;
}

VerifyReport SensorWork::Verify()
{
    if (!online) {
        FlushPendingAudit();
        VerifyReport report;
        report.read.stop = ReadReport::Stop::Unreadable;
        report.read.deviceGone = true;
        return report;
    }
    DeviceWriter writer(session);
    writer.SetCancelToken(cancel);
    connect(&writer, &DeviceWriter::progress, this, &SensorWork::progress);
    VerifyReport report = writer.Verify(current);
    lastRead = report.readBack;
    knownBefore = report.read.Complete();
    AuditVerification(report);
    return report;
}

// Verified here means every line went out; the verification decides.
WriteOutcome SensorWork::Send(IQuestions &questions, const WriteChoices &choices, WriteResult &result)
{
    if (!online)
        return WriteOutcome::DeviceGone;
    result.invalid = ValidateDocument(current);
    if (!result.invalid.isEmpty())
        return WriteOutcome::InvalidEntries;
    if (!questions.Ask(QuestionId::ConfirmWrite, {}))
        return WriteOutcome::Declined;
    DeviceWriter writer(session);
    writer.SetCancelToken(cancel);
    connect(&writer, &DeviceWriter::progress, this, &SensorWork::progress);
    connect(&writer, &DeviceWriter::lineSent, this, &SensorWork::lineSent);
    connect(&writer, &DeviceWriter::lineSkipped, this, &SensorWork::lineSkipped);
    connect(&writer, &DeviceWriter::unknownUnits, this, &SensorWork::unknownUnits);
    CommandOptions options;
    options.syncTime = choices.syncTime;
    options.reportFormat = choices.reportFormat;
    // The clock ran on since the file or read: a time still as it was is
    // not sent back.
    options.timeAsRead = choices.timeAsRead.isEmpty() ? TimeTexts(current.products) : choices.timeAsRead;
    result.write = writer.Write(current, options);
    switch (result.write.stop) {
    case WriteReport::Stop::None:
        return WriteOutcome::Verified;
    case WriteReport::Stop::SetupModeRefused:
        return WriteOutcome::SetupModeRefused;
    case WriteReport::Stop::Aborted:
        return WriteOutcome::Aborted;
    case WriteReport::Stop::DeviceGone:
        return WriteOutcome::DeviceGone;
    }
    return WriteOutcome::DeviceGone;
}

BackupResult SensorWork::Backup(const QString &path)
{
    BackupResult result;
    result.read = Read();
    if (result.read.outcome == ReadOutcome::Aborted) {
        result.outcome = BackupOutcome::Aborted;
        return result;
    }
    if (result.read.outcome != ReadOutcome::Complete) {
        result.outcome = BackupOutcome::ReadIncomplete;
        return result;
    }
    result.file = SaveFile(path);
    result.outcome = result.file.outcome == FileOutcome::Done ? BackupOutcome::Saved : BackupOutcome::FileNotSaved;
    return result;
}

RestoreResult SensorWork::Restore(const QString &path, IQuestions &questions, bool syncTime)
{
    RestoreResult result;
    result.file = LoadFile(path, questions);
    if (result.file.outcome != FileOutcome::Done) {
        result.outcome =
            result.file.outcome == FileOutcome::Incompatible ? RestoreOutcome::FileRefused : RestoreOutcome::NotWritten;
        return result;
    }
    // A restore is recorded as one, whatever the next writes are.
    const QString action = std::exchange(auditAction, QStringLiteral("restore"));
    result.write = WriteAndVerify(questions, syncTime);
    auditAction = action;
    switch (result.write.outcome) {
    case WriteOutcome::Verified:
        result.outcome = RestoreOutcome::Verified;
        break;
    case WriteOutcome::NotVerified:
        result.outcome = RestoreOutcome::NotVerified;
        break;
    case WriteOutcome::Aborted:
        result.outcome = RestoreOutcome::Aborted;
        break;
    case WriteOutcome::InvalidEntries:
        result.outcome = RestoreOutcome::InvalidEntries;
        break;
    case WriteOutcome::Declined:
    case WriteOutcome::SetupModeRefused:
    case WriteOutcome::DeviceGone:
        result.outcome = RestoreOutcome::NotWritten;
        break;
    }
    return result;
}
