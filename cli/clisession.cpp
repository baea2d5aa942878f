#include "cli/clisession.h"

#include "workflows/connectMessages.h"

#include "base/log.h"
#include "base/translate.h"
#include "cli/clioutput.h"
#include "cli/exitstatus.h"
#include "engine/summaryLines.h"
#include "serial/comPortUtils.h"
#include "serial/portDoctor.h"

#include <QCoreApplication>

namespace
{
QString PortName(int comNumber)
{
    return QStringLiteral("COM") + QString::number(comNumber);
}

// The friendly name the system gives the port, or a bare one the port
// list's rules still read as that port.
QString FriendlyName(int comNumber)
{
    for (const ComPortDevice &device : SystemComPorts())
        if (device.comNumber == comNumber)
            return device.friendlyName;
    return QStringLiteral("(") + PortName(comNumber) + QLatin1Char(')');
}

// "19200, 4800, ... baud": the rates a scan tries on each port, in its order.
QString ScanRates()
{
    QStringList rates;
    for (int code : PortScanner::scanBaudCodes)
        rates.append(PortScanner::BaudName(code));
    return rates.join(QStringLiteral(", ")) + QStringLiteral(" baud");
}

int BaudCode(const QString &rate)
{
    for (int code = 0; code < 10; ++code)
        if (PortScanner::BaudName(code) == rate)
            return code;
    return -1;
}

QString PortStateText(const ScannedPort &port)
{
    switch (port.state) {
    case PortState::NotScanned:
        return port.reason.isEmpty() ? T(QStringLiteral("NOT_SCANNED"))
                                     : T(QStringLiteral("NOT_SCANNED")) + QStringLiteral(" (") + port.reason + ')';
    case PortState::NoSensor:
        return T(QStringLiteral("NO_SENSOR_FOUND"));
    case PortState::Found:
        return T(QStringLiteral("FOUND"));
    case PortState::Aborted:
        return T(QStringLiteral("SCAN_ABORTED"));
    }
    return {};
}

// The command line's answers: Yes to writing, to a mismatch only when told.
class CliQuestions : public IQuestions
{
public:
    explicit CliQuestions(bool acceptMismatch) : answers(acceptMismatch) {}
    bool Ask(QuestionId id, const QuestionDetails &details) override
    {
        const bool yes = answers.Ask(id, details);
        const QuestionText text = TextOf(id, details);
        for (const QString &step : text.steps) {
            PrintQuestion(text.caption, step, yes);
            if (!yes)
                break;
        }
        return yes;
    }

private:
    FixedAnswers answers;
};
} // namespace

CliSession::CliSession() = default;

CliSession::~CliSession()
{
    Disconnect();
}

bool CliSession::Start(int languageIndex)
{
    ProgramSetup setup;
    const bool ready = setup.Run();
    for (const SetupMessage &message : setup.Messages())
        PrintMessage(message.caption, message.text);
    if (!ready)
        return false;
    settings = setup.TakeSettings();
    language = setup.TakeLanguage();
    if (languageIndex >= 0)
        language->SelectLanguage(languageIndex);
    programFolder = setup.ExeFolder();
    work = std::make_unique<SensorWork>(programFolder, StoredLinkTiming(settings.get()));
    int firstTryPort = 1;
    settings->GetFirstTryPort(firstTryPort);
    work->SetFirstTryPort(firstTryPort);
    return true;
}

void CliSession::SetTarget(const CliTarget &newTarget)
{
    target = newTarget;
    if (!target.HasPort())
        return;
    // Only the named port is ever listed, so no other port is touched.
    const QString name = FriendlyName(target.comNumber);
    work->SetPortSource([name] { return std::optional<QStringList>(QStringList{name}); });
}

void CliSession::Stop(int signalNumber)
{
    if (Stopped())
        return;
    if (watching) {
        // Watching ends at a signal as it does after its duration.
        watching = false;
        QCoreApplication::exit(0);
        return;
    }
    stopSignal = signalNumber;
    Log(QStringLiteral("talvek-cli: stopped by signal %1, aborting").arg(signalNumber));
    if (work)
        work->Stop();
}

