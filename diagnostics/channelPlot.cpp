#include "diagnostics/channelPlot.h"

#include "base/translate.h"
#include "diagnostics/plotView.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSpinBox>
#include <QTimer>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace
{
constexpr qint64 kMinuteMs = 60 * 1000;

QString SeriesName(const Channel &channel)
{
    return channel.unit.isEmpty() ? channel.name : channel.name + QStringLiteral(" [") + channel.unit + ']';
}
} // namespace

TChannelPlot::TChannelPlot(QWidget *parent) : QWidget(parent)
{
    chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    axisTime = new QDateTimeAxis;
    axisTime->setFormat(QStringLiteral("hh:mm:ss"));
    axisTime->setTickCount(5);
    chart->addAxis(axisTime, Qt::AlignBottom);
    connect(axisTime, &QDateTimeAxis::rangeChanged, this, &TChannelPlot::UserMoved);

    view = new TPlotView(chart);
    view->setObjectName(QStringLiteral("plotView"));
    view->setToolTip(T(QStringLiteral("Wheel: zoom. Drag: zoom to a box. Right click: zoom out. "
                                      "Middle button or Shift+drag: pan.")));

    refreshTimer = new QTimer(this);
    refreshTimer->setSingleShot(true);
    refreshTimer->setInterval(kRefreshMs);
    connect(refreshTimer, &QTimer::timeout, this, &TChannelPlot::Refresh);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(BuildTools());
    layout->addWidget(view, 1);
}

QWidget *TChannelPlot::BuildTools()
{
    auto *label = new QLabel(T(QStringLiteral("Minutes kept:")));
    label->setObjectName(QStringLiteral("lbMinutes"));
    sbMinutes = new QSpinBox;
    sbMinutes->setObjectName(QStringLiteral("sbMinutes"));
    sbMinutes->setRange(1, kMaxMinutes);
    sbMinutes->setValue(kDefaultMinutes);
    label->setBuddy(sbMinutes);
    connect(sbMinutes, &QSpinBox::valueChanged, this, &TChannelPlot::MinutesChanged);
    buResetZoom = new QPushButton(T(QStringLiteral("Reset Zoom")));
    buResetZoom->setObjectName(QStringLiteral("buResetZoom"));
    buResetZoom->setAutoDefault(false);
    connect(buResetZoom, &QPushButton::clicked, this, &TChannelPlot::ResetZoom);

    auto *tools = new QWidget;
    auto *row = new QHBoxLayout(tools);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(label);
    row->addWidget(sbMinutes);
    row->addStretch();
    row->addWidget(buResetZoom);
    return tools;
}

qint64 TChannelPlot::WindowMs() const
{
    return qint64(sbMinutes->value()) * kMinuteMs;
}

int TChannelPlot::KeptMinutes() const
{
    return sbMinutes->value();
}

void TChannelPlot::Add(int channel, qint64 time, double value)
{
    Trace &trace = traces[channel];
    trace.points.emplace_back(double(time), value);
    newest = std::max(newest, time);
    const double cutoff = double(newest - WindowMs());
    while (!trace.points.empty() && trace.points.front().x() < cutoff)
        trace.points.pop_front();
    if (trace.series)
        ScheduleRefresh();
}

void TChannelPlot::ScheduleRefresh()
{
    if (!paused && !refreshTimer->isActive())
        refreshTimer->start();
}

void TChannelPlot::SetShown(int channel, const Channel &description, bool shown)
{
    // Adding and removing lines moves the axes; that is not the user's doing.
    const QScopedValueRollback ours(settingRanges, true);
    Trace &trace = traces[channel];
    if (!shown) {
        Hide(trace);
        FitRanges();
        return;
    }
    if (trace.series)
        return;
    trace.unit = description.unit;
    trace.series = new QLineSeries;
    trace.series->setName(SeriesName(description));
    chart->addSeries(trace.series);
    trace.series->attachAxis(axisTime);
    // A chart shown while it had no line does not draw an axis that gets one
    // later until the axis is shown anew.
    axisTime->setVisible(false);
    axisTime->setVisible(true);
    trace.series->attachAxis(AxisFor(trace.unit));
    Refresh();
}

