#include "serial/portDoctor.h"

#include "base/translate.h"
#include "serial/portaccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
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
constexpr int maxLinkHops = 16;
constexpr int maxSysLevels = 8;

QString readLink(const QString &path)
{
    std::vector<char> buffer(4096);
    const ssize_t length = ::readlink(QFile::encodeName(path).constData(), buffer.data(), buffer.size());
    return length > 0 ? QFile::decodeName(QByteArray(buffer.data(), static_cast<int>(length))) : QString();
}

QString readSmallFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.read(4096)).trimmed();
}

// The lines of /etc/group or /etc/passwd split at ':'.
QList<QStringList> databaseRows(const QString &path)
{
    QList<QStringList> rows;
    for (const QString &line : readSmallFile(path).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!line.startsWith(QLatin1Char('#')))
            rows.append(line.split(QLatin1Char(':')));
    return rows;
}

// What the mode bits alone allow; access() knows ACLs as well, but only for
// the real system and this process.
bool modeAllows(const struct stat &info, const DoctorIdentity &who)
{
    if (who.uid == 0)
        return true;
    if (info.st_uid == who.uid)
        return (info.st_mode & 0600) == 0600;
    if (who.processGroups.contains(info.st_gid))
        return (info.st_mode & 0060) == 0060;
    return (info.st_mode & 0006) == 0006;
}

bool isUsbNode(const QString &node)
{
    const QString name = QFileInfo(node).fileName();
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}

DoctorFinding finding(FindingKind kind, Severity severity, const QString &explanation, const QString &fix = {})
{
    return DoctorFinding{kind, severity, explanation, fix};
}

QString modemManagerRule(const QString &ids)
{
    const QString match = ids.isEmpty() ? QStringLiteral("SUBSYSTEM==\"tty\", KERNEL==\"ttyUSB*|ttyACM*\"") : ids;
    return match + QStringLiteral(", ENV{ID_MM_DEVICE_IGNORE}=\"1\"");
}

DoctorFinding modemManagerFinding(const QString &ids)
{
    return finding(FindingKind::ModemManager, Severity::Warning,
                   T(QStringLiteral("ModemManager is running: it probes new USB serial devices as modems, which "
                                    "garbles a sensor's first replies and keeps the port busy for a while. This "
                                    "udev rule tells it to leave the adapter alone:")) +
                       QStringLiteral("\n") + modemManagerRule(ids),
                   QStringLiteral("echo '%1' | sudo tee /etc/udev/rules.d/99-talvek-serial.rules && sudo udevadm "
                                  "control --reload-rules && sudo udevadm trigger")
                       .arg(modemManagerRule(ids)));
}

DoctorFinding brlttyFinding()
{
    return finding(FindingKind::Brltty, Severity::Warning,
                   T(QStringLiteral("brltty (the braille display service) is running: it claims some USB serial "
                                    "adapters, which then vanish right after being plugged in.")),
                   QStringLiteral("sudo systemctl mask --now brltty-udev.service brltty.service"));
}
} // namespace

DoctorIdentity DoctorIdentity::Current()
{
    DoctorIdentity who;
    who.uid = ::geteuid();
    const struct passwd *entry = ::getpwuid(who.uid);
    who.user = entry != nullptr ? QString::fromLocal8Bit(entry->pw_name) : QString::number(who.uid);
    who.processGroups.append(::getegid());
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> groups(static_cast<size_t>(count));
        const int got = ::getgroups(count, groups.data());
        for (int i = 0; i < got; ++i)
            who.processGroups.append(groups[static_cast<size_t>(i)]);
    }
    return who;
}

bool PortDiagnosis::CanOpen() const
{
    for (const DoctorFinding &found : findings)
        if (found.severity == Severity::Problem)
            return false;
    return true;
}

bool PortDiagnosis::Has(FindingKind kind) const
{
    for (const DoctorFinding &found : findings)
        if (found.kind == kind)
            return true;
    return false;
}

bool DoctorReport::AllUsable() const
{
    if (ports.isEmpty())
        return false;
    for (const PortDiagnosis &port : ports)
        if (!port.CanOpen())
            return false;
    return true;
}

