#include "serial/comms.h"

#include "base/log.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <pthread.h>
#include <system_error>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#define TALVEK_TSAN_RELEASE(address) __tsan_release(address)
#define TALVEK_TSAN_ACQUIRE(address) __tsan_acquire(address)
#else
#define TALVEK_TSAN_RELEASE(address)
#define TALVEK_TSAN_ACQUIRE(address)
#endif

namespace
{
constexpr char CR = 13;
constexpr char STX = 2;
// Event mask of the receive wait: received data or a line error.
constexpr int rxWaitMask = SerialDriver::EventRxChar | SerialDriver::EventError;
// How often a flood of bytes is interrupted to look for a stop request.
constexpr int stopCheckInterval = 512;

bool isPrintable(unsigned char byte)
{
    return byte >= 0x20 && byte <= 0x7E;
}
} // namespace

const char *const TComms::baudNames[10] = {"110",  "300",   "1200",  "2400",  "4800",
                                           "9600", "19200", "38400", "57600", "115200"};
const int TComms::charDelayByBaud[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
// 3,200,000 / baud, except 2400, where the sensors need far longer.
const int TComms::responseTimeByBaud[10] = {29090, 10666, 2666, 8000, 666, 333, 166, 83, 55, 27};

bool IsRxLineEvent(const QEvent *event)
{
    TALVEK_TSAN_ACQUIRE(const_cast<QEvent *>(event));
    return event->type() == RxLineEventType();
}

// ---------------------------------------------------------------- TRxThread

void ThreadSignal::Set()
{
    {
        std::lock_guard guard(mutex);
        set = true;
    }
    condition.notify_all();
}

bool ThreadSignal::WaitFor(int milliseconds)
{
    std::unique_lock guard(mutex);
    return condition.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] { return set; });
}

TRxThread::TRxThread(SerialDriver &driver, std::mutex &lock, int port, QObject *notifyWindow, TfrmComPortUtils *portLog,
                     QAbstractEventDispatcher *uiDispatcher)
    : notifyWindow(notifyWindow), port(port), driver(driver), lock(lock), portLog(portLog), uiDispatcher(uiDispatcher)
{
}

TRxThread::~TRxThread()
{
    if (thread.joinable()) {
        Terminate();
        thread.join();
    }
}

bool TRxThread::Start()
{
    try {
        thread = std::thread([this] { Execute(); });
    } catch (const std::system_error &) {
        return false;
    }
    pthread_setname_np(thread.native_handle(),
                       QStringLiteral("rx COM%1").arg(port + 1).left(15).toLatin1().constData());
    return true;
}

void TRxThread::Terminate()
{
    terminated = true;
    driver.Wake();
}

bool TRxThread::WaitFinished(int milliseconds)
{
    return finished.WaitFor(milliseconds);
}

void TRxThread::Join()
{
    if (thread.joinable())
        thread.join();
}

void TRxThread::Execute()
{
    bool first = true;
    while (!terminated) {
        running = true;
        if (first) {
            started.Set();
            first = false;
        }
        Drain();
        driver.WaitEvent(rxWaitMask);
    }
    running = false;
    finished.Set();
}

void TRxThread::Drain()
{
    for (int taken = 1;; ++taken) {
        const int byte = driver.GetByte();
        if (byte < 0)
            break;
        ReceiveByte(static_cast<unsigned char>(byte));
        if (taken % stopCheckInterval == 0 && terminated)
            return;
    }
    if (driver.Lost() && !lossReported) {
        lossReported = true;
        Log(QStringLiteral("COM%1: the device hung up or was removed; nothing more can be received.").arg(port + 1));
    }
}

void TRxThread::ReceiveByte(unsigned char byte)
{
    bool completed = false;
    {
        std::lock_guard guard(lock);
        if (byte == CR) {
            completed = !CompleteLine().isNull();
        } else {
            byteSeen = true;
            lineBuffer[lineLength] = static_cast<char>(byte);
            if (lineLength < lineCapacity - 1)
                ++lineLength;
        }
    }
    // An exchange waiting in the UI thread's event loop looks at the count now.
    if (completed && uiDispatcher != nullptr)
        uiDispatcher->wakeUp();
}

