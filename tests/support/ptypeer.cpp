#include "tests/support/ptypeer.h"

#include "base/appdata.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <poll.h>
#include <pty.h>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

PtyPeer::PtyPeer()
{
    char name[128] = {};
    struct termios raw {
    };
    ::cfmakeraw(&raw);
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0) {
        master = slave = -1;
        return;
    }
    // A program a test starts must not inherit the device's side of the line.
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    slavePath = QString::fromLocal8Bit(name);
    wakeFd = ::eventfd(0, EFD_CLOEXEC);
    thread = std::thread([this] { Run(); });
}

PtyPeer::~PtyPeer()
{
    Stop();
    if (master >= 0)
        ::close(master);
    if (slave >= 0)
        ::close(slave);
    if (wakeFd >= 0)
        ::close(wakeFd);
}

void PtyPeer::Stop()
{
    if (!thread.joinable())
        return;
    ::eventfd_write(wakeFd, 1);
    thread.join();
}

void PtyPeer::SetEcho(bool on)
{
    std::lock_guard lock(stateLock);
    echo = on;
}

void PtyPeer::SetResponder(Responder newResponder)
{
    std::lock_guard lock(stateLock);
    responder = std::move(newResponder);
}

void PtyPeer::HangUpOn(const QByteArray &line)
{
    std::lock_guard lock(stateLock);
    hangUpLine = line;
}

void PtyPeer::HangUp()
{
    Stop();
    std::lock_guard lock(writeLock);
    if (master >= 0)
        ::close(master);
    master = -1;
}

void PtyPeer::Send(const QByteArray &bytes)
{
    Write(bytes);
}

QList<QByteArray> PtyPeer::Lines() const
{
    std::lock_guard lock(stateLock);
    return lines;
}

int PtyPeer::LineCount(const QByteArray &line) const
{
    std::lock_guard lock(stateLock);
    return static_cast<int>(lines.count(line));
}

QByteArray PtyPeer::Received() const
{
    std::lock_guard lock(stateLock);
    return received;
}

int PtyPeer::BaudRate() const
{
    std::lock_guard lock(writeLock);
    struct termios settings {
    };
    if (master < 0 || ::tcgetattr(master, &settings) != 0)
        return 0;
    static const struct {
        speed_t speed;
        int rate;
    } rates[] = {{B110, 110},   {B300, 300},     {B1200, 1200},   {B2400, 2400},   {B4800, 4800},
                 {B9600, 9600}, {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    const speed_t speed = ::cfgetospeed(&settings);
    for (const auto &entry : rates)
        if (entry.speed == speed)
            return entry.rate;
    return 0;
}

void PtyPeer::Write(const QByteArray &bytes)
{
    std::lock_guard lock(writeLock);
    qsizetype done = 0;
    while (master >= 0 && done < bytes.size()) {
        const ssize_t written = ::write(master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        done += written;
    }
}

void PtyPeer::Run()
{
    char buffer[4096];
    for (;;) {
        struct pollfd fds[2] = {{wakeFd, POLLIN, 0}, {master, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN)
            return;
        if (!(fds[1].revents & POLLIN))
            continue;
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got <= 0)
            continue;
        Handle(buffer, static_cast<int>(got));
        bool hangUp = false;
        {
            std::lock_guard lock(stateLock);
            hangUp = hangUpRequested;
        }
        if (hangUp) {
            std::lock_guard lock(writeLock);
            ::close(master);
            master = -1;
            return;
        }
    }
}

void PtyPeer::Handle(const char *bytes, int count)
{
    // Replies for every line of this chunk go out in one write with the echo,
    // as a device that answers at once would send them.
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        const char byte = bytes[i];
        Responder current;
        QByteArray line;
        {
            std::lock_guard lock(stateLock);
            received.append(byte);
            if (echo)
                out += byte == '\r' ? QByteArray("\r\n") : QByteArray(1, byte);
            if (byte != '\r') {
                partial.append(byte);
                continue;
            }
            line = partial;
            partial.clear();
            lines.append(line);
            current = responder;
            if (!hangUpLine.isEmpty() && line == hangUpLine) {
                hangUpRequested = true;
                break;
            }
        }
        if (current)
            for (const QByteArray &reply : current(line))
                out += reply + "\r\n";
    }
    if (!out.isEmpty())
        Write(out);
}

int AddComAlias(const PtyPeer &peer, int comNumber)
{
    const QString folder = GetAppDataFolder() + QStringLiteral("ports/");
    QDir().mkpath(folder);
    const QString alias = folder + QStringLiteral("COM") + QString::number(comNumber);
    QFile::remove(alias);
    QFile::link(peer.SlavePath(), alias);
    return comNumber - 1;
}

// Qt is not built for ThreadSanitizer, so it cannot see the synchronisation
// inside Qt itself; QtTest's watchdog thread trips over that at exit.
extern "C" const char *__tsan_default_suppressions()
{
    return "race:QWaitCondition::~QWaitCondition\n"
           "race:QTest::qRun\n";
}
