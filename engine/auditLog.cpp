#include "engine/auditLog.h"

#include "base/appdata.h"
#include "engine/auditLine.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr qint64 kLongestLine = 16 * 1024 * 1024;
const QString kEdited = QStringLiteral("was edited after it was written (its own hash does not match)");

QString Sha256Hex(QByteArrayView data)
{
    return QString::fromLatin1(AuditSha256(data));
}

QString SystemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString UserName()
{
    if (const passwd *user = getpwuid(geteuid()); user && user->pw_name)
        return QString::fromLocal8Bit(user->pw_name);
    return qEnvironmentVariable("USER");
}

// What is wrong with a line on its own (empty when nothing), and its JSON.
QString CheckLine(const QByteArray &line, QJsonObject &object)
{
    if (line.isEmpty())
        return QStringLiteral("is empty");
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return QStringLiteral("is not JSON (torn, or edited)");
    object = document.object();
    QByteArray body;
    QByteArrayView hash;
    if (!SplitOwnHash(line, body, hash))
        return QStringLiteral("is not an audit entry (no hash at its end)");
    if (AuditSha256(body) != hash)
        return kEdited;
    if (!object.value(QStringLiteral("prev")).isString() || !object.value(QStringLiteral("time")).isString())
        return QStringLiteral("is not an audit entry (no time or prev)");
    return {};
}

QStringList Strings(const QJsonValue &value)
{
    QStringList list;
    for (const QJsonValue &item : value.toArray())
        list.append(item.toString());
    return list;
}

AuditEntry EntryFrom(const QJsonObject &object, int line)
{
    AuditEntry entry;
    const auto text = [&](const char *key) { return object.value(QLatin1String(key)).toString(); };
    entry.time = QDateTime::fromString(text("time"), Qt::ISODateWithMs);
    entry.user = text("user");
    entry.host = text("host");
    entry.action = text("action");
    entry.port = text("port");
    entry.node = text("node");
    entry.product = text("product");
    entry.identity = text("identity");
    entry.serial = text("serial");
    entry.outcome = text("outcome");
    entry.notVerified = Strings(object.value(QStringLiteral("notVerified")));
    for (const QJsonValue &item : object.value(QStringLiteral("changes")).toArray()) {
        const QJsonObject change = item.toObject();
        entry.changes.append({change.value(QStringLiteral("cmd")).toString(),
                              change.value(QStringLiteral("before")).toString(),
                              change.value(QStringLiteral("after")).toString()});
    }
    entry.prev = text("prev");
    entry.hash = text("hash");
    entry.line = line;
    return entry;
}

// Closes the descriptor (and so lets go of its lock) on every way out.
struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool ReadAt(int fd, char *data, qint64 size, qint64 offset)
{
    while (size > 0) {
        const ssize_t got = ::pread(fd, data, size_t(size), off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        size -= got;
        offset += got;
    }
    return true;
}

// The last line of a log of size bytes (without its newline), read from
// the end; empty for an empty log. Fails for a log not ending in a newline.
bool LastLine(int fd, qint64 size, QByteArray &line, QString &error)
{
    line.clear();
    if (size == 0)
        return true;
    char last = 0;
    if (!ReadAt(fd, &last, 1, size - 1)) {
        error = SystemError(errno);
        return false;
    }
    if (last != '\n') {
        error = QStringLiteral("its last line is torn (no line end)");
        return false;
    }
    qint64 end = size - 1;
    constexpr qint64 kChunk = 4096;
    while (end > 0) {
        const qint64 start = qMax<qint64>(0, end - kChunk);
        QByteArray chunk(end - start, '\0');
        if (!ReadAt(fd, chunk.data(), chunk.size(), start)) {
            error = SystemError(errno);
            return false;
        }
        const qsizetype newline = chunk.lastIndexOf('\n');
        line.prepend(newline >= 0 ? chunk.mid(newline + 1) : chunk);
        if (newline >= 0)
            break;
        end = start;
        if (line.size() > kLongestLine) {
            error = QStringLiteral("its last line is too long to be an entry");
            return false;
        }
    }
    return true;
}

// The hash the next entry chains to; false (error set) when the log's end
// is damaged.
bool ChainHash(int fd, QString &prev, QString &error)
{
    struct stat info {
    };
    if (::fstat(fd, &info) != 0) {
        error = SystemError(errno);
        return false;
    }
    QByteArray line;
    if (!LastLine(fd, info.st_size, line, error))
        return false;
    if (line.isEmpty() && info.st_size == 0) {
        prev = AuditLog::ZeroHash();
        return true;
    }
    QJsonObject object;
    const QString problem = CheckLine(line, object);
    if (!problem.isEmpty()) {
        error = QStringLiteral("its last line %1").arg(problem);
        return false;
    }
    prev = Sha256Hex(line);
    return true;
}

// Writes the line with one write; a short write (a full disk) is taken back.
bool WriteWhole(int fd, const QByteArray &line, QString &error)
{
    struct stat info {
    };
    if (::fstat(fd, &info) != 0) {
        error = SystemError(errno);
        return false;
    }
    ssize_t written = -1;
    do {
        written = ::write(fd, line.constData(), size_t(line.size()));
    } while (written < 0 && errno == EINTR);
    if (written == line.size())
        return true;
    error = written < 0 ? SystemError(errno) : QStringLiteral("only part of the entry could be written (disk full?)");
    if (written > 0 && ::ftruncate(fd, info.st_size) != 0)
        error += QStringLiteral("; the part written could not be taken back");
    return false;
}

// The log's lines without their newlines; a last line without one is kept.
QList<QByteArrayView> SplitLines(const QByteArray &data)
{
    QList<QByteArrayView> lines;
    for (qsizetype start = 0; start < data.size();) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0)
            end = data.size();
        lines.append(QByteArrayView(data).sliced(start, end - start));
        start = end + 1;
    }
    return lines;
}

