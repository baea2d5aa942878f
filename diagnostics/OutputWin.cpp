#include "diagnostics/OutputWin.h"

#include "base/fileSave.h"
#include "base/translate.h"
#include "diagnostics/channelPanel.h"
#include "diagnostics/channelPlot.h"
#include "diagnostics/terminalText.h"
#include "ui/dialogs.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace
{
template <typename W> W *Named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

FileDialogRequest TextFileRequest(const QString &caption)
{
    FileDialogRequest request;
    request.caption = caption;
    request.filter = T(QStringLiteral("Text Files (*.txt);;All Files (*)"));
    request.defaultSuffix = QStringLiteral("txt");
    return request;
}
} // namespace

TfrmOutput::TfrmOutput(QWidget *parent) : QDialog(parent), now([] { return QDateTime::currentDateTime(); })
{
    setObjectName(QStringLiteral("frmOutput"));
    setWindowTitle(T(QStringLiteral("Terminal Output")));
    resize(860, 560);

    memoTerminal = Named(new QPlainTextEdit, "memoTerminal");
    memoTerminal->setReadOnly(true);
    memoTerminal->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoTerminal->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoTerminal->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoTerminal->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    memoTerminal->setMaximumBlockCount(kMaxLines);

    lbStatus = Named(new QLabel, "lbStatus");
    BitBtn1 = Named(new QPushButton(T(QStringLiteral("Close"))), "BitBtn1");
    BitBtn1->setAutoDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    statusTimer = new QTimer(this);
    statusTimer->setInterval(1000);
    connect(statusTimer, &QTimer::timeout, this, &TfrmOutput::UpdateStatus);
    connect(statusTimer, &QTimer::timeout, this, [this] { channels->SetNow(now().toMSecsSinceEpoch()); });

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lbStatus, 1);
    bottom->addWidget(BitBtn1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(BuildTools());
    layout->addWidget(BuildPages(), 1);
    layout->addLayout(bottom);
    UpdateStatus();
}

QWidget *TfrmOutput::BuildTools()
{
    buPause = Named(new QPushButton(T(QStringLiteral("Pause"))), "buPause");
    buPause->setCheckable(true);
    connect(buPause, &QPushButton::toggled, this, &TfrmOutput::PauseToggled);
    buClear = Named(new QPushButton(T(QStringLiteral("Clear"))), "buClear");
    connect(buClear, &QPushButton::clicked, this, &TfrmOutput::ClearShown);
    cbTimestamps = Named(new QCheckBox(T(QStringLiteral("Timestamps"))), "cbTimestamps");
    connect(cbTimestamps, &QCheckBox::toggled, this, &TfrmOutput::Redraw);
    cbHex = Named(new QCheckBox(T(QStringLiteral("Hex"))), "cbHex");
    connect(cbHex, &QCheckBox::toggled, this, &TfrmOutput::Redraw);
    buSave = Named(new QPushButton(T(QStringLiteral("Save..."))), "buSave");
    connect(buSave, &QPushButton::clicked, this, &TfrmOutput::SaveShown);
    buCapture = Named(new QPushButton(T(QStringLiteral("Capture..."))), "buCapture");
    buCapture->setCheckable(true);
    connect(buCapture, &QPushButton::toggled, this, &TfrmOutput::CaptureToggled);
    edSearch = Named(new QLineEdit, "edSearch");
    edSearch->setPlaceholderText(T(QStringLiteral("Find")));
    connect(edSearch, &QLineEdit::returnPressed, this, &TfrmOutput::FindNext);
    buFind = Named(new QPushButton(T(QStringLiteral("Find"))), "buFind");
    connect(buFind, &QPushButton::clicked, this, &TfrmOutput::FindNext);

    auto *tools = new QWidget;
    auto *row = new QHBoxLayout(tools);
    row->setContentsMargins(0, 0, 0, 0);
    for (QWidget *widget : std::initializer_list<QWidget *>{buPause, buClear, cbTimestamps, cbHex, buSave, buCapture})
        row->addWidget(widget);
    row->addStretch();
    row->addWidget(edSearch);
    row->addWidget(buFind);
    for (QPushButton *button : {buPause, buClear, buSave, buCapture, buFind})
        button->setAutoDefault(false);
    return tools;
}

