#include "workflows/provisioning.h"

#include "base/log.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QThread>
#include <atomic>
#include <functional>

namespace
{
// The friendly name of a port, as the port list gives it (a bare "(COMn)"
// when the list lacks it: the link's rules still read it as that port).
QString FriendlyName(const QStringList &ports, int comNumber)
{
    const QString suffix = QStringLiteral("(COM%1)").arg(comNumber);
    for (const QString &name : ports)
        if (name.endsWith(suffix))
            return name;
    return suffix;
}

int ComNumberOf(const QString &friendlyName)
{
    const int open = friendlyName.lastIndexOf(QStringLiteral("(COM"));
    return open < 0 ? 0 : friendlyName.mid(open + 4).chopped(1).toInt();
}

QString ConnectProblem(const ConnectResult &result)
{
    switch (result.outcome) {
    case ConnectOutcome::NoPorts:
        return QStringLiteral("no port left to scan");
    case ConnectOutcome::NoSensor:
        return QStringLiteral("no sensor answered");
    case ConnectOutcome::PortNotOpened:
        return QStringLiteral("the port could not be opened: ") + result.reason;
    case ConnectOutcome::UnknownDevice:
        return QStringLiteral("the sensor's identity") + result.reason;
    case ConnectOutcome::SetupModeFailed:
        return QStringLiteral("the sensor would not enter setup mode");
    case ConnectOutcome::SerialNumberFailed:
        return QStringLiteral("the sensor's serial number could not be read");
    case ConnectOutcome::UnitsUnusable:
    case ConnectOutcome::TemplateUnusable:
        return QStringLiteral("the program's files cannot be used: ") + result.reason;
    case ConnectOutcome::Aborted:
    case ConnectOutcome::Connected:
        break;
    }
    return QStringLiteral("stopped");
}

UnitOutcome ConnectFailure(ConnectOutcome outcome)
{
    switch (outcome) {
    case ConnectOutcome::NoPorts:
    case ConnectOutcome::NoSensor:
    case ConnectOutcome::PortNotOpened:
        return UnitOutcome::NotFound;
    case ConnectOutcome::UnknownDevice:
        return UnitOutcome::WrongSensor;
    case ConnectOutcome::Aborted:
        return UnitOutcome::Aborted;
    case ConnectOutcome::Connected:
    case ConnectOutcome::UnitsUnusable:
    case ConnectOutcome::TemplateUnusable:
    case ConnectOutcome::SetupModeFailed:
    case ConnectOutcome::SerialNumberFailed:
        break;
    }
    return UnitOutcome::WriteFailed;
}

QString CompatibilityProblem(const CompatibilityCheck &check)
{
    if (check.verdict == Compatibility::Unreadable)
        return check.reason;
    const CompatibilityIssue issue = check.issues.value(0);
    static const QHash<Compatibility, QString> words = {
        {Compatibility::ProductMismatch, QStringLiteral("product")},
        {Compatibility::ProtocolMismatch, QStringLiteral("protocol version")},
        {Compatibility::HeatingMismatch, QStringLiteral("heating")},
        {Compatibility::AxisMismatch, QStringLiteral("axis configuration")},
    };
    return QStringLiteral("the base file's %1 (%2) is not the sensor's (%3)")
        .arg(words.value(check.verdict), issue.found, issue.expected);
}

// A setting's value as a person reads it: options and units by name.
QString SettingText(const Document &document, const IXMLparamType &param)
{
    const QString type = param.Type();
    if (type == QLatin1String("select") || type == QLatin1String("delayedselect") ||
        type == QLatin1String("senstypeselect"))
        return param.Selected() < 0 ? QStringLiteral("NOT CONFIGURED") : param.Option().Texts().value(param.Selected());
    if (type == QLatin1String("sensorunits") && !document.units.IsNull()) {
        const int measurement = document.units.FindMeasurement(param.Measure());
        if (measurement >= 0 && param.Selected() >= 0 &&
            param.Selected() < document.units.Measurement(measurement).Count())
            return document.units.Measurement(measurement).Unit(param.Selected()).Symbol();
    }
    return ParamValueText(param, DiffBasis::Values);
}

QList<VerifiedSetting> SettingsOf(const Document &document)
{
    QList<VerifiedSetting> settings;
    const IXMLdeviceType device = document.Device();
    for (int c = 0; c < device.Count(); ++c)
        for (int p = 0; p < device.Category(c).Count(); ++p) {
            const IXMLparamType param = device.Category(c).Param(p);
            settings.append({device.Category(c).Name(), param.Name(), param.Cmd(), SettingText(document, param)});
        }
    return settings;
}

// One unit's way through the steps, on its port's thread.
class UnitJob
{
public:
    using StepCall = std::function<void(UnitStep)>;
    UnitJob(SensorWork &work, const ProvisionSettings &settings, const StepCall &step)
        : work(work), settings(settings), step(step)
    {
    }

