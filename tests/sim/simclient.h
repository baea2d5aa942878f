#pragma once
// A plain serial client for the tests: opens a pseudo-terminal's slave side
// with its own termios settings, sends command lines and collects reply lines.
#include <QByteArray>
#include <QString>
#include <QStringList>

class SimClient
{
public:
    SimClient() = default;
    ~SimClient();
    SimClient(const SimClient &) = delete;
    SimClient &operator=(const SimClient &) = delete;

    bool Open(const QString &path, int baud);
    void Close();
    bool SetBaud(int baud);
    bool IsOpen() const { return m_fd >= 0; }

    // Sends text followed by CR.
    void Send(const QByteArray &text);
    // Sends raw bytes.
    void Write(const QByteArray &bytes);
    // Waits up to timeoutMs for count complete lines (CR LF removed; bytes
    // before a line that are not part of it, such as an LF, are kept).
    QStringList Lines(int count, int timeoutMs);
    // Everything received within timeoutMs (returns early on end of line when stopAtCr).
    QByteArray Raw(int timeoutMs);
    // Drops what has arrived so far.
    void Drain();
    // A command and its count reply lines, after dropping stale input.
    QStringList Exchange(const QByteArray &command, int count = 1, int timeoutMs = 1000);
    // True when the other side hung up (end of file or POLLHUP) within timeoutMs.
    bool HungUp(int timeoutMs);

private:
    bool Fill(int timeoutMs);
    int m_fd = -1;
    QByteArray m_buffer;
    bool m_eof = false;
};
