#pragma once
#include "app/mainwindow_ui.h"
#include "config/confighost.h"
#include "connect/commsInit.h"
#include "serial/comms.h"
#include "ui/dialogs.h"
#include "workflows/sensorWork.h"

#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

class QMenu;
class TFormConfig;
class TfrmAbout;
class TfrmInterface;
class TfrmMemoMessageBox;
class TfrmOutput;
class TfrmProductPicker;
class TfrmSessionReport;
class TfrmSummary;
class TfrmDebugWin;
class TfrmGuiSettings;
class TfrmHistory;
class TfrmSettings;
class TLanguage;

// The main window: owner of everything that lives for the whole run, and of
// the start-up sequence. Its construction is the start-up; when a fatal
// problem stops it, StartupFailed() is true and the process ends with 0.
class TfrmMain : public QWidget, public IConfigHost
{
    Q_OBJECT
public:
    explicit TfrmMain(const QStringList &arguments, QWidget *parent = nullptr);
    ~TfrmMain() override;

    bool StartupFailed() const { return startupFailed; }
    // Creates the application-level dialogs that live until the process ends.
    void CreateApplicationForms();

    QString GetAppDataFolder() const { return appDataFolder; }
    QString LastSettingsPath() const { return lastSettingsPath; }
    // What the configuration engine needs of the window.
    bool IsOffline() const override { return offline; }
    QString ProgramFolder() const override { return exeFolder; }
    void SetIdentityPanel(Panel panel, const QString &text, const QColor &colour) override;
    QTabWidget *ConfigPageControl() override { return ui.pgctrlConfig; }

    TfrmGuiSettings &GuiSettings() override { return *guiSettings; }
    TLanguage &Language() { return *language; }
    TfrmDebugWin &DebugWin() { return *debugWin; }
    const MainWindowUi &Ui() const { return ui; }

    static QString ResolveExeFolder();
    void ApplyTranslations();
    void ResetToStartState();
    void SetWorkflowButtonsEnabled(bool enabled);

    TFormConfig *Config() const { return config.get(); }
    TfrmSessionReport &SessionReport() override { return *sessionReport; }
    TfrmSummary &Summary() override;
    QMenu *ProductMenu() const { return popmenProducts; }
    TfrmProductPicker *ProductPicker() const { return productPicker; }

    TfrmCommsInit &CommsInit() { return *frmCommsInit; }
    TfrmOutput &OutputWindow() { return *outputWindow; }
    // The connected sensor's history of writes; null until first opened.
    TfrmHistory *HistoryWindow() const { return historyWindow; }
    TfrmInterface *Session() const { return work ? work->Session() : nullptr; }
    bool IsOnline() const { return online; }
    QString SerialNumber() const { return serialNumber; }
    // Every modal window of the workflows is shown through this; tests
    // replace it to look at the window instead of waiting on a user.
    using ModalRunner = std::function<int(QDialog &dialog)>;
    void SetModalRunner(ModalRunner runner) { modalRunner = std::move(runner); }