PortDoctor::PortDoctor(DoctorSystem doctorSystem) : system(std::move(doctorSystem))
{
    while (system.root.size() > 1 && system.root.endsWith(QLatin1Char('/')))
        system.root.chop(1);
}

// ---------------------------------------------------------------- looking around

QString PortDoctor::hostPath(const QString &systemPath) const
{
    return system.RealSystem() ? systemPath : system.root + systemPath;
}

// Follows the links from the path the program opens to the device node. An
// alias lives outside the root; everything it points at is inside.
QString PortDoctor::resolveNode(const QString &devicePath) const
{
    QString current = devicePath;
    bool insideRoot = devicePath.startsWith(QLatin1String("/dev/"));
    for (int hop = 0; hop < maxLinkHops; ++hop) {
        QString target = readLink(insideRoot ? hostPath(current) : current);
        if (target.isEmpty())
            break;
        if (!target.startsWith(QLatin1Char('/')))
            target = QFileInfo(current).path() + QLatin1Char('/') + target;
        current = QDir::cleanPath(target);
        insideRoot = true;
    }
    return current;
}

QString PortDoctor::groupName(gid_t gid) const
{
    for (const QStringList &row : databaseRows(hostPath(QStringLiteral("/etc/group"))))
        if (row.size() >= 3 && row.at(2) == QString::number(gid))
            return row.at(0);
    if (system.RealSystem()) {
        const struct group *entry = ::getgrgid(gid);
        if (entry != nullptr)
            return QString::fromLocal8Bit(entry->gr_name);
    }
    return QString::number(gid);
}

QString PortDoctor::userName(uid_t uid) const
{
    for (const QStringList &row : databaseRows(hostPath(QStringLiteral("/etc/passwd"))))
        if (row.size() >= 3 && row.at(2) == QString::number(uid))
            return row.at(0);
    if (system.RealSystem()) {
        const struct passwd *entry = ::getpwuid(uid);
        if (entry != nullptr)
            return QString::fromLocal8Bit(entry->pw_name);
    }
    return QString::number(uid);
}

// The users the group database puts in the group, its primary members included.
QStringList PortDoctor::groupMembers(const QString &group) const
{
    QStringList members;
    QString gid;
    for (const QStringList &row : databaseRows(hostPath(QStringLiteral("/etc/group"))))
        if (row.size() >= 4 && row.at(0) == group) {
            gid = row.at(2);
            members = row.at(3).split(QLatin1Char(','), Qt::SkipEmptyParts);
        }
    for (const QStringList &row : databaseRows(hostPath(QStringLiteral("/etc/passwd"))))
        if (row.size() >= 4 && !gid.isEmpty() && row.at(3) == gid)
            members.append(row.at(0));
    if (system.RealSystem() && members.isEmpty()) {
        const struct group *entry = ::getgrnam(group.toLocal8Bit().constData());
        for (char **member = entry != nullptr ? entry->gr_mem : nullptr; member != nullptr && *member; ++member)
            members.append(QString::fromLocal8Bit(*member));
    }
    return members;
}

QList<PortDoctor::ProcessInfo> PortDoctor::processes() const
{
    static const QRegularExpression ttyIndex(QStringLiteral("^tty-index:\\s*(\\d+)"),
                                             QRegularExpression::MultilineOption);
    QList<ProcessInfo> list;
    const QDir proc(hostPath(QStringLiteral("/proc")));
    for (const QString &entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        ProcessInfo info;
        info.pid = entry.toLongLong(&number);
        if (!number)
            continue;
        const QString base = proc.filePath(entry);
        info.name = readSmallFile(base + QStringLiteral("/comm"));
        // Other users' descriptors stay unreadable to an ordinary user: skipped.
        const QDir fds(base + QStringLiteral("/fd"));
        for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            const QString target = readLink(fds.filePath(fd));
            info.openFiles.append(target);
            if (target == QLatin1String("/dev/ptmx") || target == QLatin1String("/dev/pts/ptmx")) {
                const auto match = ttyIndex.match(readSmallFile(base + QStringLiteral("/fdinfo/") + fd));
                if (match.hasMatch())
                    info.masterOf.append(match.captured(1).toInt());
            }
        }
        list.append(info);
    }
    return list;
}

