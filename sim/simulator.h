#pragma once
// A simulated sensor on a pseudo-terminal. The simulator owns the master side;
// a program (or a test) opens the slave side (DevicePath) like a serial port.
//
// Its thread blocks in poll() on the master and a wake eventfd. It answers
// only when the line settings the program set on the slave carry the
// device's own baud rate (read from the master with tcgetattr); at another
// rate what it receives is garbage to it and what it sends is garbage to the
// program. It writes only while some program has the slave open (the master
// reports POLLHUP otherwise), since bytes written to a closed slave would be
// handed stale to the next program that opens it.
//
// With a power-on delay it starts switched off and goes through a safe-mode
// window after power-up (see SimOptions::powerOnAfterMs).
//
// Threads: Start, Stop, RegisterAlias and RemoveAlias belong to the thread
// that owns the object; the observers (InSetupMode, Value, ...) may be called
// from any thread.
#include "sim/simdevice.h"
#include "sim/simoptions.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <mutex>
#include <thread>

class Simulator
{
public:
    explicit Simulator(const SimOptions &options);
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Loads the device and opens the pseudo-terminal; false and why on failure.
    bool Start(QString *error);
    // Ends the thread and closes the master (idempotent).
    void Stop();

    QString DevicePath() const { return m_slavePath; }
    // Makes folder + "ports/COM" + number a link to DevicePath().
    bool RegisterAlias(const QString &appDataFolder, int comNumber, QString *error);
    // Removes the alias when it still points to this simulator.
    void RemoveAlias();
    QString AliasPath() const { return m_alias; }
    // Readable (an eventfd) once the thread has ended by itself (a hang-up).
    int FinishedFd() const { return m_finished; }

    bool HungUp() const { return m_hungUp; }
    int Commands() const { return m_commands; }
    bool InSetupMode() const;
    QString Identity() const;
    QString TemplateFile() const;
    unsigned OptionBits() const;
    // Whether the station has this setting (its features decide).
    bool Has(const QString &cmd) const;
    // The value in force of a setting as the device would read it, and the
    // pending one of a delayed setting; empty when it has no such command.
    QString Value(const QString &cmd) const;
    QString Pending(const QString &cmd) const;
    // Every setting the device holds (SimParams::State).
    QStringList State() const;

private:
    struct Output {
        qint64 due = 0;
        QByteArray bytes;
        int baud = 0;
    };
    enum class Power { Off, SafeWindow, Safe, On };
    Power PowerState(qint64 now) const;
    // The rate it listens and talks at now.
    int LineBaud(qint64 now) const;
    void Run();
    int PollTimeout(qint64 now) const;
    void Receive(qint64 now);
    void Received(char c, bool rateOk, qint64 now);
    void Command(const QByteArray &line, qint64 now);
    void Queue(const QStringList &lines, qint64 due, int baud);
    int LateMs(const QByteArray &line) const; // the extra delay of this command's answer
    void Flush(qint64 now);
    void Stream(qint64 now);
    bool RateMatches(int baud) const;
    void HangUp();

    SimOptions m_options;
    SimDevice m_device;
    mutable std::mutex m_mutex; // guards m_device
    QString m_slavePath;
    QString m_alias;
    int m_master = -1;
    int m_wake = -1;
    int m_finished = -1;
    std::thread m_thread;

    // Thread state.
    QByteArray m_line;
    QList<Output> m_out;
    bool m_slaveOpen = false;
    bool m_silent = false;
    qint64 m_lastRx = -1000000;
    qint64 m_nextData = 0;
    qint64 m_start = 0;
    qint64 m_powerOnAt = -1; // -1: no program has had the port open yet
    // Heard "*" in the safe-mode window. Holds until the next power cycle: a sensor
    // on RS232 cannot tell that a program closed its port and another opened it.
    bool m_safe = false;
    std::atomic<int> m_commands{0};
    std::atomic<bool> m_hungUp{false};
};
