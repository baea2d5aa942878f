#include "cli/cliprovision.h"

#include "base/fileSave.h"
#include "cli/clioutput.h"
#include "cli/exitstatus.h"
#include "cli/provisionCertificate.h"
#include "cli/signalwatch.h"
#include "serial/comPortUtils.h"
#include "workflows/programSetup.h"
#include "workflows/provisioning.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace
{
QString PortText(const UnitResult &result)
{
    return result.comNumber > 0 ? QStringLiteral("COM") + QString::number(result.comNumber) : result.unit.PortText();
}

// What earlier runs did, unit by unit (PlanUnit::key), kept in a JSON file
// beside the plan; rewritten whole after every unit.
class ResultFile
{
public:
    explicit ResultFile(const QString &planPath) : path(planPath + QStringLiteral(".results")) {}

    // False (and why) when a file is there but cannot be read as results.
    bool Load(QString *error)
    {
        QFile file(path);
        if (!file.exists())
            return true;
        QJsonParseError parse;
        const QJsonDocument document =
            file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll(), &parse) : QJsonDocument();
        if (!document.isObject()) {
            *error = path + QStringLiteral(" is not a result file of this program; move it away to start afresh");
            return false;
        }
        for (const QJsonValue &unit : document.object().value(QStringLiteral("units")).toArray())
            units.insert(unit.toObject().value(QStringLiteral("key")).toString(), unit.toObject());
        return true;
    }

    // The units verified before, with their serial numbers.
    QHash<QString, QString> Verified() const
    {
        QHash<QString, QString> keys;
        for (auto unit = units.cbegin(); unit != units.cend(); ++unit)
            if (unit->value(QStringLiteral("outcome")).toString() == UnitOutcomeText(UnitOutcome::Verified))
                keys.insert(unit.key(), unit->value(QStringLiteral("serial")).toString());
        return keys;
    }

    bool Record(const UnitResult &result, const QString &certificate, QString *error)
    {
        units.insert(result.unit.key, QJsonObject{
                                          {QStringLiteral("key"), result.unit.key},
                                          {QStringLiteral("row"), result.unit.row},
                                          {QStringLiteral("port"), PortText(result)},
                                          {QStringLiteral("serial"), result.serial},
                                          {QStringLiteral("outcome"), UnitOutcomeText(result.outcome)},
                                          {QStringLiteral("reason"), result.reason},
                                          {QStringLiteral("seconds"), result.seconds},
                                          {QStringLiteral("startedUtc"), result.startedUtc.toString(Qt::ISODate)},
                                          {QStringLiteral("backup"), result.backupFile},
                                          {QStringLiteral("certificate"), certificate},
                                          {QStringLiteral("auditHash"), result.auditHash},
                                      });
        QJsonArray list;
        for (const QJsonObject &unit : units)
            list.append(unit);
        const QJsonObject top{{QStringLiteral("plan"), QFileInfo(path).completeBaseName()},
                              {QStringLiteral("units"), list}};
        return SaveFileWhole(path, QJsonDocument(top).toJson(), error);
    }

private:
    QString path;
    QMap<QString, QJsonObject> units;
};

// One run of a checked plan on the program's settings.
class ProvisionJob
{
public:
    ProvisionJob(const ProvisionPlan &plan, const ProvisionOptions &options)
        : plan(plan), options(options), results(plan.path)
    {
    }

