#pragma once
#include "app/mainwindow_ui.h"
#include "config/confighost.h"

#include <QStringList>
#include <QWidget>
#include <memory>

class TfrmAbout;
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

    TfrmGuiSettings &GuiSettings() { return *guiSettings; }
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

public slots:
    void cbLanguageSelect(int index);
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
    bool online = false;
    bool offline = false;
    bool leaving = false;
    bool startupFailed = false;
};
