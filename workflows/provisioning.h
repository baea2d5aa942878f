#pragma once
// Runs a provisioning plan: for each unit connect, check it is the sensor
// the plan means and that the base file fits it, back it up as found, apply
// the base file with the unit's overrides, write, verify, and let it go.
//
// Units on different ports run at once, each port's units in order on a
// thread of its own; the units that scan share one thread and never take a
// port the plan names or another scanning unit took. Every object that
// talks to a sensor (link, session, documents) is made and used on its
// port's thread; what crosses threads is plain data (UnitResult) sent
// with queued signals. ProvisionRun itself belongs to the thread that
// made it, whose event loop must run for its signals.
//
// What the threads share is only read or locked: the application data
// folder (locked), the log (whole lines, handed to the main thread), the
// translation table and the link's waits (set before the run, then only
// read). The port list is taken once by the caller and handed to each
// thread as a fixed list, so no thread enumerates the system's ports.
#include "workflows/provisionPlan.h"
#include "workflows/sensorWork.h"

#include <QDateTime>
#include <QObject>
#include <QHash>
#include <memory>
#include <mutex>

enum class UnitOutcome {
    Verified,     // written and read back as planned
    NotVerified,  // written, but settings read back otherwise (notVerified says which)
    NotFound,     // no sensor on the port (or none left to scan)
    WrongSensor,  // another product or serial number than the plan expects
    Incompatible, // the base file does not fit the sensor
    BackupFailed, // the sensor could not be read or its back-up not saved
    InvalidEntries,
    WriteFailed, // the write did not go through (refused setup mode, gone)
    Aborted,     // stopped (Ctrl-C) before it was done
    Skipped,     // verified in an earlier run
};

// The word the results and the table use ("verified", "not verified", ...).
QString UnitOutcomeText(UnitOutcome outcome);
// The outcome of a word UnitOutcomeText gives; false for another word.
bool UnitOutcomeFromText(const QString &text, UnitOutcome *outcome);

struct VerifiedSetting {
    QString category;
    QString name;
    QString cmd;
    QString value;
};

// What became of one unit: plain data, safe to hand between threads.
struct UnitResult {
    PlanUnit unit;
    UnitOutcome outcome = UnitOutcome::NotFound;
    QString reason;    // why it is not verified, for people
    int comNumber = 0; // where it was found (a scanning unit's port)
    QString serial;
    QString identity; // the unit query's reply
    QString product;  // display name
    QDateTime startedUtc;
    double seconds = 0;
    QString backupFile;              // the sensor as found (empty: none saved)
    QList<VerifiedSetting> settings; // as read back after the write
    QStringList notVerified;
    QString auditHash;
    QString auditProblem;
};

// The states a unit goes through, for progress lines.
enum class UnitStep { Connecting, BackingUp, Writing };
QString UnitStepText(UnitStep step);

struct ProvisionSettings {
    QString programFolder; // templates and units file (trailing '/')
    LinkTiming timing;
    QString resultsFolder; // back-ups (and the caller's certificates) go here
    // Friendly names of the ports there are ("... (COMn)"); a named port
    // missing here is still tried as "(COMn)".
    QStringList ports;
    QHash<QString, QString> skipKeys; // units (PlanUnit::key) verified before, with their serial
};

// A file of a unit in the results folder: its serial number (made safe for
// a file name) and ending, e.g. "-before.tcf" for the back-up.
QString UnitFilePath(const QString &resultsFolder, const QString &serial, const QString &ending);

class ProvisionRun : public QObject
{
    Q_OBJECT
public:
    ProvisionRun(const ProvisionPlan &plan, const ProvisionSettings &settings, QObject *parent = nullptr);
    ~ProvisionRun() override; // stops and waits for every thread

    // Starts every port's thread; finished() follows once all are done.
    void Start();
    // Every unit stops at its next safe point; sensors are let go properly.
    void Stop();
    bool Running() const { return running > 0; }
    // In plan order, once finished.
    QList<UnitResult> Results() const;

signals:
    void unitStep(int row, const QString &port, UnitStep step);
    void unitDone(const UnitResult &result);
    void finished();

private:
    class PortThread;
    void ThreadDone();

    ProvisionPlan plan;
    ProvisionSettings settings;
    QList<PortThread *> threads;
    QList<UnitResult> results;
    int running = 0;
};

Q_DECLARE_METATYPE(UnitResult)
Q_DECLARE_METATYPE(UnitStep)
