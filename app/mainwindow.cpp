#include "app/mainwindow.h"

#include "app/debugWin.h"
#include "app/productMenu.h"
#include "app/productPicker.h"
#include "base/appdata.h"
#include "base/fileNames.h"
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
#include "workflows/programSetup.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMouseEvent>
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
// The translation key a footer panel's text was made from, if any.
const char *const kPanelKey = "talvekKey";

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

} // namespace

TfrmMain::TfrmMain(const QStringList &arguments, QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QString::fromLatin1(kProgramCaption));
    ui.setupUi(this);
    debugWin = new TfrmDebugWin(this);
    sessionReport = new TfrmSessionReport(this);
    outputWindow = new TfrmOutput(this);
    if (!RunProgramSetup()) {
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
    return ProgramSetup::ResolveExeFolder();
}

bool TfrmMain::RunProgramSetup()
{
    ProgramSetup setup;
    const bool ready = setup.Run();
    for (const SetupMessage &message : setup.Messages())
        Dialogs().Message(message.text, message.caption);
    exeFolder = setup.ExeFolder();
    appDataFolder = setup.AppDataFolder();
    lastSettingsPath = setup.LastSettingsPath();
    guiSettings = setup.TakeSettings();
    if (guiSettings)
        WarnOfMissingSettings(*guiSettings);
    language = setup.TakeLanguage();
    return ready;
}

void TfrmMain::SelectStoredLanguage()
{
    int index = 0;
    guiSettings->GetLanguage(index);
    if (index < 0 || index >= ProgramSetup::kLanguageCount)
        index = 0;
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
        {ui.imHistory, "HISTORY"},
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
    ui.laRightClickHint->setText(T(QStringLiteral("(click in box above to change)")));
    ui.Panel13->setText(T(QStringLiteral("Offline Mode")));
    ui.DrawTranslatedPictures();
    // Footer texts set from a key follow the language too.
    for (QLabel *panel : ui.paConnectStatus->parentWidget()->findChildren<QLabel *>()) {
        const QString key = panel->property(kPanelKey).toString();
        if (!key.isEmpty())
            SetTranslatedPanel(panel, key, panel->palette().color(QPalette::WindowText));
    }
}

void TfrmMain::SetTranslatedPanel(QLabel *panel, const QString &key, const QColor &colour)
{
    SetPanel(panel, T(key), colour);
    panel->setProperty(kPanelKey, key);
}

void TfrmMain::SetPanel(QLabel *panel, const QString &text, const QColor &colour)
{
    panel->setProperty(kPanelKey, QVariant());
    panel->setText(text);
    // A narrow panel may cut a long text (a version, an identity line).
    panel->setToolTip(text);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::WindowText, colour);
    panel->setPalette(palette);
    panel->setStyleSheet(QStringLiteral("color: %1;").arg(colour.name()));
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
    SetTranslatedPanel(ui.paConnectStatus, QStringLiteral("OFFLINE"), MainWindowUi::kResetText);
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
    ui.imHistory->setVisible(false);
}

void TfrmMain::SetWorkflowButtonsEnabled(bool enabled)
{
    for (QToolButton *button : {ui.imGetSettings, ui.imSaveSettings, ui.imLoadConfig, ui.imSaveConfig, ui.imBackup,
                                ui.imRestore, ui.imViewOutput, ui.imHistory, ui.imBack})
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
    productPicker =
        new TfrmProductPicker(this, [this](const QString &caption) { Select_Product_click(caption); });
    ui.memoSelectedProduct->installEventFilter(this);
    ui.memoSelectedProduct->viewport()->installEventFilter(this);
    // A product is chosen at start, so a template loads without the menu.
    Select_Product_click(QStringLiteral("Corvix II PV4"));
    connect(ui.imConnectData, &QToolButton::clicked, this, &TfrmMain::buConnectAndReadClick);
    connect(ui.imConnect, &QToolButton::clicked, this, &TfrmMain::buConnectOnlyClick);
    connect(ui.imGetSettings, &QToolButton::clicked, this, &TfrmMain::buGetDeviceSettingsClick);
    connect(ui.imViewOutput, &QToolButton::clicked, this, &TfrmMain::buContOutputClick);
    connect(ui.imHistory, &QToolButton::clicked, this, &TfrmMain::buHistoryClick);
    connect(ui.imSaveSettings, &QToolButton::clicked, this, &TfrmMain::buSaveSettingsClick);
    connect(ui.imBackup, &QToolButton::clicked, this, &TfrmMain::buBackupSettingsClick);
    connect(ui.imRestore, &QToolButton::clicked, this, &TfrmMain::buRestoreDeviceSettingsClick);
}

QString TfrmMain::FirstFileFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // A missing folder would leave the dialog in the program's folder.
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

QString TfrmMain::SuggestedName(const QString &product, const QString &suffix) const
{
    // Offline, the product is the one chosen in the product box.
    const QString name = product.isEmpty() ? StripControlChars(ui.memoSelectedProduct->toPlainText()) : product;
    return SuggestedSettingsFileName(name, online ? serialNumber : QString(), QDate::currentDate(), suffix);
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    // The product box opens the product list on a left click, Enter or Space.
    const bool productBox = watched == ui.memoSelectedProduct || watched == ui.memoSelectedProduct->viewport();
    if (productBox && OpensProductList(event)) {
        productPicker->PopupBelow(ui.memoSelectedProduct);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool TfrmMain::OpensProductList(const QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease)
        return static_cast<const QMouseEvent *>(event)->button() == Qt::LeftButton;
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent *>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
}

void TfrmMain::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    // Tool buttons answer Space only; Enter presses the focused one too.
    auto *button = qobject_cast<QAbstractButton *>(focusWidget());
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && button != nullptr && button->isEnabled()) {
        button->click();
        return;
    }
    // Escape leaves offline work as the back button does.
    if (key == Qt::Key_Escape && offline && ui.imBack->isVisible() && ui.imBack->isEnabled()) {
        ui.imBack->click();
        return;
    }
    QWidget::keyPressEvent(event);
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
    // A scan runs in the connection dialog; the sensor's steps in the work,
    // which stops at its next safe point.
    for (TfrmProgressDlg *progress : findChildren<TfrmProgressDlg *>())
        progress->buAbortClick();
    if (work)
        work->Stop();
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
