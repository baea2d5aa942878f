#pragma once
#include "cli/exitcodes.h"
#include "workflows/liveMonitor.h"
#include "workflows/programSetup.h"
#include "workflows/sensorWork.h"

#include <QObject>
#include <QString>
#include <memory>

// What the monitor command does with the lines.
struct MonitorOptions {
    QString csvFile;     // record decoded lines here (absolute; empty: none)
    double seconds = -1; // stop after this long (< 0: at a signal only)
    bool raw = false;    // print the lines as received instead of decoded
    QString configFile;  // decode by this configuration's report (absolute; empty: the template's)
};

// Where a command looks for its sensor: a port (-1: every port) and, with a
// port, a baud rate ("" : every rate the scan uses).
struct CliTarget {
    int comNumber = -1;
    QString baud;
    bool HasPort() const { return comNumber > 0; }
    bool Direct() const { return HasPort() && !baud.isEmpty(); }
};

// One command of the command line on the program's workflows: no window
// and no box. Each outcome becomes an exit status (cli/exitstatus.h) and
// the lines the program's boxes would show, "caption: text" on standard
// error, in the chosen language.
class CliSession : public QObject
{
public:
    CliSession();
    ~CliSession() override;

    // Start-up as the program's; false (after its messages) when it cannot run.
    // languageIndex -1 keeps the stored language.
    bool Start(int languageIndex);
    void SetTarget(const CliTarget &target);
    void SetAcceptMismatch(bool accept) { acceptMismatch = accept; }

    int Ports();
    int Scan();
    // Why the ports (or the target port) can or cannot be opened; opens none.
    int Doctor();
    int Read(const QString &outputFile);
    int Write(const QString &inputFile);
    int Backup(const QString &outputFile);
    int Restore(const QString &inputFile);
    // Watches the sensor's output without setup mode (cli/climonitor.cpp).
    int Monitor(const MonitorOptions &options);

    // A SIGINT or SIGTERM arrived: the running scan, read or write stops at
    // its next step (one about to start does not start) and the sensor is
    // told to leave setup mode on the way out.
    void Stop(int signalNumber);
    // 0 until Stop; then the status the program ends with.
    int StoppedStatus() const;

private:
    bool Stopped() const { return stopSignal != 0; }
    // Connects for a command; ExitOk or the failure's status (explained).
    int Connect();
    SensorTarget Where() const;
    // ExitOk for a sensor brought online, else the failure's status (explained).
    int Connected(const ConnectResult &result);
    void ExplainConnectFailure(const ConnectResult &result) const;
    void ExplainNotFound(const ScanResult &scan) const;
    int Finish(int status);
    int Status(CliExit status) const;
    bool SyncTime() const;
    void PrintSummary(const Document &document, bool listProblems) const;
    void PrintVerificationFailures(const WriteResult &result) const;
    // Says why a file could not be loaded; true when it was.
    bool ReportFileLoad(const FileResult &result) const;
    // ExitOk, or the status of a file that cannot be loaded (said on standard error).
    int CheckInputFile(const QString &inputFile) const;
    int ReportWrite(const WriteResult &result) const;
    void ReportInvalidEntries(const QList<EntryError> &errors) const;
    void Disconnect();
    int Listen(LiveMonitor &monitor);
    // The document the lines are decoded with; ExitOk, or why the file cannot serve.
    int MonitorDocument(const MonitorOptions &options, Document &document) const;
    void PrintLine(const DecodedLine &line, const QDateTime &time, const LineDecoder &decoder, bool raw) const;
    void PrintMonitorSummary(const LiveMonitor &monitor, const MonitorOptions &options) const;

    std::unique_ptr<TfrmGuiSettings> settings;
    std::unique_ptr<TLanguage> language;
    QString programFolder;
    std::unique_ptr<SensorWork> work;
    CliTarget target;
    bool acceptMismatch = false;
    int stopSignal = 0;
    bool watching = false; // the monitor's event loop runs: a signal ends it
};
