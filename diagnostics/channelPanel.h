#pragma once
#include "engine/channelTable.h"
#include "engine/csvRecorder.h"

#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;
class QTableView;
class TChannelTicks;

// The decoded side of the terminal: the latest value of each channel with
// its unit and age (a tick box on each channel chooses it for the plot),
// the counts of lines decoded, not decoded and marked not valid, the lines
// that did not decode with why, and recording the decoded lines to CSV.
class TChannelPanel : public QWidget
{
    Q_OBJECT
public:
    // decoder is the one the lines are decoded with; it outlives the panel.
    explicit TChannelPanel(const LineDecoder &decoder, QWidget *parent = nullptr);

    // One line received at time, as decoder made it.
    void Take(const DecodedLine &line, const QDateTime &time);
    // Ages are shown relative to now (milliseconds since the epoch).
    void SetNow(qint64 now);
    // Forgets every channel, count and line, and stops a recording.
    void Clear();
    void StopRecording();

    const ChannelTable &Table() const { return table; }
    bool IsTicked(int channel) const;

signals:
    void tickChanged(int channel, bool ticked);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *BuildRecordRow();
    void RecordToggled(bool on);
    void ShowRejected(const DecodedLine &line, const QDateTime &time);
    void UpdateCounts();

    const LineDecoder &decoder;
    ChannelTable table;
    TChannelTicks *ticks = nullptr;
    CsvRecorder recorder;
    QTableView *tvChannels = nullptr;
    QLabel *lbCounts = nullptr;
    QListWidget *lvRejected = nullptr;
    QPushButton *buRecord = nullptr;
};
