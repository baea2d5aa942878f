#pragma once
// Watches a sensor's continuous output: takes each line the link announces
// while streaming, decodes it (LineDecoder), keeps the latest value of each
// channel (ChannelTable) and, when asked, records the decoded lines to CSV.
// Every line, decoded or not, goes out through LineReceived, so a front end
// shows all of them.
//
// UI thread only. Hand the monitor to SensorWork::Listen as the link's
// notify object, then Start it with the document the sensor was found with.
#include "engine/channelTable.h"
#include "engine/csvRecorder.h"
#include "engine/lineDecoder.h"

#include <QDateTime>
#include <QObject>
#include <functional>

class TComms;

// How a watch of the output ended.
enum class MonitorOutcome {
    Decoded,        // lines came and at least one decoded
    NoLines,        // nothing came
    NothingDecoded, // lines came, none of the report's shape
    RecordFailed,   // the CSV file could not be written
};

class LiveMonitor : public QObject
{
    Q_OBJECT
public:
    explicit LiveMonitor(QObject *parent = nullptr);

    // Decodes with document's report from the next line announced on (lines
    // already waiting are taken with it), so a recording and the receivers
    // of LineReceived can be set up first.
    void Start(TComms &link, const Document &document);
    // Takes no more lines; call it before the link goes (SensorWork::Release).
    void Stop();
    // Records decoded lines to path (see CsvRecorder); false when it cannot
    // be created (RecordError says why).
    bool Record(const QString &path);
    void StopRecording();
    QString RecordError() const { return recorder.Error(); }
    const CsvRecorder &Recorder() const { return recorder; }

    const LineDecoder &Decoder() const { return decoder; }
    ChannelTable &Table() { return table; }
    const ChannelTable &Table() const { return table; }
    // Lines received (blank ones aside).
    qint64 Lines() const { return lines; }
    MonitorOutcome Outcome() const;

    // The clock the lines are stamped with; a test may set its own.
    void SetClock(std::function<QDateTime()> clock) { now = std::move(clock); }

signals:
    void LineReceived(const DecodedLine &line, const QDateTime &time);
    // A write to the CSV file failed; the recording has stopped.
    void RecordingFailed(const QString &error);

protected:
    bool event(QEvent *event) override;

private:
    void Drain();
    void Take(const QString &text);

    TComms *link = nullptr;
    LineDecoder decoder;
    ChannelTable table;
    CsvRecorder recorder;
    qint64 lines = 0;
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); };
};
