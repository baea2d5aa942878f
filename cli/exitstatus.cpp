#include "cli/exitstatus.h"

#include <csignal>

CliExit ExitStatus(ConnectOutcome outcome)
{
    switch (outcome) {
    case ConnectOutcome::Connected:
        return ExitOk;
    case ConnectOutcome::NoPorts:
    case ConnectOutcome::NoSensor:
        return ExitNoSensor;
    case ConnectOutcome::PortNotOpened:
        return ExitPortOpen;
    case ConnectOutcome::UnknownDevice:
    case ConnectOutcome::UnitsUnusable:
    case ConnectOutcome::TemplateUnusable:
    case ConnectOutcome::SetupModeFailed:
    case ConnectOutcome::SerialNumberFailed:
        return ExitUnknownDevice;
    case ConnectOutcome::Aborted:
        return ExitInterrupted;
    }
    return ExitFailed;
}

CliExit ExitStatus(ReadOutcome outcome)
{
    switch (outcome) {
    case ReadOutcome::Complete:
        return ExitOk;
    case ReadOutcome::Incomplete:
    case ReadOutcome::SetupModeRefused:
    case ReadOutcome::DeviceGone:
        return ExitReadIncomplete;
    case ReadOutcome::Aborted:
        return ExitInterrupted;
    }
    return ExitFailed;
}

CliExit ExitStatus(FileOutcome outcome)
{
    switch (outcome) {
    case FileOutcome::Done:
        return ExitOk;
    case FileOutcome::Incompatible:
        return ExitIncompatibleFile;
    case FileOutcome::InvalidEntries:
    case FileOutcome::Unreadable:
    case FileOutcome::WriteFailed:
        return ExitFailed;
    }
    return ExitFailed;
}

CliExit ExitStatus(WriteOutcome outcome)
{
    switch (outcome) {
    case WriteOutcome::Verified:
        return ExitOk;
    case WriteOutcome::NotVerified:
        return ExitVerifyFailed;
    case WriteOutcome::InvalidEntries:
        return ExitInvalidEntries;
    case WriteOutcome::Declined:
    case WriteOutcome::SetupModeRefused:
    case WriteOutcome::DeviceGone:
        return ExitFailed;
    case WriteOutcome::Aborted:
        return ExitInterrupted;
    }
    return ExitFailed;
}

CliExit ExitStatus(BackupOutcome outcome)
{
    switch (outcome) {
    case BackupOutcome::Saved:
        return ExitOk;
    case BackupOutcome::ReadIncomplete:
        return ExitReadIncomplete;
    case BackupOutcome::FileNotSaved:
        return ExitFailed;
    case BackupOutcome::Aborted:
        return ExitInterrupted;
    }
    return ExitFailed;
}

CliExit ExitStatus(RestoreOutcome outcome)
{
    switch (outcome) {
    case RestoreOutcome::Verified:
        return ExitOk;
    case RestoreOutcome::FileRefused:
        return ExitIncompatibleFile;
    case RestoreOutcome::InvalidEntries:
        return ExitInvalidEntries;
    case RestoreOutcome::NotVerified:
        return ExitVerifyFailed;
    case RestoreOutcome::NotWritten:
        return ExitFailed;
    case RestoreOutcome::Aborted:
        return ExitInterrupted;
    }
    return ExitFailed;
}

CliExit ExitStatus(MonitorOutcome outcome)
{
    switch (outcome) {
    case MonitorOutcome::Decoded:
        return ExitOk;
    case MonitorOutcome::NoLines:
        return ExitNoData;
    case MonitorOutcome::NothingDecoded:
        return ExitNotDecoded;
    case MonitorOutcome::RecordFailed:
        return ExitFailed;
    }
    return ExitFailed;
}

CliExit ExitStatus(UnitOutcome outcome)
{
    switch (outcome) {
    case UnitOutcome::Verified:
    case UnitOutcome::Skipped: // verified in an earlier run
        return ExitOk;
    case UnitOutcome::NotVerified:
    case UnitOutcome::NotFound:
    case UnitOutcome::WrongSensor:
    case UnitOutcome::Incompatible:
    case UnitOutcome::BackupFailed:
    case UnitOutcome::InvalidEntries:
    case UnitOutcome::WriteFailed:
        return ExitUnitsNotVerified;
    case UnitOutcome::Aborted:
        return ExitInterrupted;
    }
    return ExitFailed;
}

CliExit ExitStatus(AuditVerifyResult::Status status)
{
    switch (status) {
    case AuditVerifyResult::Status::Intact:
        return ExitOk;
    case AuditVerifyResult::Status::Broken:
        return ExitAuditBroken;
    case AuditVerifyResult::Status::Missing:
    case AuditVerifyResult::Status::Unreadable:
        return ExitAuditUnreadable;
    }
    return ExitFailed;
}

int SignalStatus(int signalNumber)
{
    return signalNumber == SIGTERM ? ExitTerminated : signalNumber == SIGINT ? ExitInterrupted : 128 + signalNumber;
}