QWidget *TfrmOutput::BuildPages()
{
    channels = Named(new TChannelPanel(decoder), "channelPanel");
    connect(channels, &TChannelPanel::tickChanged, this, &TfrmOutput::TickChanged);
    plot = Named(new TChannelPlot, "channelPlot");
    tabs = Named(new QTabWidget, "tabsOutput");
    tabs->addTab(memoTerminal, T(QStringLiteral("Terminal")));
    tabs->addTab(channels, T(QStringLiteral("Channels")));
    tabs->addTab(plot, T(QStringLiteral("Plot")));
    return tabs;
}

void TfrmOutput::SetDocument(const Document &newDocument)
{
    document = newDocument;
}

void TfrmOutput::SetClock(std::function<QDateTime()> clock)
{
    now = std::move(clock);
}

void TfrmOutput::AppendLine(const QString &text)
{
    if (TerminalLineText(text).isEmpty())
        return; // only a line end: nothing was received
    const Received line{now(), text};
    ++receivedCount;
    Decode(text, line.time);
    recent.push_back(line.time);
    lines.push_back(line);
    if (lines.size() > std::size_t(kMaxLines))
        lines.pop_front();
    WriteCapture(line);
    if (buPause->isChecked())
        held = std::min(held + 1, kMaxLines);
    else
        ShowLine(line);
    UpdateStatus();
}

void TfrmOutput::Decode(const QString &text, const QDateTime &time)
{
    const DecodedLine line = decoder.Decode(text);
    if (line.status == LineStatus::BadChecksum)
        ++errorCount;
    channels->Take(line, time);
    if (line.status != LineStatus::Decoded || !line.valid)
        return; // data the sensor marks not valid is no measurement to plot
    const qint64 ms = time.toMSecsSinceEpoch();
    for (const ChannelValue &value : line.values)
        if (value.numeric)
            plot->Add(value.channel, ms, value.number);
}

void TfrmOutput::TickChanged(int channel, bool ticked)
{
    if (channel >= 0 && channel < decoder.Channels().size())
        plot->SetShown(channel, decoder.Channels().at(channel), ticked);
}

QString TfrmOutput::Shown(const Received &line) const
{
    const QString text = cbHex->isChecked() ? HexLine(line.raw) : TerminalLineText(line.raw);
    return cbTimestamps->isChecked() ? WithTimestamp(line.time, text) : text;
}

void TfrmOutput::ShowLine(const Received &line)
{
    // Follow the end only while the user is there; reading back stays put.
    QScrollBar *bar = memoTerminal->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    const int kept = bar->value();
    memoTerminal->appendPlainText(Shown(line));
    bar->setValue(atEnd ? bar->maximum() : kept);
}

