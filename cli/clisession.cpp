#include "cli/clisession.h"

#include "app/mainwindow.h"
#include "app/startup.h"
#include "base/log.h"
#include "base/translate.h"
#include "config/config.h"
#include "config/summary.h"
#include "connect/commsInit.h"
#include "diagnostics/progressDlg.h"
#include "serial/comPortUtils.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <csignal>

namespace
{
QString PortName(int comNumber)
{
    return QStringLiteral("COM") + QString::number(comNumber);
}

// The friendly name the system gives the port, or a bare one the port
// list's rules still read as that port.
QString FriendlyName(int comNumber)
{
    for (const ComPortDevice &device : SystemComPorts())
        if (device.comNumber == comNumber)
            return device.friendlyName;
    return QStringLiteral("(") + PortName(comNumber) + QLatin1Char(')');
}
// "19200, 4800, ... baud": the rates a scan tries on each port, in its order.
QString ScanRates()
{
    QStringList rates;
    for (int code : PortScanner::scanBaudCodes)
        rates.append(PortScanner::BaudName(code));
    return rates.join(QStringLiteral(", ")) + QStringLiteral(" baud");
}
} // namespace

CliSession::CliSession() = default;

CliSession::~CliSession()
{
    if (window)
        Disconnect();
    window.reset();
}

bool CliSession::Start(int languageIndex)
{
    window = CreateMainWindow(QStringList{});
    if (!window)
        return false;
    if (languageIndex >= 0)
        window->cbLanguageSelect(languageIndex);
    window->SetModalRunner([this](QDialog &dialog) { return RunModal(dialog); });
    return true;
}

void CliSession::SetTarget(const CliTarget &newTarget)
{
    target = newTarget;
    if (!target.HasPort())
        return;
    // Only the named port is ever listed, so no other port is touched.
    const QString name = FriendlyName(target.comNumber);
    window->CommsInit().SetPortSource([name] { return std::optional<QStringList>(QStringList{name}); });
}

void CliSession::Stop(int signalNumber)
{
    if (Stopped())
        return;
    stopSignal = signalNumber;
    Log(QStringLiteral("talvek-cli: stopped by signal %1, aborting").arg(signalNumber));
    qApp->installEventFilter(this);
    AbortRunningWork();
}

int CliSession::StoppedStatus() const
{
    if (!Stopped())
        return 0;
    return stopSignal == SIGTERM ? ExitTerminated : stopSignal == SIGINT ? ExitInterrupted : 128 + stopSignal;
}

void CliSession::AbortRunningWork()
{
    if (!window)
        return;
    TfrmCommsInit &dialog = window->CommsInit();
    if (dialog.isVisible()) {
        // A scan stops at its next step; a manual try ends by itself after
        // its one attempt.
        if (dialog.Scanner().Scanning())
            dialog.Scanner().Cancel();
        else if (!dialog.Busy())
            dialog.reject();
    }
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *progress = qobject_cast<TfrmProgressDlg *>(widget); progress && progress->isVisible())
            progress->buAbortClick();
}

bool CliSession::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show)
        if (auto *progress = qobject_cast<TfrmProgressDlg *>(watched))
            // After the dialog's own show handling, which starts it un-aborted.
            QMetaObject::invokeMethod(progress, &TfrmProgressDlg::buAbortClick, Qt::QueuedConnection);
    return false;
}

int CliSession::RunModal(QDialog &dialog)
{
    if (&dialog == &window->CommsInit())
        return RunConnectionDialog(window->CommsInit());
    return QDialog::Accepted;
}

int CliSession::RunConnectionDialog(TfrmCommsInit &dialog)
{
    portOpenFailed = false;
    if (target.Direct()) {
        ManualTry(dialog);
        return dialog.FoundDevices().isEmpty() ? QDialog::Rejected : QDialog::Accepted;
    }
    // Runs before the dialog's own start of the scan, once it is on screen.
    QMetaObject::invokeMethod(
        &dialog, [this, &dialog] { ScanFromEventLoop(dialog); }, Qt::QueuedConnection);
    const int result = dialog.exec();
    if (target.HasPort() && dialog.FoundDevices().isEmpty())
        portOpenFailed = dialog.PortStatus().value(0).startsWith(dialog.Captions().notScanned);
    return result;
}

