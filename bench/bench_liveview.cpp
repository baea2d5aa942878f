// The output window's live view under a sensor's stream: each line goes
// through the terminal, the decoder, the channel table and the plot, as the
// main window hands lines over.
//
//   bench_liveview DATA_FOLDER [--seconds N] [--shot FILE.png]
//
// DATA_FOLDER holds the templates and ordaDeviceUnits.tdx (BUILD/app). Runs
//   1. decoding alone: CPU time per line;
//   2. one hour at 10 lines/s in simulated time (the window's clock is fed,
//      nothing waits): the process's resident memory every ten minutes and
//      its peak, and CPU time per line;
//   3. N seconds (default 60) in real time at 1 and at 10 lines/s with the
//      Plot page shown and already holding ten minutes of lines: CPU time
//      of the process as a share of one core.
// With --shot, the window with its plot is saved as a picture at the end.
// Run it on a display (Xvfb) to count real painting; offscreen also works.
#include "diagnostics/OutputWin.h"
#include "diagnostics/channelPlot.h"
#include "tests/support/simulatedLines.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>

namespace
{
const QString kProduct = QStringLiteral("Tempris KDX600-10 PV9");
const QString kReport = QStringLiteral("NODE DIR SPEED GUSTSPEED TEMP RH PRESS SOLARRAD VOLT STATUS");
const QStringList kPlotted = {QStringLiteral("DIR"), QStringLiteral("SPEED"), QStringLiteral("TEMP"),
                              QStringLiteral("PRESS")};

qint64 Nanoseconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The process's resident memory now, in KiB.
long ResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

long PeakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void DecodeAlone(const SensorLines &sensor)
{
    LineDecoder decoder(sensor.document);
    const int count = 200000;
    const qint64 start = Nanoseconds(CLOCK_THREAD_CPUTIME_ID);
    int decoded = 0;
    for (int i = 0; i < count; ++i)
        decoded += decoder.Decode(sensor.lines[i % sensor.lines.size()]).status == LineStatus::Decoded;
    const double perLine = double(Nanoseconds(CLOCK_THREAD_CPUTIME_ID) - start) / count / 1000.0;
    std::printf("decode: %.2f us per line (%d of %d decoded, %lld words)\n", perLine, decoded, count,
                qlonglong(kReport.count(QLatin1Char(' ')) + 1));
}

// A window showing the plot of the usual channels, with its clock.
struct LiveWindow {
    TfrmOutput window;
    QDateTime clock;
    bool realClock = false;
    int fed = 0;

    // The first line comes at start.
    LiveWindow(const SensorLines &sensor, const QDateTime &start) : clock(start)
    {
        window.SetClock([this] { return realClock ? QDateTime::currentDateTime() : clock; });
        window.SetDocument(sensor.document);
        window.resize(1000, 640);
        window.show();
        window.AppendLine(sensor.lines.first()); // the channels appear with the first line
        auto *table = window.findChild<QTableView *>(QStringLiteral("tvChannels"));
        QAbstractItemModel *model = table->model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (kPlotted.contains(model->index(row, 0).data().toString()))
                model->setData(model->index(row, 0), Qt::Checked, Qt::CheckStateRole);
        window.findChild<QTabWidget *>(QStringLiteral("tabsOutput"))->setCurrentIndex(2);
        QApplication::processEvents();
    }
    void Feed(const SensorLines &sensor) { window.AppendLine(sensor.lines[++fed % sensor.lines.size()]); }
};

void SimulatedHour(const SensorLines &sensor)
{
    LiveWindow live(sensor, QDateTime::currentDateTime());
    const long before = ResidentKiB();
    const qint64 start = Nanoseconds(CLOCK_PROCESS_CPUTIME_ID);
    const int lines = 3600 * 10;
    std::printf("simulated hour at 10 lines/s: resident memory before %ld KiB\n", before);
    for (int i = 1; i <= lines; ++i) {
        live.clock = live.clock.addMSecs(100);
        live.Feed(sensor);
        if (i % 10 == 0)
            QApplication::processEvents(); // a second of the sensor: the window's timers and painting get their turn
        if (i % 6000 == 0)
            std::printf("  minute %2d: resident %ld KiB, plot keeps %lld points\n", i / 600, ResidentKiB(),
                        qlonglong(live.window.findChild<TChannelPlot *>()->KeptPoints()));
    }
    const double perLine = double(Nanoseconds(CLOCK_PROCESS_CPUTIME_ID) - start) / lines / 1000.0;
    std::printf("  CPU %.1f us per line through terminal, decoder, table and plot; peak resident %ld KiB\n", perLine,
                PeakKiB());
}

void RealTime(const SensorLines &sensor, int linesPerSecond, int seconds, const QString &shot)
{
    // The plot starts full (the ten minutes before now at this rate), as
    // after ten minutes of watching: its heaviest steady state.
    LiveWindow live(sensor, QDateTime::currentDateTime().addSecs(-TChannelPlot::kDefaultMinutes * 60));
    const int before = TChannelPlot::kDefaultMinutes * 60 * linesPerSecond;
    for (int i = 1; i < before; ++i) {
        live.clock = live.clock.addMSecs(1000 / linesPerSecond);
        live.Feed(sensor);
    }
    live.realClock = true;
    live.fed = 0;
    QTimer feeder;
    feeder.setInterval(1000 / linesPerSecond);
    QObject::connect(&feeder, &QTimer::timeout, [&] { live.Feed(sensor); });
    QTimer::singleShot(seconds * 1000, qApp, &QApplication::quit);
    const qint64 cpu = Nanoseconds(CLOCK_PROCESS_CPUTIME_ID);
    const qint64 wall = Nanoseconds(CLOCK_MONOTONIC);
    feeder.start();
    QApplication::exec();
    const double share = 100.0 * double(Nanoseconds(CLOCK_PROCESS_CPUTIME_ID) - cpu) /
                         double(Nanoseconds(CLOCK_MONOTONIC) - wall);
    std::printf("real time, %2d lines/s for %d s: %d lines, CPU %.2f %% of a core\n", linesPerSecond, seconds,
                live.fed, share);
    if (!shot.isEmpty() && live.window.grab().save(shot))
        std::printf("  picture of the window: %s\n", qPrintable(shot));
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: bench_liveview DATA_FOLDER [--seconds N] [--shot FILE.png]\n");
        return 2;
    }
    const QString folder = args.takeFirst() + QLatin1Char('/');
    int seconds = 60;
    QString shot;
    for (qsizetype i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--seconds"))
            seconds = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--shot"))
            shot = args[i + 1];
    }
    QTemporaryDir work;
    const SensorLines sensor = SimulatedLines(folder, kProduct, {{"REPORT", kReport}}, work.path(), 600);
    if (sensor.lines.isEmpty()) {
        std::fprintf(stderr, "no simulated sensor from %s\n", qPrintable(folder));
        return 1;
    }
    std::printf("report: %s; plotted: %s; platform: %s\n", qPrintable(kReport), qPrintable(kPlotted.join(' ')),
                qPrintable(QApplication::platformName()));
    DecodeAlone(sensor);
    SimulatedHour(sensor);
    RealTime(sensor, 1, seconds, QString());
    RealTime(sensor, 10, seconds, shot);
    return 0;
}
