// The port doctor over a fake root (dev, proc, sys, etc made in a temporary
// folder) and over the real system with pseudo-terminals, live processes and
// lock files.
#include "base/appdata.h"
#include "serial/portDoctor.h"
#include "serial/portaccess.h"
#include "tests/support/ptypeer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr uid_t annUid = 4242;
constexpr uid_t bobUid = 4243;
const QString byIdName = QStringLiteral("usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");

// A fake system: files stand in for device nodes. The nodes' group (the
// test's own) is called dialout and lists bob.
class FakeRoot
{
public:
    FakeRoot()
    {
        const QString gid = QString::number(::getegid());
        write("etc/group", "notdialout:x:9999:ann\ndialout:x:" + gid + ":bob\n");
        write(
            "etc/passwd",
            QStringLiteral("ann:x:%1:%1::/home/ann:/bin/sh\nbob:x:%2:%2::/home/bob:/bin/sh\n").arg(annUid).arg(bobUid));
        write("dev/ttyUSB0", "");
        write("dev/ttyS0", "");
        setMode("dev/ttyUSB0", 0660);
        setMode("dev/ttyS0", 0660);
        link("dev/serial/by-id/" + byIdName, "../../ttyUSB0");
        write("sys/devices/pci0/usb1/1-1/idVendor", "0403\n");
        write("sys/devices/pci0/usb1/1-1/idProduct", "6001\n");
        write("sys/devices/pci0/usb1/1-1/1-1:1.0/ttyUSB0/uevent", "");
        link("sys/class/tty/ttyUSB0/device", "../../../devices/pci0/usb1/1-1/1-1:1.0/ttyUSB0");
        QDir(dir.path()).mkpath(QStringLiteral("run/lock"));
        QDir(dir.path()).mkpath(QStringLiteral("proc"));
    }

    QString path(const QString &relative) const { return dir.filePath(relative); }

    void write(const QString &relative, const QString &content) const
    {
        QDir(dir.path()).mkpath(QFileInfo(relative).path());
        QFile file(path(relative));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content.toUtf8());
    }

    void link(const QString &relative, const QString &target) const
    {
        QDir(dir.path()).mkpath(QFileInfo(relative).path());
        QVERIFY(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path(relative)).constData()) == 0);
    }

    void setMode(const QString &relative, mode_t mode) const
    {
        QVERIFY(::chmod(QFile::encodeName(path(relative)).constData(), mode) == 0);
    }

    // A process in the fake /proc, with descriptors pointing at the given files.
    void addProcess(qint64 pid, const QString &name, const QStringList &openFiles = {}) const
    {
        const QString base = QStringLiteral("proc/%1/").arg(pid);
        write(base + "comm", name + "\n");
        QDir(dir.path()).mkpath(base + "fd");
        for (int fd = 0; fd < openFiles.size(); ++fd)
            link(base + "fd/" + QString::number(fd + 3), openFiles.at(fd));
    }

    DoctorSystem system(uid_t uid, const QString &user, QList<gid_t> groups = {}) const
    {
        DoctorSystem result;
        result.root = dir.path();
        result.aliasFolder = QStringLiteral("/home/ann/.local/share/OrdaAppsData/Talvek/ports/");
        result.identity.uid = uid;
        result.identity.user = user;
        result.identity.processGroups = groups.isEmpty() ? QList<gid_t>{uid} : groups;
        return result;
    }

    QTemporaryDir dir;
};

ComPortDevice usb0()
{
    return {QString(), QStringLiteral("/dev/ttyUSB0"), 100};
}

QList<FindingKind> kinds(const PortDiagnosis &port)
{
    QList<FindingKind> list;
    for (const DoctorFinding &found : port.findings)
        list.append(found.kind);
    return list;
}

const DoctorFinding *findingOf(const PortDiagnosis &port, FindingKind kind)
{
    for (const DoctorFinding &found : port.findings)
        if (found.kind == kind)
            return &found;
    return nullptr;
}

