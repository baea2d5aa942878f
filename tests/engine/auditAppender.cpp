// Test helper: appends COUNT entries tagged TAG to the audit log at PATH,
// as one process of several writing to it at once.
#include "engine/auditLog.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 4) {
        std::fprintf(stderr, "usage: auditAppender PATH COUNT TAG\n");
        return 2;
    }
    const AuditLog log(arguments.at(1));
    const int count = arguments.at(2).toInt();
    for (int i = 0; i < count; ++i) {
        AuditEntry entry;
        entry.action = QStringLiteral("write");
        entry.serial = arguments.at(3);
        entry.outcome = AuditEntry::kVerified;
        entry.changes.append({QStringLiteral("OUTPUTINT"), QString::number(i), QString::number(i + 1)});
        const AuditAppendResult result = log.Append(entry);
        if (!result.ok) {
            std::fprintf(stderr, "%s\n", qPrintable(result.error));
            return 1;
        }
    }
    return 0;
}
