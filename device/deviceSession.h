#pragma once
#include "device/interface.h"
#include "serial/comms.h"

#include <QObject>
#include <QString>
#include <memory>

// Why bringing a sensor online stopped; None when the step worked.
enum class BringUpFailure {
    None,
    PortNotOpened,        // the system refused the port: OpenErrorText() says why
    ReceiveServiceFailed, // the receive thread could not be started
    NoAnswer,             // the unit query got no usable identity line
    SetupModeFailed,      // SetupModeFailure() says why
    SerialNumberFailed,   // the serial number query got no answer
};

// Timing of one link: the exchange delays and the wait after opening.
struct LinkTiming {
    int responseTimeout = 0;
    int interCharDelay = 20;
    int settle = 0;
};

// One sensor connection: the link and the command session on it, and the
// steps that bring the sensor online (open with retry, receive service,
// unit query, setup mode, serial number) and let it go again. Reports what
// failed as a BringUpFailure and shows nothing. UI thread only; every step
// blocks while pumping events through the link's wait.
class DeviceSession : public QObject
{
    Q_OBJECT
public:
    // A port just released by another program often needs a moment.
    static constexpr int kOpenAttempts = 4;
    static constexpr int kOpenRetryPauseMs = 500;

    explicit DeviceSession(const LinkTiming &timing, QObject *owner = nullptr);
    ~DeviceSession() override; // closes the port without a word to the sensor

    void SetOpenRetry(int attempts, int pauseMs);
    void SetPortSource(ComPortSource source);

    // Opens portIndex (0-based) at baudCode, retrying (SetOpenRetry).
    BringUpFailure Open(int portIndex, int baudCode);
    // Opens portIndex once, as a scan does: no retry.
    BringUpFailure OpenOnce(int portIndex, int baudCode);
    // Starts the port's debug log (the comm<N>.dbg file) on an open port.
    void OpenPortLog();
    // Starts the receive service (lines announced to notifyWindow while
    // streaming) and switches it to transacting.
    BringUpFailure StartTransacting(QObject *notifyWindow = nullptr);
    // Starts the receive service streaming: each line is announced to
    // notifyWindow as it completes, and no command is sent.
    BringUpFailure StartStreaming(QObject *notifyWindow);
    // Asks for the identity; learns the unit address.
    BringUpFailure QueryUnit();
    BringUpFailure EnterSetupMode();
    BringUpFailure ReadSerialNumber();
    // Open, OpenPortLog and every step below, in order, stopping at the first failure.
    BringUpFailure BringUp(int portIndex, int baudCode, QObject *notifyWindow = nullptr);

    // Closes the port and its receive service; the link stays for another Open.
    void Close();
    // Tells the sensor to leave setup mode when the receive service runs: a
    // sensor left there stops measuring until power-cycled; outside setup
    // mode it ignores the word.
    void LeaveSetupMode();
    // LeaveSetupMode, then Close.
    void Release();

    TComms &Link() { return *link; }
    const TComms &Link() const { return *link; }
    TfrmInterface &Session() { return *session; }
    const QString &Identity() const { return identity; }
    const QString &SerialNumber() const { return serialNumber; }
    QString OpenErrorText() const { return link->OpenErrorText(); }
    QString SetupModeFailure() const { return session->SetupModeFailure(); }
    // The link's or session's result code of the last failed step, 0 after success.
    int LastCode() const { return lastCode; }

private:
    BringUpFailure Fail(BringUpFailure failure, int code);

    std::unique_ptr<TComms> link;
    std::unique_ptr<TfrmInterface> session; // declared after the link, so released before it
    LinkTiming timing;
    int openAttempts = kOpenAttempts;
    int openRetryPauseMs = kOpenRetryPauseMs;
    QString identity;
    QString serialNumber;
    int lastCode = 0;
};