// A child that lives until the test ends it.
struct Sleeper {
    QProcess process;
    explicit Sleeper(const QString &script = QStringLiteral("exec sleep 60"))
    {
        process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script});
        process.waitForStarted();
    }
    ~Sleeper()
    {
        process.kill();
        process.waitForFinished();
    }
};
} // namespace

Q_DECLARE_METATYPE(FindingKind)

class TestPortDoctor : public QObject
{
    Q_OBJECT

private slots:
    void permissions_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<uint>("uid");
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("inGroup");
        QTest::addColumn<FindingKind>("expected");
        QTest::addColumn<QString>("fix");
        QTest::newRow("not in group") << 0660 << uint(annUid) << "ann" << false << FindingKind::NoPermission
                                      << "sudo usermod -aG dialout ann";
        QTest::newRow("added, not logged in again")
            << 0660 << uint(bobUid) << "bob" << false << FindingKind::LogInAgain << "newgrp dialout";
        QTest::newRow("group shut out") << 0600 << uint(annUid) << "ann" << true << FindingKind::GroupCannotWrite
                                        << "sudo chmod g+rw /dev/ttyUSB0";
        QTest::newRow("group may") << 0660 << uint(annUid) << "ann" << true << FindingKind::Usable << "";
        QTest::newRow("everyone may") << 0666 << uint(annUid) << "ann" << false << FindingKind::Usable << "";
        QTest::newRow("read only for all")
            << 0664 << uint(annUid) << "ann" << false << FindingKind::NoPermission << "sudo usermod -aG dialout ann";
        QTest::newRow("root") << 0600 << 0u << "root" << false << FindingKind::Usable << "";
    }
    void permissions()
    {
        QFETCH(int, mode);
        QFETCH(uint, uid);
        QFETCH(QString, user);
        QFETCH(bool, inGroup);
        QFETCH(FindingKind, expected);
        QFETCH(QString, fix);
        FakeRoot root;
        root.setMode("dev/ttyUSB0", static_cast<mode_t>(mode));
        QList<gid_t> groups{static_cast<gid_t>(uid)};
        if (inGroup)
            groups.append(::getegid());
        const PortDiagnosis port = PortDoctor(root.system(uid, user, groups)).DiagnosePort(usb0());
        QCOMPARE(port.node, QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(port.group, QStringLiteral("dialout"));
        const DoctorFinding *found = findingOf(port, expected);
        QVERIFY2(found != nullptr, qPrintable(RenderDoctorReport(DoctorReport{{port}, {}})));
        QCOMPARE(found->fix, fix);
        QCOMPARE(port.CanOpen(), expected == FindingKind::Usable);
        if (expected == FindingKind::NoPermission)
            QVERIFY(found->explanation.contains(QLatin1String("ann")) && found->explanation.contains("dialout"));
    }

    // The group shut out and the user not in it: both need fixing.
    void groupShutOutAndUserNotInIt()
    {
        FakeRoot root;
        root.setMode("dev/ttyUSB0", 0600);
        const PortDiagnosis port = PortDoctor(root.system(annUid, "ann")).DiagnosePort(usb0());
        QCOMPARE(kinds(port).mid(0, 2), QList<FindingKind>({FindingKind::GroupCannotWrite, FindingKind::NoPermission}));
        QVERIFY(!port.Has(FindingKind::Usable));
    }

    void modeAndGroupShown()
    {
        FakeRoot root;
        root.setMode("dev/ttyUSB0", 0640);
        const PortDiagnosis port = PortDoctor(root.system(annUid, "ann")).DiagnosePort(usb0());
        QCOMPARE(port.mode, QStringLiteral("-rw-r-----"));
        QCOMPARE(port.group, QStringLiteral("dialout"));
    }

    void missingNodeSaysSoAndNothingElse()
    {
        FakeRoot root;
        const PortDiagnosis port =
            PortDoctor(root.system(annUid, "ann")).DiagnosePort({QString(), QStringLiteral("/dev/ttyUSB3"), 103});
        QCOMPARE(kinds(port), QList<FindingKind>{FindingKind::Missing});
        QVERIFY(!port.CanOpen());
        QVERIFY(port.findings.first().explanation.contains(QLatin1String("/dev/ttyUSB3")));
    }

    void lockFiles()
    {
        FakeRoot root;
        root.setMode("dev/ttyUSB0", 0666);
        root.addProcess(4321, "minicom");
        root.write("run/lock/LCK..ttyUSB0", "      4321\n");
        const PortDoctor doctor(root.system(annUid, "ann"));
        PortDiagnosis port = doctor.DiagnosePort(usb0());
        const DoctorFinding *locked = findingOf(port, FindingKind::Locked);
        QVERIFY(locked != nullptr);
        QVERIFY(locked->explanation.contains(QLatin1String("4321 (minicom)")));
        QCOMPARE(locked->fix, QStringLiteral("kill 4321"));
        QVERIFY(!port.CanOpen());

        // The process is gone: a stale lock, which does not stop this program.
        QVERIFY(QDir(root.path("proc/4321")).removeRecursively());
        port = doctor.DiagnosePort(usb0());
        QVERIFY(!port.Has(FindingKind::Locked));
        const DoctorFinding *stale = findingOf(port, FindingKind::StaleLock);
        QVERIFY(stale != nullptr);
        QCOMPARE(stale->severity, Severity::Warning);
        QCOMPARE(stale->fix, QStringLiteral("sudo rm /run/lock/LCK..ttyUSB0"));
        QVERIFY(port.CanOpen());
    }

    void otherProcessesWithThePortOpen()
    {
        FakeRoot root;
        root.setMode("dev/ttyUSB0", 0666);
        root.addProcess(777, "screen", {"/dev/null", "/dev/ttyUSB0"});
        root.addProcess(778, "bash", {"/dev/ttyS0"});
        const PortDiagnosis port = PortDoctor(root.system(annUid, "ann")).DiagnosePort(usb0());
        QCOMPARE(kinds(port),
                 QList<FindingKind>({FindingKind::OpenElsewhere, FindingKind::StableName, FindingKind::Usable}));
        const DoctorFinding *holder = findingOf(port, FindingKind::OpenElsewhere);
        QVERIFY(holder != nullptr);
        QVERIFY(holder->explanation.contains(QLatin1String("777 (screen)")));
        QVERIFY(!holder->explanation.contains(QLatin1String("778")));
        QCOMPARE(holder->fix, QStringLiteral("kill 777"));
    }

    // The program on a pseudo-terminal's master side is the device, not a rival.
    void ptyMasterIsNotAHolder()
    {
        FakeRoot root;
        root.write("dev/pts/7", "");
        root.setMode("dev/pts/7", 0666);
        root.addProcess(555, "talvek-sensorsim", {"/dev/ptmx", "/dev/pts/7"});
        root.write("proc/555/fdinfo/3", "pos:\t0\nflags:\t02\nmnt_id:\t25\ntty-index:\t7\n");
        root.addProcess(556, "picocom", {"/dev/pts/7"});
        const PortDiagnosis port =
            PortDoctor(root.system(annUid, "ann")).DiagnosePort({QString(), QStringLiteral("/dev/pts/7"), 0});
        QCOMPARE(kinds(port).count(FindingKind::OpenElsewhere), 1);
        QVERIFY(findingOf(port, FindingKind::OpenElsewhere)->explanation.contains(QLatin1String("556 (picocom)")));
    }

    void modemManagerAndBrltty()
    {
        FakeRoot root;
        root.setMode("dev/ttyUSB0", 0666);
        root.addProcess(100, "ModemManager");
        root.addProcess(101, "brltty");
        const PortDoctor doctor(root.system(annUid, "ann"));
        const DoctorReport report = doctor.Diagnose({usb0(), {QString(), QStringLiteral("/dev/ttyS0"), 1}});
        const PortDiagnosis &usb = report.ports.at(0);
        const DoctorFinding *modem = findingOf(usb, FindingKind::ModemManager);
        QVERIFY(modem != nullptr);
        const QString rule =
            QStringLiteral("ATTRS{idVendor}==\"0403\", ATTRS{idProduct}==\"6001\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"");
        QVERIFY2(modem->explanation.endsWith(rule), qPrintable(modem->explanation));
        QVERIFY(modem->fix.contains(rule) && modem->fix.contains(QLatin1String("/etc/udev/rules.d/")));
        QVERIFY(usb.Has(FindingKind::Brltty));
        QVERIFY(usb.CanOpen()); // warnings, not problems
        // A built-in UART is neither's business, and the USB port told it already.
        QVERIFY(!report.ports.at(1).Has(FindingKind::ModemManager));
        QVERIFY(!report.ports.at(1).Has(FindingKind::Brltty));
        QVERIFY(report.general.isEmpty());
    }

    // With no USB port listed, a running brltty may be why: said in general.
    void servicesWithoutUsbPorts()
    {
        FakeRoot root;
        root.addProcess(101, "brltty");
        root.addProcess(100, "ModemManager");
        const DoctorReport report = PortDoctor(root.system(annUid, "ann")).Diagnose({});
        QCOMPARE(report.general.size(), 3);
        QCOMPARE(report.general.at(0).kind, FindingKind::NoPorts);
        QCOMPARE(report.general.at(1).kind, FindingKind::ModemManager);
        QVERIFY(report.general.at(1).explanation.contains(QLatin1String("KERNEL==\"ttyUSB*|ttyACM*\"")));
        QCOMPARE(report.general.at(2).kind, FindingKind::Brltty);
        QVERIFY(!report.AllUsable());
    }

    void stableNames()
    {
        FakeRoot root;
        root.setMode("dev/ttyUSB0", 0666);
        const PortDoctor doctor(root.system(annUid, "ann"));
        PortDiagnosis port = doctor.DiagnosePort(usb0());
        const DoctorFinding *stable = findingOf(port, FindingKind::StableName);
        QVERIFY(stable != nullptr);
        QVERIFY(stable->explanation.contains("/dev/serial/by-id/" + byIdName));
        QCOMPARE(stable->fix,
                 "mkdir -p '/home/ann/.local/share/OrdaAppsData/Talvek/ports' && ln -sfn /dev/serial/by-id/" +
                     byIdName + " '/home/ann/.local/share/OrdaAppsData/Talvek/ports/COM100'");

        // Reached through an alias of the stable name: nothing to do.
        QTemporaryDir aliases;
        const QString alias = aliases.filePath(QStringLiteral("COM3"));
        QVERIFY(::symlink(QFile::encodeName("/dev/serial/by-id/" + byIdName).constData(),
                          QFile::encodeName(alias).constData()) == 0);
        port = doctor.DiagnosePort({QString(), alias, 3});
        QCOMPARE(port.node, QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(port.comName, QStringLiteral("COM3"));
        stable = findingOf(port, FindingKind::StableName);
        QVERIFY(stable != nullptr);
        QVERIFY(stable->fix.isEmpty());
        QVERIFY(stable->explanation.startsWith(QLatin1String("COM3 is an alias")));
        // A built-in UART has none.
        QVERIFY(!doctor.DiagnosePort({QString(), QStringLiteral("/dev/ttyS0"), 1}).Has(FindingKind::StableName));
    }

    void renderedText()
    {
        FakeRoot root;
        root.addProcess(100, "ModemManager");
        const DoctorReport report = PortDoctor(root.system(annUid, "ann")).Diagnose({usb0()});
        const QStringList lines = RenderDoctorReport(report).split('\n');
        // The node's owner is in no fake passwd entry: shown as a number.
        QCOMPARE(lines.first(), QStringLiteral("COM100  /dev/ttyUSB0  -rw-rw---- %1:dialout").arg(::geteuid()));
        QVERIFY(lines.contains("  Problem: User ann may not open /dev/ttyUSB0 (-rw-rw----, group dialout): add the "
                               "user to group dialout, then log out and in again."));
        QVERIFY(lines.contains(QStringLiteral("      $ sudo usermod -aG dialout ann")));
        QVERIFY(lines.contains(QStringLiteral("      ") + QStringLiteral("ATTRS{idVendor}==\"0403\", "
                                                                         "ATTRS{idProduct}==\"6001\", "
                                                                         "ENV{ID_MM_DEVICE_IGNORE}=\"1\"")));
        QCOMPARE(lines.last(), QStringLiteral("Not every port can be opened: see the problems above."));
        QVERIFY(!report.AllUsable());

        root.setMode("dev/ttyUSB0", 0666);
        const QString fine = RenderDoctorReport(PortDoctor(root.system(annUid, "ann")).Diagnose({usb0()}));
        QVERIFY(fine.contains(QLatin1String("  OK: You can open /dev/ttyUSB0.")));
        QVERIFY(fine.endsWith(QLatin1String("Every port checked can be opened.")));
        QVERIFY(!fine.contains(QLatin1String("Problem:")));
    }

    // ---------------------------------------------------------------- the real system

    void ptyThroughAlias()
    {
        QTemporaryDir data;
        SetAppDataFolder(data.path() + QLatin1Char('/'));
        PtyPeer peer;
        QVERIFY(peer.IsOpen());
        const int index = AddComAlias(peer, 7);
        QCOMPARE(index, 6);
        const DoctorReport report = PortDoctor().Diagnose({{QString(), ComPortDevicePath(7), 7}});
        const PortDiagnosis &port = report.ports.first();
        QCOMPARE(port.comName, QStringLiteral("COM7"));
        QCOMPARE(port.node, peer.SlavePath());
        QVERIFY(!port.mode.isEmpty());
        if (::geteuid() == 0 || ::access(QFile::encodeName(peer.SlavePath()).constData(), R_OK | W_OK) == 0) {
            QVERIFY2(port.CanOpen(), qPrintable(RenderDoctorReport(report)));
            QVERIFY(port.Has(FindingKind::Usable));
        }
        // This test holds master and slave: neither counts as a rival.
        QVERIFY(!port.Has(FindingKind::OpenElsewhere));
    }

    void liveHolderAndLockOnARealPty()
    {
        PtyPeer peer;
        QVERIFY(peer.IsOpen());
        QTemporaryDir locks;
        DoctorSystem system;
        system.lockDirectory = locks.path();
        const PortDoctor doctor(system);
        const ComPortDevice device{QString(), peer.SlavePath(), 0};

        Sleeper holder(QStringLiteral("exec 3<>%1; exec sleep 60").arg(peer.SlavePath()));
        const QString pid = QString::number(holder.process.processId());
        QTRY_VERIFY_WITH_TIMEOUT(doctor.DiagnosePort(device).Has(FindingKind::OpenElsewhere), 5000);
        const PortDiagnosis held = doctor.DiagnosePort(device);
        QVERIFY(findingOf(held, FindingKind::OpenElsewhere)->explanation.contains(pid + " (sleep)"));

        QFile lock(locks.filePath(LockFileName(peer.SlavePath())));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(pid.rightJustified(10, ' ').toLatin1() + '\n');
        lock.close();
        PortDiagnosis port = doctor.DiagnosePort(device);
        QVERIFY(port.Has(FindingKind::Locked));
        QVERIFY(!port.CanOpen());
        // The link itself refuses the port for the same reason.
        DeviceLockFile ours(locks.path());
        QCOMPARE(ours.Acquire(peer.SlavePath()), DeviceLockFile::Result::Busy);

        holder.process.kill();
        holder.process.waitForFinished();
        port = doctor.DiagnosePort(device);
        QVERIFY(!port.Has(FindingKind::Locked));
        QVERIFY(port.Has(FindingKind::StaleLock));
        QVERIFY(!port.Has(FindingKind::OpenElsewhere));
    }
};

QTEST_GUILESS_MAIN(TestPortDoctor)
#include "tst_portdoctor.moc"
