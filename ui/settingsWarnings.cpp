#include "ui/settingsWarnings.h"

#include "base/translate.h"
#include "settings/guiSettings.h"
#include "ui/dialogs.h"

void WarnOfMissingSettings(TfrmGuiSettings &settings)
{
    settings.SetMissingKeyHandler([](const QString &key) {
        // The message glues the key and the translation together, as the
        // translations file expects.
        Dialogs().Message(key + T(QStringLiteral("not found")), T(QStringLiteral("Warning: GuiSettings")));
    });
}
