// Time the editor takes on the largest shipped template.
//
//   bench_editor DATA_FOLDER [RUNS]
//
// DATA_FOLDER holds the shipped data (the build's app folder). Connected to
// a Tempris type 5E at protocol 9 with every option, the engine builds the
// pages of tempris_type_5e_pv9_template.tdx RUNS times (default 50) and runs
// the difference view against a retrieved configuration RUNS x 10 times.
// Prints the median, minimum and maximum of each. Runs offscreen unless a
// platform is given. The debug log goes to standard error (2>/dev/null
// hides it).
#include "base/appdata.h"
#include "base/log.h"
#include "config/config.h"
#include "config/summary.h"
#include "diagnostics/sessionReport.h"
#include "settings/guiSettings.h"
#include "ui/dialogs.h"

#include "bench/benchHost.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace
{
const char *const kTemplate = "tempris_type_5e_pv9_template.tdx";
const char *const kReply = "2.14 PV=9 0117 [0] \"TEMPRIS KDX556-5E-FFFF\"";

// Any box during a run is a failure of the run.
class CountingDialogs : public IDialogs
{
public:
    int boxes = 0;
    void Message(const QString &text, const QString &caption) override
    {
        ++boxes;
        std::fprintf(stderr, "box: %s / %s\n", qPrintable(caption), qPrintable(text));
    }
    bool Question(const QString &text, const QString &caption) override
    {
        Message(text, caption);
        return false;
    }
    QString OpenFileName(const FileDialogRequest &) override { return {}; }
    QString SaveFileName(const FileDialogRequest &) override { return {}; }
};

struct Figures {
    double median = 0, min = 0, max = 0; // milliseconds
    bool ok = false;
};

Figures Measure(int runs, const std::function<bool()> &step)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!step())
            return {};
        times << timer.nsecsElapsed() / 1e6;
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front(), times.back(), true};
}

bool Report(const char *what, const Figures &f, double target)
{
    if (!f.ok) {
        std::printf("%-28s FAILED\n", what);
        return false;
    }
    std::printf("%-28s median %8.3f ms  min %8.3f ms  max %8.3f ms  (target under %.0f ms)\n", what, f.median, f.min,
                f.max, target);
    return true;
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_editor DATA_FOLDER [RUNS]\n");
        return 2;
    }
    QString folder = args[1];
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const int runs = args.size() > 2 ? qMax(1, args[2].toInt()) : 50;
    const QString path = folder + QLatin1String(kTemplate);
    if (!QFile::exists(path)) {
        std::fprintf(stderr, "%s not found\n", qPrintable(path));
        return 2;
    }
    QTemporaryDir dataDir;
    SetAppDataFolder(dataDir.path() + QLatin1Char('/'));
    CountingDialogs dialogs;
    SetDialogs(&dialogs);

    BenchHost host(folder);
    TFormConfig engine(&host);
    if (engine.InitialiseDevice(true, QLatin1String(kReply)) != 0 ||
        !engine.SaveConfigFile(engine.RetrievedConfigPath())) {
        std::fprintf(stderr, "could not start the engine on %s\n", kTemplate);
        return 1;
    }
    std::printf("%s: %d pages\n", kTemplate, engine.CategoryCount());
    const bool built = Report("BuildConfigPages", Measure(runs, [&] { return engine.BuildConfigPages(path); }), 150);
    const bool shown = Report("ShowDifferences",
                              Measure(runs * 10,
                                      [&] {
                                          engine.ShowDifferences();
                                          return engine.WorkList().isEmpty();
                                      }),
                              5);
    SetDialogs(nullptr);
    return built && shown && dialogs.boxes == 0 ? 0 : 1;
}
