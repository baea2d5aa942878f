// The main window's online work: finding and connecting a sensor, reading
// its settings, watching its output, and letting go of it.
#include "app/mainwindow.h"

#include "app/historyWin.h"
#include "base/log.h"
#include "base/translate.h"
#include "config/config.h"
#include "config/summary.h"
#include "diagnostics/OutputWin.h"
#include "diagnostics/sessionReport.h"
#include "settings/guiSettings.h"
#include "workflows/connectMessages.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QStackedWidget>
#include <QToolButton>

int TfrmMain::ShowModal(QDialog &dialog)
{
    // A window on its way out puts nothing more in the user's way.
    if (closeRequested)
        return QDialog::Rejected;
    return modalRunner ? modalRunner(dialog) : dialog.exec();
}

void TfrmMain::ScanForSensors()
{
    ShowModal(*frmCommsInit);
    foundDevices = frmCommsInit->FoundDevices();
    Log(QStringLiteral("Scan results:"));
    Log(QStringLiteral("Found %1 sensors").arg(foundDevices.size()));
}

void TfrmMain::ShowConnectFailure(const ConnectResult &result)
{
    for (const MessageText &message : ConnectFailureMessages(result)) {
        Log(message.text);
        Dialogs().Message(message.text, message.caption);
    }
}

bool TfrmMain::ConnectToFound()
{
    currentDevice = foundDevices.first();
    const TfrmCommsInit::Delays delays = frmCommsInit->ReadDelays();
    work = std::make_unique<SensorWork>(exeFolder,
                                        LinkTiming{delays.responseTimeout, delays.interCharDelay, delays.settle});
    work->SetLineReceiver(this);
    const ConnectResult result = work->ConnectFound(currentDevice);
    if (result.outcome != ConnectOutcome::Connected) {
        ShowConnectFailure(result);
        return false;
    }
    config = std::make_unique<TFormConfig>(this, nullptr);
    config->ShowDevice(work->Current(), work->TemplatePath());
    config->SetWork(work.get());
    serialNumber = work->SerialNumber();
    ShowConnected();
    return true;
}

void TfrmMain::ShowConnected()
{
    const QString port = QStringLiteral(" COM") + QString::number(currentDevice.portIndex + 1);
    SetPanel(ui.paComms, T(currentDevice.baudText + port), MainWindowUi::kLiveText);
    SetPanel(ui.paConnectStatus, T(QStringLiteral("ONLINE")), MainWindowUi::kOnlineText);
    SetPanel(ui.paSerial, T(QStringLiteral("S/N: ")) + serialNumber, MainWindowUi::kLiveText);
    sessionReport->OpenReport(config->ProductName(), serialNumber);
    sessionReport->WriteLine(currentDevice.identity);
    sessionReport->WriteLine(QStringLiteral("S/N: ") + serialNumber);
    sessionReport->WriteLine(QStringLiteral("Comms: ") + currentDevice.baudText + port);
    guiSettings->SetFirstTryPort(currentDevice.portIndex + 1);
    ui.imHistory->setVisible(true);
}

void TfrmMain::ReleaseConnection()
{
    // A sensor left in setup mode stops measuring until it is power-cycled,
    // so it is always told to leave before it is let go. Outside setup mode
    // the sensor ignores the word.
    if (work)
        work->Release();
    ReleaseConfig();
    work.reset();
    sessionReport->CloseReport();
}

void TfrmMain::DisconnectAndReset(const QString &statusText)
{
    SetTranslatedPanel(ui.paConnectStatus, statusText, MainWindowUi::kResetText);
    ReleaseConnection();
}

void TfrmMain::ShowOnlinePages(const QString &source)
{
    ui.pgctrlMain->setCurrentWidget(ui.tsConfigTabs);
    ui.pgctrlMenu->setCurrentWidget(ui.tsOnlineConfigMenu);
    SetPanel(ui.paSource, source, MainWindowUi::kLiveText);
}

bool TfrmMain::ScanAndConnect(const QString &failedStatus, const QString &failedSource)
{
    ui.cbLanguage->setVisible(false);
    ScanForSensors();
    if (foundDevices.isEmpty() || closeRequested)
        return false;
    ui.pgctrlMain->setCurrentWidget(ui.tsSplash);
    // Only the first sensor found is ever used; a close asked for while
    // connecting lets it go at once.
    if (ConnectToFound() && !closeRequested)
        return true;
    SetPanel(ui.paSource, failedSource, MainWindowUi::kResetText);
    DisconnectAndReset(failedStatus);
    return false;
}

void TfrmMain::ReadAfterConnecting()
{
    sessionReport->WriteAction(QStringLiteral("User action: ConnectAndRead"));
    if (config->GetDeviceSettings()) {
        ShowModal(Summary());
        ShowOnlinePages(T(QStringLiteral("Source: Device")));
        online = true;
        ui.imBack->setVisible(true);
        ui.imViewOutput->setVisible(true);
        return;
    }
    Dialogs().Message(T(QStringLiteral("FAILED_TO_READ_ALL_DEVICE_SETTINGS")), T(QStringLiteral("WARNING")));
    if (Summary().HasContent())
        ShowModal(Summary());
    sessionReport->WriteAction(QStringLiteral("Disconnecting after failed read."));
    ResetToStartState();
    ReleaseConnection();
}

void TfrmMain::buConnectAndReadClick()
{
    const WorkInProgress busy(*this);
    if (ScanAndConnect(QStringLiteral("Offline"), QStringLiteral("-")))
        ReadAfterConnecting();
}

