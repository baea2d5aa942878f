#pragma once
// What the connection dialog's tests share: a private application data folder
// with COM aliases, a settings document with short timings, a translation
// table that marks every looked-up text, the scripted dialogs, an injected
// port list (so the machine's own ports are never listed, never opened) and
// the debug log.
#include "connect/commsInit.h"
#include "settings/guiSettings.h"
#include "sim/simulator.h"
#include "tests/support/ptypeer.h"
#include "tests/support/linkTimingSwitch.h"
#include "tests/support/scripteddialogs.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

struct CommsSettings {
    int firstTryPort = 1;
    int manualComport = 1;
    int manualBaudRate = 6;
    int powerOnDelay = 50;
    int responseTimeout = 100; // ample for a loaded machine, short for silent ports
    int interCharDelay = 0;
};

class ConnectFixture
{
public:
    ConnectFixture();
    ~ConnectFixture();

    // True when the data folder and the settings document are in place.
    bool Ready() const { return ready; }
    bool WriteSettings(const CommsSettings &values);

    // The dialog over the fixture's settings, listing `ports` ("COM3", ...).
    std::unique_ptr<TfrmCommsInit> MakeDialog();
    QStringList ports;
    int listings = 0; // how often the dialog listed the ports

    // A device that never answers, reachable as COM<number>.
    PtyPeer &AddSilentPort(int number);
    // A COM alias whose device is not there.
    void AddMissingPort(int number);
    // A simulated sensor at the given baud rate as COM<number>; nullptr
    // (and a test failure message in error) when it cannot start. With
    // powerOnAfterMs it is switched on that long after the port first opens.
    Simulator *AddSensor(int number, int baud, QString *error, int powerOnAfterMs = -1);

    // Shows the dialog and pumps events until its first scan is over.
    bool ShowAndWaitForScan(TfrmCommsInit &dialog, int timeoutMs = 120000);
    // The dialog after a scan over an empty port list (its two boxes cleared).
    std::unique_ptr<TfrmCommsInit> MakeIdleDialog();

    // Translated text as the test's table gives it.
    static QString Tr(const QString &key) { return QStringLiteral("[") + key + QLatin1Char(']'); }

    int LogCount(const QString &line) const { return static_cast<int>(debugLog.count(line)); }
    QStringList LogLinesStartingWith(const QString &prefix) const;

    QTemporaryDir dataDir;
    QString appData; // with the trailing '/'
    TfrmGuiSettings settings;
    ScriptedDialogs dialogs;
    QStringList debugLog;
    std::vector<std::unique_ptr<PtyPeer>> peers;
    std::vector<std::unique_ptr<Simulator>> sensors;

private:
    bool ready = false;
};

// Pumps events until the condition holds or the time runs out.
bool WaitUntil(const std::function<bool()> &condition, int timeoutMs);
