#include "serial/posixserialdriver.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace
{
std::atomic<int> busyRetryTime{3000};
constexpr int busyRetryStep = 250;

const speed_t baudSpeeds[10] = {B110, B300, B1200, B2400, B4800, B9600, B19200, B38400, B57600, B115200};

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Aliases and udev names are links; the lock file and the messages must name
// the device itself.
QString realDevicePath(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}
// A dangling alias names its missing device.
QString presentName(const QString &path)
{
    const QFileInfo info(path);
    return info.isSymLink() ? QStringLiteral("%1 (%2)").arg(info.symLinkTarget(), path) : path;
}
} // namespace

void SetBusyRetryTime(int milliseconds)
{
    busyRetryTime = milliseconds;
}

int BusyRetryTime()
{
    return busyRetryTime;
}

std::unique_ptr<SerialDriver> CreateSerialDriver()
{
    return std::make_unique<PosixSerialDriver>();
}

PosixSerialDriver::PosixSerialDriver()
{
    wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

PosixSerialDriver::~PosixSerialDriver()
{
    Close();
    if (wakeFd >= 0)
        ::close(wakeFd);
}

int PosixSerialDriver::Fail(const QString &text)
{
    errorText = text;
    return -1;
}

int PosixSerialDriver::Reset(const QString &devicePath, int /*rxQueueSize*/, int /*txQueueSize*/)
{
    // The kernel keeps its own queues; the sizes have no meaning here.
    Close();
    errorText.clear();
    if (devicePath.isEmpty())
        return Fail(QStringLiteral("No device is known for this port."));
    if (wakeFd < 0)
        return Fail(QStringLiteral("Cannot create the wake-up descriptor: ") + systemError(errno));
    const QString realPath = realDevicePath(devicePath);
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const OpenOutcome outcome = OpenOnce(realPath);
        if (outcome == OpenOutcome::Opened)
            return 0;
        if (outcome == OpenOutcome::Failed || waited.elapsed() >= busyRetryTime)
            return -1;
        QThread::msleep(busyRetryStep);
    }
}

