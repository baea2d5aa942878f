#include "app/mainwindow_ui.h"

#include "app/icons.h"
#include "base/translate.h"
#include "diagnostics/logo.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int kMenuButtonWidth = 161;
constexpr int kStripButtonSize = 28;

const char *kMenuStyle = R"(
#menuColumn, #menuColumn QStackedWidget > QWidget { background: rgb(54,54,54); }
#menuColumn QToolButton { color: white; border: 1px solid transparent; border-radius: 6px; padding: 4px; }
#menuColumn QToolButton:hover { background: rgb(78,78,78); border-color: rgb(100,100,100); }
#menuColumn QToolButton:pressed { background: rgb(0,122,163); }
#menuColumn QToolButton:focus, #menuColumn QComboBox:focus { border: 2px solid rgb(255,196,0); }
#menuColumn QPlainTextEdit:focus { border: 2px solid rgb(255,196,0); }
#menuColumn QToolButton:disabled { color: rgb(120,120,120); }
#menuColumn QGroupBox { color: white; border: 1px solid rgb(100,100,100); border-radius: 4px; margin-top: 14px; }
#menuColumn QGroupBox::title { subcontrol-origin: margin; left: 8px; }
#menuColumn QLabel { color: rgb(200,200,200); }
#footer QLabel { background: rgb(40,40,40); border-right: 1px solid rgb(70,70,70); padding: 0 6px; }
#footer QLabel#paProtocol, #footer QLabel#paSource, #footer QLabel#paSerial, #footer QLabel#paIdent
  { background: rgb(54,54,54); }
)";

QToolButton *menuButton(const char *name, MenuIcon icon)
{
    auto *button = new QToolButton;
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(DrawMenuIcon(icon));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setFixedWidth(kMenuButtonWidth);
    button->setMinimumHeight(72);
    button->setAutoRaise(true);
    return button;
}

QToolButton *stripButton(const char *name, MenuIcon icon)
{
    auto *button = new QToolButton;
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(DrawMenuIcon(icon));
    button->setIconSize(QSize(20, 20));
    button->setFixedSize(kStripButtonSize, kStripButtonSize);
    button->setAutoRaise(true);
    return button;
}

QVBoxLayout *menuPageLayout(QWidget *page)
{
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(6);
    return layout;
}

QLabel *statusPanel(const char *name, int width)
{
    auto *panel = new QLabel(QStringLiteral("-"));
    panel->setObjectName(QString::fromLatin1(name));
    panel->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    // At least the designed width, wider when a translation needs it.
    panel->setMinimumWidth(width);
    return panel;
}
} // namespace

void MainWindowUi::setupUi(QWidget *window)
{
    window->setObjectName(QStringLiteral("frmMain"));
    // The designed size is also the smallest; the pages use whatever more the user gives.
    window->setMinimumSize(kClientWidth, kClientHeight);
    window->resize(kClientWidth, kClientHeight);
    window->setStyleSheet(QString::fromLatin1(kMenuStyle));

    auto *body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    body->addWidget(buildCentre(), 1);
    body->addWidget(buildMenuColumn());

    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(body, 1);
    layout->addWidget(buildFooter());
}

QWidget *MainWindowUi::buildMenuColumn()
{
    auto *column = new QWidget;
    column->setObjectName(QStringLiteral("menuColumn"));
    column->setFixedWidth(kMenuColumnWidth);
    column->setAttribute(Qt::WA_StyledBackground);
    pgctrlMenu = new QStackedWidget;
    pgctrlMenu->setObjectName(QStringLiteral("pgctrlMenu"));
    tsStartMenu = buildStartMenu();
    tsOnlineConfigMenu = buildOnlineMenu();
    tsOfflineConfigMenu = buildOfflineMenu();
    pgctrlMenu->addWidget(tsStartMenu);
    pgctrlMenu->addWidget(tsOnlineConfigMenu);
    pgctrlMenu->addWidget(tsOfflineConfigMenu);

    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->setSpacing(0);
    layout->addWidget(pgctrlMenu, 1);
    layout->addWidget(buildStrip());
    return column;
}

