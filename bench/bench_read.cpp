// bench_read: a full read of the largest template from a simulated sensor at
// 19200 baud with the default link timing (response timeout 0, inter-character
// delay 20 ms). Prints the measured time, the time the link's own rules make
// every exchange wait (per-character pauses, the flush before each command,
// the echo check and the fixed wait of multi-line exchanges), their ratio, the
// process CPU used during the read as % of one core, and how soon an Abort
// takes effect.
//
// Usage: bench_read [DATA_FOLDER] 2>/dev/null   (default: the program's own
// folder; the debug log goes to standard error)
// Runs offscreen unless a platform is set.
#include "base/appdata.h"
#include "base/log.h"
#include "bench/benchHost.h"
#include "config/config.h"
#include "config/summary.h"
#include "device/deviceSession.h"
#include "diagnostics/progressDlg.h"
#include "diagnostics/sessionReport.h"
#include "serial/comms.h"
#include "settings/guiSettings.h"
#include "sim/simulator.h"
#include "tests/support/simulatedSensor.h"
#include "templates/productCatalogue.h"
#include "ui/dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace
{
const char *const kTemplate = "tempris_type_5e_pv9_template.tdx";
constexpr int kComNumber = 62;
constexpr int kBaudCode = 6; // 19200
// The link's fixed waits (serial/comms.cpp): the flush before every exchange
// waits this long for a stale line that a quiet device never sends, and the
// echo check this long after the command's characters.
constexpr int kFlushWaitMs = 100;
constexpr int kEchoCheckMs = 20;

class QuietDialogs : public IDialogs
{
public:
    QStringList texts;
    void Message(const QString &text, const QString &) override { texts << text; }
    bool Question(const QString &text, const QString &) override
    {
        texts << text;
        return false;
    }
    QString OpenFileName(const FileDialogRequest &) override { return {}; }
    QString SaveFileName(const FileDialogRequest &) override { return {}; }
};

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// What the link makes one exchange wait, whatever the device does: the
// flush (a CR and its wait), the command's characters, the echo check, the
// closing CR, and for multi-line exchanges the fixed response wait.
double MandatedMs(const QString &command, bool multiple, const TComms &link)
{
    const int perChar = link.effectiveCharDelay;
    double ms = perChar + kFlushWaitMs;
    ms += double(command.size()) * perChar + kEchoCheckMs + perChar;
    if (multiple)
        ms += link.effectiveResponseTime;
    return ms;
}

double MandatedReadMs(const TFormConfig &engine, const TfrmInterface &session, const TComms &link)
{
    // Setup mode: one unit query and the setup command, both multi-line.
    double ms = MandatedMs(QStringLiteral("%%%"), true, link) + MandatedMs(session.SetupModeCommand(), true, link);
    static const QStringList singles = {
        "int",      "select",    "sensorunits", "reportstr",   "reportxdr", "senstypeselect",  "cfgsensorunits",
        "aniptype", "substname", "digcount",    "maskedfloat", "timestr",   "timestrcheckbox", "string"};
    const IXMLdeviceType device = engine.Device();
    for (int c = 0; c < device.Count(); ++c) {
        for (int p = 0; p < device.Category(c).Count(); ++p) {
            const IXMLparamType param = device.Category(c).Param(p);
            const QString type = param.Type();
            if (type.startsWith(QLatin1String("delayed")))
                ms += MandatedMs(param.Cmd(), true, link);
            else if (singles.contains(type))
                ms += MandatedMs(param.Cmd(), false, link);
        }
    }
    return ms;
}

struct Connection {
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<DeviceSession> device;
    std::unique_ptr<TFormConfig> engine;

    ~Connection()
    {
        engine.reset();
        device.reset();
        if (sim)
            sim->RemoveAlias();
    }

    bool Open(const QString &folder, const QString &product, BenchHost &host, QString &error)
    {
        SimOptions options;
        options.product = product;
        options.dataDir = folder;
        options.baud = 19200;
        sim = StartSimulatedSensor(options, GetAppDataFolder(), kComNumber, &error);
        if (!sim)
            return false;
        // What the main window passes when the user delay is off.
        device = std::make_unique<DeviceSession>(LinkTiming{0, 20, 0});
        if (device->OpenOnce(kComNumber - 1, kBaudCode) != BringUpFailure::None) {
            error = device->OpenErrorText();
            return false;
        }
        if (device->StartTransacting() != BringUpFailure::None || device->QueryUnit() != BringUpFailure::None) {
            error = QStringLiteral("the simulator did not identify itself");
            return false;
        }
        engine = std::make_unique<TFormConfig>(&host);
        if (engine->InitialiseDevice(true, device->Identity()) != 0) {
            error = QStringLiteral("no template for ") + device->Identity();
            return false;
        }
        engine->SetSession(&device->Session());
        // Measuring from outside setup mode, as after connecting.
        device->Session().ExitSetupMode();
        return true;
    }
};

QString MenuName()
{
    for (const ProductDef &def : aProductDefs()) {
        if (def.templateFile == QLatin1String(kTemplate))
            return def.menuName;
    }
    return {};
}

int FullRead(const QString &folder, BenchHost &host)
{
    Connection connection;
    QString error;
    if (!connection.Open(folder, MenuName(), host, error)) {
        std::fprintf(stderr, "could not connect: %s\n", qPrintable(error));
        return 1;
    }
    const double mandated = MandatedReadMs(*connection.engine, connection.device->Session(), connection.device->Link());
    const int params = [&] {
        int n = 0;
        for (int c = 0; c < connection.engine->Device().Count(); ++c)
            n += connection.engine->Device().Category(c).Count();
        return n;
    }();
    QElapsedTimer wall;
    const double cpuBefore = CpuSeconds();
    wall.start();
    const bool ok = connection.engine->GetDeviceSettings();
    const double measured = double(wall.nsecsElapsed()) / 1e6;
    const double cpu = CpuSeconds() - cpuBefore;
    std::printf("full read of %s (%d params, 19200 baud, delay 20 ms): %s\n", kTemplate, params,
                ok ? "all read" : "FAILED");
    std::printf("  measured   %9.0f ms\n", measured);
    std::printf("  mandated   %9.0f ms  (char delay %d ms, multi-line wait %d ms, flush %d ms, echo check %d ms)\n",
                mandated, connection.device->Link().effectiveCharDelay, connection.device->Link().effectiveResponseTime,
                kFlushWaitMs, kEchoCheckMs);
    std::printf("  ratio      %9.3f  (target <= 1.05)\n", measured / mandated);
    std::printf("  CPU        %9.2f %% of one core (target < 5 %%; simulator thread included)\n",
                100.0 * cpu * 1000.0 / measured);
    return ok ? 0 : 1;
}

int AbortLatency(const QString &folder, BenchHost &host)
{
    Connection connection;
    QString error;
    if (!connection.Open(folder, MenuName(), host, error)) {
        std::fprintf(stderr, "could not connect: %s\n", qPrintable(error));
        return 1;
    }
    // Abort while the last param of the second category is read: the read
    // stops before the third.
    const IXMLdeviceType device = connection.engine->Device();
    const IXMLcategoryType category = device.Category(1);
    const QString lastCmd = category.Param(category.Count() - 1).Cmd();
    QElapsedTimer clock;
    qint64 pressed = -1;
    qint64 stopped = -1;
    SetLogSink([&](const QString &line) {
        if (line == lastCmd && pressed < 0) {
            connection.engine->ProgressDialog()->buAbortClick();
            pressed = clock.nsecsElapsed();
        }
        if (line == QLatin1String("GetDeviceSettings aborted"))
            stopped = clock.nsecsElapsed();
    });
    clock.start();
    const bool ok = connection.engine->GetDeviceSettings();
    const qint64 returned = clock.nsecsElapsed();
    SetLogSink({});
    if (ok || pressed < 0 || stopped < 0) {
        std::fprintf(stderr, "the abort did not stop the read\n");
        return 1;
    }
    std::printf("abort pressed during the last param of a category:\n");
    std::printf("  read stopped after   %7.0f ms (the param under way finishes)\n", double(stopped - pressed) / 1e6);
    std::printf("  returned after       %7.0f ms (the device is taken out of setup mode first)\n",
                double(returned - pressed) / 1e6);
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString folder = app.arguments().value(1, QCoreApplication::applicationDirPath());
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    QTemporaryDir dataDir;
    SetAppDataFolder(dataDir.path() + QLatin1Char('/'));
    QuietDialogs dialogs;
    SetDialogs(&dialogs);
    BenchHost host(folder);
    int result = FullRead(folder, host);
    result |= AbortLatency(folder, host);
    SetDialogs(nullptr);
    return result;
}