int CliSession::StoppedStatus() const
{
    return Stopped() ? SignalStatus(stopSignal) : 0;
}

int CliSession::Status(CliExit status) const
{
    return Stopped() ? StoppedStatus() : int(status);
}

bool CliSession::SyncTime() const
{
    bool sync = false;
    settings->GetSyncTime(sync);
    return sync;
}

// ------------------------------------------------------------------ connecting

SensorTarget CliSession::Where() const
{
    SensorTarget where;
    where.comNumber = target.comNumber;
    where.baudCode = target.Direct() ? BaudCode(target.baud) : -1;
    return where;
}

int CliSession::Connect()
{
    if (Stopped())
        return StoppedStatus();
    return Connected(work->Connect(Where()));
}

int CliSession::Connected(const ConnectResult &result)
{
    if (result.outcome == ConnectOutcome::Connected) {
        settings->SetFirstTryPort(result.device.portIndex + 1);
        return ExitOk;
    }
    if (!Stopped())
        ExplainConnectFailure(result);
    return Status(ExitStatus(result.outcome));
}

void CliSession::ExplainConnectFailure(const ConnectResult &result) const
{
    const QList<MessageText> messages = ConnectFailureMessages(result);
    if (messages.isEmpty() && result.outcome != ConnectOutcome::Connected) {
        ExplainNotFound(result.scan);
        return;
    }
    for (const MessageText &message : messages)
        PrintMessage(message.caption, message.text);
}

void CliSession::ExplainNotFound(const ScanResult &scan) const
{
    if (scan.outcome == ScanOutcome::PortNotOpened) {
        PrintError(QStringLiteral("talvek-cli: %1 could not be opened: %2")
                       .arg(PortName(target.comNumber),
                            T(QStringLiteral("FAILED_TO_OPEN_PORT")) + QStringLiteral(" (") + scan.openError + ')'));
        return;
    }
    if (target.Direct()) {
        PrintError(QStringLiteral("talvek-cli: tried %1 at %2 baud: no sensor answered")
                       .arg(PortName(target.comNumber), target.baud));
        return;
    }
    if (scan.ports.isEmpty())
        PrintError(QStringLiteral("talvek-cli: there is no COM port to scan"));
    const QString tried = ScanRates();
    for (const ScannedPort &port : scan.ports) {
        const bool unopened = port.state == PortState::NotScanned && !port.reason.isEmpty();
        PrintError(unopened
                       ? QStringLiteral("talvek-cli: %1 could not be opened: %2").arg(port.name, PortStateText(port))
                       : QStringLiteral("talvek-cli: tried %1 at %2: %3").arg(port.name, tried, PortStateText(port)));
    }
    PrintError(QStringLiteral("talvek-cli: no sensor answered"));
}

void CliSession::Disconnect()
{
    if (!work || !work->Online())
        return;
    PrintQuestion(T(QStringLiteral("DISCONNECT")), T(QStringLiteral("Disconnect and return to Main Menu?")), true);
    work->Release();
}

int CliSession::Finish(int status)
{
    Disconnect();
    return Status(CliExit(status));
}

// ------------------------------------------------------------------ reporting

void CliSession::PrintSummary(const Document &document, bool listProblems) const
{
    for (const QString &line : SummaryLines(document.Device(), listProblems))
        PrintOut(line);
}

void CliSession::PrintVerificationFailures(const WriteResult &result) const
{
    PrintMessage(T(QStringLiteral("ERROR")), T(QStringLiteral("Failed to verify settings")));
    for (const QString &cmd : result.verify.notVerified)
        PrintOut(QStringLiteral("Not verified: ") + cmd);
}

void CliSession::ReportInvalidEntries(const QList<EntryError> &errors) const
{
    for (const EntryError &error : errors) {
        const EntryErrorText message = TextOf(error);
        PrintMessage(message.caption, message.text);
    }
}

