#include "engine/deviceWriter.h"

#include "base/log.h"
#include "device/interface.h"

#include <QDateTime>

DeviceWriter::DeviceWriter(TfrmInterface *session, QObject *parent) : QObject(parent), m_session(session)
{
}

QString DeviceWriter::SyncTimeCommand()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDate date = now.date();
    const QTime time = now.time();
    return QString::asprintf("%s %4d-%02d-%02dT%02d:%02d:%02d", "TIME", date.year(), date.month(), date.day(),
                             time.hour(), time.minute(), time.second());
}

WriteReport DeviceWriter::Write(const Document &document, const CommandOptions &options)
{
    const CommandList commands = BuildSetupCommands(document, options);
    if (!commands.unknownUnits.isEmpty())
        emit unknownUnits(commands.unknownUnits);
    Log(QStringLiteral("Entering setup mode3..."));
    DeviceReader setup(m_session, document);
    if (!setup.EnterSetupMode()) {
        WriteReport report;
        report.stop = WriteReport::Stop::SetupModeRefused;
        report.leftInMeasuringMode = true;
        return report;
    }
    return Send(commands.lines, commands.sync);
}

WriteReport DeviceWriter::Send(const QStringList &lines, bool sync)
{
    WriteReport report;
    const int n = int(lines.size());
    for (int i = 0; i < n; ++i) {
        emit progress(i, n);
        Log(lines[i]);
        if (!SendLine(lines[i], sync, report)) {
            report.failedLine = lines[i];
            Log(QStringLiteral("Upload failed: the device did not answer ") + lines[i]);
            return Stopped(report, WriteReport::Stop::DeviceGone);
        }
        if (m_cancel && m_cancel->IsCancelled()) {
            Log(QStringLiteral("GetDeviceSettings aborted"));
            return Stopped(report, WriteReport::Stop::Aborted);
        }
    }
    return report;
}

bool DeviceWriter::SendLine(const QString &line, bool sync, WriteReport &report)
{
    QString text = line;
    if (line.left(4) == QLatin1String("TIME") && sync) {
        text = SyncTimeCommand();
    } else if (line.contains(QLatin1String("COMMAND IGNORED"))) {
        Log(QStringLiteral("Skipped NOT CONFIGURED Command"));
        emit lineSkipped(line);
        return true;
    }
    QString reply;
    int code = ERR_RX_SERVICE_NOT_STARTED;
    if (m_session)
        code = m_session->SendCmdGetSingleResp(text, reply);
    report.sent.append(text);
    emit lineSent(text);
    Log(reply);
    // What the device answers is judged by the verification, and so is a
    // line it left unanswered while it still answers otherwise; only a device
    // that is gone ends the write.
    return m_session && !m_session->DeviceGone(code);
}

WriteReport DeviceWriter::Stopped(WriteReport report, WriteReport::Stop stop)
{
    report.stop = stop;
    // A sensor left in setup mode stops reporting until it is power-cycled.
    DeviceReader(m_session, Document{}).LeaveSetupMode();
    report.leftInMeasuringMode = true;
    return report;
}

VerifyReport DeviceWriter::Verify(const Document &written)
{
    VerifyReport verify;
    Document read = written;
    read.products = IXMLproductsType::FromXml(written.products.XML().toUtf8(), QStringLiteral("written"));
    DeviceReader reader(m_session, read);
    connect(&reader, &DeviceReader::progress, this, &DeviceWriter::progress);
    reader.SetCancelToken(m_cancel);
    verify.read = reader.Read();
    verify.differences = DiffDocuments(read.products, written.products, DiffBasis::Values);
    for (const DocumentDifference &difference : std::as_const(verify.differences))
        verify.notVerified.append(difference.cmd);
    // A setting that could not be read back is not verified either.
    for (const QString &cmd : std::as_const(verify.read.failedCmds)) {
        if (!verify.notVerified.contains(cmd))
            verify.notVerified.append(cmd);
    }
    verify.verified = verify.read.Complete() && verify.notVerified.isEmpty();
    verify.readBack = read;
    return verify;
}
