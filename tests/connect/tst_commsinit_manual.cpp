// The connection dialog's manual try and safe-mode wizard, after a fruitless
// scan, against a simulated sensor and scripted devices on pseudo-terminals.
#include "connect/safeModeWizard.h"
#include "tests/connect/connectfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <atomic>

namespace
{
const QByteArray safeIdentity = "KDX 3.2 [Q] 0007";

// A sensor that stays silent until it is powered (or a dongle forces it into
// safe mode), then answers "*" and the unit query, at 4800 baud only.
struct SafeModeSensor {
    std::atomic<bool> powered{false};
    std::atomic<qint64> firstStarMs{-1};
    QElapsedTimer clock;
    PtyPeer *peer = nullptr;

    QList<QByteArray> answer(const QByteArray &line)
    {
        if (line == "*" && firstStarMs < 0)
            firstStarMs = clock.elapsed();
        if (!powered || peer->BaudRate() != 4800)
            return {};
        if (line == "*")
            return {"OK"};
        if (line == "%%%")
            return {"ID:" + safeIdentity};
        return {};
    }
};
} // namespace

class TestCommsInitManual : public QObject
{
    Q_OBJECT
    std::unique_ptr<ConnectFixture> fixture;
    std::unique_ptr<TfrmCommsInit> dialog;
    std::unique_ptr<SafeModeSensor> safeSensor;

    TSafeModeWizard &wizard() { return *dialog->safeMode; }
    QWidget *wizardPage() { return wizard().pgctrlSafeMode->currentWidget(); }

    void makeIdleDialog(const CommsSettings &values = CommsSettings())
    {
        QVERIFY(fixture->WriteSettings(values));
        dialog = fixture->MakeIdleDialog();
        QVERIFY(dialog != nullptr);
        QVERIFY(dialog->PageControl1->isEnabled());
    }

    PtyPeer &addSafeModeSensor(int number)
    {
        PtyPeer &peer = fixture->AddSilentPort(number);
        safeSensor = std::make_unique<SafeModeSensor>();
        safeSensor->peer = &peer;
        safeSensor->clock.start();
        peer.SetResponder([s = safeSensor.get()](const QByteArray &line) { return s->answer(line); });
        return peer;
    }

    // The wizard from the safe-mode tab to step 1, with this port.
    void toStep1(const QString &port, bool dongle)
    {
        dialog->PageControl1->setCurrentWidget(dialog->tsSafeMode);
        QCOMPARE(wizardPage(), wizard().tsSafeMode_Begin);
        wizard().buSafeModeBegin->click();
        QCOMPARE(wizardPage(), wizard().tsSafeMode_Step1);
        wizard().edCommPortSM->setText(port);
        wizard().cbUseDongle->setChecked(dongle);
    }

private slots:
    void init()
    {
        fixture = std::make_unique<ConnectFixture>();
        QVERIFY(fixture->Ready());
    }
    void cleanup()
    {
        dialog.reset();
        fixture.reset();
        safeSensor.reset();
    }

    void manualFieldsComeFromTheSettings_data()
    {
        QTest::addColumn<int>("comport");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("shownRate");
        QTest::newRow("9600 on COM4") << 4 << 1 << "9600";
        QTest::newRow("57600 on COM12") << 12 << 4 << "57600";
        QTest::newRow("default position: none") << 1 << 6 << "";
    }
    void manualFieldsComeFromTheSettings()
    {
        QFETCH(int, comport);
        QFETCH(int, position);
        QFETCH(QString, shownRate);
        CommsSettings values;
        values.manualComport = comport;
        values.manualBaudRate = position;
        makeIdleDialog(values);
        QStringList names;
        for (int i = 0; i < dialog->cbBaud->count(); ++i)
            names << dialog->cbBaud->itemText(i);
        QCOMPARE(names, QStringList({"4800", "9600", "19200", "38400", "57600"}));
        QCOMPARE(dialog->edComPort->text(), QString::number(comport));
        QCOMPARE(dialog->cbBaud->currentText(), shownRate);
        QCOMPARE(dialog->buTry->text(), QStringLiteral("[TRY]"));
    }

