#include "app/mainwindow.h"

#include "app/debugWin.h"
#include "app/productMenu.h"
#include "base/appdata.h"
#include "base/log.h"
#include "base/translate.h"
#include "base/version.h"
#include "config/config.h"
#include "config/resourceFiles.h"
#include "config/summary.h"
#include "device/interface.h"
#include "diagnostics/OutputWin.h"
#include "diagnostics/about.h"
#include "diagnostics/memoMessageBox.h"
#include "diagnostics/progressDlg.h"
#include "diagnostics/sessionReport.h"
#include "i18n/lang.h"
#include "settings/guiSettings.h"
#include "ui/dialogs.h"
#include "ui/settingsDialog.h"
#include "ui/settingsWarnings.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <clocale>

namespace
{
const QString kLastSettingsName = QStringLiteral("TalvekLastSettings.tsf");
const QString kDefaultSettingsName = QStringLiteral("TalvekDefaultSettings.tsf");
const QString kTranslationsName = QStringLiteral("translations.xml");
constexpr int kLanguageCount = 3;

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

// Tool buttons do not wrap their text; long translations are broken at
// blanks so they fit under the picture instead of being cut.
QString wrapToWidth(const QString &text, const QFontMetrics &metrics, int width)
{
    QStringList lines;
    QString line;
    for (const QString &word : text.split(QLatin1Char(' '))) {
        const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (line.isEmpty() || metrics.horizontalAdvance(candidate) <= width) {
            line = candidate;
            continue;
        }
        lines << line;
        line = word;
    }
    lines << line;
    return lines.join(QLatin1Char('\n'));
}

// A data folder is only of use if the settings, reports and logs can be
// written there.
bool usableFolder(const QString &folder)
{
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}
} // namespace

TfrmMain::TfrmMain(const QStringList &arguments, QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QString::fromLatin1(kProgramCaption));
    ui.setupUi(this);
    debugWin = new TfrmDebugWin(this);
    sessionReport = new TfrmSessionReport(this);
    outputWindow = new TfrmOutput(this);
    if (!LoadGuiSettings()) {
        Fail();
        return;
    }
    ChangeToExeFolder();
    SetAppDataFolder(appDataFolder);
    if (!CheckResourceFiles(exeFolder) || !CreateLanguage()) {
        Fail();
        return;
    }
    // Numbers are read and written with '.' whatever the user's locale.
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_NUMERIC, "C");
    SelectStoredLanguage();
    ApplyTranslations();
    ConnectHandlers();
    FormCreate(arguments);
}

TfrmMain::~TfrmMain()
{
    config.reset(); // its pages live on this window's page control
    SetTranslator({});
}

bool TfrmMain::Fail()
{
    startupFailed = true;
    return false;
}

TfrmSummary &TfrmMain::Summary()
{
    if (frmSummary == nullptr)
        frmSummary = new TfrmSummary(this);
    return *frmSummary;
}

void TfrmMain::CreateApplicationForms()
{
    frmAbout = new TfrmAbout(this);
    frmCommsInit = new TfrmCommsInit(guiSettings.get(), this);
    if (frmSummary == nullptr)
        frmSummary = new TfrmSummary(this);
    frmMemoMessageBox = new TfrmMemoMessageBox(this);
    frmSettings = new TfrmSettings(guiSettings.get(), this);
}

QString TfrmMain::ResolveExeFolder()
{
    const QString folder = QCoreApplication::applicationDirPath();
    if (folder.isEmpty()) {
        Dialogs().Message(QStringLiteral("GetModuleFileName failed"), T(QStringLiteral("ERROR")));
        return {};
    }
    return withSlash(folder);
}

