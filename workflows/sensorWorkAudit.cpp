// The audit trail of the writes: one entry per write, with the settings it
// changed (before and after) and how it ended.
#include "base/log.h"
#include "serial/comPortUtils.h"
#include "workflows/sensorWork.h"

#include <QFileInfo>
#include <QSet>

namespace
{
// The command of each line sent ("CMD value").
QSet<QString> SentCommands(const QStringList &sent)
{
    QSet<QString> commands;
    for (const QString &line : sent)
        commands.insert(line.section(QLatin1Char(' '), 0, 0).trimmed());
    return commands;
}

QString DeviceNode(int comNumber)
{
    if (comNumber <= 0)
        return {};
    const QString path = ComPortDevicePath(comNumber);
    const QString real = QFileInfo(path).canonicalFilePath();
    return real.isEmpty() || real == path ? path : path + QStringLiteral(" -> ") + real;
}
} // namespace

AuditEntry SensorWork::StartAuditEntry(const WriteReport &report) const
{
    AuditEntry entry;
    entry.action = auditAction;
    entry.port = comNumber > 0 ? QStringLiteral("COM%1").arg(comNumber) : QString();
    entry.node = DeviceNode(comNumber);
    entry.product = current.identity.productName;
    entry.identity = current.identity.identityReply;
    entry.serial = serialNumber;
    // Only what went out changed; without a complete read before, the
    // sensor's earlier values are not known.
    const QSet<QString> sent = SentCommands(report.sent);
    const IXMLproductsType before = knownBefore ? lastRead.products : IXMLproductsType();
    for (const DocumentDifference &difference : DiffDocuments(current.products, before, DiffBasis::Values)) {
        if (sent.contains(difference.cmd))
            entry.changes.append({difference.cmd, difference.baseline, difference.value});
    }
    return entry;
}

void SensorWork::RecordAudit(AuditEntry entry, const QString &outcome, const QStringList &notVerified)
{
    entry.outcome = outcome;
    entry.notVerified = notVerified;
    lastAudit = AuditLog(AuditLogPath()).Append(entry);
    if (!lastAudit.ok)
        Log(QStringLiteral("Audit: ") + lastAudit.error);
}

void SensorWork::AuditWrite(WriteResult &result)
{
    switch (result.outcome) {
    case WriteOutcome::Verified: // every line went out: the verification completes it
        pendingAudit = StartAuditEntry(result.write);
        return;
    case WriteOutcome::Aborted:
        RecordAudit(StartAuditEntry(result.write), AuditEntry::kAborted);
        break;
    case WriteOutcome::DeviceGone:
        RecordAudit(StartAuditEntry(result.write), AuditEntry::kDeviceGone);
        break;
    case WriteOutcome::NotVerified:
    case WriteOutcome::InvalidEntries:
    case WriteOutcome::Declined:
    case WriteOutcome::SetupModeRefused:
        return; // nothing was sent
    }
    CopyAudit(result);
}

void SensorWork::AuditVerification(const VerifyReport &report)
{
    if (!pendingAudit)
        return;
    const QString outcome = report.verified         ? AuditEntry::kVerified
                            : report.read.Aborted() ? AuditEntry::kAborted
                                                    : AuditEntry::kNotVerified;
    RecordAudit(*std::exchange(pendingAudit, std::nullopt), outcome, report.notVerified);
}

void SensorWork::FlushPendingAudit()
{
    if (pendingAudit)
        RecordAudit(*std::exchange(pendingAudit, std::nullopt), AuditEntry::kNoReadBack);
}

void SensorWork::CopyAudit(WriteResult &result) const
{
    result.auditHash = lastAudit.hash;
    result.auditProblem = lastAudit.error;
}
