#include "workflows/programSetup.h"

#include "base/appdata.h"
#include "base/log.h"
#include "base/translate.h"
#include "templates/shippedFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace
{
const QString kLastSettingsName = QStringLiteral("TalvekLastSettings.tsf");
const QString kDefaultSettingsName = QStringLiteral("TalvekDefaultSettings.tsf");
const QString kTranslationsName = QStringLiteral("translations.xml");

QString withSlash(QString folder)
{
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

// Creates one folder level when it is missing, logging as the start-up does.
void ensureFolder(const QString &folder, bool withParents)
{
    if (QFileInfo::exists(folder))
        return;
    Log(QStringLiteral("Creating folder: ") + folder);
    const bool created = withParents ? QDir().mkpath(folder) : QDir().mkdir(folder);
    if (!created)
        Log(QStringLiteral("..failed."));
}

// A data folder is only of use if the settings, reports and logs can be
// written there.
bool usableFolder(const QString &folder)
{
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}
} // namespace

bool ProgramSetup::Run()
{
    if (!LoadSettings())
        return false;
    if (!ChangeToExeFolder())
        return false;
    SetAppDataFolder(appDataFolder);
    return CheckShippedFiles() && LoadLanguage();
}

int ProgramSetup::StoredLanguage() const
{
    int index = 0;
    if (settings)
        settings->GetLanguage(index);
    if (index >= 0 && index < kLanguageCount)
        return index;
    // An index no selector item stands for: show English rather than keys.
    Log(QStringLiteral("Unknown language index %1, using English").arg(index));
    return 0;
}

bool ProgramSetup::Fail(const QString &text, const QString &caption)
{
    messages.append({text, caption});
    return false;
}

void ProgramSetup::Warn(const QString &text, const QString &caption)
{
    messages.append({text, caption});
}

QString ProgramSetup::ResolveExeFolder()
{
    return ShippedDataFolder(QCoreApplication::applicationDirPath());
}

QString ProgramSetup::ResolveAppDataFolder()
{
    QString folder = qEnvironmentVariable("TALVEK_DATA_DIR");
    if (!folder.isEmpty()) {
        // Made absolute now: the program changes to its own folder next.
        folder = withSlash(QFileInfo(folder).absoluteFilePath());
        ensureFolder(folder, true);
    } else {
        const QString parent =
            withSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) + "OrdaAppsData/";
        ensureFolder(parent, true);
        folder = parent + QStringLiteral("Talvek/");
        ensureFolder(folder, false);
    }
    if (usableFolder(folder))
        return folder;
    Warn(T(QStringLiteral("Unable to create ")) + folder, T(QStringLiteral("WARNING")));
    Log(QStringLiteral("Using exe path for App data."));
    return exeFolder;
}

bool ProgramSetup::LoadSettings()
{
    exeFolder = ResolveExeFolder();
    if (exeFolder.isEmpty())
        return Fail(QStringLiteral("GetModuleFileName failed"), T(QStringLiteral("ERROR")));
    settings = std::make_unique<TfrmGuiSettings>();
    // Resolved once: a folder that cannot be created is reported once.
    appDataFolder = ResolveAppDataFolder();
    lastSettingsPath = appDataFolder + kLastSettingsName;
    if (QFileInfo::exists(lastSettingsPath)) {
        if (!settings->Open(lastSettingsPath)) {
            Log(QStringLiteral("failed to open lastSettings file."));
            return Fail(QStringLiteral("Unable to open last settings file: ") + lastSettingsPath,
                        QStringLiteral("Fatal Error"));
        }
        QString version;
        if (!settings->GetVersion(version))
            version.clear();
        if (version == QLatin1String("2"))
            return true;
        if (settings->SaveDatedBackup(appDataFolder).isEmpty())
            Warn(QStringLiteral("Unable to save a copy of the old settings in ") + appDataFolder,
                 QStringLiteral("WARNING"));
        Warn(QStringLiteral("LAST_SETTINGS_IS_INCOMPATIBLE"), QStringLiteral("WARNING"));
        settings = std::make_unique<TfrmGuiSettings>();
    }
    Log(QStringLiteral("Using defaultlastSettings file."));
    const QString defaultPath = exeFolder + kDefaultSettingsName;
    if (!settings->Open(defaultPath)) {
        Log(QStringLiteral("failed to open lastSettings file."));
        return Fail(QStringLiteral("Unable to open default last settings file: ") + defaultPath,
                    QStringLiteral("Fatal Error"));
    }
    return true;
}

bool ProgramSetup::ChangeToExeFolder()
{
    Log(QStringLiteral("Changing directory..."));
    const QString folder = exeFolder.left(exeFolder.size() - 1);
    Log(folder);
    if (QDir::setCurrent(folder))
        return true;
    // The shipped files are still found by their full paths.
    Warn(T(QStringLiteral("Unexpected error: ")) + QStringLiteral("SetCurrentDirectory ") + T(QStringLiteral("failed")),
         T(QStringLiteral("ERROR")));
    return true;
}

bool ProgramSetup::CheckShippedFiles()
{
    const QString missing = FindMissingResourceFile(exeFolder);
    return missing.isEmpty() || Fail(missing, QStringLiteral("Error - file not found"));
}

bool ProgramSetup::LoadLanguage()
{
    language = std::make_unique<TLanguage>(kTranslationsName);
    if (!language->IsLoaded()) {
        Log(QStringLiteral("failed to load ") + kTranslationsName);
        return Fail(language->LoadError(), QStringLiteral("Fatal Error"));
    }
    language->SelectLanguage(StoredLanguage());
    return true;
}

LinkTiming StoredLinkTiming(const TfrmGuiSettings *settings)
{
    LinkTiming timing{0, 20, 5000};
    if (settings == nullptr)
        return timing;
    int userDelay = 0;
    settings->GetUserDelayEnabled(userDelay);
    if (userDelay > 0) {
        timing.responseTimeout = 0;
        settings->GetResponseTimeout(timing.responseTimeout);
        settings->GetInterCharDelay(timing.interCharDelay);
    }
    settings->GetPowerOnDelay(timing.settle);
    return timing;
}