bool PortDoctor::processRuns(qint64 pid) const
{
    if (pid <= 0)
        return false;
    if (system.RealSystem())
        return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
    return QFileInfo::exists(hostPath(QStringLiteral("/proc/%1").arg(pid)));
}

QString PortDoctor::processName(qint64 pid) const
{
    const QString name = readSmallFile(hostPath(QStringLiteral("/proc/%1/comm").arg(pid)));
    return name.isEmpty() ? QStringLiteral("?") : name;
}

bool PortDoctor::serviceRuns(const QList<ProcessInfo> &list, const QString &name) const
{
    for (const ProcessInfo &process : list)
        if (process.name == name)
            return true;
    return false;
}

QString PortDoctor::stableName(const QString &node) const
{
    const QString folder = QStringLiteral("/dev/serial/by-id");
    const QDir byId(hostPath(folder));
    for (const QString &entry : byId.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name))
        if (resolveNode(folder + QLatin1Char('/') + entry) == node)
            return folder + QLatin1Char('/') + entry;
    return {};
}

// The udev match of the USB device behind a tty, from /sys; empty when none.
QString PortDoctor::usbIds(const QString &node) const
{
    const QString sysRoot = QFileInfo(hostPath(QStringLiteral("/sys"))).canonicalFilePath();
    QString folder =
        QFileInfo(hostPath(QStringLiteral("/sys/class/tty/") + QFileInfo(node).fileName() + QStringLiteral("/device")))
            .canonicalFilePath();
    for (int level = 0; level < maxSysLevels && !folder.isEmpty() && folder.startsWith(sysRoot); ++level) {
        const QString vendor = readSmallFile(folder + QStringLiteral("/idVendor"));
        const QString product = readSmallFile(folder + QStringLiteral("/idProduct"));
        if (!vendor.isEmpty() && !product.isEmpty())
            return QStringLiteral("ATTRS{idVendor}==\"%1\", ATTRS{idProduct}==\"%2\"").arg(vendor, product);
        folder = QFileInfo(folder).path();
    }
    return {};
}

// ---------------------------------------------------------------- the checks

void PortDoctor::checkAccess(PortDiagnosis &port) const
{
    struct stat info {
    };
    const QByteArray path = QFile::encodeName(hostPath(port.node));
    if (::stat(path.constData(), &info) != 0) {
        port.findings.append(finding(FindingKind::Missing, Severity::Problem,
                                     T(QStringLiteral("%1 does not exist: the adapter is unplugged, got another "
                                                      "number when it was plugged in again, or was claimed by "
                                                      "another service. The serial devices present:"))
                                         .arg(port.node),
                                     QStringLiteral("ls -l /dev/serial/by-id/ /dev/ttyUSB* /dev/ttyACM* /dev/ttyS*")));
        return;
    }
    port.mode = ModeText(info.st_mode);
    port.owner = userName(info.st_uid);
    port.group = groupName(info.st_gid);
    const bool allowed = system.RealSystem() ? ::faccessat(AT_FDCWD, path.constData(), R_OK | W_OK, AT_EACCESS) == 0
                                             : modeAllows(info, system.identity);
    if (allowed)
        return;
    explainRefusal(port, info);
}

// Joining the group helps only where the group may read and write; either
// may be missing, or both.
void PortDoctor::explainRefusal(PortDiagnosis &port, const struct stat &info) const
{
    const QString &user = system.identity.user;
    const bool groupMay = (info.st_mode & 0060) == 0060;
    const bool inGroup = system.identity.processGroups.contains(info.st_gid);
    if (!groupMay)
        port.findings.append(finding(FindingKind::GroupCannotWrite, Severity::Problem,
                                     T(QStringLiteral("%1 (%2, group %3) does not let its group read and write it."))
                                         .arg(port.node, port.mode, port.group),
                                     QStringLiteral("sudo chmod g+rw %1").arg(port.node)));
    if (inGroup) {
        if (groupMay) // the owner's bits shut this owner out
            port.findings.append(finding(FindingKind::NoPermission, Severity::Problem,
                                         T(QStringLiteral("You may not open %1 (%2, owner %3, group %4)."))
                                             .arg(port.node, port.mode, port.owner, port.group),
                                         QStringLiteral("sudo chmod ug+rw %1").arg(port.node)));
        return;
    }
    if (groupMembers(port.group).contains(user)) {
        port.findings.append(finding(
            FindingKind::LogInAgain, Severity::Problem,
            T(QStringLiteral("User %1 was added to group %2, which may use %3, after this session began: log out "
                             "and in again (or, for one terminal only, run the command below)."))
                .arg(user, port.group, port.node),
            QStringLiteral("newgrp %1").arg(port.group)));
        return;
    }
    port.findings.append(
        finding(FindingKind::NoPermission, Severity::Problem,
                T(QStringLiteral("User %1 may not open %2 (%3, group %4): add the user to group %4, then log out and "
                                 "in again."))
                    .arg(user, port.node, port.mode, port.group),
                QStringLiteral("sudo usermod -aG %1 %2").arg(port.group, user)));
}

