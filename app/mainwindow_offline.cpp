// The main window's offline work: the product menu, loading a product's
// template, and the configuration-file handlers shared with online work.
#include "app/mainwindow.h"

#include "app/productMenu.h"
#include "base/log.h"
#include "base/translate.h"
#include "config/config.h"
#include "diagnostics/sessionReport.h"
#include "settings/guiSettings.h"
#include "templates/productCatalogue.h"

#include <QComboBox>
#include <QFileInfo>
#include <QStandardPaths>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QToolButton>

namespace {
const QString kConfigFilter = QStringLiteral("Talvek Files (*.tcf);;All Files (*)");
} // namespace

QString TfrmMain::RemoveChar(const QString &text, QChar character)
{
    QString result = text;
    return result.remove(character);
}

QString TfrmMain::StripControlChars(const QString &text)
{
    QString result;
    for (const QChar c : text)
        if (c.unicode() >= 32 && c.unicode() <= 126)
            result += c;
    return result;
}

void TfrmMain::WorkOfflineClick()
{
    offline = true;
    ShowOfflineProductChoice();
    ui.pgctrlMain->setCurrentWidget(ui.tsNoData);
    ui.Panel13->setText(T(QStringLiteral("Offline Mode")));
    ui.pgctrlMenu->setCurrentWidget(ui.tsOfflineConfigMenu);
    config = std::make_unique<TFormConfig>(this, nullptr);
    config->InitialiseDevice(false, QStringLiteral("OFFLINE"));
}

void TfrmMain::ShowOfflineProductChoice()
{
    ui.gbProductTemplate->setVisible(true);
    ui.paOfflineMode->setVisible(false);
    ui.imLoadTemplate->setEnabled(true);
    ui.imLoadConfigOffline->setEnabled(false);
    ui.imSaveConfigOffline->setEnabled(false);
    ui.cbLanguage->setVisible(false);
    ui.imBack->setVisible(true);
}

void TfrmMain::Select_Product_click(const QString &caption)
{
    ui.memoSelectedProduct->setPlainText(RemoveChar(caption, QLatin1Char('&')));
    ui.memoSelectedProduct->moveCursor(QTextCursor::Start);
}

void TfrmMain::buLoadTemplateClick()
{
    if (!config)
        return;
    const QString product = StripControlChars(ui.memoSelectedProduct->toPlainText());
    bool matched = false;
    bool built = false;
    for (const ProductDef &row : aProductDefs()) {
        if (row.menuName != product)
            continue;
        matched = true;
        config->SetIdentity(row.identityName, row.protocolVersion, QString(), row.axis, row.heating);
        built = config->BuildConfigPages(exeFolder + row.templateFile);
    }
    if (!matched || !built)
        return;
    ShowOfflineFileActions();
}

void TfrmMain::ShowOfflineFileActions()
{
    ui.imLoadConfigOffline->setEnabled(true);
    ui.imSaveConfigOffline->setEnabled(true);
    ui.pgctrlMain->setCurrentWidget(ui.tsConfigTabs);
    SetPanel(ui.paIdent, config->ProductName() + QLatin1Char(' ') + config->GetIdentitySuffix(),
             MainWindowUi::kLiveText);
    SetPanel(ui.paSource, T(QStringLiteral("Source: Defaults")), MainWindowUi::kLiveText);
    ui.imLoadTemplate->setEnabled(false);
    ui.gbProductTemplate->setVisible(false);
    ui.paOfflineMode->setVisible(true);
}

FileDialogRequest TfrmMain::ConfigFileRequest(const QString &proposedName) const
{
    QString folder;
    guiSettings->GetUserDir(folder);
    // Until the user has chosen a folder, start in their documents (or home).
    if (folder.isEmpty())
        folder = FirstFileFolder();
    return {QString(), kConfigFilter, QStringLiteral("tcf"), folder, proposedName};
}

void TfrmMain::RememberFolderOf(const QString &fileName)
{
    guiSettings->SetUserDir(QFileInfo(fileName).absolutePath());
}

QString TfrmMain::NotSavedText() const
{
    const QString text = T(QStringLiteral("Settings have not been saved"));
    const QString reason = config ? config->LastSaveError() : QString();
    return reason.isEmpty() ? text : text + QStringLiteral("\n\n") + reason;
}

QString TfrmMain::ChooseCompatibleConfigFile()
{
    const QString fileName = Dialogs().OpenFileName(ConfigFileRequest(QString()));
    if (fileName.isEmpty())
        return {};
    RememberFolderOf(fileName);
    sessionReport->WriteLine(fileName);
    return config->CheckFileCompatibility(fileName) ? fileName : QString();
}

void TfrmMain::buLoadConfigFileClick()
{
    if (!config)
        return;
    sessionReport->WriteAction(QStringLiteral("User Action: LoadConfigFile"));
    const QString fileName = ChooseCompatibleConfigFile();
    if (fileName.isEmpty())
        return;
    if (config->BuildConfigPages(fileName)) {
        SetPanel(ui.paSource, T(QStringLiteral("Source: File")), MainWindowUi::kLiveText);
        Dialogs().Message(T(QStringLiteral("File settings loaded")), T(QStringLiteral("Success")));
    } else {
        Dialogs().Message(T(QStringLiteral("File settings have not been loaded")), T(QStringLiteral("ERROR")));
    }
}

void TfrmMain::buSaveConfigurationFileClick()
{
    if (!config)
        return;
    sessionReport->WriteAction(QStringLiteral("User Action: SaveConfigFile"));
    const QString fileName = Dialogs().SaveFileName(ConfigFileRequest(SuggestedName(config->DisplayName())));
    if (fileName.isEmpty())
        return;
    RememberFolderOf(fileName);
    if (config->SaveConfigFile(fileName)) {
        Dialogs().Message(T(QStringLiteral("Settings have been saved")), T(QStringLiteral("Success")));
        sessionReport->WriteLine(fileName);
    } else {
        Dialogs().Message(NotSavedText(), T(QStringLiteral("ERROR")));
    }
}

void TfrmMain::ReleaseConfig()
{
    if (config)
        config->close();
    config.reset();
}

void TfrmMain::buMainMenuClick()
{
    const bool ask = online ? Dialogs().Question(T(QStringLiteral("Disconnect and return to Main Menu?")),
                                                 T(QStringLiteral("DISCONNECT")))
                            : Dialogs().Question(T(QStringLiteral("Stop editing and return to Main Menu?")),
                                                 T(QStringLiteral("Confirm")));
    if (!ask)
        return;
    leaving = true;
    ui.imBack->setEnabled(false);
    sessionReport->WriteAction(QStringLiteral("User action: MainMenu"));
    if (online)
        ReleaseConnection();
    else
        ReleaseConfig();
    ResetToStartState();
    leaving = false;
    ui.imBack->setEnabled(true);
    ui.cbLanguage->setVisible(true);
}