QString TRxThread::CompleteLine()
{
    lineBuffer[lineLength] = 0;
    if (lineBuffer[0] != STX) {
        bool printable = false;
        for (int i = 0; i < lineLength && !printable; ++i)
            printable = isPrintable(static_cast<unsigned char>(lineBuffer[i]));
        // Bytes without text (a lone LF) stay in front of the next line.
        if (!printable)
            return {};
    }
    // One character per byte; the length, not the NUL, ends the line, so a
    // NUL byte from a noisy line cannot cut it short.
    const QString line = QString::fromLatin1(lineBuffer, lineLength);
    lines.push_back(line);
    portLog->LogLine(QStringLiteral("rx: ") + line);
    byteSeen = false;
    lineLength = 0;
    if (static_cast<int>(lines.size()) > maxLines)
        lines.pop_front();
    if (notifyWindow != nullptr && mode == RX_MODE_STREAMING) {
        auto *event = new QEvent(RxLineEventType());
        TALVEK_TSAN_RELEASE(event);
        QCoreApplication::postEvent(notifyWindow, event);
    }
    return line;
}

// ---------------------------------------------------------------- TComms

TComms::TComms(QObject *owner, int responseTimeout, int interCharDelay)
    : responseTimeout(responseTimeout), interCharDelay(interCharDelay), portUtils(std::make_unique<TfrmComPortUtils>()),
      owner(owner), driver(CreateSerialDriver())
{
}

TComms::~TComms()
{
    StopRxService();
    ClosePort();
}

int TComms::InitFailed(const char *what, int code)
{
    Log(QString::fromLatin1(what));
    openError = driver->ErrorText();
    if (!openError.isEmpty())
        Log(openError);
    driver->Close();
    return code;
}

int TComms::Init(int portIndex, const PortParams &params, int settleDelay)
{
    portUtils->LogLine(QStringLiteral("TComms::Init called"));
    // A thread still waiting on the previous port must not outlive its descriptor.
    StopRxService();
    port = -1;
    openError.clear();
    const QString device = portIndex >= 0 ? ComPortDevicePath(portIndex + 1) : QString();
    if (driver->Reset(device, params.rxQueueSize, params.txQueueSize) < 0)
        return InitFailed("SioReset Error.", ERR_PORT_NOT_OPEN);
    if (driver->Parms(params.parity, params.stopBits, params.dataBits) < 0)
        return InitFailed("SioParms Error.", ERR_PORT_PARAMETERS);
    port = portIndex;
    if (SetBaud(params.baudCode) != 0) {
        port = -1;
        openError = driver->ErrorText();
        driver->Close();
        return ERR_SET_BAUD;
    }
    PortControl('S');
    portUtils->WaitResponsive(settleDelay);
    return 0;
}

int TComms::SetBaud(int baudCode)
{
    const bool known = baudCode >= 0 && baudCode <= 9;
    portUtils->LogLine(QStringLiteral("Setting Baud : ") +
                       (known ? QString::fromLatin1(baudNames[baudCode]) : QString::number(baudCode)));
    if (port == -1)
        return ERR_PORT_NOT_OPEN;
    if (!known || driver->Baud(baudCode) < 0) {
        portUtils->LogLine(QStringLiteral("Error Setting Baud"));
        Log(QStringLiteral("SioBaud Error."));
        return ERR_SET_BAUD;
    }
    effectiveResponseTime = responseTimeout + (timing.perBaudDelays ? responseTimeByBaud[baudCode] : 0);
    effectiveCharDelay = interCharDelay + (timing.perBaudDelays ? charDelayByBaud[baudCode] : 0);
    return 0;
}

int TComms::ClosePort()
{
    // The receive thread waits on the descriptor; it must be gone first.
    StopRxService();
    return driver->Close() < 0 ? ERR_PORT_CLOSE : 0;
}

int TComms::PortControl(char letter)
{
    return driver->Control(letter);
}

int TComms::StartRxService(QObject *notifyWindow)
{
    if (rxThread) {
        Log(QStringLiteral("Thread already running"));
        return 0;
    }
    Log(QStringLiteral("TComms::StartRxService called. Creating rxThread."));
    rxThread = std::make_unique<TRxThread>(*driver, lock, port, notifyWindow, portUtils.get(),
                                           QAbstractEventDispatcher::instance());
    if (notifyWindow != nullptr)
        notifyGuard = QObject::connect(notifyWindow, &QObject::destroyed,
                                       [this](QObject *window) { ForgetNotifyWindow(window); });
    if (!rxThread->Start()) {
        Log(QStringLiteral("ERR_UNABLE_TO_CREATE_RX_THREAD"));
        QObject::disconnect(notifyGuard);
        rxThread.reset();
        return ERR_UNABLE_TO_CREATE_RX_THREAD;
    }
    while (!rxThread->started.WaitFor(200))
        Log(QStringLiteral("+ + +"));
    return 0;
}

void TComms::ForgetNotifyWindow(QObject *window)
{
    std::lock_guard guard(lock);
    if (rxThread && rxThread->notifyWindow == window)
        rxThread->notifyWindow = nullptr;
}

