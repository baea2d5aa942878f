// The audit log's costs: verifying a long log, and one append to it.
//
//   bench_audit [ENTRIES] [APPENDS]   a log of ENTRIES (default 100000)
//                                     entries of three changes each, in a
//                                     temporary folder
//
// Prints the log's size, the median, minimum and maximum of 5 verifications
// and of 3 filtered reads (one sensor's entries), and of APPENDS appends
// (default 200; each locks, reads the tail, writes and flushes to the disk).
#include "engine/auditLog.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace
{
struct Figures {
    double median = 0, min = 0, max = 0; // milliseconds
};

Figures Measure(int runs, const std::function<bool()> &step)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!step())
            return {-1, -1, -1};
        times << timer.nsecsElapsed() / 1e6;
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front(), times.back()};
}

AuditEntry Sample(int i)
{
    AuditEntry entry;
    entry.time = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC).addSecs(i * 60);
    entry.user = QStringLiteral("installer");
    entry.host = QStringLiteral("field-laptop");
    entry.action = QStringLiteral("provision");
    entry.port = QStringLiteral("COM%1").arg(3 + i % 4);
    entry.node = QStringLiteral("/dev/ttyUSB%1").arg(i % 4);
    entry.product = QStringLiteral("TEMPRIS KDX530-3");
    entry.identity = QStringLiteral("9.63 PV=9 OPTION=8803 \"TEMPRIS KDX530-3-8803\" [Q]");
    entry.serial = QString::number(10000 + i % 40);
    entry.outcome = AuditEntry::kVerified;
    entry.changes = {{QStringLiteral("ADDRESS"), QStringLiteral("Q"), QString(QChar('A' + i % 26))},
                     {QStringLiteral("USERINF"), QStringLiteral("-"), QStringLiteral("Station %1").arg(i)},
                     {QStringLiteral("OUTPUTINT"), QStringLiteral("1"), QString::number(1 + i % 60)}};
    return entry;
}

bool WriteLog(const QString &path, int count)
{
    QByteArray data;
    QString prev = AuditLog::ZeroHash();
    for (int i = 0; i < count; ++i) {
        AuditEntry entry = Sample(i);
        entry.prev = prev;
        const QByteArray line = AuditLog::FormatLine(entry);
        prev = QString::fromLatin1(QCryptographicHash::hash(line, QCryptographicHash::Sha256).toHex());
        data += line + '\n';
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

void Print(const char *what, const Figures &figures)
{
    std::printf("%-34s median %9.3f ms   min %9.3f   max %9.3f\n", what, figures.median, figures.min, figures.max);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int entries = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    const int appends = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 200;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("audit.log"));
    if (entries < 1 || appends < 1 || !WriteLog(path, entries)) {
        std::fprintf(stderr, "usage: bench_audit [ENTRIES] [APPENDS]; the log could not be written\n");
        return 2;
    }
    const AuditLog log(path);
    std::printf("log: %d entries, %.1f MB\n", entries, QFile(path).size() / 1e6);
    Print("verify (5 runs)", Measure(5, [&] {
              const AuditVerifyResult result = log.Verify();
              return result.status == AuditVerifyResult::Status::Intact && result.entries == entries;
          }));
    AuditFilter filter;
    filter.serial = QStringLiteral("10007");
    Print("read one sensor's entries (3 runs)", Measure(3, [&] { return !log.Read(filter).entries.isEmpty(); }));
    int i = entries;
    Print("append, flushed (each)", Measure(appends, [&] { return log.Append(Sample(i++)).ok; }));
    return log.Verify().status == AuditVerifyResult::Status::Intact ? 0 : 1;
}