QWidget *MainWindowUi::buildStartMenu()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tsStartMenu"));
    auto *layout = menuPageLayout(page);
    cbLanguage = new QComboBox;
    cbLanguage->setObjectName(QStringLiteral("cbLanguage"));
    cbLanguage->addItems({QStringLiteral("English"), QStringLiteral("Français"), QStringLiteral("Polski")});
    layout->addWidget(cbLanguage);
    layout->addSpacing(12);
    imConnectData = menuButton("imConnectData", MenuIcon::ConnectAndRead);
    imConnect = menuButton("imConnect", MenuIcon::ConnectOnly);
    imOffline = menuButton("imOffline", MenuIcon::Offline);
    for (QToolButton *button : {imConnectData, imConnect, imOffline})
        layout->addWidget(button);
    layout->addStretch();
    return page;
}

QWidget *MainWindowUi::buildOnlineMenu()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tsOnlineConfigMenu"));
    auto *layout = menuPageLayout(page);
    imSaveSettings = menuButton("imSaveSettings", MenuIcon::SaveToDevice);
    imGetSettings = menuButton("imGetSettings", MenuIcon::ReadFromDevice);
    imLoadConfig = menuButton("imLoadConfig", MenuIcon::OpenFile);
    imSaveConfig = menuButton("imSaveConfig", MenuIcon::SaveFile);
    imBackup = menuButton("imBackup", MenuIcon::Backup);
    imRestore = menuButton("imRestore", MenuIcon::Restore);
    for (QToolButton *button : {imSaveSettings, imGetSettings, imLoadConfig, imSaveConfig, imBackup, imRestore})
        layout->addWidget(button);
    layout->addStretch();
    return page;
}

QWidget *MainWindowUi::buildOfflineMenu()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tsOfflineConfigMenu"));
    auto *layout = menuPageLayout(page);

    gbProductTemplate = new QGroupBox;
    gbProductTemplate->setObjectName(QStringLiteral("gbProductTemplate"));
    auto *group = new QVBoxLayout(gbProductTemplate);
    memoSelectedProduct = new QPlainTextEdit;
    memoSelectedProduct->setObjectName(QStringLiteral("memoSelectedProduct"));
    memoSelectedProduct->setReadOnly(true);
    // Reached by Tab like the buttons; Enter or Space opens the product list.
    memoSelectedProduct->setTabChangesFocus(true);
    memoSelectedProduct->setCursor(Qt::PointingHandCursor);
    memoSelectedProduct->viewport()->setCursor(Qt::PointingHandCursor);
    memoSelectedProduct->setContextMenuPolicy(Qt::CustomContextMenu);
    memoSelectedProduct->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memoSelectedProduct->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memoSelectedProduct->setFixedHeight(memoSelectedProduct->fontMetrics().height() * 2 + 10);
    laRightClickHint = new QLabel;
    laRightClickHint->setObjectName(QStringLiteral("laRightClickHint"));
    laRightClickHint->setWordWrap(true);
    QFont small = laRightClickHint->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    laRightClickHint->setFont(small);
    imLoadTemplate = menuButton("imLoadTemplate", MenuIcon::LoadTemplate);
    imLoadTemplate->setFixedWidth(kMenuButtonWidth - 22);
    group->addWidget(memoSelectedProduct);
    group->addWidget(laRightClickHint);
    group->addWidget(imLoadTemplate, 0, Qt::AlignHCenter);
    layout->addWidget(gbProductTemplate);

    paOfflineMode = new QWidget;
    paOfflineMode->setObjectName(QStringLiteral("paOfflineMode"));
    auto *offline = new QVBoxLayout(paOfflineMode);
    offline->setContentsMargins(0, 0, 0, 0);
    imLoadConfigOffline = menuButton("imLoadConfigOffline", MenuIcon::OpenFile);
    imSaveConfigOffline = menuButton("imSaveConfigOffline", MenuIcon::SaveFile);
    Panel13 = new QLabel;
    Panel13->setObjectName(QStringLiteral("Panel13"));
    Panel13->setAlignment(Qt::AlignCenter);
    offline->addWidget(imLoadConfigOffline);
    offline->addWidget(imSaveConfigOffline);
    offline->addWidget(Panel13);
    layout->addWidget(paOfflineMode);
    layout->addStretch();
    return page;
}

