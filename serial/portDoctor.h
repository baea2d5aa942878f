#pragma once
#include "serial/comPortUtils.h"

#include <QList>
#include <QString>
#include <sys/stat.h>
#include <sys/types.h>

// Why a serial port cannot be used, told in plain words with the command that
// fixes it: the device node and its permissions, lock files and other programs
// holding it, ModemManager and brltty, and the adapter's stable name. It only
// looks (stat, /proc, /sys, /etc): it never opens a port, so a sensor on it is
// not disturbed.

// Who asks: decides whether the node's mode lets them in.
struct DoctorIdentity {
    uid_t uid = 0;
    QString user;
    QList<gid_t> processGroups; // effective, primary and supplementary

    // This process.
    static DoctorIdentity Current();
};

// Where the doctor looks. A root other than "/" holds a fake dev, proc, sys
// and etc for tests; the identity then decides alone (no access() call).
struct DoctorSystem {
    QString root = QStringLiteral("/");
    QString lockDirectory = QStringLiteral("/run/lock"); // below root
    QString aliasFolder = ComAliasFolder();              // named by the fix commands; empty: none
    DoctorIdentity identity = DoctorIdentity::Current();
    bool RealSystem() const { return root == QLatin1String("/"); }
};

enum class FindingKind {
    NoPorts,          // nothing to check at all
    Missing,          // the device node is not there
    NoPermission,     // not in the node's group (or the owner's bits shut the owner out)
    LogInAgain,       // added to the group, but this session predates it
    GroupCannotWrite, // the mode shuts the node's group out
    Locked,           // a live process holds the lock file
    StaleLock,        // a lock file whose process is gone
    OpenElsewhere,    // another process has the node open
    ModemManager,     // running: probes new USB serial devices
    Brltty,           // running: claims some USB serial adapters
    StableName,       // the adapter's /dev/serial/by-id name
    Usable,           // this user can open it
};

enum class Severity { Info, Warning, Problem };

struct DoctorFinding {
    FindingKind kind;
    Severity severity;
    QString explanation; // plain words, translated
    QString fix;         // a shell command; empty when there is nothing to run
};

struct PortDiagnosis {
    QString comName;    // "COM3"; empty when the port has no COM name
    QString devicePath; // as the program opens it (an alias or /dev/...)
    QString node;       // the device node it leads to, "/dev/ttyUSB0"
    QString mode;       // "crw-rw----", empty when missing
    QString owner;
    QString group;
    QList<DoctorFinding> findings;

    // No finding stops this user from opening the port.
    bool CanOpen() const;
    bool Has(FindingKind kind) const;
};

struct DoctorReport {
    QList<PortDiagnosis> ports;
    QList<DoctorFinding> general; // findings about no port in particular
    // Every port checked can be opened (and there was one to check).
    bool AllUsable() const;
};

class PortDoctor
{
public:
    explicit PortDoctor(DoctorSystem system = DoctorSystem());

    DoctorReport Diagnose(const QList<ComPortDevice> &ports) const;
    PortDiagnosis DiagnosePort(const ComPortDevice &port) const;

private:
    struct ProcessInfo {
        qint64 pid = 0;
        QString name;
        QStringList openFiles; // what the fd links point at
        QList<int> masterOf;   // pseudo-terminal numbers whose master it holds
    };

    QString hostPath(const QString &systemPath) const;
    QString resolveNode(const QString &devicePath) const;
    QString groupName(gid_t gid) const;
    QString userName(uid_t uid) const;
    QStringList groupMembers(const QString &group) const;
    QList<ProcessInfo> processes() const;
    bool processRuns(qint64 pid) const;
    QString processName(qint64 pid) const;
    bool serviceRuns(const QList<ProcessInfo> &list, const QString &name) const;
    QString stableName(const QString &node) const;
    QString usbIds(const QString &node) const;

    void checkAccess(PortDiagnosis &port) const;
    void explainRefusal(PortDiagnosis &port, const struct stat &info) const;
    void checkLock(PortDiagnosis &port) const;
    void checkHolders(PortDiagnosis &port, const QList<ProcessInfo> &list) const;
    void checkServices(PortDiagnosis &port, const QList<ProcessInfo> &list) const;
    void checkStableName(PortDiagnosis &port) const;

    DoctorSystem system;
};

// The report as text, for the command line and the connection dialog alike.
QString RenderDoctorReport(const DoctorReport &report);