    UnitResult Run(const PlanUnit &unit)
    {
        result = UnitResult();
        result.unit = unit;
        result.startedUtc = QDateTime::currentDateTimeUtc();
        QElapsedTimer clock;
        clock.start();
        Steps(unit);
        work.Release(); // out of setup mode, whatever happened
        result.seconds = clock.elapsed() / 1000.0;
        if (work.Stopped() && result.outcome != UnitOutcome::Verified && result.outcome != UnitOutcome::NotVerified)
            Fail(UnitOutcome::Aborted, QStringLiteral("stopped"));
        return result;
    }

private:
    bool Fail(UnitOutcome outcome, const QString &reason)
    {
        result.outcome = outcome;
        result.reason = reason;
        return false;
    }

    bool Steps(const PlanUnit &unit)
    {
        step(UnitStep::Connecting);
        const ConnectResult connected = work.Connect(SensorTarget{unit.Scans() ? -1 : unit.comNumber, -1});
        if (connected.outcome != ConnectOutcome::Connected)
            return Fail(ConnectFailure(connected.outcome), ConnectProblem(connected));
        result.comNumber = connected.device.portIndex + 1;
        result.serial = work.SerialNumber().trimmed();
        result.identity = connected.device.identity;
        result.product = work.Current().identity.displayName;
        return IsPlanned(unit) && Fits(unit) && Backup() && Write(unit);
    }

    bool IsPlanned(const PlanUnit &unit)
    {
        const DeviceIdentity &identity = work.Current().identity;
        if (!unit.product.isEmpty() && !identity.productName.contains(unit.product, Qt::CaseInsensitive) &&
            !identity.displayName.contains(unit.product, Qt::CaseInsensitive))
            return Fail(UnitOutcome::WrongSensor,
                        QStringLiteral("the sensor is a %1, not a %2").arg(identity.displayName, unit.product));
        if (!unit.serial.isEmpty() && unit.serial.compare(result.serial, Qt::CaseInsensitive) != 0)
            return Fail(UnitOutcome::WrongSensor,
                        QStringLiteral("the sensor's serial number is %1, not %2").arg(result.serial, unit.serial));
        return true;
    }

    // The program's own check; a mismatch it would ask about fails the unit.
    bool Fits(const PlanUnit &unit)
    {
        const CompatibilityCheck check = CheckCompatibility(unit.baseFile, work.Current().identity);
        return check.verdict == Compatibility::Compatible ||
               Fail(UnitOutcome::Incompatible, CompatibilityProblem(check));
    }

    bool Backup()
    {
        step(UnitStep::BackingUp);
        QDir().mkpath(settings.resultsFolder);
        const QString path = UnitFilePath(settings.resultsFolder, result.serial, QStringLiteral("-before.tcf"));
        const BackupResult backup = work.Backup(path);
        switch (backup.outcome) {
        case BackupOutcome::Saved:
            result.backupFile = path;
            return true;
        case BackupOutcome::Aborted:
            return Fail(UnitOutcome::Aborted, QStringLiteral("stopped"));
        case BackupOutcome::ReadIncomplete:
            return Fail(UnitOutcome::BackupFailed, QStringLiteral("not every setting could be read: ") +
                                                       backup.read.report.failedCmds.join(QStringLiteral(", ")));
        case BackupOutcome::FileNotSaved:
            break;
        }
        return Fail(UnitOutcome::BackupFailed, QStringLiteral("the back-up was not saved: ") + backup.file.reason);
    }

