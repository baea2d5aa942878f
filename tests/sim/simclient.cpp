#include "simclient.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace
{
speed_t Speed(int baud)
{
    switch (baud) {
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    default:
        return B0;
    }
}

qint64 Now()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

SimClient::~SimClient()
{
    Close();
}

bool SimClient::Open(const QString &path, int baud)
{
    Close();
    m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    return m_fd >= 0 && SetBaud(baud);
}

void SimClient::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_buffer.clear();
    m_eof = false;
}

bool SimClient::SetBaud(int baud)
{
    termios t{};
    if (tcgetattr(m_fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    cfsetispeed(&t, Speed(baud));
    cfsetospeed(&t, Speed(baud));
    return tcsetattr(m_fd, TCSANOW, &t) == 0;
}

void SimClient::Write(const QByteArray &bytes)
{
    if (::write(m_fd, bytes.constData(), size_t(bytes.size())) != bytes.size())
        m_eof = true;
}

void SimClient::Send(const QByteArray &text)
{
    Write(text + '\r');
}

bool SimClient::Fill(int timeoutMs)
{
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0)
        return false;
    char chunk[4096];
    const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
    if (n <= 0) {
        m_eof = true;
        return false;
    }
    m_buffer.append(chunk, int(n));
    return true;
}

QStringList SimClient::Lines(int count, int timeoutMs)
{
    QStringList lines;
    const qint64 end = Now() + timeoutMs;
    while (lines.size() < count) {
        const int at = m_buffer.indexOf("\r\n");
        if (at >= 0) {
            lines << QString::fromLatin1(m_buffer.left(at));
            m_buffer.remove(0, at + 2);
            continue;
        }
        const qint64 left = end - Now();
        if (left <= 0 || m_eof || !Fill(int(left)))
            break;
    }
    return lines;
}

QByteArray SimClient::Raw(int timeoutMs)
{
    const qint64 end = Now() + timeoutMs;
    while (!m_eof) {
        const qint64 left = end - Now();
        if (left <= 0 || !Fill(int(left)))
            break;
    }
    QByteArray all = m_buffer;
    m_buffer.clear();
    return all;
}

void SimClient::Drain()
{
    while (Fill(0)) {
    }
    m_buffer.clear();
}

QStringList SimClient::Exchange(const QByteArray &command, int count, int timeoutMs)
{
    Drain();
    Send(command);
    return Lines(count, timeoutMs);
}

bool SimClient::HungUp(int timeoutMs)
{
    const qint64 end = Now() + timeoutMs;
    while (!m_eof) {
        pollfd p{m_fd, POLLIN, 0};
        const qint64 left = end - Now();
        if (left <= 0 || poll(&p, 1, int(left)) <= 0)
            return false;
        if (p.revents & (POLLHUP | POLLERR))
            return true;
        Fill(0);
    }
    return true;
}