QString Describe(const QString &path, const QString &what)
{
    return QStringLiteral("The audit log %1 %2").arg(path, what);
}
} // namespace

QString AuditLog::DefaultPath()
{
    // Never a file in whatever folder the process happens to be in.
    const QString folder = GetAppDataFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("audit.log");
}

QByteArray AuditLog::FormatLine(AuditEntry &entry)
{
    QJsonArray changes;
    for (const AuditChange &change : entry.changes)
        changes.append(QJsonObject{{QStringLiteral("cmd"), change.cmd},
                                   {QStringLiteral("before"), change.before},
                                   {QStringLiteral("after"), change.after}});
    const QJsonObject object{
        {QStringLiteral("time"), entry.time.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("user"), entry.user},
        {QStringLiteral("host"), entry.host},
        {QStringLiteral("action"), entry.action},
        {QStringLiteral("port"), entry.port},
        {QStringLiteral("node"), entry.node},
        {QStringLiteral("product"), entry.product},
        {QStringLiteral("identity"), entry.identity},
        {QStringLiteral("serial"), entry.serial},
        {QStringLiteral("outcome"), entry.outcome},
        {QStringLiteral("notVerified"), QJsonArray::fromStringList(entry.notVerified)},
        {QStringLiteral("changes"), changes},
        {QStringLiteral("prev"), entry.prev},
    };
    QByteArray hash;
    const QByteArray line = WithOwnHash(QJsonDocument(object).toJson(QJsonDocument::Compact), &hash);
    entry.hash = QString::fromLatin1(hash);
    return line;
}

AuditAppendResult AuditLog::Append(AuditEntry entry) const
{
    AuditAppendResult result;
    if (path.isEmpty()) {
        result.error = QStringLiteral("There is no audit log: the application data folder is not known.");
        return result;
    }
    FileDescriptor file;
    file.fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (file.fd < 0) {
        result.error = Describe(path, QStringLiteral("cannot be opened: ") + SystemError(errno));
        return result;
    }
    int locked = -1;
    do {
        locked = ::flock(file.fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        result.error = Describe(path, QStringLiteral("cannot be locked: ") + SystemError(errno));
        return result;
    }
    QString error;
    if (!ChainHash(file.fd, entry.prev, error)) {
        result.error = Describe(path, QStringLiteral("is damaged: %1; nothing was added to it. "
                                                     "See talvek-cli audit verify.")
                                          .arg(error));
        return result;
    }
    entry.time = entry.time.isValid() ? entry.time.toUTC() : QDateTime::currentDateTimeUtc();
    if (entry.user.isEmpty())
        entry.user = UserName();
    if (entry.host.isEmpty())
        entry.host = QSysInfo::machineHostName();
    const QByteArray line = FormatLine(entry) + '\n';
    if (!WriteWhole(file.fd, line, error)) {
        result.error = Describe(path, QStringLiteral("could not be written: ") + error);
        return result;
    }
    if (::fsync(file.fd) != 0) {
        result.error = Describe(path, QStringLiteral("could not be flushed to the disk: ") + SystemError(errno));
        return result;
    }
    result.ok = true;
    result.hash = Sha256Hex(line.left(line.size() - 1));
    return result;
}

AuditReadResult AuditLog::Read(const AuditFilter &filter) const
{
    AuditReadResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = Describe(path, QStringLiteral("cannot be read: ") + file.errorString());
        return result;
    }
    result.readable = true;
    // Only lines that may be the sensor's are parsed: the log can be long.
    const QByteArray serialText = filter.serial.isEmpty()
                                      ? QByteArray()
                                      : QJsonDocument(QJsonArray{filter.serial}).toJson(QJsonDocument::Compact);
    const QByteArray needle = "\"serial\":" + serialText.mid(1, serialText.size() - 2);
    int number = 0;
    const QByteArray data = file.readAll();
    for (const QByteArrayView line : SplitLines(data)) {
        ++number;
        if (!serialText.isEmpty() && !line.contains(needle))
            continue;
        QJsonObject object;
        if (!CheckLine(line.toByteArray(), object).isEmpty()) {
            result.unreadableLines.append(number);
            continue;
        }
        AuditEntry entry = EntryFrom(object, number);
        entry.hash = Sha256Hex(line);
        if (!filter.serial.isEmpty() && entry.serial != filter.serial)
            continue;
        if (filter.since.isValid() && entry.time < filter.since)
            continue;
        result.entries.append(entry);
    }
    return result;
}

