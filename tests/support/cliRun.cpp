#include "tests/support/cliRun.h"

#include <QFile>
#include <QList>
#include <QPair>
#include <QProcessEnvironment>
#include <QRegularExpression>

void StartCli(QProcess &process, const QString &program, const QStringList &arguments, const QString &dataDir)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TALVEK_DATA_DIR"), dataDir);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dataDir);
    process.start(program, arguments);
}

CliRun FinishCli(QProcess &process, int timeoutMs)
{
    CliRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

CliRun RunCli(const QString &program, const QStringList &arguments, const QString &dataDir, int timeoutMs)
{
    QProcess process;
    StartCli(process, program, arguments, dataDir);
    return FinishCli(process, timeoutMs);
}

QByteArray QuickLinkSettings(const QString &appDir)
{
    QFile file(appDir + QStringLiteral("/TalvekDefaultSettings.tsf"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    const QList<QPair<QString, QString>> values = {
        {"userDelayEnabled", "1"}, {"responseTimeout", "100"}, {"interCharDelay", "0"}, {"powerOnDelay", "50"}};
    for (const auto &[key, value] : values)
        text.replace(QRegularExpression(QStringLiteral("<GS%1>[^<]*</GS%1>").arg(key)),
                     QStringLiteral("<GS%1>%2</GS%1>").arg(key, value));
    return text.toUtf8();
}

bool WriteQuickLinkSettings(const QString &dataDir, const QString &appDir)
{
    const QByteArray settings = QuickLinkSettings(appDir);
    QFile file(dataDir + QStringLiteral("/TalvekLastSettings.tsf"));
    return !settings.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size();
}