void TfrmOutput::Redraw()
{
    memoTerminal->clear();
    const std::size_t shown = lines.size() - std::size_t(held);
    QStringList text;
    for (std::size_t i = 0; i < shown; ++i)
        text << Shown(lines[i]);
    if (!text.isEmpty())
        memoTerminal->setPlainText(text.join(QLatin1Char('\n')));
    QScrollBar *bar = memoTerminal->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void TfrmOutput::PauseToggled(bool paused)
{
    buPause->setText(paused ? T(QStringLiteral("Resume")) : T(QStringLiteral("Pause")));
    plot->SetPaused(paused);
    if (paused || held == 0)
        return;
    const std::size_t first = lines.size() - std::size_t(held);
    held = 0;
    for (std::size_t i = first; i < lines.size(); ++i)
        ShowLine(lines[i]);
}

void TfrmOutput::ClearShown()
{
    // Held lines were never shown, so they stay for the resume.
    const auto shown = std::ptrdiff_t(lines.size()) - held;
    lines.erase(lines.begin(), lines.begin() + shown);
    memoTerminal->clear();
}

void TfrmOutput::SaveShown()
{
    const QString path = Dialogs().SaveFileName(TextFileRequest(T(QStringLiteral("Save Terminal Output"))));
    if (path.isEmpty())
        return;
    QString error;
    const QString text = memoTerminal->toPlainText();
    const QByteArray data = text.isEmpty() ? QByteArray() : (text + QLatin1Char('\n')).toUtf8();
    if (!SaveFileWhole(path, data, &error))
        Dialogs().Message(T(QStringLiteral("Unable to save the terminal output")) + QStringLiteral("\n") + error,
                          T(QStringLiteral("ERROR")));
}

void TfrmOutput::CaptureToggled(bool on)
{
    if (!on) {
        StopCapture();
        return;
    }
    const QString path = Dialogs().SaveFileName(TextFileRequest(T(QStringLiteral("Capture Terminal Output"))));
    capture.setFileName(path);
    if (path.isEmpty() || !capture.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        if (!path.isEmpty())
            Dialogs().Message(T(QStringLiteral("Unable to write the capture file")) + QStringLiteral("\n") + path +
                                  QStringLiteral(": ") + capture.errorString(),
                              T(QStringLiteral("ERROR")));
        const QSignalBlocker quiet(buCapture);
        buCapture->setChecked(false);
        return;
    }
    buCapture->setText(T(QStringLiteral("Stop Capture")));
}

void TfrmOutput::WriteCapture(const Received &line)
{
    if (!capture.isOpen())
        return;
    // One write per whole line, flushed, so a reader never sees half a line.
    const QByteArray data = (Shown(line) + QLatin1Char('\n')).toUtf8();
    if (capture.write(data) == data.size() && capture.flush())
        return;
    const QString reason = capture.fileName() + QStringLiteral(": ") + capture.errorString();
    buCapture->setChecked(false);
    Dialogs().Message(T(QStringLiteral("Unable to write the capture file")) + QStringLiteral("\n") + reason,
                      T(QStringLiteral("ERROR")));
}

void TfrmOutput::StopCapture()
{
    capture.close();
    const QSignalBlocker quiet(buCapture);
    buCapture->setChecked(false);
    buCapture->setText(T(QStringLiteral("Capture...")));
}

void TfrmOutput::FindNext()
{
    const QString wanted = edSearch->text();
    if (wanted.isEmpty())
        return;
    if (memoTerminal->find(wanted))
        return;
    memoTerminal->moveCursor(QTextCursor::Start); // wrap around once
    if (!memoTerminal->find(wanted))
        lbStatus->setText(T(QStringLiteral("Not found")) + QStringLiteral(": ") + wanted);
}

void TfrmOutput::UpdateStatus()
{
    const QDateTime cutoff = now().addMSecs(-kRateWindowMs);
    while (!recent.empty() && recent.front() <= cutoff)
        recent.pop_front();
    const double rate = double(recent.size()) * 1000.0 / kRateWindowMs;
    lbStatus->setText(T(QStringLiteral("Lines: %1   Lines/s: %2   Errors: %3"))
                          .arg(receivedCount)
                          .arg(rate, 0, 'f', 1)
                          .arg(errorCount));
}

void TfrmOutput::showEvent(QShowEvent *event)
{
    // A restore from minimised is not a new viewing.
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TfrmOutput::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous()) {
        statusTimer->stop();
        StopCapture();
        channels->StopRecording();
    }
    QDialog::hideEvent(event);
}

void TfrmOutput::FormShow()
{
    memoTerminal->clear();
    lines.clear();
    recent.clear();
    held = 0;
    receivedCount = 0;
    errorCount = 0;
    decoder = LineDecoder(document);
    channels->Clear();
    plot->Clear();
    {
        const QSignalBlocker quiet(buPause);
        buPause->setChecked(false);
        buPause->setText(T(QStringLiteral("Pause")));
    }
    plot->SetPaused(false);
    UpdateStatus();
    statusTimer->start();
}
