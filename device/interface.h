#pragma once
#include "serial/comms.h"

#include <QObject>
#include <QStringList>

// Result codes of the session, beside the link's.
constexpr int ERR_COMMAND_FAILED = 20; // setup mode, serial number or safe-mode probe failed
constexpr int ERR_QUERY_FAILED = 24;   // the unit query got no usable "ID:" line

// The device command session: identification, setup mode, serial number and
// retries on top of a link. UI thread only; every call blocks until done and
// pumps UI events while the link waits. The link is not owned.
class TfrmInterface : public QObject
{
    Q_OBJECT
public:
    explicit TfrmInterface(QObject *owner = nullptr);

    int SetComms(TComms *link);

    int QueryUnit(QString &identity);
    int EnterSetupMode();
    // Why the last EnterSetupMode failed, in words for the user.
    QString SetupModeFailure() const { return setupModeFailure; }
    int ExitSetupMode();
    int GetSerialNumber(QString &serial);
    int SafeModeProbe();
    // Whether the device still answers at all: the unit query, which it
    // answers in setup mode too. Tells a command the device lacks, or answers
    // late, from a device that is gone; false at once when the link is lost.
    bool IsAnswering();
    // True when the link reports that the device hung up or the port failed.
    bool LinkLost() const { return comms == nullptr || comms->DeviceLost(); }
    // Whether the device is gone after an exchange that returned
    // exchangeCode: the link is lost, or the exchange got no answer and the
    // unit query gets none either.
    bool DeviceGone(int exchangeCode);

    // Pass-through to the link (4 when no link is set).
    int StartRxService(QObject *notifyWindow);
    int SetRxServiceMode(int mode);
    int GetRxLineCount(int &count);
    int PopRxLine(QString &text);
    int SendCmdGetSingleResp(const QString &command, QString &response); // always sends the closing CR
    int SendCmdGetMultipleResp(const QString &command, QStringList &responses);

    bool SendAndFind(const QString &command, const QString &expected, int extraAttempts, QString &line);
    bool SendAndMatch(const QString &command, const QString &expected, bool sendCR, int extraAttempts,
                      QString &response);
    int EnterSetupModeOnce();
    bool ExtractUnitAddress(const QString &identity);
    // "**", the unit address four times, LF.
    QString SetupModeCommand() const;

    TComms *comms = nullptr;
    int retryCount = 5;
    int livenessRetries = 1; // IsAnswering gives up quickly: the device is probably gone
    QString unitAddress = QStringLiteral("Q");

private:
    QString setupModeFailure;
};