QString TfrmMain::ResolveAppDataFolder()
{
    const QString exe = ResolveExeFolder();
    if (exe.isEmpty())
        return {};
    QString folder = qEnvironmentVariable("TALVEK_DATA_DIR");
    if (!folder.isEmpty()) {
        folder = withSlash(folder);
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
    Dialogs().Message(T(QStringLiteral("Unable to create ")) + folder, T(QStringLiteral("WARNING")));
    Log(QStringLiteral("Using exe path for App data."));
    return exe;
}

std::unique_ptr<TfrmGuiSettings> TfrmMain::NewGuiSettings()
{
    auto settings = std::make_unique<TfrmGuiSettings>();
    WarnOfMissingSettings(*settings);
    return settings;
}

bool TfrmMain::LoadGuiSettings()
{
    guiSettings = NewGuiSettings();
    const QString defaultPath = ResolveExeFolder() + kDefaultSettingsName;
    // Resolved once: a folder that cannot be created is reported once.
    appDataFolder = ResolveAppDataFolder();
    lastSettingsPath = appDataFolder + kLastSettingsName;

    if (QFileInfo::exists(lastSettingsPath)) {
        if (!guiSettings->Open(lastSettingsPath)) {
            Dialogs().Message(QStringLiteral("Unable to open last settings file: ") + lastSettingsPath,
                              QStringLiteral("Fatal Error"));
            Log(QStringLiteral("failed to open lastSettings file."));
            return false;
        }
        QString version;
        if (!guiSettings->GetVersion(version))
            version.clear();
        if (version == QLatin1String("2"))
            return true;
        if (guiSettings->SaveDatedBackup(appDataFolder).isEmpty())
            Dialogs().Message(QStringLiteral("Unable to save a copy of the old settings in ") + appDataFolder,
                              QStringLiteral("WARNING"));
        Dialogs().Message(QStringLiteral("LAST_SETTINGS_IS_INCOMPATIBLE"), QStringLiteral("WARNING"));
        guiSettings = NewGuiSettings();
    }
    Log(QStringLiteral("Using defaultlastSettings file."));
    if (!guiSettings->Open(defaultPath)) {
        Dialogs().Message(QStringLiteral("Unable to open default last settings file: ") + defaultPath,
                          QStringLiteral("Fatal Error"));
        Log(QStringLiteral("failed to open lastSettings file."));
        return false;
    }
    return true;
}

void TfrmMain::ChangeToExeFolder()
{
    Log(QStringLiteral("Changing directory..."));
    const QString path = QCoreApplication::applicationFilePath();
    if (path.isEmpty()) {
        Dialogs().Message(QStringLiteral("GetModuleFileName ") + T(QStringLiteral("failed")),
                          T(QStringLiteral("ERROR")));
        return;
    }
    Log(path);
    const int lastDelim = path.lastIndexOf(QLatin1Char('/')) + 1;
    exeFolder = path.left(lastDelim);
    Log(QString::asprintf("lastDelim: %d", lastDelim));
    const QString folder = path.left(lastDelim - 1);
    Log(folder);
    if (QDir::setCurrent(folder))
        Log(folder);
    else
        Dialogs().Message(T(QStringLiteral("Unexpected error: ")) + QStringLiteral("SetCurrentDirectory ") +
                              T(QStringLiteral("failed")),
                          T(QStringLiteral("ERROR")));
}

bool TfrmMain::CreateLanguage()
{
    language = std::make_unique<TLanguage>(kTranslationsName);
    if (!language->IsLoaded()) {
        Dialogs().Message(language->LoadError(), QStringLiteral("Fatal Error"));
        Log(QStringLiteral("failed to load ") + kTranslationsName);
        return false;
    }
    return true;
}

void TfrmMain::SelectStoredLanguage()
{
    int index = 0;
    guiSettings->GetLanguage(index);
    if (index < 0 || index >= kLanguageCount) {
        // An index no selector item stands for: show English rather than keys.
        Log(QStringLiteral("Unknown language index %1, using English").arg(index));
        index = 0;
    }
    language->SelectLanguage(index);
    const QSignalBlocker blocker(ui.cbLanguage);
    ui.cbLanguage->setCurrentIndex(index);
}

void TfrmMain::ApplyTranslations()
{
    const QList<QPair<QToolButton *, const char *>> hints = {
        {ui.imConnectData, "CONNECT_AND_READ"},
        {ui.imConnect, "CONNECT_ONLY"},
        {ui.imOffline, "WORK_OFFLINE"},
        {ui.imSaveSettings, "SAVE_SETTINGS_TO_DEVICE"},
        {ui.imGetSettings, "GET_DEVICE_SETTINGS"},
        {ui.imLoadConfig, "LOAD_CONFIGURATION_FILE"},
        {ui.imSaveConfig, "SAVE_CONFIGURATION_FILE"},
        {ui.imBackup, "BACKUP_DEVICE_CONFIG"},
        {ui.imRestore, "RESTORE_DEVICE_CONFIG"},
        {ui.imLoadTemplate, "Load Template"},
        {ui.imLoadConfigOffline, "LOAD_CONFIGURATION_FILE"},
        {ui.imSaveConfigOffline, "SAVE_CONFIGURATION_FILE"},
        {ui.imBack, "MAIN_MENU"},
        {ui.imViewOutput, "VIEW_OUTPUT"},
        {ui.imAbout, "ABOUT"},
        {ui.imDebug, "DEBUG"},
        {ui.imSettings, "SETTINGS"},
    };
    for (const auto &[button, key] : hints) {
        const QString text = T(QString::fromLatin1(key));
        button->setToolTip(text);
        // The menu's buttons carry their hint under the picture as well.
        if (button->toolButtonStyle() == Qt::ToolButtonTextUnderIcon)
            button->setText(wrapToWidth(text, button->fontMetrics(), button->width() - 12));
    }
    ui.Label5->setText(T(QStringLiteral("Configuration Settings have not been read")));
    ui.gbProductTemplate->setTitle(T(QStringLiteral("Select Product")));
}

void TfrmMain::SetPanel(QLabel *panel, const QString &text, const QColor &colour)
{
    panel->setText(text);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::WindowText, colour);
    panel->setPalette(palette);
    panel->setStyleSheet(QStringLiteral("color: %1;").arg(colour.name()));
    // Long operations run on this thread: let the footer repaint now.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfrmMain::SetIdentityPanel(Panel panel, const QString &text, const QColor &colour)
{
    switch (panel) {
    case Panel::DeviceType:
        SetPanel(ui.paDeviceType, text, colour);
        break;
    case Panel::Protocol:
        SetPanel(ui.paProtocol, text, colour);
        break;
    case Panel::Ident:
        SetPanel(ui.paIdent, text, colour);
        break;
    }
}

void TfrmMain::ResetToStartState()
{
    ui.pgctrlMain->setCurrentWidget(ui.tsSplash);
    SetPanel(ui.paIdent, QStringLiteral("-"), MainWindowUi::kResetText);
    SetPanel(ui.paSource, QStringLiteral("-"), MainWindowUi::kResetText);
    SetPanel(ui.paConnectStatus, QStringLiteral("OFFLINE"), MainWindowUi::kResetText);
    for (QLabel *panel : {ui.paComms, ui.paProtocol, ui.paDeviceType, ui.paSerial})
        SetPanel(panel, QStringLiteral("-"), MainWindowUi::kResetText);
    ui.pgctrlMenu->setCurrentWidget(ui.tsStartMenu);
    online = false;
    offline = false;
    QPalette palette = ui.paTitle1->palette();
    palette.setColor(QPalette::Window, Qt::white);
    ui.paTitle1->setPalette(palette);
    ui.imBack->setVisible(false);
    ui.imViewOutput->setVisible(false);
}

void TfrmMain::SetWorkflowButtonsEnabled(bool enabled)
{
    for (QToolButton *button : {ui.imGetSettings, ui.imSaveSettings, ui.imLoadConfig, ui.imSaveConfig, ui.imBackup,
                                ui.imRestore, ui.imViewOutput, ui.imBack})
        button->setEnabled(enabled);
    // The menus, the editor pages and the modal strip buttons, not the
    // window: a disabled window disables every window it parents, and the
    // connection, progress, summary and debug windows must answer meanwhile.
    for (QWidget *area : {static_cast<QWidget *>(ui.pgctrlMenu), static_cast<QWidget *>(ui.pgctrlMain),
                          static_cast<QWidget *>(ui.imAbout), static_cast<QWidget *>(ui.imSettings)})
        area->setEnabled(enabled);
    working = !enabled;
    if (enabled && closeRequested)
        QTimer::singleShot(0, this, [this] { close(); });
}

void TfrmMain::FormCreate(const QStringList &arguments)
{
    ResetToStartState();
    for (const QString &argument : arguments) {
        if (argument.contains(QLatin1String("DEBUGWIN")))
            ui.imDebug->setVisible(true);
        if (argument.contains(QLatin1String("SETTINGS")))
            ui.imSettings->setVisible(true);
    }
}

void TfrmMain::ConnectHandlers()
{
    connect(ui.cbLanguage, &QComboBox::activated, this, &TfrmMain::cbLanguageSelect);
    connect(ui.imAbout, &QToolButton::clicked, this, &TfrmMain::buAboutClick);
    connect(ui.imSettings, &QToolButton::clicked, this, &TfrmMain::buSettingsClick);
    connect(ui.imDebug, &QToolButton::clicked, this, &TfrmMain::buDebugClick);
    connect(ui.imOffline, &QToolButton::clicked, this, &TfrmMain::WorkOfflineClick);
    connect(ui.imLoadTemplate, &QToolButton::clicked, this, &TfrmMain::buLoadTemplateClick);
    for (QToolButton *button : {ui.imLoadConfig, ui.imLoadConfigOffline})
        connect(button, &QToolButton::clicked, this, &TfrmMain::buLoadConfigFileClick);
    for (QToolButton *button : {ui.imSaveConfig, ui.imSaveConfigOffline})
        connect(button, &QToolButton::clicked, this, &TfrmMain::buSaveConfigurationFileClick);
    connect(ui.imBack, &QToolButton::clicked, this, &TfrmMain::buMainMenuClick);
    popmenProducts = BuildProductMenu(this, [this](const QString &caption) { Select_Product_click(caption); });
    connect(ui.memoSelectedProduct, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { popmenProducts->popup(ui.memoSelectedProduct->mapToGlobal(at)); });
    // A product is chosen at start, so a template loads without the menu.
    Select_Product_click(QStringLiteral("Corvix II PV4"));
    connect(ui.imConnectData, &QToolButton::clicked, this, &TfrmMain::buConnectAndReadClick);
    connect(ui.imConnect, &QToolButton::clicked, this, &TfrmMain::buConnectOnlyClick);
    connect(ui.imGetSettings, &QToolButton::clicked, this, &TfrmMain::buGetDeviceSettingsClick);
    connect(ui.imViewOutput, &QToolButton::clicked, this, &TfrmMain::buContOutputClick);
    connect(ui.imSaveSettings, &QToolButton::clicked, this, &TfrmMain::buSaveSettingsClick);
    connect(ui.imBackup, &QToolButton::clicked, this, &TfrmMain::buBackupSettingsClick);
    connect(ui.imRestore, &QToolButton::clicked, this, &TfrmMain::buRestoreDeviceSettingsClick);
}

void TfrmMain::cbLanguageSelect(int index)
{
    language->SelectLanguage(index);
    guiSettings->SetLanguage(index);
    ApplyTranslations();
}

void TfrmMain::buAboutClick()
{
    if (frmAbout != nullptr)
        frmAbout->exec();
}

void TfrmMain::buSettingsClick()
{
    if (frmSettings != nullptr)
        frmSettings->exec();
}

void TfrmMain::buDebugClick()
{
    debugWin->show();
    debugWin->raise();
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

bool TfrmMain::FormCloseQuery()
{
    if (leaving)
        return false;
    if (working)
        return CloseWhileWorking();
    if (online && ui.pgctrlMenu->currentWidget() != ui.tsStartMenu)
        return FormCloseQueryOnline();
    return true;
}

bool TfrmMain::CloseWhileWorking()
{
    // Asked once; the work is already stopping after a Yes.
    if (closeRequested || !Dialogs().Question(T(QStringLiteral("An operation is running. Stop it and exit?")),
                                              T(QStringLiteral("Confirm"))))
        return false;
    closeRequested = true;
    Log(QStringLiteral("Close requested: stopping the running operation"));
    AbortRunningWork();
    return false;
}

void TfrmMain::AbortRunningWork()
{
    // The engine polls its progress dialog between exchanges; the flag holds
    // until that dialog is next hidden, so a read about to start stops too.
    for (TfrmProgressDlg *progress : findChildren<TfrmProgressDlg *>())
        progress->buAbortClick();
}

void TfrmMain::FormClose()
{
    if (guiSettings->Save(lastSettingsPath))
        return;
    Log(QStringLiteral("Unable to save settings to ") + lastSettingsPath);
    Dialogs().Message(T(QStringLiteral("Unable to create ")) + lastSettingsPath + QStringLiteral("\n\n") +
                          guiSettings->LastError(),
                      T(QStringLiteral("ERROR")));
}