    bool Write(const PlanUnit &unit)
    {
        FixedAnswers answers(false); // writes yes, mismatches no
        const FileResult load = work.LoadFile(unit.baseFile, answers);
        if (load.outcome != FileOutcome::Done)
            return Fail(UnitOutcome::Incompatible,
                        load.reason.isEmpty() ? CompatibilityProblem(load.compatibility) : load.reason);
        Document planned = work.Current();
        const QList<PlanProblem> problems = ApplyOverrides(planned.products, unit.overrides, unit.row);
        if (!problems.isEmpty())
            return Fail(UnitOutcome::InvalidEntries, problems.first().Describe());
        work.Adopt(planned);
        step(UnitStep::Writing);
        work.SetAuditAction(QStringLiteral("provision"));
        const WriteResult written = work.WriteAndVerify(answers, false);
        result.auditHash = written.auditHash;
        result.auditProblem = written.auditProblem;
        result.notVerified = written.verify.notVerified;
        if (written.outcome == WriteOutcome::Verified || written.outcome == WriteOutcome::NotVerified)
            result.settings = SettingsOf(work.LastRead());
        return Written(written);
    }

    bool Written(const WriteResult &written)
    {
        switch (written.outcome) {
        case WriteOutcome::Verified:
            result.outcome = UnitOutcome::Verified;
            return true;
        case WriteOutcome::NotVerified:
            return Fail(UnitOutcome::NotVerified, QStringLiteral("read back otherwise: ") +
                                                      written.verify.notVerified.join(QStringLiteral(", ")));
        case WriteOutcome::InvalidEntries:
            return Fail(UnitOutcome::InvalidEntries,
                        QStringLiteral("invalid entry for ") + written.invalid.value(0).cmd);
        case WriteOutcome::Aborted:
            return Fail(UnitOutcome::Aborted, QStringLiteral("stopped"));
        case WriteOutcome::SetupModeRefused:
            return Fail(UnitOutcome::WriteFailed, QStringLiteral("the sensor would not enter setup mode"));
        case WriteOutcome::DeviceGone:
            return Fail(UnitOutcome::WriteFailed, QStringLiteral("the sensor stopped answering"));
        case WriteOutcome::Declined:
            break;
        }
        return Fail(UnitOutcome::WriteFailed, QStringLiteral("the write was declined"));
    }

    SensorWork &work;
    const ProvisionSettings &settings;
    StepCall step;
    UnitResult result;
};
} // namespace

// ------------------------------------------------------------------ one port's thread

class ProvisionRun::PortThread : public QThread
{
public:
    // ports: the ports this thread may use (one, or a scan's candidates).
    PortThread(const QList<PlanUnit> &units, const QStringList &ports, const ProvisionSettings &settings,
               ProvisionRun *owner)
        : units(units), ports(ports), settings(settings), owner(owner)
    {
    }

    void Stop()
    {
        stopped = true;
        std::lock_guard guard(workLock);
        // Handed to the thread's own events: the link pumps them while it waits.
        if (context)
            QMetaObject::invokeMethod(
                context, [work = work] { work->Stop(); }, Qt::QueuedConnection);
    }

protected:
    void run() override
    {
        QObject here; // lives in this thread: the target of Stop's call
        SensorWork sensorWork(settings.programFolder, settings.timing);
        {
            std::lock_guard guard(workLock);
            context = &here;
            work = &sensorWork;
        }
        if (stopped)
            sensorWork.Stop();
        for (const PlanUnit &unit : units)
            Report(RunUnit(sensorWork, unit));
        std::lock_guard guard(workLock);
        context = nullptr;
        work = nullptr;
    }

private:
    UnitResult RunUnit(SensorWork &sensorWork, const PlanUnit &unit)
    {
        // A scanning unit looks only at the ports no other unit has taken.
        const QStringList candidates = ports;
        sensorWork.SetPortSource([candidates] { return std::optional<QStringList>(candidates); });
        const QString port = unit.PortText();
        UnitJob job(sensorWork, settings, [&](UnitStep step) { emit owner->unitStep(unit.row, port, step); });
        UnitResult result = job.Run(unit);
        if (unit.Scans() && result.comNumber > 0)
            ports.removeIf([&](const QString &name) { return ComNumberOf(name) == result.comNumber; });
        return result;
    }

    void Report(const UnitResult &result) { emit owner->unitDone(result); }

    const QList<PlanUnit> units;
    QStringList ports;
    const ProvisionSettings settings;
    ProvisionRun *owner;
    std::atomic<bool> stopped{false};
    std::mutex workLock; // guards context and work
    QObject *context = nullptr;
    SensorWork *work = nullptr;
};

// ------------------------------------------------------------------ the run

