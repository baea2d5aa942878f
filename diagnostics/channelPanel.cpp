#include "diagnostics/channelPanel.h"

#include "base/translate.h"
#include "diagnostics/channelTicks.h"
#include "diagnostics/terminalText.h"
#include "ui/dialogs.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

TChannelPanel::TChannelPanel(const LineDecoder &lineDecoder, QWidget *parent) : QWidget(parent), decoder(lineDecoder)
{
    ticks = new TChannelTicks(this);
    ticks->setSourceModel(&table);
    connect(ticks, &TChannelTicks::tickChanged, this, &TChannelPanel::tickChanged);

    tvChannels = new QTableView;
    tvChannels->setObjectName(QStringLiteral("tvChannels"));
    tvChannels->setModel(ticks);
    tvChannels->setSelectionMode(QAbstractItemView::NoSelection);
    tvChannels->verticalHeader()->hide();
    tvChannels->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tvChannels->horizontalHeader()->setStretchLastSection(true);

    lvRejected = new QListWidget;
    lvRejected->setObjectName(QStringLiteral("lvRejected"));
    // One line of text each: their sizes need not be measured line by line.
    lvRejected->setUniformItemSizes(true);
    auto *rejectedTitle = new QLabel(T(QStringLiteral("Lines that did not decode:")));
    rejectedTitle->setObjectName(QStringLiteral("lbRejected"));
    auto *rejectedBox = new QWidget;
    auto *rejectedLayout = new QVBoxLayout(rejectedBox);
    rejectedLayout->setContentsMargins(0, 0, 0, 0);
    rejectedLayout->addWidget(rejectedTitle);
    rejectedLayout->addWidget(lvRejected, 1);

    auto *split = new QSplitter(Qt::Vertical);
    split->addWidget(tvChannels);
    split->addWidget(rejectedBox);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addWidget(BuildRecordRow());
    UpdateCounts();
}

QWidget *TChannelPanel::BuildRecordRow()
{
    lbCounts = new QLabel;
    lbCounts->setObjectName(QStringLiteral("lbCounts"));
    buRecord = new QPushButton(T(QStringLiteral("Record CSV...")));
    buRecord->setObjectName(QStringLiteral("buRecord"));
    buRecord->setCheckable(true);
    buRecord->setAutoDefault(false);
    connect(buRecord, &QPushButton::toggled, this, &TChannelPanel::RecordToggled);
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(lbCounts, 1);
    layout->addWidget(buRecord);
    return row;
}

void TChannelPanel::Take(const DecodedLine &line, const QDateTime &time)
{
    table.Add(line, decoder, time.toMSecsSinceEpoch());
    if (line.status == LineStatus::BadChecksum || line.status == LineStatus::Undecodable)
        ShowRejected(line, time);
    if (recorder.IsOpen() && !recorder.Record(line, time)) {
        const QString reason = recorder.Error();
        StopRecording();
        Dialogs().Message(T(QStringLiteral("Unable to write the CSV file")) + QStringLiteral("\n") + reason,
                          T(QStringLiteral("ERROR")));
    }
    UpdateCounts();
}

void TChannelPanel::ShowRejected(const DecodedLine &line, const QDateTime &time)
{
    lvRejected->addItem(WithTimestamp(time, TerminalLineText(line.raw)) + QStringLiteral("   (") + line.reason + ')');
    while (lvRejected->count() > ChannelTable::kKeptRejected)
        delete lvRejected->takeItem(0);
    if (lvRejected->isVisible())
        lvRejected->scrollToBottom();
}

void TChannelPanel::showEvent(QShowEvent *event)
{
    lvRejected->scrollToBottom(); // the list was not followed while out of sight
    QWidget::showEvent(event);
}

void TChannelPanel::UpdateCounts()
{
    lbCounts->setText(T(QStringLiteral("Decoded: %1   Not decoded: %2   Not valid: %3"))
                          .arg(table.Decoded())
                          .arg(table.Undecodable() + table.BadChecksums())
                          .arg(table.NotValid()));
}

void TChannelPanel::SetNow(qint64 now)
{
    table.SetNow(now);
}

bool TChannelPanel::IsTicked(int channel) const
{
    return ticks->IsTicked(channel);
}

void TChannelPanel::Clear()
{
    StopRecording();
    ticks->Forget();
    table.Clear();
    lvRejected->clear();
    UpdateCounts();
}

void TChannelPanel::RecordToggled(bool on)
{
    if (!on) {
        StopRecording();
        return;
    }
    FileDialogRequest request;
    request.caption = T(QStringLiteral("Record Channels to CSV"));
    request.filter = T(QStringLiteral("CSV Files (*.csv);;All Files (*)"));
    request.defaultSuffix = QStringLiteral("csv");
    const QString path = Dialogs().SaveFileName(request);
    if (!path.isEmpty() && recorder.Open(path, decoder.Channels())) {
        buRecord->setText(T(QStringLiteral("Stop Recording")));
        return;
    }
    if (!path.isEmpty())
        Dialogs().Message(T(QStringLiteral("Unable to write the CSV file")) + QStringLiteral("\n") + recorder.Error(),
                          T(QStringLiteral("ERROR")));
    const QSignalBlocker quiet(buRecord);
    buRecord->setChecked(false);
}

void TChannelPanel::StopRecording()
{
    recorder.Close();
    const QSignalBlocker quiet(buRecord);
    buRecord->setChecked(false);
    buRecord->setText(T(QStringLiteral("Record CSV...")));
}
