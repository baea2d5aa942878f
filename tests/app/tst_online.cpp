// The online workflows as a technician uses them, through the main window's
// handlers, against a simulated sensor on a pseudo-terminal.
#include "app/mainwindow.h"
#include "base/translate.h"
#include "config/config.h"
#include "config/summary.h"
#include "diagnostics/OutputWin.h"
#include "diagnostics/memoMessageBox.h"
#include "diagnostics/sessionReport.h"
#include "settings/guiSettings.h"
#include "sim/simulator.h"
#include "tests/app/quickSettings.h"
#include "tests/support/linkTimingSwitch.h"
#include "tests/support/simulatedSensor.h"
#include "tests/support/scripteddialogs.h"

#include <QDate>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace
{
constexpr int kSensorCom = 7;

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The params of the shown document, by command.
IXMLparamType findParam(TFormConfig &config, const QString &cmd, int *category = nullptr, int *index = nullptr)
{
    const IXMLdeviceType device = config.Device();
    for (int c = 0; c < device.Count(); ++c)
        for (int p = 0; p < device.Category(c).Count(); ++p)
            if (device.Category(c).Param(p).Cmd() == cmd) {
                if (category)
                    *category = c;
                if (index)
                    *index = p;
                return device.Category(c).Param(p);
            }
    return {};
}
} // namespace

class TestOnline : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dataDir;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<Simulator> sensor;
    std::unique_ptr<TfrmMain> window;
    QStringList modals; // object names of the modal windows shown
    std::function<void(QDialog &)> duringModal;

    void startSensor(const QString &product, const SimFaults &faults = {})
    {
        SimOptions options;
        options.product = product;
        options.dataDir = QStringLiteral(TALVEK_TEST_APP_DIR);
        options.streamIntervalMs = 300;
        options.holdBackMs = 100;
        options.faults = faults;
        QString error;
        sensor = StartSimulatedSensor(options, dataDir->path() + "/", kSensorCom, &error);
        QVERIFY2(sensor, qPrintable(error));
    }

    void startProgram()
    {
        window = std::make_unique<TfrmMain>(QStringList{});
        QVERIFY(!window->StartupFailed());
        window->CreateApplicationForms();
        // Only the simulator's port is ever listed: the machine's own are left alone.
        window->CommsInit().SetPortSource(
            [] { return std::optional<QStringList>(QStringList{"Simulated sensor /dev/pts (COM7)"}); });
        window->SetModalRunner([this](QDialog &dialog) {
            modals << dialog.objectName();
            if (&dialog == &window->CommsInit())
                return dialog.exec(); // it scans and closes itself once a sensor is found
            if (duringModal)
                duringModal(dialog);
            return int(QDialog::Accepted);
        });
    }

    void connectAndRead(const QString &product, const SimFaults &faults = {})
    {
        startSensor(product, faults);
        startProgram();
        window->buConnectAndReadClick();
    }

    TFormConfig &config() { return *window->Config(); }
    const MainWindowUi &ui() { return window->Ui(); }

    // Types a new value into an edit of the pages.
    void typeInto(const QString &cmd, const QString &value)
    {
        int c = -1, p = -1;
        QVERIFY(!findParam(config(), cmd, &c, &p).IsNull());
        QLineEdit *edit = config().Controls(c, p).edit;
        QVERIFY(edit != nullptr);
        edit->setText(value);
        emit edit->editingFinished();
    }

    QString sessionReportText() const
    {
        const QDir folder(dataDir->filePath("SessionReports"));
        QString text;
        for (const QString &name : folder.entryList(QDir::Files, QDir::Time | QDir::Reversed))
            text += QString::fromUtf8(readFile(folder.filePath(name)));
        return text;
    }