void PortDoctor::checkLock(PortDiagnosis &port) const
{
    const QString lock = system.lockDirectory + QLatin1Char('/') + LockFileName(port.node);
    QFile file(hostPath(lock));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const qint64 pid = file.read(64).trimmed().toLongLong();
    if (pid == ::getpid() && system.RealSystem())
        return; // our own link's
    if (processRuns(pid)) {
        port.findings.append(finding(FindingKind::Locked, Severity::Problem,
                                     T(QStringLiteral("%1 is in use: process %2 (%3) holds its lock file %4. "
                                                      "Close that program, or end it:"))
                                         .arg(port.node, QString::number(pid), processName(pid), lock),
                                     QStringLiteral("kill %1").arg(pid)));
        return;
    }
    port.findings.append(finding(FindingKind::StaleLock, Severity::Warning,
                                 T(QStringLiteral("The lock file %1 was left by a program that no longer runs. "
                                                  "Talvek takes it over; other serial programs may refuse the port "
                                                  "until it is removed."))
                                     .arg(lock),
                                 QStringLiteral("sudo rm %1").arg(lock)));
}

void PortDoctor::checkHolders(PortDiagnosis &port, const QList<ProcessInfo> &list) const
{
    // The program on the master side of a pseudo-terminal is the device itself.
    int ptyNumber = -1;
    if (port.node.startsWith(QLatin1String("/dev/pts/")))
        ptyNumber = port.node.mid(9).toInt();
    for (const ProcessInfo &process : list) {
        if ((process.pid == ::getpid() && system.RealSystem()) || !process.openFiles.contains(port.node) ||
            (ptyNumber >= 0 && process.masterOf.contains(ptyNumber)))
            continue;
        port.findings.append(finding(FindingKind::OpenElsewhere, Severity::Warning,
                                     T(QStringLiteral("Process %1 (%2) has %3 open: two programs on one sensor "
                                                      "garble each other's exchanges. Close that program, or end "
                                                      "it:"))
                                         .arg(QString::number(process.pid), process.name, port.node),
                                     QStringLiteral("kill %1").arg(process.pid)));
    }
}

void PortDoctor::checkServices(PortDiagnosis &port, const QList<ProcessInfo> &list) const
{
    if (!isUsbNode(port.node))
        return;
    if (serviceRuns(list, QStringLiteral("ModemManager")))
        port.findings.append(modemManagerFinding(usbIds(port.node)));
    if (serviceRuns(list, QStringLiteral("brltty")))
        port.findings.append(brlttyFinding());
}

void PortDoctor::checkStableName(PortDiagnosis &port) const
{
    const QString stable = stableName(port.node);
    if (stable.isEmpty())
        return;
    const QString comName =
        port.comName.isEmpty() ? QStringLiteral("COM%1").arg(ComNumberForDevice(port.node)) : port.comName;
    if (!port.devicePath.startsWith(QLatin1String("/dev/")) && readLink(port.devicePath) == stable) {
        port.findings.append(finding(FindingKind::StableName, Severity::Info,
                                     T(QStringLiteral("%1 is an alias of the adapter's stable name %2: it keeps its "
                                                      "number whichever USB socket the adapter is in."))
                                         .arg(comName, stable)));
        return;
    }
    QString fix;
    if (!system.aliasFolder.isEmpty())
        fix = QStringLiteral("mkdir -p '%1' && ln -sfn %2 '%1/%3'")
                  .arg(QDir::cleanPath(system.aliasFolder), stable, comName);
    port.findings.append(finding(FindingKind::StableName, Severity::Info,
                                 T(QStringLiteral("The adapter's stable name is %1. A %2 alias of it keeps the "
                                                  "number whichever USB socket the adapter is in:"))
                                     .arg(stable, comName),
                                 fix));
}

