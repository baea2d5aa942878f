#pragma once
#include "device/deviceSession.h"
#include "i18n/lang.h"
#include "settings/guiSettings.h"

#include <QList>
#include <QString>
#include <memory>

// A message start-up has for the user, in the order it arose.
struct SetupMessage {
    QString text;
    QString caption;
};

// What every front end does before its first piece of work: find the
// program folder (where the shipped data is: beside the executable in a build
// folder, share/talvek once installed) and the application data folder, load
// the settings (the last ones, else the shipped defaults), move to the
// program folder, check the shipped files and load the translations in the
// stored language. It shows nothing: the window shows Messages() as boxes,
// the command line prints them.
class ProgramSetup
{
public:
    static constexpr int kLanguageCount = 3;

    // False when the program cannot run; Messages() says why.
    bool Run();
    // The program folder with a trailing '/': the shipped data's, which is
    // the executable's own in a build folder (ShippedDataFolder).
    static QString ResolveExeFolder();

    const QList<SetupMessage> &Messages() const { return messages; }
    QString ExeFolder() const { return exeFolder; }
    QString AppDataFolder() const { return appDataFolder; }
    QString LastSettingsPath() const { return lastSettingsPath; }
    // The stored language, or English when the index names none.
    int StoredLanguage() const;

    // Handed to the front end once Run succeeded.
    std::unique_ptr<TfrmGuiSettings> TakeSettings() { return std::move(settings); }
    std::unique_ptr<TLanguage> TakeLanguage() { return std::move(language); }

private:
    QString ResolveAppDataFolder();
    bool LoadSettings();
    bool ChangeToExeFolder();
    bool CheckShippedFiles();
    bool LoadLanguage();
    bool Fail(const QString &text, const QString &caption);
    void Warn(const QString &text, const QString &caption);

    QList<SetupMessage> messages;
    QString exeFolder;
    QString appDataFolder;
    QString lastSettingsPath;
    std::unique_ptr<TfrmGuiSettings> settings;
    std::unique_ptr<TLanguage> language;
};

// The link's timing the settings give: the power-on settle always, the
// response timeout and character delay only when the user's own delays are
// on. Defaults without settings.
LinkTiming StoredLinkTiming(const TfrmGuiSettings *settings);
