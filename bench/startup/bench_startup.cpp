// Start-up time: from launching a process to the main window shown, with
// the shipped data, median of several runs. Each run is a fresh process (the
// program's own start-up path) so dynamic loading and Qt's set-up count.
//   build/app/bench_startup [RUNS]
#include "app/mainwindow.h"
#include "app/startup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <cstdio>

namespace {
int showOnce(int argc, char *argv[])
{
    QApplication application(argc, argv);
    PrepareApplication(application);
    std::unique_ptr<TfrmMain> window = CreateMainWindow({});
    if (!window)
        return 1;
    window->show();
    while (window->windowHandle() == nullptr || !window->windowHandle()->isExposed())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents();
    std::printf("shown\n");
    std::fflush(stdout);
    return 0;
}

double runOnce(const QString &program, const QString &dataFolder)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TALVEK_DATA_DIR"), dataFolder);
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    child.start(program, {QStringLiteral("--once")});
    while (child.waitForReadyRead(10000) || child.state() == QProcess::Running) {
        if (child.readAll().contains("shown"))
            break;
    }
    const double milliseconds = timer.nsecsElapsed() / 1e6;
    child.waitForFinished();
    return child.exitCode() == 0 ? milliseconds : -1;
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--once") == 0)
        return showOnce(argc, argv);
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 11;
    QTemporaryDir dataFolder;
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const double ms = runOnce(QCoreApplication::applicationFilePath(), dataFolder.path());
        if (ms < 0) {
            std::fprintf(stderr, "run %d failed\n", run);
            return 1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("start-up to main window shown: median %.1f ms, min %.1f ms, max %.1f ms over %d runs\n",
                times[times.size() / 2], times.front(), times.back(), runs);
    return 0;
}
