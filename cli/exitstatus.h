#pragma once
#include "cli/exitcodes.h"
#include "workflows/liveMonitor.h"
#include "workflows/provisioning.h"
#include "workflows/sensorWork.h"

// The exit status of each outcome. Every switch names every outcome, and
// the build treats a missing one as an error: a new outcome has no status
// until someone gives it one.
CliExit ExitStatus(ConnectOutcome outcome);
CliExit ExitStatus(ReadOutcome outcome);
CliExit ExitStatus(FileOutcome outcome);
CliExit ExitStatus(WriteOutcome outcome);
CliExit ExitStatus(BackupOutcome outcome);
CliExit ExitStatus(RestoreOutcome outcome);
CliExit ExitStatus(MonitorOutcome outcome);
CliExit ExitStatus(UnitOutcome outcome);
CliExit ExitStatus(AuditVerifyResult::Status status);
// A signal's status: 128 + its number, as shells report it.
int SignalStatus(int signalNumber);
