#pragma once
#include "serial/comPortUtils.h"
#include "serial/linkTiming.h"
#include "serial/serialdriver.h"

#include <QEvent>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

class QAbstractEventDispatcher;

// Result codes of the link (0 is success).
constexpr int ERR_RX_SERVICE_NOT_STARTED = 4;
constexpr int ERR_RX_SERVICE_NOT_AVAILABLE = 4;
constexpr int ERR_PORT_PARAMETERS = 5;
constexpr int ERR_PORT_NOT_OPEN = 6;
constexpr int ERR_PORT_CLOSE = 7;
constexpr int ERR_UNABLE_TO_CREATE_RX_THREAD = 8;
constexpr int ERR_SET_BAUD = 9;
constexpr int ERR_LINE_COUNT = 10;
constexpr int ERR_NO_RESPONSE = 12;
constexpr int ERR_NO_LINE = 13;
constexpr int ERR_INCORRECT_RX_SERVICE_MODE = 14;

// Receive thread modes.
constexpr int RX_MODE_STREAMING = 0;   // every completed line is announced with WM_RX_LINE
constexpr int RX_MODE_TRANSACTING = 1; // lines are collected for the exchanges

// The "a line arrived" notification, posted (never sent) to the object given
// to StartRxService while the thread streams. It carries nothing: the
// receiver takes the lines with GetRxLineCount / PopRxLine.
constexpr int WM_RX_LINE = QEvent::User + 0x401;
inline QEvent::Type RxLineEventType()
{
    return static_cast<QEvent::Type>(WM_RX_LINE);
}
// The receiver's test for the notification. Use it rather than comparing the
// type directly: it also tells ThreadSanitizer that the event came through
// Qt's (uninstrumented) event queue from the receive thread.
bool IsRxLineEvent(const QEvent *event);

struct PortParams {
    qint32 baudCode = 5;
    qint32 parity = 0;
    qint32 stopBits = 0;
    qint32 dataBits = 8;
    qint32 rxQueueSize = 0;
    qint32 txQueueSize = 0;
};

class TComms;

// A one-way signal between threads: set once, waited for with a time limit.
class ThreadSignal
{
public:
    void Set();
    // True when set, false after the time ran out.
    bool WaitFor(int milliseconds);

private:
    std::mutex mutex;
    std::condition_variable condition;
    bool set = false;
};

// Assembles received bytes into CR-terminated lines on a thread of its own,
// which blocks in the driver's event wait while the line is quiet.
//
// The link's lock guards lineLength, lineBuffer, byteSeen, lines and
// notifyWindow; mode and running are atomics written by one side each.
class TRxThread
{
public:
    static constexpr int maxLines = 500;
    static constexpr int lineCapacity = 1024;

    TRxThread(SerialDriver &driver, std::mutex &lock, int port, QObject *notifyWindow, TfrmComPortUtils *portLog,
              QAbstractEventDispatcher *uiDispatcher);
    ~TRxThread(); // stops and joins the thread if the owner did not
    TRxThread(const TRxThread &) = delete;
    TRxThread &operator=(const TRxThread &) = delete;

    bool Start();     // false when no thread could be created
    void Terminate(); // asks the loop to end and wakes its wait
    bool WaitFinished(int milliseconds);
    void Join();

    int lineLength = 0;
    char lineBuffer[lineCapacity] = {};
    bool byteSeen = false;
    std::deque<QString> lines;
    std::atomic<int> mode{RX_MODE_STREAMING};
    std::atomic<bool> running{false};
    QObject *notifyWindow = nullptr;
    const int port;
    ThreadSignal started;  // the loop has made its first pass
    ThreadSignal finished; // the loop has ended

private:
    void Execute();
    void Drain();
    void ReceiveByte(unsigned char byte);
    // Returns the completed line, or a null string when the bytes are kept
    // for the next line. With the lock held.
    QString CompleteLine();

    SerialDriver &driver;
    std::mutex &lock;
    TfrmComPortUtils *portLog;
    QAbstractEventDispatcher *uiDispatcher;
    std::atomic<bool> terminated{false};
    std::thread thread;
    bool lossReported = false;
};

// The serial link: one open COM port, its receive thread and the command
// exchanges. Every member function is for the UI thread (the one that made the
// object); it needs a QCoreApplication, since the exchanges pump its events.
class TComms
{
public:
    TComms(QObject *owner, int responseTimeout, int interCharDelay);
    ~TComms();
    TComms(const TComms &) = delete;
    TComms &operator=(const TComms &) = delete;

    int Init(int portIndex, const PortParams &params, int settleDelay);
    int SetBaud(int baudCode);
    int ClosePort();
    int PortControl(char letter);

    int StartRxService(QObject *notifyWindow);
    int StopRxService();
    int SetRxServiceMode(int mode);
    int GetRxLineCount(int &count);
    int PopRxLine(QString &text);

    int SendString(const QString &text);
    void FlushRx();
    static QString CleanLine(const QString &line);
    int SendCmdGetSingleResp(const QString &command, QString &response, bool sendCR);
    int SendCmdGetMultipleResp(const QString &command, QStringList &responses);

    int GetBaudName(int baudCode, QString &name) const;
    int GetBaudList(QStringList &list) const;
    int ListComPorts(QStringList &list);
    int OpenPortLog();
    int ClosePortLog();

    // Why the last Init could not open the port (permissions, in use,
    // missing device), empty after a successful one. For the port status.
    QString OpenErrorText() const { return openError; }
    bool RxServiceRunning() const { return rxThread != nullptr; }
    bool DeviceLost() const { return driver->Lost(); }

    int port = -1;
    int effectiveResponseTime = 0;
    int effectiveCharDelay = 0;
    const int responseTimeout;
    const int interCharDelay;
    const LinkWaits timing = CurrentLinkTiming(); // captured once, when the link is made
    bool echoOn = false;
    std::unique_ptr<TRxThread> rxThread;
    std::unique_ptr<TfrmComPortUtils> portUtils;
    static const char *const baudNames[10];
    static const int charDelayByBaud[10];
    static const int responseTimeByBaud[10];

private:
    int InitFailed(const char *what, int code);
    // Checks thread and mode, then flushes; 0 when the exchange may go on.
    int CheckExchangeReady();
    // Sends the command and reports whether any byte came back within 20 ms.
    bool SendAndSeeEcho(const QString &command);
    bool WaitForLines(int expected);
    // Collects a reply of unknown length: the whole response time, or until
    // its lines stop when the timing allows.
    void WaitForReplyLines();
    void WaitForEvents();
    QString TakeLine();
    // Whether the oldest waiting line is this command (its echo).
    bool OldestLineIs(const QString &command);
    void ForgetNotifyWindow(QObject *window);

    QObject *owner; // the creating window; the link itself needs nothing of it
    std::unique_ptr<SerialDriver> driver;
    std::mutex lock;
    QMetaObject::Connection notifyGuard;
    QString openError;
};
