// The monitor command: the sensor's continuous output, decoded or raw, on
// standard output (and in a CSV file), until its duration ends or a signal
// comes. The sensor is never taken into setup mode.
#include "cli/clioutput.h"
#include "cli/clisession.h"
#include "cli/exitstatus.h"

#include <QCoreApplication>
#include <QTimer>

int CliSession::Listen(LiveMonitor &monitor)
{
    if (Stopped())
        return StoppedStatus();
    return Connected(work->Listen(Where(), &monitor));
}

int CliSession::Monitor(const MonitorOptions &options)
{
    LiveMonitor monitor;
    const int connected = Listen(monitor);
    if (connected != ExitOk)
        return connected;
    Document document;
    if (const int status = MonitorDocument(options, document); status != ExitOk) {
        work->Release();
        return status;
    }
    monitor.Start(work->Device()->Link(), document);
    if (!options.csvFile.isEmpty() && !monitor.Record(options.csvFile)) {
        PrintError(QStringLiteral("talvek-cli: ") + monitor.RecordError());
        monitor.Stop();
        work->Release();
        return ExitFailed;
    }
    QObject::connect(&monitor, &LiveMonitor::LineReceived, &monitor,
                     [&](const DecodedLine &line, const QDateTime &time) {
                         PrintLine(line, time, monitor.Decoder(), options.raw);
                     });
    QObject::connect(&monitor, &LiveMonitor::RecordingFailed, &monitor, [](const QString &error) {
        PrintError(QStringLiteral("talvek-cli: ") + error);
        QCoreApplication::exit(0);
    });
    if (options.seconds >= 0)
        QTimer::singleShot(qint64(options.seconds * 1000), &monitor, [] { QCoreApplication::exit(0); });
    watching = true;
    if (!monitor.Recorder().Failed())
        QCoreApplication::exec();
    watching = false;
    monitor.Stop();
    monitor.StopRecording();
    work->Release();
    PrintMonitorSummary(monitor, options);
    return ExitStatus(monitor.Outcome());
}

// The sensor's settings are never read here, so its report is the
// template's unless a configuration read from it earlier says otherwise.
int CliSession::MonitorDocument(const MonitorOptions &options, Document &document) const
{
    document = work->Current();
    if (options.configFile.isEmpty())
        return ExitOk;
    const CompatibilityCheck check = CheckCompatibility(options.configFile, document.identity);
    if (check.verdict == Compatibility::Unreadable) {
        PrintError(QStringLiteral("talvek-cli: ") + check.reason);
        return ExitFailed;
    }
    if (check.verdict == Compatibility::ProductMismatch) {
        PrintError(QStringLiteral("talvek-cli: %1 is for %2, the sensor is %3")
                       .arg(options.configFile, check.issues.value(0).found, check.issues.value(0).expected));
        return ExitIncompatibleFile;
    }
    document.products = LoadConfigDocument(options.configFile).products;
    return document.IsNull() ? ExitFailed : ExitOk;
}

void CliSession::PrintLine(const DecodedLine &line, const QDateTime &time, const LineDecoder &decoder,
                           bool raw) const
{
    const QString stamp = time.toUTC().toString(Qt::ISODateWithMs);
    const QString text = line.raw.trimmed();
    if (raw) {
        PrintOut(stamp + QLatin1Char(' ') + text);
        return;
    }
    if (line.status != LineStatus::Decoded) {
        PrintError(QStringLiteral("talvek-cli: %1 not decoded (%2): %3")
                       .arg(stamp,
                            line.status == LineStatus::BadChecksum ? QStringLiteral("bad checksum, ") + line.reason
                                                                   : line.reason,
                            text));
        return;
    }
    QStringList fields{stamp};
    for (const ChannelValue &value : line.values) {
        const Channel &channel = decoder.Channels().at(value.channel);
        fields << channel.name + QLatin1Char('=') + value.text +
                      (channel.unit.isEmpty() ? QString() : QLatin1Char(' ') + channel.unit);
    }
    PrintOut(fields.join(QStringLiteral("  ")));
}

void CliSession::PrintMonitorSummary(const LiveMonitor &monitor, const MonitorOptions &options) const
{
    const ChannelTable &table = monitor.Table();
    PrintError(QStringLiteral("talvek-cli: %1 lines received, %2 decoded, %3 not decoded (%4 with a bad checksum)")
                   .arg(monitor.Lines())
                   .arg(table.Decoded())
                   .arg(table.Undecodable() + table.BadChecksums())
                   .arg(table.BadChecksums()));
    if (options.csvFile.isEmpty())
        return;
    PrintError(QStringLiteral("talvek-cli: %1 rows written to %2").arg(monitor.Recorder().Rows()).arg(options.csvFile));
    if (monitor.Recorder().Unrecorded() > 0)
        PrintError(QStringLiteral("talvek-cli: %1 values of channels outside the report have no column in %2")
                       .arg(monitor.Recorder().Unrecorded())
                       .arg(options.csvFile));
}