void CliSession::ScanFromEventLoop(TfrmCommsInit &dialog)
{
    if (!dialog.isVisible())
        return;
    dialog.FormActivate();
    // A found sensor closes the dialog by itself; a fruitless scan would
    // wait for a user.
    if (dialog.isVisible() && !dialog.Busy() && dialog.FoundDevices().isEmpty())
        dialog.reject();
}

void CliSession::ManualTry(TfrmCommsInit &dialog)
{
    dialog.FormShow();
    dialog.edComPort->setText(QString::number(target.comNumber));
    dialog.cbBaud->setCurrentIndex(dialog.cbBaud->findText(target.baud));
    dialog.buTryClick();
    if (dialog.FoundDevices().isEmpty())
        portOpenFailed = dialog.Memo2->toPlainText().contains(dialog.Captions().failedToOpenPort);
}

int CliSession::NotFoundStatus() const
{
    ExplainNotFound();
    return portOpenFailed ? ExitPortOpen : ExitNoSensor;
}

void CliSession::ExplainNotFound() const
{
    const TfrmCommsInit &dialog = window->CommsInit();
    if (portOpenFailed) {
        const QString why = target.Direct() ? dialog.Memo2->toPlainText().trimmed() : dialog.PortStatus().value(0);
        PrintError(QStringLiteral("talvek-cli: %1 could not be opened: %2")
                       .arg(PortName(target.comNumber), QString(why).replace(QLatin1Char('\n'), QStringLiteral("; "))));
        return;
    }
    if (target.Direct()) {
        PrintError(QStringLiteral("talvek-cli: tried %1 at %2 baud: no sensor answered")
                       .arg(PortName(target.comNumber), target.baud));
        return;
    }
    const QString tried = ScanRates();
    if (dialog.PortNames().isEmpty())
        PrintError(QStringLiteral("talvek-cli: there is no COM port to scan"));
    for (int i = 0; i < dialog.PortNames().size(); ++i) {
        const QString status = dialog.PortStatus().value(i);
        // "Not scanned (why)": the port could not be opened.
        const bool unopened = status.startsWith(dialog.Captions().notScanned + QStringLiteral(" ("));
        PrintError(unopened
                       ? QStringLiteral("talvek-cli: %1 could not be opened: %2").arg(dialog.PortNames().at(i), status)
                       : QStringLiteral("talvek-cli: tried %1 at %2: %3").arg(dialog.PortNames().at(i), tried, status));
    }
    PrintError(QStringLiteral("talvek-cli: no sensor answered"));
}

int CliSession::ConnectFailureStatus() const
{
    if (window->CommsInit().FoundDevices().isEmpty())
        return NotFoundStatus();
    return dialogs.Shown("FAILED_TO_OPEN_PORT") ? ExitPortOpen : ExitUnknownDevice;
}

int CliSession::ConnectOnly()
{
    dialogs.Clear();
    window->buConnectOnlyClick();
    if (Stopped())
        return StoppedStatus();
    return window->IsOnline() ? ExitOk : ConnectFailureStatus();
}

bool CliSession::FileRefused() const
{
    return dialogs.Shown("Error - device type mismatch") || dialogs.Shown("Warning - protocol mismatch") ||
           dialogs.Shown("Warning - heating mismatch") || dialogs.Shown("Warning - axis configuration mismatch");
}

bool CliSession::InvalidEntriesShown() const
{
    const QString prefix = T(QStringLiteral("Error: "));
    for (const CliDialogs::Box &box : dialogs.Messages())
        if (box.caption.startsWith(prefix))
            return true;
    return false;
}

// What the write and verify of the shown settings reported.
int CliSession::WriteStatus()
{
    if (dialogs.Shown("Settings have been saved"))
        return ExitOk;
    if (dialogs.Shown("Failed to verify settings")) {
        PrintVerificationFailures();
        return ExitVerifyFailed;
    }
    return InvalidEntriesShown() ? ExitInvalidEntries : ExitFailed;
}

void CliSession::PrintSummary()
{
    for (const QString &line : window->Summary().Lines())
        PrintOut(line);
}

