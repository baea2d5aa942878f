#pragma once
#include "engine/lineDecoder.h"

#include <QDateTime>
#include <QDialog>
#include <QFile>
#include <deque>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimer;
class TChannelPanel;
class TChannelPlot;

// The terminal window that shows the sensor's continuous output. The main
// window shows it modally and appends every received line; the memo starts
// empty on every show and keeps only the latest kMaxLines lines, so a long
// session does not grow without bound. While paused, lines are still received,
// counted and captured; they are shown on resume (the latest kMaxLines).
// Each line is also decoded with the report of the document the window was
// given: the Channels page shows the latest value of each channel, the Plot
// page plots the ticked ones (paused with the terminal).
class TfrmOutput : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kMaxLines = 5000;
    static constexpr int kRateWindowMs = 10000;

    explicit TfrmOutput(QWidget *parent = nullptr);

    // Adds one received line (the CR and LF around it are dropped); the view
    // follows the end unless the user has scrolled up.
    void AppendLine(const QString &text);

    // The clock that stamps received lines; tests give a fixed one.
    void SetClock(std::function<QDateTime()> clock);

    // The lines are decoded with document's report (the settings the sensor
    // was read with, or its template) from the next showing on.
    void SetDocument(const Document &document);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    struct Received {
        QDateTime time;
        QString raw;
    };

    void FormShow();
    QWidget *BuildTools();
    QWidget *BuildPages();
    void Decode(const QString &text, const QDateTime &time);
    void TickChanged(int channel, bool ticked);
    QString Shown(const Received &line) const;
    void ShowLine(const Received &line);
    void Redraw();
    void PauseToggled(bool paused);
    void ClearShown();
    void SaveShown();
    void CaptureToggled(bool on);
    void WriteCapture(const Received &line);
    void StopCapture();
    void FindNext();
    void UpdateStatus();

    QPlainTextEdit *memoTerminal = nullptr;
    QPushButton *buPause = nullptr;
    QPushButton *buClear = nullptr;
    QCheckBox *cbTimestamps = nullptr;
    QCheckBox *cbHex = nullptr;
    QPushButton *buSave = nullptr;
    QPushButton *buCapture = nullptr;
    QLineEdit *edSearch = nullptr;
    QPushButton *buFind = nullptr;
    QTabWidget *tabs = nullptr;
    TChannelPanel *channels = nullptr;
    TChannelPlot *plot = nullptr;
    QLabel *lbStatus = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QTimer *statusTimer = nullptr;

    std::function<QDateTime()> now;
    Document document;
    LineDecoder decoder;
    std::deque<Received> lines; // the latest kMaxLines, shown or held
    int held = 0;               // lines at the end of `lines` not shown yet (paused)
    qint64 receivedCount = 0;
    qint64 errorCount = 0;
    std::deque<QDateTime> recent; // receive times within the rate window
    QFile capture;
};
