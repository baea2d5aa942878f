// The main window's workflows as a user meets them on screen: real clicks and
// key presses on the buttons (which a disabled widget ignores), against a
// simulated sensor. Every window a workflow shows or leaves must answer,
// Abort must stop the work and let the sensor go, closing the main window
// meanwhile must never strand the sensor in setup mode, and the editor
// pages keep their controls whoever rebuilt them.
#include "app/debugWin.h"
#include "app/mainwindow.h"
#include "base/translate.h"
#include "config/config.h"
#include "config/summary.h"
#include "diagnostics/progressDlg.h"
#include "sim/simulator.h"
#include "tests/app/quickSettings.h"
#include "tests/support/linkTimingSwitch.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/simulatedSensor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace
{
constexpr int kSensorCom = 7;
constexpr int kSlowReplyMs = 40;
constexpr int kResponseTimeout = 100;
constexpr int kSlowResponseTimeout = 150; // ample for the slow sensor's replies
constexpr int kUnscannedBaud = 1200;      // a rate the scan never tries
const QString kProduct = QStringLiteral("Corvix II PV4");

// Runs an action on the next window of a kind that is shown, from the event
// loop running then (a modal window's, or a device wait's), as a user acts
// on what appears on screen.
class OnShow : public QObject
{
public:
    using Match = std::function<bool(QWidget *)>;
    using Action = std::function<void(QWidget *)>;

    OnShow() { qApp->installEventFilter(this); }
    ~OnShow() override { qApp->removeEventFilter(this); }

    void Next(Match match, Action action) { rules.append({std::move(match), std::move(action)}); }
    template <typename Window> void Next(Action action)
    {
        Next([](QWidget *widget) { return qobject_cast<Window *>(widget) != nullptr; }, std::move(action));
    }
    void Clear() { rules.clear(); }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() != QEvent::Show || !object->isWidgetType())
            return false;
        auto *widget = static_cast<QWidget *>(object);
        for (qsizetype i = 0; i < rules.size(); ++i) {
            if (!rules[i].match(widget))
                continue;
            Action action = rules.takeAt(i).action;
            QTimer::singleShot(0, widget, [action, widget] { action(widget); });
            break;
        }
        return false;
    }

private:
    struct Rule {
        Match match;
        Action action;
    };
    QList<Rule> rules;
};

// Runs an action once a condition holds, checked from whatever event loop
// runs meanwhile.
void whenTrue(QObject *context, std::function<bool()> condition, std::function<void()> action)
{
    auto *timer = new QTimer(context);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, context, [timer, condition, action] {
        if (!condition())
            return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start();
}

template <typename Child> Child *child(QWidget *parent, const char *name)
{
    return parent->findChild<Child *>(QString::fromLatin1(name));
}
} // namespace