void CliSession::PrintVerificationFailures()
{
    if (window->Config() == nullptr)
        return;
    for (const QString &cmd : window->Config()->WorkList())
        PrintOut(QStringLiteral("Not verified: ") + cmd);
}

void CliSession::Disconnect()
{
    if (!window->IsOnline())
        return;
    dialogs.AnswerYes(T(QStringLiteral("Disconnect and return to Main Menu?")));
    window->buMainMenuClick();
}

int CliSession::Ports()
{
    TfrmComPortUtils utils;
    QStringList names;
    if (utils.ListComPorts(names) != 0) {
        PrintError(QStringLiteral("The list of COM ports could not be read."));
        return ExitFailed;
    }
    const QList<ComPortDevice> devices = SystemComPorts();
    for (const QString &name : names) {
        QString friendly;
        for (const ComPortDevice &device : devices)
            if (device.comNumber > 0 && PortName(device.comNumber) == name)
                friendly = device.friendlyName;
        PrintOut(name + QLatin1Char('\t') + friendly);
    }
    return ExitOk;
}

int CliSession::Scan()
{
    RunConnectionDialog(window->CommsInit());
    if (Stopped())
        return StoppedStatus();
    const QList<aDeviceCommsInfo> found = window->CommsInit().FoundDevices();
    if (found.isEmpty())
        return NotFoundStatus();
    for (const aDeviceCommsInfo &device : found)
        PrintOut(PortName(device.portIndex + 1) + QLatin1Char('\t') + device.baudText + QLatin1Char('\t') +
                 device.identity);
    return ExitOk;
}

int CliSession::Read(const QString &outputFile)
{
    dialogs.Clear();
    window->buConnectAndReadClick();
    if (Stopped())
        return StoppedStatus();
    if (!window->IsOnline()) {
        if (!dialogs.Shown("FAILED_TO_READ_ALL_DEVICE_SETTINGS"))
            return ConnectFailureStatus();
        PrintSummary();
        return ExitReadIncomplete;
    }
    dialogs.SetSaveFileName(outputFile);
    dialogs.Clear();
    window->buSaveConfigurationFileClick();
    const bool saved = dialogs.Shown("Settings have been saved");
    PrintSummary();
    Disconnect();
    return saved ? ExitOk : ExitFailed;
}

int CliSession::Write(const QString &inputFile)
{
    int status = ConnectOnly();
    if (status != ExitOk)
        return status;
    dialogs.SetOpenFileName(inputFile);
    dialogs.Clear();
    window->buLoadConfigFileClick();
    if (Stopped()) {
        status = StoppedStatus();
    } else if (!dialogs.Shown("File settings loaded")) {
        status = FileRefused() ? ExitIncompatibleFile : ExitFailed;
    } else if (!window->Config()->ValidateEntries()) {
        status = ExitInvalidEntries;
    } else {
        dialogs.AnswerYes(T(QStringLiteral("Write displayed settings to device?")));
        dialogs.Clear();
        window->buSaveSettingsClick();
        status = WriteStatus();
    }
    Disconnect();
    return status;
}

int CliSession::Backup(const QString &outputFile)
{
    int status = ConnectOnly();
    if (status != ExitOk)
        return status;
    dialogs.SetSaveFileName(outputFile);
    dialogs.Clear();
    window->buBackupSettingsClick();
    if (Stopped()) {
        status = StoppedStatus();
    } else if (dialogs.Shown("Back-up Operation Complete")) {
        PrintSummary();
        status = ExitOk;
    } else {
        status = dialogs.Shown("Please retry.") ? ExitReadIncomplete : ExitFailed;
    }
    Disconnect();
    return status;
}

int CliSession::Restore(const QString &inputFile)
{
    int status = ConnectOnly();
    if (status != ExitOk)
        return status;
    dialogs.SetOpenFileName(inputFile);
    dialogs.Clear();
    window->buRestoreDeviceSettingsClick();
    if (Stopped())
        status = StoppedStatus();
    else
        status = FileRefused() ? ExitIncompatibleFile : WriteStatus();
    if (status == ExitOk)
        PrintSummary();
    Disconnect();
    return status;
}
