#include "cli/provisionCertificate.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <pwd.h>
#include <unistd.h>

namespace
{
ReportSection UnitSection(const UnitResult &result, const QString &operatorName)
{
    ReportSection section;
    section.heading = QStringLiteral("Unit");
    const QString outcome = UnitOutcomeText(result.outcome) +
                            (result.reason.isEmpty() ? QString() : QStringLiteral(" (") + result.reason + ')');
    section.rows = {
        {QStringLiteral("Product"), result.product},
        {QStringLiteral("Identity"), result.identity},
        {QStringLiteral("Serial number"), result.serial},
        {QStringLiteral("Port"), QStringLiteral("COM") + QString::number(result.comNumber)},
        {QStringLiteral("Plan row"), QString::number(result.unit.row)},
        {QStringLiteral("Base file"), QFileInfo(result.unit.baseFile).fileName()},
        {QStringLiteral("Date (UTC)"), result.startedUtc.toString(Qt::ISODate)},
        {QStringLiteral("Operator"), operatorName},
        {QStringLiteral("Outcome"), outcome},
        {QStringLiteral("Audit entry"),
         !result.auditHash.isEmpty()
             ? result.auditHash
             : QStringLiteral("none") +
                   (result.auditProblem.isEmpty() ? QString() : QStringLiteral(": ") + result.auditProblem)},
    };
    return section;
}

ReportSection OverridesSection(const UnitResult &result)
{
    ReportSection section;
    section.heading = QStringLiteral("Differences from the base file");
    for (const PlanOverride &override : result.unit.overrides)
        section.rows.append({override.cmd, override.value});
    if (section.rows.isEmpty())
        section.lines.append(QStringLiteral("none: the base file as it is"));
    return section;
}

ReportSection SettingsSection(const UnitResult &result)
{
    ReportSection section;
    section.heading = QStringLiteral("Settings as verified on the sensor");
    for (const VerifiedSetting &setting : result.settings)
        section.rows.append(
            {QStringLiteral("%1 / %2 (%3)").arg(setting.category, setting.name, setting.cmd), setting.value});
    return section;
}
} // namespace

QString OperatorName()
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) {
        const passwd *entry = getpwuid(getuid());
        user = entry != nullptr ? QString::fromLocal8Bit(entry->pw_name) : QStringLiteral("unknown");
    }
    return user + QLatin1Char('@') + QSysInfo::machineHostName();
}

PrintedReport UnitCertificate(const UnitResult &result, const QString &operatorName)
{
    PrintedReport report;
    report.title = QStringLiteral("Provisioning certificate");
    report.subtitle = result.product + QStringLiteral(", serial number ") + result.serial;
    report.sections = {UnitSection(result, operatorName), OverridesSection(result), SettingsSection(result)};
    if (!result.notVerified.isEmpty()) {
        ReportSection failed;
        failed.heading = QStringLiteral("Not verified");
        failed.lines = result.notVerified;
        report.sections.append(failed);
    }
    return report;
}

QString CertificateBase(const QString &resultsFolder, const QString &serial)
{
    return UnitFilePath(resultsFolder, serial, QStringLiteral("-certificate"));
}

bool WriteUnitCertificate(const UnitResult &result, const QString &resultsFolder, QString *error)
{
    const PrintedReport report = UnitCertificate(result, OperatorName());
    const QString base = CertificateBase(resultsFolder, result.serial);
    return QDir().mkpath(resultsFolder) && WriteReportPdf(report, base + QStringLiteral(".pdf"), error) &&
           WriteReportText(report, base + QStringLiteral(".txt"), error);
}
