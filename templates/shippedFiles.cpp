#include "templates/shippedFiles.h"

#include "templates/productCatalogue.h"

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
