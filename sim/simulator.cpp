#include "sim/simulator.h"

#include "base/log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace
{
qint64 NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

speed_t SpeedOf(int baud)
{
    switch (baud) {
    case 110:
        return B110;
    case 300:
        return B300;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
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
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

// While no program has the slave open the master cannot be waited on (it
// reports POLLHUP at once), so the thread looks again after this long.
constexpr int closedCheckMs = 20;

// The rate a sensor listens at in safe mode, whatever its own.
constexpr int safeModeBaud = 4800;

// Bytes of a disturbed line: framing errors and stray control codes.
const QByteArray noiseBytes("\xff\x1b\x80\x7f\xfe", 5);
} // namespace

Simulator::Simulator(const SimOptions &options) : m_options(options)
{
}

Simulator::~Simulator()
{
    Stop();
    RemoveAlias();
}

bool Simulator::Start(QString *error)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_device.Init(m_options, error))
            return false;
    }
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    char name[128] = {};
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        ptsname_r(m_master, name, sizeof name) != 0) {
        if (error)
            *error = QStringLiteral("cannot create a pseudo-terminal: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        Stop();
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    // The slave starts canonical and echoing; a serial port is raw.
    termios t{};
    if (tcgetattr(m_master, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(m_master, TCSANOW, &t);
    }
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_finished = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_start = NowMs();
    m_nextData = m_start + m_options.streamIntervalMs;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void Simulator::Stop()
{
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        if (write(m_wake, &one, sizeof one) < 0)
            Log(QStringLiteral("sensorsim: cannot wake the simulator thread"));
        m_thread.join();
    }
    std::lock_guard lock(m_mutex);
    for (int *fd : {&m_master, &m_wake, &m_finished}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

bool Simulator::RegisterAlias(const QString &appDataFolder, int comNumber, QString *error)
{
    QString folder = appDataFolder.endsWith(QLatin1Char('/')) ? appDataFolder : appDataFolder + '/';
    folder += QStringLiteral("ports/");
    const QString alias = folder + QStringLiteral("COM%1").arg(comNumber);
    const QFileInfo existing(alias);
    if (!QDir().mkpath(folder) || (existing.isSymLink() && !QFile::remove(alias)) ||
        (!existing.isSymLink() && existing.exists()) || !QFile::link(m_slavePath, alias)) {
        if (error)
            *error = QStringLiteral("cannot make %1 a link to %2").arg(alias, m_slavePath);
        return false;
    }
    m_alias = alias;
    return true;
}

void Simulator::RemoveAlias()
{
    if (!m_alias.isEmpty() && QFileInfo(m_alias).symLinkTarget() == m_slavePath)
        QFile::remove(m_alias);
    m_alias.clear();
}

bool Simulator::InSetupMode() const
{
    std::lock_guard lock(m_mutex);
    return m_device.InSetupMode();
}

QString Simulator::Identity() const
{
    std::lock_guard lock(m_mutex);
    return m_device.Identity();
}

QString Simulator::TemplateFile() const
{
    std::lock_guard lock(m_mutex);
    return m_device.TemplateFile();
}

unsigned Simulator::OptionBits() const
{
    std::lock_guard lock(m_mutex);
    return m_device.Product().optionBits;
}

bool Simulator::Has(const QString &cmd) const
{
    std::lock_guard lock(m_mutex);
    return m_device.Params().Find(cmd) != nullptr;
}

QString Simulator::Value(const QString &cmd) const
{
    std::lock_guard lock(m_mutex);
    const SimParam *p = m_device.Params().Find(cmd);
    return p ? p->value : QString();
}

QString Simulator::Pending(const QString &cmd) const
{
    std::lock_guard lock(m_mutex);
    const SimParam *p = m_device.Params().Find(cmd);
    return p ? p->pending : QString();
}

QStringList Simulator::State() const
{
    std::lock_guard lock(m_mutex);
    return m_device.Params().State();
}

int Simulator::PollTimeout(qint64 now) const
{
    if (!m_slaveOpen)
        return closedCheckMs;
    qint64 next = std::max(m_nextData, m_lastRx + m_options.holdBackMs);
    for (const Output &o : m_out)
        next = std::min(next, o.due);
    return int(std::clamp<qint64>(next - now, 0, INT_MAX));
}

Simulator::Power Simulator::PowerState(qint64 now) const
{
    if (m_options.powerOnAfterMs < 0)
        return Power::On;
    if (m_powerOnAt < 0 || now < m_powerOnAt)
        return Power::Off;
    if (m_safe)
        return Power::Safe;
    return now < m_powerOnAt + m_options.safeWindowMs ? Power::SafeWindow : Power::On;
}

int Simulator::LineBaud(qint64 now) const
{
    if (PowerState(now) != Power::On)
        return safeModeBaud;
    std::lock_guard lock(m_mutex);
    return m_device.Baud();
}

void Simulator::Run()
{
    while (m_master >= 0) {
        pollfd fds[2] = {{m_wake, POLLIN, 0}, {m_master, POLLIN, 0}};
        // A closed slave makes the master's poll return at once: do not wait on it then.
        if (poll(fds, m_slaveOpen ? 2 : 1, PollTimeout(NowMs())) < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN)
            return;
        if (!m_slaveOpen) {
            pollfd probe{m_master, POLLIN, 0};
            poll(&probe, 1, 0);
            m_slaveOpen = !(probe.revents & POLLHUP);
            if (m_slaveOpen)
                m_line.clear();
            if (m_slaveOpen && m_powerOnAt < 0 && m_options.powerOnAfterMs >= 0)
                m_powerOnAt = NowMs() + m_options.powerOnAfterMs;
        } else if (fds[1].revents & POLLHUP) {
            m_slaveOpen = false;
            m_out.clear();  // nobody is listening any more
            char discard[512];
            while (read(m_master, discard, sizeof discard) > 0) {
            } // what the last program sent is not the next one's command
        }
        const qint64 now = NowMs();
        if (m_slaveOpen && (fds[1].revents & POLLIN))
            Receive(now);
        if (m_master >= 0 && m_slaveOpen) {
            Stream(now);
            Flush(now);
        }
    }
    const uint64_t one = 1;
    if (write(m_finished, &one, sizeof one) < 0)
        Log(QStringLiteral("sensorsim: cannot signal the end of the simulator thread"));
}

bool Simulator::RateMatches(int baud) const
{
    termios t{};
    return tcgetattr(m_master, &t) == 0 && cfgetospeed(&t) == SpeedOf(baud);
}

void Simulator::Receive(qint64 now)
{
    char buffer[512];
    const ssize_t n = read(m_master, buffer, sizeof buffer);
    if (n <= 0)
        return;
    if (PowerState(now) == Power::Off) {
        m_line.clear(); // switched off: it hears nothing
        return;
    }
    const bool rateOk = RateMatches(LineBaud(now));
    for (ssize_t i = 0; i < n && m_master >= 0; ++i)
        Received(buffer[i], rateOk, now);
}

void Simulator::Received(char c, bool rateOk, qint64 now)
{
    m_lastRx = now;
    if (m_silent)
        return;
    if (!rateOk) {
        m_line.clear(); // at another rate the bytes arrive as garbage
        return;
    }
    bool echo = false;
    {
        std::lock_guard lock(m_mutex);
        echo = m_device.Echo();
    }
    if (echo)
        m_out << Output{now, c == '\r' ? QByteArray("\r\n") : QByteArray(1, c), LineBaud(now)};
    if (c != '\r') {
        if (m_line.size() < 4096)
            m_line += c;
        return;
    }
    const QByteArray line = m_line;
    m_line.clear();
    Command(line, now);
}

void Simulator::Command(const QByteArray &line, qint64 now)
{
    if (line.trimmed().isEmpty())
        return; // a lone CR: nothing to answer, and no command
    if (m_options.faults.hangUpAfter >= 0 && m_commands >= m_options.faults.hangUpAfter) {
        HangUp(); // the line goes dead while the program waits for this answer
        return;
    }
    if (PowerState(now) == Power::SafeWindow && line.trimmed() == "*")
        m_safe = true;
    const int baud = LineBaud(now); // a new rate applies after this reply
    QStringList reply;
    {
        std::lock_guard lock(m_mutex);
        reply = m_device.HandleLine(line);
    }
    Queue(reply, now + m_options.faults.slowMs + LateMs(line), baud);
    const int count = ++m_commands;
    if (m_options.faults.silenceAfter >= 0 && count >= m_options.faults.silenceAfter)
        m_silent = true;
}

int Simulator::LateMs(const QByteArray &line) const
{
    const QString cmd = QString::fromLatin1(line).trimmed().section(QLatin1Char(' '), 0, 0).toUpper();
    return m_options.faults.lateMs.value(cmd, 0);
}

void Simulator::Queue(const QStringList &lines, qint64 due, int baud)
{
    for (const QString &text : lines) {
        QByteArray bytes;
        if (m_options.faults.noise)
            bytes += noiseBytes;
        bytes += text.toLatin1() + "\r\n";
        if (m_options.faults.loneLf)
            bytes += "\n\r\n";
        m_out << Output{due, bytes, baud};
    }
}

void Simulator::Stream(qint64 now)
{
    // Never in the middle of a command or its echo.
    if (now < std::max(m_nextData, m_lastRx + m_options.holdBackMs))
        return;
    m_nextData = now + m_options.streamIntervalMs;
    if (m_silent || PowerState(now) != Power::On)
        return; // switched off, or waiting in safe mode: not measuring
    QStringList lines;
    {
        std::lock_guard lock(m_mutex);
        if (!m_device.InSetupMode())
            lines = m_device.DataLines(now - m_start);
    }
    Queue(lines, now, LineBaud(now));
}

void Simulator::Flush(qint64 now)
{
    while (!m_out.isEmpty()) {
        int next = 0;
        for (int i = 1; i < m_out.size(); ++i)
            if (m_out[i].due < m_out[next].due)
                next = i;
        if (m_out[next].due > now)
            return;
        const Output out = m_out.takeAt(next);
        QByteArray bytes = out.bytes;
        if (!RateMatches(out.baud)) {
            // Read at another rate, every byte turns into a framing error: no line ever ends.
            for (char &b : bytes)
                b = char(uchar(b) | 0x80);
        }
        if (write(m_master, bytes.constData(), size_t(bytes.size())) < 0 && errno != EAGAIN)
            Log(QStringLiteral("sensorsim: write failed: %1").arg(QString::fromLocal8Bit(strerror(errno))));
    }
}

void Simulator::HangUp()
{
    std::lock_guard lock(m_mutex);
    m_hungUp = true; // before the program can see the line drop
    close(m_master);
    m_master = -1;
}
