#pragma once
// Sends a document's setup commands to the connected device and verifies
// them by reading everything back. GUI thread (the session's thread) only.
#include "engine/cancelToken.h"
#include "engine/deviceReader.h"
#include "engine/document.h"

#include <QObject>
#include <QStringList>

class TfrmInterface;

struct WriteReport {
    enum class Stop {
        None,             // every line went out (what the device made of them is the verification's)
        SetupModeRefused, // nothing was sent
        Aborted,          // the cancel token was set
        DeviceGone,       // the device stopped answering or hung up
    };
    Stop stop = Stop::None;
    QString failedLine; // the line the device did not answer (DeviceGone)
    QStringList sent;   // as sent (a synchronised TIME with the PC's time)
    // The device was sent back to measuring (the write stopped early); after
    // a write that ran to the end it is still in setup mode.
    bool leftInMeasuringMode = false;

    bool Complete() const { return stop == Stop::None; }
};

struct VerifyReport {
    bool verified = false;
    ReadReport read;
    // The settings whose value read back differs from the one written, then
    // those that could not be read back, each command once.
    QStringList notVerified;
    QList<DocumentDifference> differences;
    Document readBack; // what the device holds, as read back
};

class DeviceWriter : public QObject
{
    Q_OBJECT

public:
    explicit DeviceWriter(TfrmInterface *session, QObject *parent = nullptr);

    // Checked after each line.
    void SetCancelToken(CancelTokenPtr token) { m_cancel = std::move(token); }

    // Enters setup mode and sends the document's commands.
    WriteReport Write(const Document &document, const CommandOptions &options = {});
    // Sends the lines (the device must be in setup mode). A line with
    // "COMMAND IGNORED" is skipped; with sync, "TIME" lines carry the PC's time.
    WriteReport Send(const QStringList &lines, bool sync);
    // Reads everything back into a copy of written and compares the values.
    VerifyReport Verify(const Document &written);

    // "TIME" and the current UTC date and time, as the device sets its clock.
    static QString SyncTimeCommand();

signals:
    // Before each line: lines done so far of total.
    void progress(int done, int total);
    void lineSent(const QString &line);
    void lineSkipped(const QString &line);
    // Before setup mode: settings no command could be built for.
    void unknownUnits(const QList<UnknownUnits> &settings);

private:
    bool SendLine(const QString &line, bool sync, WriteReport &report);
    WriteReport Stopped(WriteReport report, WriteReport::Stop stop);

    TfrmInterface *m_session = nullptr;
    CancelTokenPtr m_cancel;
};
