#pragma once
#include <QString>
#include <sys/types.h>

// Keeping a serial device for one program, and explaining why it could not be
// opened. Used by the POSIX driver; separate so the rules can be tested.

// The conventional lock folder of serial programs on Linux.
QString DefaultLockDirectory();

// The lock file of a device: "LCK.." + its path below /dev with '/' as '_'
// (/dev/ttyUSB0 -> LCK..ttyUSB0, /dev/pts/3 -> LCK..pts_3).
QString LockFileName(const QString &devicePath);

// A UUCP-style lock file (the holder's process id as ten digits and LF), as
// minicom, picocom and other serial programs write them. A lock whose process
// no longer exists is stale and taken over.
class DeviceLockFile
{
public:
    enum class Result { Locked, Busy, Unavailable };

    explicit DeviceLockFile(QString lockDirectory = DefaultLockDirectory());
    ~DeviceLockFile();
    DeviceLockFile(const DeviceLockFile &) = delete;
    DeviceLockFile &operator=(const DeviceLockFile &) = delete;

    // Busy: a live process holds it (its id in holder). Unavailable: the lock
    // folder cannot be written; the caller goes on without a lock file.
    Result Acquire(const QString &devicePath, qint64 *holder = nullptr);
    void Release();
    bool Held() const { return !path.isEmpty(); }

private:
    QString directory;
    QString path; // of the lock we hold, empty when none
};

// A device's mode as ls shows it ("crw-rw----").
QString ModeText(mode_t mode);

// What we know about a device the user may not open.
struct AccessFacts {
    QString device;
    QString group; // the device's group, empty when unknown
    QString user;
    QString mode;                   // e.g. "crw-rw----"
    bool processInGroup = false;    // this process already has the group
    bool userListedInGroup = false; // the group database lists the user
};

AccessFacts GatherAccessFacts(const QString &devicePath);
// One sentence for the debug log and the port status: what to do about it.
QString AccessAdvice(const AccessFacts &facts);
