#include "base/fileSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace
{
constexpr int kMaxLinkHops = 40; // the kernel's own limit before ELOOP

bool Fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}
} // namespace

bool IsSpecialFile(const QString &path)
{
    struct stat info {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISREG(info.st_mode);
}

QString ResolveSaveTarget(const QString &path, QString *error)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return QDir::cleanPath(current);
        // QFileInfo resolves a relative link against the link's own folder.
        current = info.symLinkTarget();
    }
    Fail(error, QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(ELOOP))));
    return {};
}

bool SaveFileWhole(const QString &path, const QByteArray &data, QString *error)
{
    const QString target = ResolveSaveTarget(path, error);
    if (target.isEmpty())
        return false;
    const QString named = target == QFileInfo(path).absoluteFilePath() ? path : path + QStringLiteral(" -> ") + target;
    if (IsSpecialFile(target))
        return Fail(error, QStringLiteral("%1: not a regular file (a device, pipe, socket or folder); nothing was "
                                          "written to it")
                               .arg(named));
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return Fail(error, QStringLiteral("%1: cannot be created: %2").arg(named, file.errorString()));
    // The explicit flush matters: commit() does not see a failure of the
    // flush it does itself while closing (a full disk would count as saved).
    // Qt words a failed write "Unknown error"; the system's reason is errno.
    errno = 0;
    if (file.write(data) != data.size() || !file.flush()) {
        const QString reason = errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString();
        return Fail(error, QStringLiteral("%1: writing failed: %2").arg(named, reason));
    }
    if (!file.commit())
        return Fail(error, QStringLiteral("%1: the file could not be replaced: %2").arg(named, file.errorString()));
    return true;
}