    // Port field 3, 19200 chosen, the sensor on COM3 at 19200.
    void manualTryFindsTheSensor()
    {
        makeIdleDialog();
        QString error;
        Simulator *sensor = fixture->AddSensor(3, 19200, &error);
        QVERIFY2(sensor != nullptr, qPrintable(error));
        dialog->PageControl1->setCurrentWidget(dialog->tabManual);
        dialog->edComPort->setText(QStringLiteral("3"));
        dialog->cbBaud->setCurrentIndex(dialog->cbBaud->findText(QStringLiteral("19200")));
        dialog->buTry->click();

        QCOMPARE(dialog->Memo2->toPlainText(), " [FOUND] " + sensor->Identity() + " @19200");
        QVERIFY(!dialog->isVisible()); // closed at once
        QCOMPARE(dialog->CurrentLink(), nullptr);
        QCOMPARE(dialog->FoundDevices().size(), 1);
        const aDeviceCommsInfo record = dialog->FoundDevices().first();
        QCOMPARE(record.baudCode, 6);
        QCOMPARE(record.portIndex, 2);
        QCOMPARE(record.identity, sensor->Identity());
        QCOMPARE(record.baudText, QStringLiteral("19200"));
        QCOMPARE(record.kind, 1);
        int saved = 0;
        QVERIFY(fixture->settings.GetManualComport(saved));
        QCOMPARE(saved, 3);
        QVERIFY(fixture->settings.GetManualBaudRate(saved));
        QCOMPARE(saved, 2);
    }

    // With no rate chosen the port is tried at the scan's rates.
    void manualTryWithoutRateTriesEveryScanRate()
    {
        makeIdleDialog(); // the default position selects no rate
        QString error;
        Simulator *sensor = fixture->AddSensor(3, 4800, &error);
        QVERIFY2(sensor != nullptr, qPrintable(error));
        dialog->edComPort->setText(QStringLiteral("3"));
        QCOMPARE(dialog->cbBaud->currentIndex(), -1);
        dialog->buTry->click();
        QCOMPARE(dialog->FoundDevices().size(), 1);
        QCOMPARE(dialog->FoundDevices().first().baudCode, 4);
        QCOMPARE(dialog->Memo2->toPlainText(), " [FOUND] " + sensor->Identity() + " @4800");
    }

