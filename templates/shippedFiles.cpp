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

namespace
{
// One file every data folder holds; the rest is checked at start-up.
const QString kDataMarker = QStringLiteral("ordaDeviceUnits.tdx");

QString withSlash(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}
} // namespace

QString ShippedDataFolder(const QString &exeFolder)
{
    if (exeFolder.isEmpty())
        return {};
    const QDir beside(exeFolder);
    const QString installed = QDir::cleanPath(beside.filePath(QStringLiteral(TALVEK_DATA_FROM_BIN)));
    for (const QString &folder : {beside.path(), installed}) {
        if (QFile::exists(QDir(folder).filePath(kDataMarker)))
            return withSlash(folder);
    }
    return withSlash(beside.path());
}
