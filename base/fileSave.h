#pragma once
#include <QByteArray>
#include <QString>

// Writes data to path whole or not at all: into a temporary file beside the
// target, renamed over it only once everything, including the final flush,
// has reached the disk. A symbolic link is followed, so the file it points to
// is replaced and the link stays. A target that exists but is no regular file
// (a device, pipe, socket or folder) is refused untouched. On failure error
// (when given) names the path and gives the system's reason.
bool SaveFileWhole(const QString &path, const QByteArray &data, QString *error);

// True when path names something that exists and is not a regular file (a
// device, pipe, socket or folder): neither a save nor a load may use it.
bool IsSpecialFile(const QString &path);

// The file a save to path writes: path with its symbolic links followed (also
// a link to a file not yet there). Empty, with error set, for a link loop.
QString ResolveSaveTarget(const QString &path, QString *error);