    void manualTryWithoutAnswer()
    {
        makeIdleDialog();
        PtyPeer &silent = fixture->AddSilentPort(3);
        dialog->edComPort->setText(QStringLiteral("3"));
        dialog->cbBaud->setCurrentIndex(dialog->cbBaud->findText(QStringLiteral("57600")));
        dialog->buTry->click();
        QCOMPARE(dialog->Memo2->toPlainText(), QStringLiteral("[NO_SENSOR_FOUND]"));
        QCOMPARE(silent.BaudRate(), 57600);
        QVERIFY(silent.LineCount("%%%") > 0);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->FoundDevices().isEmpty());
        QCOMPARE(dialog->CurrentLink(), nullptr);
        QVERIFY(dialog->buTry->isEnabled());
        QVERIFY(dialog->buClose->isEnabled());
    }

    // A port text that names no port: nothing is opened; closing stores the
    // field as a number (letters as 1).
    void manualTryRefusesBadPortNumbers_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("memo");
        QTest::addColumn<int>("saved");
        QTest::newRow("zero") << "0"
                              << "[INVALID_COM_NUM]" << 0;
        QTest::newRow("letters") << "abc"
                                 << "[INVALID_COM_NUM]" << 1;
        QTest::newRow("empty") << ""
                               << "[INVALID_COM_NUM]" << 1;
        QTest::newRow("negative") << "-2"
                                  << "[INVALID_COM_NUM]" << -2;
        QTest::newRow("port not there") << "2"
                                        << "[FAILED_TO_OPEN_PORT]" << 2;
    }
    void manualTryRefusesBadPortNumbers()
    {
        QFETCH(QString, field);
        QFETCH(QString, memo);
        QFETCH(int, saved);
        makeIdleDialog();
        fixture->AddMissingPort(2);
        dialog->edComPort->setText(field);
        dialog->cbBaud->setCurrentIndex(0);
        dialog->buTry->click();
        const QString shown = dialog->Memo2->toPlainText();
        if (memo == QLatin1String("[FAILED_TO_OPEN_PORT]")) // followed by the reason
            QVERIFY2(shown.startsWith(memo + " (") && shown.endsWith(')'), qPrintable(shown));
        else
            QCOMPARE(shown, memo);
        QCOMPARE(fixture->LogCount(QStringLiteral("Port open")), 0);
        QVERIFY(dialog->isVisible());
        dialog->buClose->click();
        QVERIFY(!dialog->isVisible());
        int stored = 12345;
        QVERIFY(fixture->settings.GetManualComport(stored));
        QCOMPARE(stored, saved);
        QVERIFY(fixture->settings.GetManualBaudRate(stored));
        QCOMPARE(stored, 0);
    }

    // Without the dongle: port opened at 4800, the user switches the sensor
    // off, a second later "*" goes out while step 3 asks to switch it on.
    void safeModeWithoutDongle()
    {
        makeIdleDialog();
        PtyPeer &peer = addSafeModeSensor(6);
        toStep1(QStringLiteral("6"), false);
        wizard().buSafeModeStep2->click();
        QCOMPARE(wizardPage(), wizard().tsSafeMode_Step2);
        QVERIFY(dialog->CurrentLink() != nullptr);
        QCOMPARE(peer.BaudRate(), 4800);
        QCOMPARE(peer.Received(), QByteArray());

        bool step3Shown = false;
        QTimer user;
        user.setInterval(20);
        connect(&user, &QTimer::timeout, this, [&] {
            // The user switches the sensor on once step 3 asks and "*" has gone out unanswered.
            if (wizardPage() == wizard().tsSafeMode_Step3 && peer.LineCount("*") >= 2) {
                step3Shown = true;
                safeSensor->powered = true;
                user.stop();
            }
        });
        user.start();
        QElapsedTimer sinceNext;
        const qint64 nextAtMs = safeSensor->clock.elapsed();
        sinceNext.start();
        wizard().buSafeModeStep3->click(); // returns once the sensor is found
        QVERIFY(step3Shown);
        QVERIFY2(safeSensor->firstStarMs - nextAtMs >= 950,
                 qPrintable(QString::number(safeSensor->firstStarMs - nextAtMs)));

        QCOMPARE(dialog->FoundDevices().size(), 1);
        const aDeviceCommsInfo record = dialog->FoundDevices().first();
        QCOMPARE(record.baudCode, 4);
        QCOMPARE(record.portIndex, 5);
        QCOMPARE(record.identity, QString::fromLatin1(safeIdentity));
        QCOMPARE(record.baudText, QStringLiteral("4800"));
        QCOMPARE(record.kind, 1);
        QVERIFY(fixture->debugLog.contains(" Found " + QString::fromLatin1(safeIdentity) + " @4800"));
        QCOMPARE(dialog->CurrentLink(), nullptr);
        QVERIFY(WaitUntil([&] { return !dialog->isVisible(); }, 3000));
        QCOMPARE(fixture->dialogs.boxes.size(), 0);
    }

    void safeModeAbortWhileSilent()
    {
        makeIdleDialog();
        PtyPeer &peer = addSafeModeSensor(6);
        toStep1(QStringLiteral("6"), false);
        wizard().buSafeModeStep2->click();
        QTimer user;
        user.setInterval(20);
        bool scanLocked = false;
        connect(&user, &QTimer::timeout, this, [&] {
            if (peer.LineCount("*") < 2)
                return;
            user.stop();
            dialog->close(); // refused while probing
            scanLocked = dialog->isVisible() && dialog->Busy() && !dialog->buScan->isEnabled();
            wizard().buSafeModeAbort->click();
        });
        user.start();
        wizard().buSafeModeStep3->click();

        QVERIFY(scanLocked);
        QCOMPARE(wizardPage(), wizard().tsSafeMode_Begin);
        QCOMPARE(dialog->CurrentLink(), nullptr);
        QVERIFY(dialog->FoundDevices().isEmpty());
        QVERIFY(!dialog->tmrClose.isActive());
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->Busy());
        QVERIFY(dialog->buClose->isEnabled());
    }

    // The adapter is pulled out while "*" goes out: the loop ends with a message.
    void safeModeDeviceVanishes()
    {
        makeIdleDialog();
        PtyPeer &peer = addSafeModeSensor(6);
        toStep1(QStringLiteral("6"), false);
        wizard().buSafeModeStep2->click();
        bool otherTabsLocked = false;
        QTimer user;
        user.setInterval(20);
        connect(&user, &QTimer::timeout, this, [&] {
            if (peer.LineCount("*") == 0)
                return;
            user.stop();
            otherTabsLocked = !dialog->PageControl1->isTabEnabled(0) && !dialog->PageControl1->isTabEnabled(1) &&
                              dialog->PageControl1->isTabEnabled(2);
            peer.HangUp();
        });
        user.start();
        wizard().buSafeModeStep3->click();

        QVERIFY(otherTabsLocked);
        QCOMPARE(fixture->dialogs.texts(), QStringList({"[Connection Error]"}));
        QCOMPARE(fixture->dialogs.captions(), QStringList({"[ERROR]"}));
        QCOMPARE(wizardPage(), wizard().tsSafeMode_Begin);
        QCOMPARE(dialog->CurrentLink(), nullptr);
        QVERIFY(dialog->FoundDevices().isEmpty());
        QVERIFY(dialog->PageControl1->isTabEnabled(0));
    }

    void safeModeCancelOnStep2ReleasesThePort()
    {
        makeIdleDialog();
        addSafeModeSensor(6);
        toStep1(QStringLiteral("6"), false);
        wizard().buSafeModeStep2->click();
        QVERIFY(dialog->CurrentLink() != nullptr);
        wizard().buSafeModeStep2Cancel->click();
        QCOMPARE(wizardPage(), wizard().tsSafeMode_Begin);
        QCOMPARE(dialog->CurrentLink(), nullptr);

        // Leaving the wizard half-way by another tab, or by closing, lets go too.
        toStep1(QStringLiteral("6"), false);
        wizard().buSafeModeStep2->click();
        QVERIFY(dialog->CurrentLink() != nullptr);
        dialog->PageControl1->setCurrentWidget(dialog->tabStatus);
        QCOMPARE(dialog->CurrentLink(), nullptr);
        toStep1(QStringLiteral("6"), false);
        wizard().buSafeModeStep2->click();
        dialog->buClose->click();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->CurrentLink(), nullptr);
    }

    void safeModeRefusesBadPorts_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("dongle");
        QTest::addColumn<QString>("message");
        QTest::newRow("zero") << "0" << false << "[INVALID_COM_NUM]";
        QTest::newRow("letters") << "x1" << false << "[INVALID_COM_NUM]";
        QTest::newRow("not there") << "2" << false << "[FAILED_TO_OPEN_PORT]";
        QTest::newRow("dongle, zero") << "0" << true << "[INVALID_COM_NUM]";
        QTest::newRow("dongle, not there") << "2" << true << "[FAILED_TO_OPEN_PORT]";
    }
    void safeModeRefusesBadPorts()
    {
        QFETCH(QString, field);
        QFETCH(bool, dongle);
        QFETCH(QString, message);
        makeIdleDialog();
        fixture->AddMissingPort(2);
        toStep1(field, dongle);
        wizard().buSafeModeStep2->click();
        if (dongle) {
            QCOMPARE(wizardPage(), wizard().tsSafeMode_Step4);
            QCOMPARE(dialog->CurrentLink(), nullptr); // nothing is open before step 4's Next
            wizard().buSafeModeStep4->click();
            // No probe loop ran; the step can be tried again or cancelled.
            QCOMPARE(wizardPage(), wizard().tsSafeMode_Step4);
            QVERIFY(!wizard().buSafeModeStep4->isHidden());
            QVERIFY(!wizard().buSafeModeStep4Cancel->isHidden());
            QVERIFY(wizard().buSafeModeStep4Abort->isHidden());
            QCOMPARE(wizard().Label5->text(), QStringLiteral("Press Next to automatically enter SAFE mode"));
        } else {
            QCOMPARE(wizardPage(), wizard().tsSafeMode_Step1);
        }
        QCOMPARE(fixture->dialogs.texts(), QStringList({message}));
        QCOMPARE(fixture->dialogs.captions(), QStringList({"[ERROR]"}));
        QCOMPARE(dialog->CurrentLink(), nullptr);
        QCOMPARE(fixture->LogCount(QStringLiteral("Port open")), 0);
        QVERIFY(!dialog->Busy());
    }

    // With the dongle there are no power prompts: step 4's Next opens the
    // port and probes at once, with its buttons hidden.
    void safeModeWithDongle()
    {
        makeIdleDialog();
        PtyPeer &peer = addSafeModeSensor(9);
        safeSensor->powered = true;
        toStep1(QStringLiteral("9"), true);
        wizard().buSafeModeStep2->click();
        QCOMPARE(wizardPage(), wizard().tsSafeMode_Step4);

        bool buttonsHidden = false;
        QString shownText;
        QTimer observer;
        observer.setInterval(10);
        connect(&observer, &QTimer::timeout, this, [&] {
            if (peer.LineCount("*") == 0)
                return;
            observer.stop();
            buttonsHidden = wizard().buSafeModeStep4->isHidden() && wizard().buSafeModeStep4Cancel->isHidden() &&
                            !wizard().buSafeModeStep4Abort->isHidden();
            shownText = wizard().Label5->text();
        });
        observer.start();
        wizard().buSafeModeStep4->click();

        QVERIFY(buttonsHidden);
        QCOMPARE(shownText, QStringLiteral("Attempting reconnection..."));
        QCOMPARE(dialog->FoundDevices().size(), 1);
        QCOMPARE(dialog->FoundDevices().first().portIndex, 8);
        QCOMPARE(dialog->FoundDevices().first().baudCode, 4);
        QCOMPARE(dialog->FoundDevices().first().identity, QString::fromLatin1(safeIdentity));
        QCOMPARE(dialog->CurrentLink(), nullptr);
        QVERIFY(!wizard().buSafeModeStep4->isHidden());
        QVERIFY(WaitUntil([&] { return !dialog->isVisible(); }, 3000));
    }

    // A sensor set to 19200 that is switched on a while after the port opens
    // answers only in its safe-mode window at 4800: the probing finds it.
    void safeModeWithDongleFindsPowerCycledSensor()
    {
        makeIdleDialog();
        QString error;
        Simulator *sensor = fixture->AddSensor(9, 19200, &error, 1500);
        QVERIFY2(sensor != nullptr, qPrintable(error));
        toStep1(QStringLiteral("9"), true);
        wizard().buSafeModeStep2->click();
        QCOMPARE(wizardPage(), wizard().tsSafeMode_Step4);
        QTimer giveUp; // a wizard that never finds it would probe for ever
        giveUp.setSingleShot(true);
        connect(&giveUp, &QTimer::timeout, this, [&] { wizard().buSafeModeStep4Abort->click(); });
        giveUp.start(15000);
        wizard().buSafeModeStep4->click();

        QVERIFY(giveUp.isActive());
        QCOMPARE(dialog->FoundDevices().size(), 1);
        const aDeviceCommsInfo record = dialog->FoundDevices().first();
        QCOMPARE(record.portIndex, 8);
        QCOMPARE(record.baudCode, 4);
        QCOMPARE(record.identity, sensor->Identity());
        QCOMPARE(fixture->LogCount(" Found " + sensor->Identity() + " @4800"), 1);
        QCOMPARE(fixture->dialogs.boxes.size(), 0);
        QVERIFY(WaitUntil([&] { return !dialog->isVisible(); }, 3000));
    }

    void safeModeWithDongleAborted()
    {
        makeIdleDialog();
        PtyPeer &peer = addSafeModeSensor(9); // never powered: stays silent
        toStep1(QStringLiteral("9"), true);
        wizard().buSafeModeStep2->click();
        QTimer user;
        user.setInterval(20);
        connect(&user, &QTimer::timeout, this, [&] {
            if (peer.LineCount("*") >= 2) {
                user.stop();
                wizard().buSafeModeStep4Abort->click();
            }
        });
        user.start();
        wizard().buSafeModeStep4->click();

        QCOMPARE(wizardPage(), wizard().tsSafeMode_Begin);
        QVERIFY(dialog->FoundDevices().isEmpty());
        QCOMPARE(dialog->CurrentLink(), nullptr);
        QVERIFY(dialog->isVisible());
        QVERIFY(!wizard().buSafeModeStep4->isHidden());
        QCOMPARE(wizard().Label5->text(), QStringLiteral("Press Next to automatically enter SAFE mode"));
        QCOMPARE(fixture->dialogs.boxes.size(), 0);
    }

    void step4CancelReturnsToBegin()
    {
        makeIdleDialog();
        toStep1(QStringLiteral("3"), true);
        wizard().buSafeModeStep2->click();
        wizard().buSafeModeStep4Cancel->click();
        QCOMPARE(wizardPage(), wizard().tsSafeMode_Begin);
        QCOMPARE(dialog->CurrentLink(), nullptr);
    }
};

QTEST_MAIN(TestCommsInitManual)
#include "tst_commsinit_manual.moc"
