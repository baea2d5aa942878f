#include "app/mainwindow.h"
#include "base/translate.h"
#include "config/config.h"
#include "settings/guiSettings.h"
#include "tests/support/scripteddialogs.h"

#include <QComboBox>
#include <QDate>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {
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
} // namespace

// The offline flow as a user drives it: work offline, pick a product, load
// its template, save and load configuration files, return to the start page.
class TestOffline : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dataDir;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<TfrmMain> window;

    const MainWindowUi &ui() const { return window->Ui(); }
    QString dataPath(const QString &name) const { return dataDir->filePath(name); }

    void loadProduct(const QString &caption)
    {
        window->WorkOfflineClick();
        window->Select_Product_click(caption);
        window->buLoadTemplateClick();
    }

    // Saves the shown settings through the save handler; returns the file.
    QString saveAs(const QString &name)
    {
        const QString path = dataPath(name);
        dialogs->fileNames << path;
        window->buSaveConfigurationFileClick();
        return path;
    }

    void loadFile(const QString &path)
    {
        dialogs->fileNames << path;
        window->buLoadConfigFileClick();
    }

private slots:
    void init()
    {
        dataDir = std::make_unique<QTemporaryDir>();
        qputenv("TALVEK_DATA_DIR", dataDir->path().toLocal8Bit());
        dialogs = std::make_unique<ScriptedDialogs>();
        window = std::make_unique<TfrmMain>(QStringList{});
        QVERIFY(!window->StartupFailed());
    }

    void cleanup()
    {
        window.reset();
        dialogs.reset();
    }

    void workingOfflineOffersTheProductChoice()
    {
        window->WorkOfflineClick();
        QVERIFY(window->IsOffline());
        QCOMPARE(ui().pgctrlMain->currentWidget(), ui().tsNoData);
        QCOMPARE(ui().pgctrlMenu->currentWidget(), ui().tsOfflineConfigMenu);
        QVERIFY(!ui().gbProductTemplate->isHidden());
        QVERIFY(ui().paOfflineMode->isHidden());
        QVERIFY(ui().imLoadTemplate->isEnabled());
        QVERIFY(!ui().imLoadConfigOffline->isEnabled());
        QVERIFY(!ui().imSaveConfigOffline->isEnabled());
        QVERIFY(ui().cbLanguage->isHidden());
        QVERIFY(!ui().imBack->isHidden());
        QVERIFY(window->Config() != nullptr);
        QCOMPARE(dialogs->boxes.size(), 0);
    }

    void theProductShownAtStartLoadsWithoutTheMenu()
    {
        window->WorkOfflineClick();
        window->buLoadTemplateClick();
        QCOMPARE(ui().pgctrlMain->currentWidget(), ui().tsConfigTabs);
        QVERIFY(ui().pgctrlConfig->count() > 0);
        QCOMPARE(window->Config()->ProductName(), QStringLiteral("CORVIX II"));
        QCOMPARE(window->Config()->ProtocolVersion(), 4);
        QCOMPARE(ui().paSource->text(), QStringLiteral("Source: Defaults"));
        QVERIFY(ui().paIdent->text().startsWith("CORVIX II"));
        QVERIFY(ui().gbProductTemplate->isHidden());
        QVERIFY(!ui().paOfflineMode->isHidden());
        QVERIFY(!ui().imLoadTemplate->isEnabled());
        QVERIFY(ui().imLoadConfigOffline->isEnabled());
        QCOMPARE(dialogs->boxes.size(), 0);
    }

    void aCaptionWithAnAcceleratorMarkStillSelectsItsProduct()
    {
        loadProduct(QStringLiteral("Tempris KDX530-3 &PV9"));
        QCOMPARE(window->Config()->ProductName(), QStringLiteral("TEMPRIS KDX530-3"));
        QCOMPARE(window->Config()->ProtocolVersion(), 9);
    }

    void aProductNameThatMatchesNothingChangesNothing()
    {
        loadProduct(QStringLiteral("Tempris KDX999-1 PV9"));
        QCOMPARE(ui().pgctrlMain->currentWidget(), ui().tsNoData);
        QVERIFY(!ui().gbProductTemplate->isHidden());
        QCOMPARE(ui().pgctrlConfig->count(), 0);
    }

    void savingAndLoadingAFileRoundTripsAndRemembersTheFolder()
    {
        loadProduct(QStringLiteral("Tempris KDX530-3 PV9"));
        const QString path = saveAs(QStringLiteral("station.tcf"));
        // proposed name: product and date
        QCOMPARE(dialogs->boxes.first().text,
                 "Tempris KDX530-3 PV9_" + QDate::currentDate().toString(Qt::ISODate));
        QCOMPARE(dialogs->texts().last(), QStringLiteral("Settings have been saved"));
        QVERIFY(readFile(path).contains("TEMPRIS KDX530-3"));
        QString folder;
        QVERIFY(window->GuiSettings().GetUserDir(folder));
        QCOMPARE(folder, dataDir->path());

        dialogs->clear();
        loadFile(path);
        QCOMPARE(dialogs->texts(), (QStringList{QString(), "File settings loaded"}));
        QCOMPARE(dialogs->boxes.first().folder, dataDir->path()); // opened where it was saved
        QCOMPARE(ui().paSource->text(), QStringLiteral("Source: File"));
    }

    void aFileOfAnotherProductIsRefused()
    {
        loadProduct(QStringLiteral("Tempris KDX530-3 PV9"));
        const QString path = saveAs(QStringLiteral("station.tcf"));
        QByteArray contents = readFile(path);
        contents.replace("TEMPRIS KDX530-3", "TEMPRIS KDX540-4");
        writeFile(path, contents);
        const int pages = ui().pgctrlConfig->count();
        dialogs->clear();
        loadFile(path);
        QCOMPARE(dialogs->captions().last(), QStringLiteral("Error - device type mismatch"));
        QVERIFY(dialogs->texts().last().startsWith("Found:TEMPRIS KDX540-4  Expected:TEMPRIS KDX530-3"));
        QCOMPARE(ui().pgctrlConfig->count(), pages);
        QCOMPARE(ui().paSource->text(), QStringLiteral("Source: Defaults"));
    }

    void anotherProtocolAsksTwiceAndNoLoadsNothing()
    {
        loadProduct(QStringLiteral("Tempris KDX530-3 PV9"));
        const QString path = saveAs(QStringLiteral("station.tcf"));
        QByteArray contents = readFile(path);
        contents.replace("protocolversion=\"9\"", "protocolversion=\"8\"");
        writeFile(path, contents);
        dialogs->clear();
        dialogs->answers << true << false;
        loadFile(path);
        QCOMPARE(dialogs->texts(), (QStringList{QString(), T("Found:") + "8" + T("  Expected:") + "9" + T(". Continue?"),
                                                T("CONTINUING_MAY_CAUSE_PROBLEMS")}));
        QCOMPARE(ui().paSource->text(), QStringLiteral("Source: Defaults"));
    }

    void aBrokenFileLeavesThePagesAsTheyWere()
    {
        loadProduct(QStringLiteral("Corvix II PV4"));
        const QString path = dataPath(QStringLiteral("broken.tcf"));
        writeFile(path, "<products><device name=\"CORVIX II\" protocolversion=\"4\"");
        const int pages = ui().pgctrlConfig->count();
        dialogs->clear();
        loadFile(path);
        // Named as a file that cannot be read, and nothing else is asked.
        QCOMPARE(dialogs->texts().size(), 2);
        QVERIFY(dialogs->texts().last().contains(path));
        QCOMPARE(dialogs->captions().last(), T("ERROR"));
        QCOMPARE(ui().pgctrlConfig->count(), pages);
        QCOMPARE(ui().paSource->text(), QStringLiteral("Source: Defaults"));
    }

    void aFileThatCannotBeWrittenIsReportedAsNotSaved()
    {
        loadProduct(QStringLiteral("Corvix II PV4"));
        dialogs->fileNames << dataPath(QStringLiteral("no-such-folder/station.tcf"));
        window->buSaveConfigurationFileClick();
        // With the path and the system's reason below the message.
        QCOMPARE(dialogs->texts().last(), QStringLiteral("Settings have not been saved\n\n%1: cannot be created: No "
                                                         "such file or directory")
                                              .arg(dataPath(QStringLiteral("no-such-folder/station.tcf"))));
        QCOMPARE(dialogs->captions().last(), T("ERROR"));
    }

    void returningToTheStartPageAsksAndReleasesTheEditor()
    {
        loadProduct(QStringLiteral("Corvix II PV4"));
        dialogs->answers << false;
        window->buMainMenuClick();
        QCOMPARE(dialogs->texts().last(), QStringLiteral("Stop editing and return to Main Menu?"));
        QVERIFY(window->IsOffline());
        QVERIFY(window->Config() != nullptr);

        dialogs->answers << true;
        window->buMainMenuClick();
        QVERIFY(!window->IsOffline());
        QVERIFY(window->Config() == nullptr);
        QCOMPARE(ui().pgctrlConfig->count(), 0);
        QCOMPARE(ui().pgctrlMenu->currentWidget(), ui().tsStartMenu);
        QCOMPARE(ui().pgctrlMain->currentWidget(), ui().tsSplash);
        QVERIFY(!ui().cbLanguage->isHidden());
        QVERIFY(ui().imBack->isHidden());
    }

    void closingWhileOfflineAsksNothing()
    {
        loadProduct(QStringLiteral("Corvix II PV4"));
        QVERIFY(window->close());
        QCOMPARE(dialogs->boxes.size(), 0);
    }
};

QTEST_MAIN(TestOffline)
#include "tst_offline.moc"
