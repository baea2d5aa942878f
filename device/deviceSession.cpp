#include "device/deviceSession.h"

#include "base/log.h"

#include <QThread>

DeviceSession::DeviceSession(const LinkTiming &timing, QObject *owner)
    : QObject(owner), link(std::make_unique<TComms>(this, timing.responseTimeout, timing.interCharDelay)),
      session(std::make_unique<TfrmInterface>()), timing(timing)
{
    setObjectName(QStringLiteral("deviceSession"));
    session->SetComms(link.get());
}

DeviceSession::~DeviceSession()
{
    // No exchange from a destructor: Release() is the polite way to let go.
    Close();
}

void DeviceSession::SetOpenRetry(int attempts, int pauseMs)
{
    openAttempts = attempts < 1 ? 1 : attempts;
    openRetryPauseMs = pauseMs < 0 ? 0 : pauseMs;
}

void DeviceSession::SetPortSource(ComPortSource source)
{
    link->portUtils->SetPortSource(std::move(source));
}

BringUpFailure DeviceSession::Fail(BringUpFailure failure, int code)
{
    lastCode = code;
    return failure;
}

BringUpFailure DeviceSession::Open(int portIndex, int baudCode)
{
    int result = 0;
    for (int attempt = 0; attempt < openAttempts; ++attempt) {
        result = link->Init(portIndex, PortParams{baudCode, 0, 0, 8, 0, 0}, timing.settle);
        if (result == 0)
            break;
        QThread::msleep(static_cast<unsigned long>(openRetryPauseMs));
        Log(QStringLiteral("Re-trying to open port"));
    }
    if (result != 0) {
        Log(QStringLiteral("Error - Failed to open port"));
        return Fail(BringUpFailure::PortNotOpened, result);
    }
    lastCode = 0;
    return BringUpFailure::None;
}

BringUpFailure DeviceSession::OpenOnce(int portIndex, int baudCode)
{
    const int result = link->Init(portIndex, PortParams{baudCode, 0, 0, 8, 0, 0}, timing.settle);
    if (result != 0)
        return Fail(BringUpFailure::PortNotOpened, result);
    lastCode = 0;
    return BringUpFailure::None;
}

void DeviceSession::OpenPortLog()
{
    link->OpenPortLog();
}

BringUpFailure DeviceSession::StartTransacting(QObject *notifyWindow)
{
    int result = link->StartRxService(notifyWindow);
    if (result == 0)
        result = link->SetRxServiceMode(RX_MODE_TRANSACTING);
    if (result != 0)
        return Fail(BringUpFailure::ReceiveServiceFailed, result);
    lastCode = 0;
    return BringUpFailure::None;
}

BringUpFailure DeviceSession::StartStreaming(QObject *notifyWindow)
{
    int result = link->StartRxService(notifyWindow);
    if (result == 0)
        result = link->SetRxServiceMode(RX_MODE_STREAMING);
    if (result != 0)
        return Fail(BringUpFailure::ReceiveServiceFailed, result);
    lastCode = 0;
    return BringUpFailure::None;
}

BringUpFailure DeviceSession::QueryUnit()
{
    const int result = session->QueryUnit(identity);
    if (result != 0)
        return Fail(BringUpFailure::NoAnswer, result);
    lastCode = 0;
    return BringUpFailure::None;
}

BringUpFailure DeviceSession::EnterSetupMode()
{
    const int result = session->EnterSetupMode();
    if (result != 0)
        return Fail(BringUpFailure::SetupModeFailed, result);
    lastCode = 0;
    return BringUpFailure::None;
}

BringUpFailure DeviceSession::ReadSerialNumber()
{
    const int result = session->GetSerialNumber(serialNumber);
    if (result != 0)
        return Fail(BringUpFailure::SerialNumberFailed, result);
    lastCode = 0;
    return BringUpFailure::None;
}

BringUpFailure DeviceSession::BringUp(int portIndex, int baudCode, QObject *notifyWindow)
{
    BringUpFailure failure = Open(portIndex, baudCode);
    if (failure == BringUpFailure::None) {
        OpenPortLog();
        failure = StartTransacting(notifyWindow);
    }
    if (failure == BringUpFailure::None)
        failure = QueryUnit();
    if (failure == BringUpFailure::None)
        failure = EnterSetupMode();
    if (failure == BringUpFailure::None)
        failure = ReadSerialNumber();
    return failure;
}

void DeviceSession::Close()
{
    link->ClosePortLog();
    link->StopRxService();
    link->ClosePort();
}

void DeviceSession::LeaveSetupMode()
{
    if (link->RxServiceRunning())
        session->ExitSetupMode();
}

void DeviceSession::Release()
{
    LeaveSetupMode();
    Close();
}
