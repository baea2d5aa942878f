#pragma once
// The work a front end does with one sensor, without windows: find it and
// bring it online, read it, write it and verify, back it up and restore it,
// load and save configuration files. Every step returns an enum class
// outcome with its details; the windows turn them into their boxes, the
// command line into exit statuses. Questions go through IQuestions.
//
// UI thread (the link's) only; the steps block while the link pumps events.
#include "device/deviceSession.h"
#include "engine/auditLog.h"
#include "engine/cancelToken.h"
#include "engine/deviceReader.h"
#include "engine/deviceWriter.h"
#include "engine/document.h"
#include "engine/validation.h"
#include "workflows/portScanner.h"
#include "workflows/questions.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

// Where to look for the sensor: a port (-1: scan every port) and, with a
// port, a baud code (-1: every rate the scan uses).
struct SensorTarget {
    int comNumber = -1;
    int baudCode = -1;
    bool HasPort() const { return comNumber > 0; }
    bool Direct() const { return HasPort() && baudCode >= 0; }
};

enum class ConnectOutcome {
    Connected,
    NoPorts,          // there is no port to scan
    NoSensor,         // nothing answered on any port and rate tried
    PortNotOpened,    // the port (a named one, or the sensor's) could not be opened
    Aborted,          // cancelled
    UnknownDevice,    // the identity names no product, or an unsupported one
    UnitsUnusable,    // the units file is missing or cannot be read
    TemplateUnusable, // the product's template cannot be read
    SetupModeFailed,  // the sensor would not enter setup mode
    SerialNumberFailed,
};

struct ConnectResult {
    ConnectOutcome outcome = ConnectOutcome::NoSensor;
    ScanResult scan;         // what the scan or try saw
    aDeviceCommsInfo device; // the sensor brought online (or tried)
    // The system's or the sensor's reason, a file problem; for an unknown
    // device the translation key of what is wrong with its identity.
    QString reason;
    enum class IdentityProblem { None, NoProtocol, Unknown, Unsupported };
    IdentityProblem identityProblem = IdentityProblem::None;
};

enum class ReadOutcome {
    Complete,
    Incomplete,       // some settings could not be read (FailedCmds say which)
    SetupModeRefused, // nothing was read
    Aborted,
    DeviceGone,
};

struct ReadResult {
    ReadOutcome outcome = ReadOutcome::Incomplete;
    ReadReport report;
};

enum class FileOutcome {
    Done,
    Unreadable,     // missing, not a configuration, too big for the editor
    WriteFailed,    // the file could not be written (reason says why)
    InvalidEntries, // not saved: entries break their rules (invalid says which)
    Incompatible,   // another product, or a mismatch the questions declined
};

struct FileResult {
    FileOutcome outcome = FileOutcome::Done;
    CompatibilityCheck compatibility; // for a load
    QList<EntryError> invalid;        // for a save
    QString reason;
};

enum class WriteOutcome {
    Verified,         // the sensor holds what was written
    NotVerified,      // written, but some settings read back otherwise (or not at all)
    InvalidEntries,   // nothing sent: entries break their rules
    Declined,         // nothing sent: the write was not confirmed
    SetupModeRefused, // nothing sent
    DeviceGone,       // the sensor stopped answering during the write
    Aborted,
};

// How the shown settings become commands (the editor knows what the
// document alone cannot: the report format chosen, the times as shown).
struct WriteChoices {
    bool syncTime = false;
    QString reportFormat;
    // Time texts as read or shown, by command; empty: the document's own.
    QHash<QString, QString> timeAsRead;
};

struct WriteResult {
    WriteOutcome outcome = WriteOutcome::NotVerified;
    QList<EntryError> invalid;
    WriteReport write;
    VerifyReport verify;
    // The audit log's record of this write: the hash of its entry, or why
    // no entry could be written (the write itself stands either way).
    QString auditHash;
    QString auditProblem;
};

enum class BackupOutcome { Saved, ReadIncomplete, Aborted, FileNotSaved };

struct BackupResult {
    BackupOutcome outcome = BackupOutcome::ReadIncomplete;
    ReadResult read;
    FileResult file;
};

enum class RestoreOutcome { Verified, FileRefused, InvalidEntries, NotWritten, NotVerified, Aborted };

struct RestoreResult {
    RestoreOutcome outcome = RestoreOutcome::NotWritten;
    FileResult file;
    WriteResult write;
};

class SensorWork : public QObject
{
    Q_OBJECT
public:
    // programFolder holds the templates and the units file (trailing '/').
    SensorWork(const QString &programFolder, const LinkTiming &timing, QObject *parent = nullptr);
    ~SensorWork() override; // lets the sensor go

