#include "workflows/liveMonitor.h"

#include "serial/comms.h"

LiveMonitor::LiveMonitor(QObject *parent) : QObject(parent) {}

void LiveMonitor::Start(TComms &newLink, const Document &document)
{
    link = &newLink;
    decoder = LineDecoder(document);
}

void LiveMonitor::Stop()
{
    Drain();
    link = nullptr;
}

bool LiveMonitor::Record(const QString &path)
{
    return recorder.Open(path, decoder.Channels());
}

void LiveMonitor::StopRecording()
{
    recorder.Close();
}

bool LiveMonitor::event(QEvent *event)
{
    if (event->type() != RxLineEventType())
        return QObject::event(event);
    Drain();
    return true;
}

// One event may stand for several lines, and several events for lines an
// earlier drain already took: take whatever is waiting.
void LiveMonitor::Drain()
{
    if (!link)
        return;
    int count = 0;
    while (link->GetRxLineCount(count) == 0 && count > 0) {
        QString text;
        if (link->PopRxLine(text) != 0)
            break;
        Take(text);
    }
}

void LiveMonitor::Take(const QString &text)
{
    const QDateTime time = now();
    const DecodedLine line = decoder.Decode(text);
    if (line.status == LineStatus::Blank)
        return;
    ++lines;
    table.Add(line, decoder, time.toMSecsSinceEpoch());
    if (recorder.IsOpen() && !recorder.Record(line, time))
        emit RecordingFailed(recorder.Error());
    emit LineReceived(line, time);
}

MonitorOutcome LiveMonitor::Outcome() const
{
    if (recorder.Failed())
        return MonitorOutcome::RecordFailed;
    if (lines == 0)
        return MonitorOutcome::NoLines;
    return table.Decoded() > 0 ? MonitorOutcome::Decoded : MonitorOutcome::NothingDecoded;
}