QWidget *MainWindowUi::buildStrip()
{
    auto *strip = new QWidget;
    auto *layout = new QHBoxLayout(strip);
    layout->setContentsMargins(6, 4, 6, 0);
    layout->setSpacing(2);
    imBack = stripButton("imBack", MenuIcon::Back);
    imViewOutput = stripButton("imViewOutput", MenuIcon::ViewOutput);
    imHistory = stripButton("imHistory", MenuIcon::History);
    imAbout = stripButton("imAbout", MenuIcon::About);
    imDebug = stripButton("imDebug", MenuIcon::Debug);
    imSettings = stripButton("imSettings", MenuIcon::Settings);
    for (QToolButton *button : {imBack, imViewOutput, imHistory, imAbout, imDebug, imSettings})
        layout->addWidget(button);
    layout->addStretch();
    imDebug->setVisible(false);
    imSettings->setVisible(false);
    return strip;
}

QWidget *MainWindowUi::buildCentre()
{
    auto *centre = new QWidget;
    paTitle1 = new QWidget;
    paTitle1->setObjectName(QStringLiteral("paTitle1"));
    paTitle1->setFixedHeight(64);
    paTitle1->setAutoFillBackground(true);
    auto *title = new QHBoxLayout(paTitle1);
    title->setContentsMargins(16, 6, 16, 6);
    auto *wordmark = new QLabel;
    wordmark->setPixmap(DrawWordmark(44));
    laBadge = new QLabel;
    laBadge->setObjectName(QStringLiteral("laBadge"));
    title->addWidget(wordmark);
    title->addStretch();
    title->addWidget(laBadge);

    pgctrlMain = new QStackedWidget;
    pgctrlMain->setObjectName(QStringLiteral("pgctrlMain"));
    auto *splash = new QLabel;
    splash->setObjectName(QStringLiteral("tsSplash"));
    splash->setScaledContents(true);
    splash->setMinimumSize(1, 1);
    tsSplash = splash;
    tsConfigTabs = new QWidget;
    tsConfigTabs->setObjectName(QStringLiteral("tsConfigTabs"));
    pgctrlConfig = new QTabWidget;
    pgctrlConfig->setObjectName(QStringLiteral("pgctrlConfig"));
    auto *tabs = new QVBoxLayout(tsConfigTabs);
    tabs->setContentsMargins(4, 4, 4, 4);
    tabs->addWidget(pgctrlConfig);
    tsNoData = new QWidget;
    tsNoData->setObjectName(QStringLiteral("tsNoData"));
    tsNoData->setStyleSheet(QStringLiteral("background: silver;"));
    Label5 = new QLabel;
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->setStyleSheet(QStringLiteral("color: red; font-size: 16px; font-weight: bold;"));
    Label5->setAlignment(Qt::AlignCenter);
    auto *noData = new QVBoxLayout(tsNoData);
    noData->addWidget(Label5);
    for (QWidget *page : {tsSplash, tsConfigTabs, tsNoData})
        pgctrlMain->addWidget(page);

    auto *layout = new QVBoxLayout(centre);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(paTitle1);
    layout->addWidget(pgctrlMain, 1);
    DrawTranslatedPictures();
    return centre;
}

void MainWindowUi::DrawTranslatedPictures()
{
    laBadge->setPixmap(DrawProductBadge(T(QStringLiteral("Weather")), T(QStringLiteral("sensor configuration")), 190, 44));
    static_cast<QLabel *>(tsSplash)->setPixmap(
        DrawSplash(QSize(kClientWidth - kMenuColumnWidth, kClientHeight - 64 - 24),
                   T(QStringLiteral("Weather sensor configuration"))));
}

QWidget *MainWindowUi::buildFooter()
{
    auto *footer = new QWidget;
    footer->setObjectName(QStringLiteral("footer"));
    footer->setFixedHeight(24);
    auto *layout = new QHBoxLayout(footer);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    paConnectStatus = statusPanel("paConnectStatus", 110);
    paComms = statusPanel("paComms", 120);
    paDeviceType = statusPanel("paDeviceType", 150);
    paProtocol = statusPanel("paProtocol", 120);
    paSource = statusPanel("paSource", 150);
    paSerial = statusPanel("paSerial", 120);
    paIdent = statusPanel("paIdent", 0);
    for (QLabel *panel : {paConnectStatus, paComms, paDeviceType, paProtocol, paSource, paSerial})
        layout->addWidget(panel);
    // The identity line takes what is left; its tooltip shows it whole.
    paIdent->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(paIdent, 1);
    return footer;
}