    void SetPortSource(ComPortSource source);
    void SetFirstTryPort(int number) { firstTryPort = number; }
    // Received lines are announced to this object (see serial/comms.h).
    void SetLineReceiver(QObject *receiver) { lineReceiver = receiver; }
    // Stops the running step at its next safe point (a scan, a read, a
    // write), and every step after it; the sensor is still let go properly.
    void Stop();
    bool Stopped() const { return cancel->IsCancelled(); }
    // Lets steps run again after a Stop (a window's next action).
    void ClearStop() { cancel->Reset(); }
    // What the audit log records the next writes as ("write", "restore",
    // "provision"); a restore records itself as one whatever this says.
    void SetAuditAction(const QString &action) { auditAction = action; }
    // The audit log the writes are recorded in; empty: the application data
    // folder's.
    void SetAuditLogPath(const QString &path) { auditLogPath = path; }
    QString AuditLogPath() const { return auditLogPath.isEmpty() ? AuditLog::DefaultPath() : auditLogPath; }
    // The last write's audit record: its hash, or why none could be written
    // (both empty while a written entry waits for its verification).
    const QString &AuditHash() const { return lastAudit.hash; }
    const QString &AuditProblem() const { return lastAudit.error; }

    // Scans the listed ports (or, with a port and rate, tries that one);
    // Connected with the first sensor found. Opens nothing for good.
    ConnectResult Search(const SensorTarget &target);
    // Finds the sensor (Search), opens its port, chooses its template
    // and takes it into setup mode with its serial number read.
    ConnectResult Connect(const SensorTarget &target);
    // Brings a sensor a scan found online (Connect after its Search).
    ConnectResult ConnectFound(const aDeviceCommsInfo &found);
    // Works through a session someone else opened and owns (the sensor
    // is in setup mode); Release() then only lets go of it.
    void Attach(TfrmInterface *session);
    // Makes document the one the steps read into and write from.
    void Adopt(const Document &document) { current = document; }
    // Finds the sensor (Search) and opens its port without taking it into
    // setup mode: it goes on measuring, and each line it sends is announced
    // to receiver (a LiveMonitor). Current() is the product's template,
    // whose report the lines are decoded with, since no setting is read.
    ConnectResult Listen(const SensorTarget &target, QObject *receiver);
    bool Listening() const { return listening; }
    // Reads every setting into Current().
    ReadResult Read();
    // Checks the file against the sensor (asking about a protocol, heating
    // or axis mismatch) and makes it Current(), trimmed to the sensor.
    FileResult LoadFile(const QString &path, IQuestions &questions);
    // Checks Current()'s entries and writes it to path whole or not at all.
    FileResult SaveFile(const QString &path);
    // Checks the entries, asks to confirm, writes Current() and reads it back.
    // syncTime sets the sensor's clock to the PC's.
    WriteResult WriteAndVerify(IQuestions &questions, bool syncTime);
    WriteResult WriteAndVerify(IQuestions &questions, const WriteChoices &choices);
    // The two halves: Write sends (outcome Verified meaning every line went
    // out), Verify reads everything back and compares.
    WriteResult Write(IQuestions &questions, const WriteChoices &choices);
    VerifyReport Verify();
    // Read, then SaveFile.
    BackupResult Backup(const QString &path);
    // LoadFile, then WriteAndVerify.
    RestoreResult Restore(const QString &path, IQuestions &questions, bool syncTime);
    // Tells the sensor to leave setup mode (unless it was only listened to)
    // and lets the port go.
    void Release();

    bool Online() const { return online; }
    const Document &Current() const { return current; }
    // What the last read or verification read from the sensor.
    const Document &LastRead() const { return lastRead; }
    DeviceSession *Device() { return device.get(); }
    TfrmInterface *Session() const { return session; }
    const QString &SerialNumber() const { return serialNumber; }
    // The template of the sensor brought online (full path).
    const QString &TemplatePath() const { return templatePath; }

signals:
    // While reading or writing: steps done so far of total.
    void progress(int done, int total);
    void lineSent(const QString &line);
    void lineSkipped(const QString &line);
    void unknownUnits(const QList<UnknownUnits> &settings);

private:
    ConnectResult BringOnline(ConnectResult result);
    bool OpenDocument(const QString &identity, ConnectResult &result);
    static bool AskAboutMismatches(const CompatibilityCheck &check, IQuestions &questions);
    WriteOutcome Send(IQuestions &questions, const WriteChoices &choices, WriteResult &result);
    // The audit trail (workflows/sensorWorkAudit.cpp): a write that sent
    // lines is recorded at once when it stopped early, else once verified.
    void AuditWrite(WriteResult &result);
    AuditEntry StartAuditEntry(const WriteReport &report) const;
    void RecordAudit(AuditEntry entry, const QString &outcome, const QStringList &notVerified = {});
    void AuditVerification(const VerifyReport &report);
    // A written entry no verification completed is recorded as such.
    void FlushPendingAudit();
    void CopyAudit(WriteResult &result) const;

    QString programFolder;
    LinkTiming timing;
    ComPortSource portSource;
    int firstTryPort = 1;
    CancelTokenPtr cancel = std::make_shared<CancelToken>();
    PortScanner *scanner = nullptr; // while a scan or try runs
    std::unique_ptr<DeviceSession> device;
    TfrmInterface *session = nullptr; // device's, or an attached one
    QObject *lineReceiver = nullptr;
    Document current;
    Document lastRead;
    QString serialNumber;
    QString templatePath;
    bool online = false;
    bool listening = false;
    QString auditAction = QStringLiteral("write");
    QString auditLogPath;
    std::optional<AuditEntry> pendingAudit;
    AuditAppendResult lastAudit;
    int comNumber = 0;        // the port of the sensor online (0: an attached session's)
    bool knownBefore = false; // LastRead() holds this sensor's every setting
};