    int Run()
    {
        ProvisionSettings settings;
        if (!Prepare(settings))
            return ExitFailed;
        ProvisionRun run(plan, settings);
        CliSignalWatch signalWatch;
        QObject::connect(&signalWatch, &CliSignalWatch::Stopped, &run, [&](int signalNumber) {
            stopSignal = signalNumber;
            PrintError(QStringLiteral("talvek-cli: stopping every unit at its next safe point"));
            run.Stop();
        });
        QObject::connect(&run, &ProvisionRun::unitStep, &run, [](int row, const QString &port, UnitStep step) {
            PrintOut(QStringLiteral("row %1 %2: %3").arg(row).arg(port, UnitStepText(step)));
        });
        QObject::connect(&run, &ProvisionRun::unitDone, &run, [this](const UnitResult &result) { Done(result); });
        QObject::connect(&run, &ProvisionRun::finished, &run, [] { QCoreApplication::exit(0); });
        for (const PlanUnit &unit : plan.units)
            if (settings.skipKeys.contains(unit.key))
                PrintOut(QStringLiteral("row %1 %2: skipped, verified in an earlier run")
                             .arg(unit.row)
                             .arg(unit.PortText()));
        run.Start();
        QCoreApplication::exec();
        PrintTable(run.Results());
        return Status(run.Results());
    }

private:
    bool Prepare(ProvisionSettings &settings)
    {
        QString error;
        if (!results.Load(&error)) {
            PrintError(QStringLiteral("talvek-cli: ") + error);
            return false;
        }
        ProgramSetup setup;
        const bool ready = setup.Run();
        for (const SetupMessage &message : setup.Messages())
            PrintMessage(message.caption, message.text);
        if (!ready)
            return false;
        const std::unique_ptr<TfrmGuiSettings> stored = setup.TakeSettings();
        language = setup.TakeLanguage();
        if (options.languageIndex >= 0)
            language->SelectLanguage(options.languageIndex);
        settings.programFolder = setup.ExeFolder();
        settings.timing = StoredLinkTiming(stored.get());
        const QFileInfo planFile(plan.path);
        resultsFolder = planFile.absoluteDir().filePath(planFile.completeBaseName() + QStringLiteral("-results"));
        settings.resultsFolder = resultsFolder;
        for (const ComPortDevice &port : SystemComPorts())
            settings.ports.append(port.friendlyName);
        if (!options.again)
            settings.skipKeys = results.Verified();
        return true;
    }

    void Done(const UnitResult &result)
    {
        QString certificate;
        QString error;
        if (!result.settings.isEmpty()) {
            if (WriteUnitCertificate(result, resultsFolder, &error))
                certificate = CertificateBase(resultsFolder, result.serial) + QStringLiteral(".pdf");
            else
                PrintError(QStringLiteral("talvek-cli: the certificate was not written: ") + error);
        }
        if (!results.Record(result, certificate, &error))
            PrintError(QStringLiteral("talvek-cli: the result file was not written: ") + error);
        PrintOut(QStringLiteral("row %1 %2: %3%4 (%5 s)")
                     .arg(result.unit.row)
                     .arg(PortText(result), UnitOutcomeText(result.outcome),
                          result.reason.isEmpty() ? QString() : QStringLiteral(": ") + result.reason)
                     .arg(result.seconds, 0, 'f', 1));
    }

    static void PrintTable(const QList<UnitResult> &units)
    {
        const auto line = [](const QStringList &cells) {
            PrintOut(cells[0].leftJustified(5) + cells[1].leftJustified(7) + cells[2].leftJustified(12) +
                     cells[3].leftJustified(16) + cells[4].rightJustified(8) + QStringLiteral("  ") + cells[5]);
        };
        line({QStringLiteral("row"), QStringLiteral("port"), QStringLiteral("serial"), QStringLiteral("outcome"),
              QStringLiteral("time"), QStringLiteral("why")});
        for (const UnitResult &unit : units)
            line({QString::number(unit.unit.row), PortText(unit),
                  unit.serial.isEmpty() ? QStringLiteral("-") : unit.serial, UnitOutcomeText(unit.outcome),
                  QString::number(unit.seconds, 'f', 1) + QStringLiteral(" s"), unit.reason});
    }

    int Status(const QList<UnitResult> &units) const
    {
        if (stopSignal != 0)
            return SignalStatus(stopSignal);
        for (const UnitResult &unit : units)
            if (ExitStatus(unit.outcome) != ExitOk)
                return ExitUnitsNotVerified;
        return ExitOk;
    }

    const ProvisionPlan &plan;
    const ProvisionOptions options;
    ResultFile results;
    QString resultsFolder;
    std::unique_ptr<TLanguage> language;
    int stopSignal = 0;
};
} // namespace

int RunProvision(const ProvisionOptions &options)
{
    const ProvisionPlan plan = ReadProvisionPlan(options.planFile);
    if (plan.Refused()) {
        const QString name = QFileInfo(options.planFile).fileName();
        for (const PlanProblem &problem : plan.problems)
            PrintError(QStringLiteral("talvek-cli: %1: %2").arg(name, problem.Describe()));
        PrintError(QStringLiteral("talvek-cli: the plan is refused; no sensor was touched"));
        return ExitPlanRefused;
    }
    return ProvisionJob(plan, options).Run();
}