void TChannelPlot::Hide(Trace &trace)
{
    if (!trace.series)
        return;
    chart->removeSeries(trace.series);
    delete trace.series;
    trace.series = nullptr;
    ReleaseAxis(trace.unit);
}

QValueAxis *TChannelPlot::AxisFor(const QString &unit)
{
    if (QValueAxis *axis = axisOfUnit.value(unit))
        return axis;
    auto *axis = new QValueAxis;
    axis->setTitleText(unit);
    axis->setLabelFormat(QStringLiteral("%.6g"));
    // Units alternate sides so their axes do not pile up on one.
    chart->addAxis(axis, axisOfUnit.size() % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
    connect(axis, &QValueAxis::rangeChanged, this, &TChannelPlot::UserMoved);
    axisOfUnit.insert(unit, axis);
    return axis;
}

void TChannelPlot::ReleaseAxis(const QString &unit)
{
    for (const auto &[channel, trace] : traces)
        if (trace.series && trace.unit == unit)
            return;
    QValueAxis *axis = axisOfUnit.take(unit);
    if (!axis)
        return;
    chart->removeAxis(axis);
    delete axis;
}

void TChannelPlot::SetPaused(bool nowPaused)
{
    paused = nowPaused;
    if (paused)
        refreshTimer->stop();
    else
        Refresh(); // catch up at once
}

void TChannelPlot::Refresh()
{
    if (paused)
        return;
    DropOlderThan(newest - WindowMs());
    for (auto &[channel, trace] : traces)
        if (trace.series)
            trace.series->replace(QList<QPointF>(trace.points.begin(), trace.points.end()));
    shownNewest = newest;
    FitRanges();
}

void TChannelPlot::DropOlderThan(qint64 cutoff)
{
    for (auto &[channel, trace] : traces)
        while (!trace.points.empty() && trace.points.front().x() < double(cutoff))
            trace.points.pop_front();
}

void TChannelPlot::FitRanges()
{
    if (!following || shownNewest == 0)
        return;
    const QScopedValueRollback ours(settingRanges, true);
    axisTime->setRange(QDateTime::fromMSecsSinceEpoch(shownNewest - WindowMs()),
                       QDateTime::fromMSecsSinceEpoch(shownNewest));
    for (auto found = axisOfUnit.cbegin(); found != axisOfUnit.cend(); ++found)
        FitUnit(found.key(), found.value());
}

void TChannelPlot::FitUnit(const QString &unit, QValueAxis *axis)
{
    double low = 0, high = 0;
    bool any = false;
    for (const auto &[channel, trace] : traces) {
        if (!trace.series || trace.unit != unit)
            continue;
        for (const QPointF &point : trace.points) {
            low = any ? std::min(low, point.y()) : point.y();
            high = any ? std::max(high, point.y()) : point.y();
            any = true;
        }
    }
    if (!any)
        return;
    const double margin = high > low ? (high - low) * 0.05 : std::max(1.0, std::abs(high) * 0.05);
    axis->setRange(low - margin, high + margin);
}

void TChannelPlot::MinutesChanged()
{
    DropOlderThan(newest - WindowMs());
    following = true;
    if (paused)
        return;
    Refresh();
}

void TChannelPlot::ResetZoom()
{
    following = true;
    FitRanges();
}

void TChannelPlot::UserMoved()
{
    if (!settingRanges)
        following = false;
}

void TChannelPlot::Clear()
{
    const QScopedValueRollback ours(settingRanges, true);
    for (auto &[channel, trace] : traces)
        Hide(trace);
    traces.clear();
    newest = shownNewest = 0;
    following = true;
    refreshTimer->stop();
}

qsizetype TChannelPlot::KeptPoints() const
{
    qsizetype count = 0;
    for (const auto &[channel, trace] : traces)
        count += qsizetype(trace.points.size());
    return count;
}

QLineSeries *TChannelPlot::SeriesOf(int channel) const
{
    const auto found = traces.find(channel);
    return found == traces.end() ? nullptr : found->second.series;
}
