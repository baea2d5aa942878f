#pragma once

// The command-line program's exit statuses. Scripts test these numbers, so
// they never change meaning; a new outcome gets a new number.
enum CliExit : int {
    ExitOk = 0,               // the whole operation succeeded (a write: verified)
    ExitDifferent = 1,        // diff: the files differ
    ExitUsage = 2,            // unknown command or option, missing argument
    ExitNoSensor = 3,         // no sensor answered
    ExitPortOpen = 4,         // the port could not be opened
    ExitUnknownDevice = 5,    // the sensor is unknown, unsupported, or would not enter setup mode
    ExitIncompatibleFile = 6, // the file is for another product, or a mismatch was not accepted
    ExitInvalidEntries = 7,   // the file holds invalid entries
    ExitReadIncomplete = 8,   // not every setting could be read
    ExitVerifyFailed = 9,     // the device does not hold what was written
    ExitFailed = 10,          // anything else: a file unreadable or unwritable, a write refused
    ExitNoData = 11,          // monitor: the sensor sent no line
    ExitNotDecoded = 12,      // monitor: lines came, but none of the report's shape
    ExitPlanRefused = 13,     // provision: the plan has problems; no sensor was touched
    ExitUnitsNotVerified = 14, // provision: some units are not verified (the table says why)
    ExitAuditBroken = 20,     // audit: the log's chain is broken (the first broken entry is named)
    ExitAuditUnreadable = 21, // audit: there is no audit log, or it cannot be read
    // Stopped by a signal, after the running operation was aborted and the
    // sensor told to leave setup mode; 128 + the signal's number, as shells do.
    ExitInterrupted = 130, // SIGINT (Ctrl-C)
    ExitTerminated = 143,  // SIGTERM
};
