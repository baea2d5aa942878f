#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <mutex>
#include <thread>

// A serial device played on the master side of a pseudo-terminal, the way
// sensors answer: with echo on every byte comes back as it arrives (CR as
// CR LF); every reply line ends with CR LF. The program under test opens the
// slave side like any serial port.
class PtyPeer
{
public:
    // Called on the peer's thread with each received line (without its CR);
    // returns the reply lines (without line ends).
    using Responder = std::function<QList<QByteArray>(const QByteArray &line)>;

    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    bool IsOpen() const { return master >= 0; }
    QString SlavePath() const { return slavePath; }

    void SetEcho(bool on);
    void SetResponder(Responder responder);
    // The device vanishes (the master closes) when this line arrives.
    void HangUpOn(const QByteArray &line);
    // Bytes sent to the program as they are, from the calling thread.
    void Send(const QByteArray &bytes);
    // The device vanishes now.
    void HangUp();

    QList<QByteArray> Lines() const; // every line received so far
    int LineCount(const QByteArray &line) const;
    QByteArray Received() const; // every byte received so far
    int BaudRate() const;        // as the program set it on its side, 0 when unknown

private:
    void Run();
    void Handle(const char *bytes, int count);
    void Write(const QByteArray &bytes);
    void Stop();

    int master = -1;
    int slave = -1; // kept open so the master never reports a hang-up of its own
    int wakeFd = -1;
    QString slavePath;
    std::thread thread;

    mutable std::mutex stateLock;
    bool echo = false;
    Responder responder;
    QByteArray hangUpLine;
    bool hangUpRequested = false;
    QByteArray partial;
    QByteArray received;
    QList<QByteArray> lines;

    mutable std::mutex writeLock;
};

// Makes COM<comNumber> an alias of the peer's device in the "ports" folder
// of the application data folder; returns the 0-based port index.
int AddComAlias(const PtyPeer &peer, int comNumber);
