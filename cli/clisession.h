#pragma once
#include "cli/clidialogs.h"
#include "cli/exitcodes.h"

#include <QObject>
#include <QString>
#include <memory>

class QDialog;
class TfrmCommsInit;
class TfrmMain;

// Where a command looks for its sensor: a port (-1: every port) and, with a
// port, a baud rate ("" : every rate the scan uses).
struct CliTarget {
    int comNumber = -1;
    QString baud;
    bool HasPort() const { return comNumber > 0; }
    bool Direct() const { return HasPort() && !baud.isEmpty(); }
};

// The windowed program's main window, run without a user: its modal windows
// return at once except the connection dialog, which scans (or, given a port
// and rate, makes the manual try) and closes itself; its boxes go to
// CliDialogs. Each command drives the window's own handlers and turns what
// they reported into an exit status.
class CliSession : public QObject
{
public:
    CliSession();
    ~CliSession() override;

    // Starts the main window; false (after a message) when it cannot start.
    // languageIndex -1 keeps the stored language.
    bool Start(int languageIndex);
    CliDialogs &Answers() { return dialogs; }
    void SetTarget(const CliTarget &target);

    int Ports();
    int Scan();
    int Read(const QString &outputFile);
    int Write(const QString &inputFile);
    int Backup(const QString &outputFile);
    int Restore(const QString &inputFile);

    // A SIGINT or SIGTERM arrived: aborts what runs (a scan, a read, a
    // write; one about to start is aborted as it starts) through the same
    // path as the Abort buttons. The command then returns at its next step
    // and the sensor is told to leave setup mode on the way out.
    void Stop(int signalNumber);
    // 0 until Stop; then the status the program ends with.
    int StoppedStatus() const;

private:
    bool Stopped() const { return stopSignal != 0; }
    void AbortRunningWork();
    // Aborts a progress dialog as soon as it is shown, once stopped.
    bool eventFilter(QObject *watched, QEvent *event) override;
    int RunModal(QDialog &dialog);
    int RunConnectionDialog(TfrmCommsInit &dialog);
    void ScanFromEventLoop(TfrmCommsInit &dialog);
    void ManualTry(TfrmCommsInit &dialog);
    // The status of a connect handler that left no connection behind; says
    // on standard error which ports and rates were tried and why none served.
    int NotFoundStatus() const;
    int ConnectFailureStatus() const;
    void ExplainNotFound() const;
    int ConnectOnly();
    bool FileRefused() const;
    bool InvalidEntriesShown() const;
    int WriteStatus();
    void PrintSummary();
    void PrintVerificationFailures();
    void Disconnect();

    CliDialogs dialogs;
    std::unique_ptr<TfrmMain> window;
    CliTarget target;
    bool portOpenFailed = false;
    int stopSignal = 0;
};
