#pragma once
#include <QFile>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <mutex>
#include <optional>

// ListComPorts: the system's port list could not be obtained.
constexpr int ERR_PORT_ENUMERATION = 29;

// One serial device as the system lists it. friendlyName is what the port
// list filters on: the system description, the device path and "(COMn)".
struct ComPortDevice {
    QString friendlyName;
    QString devicePath;
    int comNumber = 0; // 0: no COM name
};

// The friendly names of the machine's serial devices, in listing order, or
// nothing when the system's list cannot be read.
using ComPortSource = std::function<std::optional<QStringList>()>;

// Applies the listing rules to friendly names: the port name is the text in
// the last bracket pair; only names beginning "COM" are kept, and never a
// device whose friendly name mentions Bluetooth. Clears names first.
void FilterComPorts(const QStringList &friendlyNames, QStringList &names);

// "COM" + number -> device path and back. Aliases (links named COMn in the
// "ports" folder of the application data folder) come first; otherwise the
// fixed rule of serial/PORTS.md. Empty / 0 when there is no mapping.
QString ComPortDevicePath(int comNumber);
QString ComNameDevicePath(const QString &comName);
int ComNumberForDevice(const QString &devicePath);
// The folder of the COM aliases with a trailing '/'; empty while the
// application data folder is unknown.
QString ComAliasFolder();
// The system description and device path followed by "(COMn)".
QString ComFriendlyName(const QString &description, const QString &devicePath, int comNumber);
// Aliases first (by number), then the system's devices (by number); a device
// reached through an alias is not listed a second time.
QList<ComPortDevice> SystemComPorts();

// The port utility object of a link: a one-shot timer polled while the UI
// keeps running, a plain sleep, and the link's per-port log file.
//
// Threads: the timer runs on the thread that created the object (the UI
// thread); LogLine may be called from any thread, the log's lock keeps each
// entry whole. OpenLog and CloseLog are UI-thread calls.
class TfrmComPortUtils : public QObject
{
    Q_OBJECT
public:
    explicit TfrmComPortUtils(QObject *owner = nullptr);
    ~TfrmComPortUtils() override;

    int ListComPorts(QStringList &list);
    // The listing's input; the default reads the system (SystemComPorts).
    void SetPortSource(ComPortSource source);

    void StartTimer(int milliseconds);
    bool TimerExpired();
    void Sleep(int milliseconds);
    // Waits as long while the UI thread's events run (an Abort click, a
    // timer), blocking in the event dispatcher; a plain sleep elsewhere.
    void WaitResponsive(int milliseconds);

    bool OpenLog(int portIndex);
    void LogLine(const QString &text);
    void CloseLog();
    bool LogOpen() const;
    // The log file of a 0-based port index: folder + "comm" + (index + 1) + ".dbg".
    static QString LogFilePath(int portIndex);

private slots:
    void Timer1Timer();

private:
    void WriteEntry(const QString &text); // with logLock held

    QTimer Timer1;
    bool expired = true;
    ComPortSource portSource;

    mutable std::mutex logLock;
    QFile logFile;
    bool logOpen = false;
};