PosixSerialDriver::OpenOutcome PosixSerialDriver::OpenOnce(const QString &realPath)
{
    qint64 holder = 0;
    if (lockFile.Acquire(realPath, &holder) == DeviceLockFile::Result::Busy) {
        Fail(QStringLiteral("%1 is in use by another program (process %2 holds %3/%4).")
                 .arg(realPath)
                 .arg(holder)
                 .arg(DefaultLockDirectory(), LockFileName(realPath)));
        return OpenOutcome::Busy;
    }
    const int opened = ::open(QFile::encodeName(realPath).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (opened < 0) {
        const int error = errno;
        lockFile.Release();
        if (error == EBUSY) {
            Fail(QStringLiteral("%1 is in use by another program.").arg(realPath));
            return OpenOutcome::Busy;
        }
        if (error == EACCES || error == EPERM)
            Fail(AccessAdvice(GatherAccessFacts(realPath)));
        else if (error == ENOENT || error == ENXIO || error == ENODEV)
            Fail(QStringLiteral("%1 is not present.").arg(presentName(realPath)));
        else
            Fail(QStringLiteral("Cannot open %1: %2").arg(realPath, systemError(error)));
        return OpenOutcome::Failed;
    }
    struct termios settings {
    };
    if (::tcgetattr(opened, &settings) != 0) {
        Fail(QStringLiteral("%1 is not a serial device: %2").arg(realPath, systemError(errno)));
        ::close(opened);
        lockFile.Release();
        return OpenOutcome::Failed;
    }
    // Exclusive use: no second program may interleave bytes with ours.
    ::ioctl(opened, TIOCEXCL);
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~CRTSCTS;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    // VMIN 1: with O_NONBLOCK an empty read is EAGAIN, so a read of 0 bytes
    // can only mean a hang-up.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    ::tcsetattr(opened, TCSANOW, &settings);
    // Whatever waited on the line before we opened it is stale.
    ::tcflush(opened, TCIOFLUSH);
    eventfd_t drained = 0;
    ::eventfd_read(wakeFd, &drained);
    fd = opened;
    lost = false;
    readCount = readPos = 0;
    return OpenOutcome::Opened;
}

int PosixSerialDriver::Parms(int parity, int stopBits, int dataBits)
{
    struct termios settings {
    };
    if (fd < 0 || ::tcgetattr(fd, &settings) != 0)
        return Fail(QStringLiteral("The port is not open."));
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    if (dataBits < 5 || dataBits > 8 || parity < 0 || parity > 2 || (stopBits != 0 && stopBits != 2))
        return Fail(QStringLiteral("Unsupported line settings: parity %1, stop bits %2, data bits %3.")
                        .arg(parity)
                        .arg(stopBits)
                        .arg(dataBits));
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
    settings.c_cflag |= sizes[dataBits - 5];
    if (parity != 0)
        settings.c_cflag |= PARENB | (parity == 1 ? PARODD : 0);
    if (stopBits == 2)
        settings.c_cflag |= CSTOPB;
    if (::tcsetattr(fd, TCSANOW, &settings) != 0)
        return Fail(QStringLiteral("The line settings were refused: ") + systemError(errno));
    return 0;
}

int PosixSerialDriver::Baud(int baudCode)
{
    struct termios settings {
    };
    if (fd < 0 || ::tcgetattr(fd, &settings) != 0)
        return Fail(QStringLiteral("The port is not open."));
    if (baudCode < 0 || baudCode > 9)
        return Fail(QStringLiteral("Unknown baud code %1.").arg(baudCode));
    ::cfsetispeed(&settings, baudSpeeds[baudCode]);
    ::cfsetospeed(&settings, baudSpeeds[baudCode]);
    if (::tcsetattr(fd, TCSANOW, &settings) != 0)
        return Fail(QStringLiteral("The baud rate was refused: ") + systemError(errno));
    return 0;
}

int PosixSerialDriver::Control(char letter)
{
    if (fd < 0)
        return -1;
    if (letter != 'S')
        return -1;
    int lines = TIOCM_DTR | TIOCM_RTS;
    // Pseudo-terminals have no modem lines (ENOTTY); that is not a failure.
    if (::ioctl(fd, TIOCMBIS, &lines) != 0 && errno != ENOTTY && errno != EINVAL)
        return -1;
    return 0;
}

int PosixSerialDriver::PutByte(unsigned char byte)
{
    if (fd < 0)
        return -1;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const ssize_t written = ::write(fd, &byte, 1);
        if (written == 1)
            return 0;
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN)
            return -1;
        // Output queue full: give the line a moment to drain, once.
        struct pollfd out {
            fd, POLLOUT, 0
        };
        ::poll(&out, 1, 100);
    }
    return -1;
}

bool PosixSerialDriver::Refill()
{
    if (fd < 0 || lost)
        return false;
    for (;;) {
        const ssize_t got = ::read(fd, readBuffer, sizeof readBuffer);
        if (got > 0) {
            readCount = static_cast<int>(got);
            readPos = 0;
            return true;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno == EAGAIN)
            return false;
        // End of file or an I/O error: the device hung up or was unplugged.
        lost = true;
        return false;
    }
}

int PosixSerialDriver::GetByte()
{
    if (readPos >= readCount && !Refill())
        return NoData;
    return readBuffer[readPos++];
}

int PosixSerialDriver::WaitEvent(int mask)
{
    struct pollfd fds[2] = {{wakeFd, POLLIN, 0}, {fd, POLLIN, 0}};
    // A lost device would report POLLHUP for ever; then only a wake counts.
    const nfds_t count = (fd >= 0 && !lost) ? 2 : 1;
    int ready;
    do
        ready = ::poll(fds, count, -1);
    while (ready < 0 && errno == EINTR);
    int events = 0;
    if (fds[0].revents & POLLIN) {
        eventfd_t value = 0;
        ::eventfd_read(wakeFd, &value);
        events |= EventWake;
    }
    if (count == 2) {
        if (fds[1].revents & POLLIN)
            events |= EventRxChar;
        if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            events |= EventError;
            if (!(fds[1].revents & POLLIN))
                lost = true;
        }
    }
    return events & (mask | EventWake);
}

void PosixSerialDriver::Wake()
{
    if (wakeFd >= 0)
        ::eventfd_write(wakeFd, 1);
}

int PosixSerialDriver::Close()
{
    if (fd < 0)
        return 0;
    // A pseudo-terminal outlives our descriptor; without this its exclusive
    // flag would lock out the next (unprivileged) open.
    ::ioctl(fd, TIOCNXCL);
    const int result = ::close(fd);
    fd = -1;
    readCount = readPos = 0;
    lockFile.Release();
    return result == 0 || errno == EINTR ? 0 : -1;
}
