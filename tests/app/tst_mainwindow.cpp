#include "app/debugWin.h"
#include "app/mainwindow.h"
#include "base/log.h"
#include "base/translate.h"
#include "base/version.h"
#include "diagnostics/about.h"
#include "tests/support/scripteddialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDomDocument>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace
{
QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

QString defaultSettingsPath()
{
    return QStringLiteral(TALVEK_TEST_APP_DIR "/TalvekDefaultSettings.tsf");
}

// The shipped defaults with one attribute or element changed.
QByteArray defaultsWith(const std::function<void(QDomElement &root)> &change)
{
    QDomDocument document;
    document.setContent(readFile(defaultSettingsPath()));
    QDomElement root = document.documentElement();
    change(root);
    return document.toByteArray();
}

void setGeneral(QDomElement &root, const QString &element, const QString &value)
{
    for (QDomElement category = root.firstChildElement("GScategory"); !category.isNull();
         category = category.nextSiblingElement("GScategory")) {
        if (category.attribute("name") != "General")
            continue;
        QDomElement child = category.firstChildElement(element);
        while (child.hasChildNodes())
            child.removeChild(child.firstChild());
        child.appendChild(root.ownerDocument().createTextNode(value));
    }
}

// The English, French or Polish text of a key in the shipped translations.
QString shippedTranslation(const QString &key, int language)
{
    QDomDocument document;
    document.setContent(readFile(QStringLiteral(TALVEK_TEST_APP_DIR "/translations.xml")));
    for (QDomElement label = document.documentElement().firstChildElement("label"); !label.isNull();
         label = label.nextSiblingElement("label")) {
        if (label.attribute("name") != key)
            continue;
        QDomElement trans = label.firstChildElement("trans");
        for (int i = 0; i < language; ++i)
            trans = trans.nextSiblingElement("trans");
        return trans.text();
    }
    return {};
}

QColor textColour(const QLabel *panel)
{
    return panel->palette().color(QPalette::WindowText);
}
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dataDir;

    QString dataPath(const QString &name) const { return dataDir->filePath(name); }

private slots:
    void init()
    {
        dataDir = std::make_unique<QTemporaryDir>();
        qputenv("TALVEK_DATA_DIR", dataDir->path().toLocal8Bit());
    }

    void withoutLastSettingsTheDefaultsAreUsedAndWrittenAtExit()
    {
        ScriptedDialogs dialogs;
        TfrmMain window({});
        QVERIFY(!window.StartupFailed());
        QCOMPARE(dialogs.boxes.size(), 0);
        QCOMPARE(window.GetAppDataFolder(), dataDir->path() + "/");
        QCOMPARE(QDir::currentPath() + "/", TfrmMain::ResolveExeFolder());
        QVERIFY(!QFile::exists(window.LastSettingsPath()));
        QVERIFY(window.close());

        QDomDocument written, shipped;
        QVERIFY(written.setContent(readFile(window.LastSettingsPath())));
        QVERIFY(shipped.setContent(readFile(defaultSettingsPath())));
        QCOMPARE(written.toString(), shipped.toString());
    }

    void anOldVersionIsKeptAsADatedCopyAndTheDefaultsAreUsed()
    {
        const QByteArray old = defaultsWith([](QDomElement &root) {
            root.setAttribute("version", "1");
            setGeneral(root, "GSlanguage", "2");
        });
        writeFile(dataPath("TalvekLastSettings.tsf"), old);
        ScriptedDialogs dialogs;
        TfrmMain window({});
        QVERIFY(!window.StartupFailed());
        QCOMPARE(dialogs.texts(), QStringList{"LAST_SETTINGS_IS_INCOMPATIBLE"});
        QCOMPARE(dialogs.captions(), QStringList{"WARNING"});
        const QStringList copies = QDir(dataDir->path()).entryList({"lastSettings_*"}, QDir::Files);
        QCOMPARE(copies.size(), 1);
        QVERIFY(QRegularExpression("lastSettings_\\d{6}_\\d{6}").match(copies.first()).hasMatch());
        QDomDocument copy, original;
        QVERIFY(copy.setContent(readFile(dataPath(copies.first()))));
        QVERIFY(original.setContent(old));
        QCOMPARE(copy.toString(), original.toString());
        QCOMPARE(window.Ui().cbLanguage->currentIndex(), 0); // the defaults, not the old Polish
    }

    void anUnreadableLastSettingsFileStopsTheStart_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("not xml") << QByteArray("<GSguisettings description=");
        QTest::newRow("no marker") << defaultsWith([](QDomElement &root) { root.removeAttribute("description"); });
        QTest::newRow("marker in other case")
            << defaultsWith([](QDomElement &root) { root.setAttribute("description", "Talvek Settings File"); });
    }

    void anUnreadableLastSettingsFileStopsTheStart()
    {
        QFETCH(QByteArray, contents);
        writeFile(dataPath("TalvekLastSettings.tsf"), contents);
        ScriptedDialogs dialogs;
        TfrmMain window({});
        QVERIFY(window.StartupFailed());
        // One fatal box, and the defaults were not tried.
        QCOMPARE(dialogs.texts(),
                 QStringList{"Unable to open last settings file: " + dataPath("TalvekLastSettings.tsf")});
        QCOMPARE(dialogs.captions(), QStringList{"Fatal Error"});
        QCOMPARE(readFile(dataPath("TalvekLastSettings.tsf")), contents);
    }

    void aDataFolderThatCannotBeCreatedFallsBackToTheProgramFolder()
    {
        writeFile(dataPath("plainfile"), "x");
        const QString impossible = dataPath("plainfile/Talvek/");
        qputenv("TALVEK_DATA_DIR", impossible.toLocal8Bit());
        ScriptedDialogs dialogs;
        TfrmMain window({});
        QVERIFY(!window.StartupFailed());
        QCOMPARE(dialogs.texts(), QStringList{"Unable to create " + impossible});
        QCOMPARE(dialogs.captions(), QStringList{"WARNING"});
        QCOMPARE(window.GetAppDataFolder(), TfrmMain::ResolveExeFolder());
        QCOMPARE(window.LastSettingsPath(), TfrmMain::ResolveExeFolder() + "TalvekLastSettings.tsf");
    }

    void commandLineWordsShowTheHiddenButtons_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("debug");
        QTest::addColumn<bool>("settings");
        QTest::newRow("none") << QStringList{} << false << false;
        QTest::newRow("slash word") << QStringList{"/DEBUGWIN"} << true << false;
        QTest::newRow("inside a word") << QStringList{"xSETTINGSx"} << false << true;
        QTest::newRow("lower case") << QStringList{"debugwin", "settings"} << false << false;
        QTest::newRow("both in one") << QStringList{"DEBUGWIN+SETTINGS"} << true << true;
    }

    void commandLineWordsShowTheHiddenButtons()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, debug);
        QFETCH(bool, settings);
        ScriptedDialogs dialogs;
        TfrmMain window(arguments);
        QCOMPARE(!window.Ui().imDebug->isHidden(), debug);
        QCOMPARE(!window.Ui().imSettings->isHidden(), settings);
    }

    void theStoredLanguageTranslatesTheHints_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("index");
        QTest::newRow("English") << "0" << 0;
        QTest::newRow("French") << "1" << 1;
        QTest::newRow("Polish") << "2" << 2;
        QTest::newRow("out of range shows English") << "7" << 0;
    }

    void theStoredLanguageTranslatesTheHints()
    {
        QFETCH(QString, stored);
        QFETCH(int, index);
        writeFile(dataPath("TalvekLastSettings.tsf"),
                  defaultsWith([&](QDomElement &root) { setGeneral(root, "GSlanguage", stored); }));
        ScriptedDialogs dialogs;
        TfrmMain window({});
        QCOMPARE(window.Ui().cbLanguage->currentIndex(), index);
        const QString expected = shippedTranslation("CONNECT_AND_READ", index);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(window.Ui().imConnectData->toolTip(), expected);
        QCOMPARE(window.Ui().Label5->text(), shippedTranslation("Configuration Settings have not been read", index));
    }

    void choosingALanguageRetranslatesAndIsSavedAtExit()
    {
        ScriptedDialogs dialogs;
        TfrmMain window({});
        window.Ui().cbLanguage->setCurrentIndex(1);
        emit window.Ui().cbLanguage->activated(1);
        QCOMPARE(window.Ui().imOffline->toolTip(), shippedTranslation("WORK_OFFLINE", 1));
        QCOMPARE(T("WORK_OFFLINE"), shippedTranslation("WORK_OFFLINE", 1));
        QVERIFY(window.close());
        QVERIFY(readFile(window.LastSettingsPath()).contains("<GSlanguage>1</GSlanguage>"));
    }

    void theStartStateResetsEveryPanel()
    {
        ScriptedDialogs dialogs;
        TfrmMain window({});
        const MainWindowUi &ui = window.Ui();
        QCOMPARE(ui.pgctrlMain->currentWidget(), ui.tsSplash);
        QCOMPARE(ui.pgctrlMenu->currentWidget(), ui.tsStartMenu);
        QCOMPARE(ui.paConnectStatus->text(), QStringLiteral("OFFLINE"));
        for (const QLabel *panel :
             {ui.paConnectStatus, ui.paComms, ui.paDeviceType, ui.paProtocol, ui.paSource, ui.paSerial, ui.paIdent}) {
            QCOMPARE(textColour(panel), QColor(128, 128, 128));
            if (panel != ui.paConnectStatus)
                QCOMPARE(panel->text(), QStringLiteral("-"));
        }
        QVERIFY(ui.imBack->isHidden());
        QVERIFY(ui.imViewOutput->isHidden());
        QVERIFY(!window.IsOffline());
    }

    void workflowButtonsAreEnabledAndDisabledTogether()
    {
        ScriptedDialogs dialogs;
        TfrmMain window({});
        window.SetWorkflowButtonsEnabled(false);
        QVERIFY(!window.Ui().imBackup->isEnabled());
        QVERIFY(!window.Ui().imConnectData->isEnabled());
        QVERIFY(!window.Ui().pgctrlConfig->isEnabled());
        // The window itself stays enabled, and so do the windows it parents.
        QVERIFY(window.isEnabled());
        QVERIFY(window.DebugWin().isEnabled());
        QVERIFY(window.Ui().imDebug->isEnabled());
        window.SetWorkflowButtonsEnabled(true);
        QVERIFY(window.isEnabled());
        QVERIFY(window.Ui().imBackup->isEnabled());
        QVERIFY(window.Ui().imBack->isEnabled());
    }

    void theDebugWindowShowsOnlyWhatIsLoggedWhileEnabled()
    {
        ScriptedDialogs dialogs;
        TfrmMain window({});
        TfrmDebugWin &debug = window.DebugWin();
        Log("before");
        debug.cbEnabled->setChecked(true);
        Log("after");
        QCOMPARE(debug.Memo1->toPlainText(), QStringLiteral("after"));
        debug.findChild<QAbstractButton *>("Clear")->click();
        QCOMPARE(debug.Memo1->toPlainText(), QString());
    }

    void theAboutBoxShowsTheWindowCaption()
    {
        ScriptedDialogs dialogs;
        TfrmMain window({});
        window.CreateApplicationForms();
        auto *about = window.findChild<TfrmAbout *>();
        QVERIFY(about != nullptr);
        QTimer::singleShot(0, about, [about] { about->accept(); });
        window.buAboutClick();
        QCOMPARE(about->VersionText(), QString::fromLatin1(kProgramCaption));
        QCOMPARE(window.windowTitle(), QString::fromLatin1(kProgramCaption));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