int TComms::StopRxService()
{
    if (!rxThread)
        return 0;
    Log(QStringLiteral("TComms::StopRxService called. Terminating rxThread."));
    rxThread->Terminate();
    while (!rxThread->WaitFinished(200))
        Log(QStringLiteral("- - -"));
    rxThread->Join();
    QObject::disconnect(notifyGuard);
    rxThread.reset();
    return 0;
}

int TComms::SetRxServiceMode(int mode)
{
    std::lock_guard guard(lock);
    if (!rxThread)
        return ERR_RX_SERVICE_NOT_STARTED;
    rxThread->mode = mode;
    return 0;
}

int TComms::GetRxLineCount(int &count)
{
    std::lock_guard guard(lock);
    if (!rxThread) {
        count = 0;
        return ERR_RX_SERVICE_NOT_STARTED;
    }
    count = static_cast<int>(rxThread->lines.size());
    return 0;
}

int TComms::PopRxLine(QString &text)
{
    std::lock_guard guard(lock);
    if (!rxThread)
        return ERR_RX_SERVICE_NOT_STARTED;
    if (rxThread->lines.empty())
        return ERR_NO_LINE;
    text = rxThread->lines.front();
    rxThread->lines.pop_front();
    return 0;
}

bool TComms::OldestLineIs(const QString &command)
{
    std::lock_guard guard(lock);
    return rxThread && !rxThread->lines.empty() && CleanLine(rxThread->lines.front()) == CleanLine(command);
}

QString TComms::TakeLine()
{
    QString line;
    PopRxLine(line);
    return line;
}

int TComms::SendString(const QString &text)
{
    portUtils->LogLine(QStringLiteral("SendString: ") + text);
    for (const QChar character : text) {
        driver->PutByte(static_cast<unsigned char>(character.unicode() & 0xFF));
        portUtils->Sleep(effectiveCharDelay);
    }
    return 1;
}

void TComms::WaitForEvents()
{
    // Blocks until a UI event, the port timer or a completed line (the receive
    // thread wakes the dispatcher) arrives: no polling loop.
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    else
        QThread::msleep(5);
}

bool TComms::WaitForLines(int expected)
{
    int count = 0;
    while (GetRxLineCount(count), count < expected) {
        if (portUtils->TimerExpired())
            return false;
        WaitForEvents();
    }
    return true;
}

void TComms::WaitForReplyLines()
{
    if (timing.multiLineQuietMs <= 0) {
        portUtils->WaitResponsive(effectiveResponseTime);
        return;
    }
    QElapsedTimer elapsed;
    elapsed.start();
    int seen = 0;
    for (;;) {
        const int left = effectiveResponseTime - int(elapsed.elapsed());
        if (left <= 0)
            return;
        portUtils->StartTimer(std::min(left, timing.multiLineQuietMs));
        if (WaitForLines(seen + 1))
            GetRxLineCount(seen);
        else if (seen > (echoOn ? 1 : 0))
            return; // the answer has begun and stopped; an echo alone is no answer
    }
}

void TComms::FlushRx()
{
    SendString(QStringLiteral("\r"));
    portUtils->StartTimer(timing.flushMs);
    WaitForLines(1);
    // Every stale line goes: a late answer to an earlier command left waiting
    // would be taken for the answer to the next one.
    std::deque<QString> stale;
    if (rxThread) {
        std::lock_guard guard(lock);
        stale.swap(rxThread->lines);
        rxThread->byteSeen = false;
        rxThread->lineLength = 0;
    }
    for (const QString &line : stale)
        portUtils->LogLine(QStringLiteral("Discarded: ") + CleanLine(line));
}

QString TComms::CleanLine(const QString &line)
{
    QString printable;
    printable.reserve(line.size());
    for (const QChar character : line)
        if (character.unicode() >= 0x20 && character.unicode() <= 0x7E)
            printable += character;
    // Only blanks are left at or below 0x20.
    return printable.trimmed();
}

int TComms::CheckExchangeReady()
{
    if (!rxThread) {
        portUtils->LogLine(QStringLiteral("ERROR: ERR_RX_SERVICE_NOT_STARTED"));
        return ERR_RX_SERVICE_NOT_STARTED;
    }
    if (rxThread->mode != RX_MODE_TRANSACTING) {
        portUtils->LogLine(QStringLiteral("ERROR: ERR_INCORRECT_RX_SERVICE_MODE"));
        return ERR_INCORRECT_RX_SERVICE_MODE;
    }
    FlushRx();
    // The flush pumped UI events, which may have stopped the thread.
    if (!rxThread) {
        portUtils->LogLine(QStringLiteral("ERROR: ERR_RX_SERVICE_NOT_AVAILABLE"));
        return ERR_RX_SERVICE_NOT_AVAILABLE;
    }
    return 0;
}