QString UnitOutcomeText(UnitOutcome outcome)
{
    switch (outcome) {
    case UnitOutcome::Verified:
        return QStringLiteral("verified");
    case UnitOutcome::NotVerified:
        return QStringLiteral("not verified");
    case UnitOutcome::NotFound:
        return QStringLiteral("not found");
    case UnitOutcome::WrongSensor:
        return QStringLiteral("wrong sensor");
    case UnitOutcome::Incompatible:
        return QStringLiteral("incompatible");
    case UnitOutcome::BackupFailed:
        return QStringLiteral("back-up failed");
    case UnitOutcome::InvalidEntries:
        return QStringLiteral("invalid entries");
    case UnitOutcome::WriteFailed:
        return QStringLiteral("write failed");
    case UnitOutcome::Aborted:
        return QStringLiteral("aborted");
    case UnitOutcome::Skipped:
        return QStringLiteral("skipped");
    }
    return {};
}

bool UnitOutcomeFromText(const QString &text, UnitOutcome *outcome)
{
    for (int i = 0; i <= int(UnitOutcome::Skipped); ++i)
        if (UnitOutcomeText(UnitOutcome(i)) == text) {
            *outcome = UnitOutcome(i);
            return true;
        }
    return false;
}

QString UnitStepText(UnitStep step)
{
    switch (step) {
    case UnitStep::Connecting:
        return QStringLiteral("connecting");
    case UnitStep::BackingUp:
        return QStringLiteral("backing up");
    case UnitStep::Writing:
        return QStringLiteral("writing and verifying");
    }
    return {};
}

ProvisionRun::ProvisionRun(const ProvisionPlan &plan, const ProvisionSettings &settings, QObject *parent)
    : QObject(parent), plan(plan), settings(settings)
{
    qRegisterMetaType<UnitResult>();
    qRegisterMetaType<UnitStep>();
    connect(this, &ProvisionRun::unitDone, this, [this](const UnitResult &result) { results.append(result); });
}

ProvisionRun::~ProvisionRun()
{
    Stop();
    for (PortThread *thread : threads) {
        thread->wait();
        delete thread;
    }
}

QString UnitFilePath(const QString &resultsFolder, const QString &serial, const QString &ending)
{
    QString name = serial;
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
    return QDir(resultsFolder).filePath(name + ending);
}

void ProvisionRun::Start()
{
    QMap<int, QList<PlanUnit>> byPort; // port 0: the scanning units
    QSet<int> named;
    for (const PlanUnit &unit : plan.units) {
        // A port the plan names is never scanned, even when its units are done.
        if (!unit.Scans())
            named.insert(unit.comNumber);
        if (settings.skipKeys.contains(unit.key)) {
            UnitResult skipped;
            skipped.unit = unit;
            skipped.outcome = UnitOutcome::Skipped;
            skipped.reason = QStringLiteral("verified in an earlier run");
            skipped.serial = settings.skipKeys.value(unit.key);
            results.append(skipped);
            continue;
        }
        byPort[unit.comNumber].append(unit);
    }
    QStringList free = settings.ports;
    free.removeIf([&](const QString &name) { return named.contains(ComNumberOf(name)) || ComNumberOf(name) == 0; });
    for (auto group = byPort.cbegin(); group != byPort.cend(); ++group) {
        const QStringList ports = group.key() == 0 ? free : QStringList{FriendlyName(settings.ports, group.key())};
        auto *thread = new PortThread(group.value(), ports, settings, this);
        connect(thread, &QThread::finished, this, &ProvisionRun::ThreadDone);
        threads.append(thread);
    }
    running = threads.size();
    for (PortThread *thread : threads)
        thread->start();
    if (threads.isEmpty())
        QMetaObject::invokeMethod(this, &ProvisionRun::finished, Qt::QueuedConnection);
}

void ProvisionRun::Stop()
{
    for (PortThread *thread : threads)
        thread->Stop();
}

void ProvisionRun::ThreadDone()
{
    if (--running == 0) {
        Log(QStringLiteral("provisioning: every port is done"));
        emit finished();
    }
}

QList<UnitResult> ProvisionRun::Results() const
{
    QList<UnitResult> ordered = results;
    std::sort(ordered.begin(), ordered.end(), [](const auto &a, const auto &b) { return a.unit.row < b.unit.row; });
    return ordered;
}
