#pragma once
// The audit trail of writes to sensors: one JSON line per write, appended
// and never rewritten. Each line carries the SHA-256 of the line before it
// ("prev") and of its own text without that last field ("hash"), so an
// edit, a deletion or a reordering anywhere breaks the chain.
//
// Any thread; appends from several processes at once are serialised by a
// lock on the file. See the README for the format.
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

struct AuditChange {
    QString cmd;
    QString before; // "-" when the sensor's value before the write is not known
    QString after;
};

struct AuditEntry {
    QDateTime time; // UTC; set by Append
    QString user;   // set by Append when empty
    QString host;   // set by Append when empty
    QString action; // "write", "restore", "provision"
    QString port;   // "COM7"
    QString node;   // the device behind the port
    QString product;
    QString identity; // the sensor's identity reply
    QString serial;
    QString outcome; // see the Outcome texts below
    QStringList notVerified;
    QList<AuditChange> changes;
    QString prev; // the previous line's SHA-256 (hex); set by Append
    QString hash; // this line's own SHA-256 (hex); set by Append and by reading
    int line = 0; // 1-based line in the log, when read from it

    static inline const QString kVerified = QStringLiteral("verified");
    static inline const QString kNotVerified = QStringLiteral("not verified");
    static inline const QString kNoReadBack = QStringLiteral("no read-back");
    static inline const QString kAborted = QStringLiteral("aborted");
    static inline const QString kDeviceGone = QStringLiteral("device gone");
};

struct AuditAppendResult {
    bool ok = false;
    QString hash;  // of the line written (chain it or print it)
    QString error; // why nothing was written
};

struct AuditFilter {
    QString serial;  // empty: every sensor
    QDateTime since; // invalid: from the start
};

struct AuditReadResult {
    bool readable = false;
    QString error;              // why the log could not be read
    QList<AuditEntry> entries;  // in the log's order
    QList<int> unreadableLines; // lines that are no entry (a verify says more)
};

struct AuditVerifyResult {
    enum class Status { Intact, Broken, Missing, Unreadable };
    Status status = Status::Missing;
    int entries = 0;    // lines checked
    int brokenLine = 0; // the first broken entry (1-based)
    QString problem;    // what is wrong with it, or why the log cannot be read
    QString lastHash;   // the last good line's hash
};

class AuditLog
{
public:
    explicit AuditLog(const QString &path) : path(path) {}
    // The application data folder's audit log; empty while that folder is
    // not known (appends then fail and say so).
    static QString DefaultPath();

    const QString &Path() const { return path; }

    // Locks the log, chains entry to its last line, writes the whole line
    // with one write and flushes it to the disk. Refuses (nothing written)
    // when the last line is torn or not an entry: a later entry must never
    // chain onto a damaged one. A failed write leaves the log as it was.
    AuditAppendResult Append(AuditEntry entry) const;
    AuditReadResult Read(const AuditFilter &filter = {}) const;
    AuditVerifyResult Verify() const;

    // The entry's line as written (no newline), hash field included; fills
    // entry.hash. Public for tests and benchmarks that build logs.
    static QByteArray FormatLine(AuditEntry &entry);
    static QString ZeroHash() { return QString(64, QLatin1Char('0')); }

private:
    QString path;
};
