#pragma once
#include "engine/lineDecoder.h"

#include <QHash>
#include <QPointF>
#include <QWidget>
#include <deque>
#include <map>

class QChart;
class QDateTimeAxis;
class QLineSeries;
class QPushButton;
class QSpinBox;
class QTimer;
class QValueAxis;
class TPlotView;

// A live plot of the channels the user chose: time across, one value axis
// per unit. The values of every channel are kept for the last few minutes
// (the spin box; older ones are dropped as new ones come, so memory stays
// bounded), so a channel chosen later shows its recent past at once. The
// chart is redrawn at most every kRefreshMs, not per line. While the user
// has zoomed or panned, the view stays where it is; Reset Zoom goes back to
// following the latest minutes. While paused, values are still kept and
// the chart catches up on resume.
class TChannelPlot : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kDefaultMinutes = 10;
    static constexpr int kMaxMinutes = 24 * 60;
    static constexpr int kRefreshMs = 500;

    explicit TChannelPlot(QWidget *parent = nullptr);

    // A value of channel at time (milliseconds since the epoch).
    void Add(int channel, qint64 time, double value);
    // Shows or hides channel's line.
    void SetShown(int channel, const Channel &description, bool shown);
    void SetPaused(bool paused);
    // Forgets every value and line (a new viewing).
    void Clear();

    int KeptMinutes() const;
    qsizetype KeptPoints() const;
    QChart *Chart() const { return chart; }
    // The line of a shown channel, or null.
    QLineSeries *SeriesOf(int channel) const;
    bool Following() const { return following; }

private:
    struct Trace {
        std::deque<QPointF> points; // x: milliseconds since the epoch
        QLineSeries *series = nullptr;
        QString unit;
    };

    QWidget *BuildTools();
    void ScheduleRefresh();
    void Refresh();
    void DropOlderThan(qint64 cutoff);
    void FitRanges();
    void FitUnit(const QString &unit, QValueAxis *axis);
    QValueAxis *AxisFor(const QString &unit);
    void ReleaseAxis(const QString &unit);
    void Hide(Trace &trace);
    void MinutesChanged();
    void ResetZoom();
    void UserMoved();
    qint64 WindowMs() const;

    QChart *chart = nullptr;
    TPlotView *view = nullptr;
    QDateTimeAxis *axisTime = nullptr;
    QSpinBox *sbMinutes = nullptr;
    QPushButton *buResetZoom = nullptr;
    QTimer *refreshTimer = nullptr;

    std::map<int, Trace> traces; // by channel
    QHash<QString, QValueAxis *> axisOfUnit;
    qint64 newest = 0;      // the latest time kept
    qint64 shownNewest = 0; // the latest time on the chart
    bool paused = false;
    bool following = true;
    bool settingRanges = false; // our own range changes are not the user's
};
