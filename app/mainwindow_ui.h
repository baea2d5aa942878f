#pragma once
#include <QColor>

class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QStackedWidget;
class QTabWidget;
class QToolButton;
class QWidget;

// The main window's widgets, built in code and named as the program's
// handlers refer to them. The window itself (TfrmMain) owns the behaviour.
struct MainWindowUi {
    static constexpr int kClientWidth = 1035;
    static constexpr int kClientHeight = 633;
    static constexpr int kMenuColumnWidth = 181;
    static inline const QColor kMenuBackground{54, 54, 54};
    static inline const QColor kLiveText{Qt::white};
    static inline const QColor kResetText{128, 128, 128};
    // Bright enough to read on the footer's dark grey (contrast above 4.5:1).
    static inline const QColor kOnlineText{80, 220, 100};
    static inline const QColor kFooterBackground{40, 40, 40};

    void setupUi(QWidget *window);
    // The drawn pictures that carry words: redrawn when the language changes.
    void DrawTranslatedPictures();

    // right column
    QStackedWidget *pgctrlMenu = nullptr;
    QWidget *tsStartMenu = nullptr;
    QWidget *tsOnlineConfigMenu = nullptr;
    QWidget *tsOfflineConfigMenu = nullptr;
    QComboBox *cbLanguage = nullptr;
    QToolButton *imConnectData = nullptr;
    QToolButton *imConnect = nullptr;
    QToolButton *imOffline = nullptr;
    QToolButton *imSaveSettings = nullptr;
    QToolButton *imGetSettings = nullptr;
    QToolButton *imLoadConfig = nullptr;
    QToolButton *imSaveConfig = nullptr;
    QToolButton *imBackup = nullptr;
    QToolButton *imRestore = nullptr;
    QGroupBox *gbProductTemplate = nullptr;
    QPlainTextEdit *memoSelectedProduct = nullptr;
    QLabel *laRightClickHint = nullptr;
    QToolButton *imLoadTemplate = nullptr;
    QWidget *paOfflineMode = nullptr;
    QToolButton *imLoadConfigOffline = nullptr;
    QToolButton *imSaveConfigOffline = nullptr;
    QLabel *Panel13 = nullptr;
    // the strip under the menu
    QToolButton *imBack = nullptr;
    QToolButton *imViewOutput = nullptr;
    QToolButton *imHistory = nullptr;
    QToolButton *imAbout = nullptr;
    QToolButton *imDebug = nullptr;
    QToolButton *imSettings = nullptr;

    // centre
    QWidget *paTitle1 = nullptr;
    QStackedWidget *pgctrlMain = nullptr;
    QWidget *tsSplash = nullptr;
    QWidget *tsConfigTabs = nullptr;
    QTabWidget *pgctrlConfig = nullptr;
    QWidget *tsNoData = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *laBadge = nullptr;

    // footer
    QLabel *paConnectStatus = nullptr;
    QLabel *paComms = nullptr;
    QLabel *paDeviceType = nullptr;
    QLabel *paProtocol = nullptr;
    QLabel *paSource = nullptr;
    QLabel *paSerial = nullptr;
    QLabel *paIdent = nullptr;

private:
    QWidget *buildMenuColumn();
    QWidget *buildStartMenu();
    QWidget *buildOnlineMenu();
    QWidget *buildOfflineMenu();
    QWidget *buildStrip();
    QWidget *buildCentre();
    QWidget *buildFooter();
};