private slots:
    void init()
    {
        UseShortLinkTiming();
        dataDir = std::make_unique<QTemporaryDir>();
        qputenv("TALVEK_DATA_DIR", dataDir->path().toLocal8Bit());
        QFile settings(dataDir->filePath("TalvekLastSettings.tsf"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(QuickSettings(kSensorCom));
        settings.close();
        dialogs = std::make_unique<ScriptedDialogs>();
        modals.clear();
        duringModal = nullptr;
    }

    void cleanup()
    {
        window.reset();
        sensor.reset();
        dialogs.reset();
    }

    void connectAndReadShowsTheDeviceAndRecordsTheSession()
    {
        connectAndRead(QStringLiteral("Tempris KDX550-5 PV9"));
        QVERIFY(window->IsOnline());
        QCOMPARE(dialogs->boxes.size(), 0);
        QCOMPARE(modals, (QStringList{"frmCommsInit", "frmSummary"}));
        QCOMPARE(ui().pgctrlMenu->currentWidget(), ui().tsOnlineConfigMenu);
        QCOMPARE(ui().pgctrlMain->currentWidget(), ui().tsConfigTabs);
        QCOMPARE(ui().paConnectStatus->text(), T("ONLINE"));
        QCOMPARE(ui().paSerial->text(), QStringLiteral("S/N: 12345"));
        QCOMPARE(ui().paComms->text(), QStringLiteral("19200 COM7"));
        QCOMPARE(ui().paSource->text(), T("Source: Device"));
        QVERIFY(!ui().imViewOutput->isHidden());
        QVERIFY(sensor->InSetupMode());
        // Every setting the device has is in the document as the device holds it.
        QCOMPARE(findParam(config(), "OUTPUTINT").Valuestring(), sensor->Value("OUTPUTINT"));
        QCOMPARE(findParam(config(), "ADDRESS").Valuestring(), sensor->Value("ADDRESS"));
        int stored = 0;
        QVERIFY(window->GuiSettings().GetFirstTryPort(stored));
        QCOMPARE(stored, kSensorCom);
        const QString report = sessionReportText();
        QVERIFY(report.contains(sensor->Identity()));
        QVERIFY(report.contains("S/N: 12345"));
        QVERIFY(report.contains("Comms: 19200 COM7"));
        QVERIFY(report.contains("--> User action: ConnectAndRead"));
    }

    void readingAgainKeepsTheConnection()
    {
        connectAndRead(QStringLiteral("Corvix II PV4"));
        QVERIFY(window->IsOnline());
        modals.clear();
        window->buGetDeviceSettingsClick();
        QCOMPARE(modals, QStringList{"frmSummary"});
        QCOMPARE(ui().paSource->text(), T("Source: Device"));
        QVERIFY(window->isEnabled());
    }

    void aChangedSettingIsWrittenAndVerified()
    {
        connectAndRead(QStringLiteral("Tempris KDX530-3 PV9"));
        QVERIFY(window->IsOnline());
        typeInto("OUTPUTINT", "7");
        dialogs->answers << true;
        window->buSaveSettingsClick();
        QCOMPARE(dialogs->texts().last(), T("Settings have been saved"));
        QCOMPARE(sensor->Value("OUTPUTINT"), QStringLiteral("7"));
        QVERIFY(sessionReportText().contains("--> Verifying settings"));
    }

    void aWriteTheDeviceRefusesFailsVerificationAndIsNamed()
    {
        SimFaults faults;
        faults.refused = {"OUTPUTINT"};
        connectAndRead(QStringLiteral("Tempris KDX530-3 PV9"), faults);
        QVERIFY(window->IsOnline());
        typeInto("OUTPUTINT", "9");
        dialogs->answers << true;
        window->buSaveSettingsClick();
        QVERIFY(dialogs->texts().contains(T("Failed to verify settings")));
        QCOMPARE(dialogs->texts().last(), T("SAVE operation failed to complete"));
        QVERIFY(!dialogs->texts().contains(T("Settings have been saved")));
        QVERIFY(modals.contains("frmMemoMessageBox"));
        QVERIFY(config().WorkList().join(' ').contains("OUTPUTINT"));
        QVERIFY(sensor->Value("OUTPUTINT") != QStringLiteral("9"));
    }

    void answeringNoToTheWriteSendsNothing()
    {
        connectAndRead(QStringLiteral("Corvix II PV4"));
        const int commands = sensor->Commands();
        dialogs->answers << false;
        window->buSaveSettingsClick();
        QCOMPARE(sensor->Commands(), commands);
        QVERIFY(ui().imSaveSettings->isEnabled());
    }

    void backupThenRestoreBringsTheSettingsBack()
    {
        connectAndRead(QStringLiteral("Tempris KDX530-3 PV9"));
        const QString backup = dataDir->filePath("backup.tcf");
        const QString before = sensor->Value("OUTPUTINT");
        dialogs->fileNames << backup;
        window->buBackupSettingsClick();
        QCOMPARE(dialogs->texts().last(), T("Settings have been saved"));
        QCOMPARE(dialogs->boxes.first().text,
                 config().ProductName() + "_12345_" + QDate::currentDate().toString(Qt::ISODate) + "_backup");
        QVERIFY(QFile::exists(backup));

        typeInto("OUTPUTINT", "11");
        dialogs->answers << true;
        window->buSaveSettingsClick();
        QCOMPARE(sensor->Value("OUTPUTINT"), QStringLiteral("11"));

        dialogs->clear();
        dialogs->fileNames << backup;
        window->buRestoreDeviceSettingsClick();
        QCOMPARE(dialogs->texts().last(), T("Settings have been saved"));
        QCOMPARE(sensor->Value("OUTPUTINT"), before);
        QCOMPARE(ui().paSource->text(), T("Source: File"));
    }

    void viewingTheOutputShowsStreamedLinesAndReturnsToSetupMode()
    {
        connectAndRead(QStringLiteral("Tempris KDX530-3 PV9"));
        QString shown;
        bool measuring = false;
        duringModal = [&](QDialog &dialog) {
            if (&dialog != &window->OutputWindow())
                return;
            dialog.show();
            QTest::qWaitFor([&] { return dialog.findChild<QPlainTextEdit *>()->blockCount() >= 3; }, 5000);
            measuring = !sensor->InSetupMode();
            shown = dialog.findChild<QPlainTextEdit *>()->toPlainText();
            dialog.hide();
        };
        window->buContOutputClick();
        QVERIFY(measuring);
        QVERIFY2(shown.split('\n').size() >= 3, qPrintable(shown));
        QVERIFY(sensor->InSetupMode());
        QVERIFY(ui().imGetSettings->isEnabled());
    }

    void viewingTheOutputDecodesItWithTheSettingsRead()
    {
        connectAndRead(QStringLiteral("Tempris KDX530-3 PV9"));
        QStringList shown;
        bool arrived = false;
        QString counts;
        QStringList units;
        duringModal = [&](QDialog &dialog) {
            if (&dialog != &window->OutputWindow())
                return;
            dialog.show();
            auto *memo = dialog.findChild<QPlainTextEdit *>();
            arrived = QTest::qWaitFor([&] { return memo->blockCount() >= 3; }, 5000);
            // Read together: no line can come in between.
            counts = dialog.findChild<QLabel *>(QStringLiteral("lbCounts"))->text();
            shown = memo->toPlainText().split('\n');
            const QAbstractItemModel *channels = dialog.findChild<QTableView *>(QStringLiteral("tvChannels"))->model();
            for (int row = 0; row < channels->rowCount(); ++row)
                units << channels->index(row, 2).data().toString();
            dialog.hide();
        };
        window->buContOutputClick();
        QVERIFY(arrived);
        QVERIFY(shown.size() >= 3);
        // Every data line decodes with the report read; anything else (the
        // echo of the command that ended setup mode) is counted, not lost.
        const qsizetype data = shown.filter(QStringLiteral(",")).size();
        QVERIFY2(data >= 2, qPrintable(shown.join('|')));
        QCOMPARE(counts, T("Decoded: %1   Not decoded: %2   Not valid: %3").arg(data).arg(shown.size() - data).arg(0));
        QVERIFY(!units.isEmpty());
        units.removeAll(QString());
        QVERIFY2(!units.isEmpty(), "no channel with a unit");
    }

    void returningToTheStartPageLeavesSetupMode()
    {
        connectAndRead(QStringLiteral("Corvix II PV4"));
        dialogs->answers << true;
        window->buMainMenuClick();
        QCOMPARE(dialogs->texts().last(), T("Disconnect and return to Main Menu?"));
        QVERIFY(!window->IsOnline());
        QVERIFY(window->Config() == nullptr);
        QVERIFY(window->Session() == nullptr);
        QVERIFY(!sensor->InSetupMode());
        QCOMPARE(ui().pgctrlMenu->currentWidget(), ui().tsStartMenu);
        QVERIFY(sessionReportText().contains("Report Closed"));
    }

    void closingWhileOnlineAsksAndReleasesEverything()
    {
        connectAndRead(QStringLiteral("Corvix II PV4"));
        dialogs->answers << false;
        QVERIFY(!window->close());
        QCOMPARE(dialogs->texts().last(), T("Disconnect and Exit"));
        QVERIFY(window->IsOnline());
        QVERIFY(sensor->InSetupMode());
        dialogs->answers << true;
        QVERIFY(window->close());
        QVERIFY(!sensor->InSetupMode());
        QVERIFY(window->Session() == nullptr);
    }

    void aSensorThatFallsSilentMidReadIsLetGo()
    {
        SimFaults faults;
        faults.silenceAfter = 12;
        connectAndRead(QStringLiteral("Tempris KDX530-3 PV9"), faults);
        QVERIFY(!window->IsOnline());
        QVERIFY(dialogs->texts().contains(T("FAILED_TO_READ_ALL_DEVICE_SETTINGS")));
        QCOMPARE(ui().pgctrlMenu->currentWidget(), ui().tsStartMenu);
        QVERIFY(window->Session() == nullptr);
        QVERIFY(window->isEnabled());
    }

    void aHangUpMidWriteIsNeverReportedAsSaved()
    {
        connectAndRead(QStringLiteral("Tempris KDX530-3 PV9"));
        QVERIFY(window->IsOnline());
        typeInto("OUTPUTINT", "13");
        sensor->Stop(); // the adapter is pulled
        dialogs->answers << true;
        window->buSaveSettingsClick();
        QVERIFY(!dialogs->texts().contains(T("Settings have been saved")));
        QVERIFY(window->isEnabled());
        // The program stays usable: the user can still go back to the start page.
        dialogs->answers << true;
        window->buMainMenuClick();
        QVERIFY(!window->IsOnline());
    }

    void noiseOnTheLineDoesNotSpoilTheRead()
    {
        SimFaults faults;
        faults.noise = true;
        connectAndRead(QStringLiteral("Corvix II PV4"), faults);
        QVERIFY(window->IsOnline());
        QCOMPARE(findParam(config(), "ADDRESS").Valuestring(), sensor->Value("ADDRESS"));
    }

    void productsOfEachFamilyAreRead_data()
    {
        QTest::addColumn<QString>("product");
        QTest::newRow("Corvix Pro UVW") << "Corvix Pro UVW PV5";
        QTest::newRow("Relaypoint") << "Relaypoint PV6";
        QTest::newRow("Tempris type 1") << "Tempris KDX510-1 PV1";
        QTest::newRow("Tempris 5E") << "Tempris KDX556-5E PV9";
    }

    void productsOfEachFamilyAreRead()
    {
        QFETCH(QString, product);
        connectAndRead(product);
        QVERIFY2(window->IsOnline(), qPrintable(dialogs->texts().join(" | ")));
        QVERIFY(config().ProductName().size() > 0);
        QCOMPARE(dialogs->boxes.size(), 0);
    }
};

QTEST_MAIN(TestOnline)
#include "tst_online.moc"