namespace
{
// Why line number's prev does not chain to the line before it.
QString ChainProblem(QByteArrayView prev, int number, const QList<QByteArrayView> &lines)
{
    if (prev == AuditLog::ZeroHash().toLatin1())
        return QStringLiteral("claims to be the first entry: the entries before it were removed, "
                              "or it was put in from elsewhere");
    int other = 0;
    for (int i = 0; i < lines.size() && other == 0; ++i)
        if (AuditSha256(lines[i]) == prev)
            other = i + 1;
    if (other > number)
        return QStringLiteral("follows the entry now on line %1: entries were reordered").arg(other);
    if (other > 0)
        return QStringLiteral("follows the entry on line %1: the entries between were deleted, "
                              "or entries were reordered")
            .arg(other);
    return QStringLiteral("does not follow the entry before it: an entry before it was deleted, "
                          "or this one was forged or copied in");
}

// What is wrong with a line of the chain, or empty. Only where the chain
// breaks, or at its end, is a line's own hash needed: elsewhere the next
// line's prev already vouches for every byte.
QString LineProblem(const QList<QByteArrayView> &lines, int i, const QByteArray &expected)
{
    const QByteArrayView line = lines[i];
    if (line.isEmpty())
        return QStringLiteral("is empty");
    if (!IsJsonObjectText(line))
        return QStringLiteral("is not JSON (torn, or edited)");
    const QByteArrayView prev = HashField(line, "prev");
    if (prev.isEmpty() || !line.contains("\"time\":\""))
        return QStringLiteral("is not an audit entry (no time or prev)");
    if (prev != expected)
        return OwnHashMatches(line) ? ChainProblem(prev, i + 1, lines) : kEdited;
    if (i + 1 == lines.size() && !OwnHashMatches(line))
        return kEdited;
    return {};
}
} // namespace

AuditVerifyResult AuditLog::Verify() const
{
    AuditVerifyResult result;
    QFile file(path);
    if (!file.exists()) {
        result.status = AuditVerifyResult::Status::Missing;
        result.problem = Describe(path, QStringLiteral("does not exist"));
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = AuditVerifyResult::Status::Unreadable;
        result.problem = Describe(path, QStringLiteral("cannot be read: ") + file.errorString());
        return result;
    }
    const QByteArray data = file.readAll();
    const QList<QByteArrayView> lines = SplitLines(data);
    result.status = AuditVerifyResult::Status::Intact;
    const auto broken = [&](int number, const QString &problem) {
        result.status = AuditVerifyResult::Status::Broken;
        result.brokenLine = number;
        result.problem = QStringLiteral("line %1 %2").arg(number).arg(problem);
        return result;
    };
    QByteArray lastHash = ZeroHash().toLatin1();
    for (int i = 0; i < lines.size(); ++i) {
        const QString problem = LineProblem(lines, i, lastHash);
        // A broken link after an intact-looking line: that line was edited.
        if (!problem.isEmpty() && i > 0 && !OwnHashMatches(lines[i - 1]))
            return broken(i, kEdited);
        if (!problem.isEmpty())
            return broken(i + 1, problem);
        lastHash = AuditSha256(lines[i]);
        result.lastHash = QString::fromLatin1(lastHash);
        result.entries = i + 1;
    }
    if (result.lastHash.isEmpty())
        result.lastHash = ZeroHash();
    if (!data.isEmpty() && !data.endsWith('\n'))
        return broken(int(lines.size()), QStringLiteral("is torn (no line end)"));
    return result;
}