bool CliSession::ReportFileLoad(const FileResult &result) const
{
    switch (result.outcome) {
    case FileOutcome::Done:
        return true;
    case FileOutcome::Incompatible:
        if (result.compatibility.verdict == Compatibility::ProductMismatch) {
            const MessageText message = ProductMismatchMessage(result.compatibility.issues.value(0));
            PrintMessage(message.caption, message.text);
        }
        return false;
    case FileOutcome::Unreadable:
    case FileOutcome::WriteFailed:
    case FileOutcome::InvalidEntries:
        PrintMessage(T(QStringLiteral("ERROR")), result.reason);
        PrintMessage(T(QStringLiteral("ERROR")), T(QStringLiteral("File settings have not been loaded")));
        return false;
    }
    return false;
}

int CliSession::ReportWrite(const WriteResult &result) const
{
    // The write stands; only its record is missing.
    if (!result.auditProblem.isEmpty())
        PrintError(QStringLiteral("talvek-cli: warning: the write was not recorded: ") + result.auditProblem);
    switch (result.outcome) {
    case WriteOutcome::Verified:
        PrintMessage(T(QStringLiteral("Success")), T(QStringLiteral("Settings have been saved")));
        break;
    case WriteOutcome::NotVerified:
        PrintVerificationFailures(result);
        break;
    case WriteOutcome::InvalidEntries:
        ReportInvalidEntries(result.invalid);
        break;
    case WriteOutcome::SetupModeRefused:
        PrintMessage(T(QStringLiteral("WARNING")), T(QStringLiteral("UNABLE_TO_CONFIGURE_DEVICE")));
        PrintMessage(T(QStringLiteral("ERROR")), T(QStringLiteral("A problem occurred during SAVE operation")));
        break;
    case WriteOutcome::DeviceGone:
    case WriteOutcome::Declined:
    case WriteOutcome::Aborted:
        PrintMessage(T(QStringLiteral("ERROR")), T(QStringLiteral("A problem occurred during SAVE operation")));
        break;
    }
    return ExitStatus(result.outcome);
}

// ------------------------------------------------------------------ commands

int CliSession::Ports()
{
    TfrmComPortUtils utils;
    QStringList names;
    if (utils.ListComPorts(names) != 0) {
        PrintError(QStringLiteral("The list of COM ports could not be read."));
        return ExitFailed;
    }
    const QList<ComPortDevice> devices = SystemComPorts();
    for (const QString &name : names) {
        QString friendly;
        for (const ComPortDevice &device : devices)
            if (device.comNumber > 0 && PortName(device.comNumber) == name)
                friendly = device.friendlyName;
        PrintOut(name + QLatin1Char('\t') + friendly);
    }
    return ExitOk;
}

int CliSession::Doctor()
{
    QList<ComPortDevice> ports;
    if (target.HasPort()) {
        const QString path = ComPortDevicePath(target.comNumber);
        if (path.isEmpty()) {
            PrintError(PortName(target.comNumber) +
                       QStringLiteral(" names no device: give it an alias (see the README)."));
            return ExitPortOpen;
        }
        ports.append({QString(), path, target.comNumber});
    } else {
        for (const ComPortDevice &device : SystemComPorts()) {
            QStringList listed;
            FilterComPorts({device.friendlyName}, listed);
            if (!listed.isEmpty()) // never Bluetooth links, as the port list
                ports.append(device);
        }
    }
    const DoctorReport report = PortDoctor().Diagnose(ports);
    PrintOut(RenderDoctorReport(report));
    return report.AllUsable() ? ExitOk : ExitPortOpen;
}

int CliSession::Scan()
{
    if (Stopped())
        return StoppedStatus();
    const ConnectResult result = work->Search(SensorTarget{target.comNumber, -1});
    if (result.outcome != ConnectOutcome::Connected) {
        if (!Stopped())
            ExplainNotFound(result.scan);
        return Status(ExitStatus(result.outcome));
    }
    for (const aDeviceCommsInfo &device : result.scan.found)
        PrintOut(PortName(device.portIndex + 1) + QLatin1Char('\t') + device.baudText + QLatin1Char('\t') +
                 device.identity);
    return ExitOk;
}