void TfrmMain::buConnectOnlyClick()
{
    const WorkInProgress busy(*this);
    if (ScanAndConnect(QStringLiteral("Disconnected"), QString())) {
        online = true;
        ShowOnlinePages(T(QStringLiteral("Source: Defaults")));
        SetPanel(ui.paConnectStatus, T(QStringLiteral("ONLINE")), MainWindowUi::kOnlineText);
        sessionReport->WriteAction(QStringLiteral("User Action: ConnectOnly"));
        ui.imBack->setVisible(true);
    }
}

void TfrmMain::buGetDeviceSettingsClick()
{
    if (!config)
        return;
    sessionReport->WriteAction(QStringLiteral("User Action: GetDeviceSettings"));
    const WorkInProgress busy(*this);
    if (config->GetDeviceSettings()) {
        ShowModal(Summary());
        ShowOnlinePages(T(QStringLiteral("Source: Device")));
    } else {
        SetPanel(ui.paSource, QStringLiteral("-"), MainWindowUi::kResetText);
        Dialogs().Message(T(QStringLiteral("Not all device settings have been read")), T(QStringLiteral("WARNING")));
        if (Summary().HasContent())
            ShowModal(Summary());
    }
}

bool TfrmMain::CanViewOutput()
{
    const QString caption = T(QStringLiteral("Measurement Mode invalid"));
    if (!QFileInfo::exists(config->RetrievedConfigPath())) {
        Dialogs().Message(T(QStringLiteral("Settings have not been read")), caption);
        return false;
    }
    const IXMLdeviceType device = config->Device();
    for (int c = 0; c < device.Count(); ++c) {
        const IXMLcategoryType category = device.Category(c);
        for (int p = 0; p < category.Count(); ++p) {
            const IXMLparamType param = category.Param(p);
            if (param.Name() == QLatin1String("Interface") && param.Valuestring() == QLatin1String("SDI12")) {
                Dialogs().Message(T(QStringLiteral("Device is configured for SDI12")), caption);
                return false;
            }
            if (param.Name() == QLatin1String("Message Mode") && param.Valuestring() == QLatin1String("POLL")) {
                Dialogs().Message(T(QStringLiteral("Device is configured for polled output")), caption);
                return false;
            }
        }
    }
    return true;
}

void TfrmMain::SetOutputButtonsEnabled(bool enabled)
{
    for (QToolButton *button :
         {ui.imGetSettings, ui.imSaveSettings, ui.imLoadConfig, ui.imSaveConfig, ui.imBackup, ui.imRestore})
        button->setEnabled(enabled);
}

void TfrmMain::buContOutputClick()
{
    if (!work || !work->Online() || !config)
        return;
    sessionReport->WriteAction(QStringLiteral("User action: ViewOutput"));
    if (!CanViewOutput())
        return;
    ui.imViewOutput->setEnabled(false);
    work->Session()->ExitSetupMode();
    if (work->Session()->SetRxServiceMode(RX_MODE_STREAMING) != 0) {
        Dialogs().Message(T(QStringLiteral("Unable to set STREAMING mode")), T(QStringLiteral("ERROR")));
        ui.imViewOutput->setEnabled(true);
        return;
    }
    SetOutputButtonsEnabled(false);
    // The lines follow the report the sensor was last read with; before any
    // read, the template's.
    outputWindow->SetDocument(work->LastRead().IsNull() ? work->Current() : work->LastRead());
    ShowModal(*outputWindow);
    if (work->Session()->SetRxServiceMode(RX_MODE_TRANSACTING) != 0)
        Dialogs().Message(T(QStringLiteral("Unable to set TRANSACTING mode")), T(QStringLiteral("ERROR")));
    if (work->Session()->EnterSetupMode() != 0)
        Dialogs().Message(T(QStringLiteral("Unable to enter SETUP MODE")), T(QStringLiteral("ERROR")));
    SetOutputButtonsEnabled(true);
    ui.imViewOutput->setEnabled(true);
}

void TfrmMain::DrainReceivedLines()
{
    if (!work || !work->Session())
        return;
    int count = 0;
    while (work->Session()->GetRxLineCount(count) == 0 && count > 0) {
        QString line;
        if (work->Session()->PopRxLine(line) != 0)
            break;
        outputWindow->AppendLine(line);
    }
}

bool TfrmMain::event(QEvent *event)
{
    if (IsRxLineEvent(event)) {
        DrainReceivedLines();
        return true;
    }
    return QWidget::event(event);
}

bool TfrmMain::FormCloseQueryOnline()
{
    // A close asked for during work was answered then.
    if (!closeRequested &&
        !Dialogs().Question(T(QStringLiteral("Disconnect and Exit")), T(QStringLiteral("DISCONNECT"))))
        return false;
    DisconnectForExit();
    return true;
}

void TfrmMain::DisconnectForExit()
{
    leaving = true;
    ui.imBack->setEnabled(false);
    sessionReport->WriteAction(QStringLiteral("User action: Disconnect and Exit"));
    ReleaseConnection();
}

void TfrmMain::buHistoryClick()
{
    if (!work || !work->Online())
        return;
    sessionReport->WriteAction(QStringLiteral("User action: History"));
    if (!historyWindow)
        historyWindow = new TfrmHistory(this);
    historyWindow->ShowEntries(work->AuditLogPath(), work->SerialNumber());
    ShowModal(*historyWindow);
}
