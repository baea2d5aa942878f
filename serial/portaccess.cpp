#include "serial/portaccess.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// The process id in a lock file, or 0 when it cannot be read.
qint64 lockHolder(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    bool ok = false;
    const qint64 pid = file.read(64).trimmed().toLongLong(&ok);
    return ok ? pid : 0;
}

bool processAlive(qint64 pid)
{
    if (pid <= 0)
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

QString groupName(gid_t gid)
{
    const struct group *entry = ::getgrgid(gid);
    return entry != nullptr ? QString::fromLocal8Bit(entry->gr_name) : QString::number(gid);
}

bool processHasGroup(gid_t gid)
{
    if (::getegid() == gid)
        return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int got = ::getgroups(count, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<size_t>(i)] == gid)
            return true;
    return false;
}

bool userListedInGroup(const struct passwd *user, gid_t gid)
{
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (::getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        if (::getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0)
            return false;
    }
    for (int i = 0; i < count; ++i)
        if (groups[static_cast<size_t>(i)] == gid)
            return true;
    return false;
}
} // namespace

QString ModeText(mode_t mode)
{
    QString text = S_ISCHR(mode) ? QStringLiteral("c") : QStringLiteral("-");
    const char *letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit)
        text += (mode & (0400 >> bit)) ? QLatin1Char(letters[bit]) : QLatin1Char('-');
    return text;
}


QString DefaultLockDirectory()
{
    return QStringLiteral("/run/lock");
}

QString LockFileName(const QString &devicePath)
{
    QString name = devicePath;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

DeviceLockFile::DeviceLockFile(QString lockDirectory) : directory(std::move(lockDirectory))
{
}

DeviceLockFile::~DeviceLockFile()
{
    Release();
}

DeviceLockFile::Result DeviceLockFile::Acquire(const QString &devicePath, qint64 *holder)
{
    Release();
    const QString candidate = directory + QLatin1Char('/') + LockFileName(devicePath);
    const QByteArray content = QByteArray::number(static_cast<qint64>(::getpid())).rightJustified(10, ' ') + '\n';
    // Two rounds: the second after removing a stale lock.
    for (int round = 0; round < 2; ++round) {
        const int fd = ::open(encoded(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const bool written =
                ::write(fd, content.constData(), static_cast<size_t>(content.size())) == content.size();
            ::close(fd);
            if (!written) {
                ::unlink(encoded(candidate).constData());
                return Result::Unavailable;
            }
            path = candidate;
            return Result::Locked;
        }
        if (errno != EEXIST)
            return Result::Unavailable;
        const qint64 pid = lockHolder(candidate);
        if (processAlive(pid)) {
            if (holder != nullptr)
                *holder = pid;
            return Result::Busy;
        }
        ::unlink(encoded(candidate).constData());
    }
    return Result::Busy;
}

void DeviceLockFile::Release()
{
    if (path.isEmpty())
        return;
    // Only remove a lock that is still ours.
    if (lockHolder(path) == ::getpid())
        ::unlink(encoded(path).constData());
    path.clear();
}

AccessFacts GatherAccessFacts(const QString &devicePath)
{
    AccessFacts facts;
    facts.device = devicePath;
    const struct passwd *user = ::getpwuid(::geteuid());
    if (user != nullptr)
        facts.user = QString::fromLocal8Bit(user->pw_name);
    struct stat info {
    };
    if (::stat(encoded(devicePath).constData(), &info) != 0)
        return facts;
    facts.mode = ModeText(info.st_mode);
    facts.group = groupName(info.st_gid);
    facts.processInGroup = processHasGroup(info.st_gid);
    facts.userListedInGroup = user != nullptr && userListedInGroup(user, info.st_gid);
    return facts;
}

QString AccessAdvice(const AccessFacts &facts)
{
    const QString prefix = QStringLiteral("No permission to open %1").arg(facts.device);
    if (facts.group.isEmpty())
        return prefix + QStringLiteral(".");
    const QString owned = QStringLiteral(" (%1, group %2)").arg(facts.mode, facts.group);
    if (facts.processInGroup)
        return prefix + owned +
               QStringLiteral(": this program is in group %1 already, but the device does not "
                              "allow the group to read and write it.")
                   .arg(facts.group);
    if (facts.userListedInGroup)
        return prefix + owned +
               QStringLiteral(": user %1 was added to group %2 but this session started before; log out and in "
                              "again.")
                   .arg(facts.user, facts.group);
    return prefix + owned +
           QStringLiteral(": add user %1 to group %2 with 'sudo usermod -aG %2 %1', then log out and in again.")
               .arg(facts.user, facts.group);
}