// ---------------------------------------------------------------- diagnosis

PortDiagnosis PortDoctor::DiagnosePort(const ComPortDevice &device) const
{
    return Diagnose({device}).ports.value(0);
}

DoctorReport PortDoctor::Diagnose(const QList<ComPortDevice> &devices) const
{
    DoctorReport report;
    const QList<ProcessInfo> list = processes();
    bool usbSeen = false;
    for (const ComPortDevice &device : devices) {
        PortDiagnosis port;
        port.comName = device.comNumber > 0 ? QStringLiteral("COM%1").arg(device.comNumber) : QString();
        port.devicePath = device.devicePath;
        port.node = resolveNode(device.devicePath);
        usbSeen = usbSeen || isUsbNode(port.node);
        checkAccess(port);
        if (!port.Has(FindingKind::Missing)) {
            checkLock(port);
            checkHolders(port, list);
            checkStableName(port);
        }
        checkServices(port, list);
        if (port.CanOpen())
            port.findings.append(
                finding(FindingKind::Usable, Severity::Info, T(QStringLiteral("You can open %1.")).arg(port.node)));
        report.ports.append(port);
    }
    if (devices.isEmpty())
        report.general.append(finding(FindingKind::NoPorts, Severity::Problem,
                                      T(QStringLiteral("No serial port was found. Plug the adapter in; if none "
                                                       "appears, the kernel's messages tell what happened to it:")),
                                      QStringLiteral("sudo dmesg | grep -iE 'tty|usb'")));
    // Without a USB port in the list these services may be why there is none.
    if (!usbSeen && serviceRuns(list, QStringLiteral("ModemManager")))
        report.general.append(modemManagerFinding(QString()));
    if (!usbSeen && serviceRuns(list, QStringLiteral("brltty")))
        report.general.append(brlttyFinding());
    return report;
}

// ---------------------------------------------------------------- text

namespace
{
QString severityLabel(const DoctorFinding &found)
{
    if (found.kind == FindingKind::Usable)
        return T(QStringLiteral("OK"));
    switch (found.severity) {
    case Severity::Problem:
        return T(QStringLiteral("Problem"));
    case Severity::Warning:
        return T(QStringLiteral("Warning"));
    case Severity::Info:
        break;
    }
    return T(QStringLiteral("Note"));
}

void renderFinding(QStringList &lines, const DoctorFinding &found)
{
    const QStringList explanation = found.explanation.split(QLatin1Char('\n'));
    lines.append(QStringLiteral("  ") + severityLabel(found) + QStringLiteral(": ") + explanation.first());
    for (qsizetype i = 1; i < explanation.size(); ++i)
        lines.append(QStringLiteral("      ") + explanation.at(i));
    if (!found.fix.isEmpty())
        lines.append(QStringLiteral("      $ ") + found.fix);
}

QString portHeading(const PortDiagnosis &port)
{
    QString heading = port.comName.isEmpty() ? port.node : port.comName + QStringLiteral("  ") + port.node;
    if (!port.mode.isEmpty())
        heading += QStringLiteral("  ") + port.mode + QLatin1Char(' ') + port.owner + QLatin1Char(':') + port.group;
    return heading;
}
} // namespace

QString RenderDoctorReport(const DoctorReport &report)
{
    QStringList lines;
    for (const PortDiagnosis &port : report.ports) {
        lines.append(portHeading(port));
        for (const DoctorFinding &found : port.findings)
            renderFinding(lines, found);
    }
    if (!report.general.isEmpty()) {
        if (!report.ports.isEmpty())
            lines.append(T(QStringLiteral("This computer")));
        for (const DoctorFinding &found : report.general)
            renderFinding(lines, found);
    }
    if (report.ports.isEmpty())
        return lines.join(QLatin1Char('\n'));
    lines.append(report.AllUsable() ? T(QStringLiteral("Every port checked can be opened."))
                                    : T(QStringLiteral("Not every port can be opened: see the problems above.")));
    return lines.join(QLatin1Char('\n'));
}