class TestWindows : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dataDir;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<Simulator> sensor;
    std::unique_ptr<TfrmMain> window;
    std::unique_ptr<OnShow> onShow;
    QStringList problems; // what did not answer the user, found inside the workflows

    const MainWindowUi &ui() const { return window->Ui(); }
    QString backupPath() const { return dataDir->filePath("backup.tcf"); }

    void startSensor(int slowMs = 0, int baud = 19200, const SimFaults &faults = {})
    {
        SimOptions options;
        options.product = kProduct;
        options.dataDir = QStringLiteral(TALVEK_TEST_APP_DIR);
        options.streamIntervalMs = 300;
        options.holdBackMs = 100;
        options.faults = faults;
        options.faults.slowMs = slowMs;
        options.baud = baud;
        QString error;
        sensor = StartSimulatedSensor(options, dataDir->path() + "/", kSensorCom, &error);
        QVERIFY2(sensor, qPrintable(error));
    }

    // The program on screen, with the debug button shown and modal windows
    // left to the user (the test's actions).
    void startProgram(int responseTimeout = kResponseTimeout)
    {
        QFile settings(dataDir->filePath("TalvekLastSettings.tsf"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(QuickSettings(kSensorCom, responseTimeout));
        settings.close();
        window = std::make_unique<TfrmMain>(QStringList{"DEBUGWIN"});
        QVERIFY(!window->StartupFailed());
        window->CreateApplicationForms();
        window->CommsInit().SetPortSource(
            [] { return std::optional<QStringList>(QStringList{"Simulated sensor /dev/pts (COM7)"}); });
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    // Presses a button as a user does: only one on screen and enabled.
    void press(QAbstractButton *button)
    {
        QVERIFY2(button->isVisible(), qPrintable(button->objectName() + " is not on screen"));
        QVERIFY2(button->isEnabled(), qPrintable(button->objectName() + " does not answer"));
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Notes a window whose control a user needs next but cannot use.
    void expectAnswering(QWidget *control, const QString &what)
    {
        if (!control->window()->isEnabled() || !control->isEnabled() || !control->isVisible())
            problems << what + " does not answer";
    }

    // Closes a modal window with what the user does (a click, Escape); one
    // that ignores the user is closed for the test, which then fails.
    void closeAsUser(QDialog *dialog, const std::function<void()> &userAction, const QString &what)
    {
        userAction();
        if (!dialog->isVisible())
            return;
        problems << what + " ignored the user";
        dialog->done(QDialog::Rejected);
    }

    void closeSummaryWithButton()
    {
        onShow->Next<TfrmSummary>([this](QWidget *summary) {
            auto *close = child<QPushButton>(summary, "buClose");
            expectAnswering(close, "the summary's Close button");
            closeAsUser(
                static_cast<QDialog *>(summary), [close] { QTest::mouseClick(close, Qt::LeftButton); },
                "the summary's Close button");
        });
    }

    void closeSummaryWithEscape()
    {
        onShow->Next<TfrmSummary>([this](QWidget *summary) {
            closeAsUser(
                static_cast<QDialog *>(summary), [summary] { QTest::keyClick(summary, Qt::Key_Escape); },
                "Escape on the summary");
        });
    }

    void connectAndRead()
    {
        closeSummaryWithEscape();
        press(ui().imConnectData);
        QVERIFY2(window->IsOnline(), qPrintable(dialogs->texts().join(" | ")));
    }

    // Every control a user needs after a workflow answers.
    void expectIdle(QAbstractButton *pressed)
    {
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join("; ")));
        QVERIFY(window->isEnabled());
        QVERIFY2(pressed->isEnabled(), qPrintable(pressed->objectName()));
        QWidget *menu = ui().pgctrlMenu->currentWidget();
        for (QToolButton *button : menu->findChildren<QToolButton *>())
            if (button->isVisible())
                QVERIFY2(button->isEnabled(), qPrintable(button->objectName() + " stays disabled"));
        if (ui().imBack->isVisible())
            QVERIFY(ui().imBack->isEnabled());
    }

    // How many controls of each editor page are on screen when it is shown.
    QMap<QString, int> shownControls()
    {
        QMap<QString, int> counts;
        QTabWidget *tabs = ui().pgctrlConfig;
        const int current = tabs->currentIndex();
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            int shown = 0;
            for (QWidget *control : tabs->widget(i)->findChildren<QWidget *>()) {
                const bool entry = qobject_cast<QLineEdit *>(control) || qobject_cast<QComboBox *>(control) ||
                                   qobject_cast<QCheckBox *>(control) || qobject_cast<QLabel *>(control);
                shown += entry && control->isVisible() ? 1 : 0;
            }
            counts[tabs->tabText(i)] = shown;
        }
        tabs->setCurrentIndex(current);
        return counts;
    }

    void expectPagesAsBuilt(const QMap<QString, int> &built, const char *after)
    {
        QCOMPARE(ui().pgctrlMain->currentWidget(), ui().tsConfigTabs);
        const QMap<QString, int> now = shownControls();
        for (auto it = built.cbegin(); it != built.cend(); ++it)
            QVERIFY2(now.value(it.key()) == it.value(),
                     qPrintable(QStringLiteral("after %1 the page %2 shows %3 of its %4 controls")
                                    .arg(after, it.key())
                                    .arg(now.value(it.key()))
                                    .arg(it.value())));
    }

    enum Work { ConnectAndRead, ReadAgain, Write, Backup, Restore };

    // Starts a workflow with its button, the answers it asks for queued.
    void startWork(Work work)
    {
        switch (work) {
        case ConnectAndRead:
            press(ui().imConnectData);
            break;
        case ReadAgain:
            press(ui().imGetSettings);
            break;
        case Write:
            dialogs->answers << true;
            press(ui().imSaveSettings);
            break;
        case Backup:
            dialogs->fileNames << backupPath();
            press(ui().imBackup);
            break;
        case Restore:
            dialogs->fileNames << backupPath();
            press(ui().imRestore);
            break;
        }
    }

    // A slow sensor, read once unless the work is the connection itself.
    void prepareWork(Work work)
    {
        startSensor(kSlowReplyMs);
        startProgram(kSlowResponseTimeout);
        if (work == ConnectAndRead)
            return;
        connectAndRead();
        QVERIFY(window->Config()->SaveConfigFile(backupPath()));
        dialogs->clear();
    }

    static QString workName(Work work)
    {
        static const QStringList names = {"connect and read", "read again", "write", "backup", "restore"};
        return names.value(work);
    }

    // Presses Abort as soon as the work shows its progress; the work stops
    // with its own message, the sensor is let go and the windows answer.
    void abortDuring(Work work)
    {
        bool pressed = false;
        onShow->Next<TfrmProgressDlg>([&](QWidget *progress) {
            auto *abort = child<QPushButton>(progress, "buAbort");
            expectAnswering(abort, "the progress dialog's Abort button");
            if (ui().imConnectData->isEnabled() || ui().imGetSettings->isEnabled())
                problems << "a workflow button can start a second workflow";
            QTest::mouseClick(abort, Qt::LeftButton);
            pressed = true;
        });
        closeSummaryWithButton();
        startWork(work);
        onShow->Clear();
        QVERIFY2(pressed, qPrintable(workName(work)));
        const QStringList texts = dialogs->texts();
        const QHash<int, QString> outcome = {{ConnectAndRead, T("FAILED_TO_READ_ALL_DEVICE_SETTINGS")},
                                             {ReadAgain, T("Not all device settings have been read")},
                                             {Write, T("A problem occurred during SAVE operation")},
                                             {Backup, T("Please retry.")},
                                             {Restore, T("A problem occurred during SAVE operation")}};
        QVERIFY2(texts.contains(outcome.value(work)), qPrintable(workName(work) + ": " + texts.join(" | ")));
        QVERIFY2(!texts.contains(T("Settings have been saved")), qPrintable(workName(work)));
        QVERIFY2(!sensor->InSetupMode(), qPrintable(workName(work)));
        expectIdle(work == ConnectAndRead ? ui().imConnectData : ui().imGetSettings);
    }

private slots:
    void init()
    {
        UseShortLinkTiming();
        dataDir = std::make_unique<QTemporaryDir>();
        qputenv("TALVEK_DATA_DIR", dataDir->path().toLocal8Bit());
        dialogs = std::make_unique<ScriptedDialogs>();
        onShow = std::make_unique<OnShow>();
        problems.clear();
    }

    void cleanup()
    {
        onShow.reset();
        window.reset();
        sensor.reset();
        dialogs.reset();
    }

    // The whole day of a user: every workflow leaves windows that answer
    // and pages that show every control they were built with.
    void everyWorkflowLeavesWindowsThatAnswer()
    {
        startSensor();
        startProgram();
        press(ui().imDebug);
        TfrmDebugWin &debugWin = window->DebugWin();
        QVERIFY(QTest::qWaitForWindowExposed(&debugWin));
        bool scanned = false;
        onShow->Next<TfrmCommsInit>([&](QWidget *shown) {
            auto *dialog = static_cast<TfrmCommsInit *>(shown);
            // Once the scan has begun, while it runs.
            QTimer::singleShot(0, dialog, [&, dialog] {
                scanned = dialog->Busy();
                expectAnswering(dialog->buScan, "the scan's Abort button");
                expectAnswering(child<QPushButton>(&debugWin, "Clear"), "the debug window");
            });
        });
        connectAndRead();
        QVERIFY(scanned);
        expectIdle(ui().imGetSettings);
        const QMap<QString, int> built = shownControls();
        QVERIFY(built.value("Communications") > 0);

        closeSummaryWithButton();
        startWork(ReadAgain);
        expectIdle(ui().imGetSettings);
        expectPagesAsBuilt(built, "a read");

        startWork(Write);
        QCOMPARE(dialogs->texts().last(), T("Settings have been saved"));
        expectIdle(ui().imSaveSettings);
        expectPagesAsBuilt(built, "a write");

        closeSummaryWithButton();
        startWork(Backup);
        QCOMPARE(dialogs->texts().last(), T("Settings have been saved"));
        expectIdle(ui().imBackup);
        expectPagesAsBuilt(built, "a backup");

        closeSummaryWithButton();
        startWork(Restore);
        QCOMPARE(dialogs->texts().last(), T("Settings have been saved"));
        expectIdle(ui().imRestore);
        expectPagesAsBuilt(built, "a restore");

        dialogs->fileNames << backupPath();
        press(ui().imLoadConfig);
        QCOMPARE(dialogs->texts().last(), T("File settings loaded"));
        expectIdle(ui().imLoadConfig);
        expectPagesAsBuilt(built, "a file load");

        dialogs->answers << true;
        press(ui().imBack);
        QVERIFY(!window->IsOnline());
        QVERIFY(!sensor->InSetupMode());
        expectIdle(ui().imConnect);
        QVERIFY(ui().cbLanguage->isEnabled());

        press(ui().imConnect);
        QVERIFY(window->IsOnline());
        expectIdle(ui().imGetSettings);
        QVERIFY(shownControls().value("Communications") > 0);
        QVERIFY(debugWin.isEnabled());
    }

    // Each way a workflow ends is told with its own boxes, in order, and
    // leaves the windows answering.
    void eachOutcomeShowsItsBoxes_data()
    {
        QTest::addColumn<int>("work");
        QTest::addColumn<int>("silenceAfter");
        QTest::addColumn<QString>("ignored");
        QTest::addColumn<bool>("sensorGone");
        QTest::addColumn<QStringList>("boxes"); // each the start of a box's text, untranslated
        // The try's and the connection's unit queries, then nothing.
        QTest::newRow("connect: setup mode refused") << int(ConnectAndRead) << 2 << QString() << false
                                                     << QStringList{QStringLiteral("Failed to get SETUP MODE")};
        QTest::newRow("connect: no serial number") << int(ConnectAndRead) << -1 << QStringLiteral("SERIAL") << false
                                                   << QStringList{QStringLiteral("Failed to get SERIAL NUMBER")};
        QTest::newRow("read: sensor gone") << int(ReadAgain) << -1 << QString() << true
                                           << QStringList{QStringLiteral("UNABLE_TO_CONFIGURE_DEVICE"),
                                                          QStringLiteral("Not all device settings have been read")};
        QTest::newRow("write: sensor gone") << int(Write) << -1 << QString() << true
                                            << QStringList{QStringLiteral("UNABLE_TO_CONFIGURE_DEVICE"),
                                                           QStringLiteral("A problem occurred during SAVE operation")};
        QTest::newRow("backup: sensor gone")
            << int(Backup) << -1 << QString() << true
            << QStringList{QStringLiteral("UNABLE_TO_CONFIGURE_DEVICE"), QStringLiteral("Please retry.")};
        QTest::newRow("write: verified") << int(Write) << -1 << QString() << false
                                         << QStringList{QStringLiteral("Settings have been saved")};
    }

    void eachOutcomeShowsItsBoxes()
    {
        QFETCH(int, work);
        QFETCH(int, silenceAfter);
        QFETCH(QString, ignored);
        QFETCH(bool, sensorGone);
        QFETCH(QStringList, boxes);
        SimFaults faults;
        faults.silenceAfter = silenceAfter;
        if (!ignored.isEmpty())
            faults.ignored = QStringList{ignored};
        startSensor(0, 19200, faults);
        startProgram();
        if (work != ConnectAndRead) {
            connectAndRead();
            QVERIFY(window->Config()->SaveConfigFile(backupPath()));
            dialogs->clear();
        }
        if (sensorGone)
            sensor->Stop(); // the adapter is pulled
        startWork(Work(work));
        const QStringList texts = dialogs->texts();
        int next = 0;
        for (const QString &text : texts) {
            if (next < boxes.size() && text.startsWith(T(boxes.at(next))))
                ++next;
        }
        QVERIFY2(next == boxes.size(), qPrintable(texts.join(" | ")));
        if (!boxes.contains(QStringLiteral("Settings have been saved")))
            QVERIFY(!texts.contains(T("Settings have been saved")));
        QVERIFY(problems.isEmpty());
        QVERIFY(window->isEnabled());
    }

    // After a scan that finds nothing the connection dialog waits for the
    // user: its tabs, the manual try and its Close button answer.
    void aFruitlessScanLeavesTheConnectionDialogToTheUser()
    {
        startProgram(); // no sensor: the listed port is not there
        bool tabsAnswered = false;
        onShow->Next<TfrmCommsInit>([&](QWidget *shown) {
            auto *dialog = static_cast<TfrmCommsInit *>(shown);
            whenTrue(
                dialog, [&] { return dialogs->captions().contains(T("No devices found")); },
                [&, dialog] {
                    QTabBar *tabs = dialog->PageControl1->tabBar();
                    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
                    const bool manual = dialog->PageControl1->currentWidget() == dialog->tabManual;
                    expectAnswering(dialog->buTry, "the manual Try button");
                    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
                    tabsAnswered = manual && dialog->PageControl1->currentWidget() == dialog->tsSafeMode;
                    closeAsUser(
                        dialog, [dialog] { QTest::mouseClick(dialog->buClose, Qt::LeftButton); },
                        "the connection dialog's Close button");
                });
        });
        press(ui().imConnectData);
        QVERIFY(tabsAnswered);
        QVERIFY(!window->IsOnline());
        expectIdle(ui().imConnectData);
    }

    // Abort on the connection dialog stops a scan of a port that never answers.
    void theScanStopsAtAbort()
    {
        startSensor(0, kUnscannedBaud);
        startProgram();
        onShow->Next<TfrmCommsInit>([&](QWidget *shown) {
            auto *dialog = static_cast<TfrmCommsInit *>(shown);
            // The scan runs from the dialog's event loop; this comes during it.
            QTimer::singleShot(300, dialog, [&, dialog] {
                if (!dialog->Busy())
                    problems << "the scan was over before Abort";
                expectAnswering(dialog->buScan, "the scan's Abort button");
                QTest::mouseClick(dialog->buScan, Qt::LeftButton);
            });
            whenTrue(
                dialog, [&] { return dialogs->captions().contains(T("No devices found")); },
                [&, dialog] {
                    if (dialog->gbProgress->title() != dialog->Captions().scanAborted)
                        problems << "the scan went on after Abort: " + dialog->gbProgress->title();
                    closeAsUser(
                        dialog, [dialog] { QTest::mouseClick(dialog->buClose, Qt::LeftButton); },
                        "the connection dialog's Close button");
                });
        });
        press(ui().imConnectData);
        QVERIFY(dialogs->captions().contains(T("No devices found")));
        expectIdle(ui().imConnectData);
    }

    // Abort on the progress dialog stops each device workflow; the sensor is
    // told to leave setup mode and the windows answer again.
    void abortStopsEveryDeviceWorkflowAndLetsTheSensorGo()
    {
        prepareWork(ConnectAndRead);
        abortDuring(ConnectAndRead);
        connectAndRead();
        QVERIFY(window->Config()->SaveConfigFile(backupPath()));
        for (Work work : {ReadAgain, Write, Backup, Restore}) {
            dialogs->clear();
            abortDuring(work);
            if (QTest::currentTestFailed())
                return;
        }
    }

    // The window manager's close while the device is being read or written:
    // the work is aborted, the sensor told to leave setup mode, and only then
    // the connection released and the window closed.
    void closingDuringWorkStopsItAndLetsTheSensorGo_data()
    {
        QTest::addColumn<int>("work");
        for (Work work : {ConnectAndRead, Write, Backup, Restore})
            QTest::newRow(qPrintable(workName(work))) << int(work);
    }
    void closingDuringWorkStopsItAndLetsTheSensorGo()
    {
        QFETCH(int, work);
        prepareWork(Work(work));
        bool refusedWhileWorking = false;
        onShow->Next<TfrmProgressDlg>([&](QWidget *) {
            dialogs->answers << true; // stop the operation and exit
            refusedWhileWorking = !window->close();
        });
        closeSummaryWithButton();
        startWork(Work(work));
        QVERIFY(refusedWhileWorking);
        QVERIFY(dialogs->texts().contains(T("An operation is running. Stop it and exit?")));
        QTRY_VERIFY(!window->isVisible());
        QVERIFY(window->Session() == nullptr);
        QVERIFY(window->Config() == nullptr);
        QVERIFY(!sensor->InSetupMode());
    }

    // Answering No to the question keeps the work and the window.
    void aCloseAnsweredNoLetsTheWorkFinish()
    {
        prepareWork(ReadAgain);
        onShow->Next<TfrmProgressDlg>([&](QWidget *) {
            dialogs->answers << false;
            window->close();
        });
        closeSummaryWithButton();
        startWork(ReadAgain);
        QVERIFY(window->isVisible());
        QCOMPARE(ui().paSource->text(), T("Source: Device"));
        QVERIFY(sensor->InSetupMode());
        expectIdle(ui().imGetSettings);
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
