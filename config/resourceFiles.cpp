#include "config/resourceFiles.h"

#include "templates/productCatalogue.h"
#include "ui/dialogs.h"

#include <QDir>
#include <QFile>

QStringList RequiredResourceFiles()
{
    QStringList files;
    for (const ProductDef &row : aProductDefs())
        files << row.templateFile;
    files << QStringLiteral("ordaDeviceUnits.tdx") << QStringLiteral("translations.xml");
    return files;
}

QString FindMissingResourceFile(const QString &folder)
{
    const QDir dir(folder);
    for (const QString &file : RequiredResourceFiles()) {
        if (!QFile::exists(dir.filePath(file)))
            return file;
    }
    return {};
}

bool CheckResourceFiles(const QString &programFolder)
{
    const QString missing = FindMissingResourceFile(programFolder);
    if (missing.isEmpty())
        return true;
    Dialogs().Message(missing, QStringLiteral("Error - file not found"));
    return false;
}
