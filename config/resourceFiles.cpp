#include "config/resourceFiles.h"

#include "ui/dialogs.h"

bool CheckResourceFiles(const QString &programFolder)
{
    const QString missing = FindMissingResourceFile(programFolder);
    if (missing.isEmpty())
        return true;
    Dialogs().Message(missing, QStringLiteral("Error - file not found"));
    return false;
}
