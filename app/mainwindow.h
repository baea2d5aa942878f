#pragma once
#include "app/mainwindow_ui.h"
#include "base/dialogs.h"
#include "config/confighost.h"

#include <QStringList>
#include <QWidget>
#include <memory>

class QMenu;
class TFormConfig;
class TfrmAbout;
class TfrmSessionReport;
class TfrmSummary;
class TfrmDebugWin;
class TfrmGuiSettings;
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
    QString ResolveAppDataFolder();
    bool LoadGuiSettings();
    void ChangeToExeFolder();
    void ApplyTranslations();
    void ResetToStartState();
    void SetWorkflowButtonsEnabled(bool enabled);

    TFormConfig *Config() const { return config.get(); }
    TfrmSessionReport &SessionReport() override { return *sessionReport; }
    TfrmSummary &Summary() override;
    QMenu *ProductMenu() const { return popmenProducts; }

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
    void buAboutClick();
    void buSettingsClick();
    void buDebugClick();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    bool FormCloseQuery();
    void FormClose();
    void FormCreate(const QStringList &arguments);
    bool CreateLanguage();
    void SelectStoredLanguage();
    void SetPanel(QLabel *panel, const QString &text, const QColor &colour);
    void ConnectHandlers();
    void ShowOfflineProductChoice();
    void ShowOfflineFileActions();
    FileDialogRequest ConfigFileRequest(const QString &proposedName) const;
    void RememberFolderOf(const QString &fileName);
    void ReleaseConfig();
    bool Fail();

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
    std::unique_ptr<TFormConfig> config;
    bool online = false;
    bool offline = false;
    bool leaving = false;
    bool startupFailed = false;
};