    // Text helpers of the product box.
    static QString RemoveChar(const QString &text, QChar character);
    static QString StripControlChars(const QString &text);

public slots:
    void cbLanguageSelect(int index);
    // Offline work and configuration files.
    void WorkOfflineClick();
    void Select_Product_click(const QString &caption);
    void buLoadTemplateClick();
    void buLoadConfigFileClick();
    void buSaveConfigurationFileClick();
    void buMainMenuClick();
    // Online work.
    void buConnectAndReadClick();
    void buConnectOnlyClick();
    void buGetDeviceSettingsClick();
    void buContOutputClick();
    void buHistoryClick();
    void buSaveSettingsClick();
    void buBackupSettingsClick();
    void buRestoreDeviceSettingsClick();
    void buAboutClick();
    void buSettingsClick();
    void buDebugClick();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    static bool OpensProductList(const QEvent *event);
    bool FormCloseQuery();
    // A close asked for while a workflow talks to the device: on Yes the
    // work is aborted and the window closes once it has stopped.
    bool CloseWhileWorking();
    void AbortRunningWork();
    void FormClose();
    void FormCreate(const QStringList &arguments);
    // Folders, settings and translations; false (after its boxes) when the
    // program cannot run.
    bool RunProgramSetup();
    void SelectStoredLanguage();
    void SetPanel(QLabel *panel, const QString &text, const QColor &colour);
    // Shows T(key) and keeps the key, so a language change retranslates it.
    void SetTranslatedPanel(QLabel *panel, const QString &key, const QColor &colour);
    void ConnectHandlers();
    void ShowOfflineProductChoice();
    void ShowOfflineFileActions();
    FileDialogRequest ConfigFileRequest(const QString &proposedName) const;
    // Where file dialogs open before the user has chosen a folder.
    static QString FirstFileFolder();
    // Product, the connected device's serial number and today's date.
    QString SuggestedName(const QString &product, const QString &suffix = QString()) const;
    void RememberFolderOf(const QString &fileName);
    // "Settings have not been saved" and, when the file could not be
    // written, the path and the system's reason.
    QString NotSavedText() const;
    // Asks for a configuration file and checks it against the device or
    // template; empty when cancelled or refused.
    QString ChooseCompatibleConfigFile();
    void ReleaseConfig();
    bool Fail();
    // The workflow buttons are off while it lives (a workflow is running).
    class WorkInProgress
    {
    public:
        explicit WorkInProgress(TfrmMain &window) : window(window) { window.SetWorkflowButtonsEnabled(false); }
        ~WorkInProgress() { window.SetWorkflowButtonsEnabled(true); }
        WorkInProgress(const WorkInProgress &) = delete;
        WorkInProgress &operator=(const WorkInProgress &) = delete;

    private:
        TfrmMain &window;
    };
    int ShowModal(QDialog &dialog);
    // Online work.
    void ScanForSensors();
    // Scans and connects to the first sensor found; false when none answered
    // or the connection failed (shown with the given status and released).
    bool ScanAndConnect(const QString &failedStatus, const QString &failedSource);
    void ReadAfterConnecting();
    // Brings the first sensor found online and shows it; false after the
    // boxes that say why not.
    bool ConnectToFound();
    void ShowConnectFailure(const ConnectResult &result);
    void ShowConnected();
    void ReleaseConnection();
    void DisconnectAndReset(const QString &statusText);
    void ShowOnlinePages(const QString &source);
    bool CanViewOutput();
    void SetOutputButtonsEnabled(bool enabled);
    void DrainReceivedLines();
    bool FormCloseQueryOnline();
    void DisconnectForExit();
    void ShowVerificationFailures();
    enum class WriteResult { WriteFailed, VerifyFailed, Verified };
    WriteResult WriteAndVerify();
    WriteResult WriteAndVerifyShown();

    MainWindowUi ui;
    QString exeFolder;
    QString appDataFolder;
    QString lastSettingsPath;
    QString serialNumber;
    std::unique_ptr<TfrmGuiSettings> guiSettings;
    std::unique_ptr<TLanguage> language;
    TfrmDebugWin *debugWin = nullptr;
    TfrmAbout *frmAbout = nullptr;
    TfrmSettings *frmSettings = nullptr;
    TfrmSessionReport *sessionReport = nullptr;
    TfrmSummary *frmSummary = nullptr;
    QMenu *popmenProducts = nullptr;
    TfrmProductPicker *productPicker = nullptr;
    TfrmCommsInit *frmCommsInit = nullptr;
    TfrmMemoMessageBox *frmMemoMessageBox = nullptr;
    TfrmOutput *outputWindow = nullptr;
    TfrmHistory *historyWindow = nullptr;
    ModalRunner modalRunner;
    QList<aDeviceCommsInfo> foundDevices;
    aDeviceCommsInfo currentDevice;
    // Declared before the engine, so released after it: the engine uses its session.
    std::unique_ptr<SensorWork> work;
    std::unique_ptr<TFormConfig> config;
    bool online = false;
    bool offline = false;
    bool leaving = false;
    // A workflow talks to the device: what it uses must not be released.
    bool working = false;
    // The user closed the window during work; it closes when the work ends.
    bool closeRequested = false;
    bool startupFailed = false;
};
