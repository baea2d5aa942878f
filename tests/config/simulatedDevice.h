#pragma once
// An engine connected to a simulated sensor as the main window connects it:
// the simulator on a pseudo-terminal behind a COM alias, a link with short
// timing, a session, and an engine on a fake main window whose template was
// chosen from the sensor's identity reply.
#include "base/appdata.h"
#include "base/log.h"
#include "config/config.h"
#include "device/deviceSession.h"
#include "serial/comms.h"
#include "sim/simulator.h"
#include "templates/productCatalogue.h"
#include "tests/config/fakeConfigHost.h"
#include "tests/support/linkTimingSwitch.h"
#include "tests/support/simulatedSensor.h"
#include "tests/support/scripteddialogs.h"

#include <QFile>
#include <QTemporaryDir>
#include <memory>

namespace SimulatedDevice
{
constexpr int kComNumber = 61;

// The catalogue's menu name of the product with this template.
inline QString MenuName(const QString &templateFile)
{
    for (const ProductDef &def : aProductDefs()) {
        if (def.templateFile == templateFile)
            return def.menuName;
    }
    return {};
}

struct Bench {
    QTemporaryDir dataDir;
    ScriptedDialogs dialogs;
    FakeConfigHost host;
    QStringList logs;
    std::function<void(const QString &)> onLog;
    int randomSeed = -1; // 0 or more: the sensor starts from random settings
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<DeviceSession> device;
    TComms *link = nullptr;
    TfrmInterface *session = nullptr;
    std::unique_ptr<TFormConfig> engine;
    QString error;

    Bench()
    {
        UseShortLinkTiming();
        SetAppDataFolder(dataDir.path() + QLatin1Char('/'));
        host.programFolder = QStringLiteral(TALVEK_TEST_APP_DIR "/");
        host.settings.Open(host.programFolder + QStringLiteral("TalvekDefaultSettings.tsf"));
        SetLogSink([this](const QString &text) {
            logs << text;
            if (onLog)
                onLog(text);
        });
    }
    ~Bench()
    {
        engine.reset();
        device.reset();
        if (sim)
            sim->RemoveAlias();
        sim.reset();
        SetLogSink({});
    }

    // Starts the simulator for templateFile and connects the engine to it;
    // false (error says why) when any step fails.
    bool Connect(const QString &templateFile, const SimFaults &faults = {})
    {
        SimOptions options;
        options.product = MenuName(templateFile);
        options.dataDir = QStringLiteral(TALVEK_TEST_APP_DIR);
        options.faults = faults;
        options.randomSeed = randomSeed;
        if (options.product.isEmpty())
            return false;
        sim = StartSimulatedSensor(options, dataDir.path() + QLatin1Char('/'), kComNumber, &error);
        if (!sim)
            return false;
        device = std::make_unique<DeviceSession>(LinkTiming{100, 1, 0});
        link = &device->Link();
        session = &device->Session();
        if (device->OpenOnce(kComNumber - 1, 6) != BringUpFailure::None) { // 19200
            error = QStringLiteral("link: ") + device->OpenErrorText();
            return false;
        }
        if (device->StartTransacting() != BringUpFailure::None || device->QueryUnit() != BringUpFailure::None) {
            error = QStringLiteral("no identity");
            return false;
        }
        engine = std::make_unique<TFormConfig>(&host);
        if (engine->InitialiseDevice(true, device->Identity()) != 0) {
            error = QStringLiteral("initialise: ") + dialogs.texts().join(QLatin1Char('|'));
            return false;
        }
        engine->SetSession(session);
        dialogs.clear();
        logs.clear();
        return true;
    }

    // The commands of the read, in the order the engine logged them.
    int LogCount(const QString &line) const { return int(logs.count(line)); }
};

inline QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace SimulatedDevice
