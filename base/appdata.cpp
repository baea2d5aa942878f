#include "base/appdata.h"

#include <mutex>

namespace {
std::mutex folderMutex;
QString appDataFolder;
} // namespace

QString GetAppDataFolder()
{
    std::lock_guard lock(folderMutex);
    return appDataFolder;
}

void SetAppDataFolder(const QString &folder)
{
    std::lock_guard lock(folderMutex);
    appDataFolder = folder;
    if (!appDataFolder.isEmpty() && !appDataFolder.endsWith(QLatin1Char('/')))
        appDataFolder += QLatin1Char('/');
}