bool TComms::SendAndSeeEcho(const QString &command)
{
    {
        std::lock_guard guard(lock);
        rxThread->byteSeen = false;
    }
    SendString(command);
    portUtils->Sleep(timing.echoSenseMs);
    std::lock_guard guard(lock);
    return rxThread->byteSeen;
}

int TComms::SendCmdGetSingleResp(const QString &command, QString &response, bool sendCR)
{
    response = QStringLiteral("UNDEFINED");
    portUtils->LogLine(QStringLiteral("--SendCmdGetSingleResp--"));
    if (const int code = CheckExchangeReady())
        return code;
    echoOn = SendAndSeeEcho(command);
    int expected = echoOn ? 2 : 1;
    const bool unitQuery = command.contains(QLatin1String("%%"));
    // The unit query and the lone "*" are answered with one line, echo or not.
    if (unitQuery || command == QLatin1String("*")) {
        echoOn = false;
        expected = 1;
    }
    if (sendCR)
        SendString(QStringLiteral("\r"));
    portUtils->StartTimer(effectiveResponseTime);
    bool waited = WaitForLines(expected);
    // An echo slower than the sense wait (a busy adapter or machine) still
    // comes first: a line that is the command itself is its echo, never the
    // answer, which follows it.
    if (waited && !echoOn && !unitQuery && command != QLatin1String("*") && OldestLineIs(command)) {
        echoOn = true;
        expected = 2;
        waited = WaitForLines(expected);
    }
    if (!waited) {
        int count = 0;
        GetRxLineCount(count);
        portUtils->LogLine(QStringLiteral("ERROR: line count, expected: %1 got:%2").arg(expected).arg(count));
        return ERR_LINE_COUNT;
    }
    QString line;
    if (echoOn || unitQuery) {
        line = TakeLine();
        portUtils->LogLine(QStringLiteral("Removed Echo: ") + line);
    }
    // A unit query that got a single line returns the line it just removed.
    PopRxLine(line);
    response = CleanLine(line);
    portUtils->LogLine(QStringLiteral("Response: ") + response);
    return 0;
}

int TComms::SendCmdGetMultipleResp(const QString &command, QStringList &responses)
{
    portUtils->LogLine(QStringLiteral("--SendCmdGetMultipleResp--"));
    if (const int code = CheckExchangeReady())
        return code;
    echoOn = SendAndSeeEcho(command);
    SendString(QStringLiteral("\r"));
    WaitForReplyLines();
    int count = 0;
    GetRxLineCount(count);
    if (count == 0) {
        portUtils->LogLine(QStringLiteral("ERROR: No Response"));
        return ERR_NO_RESPONSE;
    }
    // The echo, even one later than the sense wait, is the oldest line and
    // no answer.
    if (OldestLineIs(command)) {
        echoOn = true;
        portUtils->LogLine(QStringLiteral("Removed Echo: ") + TakeLine());
    }
    // Judged on this exchange's lines only: the caller's list may hold lines
    // of earlier exchanges.
    int added = 0;
    for (GetRxLineCount(count); count > 0; --count) {
        const QString line = CleanLine(TakeLine());
        portUtils->LogLine(QStringLiteral("Response: ") + line);
        if (!line.isEmpty()) {
            responses.append(line);
            ++added;
        }
    }
    if (added == 0) {
        portUtils->LogLine(QStringLiteral("ERROR: Empty Response List"));
        return ERR_NO_RESPONSE;
    }
    return 0;
}

int TComms::GetBaudName(int baudCode, QString &name) const
{
    if (baudCode < 0 || baudCode > 9)
        return ERR_PORT_PARAMETERS;
    name = QString::fromLatin1(baudNames[baudCode]);
    return 0;
}

int TComms::GetBaudList(QStringList &list) const
{
    list.clear();
    for (int code = 4; code <= 8; ++code)
        list.append(QString::fromLatin1(baudNames[code]));
    return 0;
}

int TComms::ListComPorts(QStringList &list)
{
    return portUtils->ListComPorts(list);
}

int TComms::OpenPortLog()
{
    if (port == -1)
        return ERR_PORT_NOT_OPEN;
    portUtils->OpenLog(port);
    return 0;
}

int TComms::ClosePortLog()
{
    if (port != -1)
        portUtils->CloseLog();
    return 0;
}
