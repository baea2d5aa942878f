// The audit command: checks the chain of the audit log of writes, or prints
// its entries readably.
#include "cli/cliaudit.h"

#include "cli/clioutput.h"
#include "cli/exitstatus.h"
#include "engine/auditLog.h"
#include "workflows/programSetup.h"

#include <QCommandLineParser>

namespace
{
int AuditUsage(const QString &text)
{
    PrintError(QStringLiteral("talvek-cli: ") + text);
    PrintError(QStringLiteral("Try 'talvek-cli audit --help'."));
    return ExitUsage;
}

QString Joined(const QStringList &parts)
{
    QStringList kept;
    for (const QString &part : parts)
        if (!part.isEmpty())
            kept.append(part);
    return kept.join(QStringLiteral("  "));
}

void PrintEntry(const AuditEntry &entry)
{
    PrintOut(Joined({entry.time.toString(Qt::ISODateWithMs), entry.user + QLatin1Char('@') + entry.host, entry.action,
                     entry.port, entry.node}));
    PrintOut(QStringLiteral("  identity: ") + Joined({entry.product, entry.identity}));
    PrintOut(QStringLiteral("  serial: ") + entry.serial);
    QString outcome = entry.outcome;
    if (!entry.notVerified.isEmpty())
        outcome += QStringLiteral(": ") + entry.notVerified.join(QStringLiteral(", "));
    PrintOut(QStringLiteral("  outcome: ") + outcome);
    for (const AuditChange &change : entry.changes)
        PrintOut(QStringLiteral("  %1: %2 -> %3").arg(change.cmd, change.before, change.after));
    PrintOut(QStringLiteral("  entry: ") + entry.hash);
}

int Verify(const AuditLog &log)
{
    const AuditVerifyResult result = log.Verify();
    if (result.status == AuditVerifyResult::Status::Intact)
        PrintOut(QStringLiteral("%1: %2 entries, chain intact; last entry %3")
                     .arg(log.Path())
                     .arg(result.entries)
                     .arg(result.lastHash));
    else if (result.status == AuditVerifyResult::Status::Broken)
        PrintError(QStringLiteral("talvek-cli: %1: chain broken: %2 (%3 entries before it are intact)")
                       .arg(log.Path(), result.problem)
                       .arg(result.brokenLine - 1));
    else
        PrintError(QStringLiteral("talvek-cli: ") + result.problem);
    return ExitStatus(result.status);
}

int Show(const AuditLog &log, const AuditFilter &filter)
{
    const AuditReadResult read = log.Read(filter);
    if (!read.readable) {
        PrintError(QStringLiteral("talvek-cli: ") + read.error);
        return ExitAuditUnreadable;
    }
    for (int line : read.unreadableLines)
        PrintError(QStringLiteral("talvek-cli: %1: line %2 is no entry (see talvek-cli audit verify)")
                       .arg(log.Path())
                       .arg(line));
    for (const AuditEntry &entry : read.entries)
        PrintEntry(entry);
    return ExitOk;
}
} // namespace

void AddAuditOptions(QCommandLineParser &parser)
{
    parser.addPositionalArgument(QStringLiteral("verify|show"), QStringLiteral("What to do with the audit log."));
    parser.addOption(
        {QStringLiteral("serial"), QStringLiteral("show: only this sensor's entries."), QStringLiteral("S")});
    parser.addOption({QStringLiteral("since"),
                      QStringLiteral("show: only entries from this UTC date (YYYY-MM-DD) or ISO date-time on."),
                      QStringLiteral("DATE")});
}

QDateTime ParseSinceDate(const QString &text)
{
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (date.isValid() && text.size() == 10)
        return QDateTime(date, QTime(0, 0), Qt::UTC);
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        return {};
    if (time.timeSpec() == Qt::LocalTime)
        time.setTimeSpec(Qt::UTC); // no offset given: UTC, as the log
    return time.toUTC();
}

int RunAudit(const QCommandLineParser &parser)
{
    const QStringList words = parser.positionalArguments();
    const QString what = words.value(0);
    if (words.size() != 1 || (what != QLatin1String("verify") && what != QLatin1String("show")))
        return AuditUsage(QStringLiteral("audit needs 'verify' or 'show'"));
    AuditFilter filter;
    if (parser.isSet(QStringLiteral("since"))) {
        filter.since = ParseSinceDate(parser.value(QStringLiteral("since")));
        if (!filter.since.isValid())
            return AuditUsage(QStringLiteral("--since needs a date as 2026-03-01 or 2026-03-01T12:00:00"));
    }
    filter.serial = parser.value(QStringLiteral("serial")).trimmed();
    if (what == QLatin1String("verify") && (parser.isSet(QStringLiteral("since")) || !filter.serial.isEmpty()))
        return AuditUsage(QStringLiteral("--serial and --since go with 'show'"));
    // The application data folder, as the program finds it.
    ProgramSetup setup;
    const bool ready = setup.Run();
    for (const SetupMessage &message : setup.Messages())
        PrintMessage(message.caption, message.text);
    if (!ready)
        return ExitFailed;
    const AuditLog log(AuditLog::DefaultPath());
    return what == QLatin1String("verify") ? Verify(log) : Show(log, filter);
}