int CliSession::Read(const QString &outputFile)
{
    const int connected = Connect();
    if (connected != ExitOk)
        return connected;
    const ReadResult read = work->Read();
    if (read.outcome != ReadOutcome::Complete) {
        if (!Stopped()) {
            PrintMessage(T(QStringLiteral("WARNING")), T(QStringLiteral("FAILED_TO_READ_ALL_DEVICE_SETTINGS")));
            PrintSummary(work->LastRead(), true);
        }
        return Finish(ExitStatus(read.outcome));
    }
    const FileResult saved = work->SaveFile(outputFile);
    if (saved.outcome == FileOutcome::Done)
        PrintMessage(T(QStringLiteral("Success")), T(QStringLiteral("Settings have been saved")));
    else
        PrintMessage(T(QStringLiteral("ERROR")), T(QStringLiteral("Settings have not been saved")) +
                                                     (saved.reason.isEmpty() ? QString() : "\n\n" + saved.reason));
    if (saved.outcome == FileOutcome::InvalidEntries)
        ReportInvalidEntries(saved.invalid);
    PrintSummary(work->LastRead(), true);
    return Finish(ExitStatus(saved.outcome));
}

int CliSession::CheckInputFile(const QString &inputFile) const
{
    const DocumentLoad load = LoadConfigDocument(inputFile);
    if (load.error == DocumentLoadError::None)
        return ExitOk;
    FileResult refused;
    refused.outcome = FileOutcome::Unreadable;
    refused.reason = load.reason;
    ReportFileLoad(refused);
    return ExitStatus(refused.outcome);
}

int CliSession::Write(const QString &inputFile)
{
    // A file that cannot be used is refused before the sensor is touched.
    if (const int checked = CheckInputFile(inputFile); checked != ExitOk)
        return checked;
    const int connected = Connect();
    if (connected != ExitOk)
        return connected;
    CliQuestions questions(acceptMismatch);
    const FileResult load = work->LoadFile(inputFile, questions);
    if (!ReportFileLoad(load))
        return Finish(ExitStatus(load.outcome));
    PrintMessage(T(QStringLiteral("Success")), T(QStringLiteral("File settings loaded")));
    return Finish(ReportWrite(work->WriteAndVerify(questions, SyncTime())));
}

int CliSession::Backup(const QString &outputFile)
{
    const int connected = Connect();
    if (connected != ExitOk)
        return connected;
    const BackupResult backup = work->Backup(outputFile);
    switch (backup.outcome) {
    case BackupOutcome::Saved:
        PrintMessage(T(QStringLiteral("Back-up Operation Complete")), T(QStringLiteral("Settings have been saved")));
        PrintSummary(work->LastRead(), true);
        break;
    case BackupOutcome::ReadIncomplete:
        PrintMessage(T(QStringLiteral("Warning - Back-up operation did not complete")),
                     T(QStringLiteral("Please retry.")));
        break;
    case BackupOutcome::FileNotSaved:
        PrintMessage(T(QStringLiteral("Warning - Back-up operation did not complete")),
                     T(QStringLiteral("Settings have not been saved")) +
                         (backup.file.reason.isEmpty() ? QString() : "\n\n" + backup.file.reason));
        ReportInvalidEntries(backup.file.invalid);
        break;
    case BackupOutcome::Aborted:
        break;
    }
    return Finish(ExitStatus(backup.outcome));
}

int CliSession::Restore(const QString &inputFile)
{
    if (const int checked = CheckInputFile(inputFile); checked != ExitOk)
        return checked;
    const int connected = Connect();
    if (connected != ExitOk)
        return connected;
    CliQuestions questions(acceptMismatch);
    const RestoreResult restore = work->Restore(inputFile, questions, SyncTime());
    if (ReportFileLoad(restore.file)) {
        ReportWrite(restore.write);
        if (restore.outcome == RestoreOutcome::Verified)
            PrintSummary(work->LastRead(), true);
    }
    return Finish(ExitStatus(restore.outcome));
}
