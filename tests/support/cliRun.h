#pragma once
// Running talvek-cli from a test as a user would: its own process, the
// test's data folder as TALVEK_DATA_DIR and working folder.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

struct CliRun {
    int status = -1; // -1: it crashed or did not end in time
    QString out;
    QString err;
};

void StartCli(QProcess &process, const QString &program, const QStringList &arguments, const QString &dataDir);
// Waits for a started run to end (killing it after timeoutMs).
CliRun FinishCli(QProcess &process, int timeoutMs = 120000);
CliRun RunCli(const QString &program, const QStringList &arguments, const QString &dataDir, int timeoutMs = 120000);

// The shipped default settings (appDir/TalvekDefaultSettings.tsf) with short
// serial waits, so a test run stays quick.
QByteArray QuickLinkSettings(const QString &appDir);
// Writes them as dataDir's last settings, which talvek-cli starts from.
bool WriteQuickLinkSettings(const QString &dataDir, const QString &appDir);
