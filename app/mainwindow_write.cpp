// The main window's work that changes a connected sensor or keeps a copy of
// its settings: write and verify, back up, restore.
#include "app/mainwindow.h"

#include "base/translate.h"
#include "config/config.h"
#include "config/summary.h"
#include "diagnostics/memoMessageBox.h"
#include "diagnostics/sessionReport.h"

#include <QStackedWidget>

void TfrmMain::ShowVerificationFailures()
{
    Dialogs().Message(T(QStringLiteral("Failed to verify settings")), T(QStringLiteral("ERROR")));
    frmMemoMessageBox->ShowList(T(QStringLiteral("ERROR")), T(QStringLiteral("The following failed to verify:")),
                                config->WorkList());
    ShowModal(*frmMemoMessageBox);
}

// Writes the shown settings and reads them back; Verified only when the
// device holds what was written. Failures have been shown, and a write the
// audit log could not record is told of (the write itself stands).
TfrmMain::WriteResult TfrmMain::WriteAndVerify()
{
    const WriteResult result = WriteAndVerifyShown();
    if (work && !work->AuditProblem().isEmpty())
        Dialogs().Message(T(QStringLiteral("The write was not recorded in the audit log")) + QStringLiteral("\n\n") +
                              work->AuditProblem(),
                          T(QStringLiteral("WARNING")));
    return result;
}

TfrmMain::WriteResult TfrmMain::WriteAndVerifyShown()
{
    if (!config->WriteSettingsToDevice()) {
        Dialogs().Message(T(QStringLiteral("A problem occurred during SAVE operation")), T(QStringLiteral("ERROR")));
        return WriteResult::WriteFailed;
    }
    // The window is closing: no verification; the close lets the sensor go.
    if (closeRequested)
        return WriteResult::WriteFailed;
    sessionReport->WriteAction(QStringLiteral("Verifying settings"));
    if (!config->VerifySettings()) {
        ShowVerificationFailures();
        return WriteResult::VerifyFailed;
    }
    return WriteResult::Verified;
}

void TfrmMain::buSaveSettingsClick()
{
    if (!config ||
        !Dialogs().Question(T(QStringLiteral("Write displayed settings to device?")), T(QStringLiteral("Confirm"))))
        return;
    const WorkInProgress busy(*this);
    sessionReport->WriteAction(QStringLiteral("User action: SaveSettingsToDevice"));
    const WriteResult result = WriteAndVerify();
    if (result == WriteResult::Verified)
        Dialogs().Message(T(QStringLiteral("Settings have been saved")), T(QStringLiteral("Success")));
    else if (result == WriteResult::VerifyFailed)
        Dialogs().Message(T(QStringLiteral("SAVE operation failed to complete")), T(QStringLiteral("ERROR")));
}

void TfrmMain::buBackupSettingsClick()
{
    if (!config)
        return;
    sessionReport->WriteAction(QStringLiteral("User Action: BackupSettings"));
    const QString fileName = Dialogs().SaveFileName(ConfigFileRequest(SuggestedName(config->ProductName(), QStringLiteral("backup"))));
    if (fileName.isEmpty())
        return;
    RememberFolderOf(fileName);
    const WorkInProgress busy(*this);
    const QString failed = T(QStringLiteral("Warning - Back-up operation did not complete"));
    if (config->GetDeviceSettings()) {
        ShowOnlinePages(T(QStringLiteral("Source: Device")));
        if (config->SaveConfigFile(fileName)) {
            Dialogs().Message(T(QStringLiteral("Settings have been saved")),
                              T(QStringLiteral("Back-up Operation Complete")));
            sessionReport->WriteLine(fileName);
            ShowModal(Summary());
        } else {
            Dialogs().Message(NotSavedText(), failed);
        }
    } else {
        Dialogs().Message(T(QStringLiteral("Please retry.")), failed);
        SetPanel(ui.paSource, T(QStringLiteral("-")), MainWindowUi::kLiveText);
    }
}

void TfrmMain::buRestoreDeviceSettingsClick()
{
    if (!config)
        return;
    sessionReport->WriteAction(QStringLiteral("User action: RestoreDeviceSettings"));
    const QString fileName = ChooseCompatibleConfigFile();
    if (fileName.isEmpty())
        return;
    if (!config->BuildConfigPages(fileName)) {
        Dialogs().Message(T(QStringLiteral("Failed to read file. Aborting operation.")), T(QStringLiteral("ERROR")));
        return;
    }
    SetPanel(ui.paSource, T(QStringLiteral("Source: File")), MainWindowUi::kLiveText);
    const WorkInProgress busy(*this);
    if (work)
        work->SetAuditAction(QStringLiteral("restore"));
    const WriteResult result = WriteAndVerify();
    if (work)
        work->SetAuditAction(QStringLiteral("write"));
    if (result == WriteResult::Verified)
        Dialogs().Message(T(QStringLiteral("Settings have been saved")), T(QStringLiteral("Success")));
    if (result != WriteResult::WriteFailed)
        ShowModal(Summary());
}
