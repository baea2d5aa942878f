// The connection dialog's automatic scan, against simulated sensors and
// silent devices on pseudo-terminals.
#include "tests/connect/connectfixture.h"

#include <QFile>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

namespace
{
QStringList listBoxLines(const TfrmCommsInit &dialog)
{
    QStringList lines;
    for (int i = 0; i < dialog.lbPorts->count(); ++i)
        lines << dialog.lbPorts->item(i)->text();
    return lines;
}

// The baud rates the link set on a port, from its traffic log.
QStringList ratesSet(int portIndex)
{
    QFile log(TfrmComPortUtils::LogFilePath(portIndex));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList rates;
    const QString marker = QStringLiteral("Setting Baud : ");
    for (const QString &line : QString::fromLatin1(log.readAll()).split(QLatin1Char('\n')))
        if (line.contains(marker))
            rates << line.mid(line.indexOf(marker) + marker.size()).trimmed();
    return rates;
}
} // namespace

class TestCommsInitScan : public QObject
{
    Q_OBJECT
    std::unique_ptr<ConnectFixture> fixture;

private slots:
    void init()
    {
        fixture = std::make_unique<ConnectFixture>();
        QVERIFY(fixture->Ready());
    }
    void cleanup() { fixture.reset(); }

    // Ports COM1, COM3, COM4 listed in that order, the last good port COM3,
    // the sensor on COM1 at 9600.
    void scanStartsAtFirstTryPortAndWrapsAround()
    {
        CommsSettings values;
        values.firstTryPort = 3;
        QVERIFY(fixture->WriteSettings(values));
        QString error;
        Simulator *sensor = fixture->AddSensor(1, 9600, &error);
        QVERIFY2(sensor != nullptr, qPrintable(error));
        PtyPeer &com3 = fixture->AddSilentPort(3);
        PtyPeer &com4 = fixture->AddSilentPort(4);
        fixture->ports = {QStringLiteral("COM1"), QStringLiteral("COM3"), QStringLiteral("COM4")};

        auto dialog = fixture->MakeDialog();
        QVERIFY(fixture->ShowAndWaitForScan(*dialog));

        QCOMPARE(fixture->LogLinesStartingWith(QStringLiteral("Scanning ")),
                 QStringList({"Scanning COM3...", "Scanning COM4...", "Scanning COM1..."}));
        QVERIFY(fixture->debugLog.contains(QStringLiteral("First COM port to try (reg) = 3")));
        QVERIFY(com3.LineCount("%%%") > 0);
        QVERIFY(com4.LineCount("%%%") > 0);
        // 19200 and 4800 fail before 9600 answers (the log opens after the port).
        QCOMPARE(ratesSet(0), QStringList({"19200", "4800", "9600"}));
        QCOMPARE(listBoxLines(*dialog),
                 QStringList({"COM1: " + sensor->Identity(), "COM3: [NO_SENSOR_FOUND]", "COM4: [NO_SENSOR_FOUND]"}));
        QVERIFY(fixture->debugLog.contains("COM1 Found " + sensor->Identity() + " @9600"));
        QCOMPARE(dialog->gbProgress->title(), QStringLiteral("[SCAN_COMPLETE]"));
        QCOMPARE(dialog->buScan->text(), QStringLiteral("[SCAN]"));
        QCOMPARE(fixture->dialogs.boxes.size(), 0);

        QCOMPARE(dialog->FoundDevices().size(), 1);
        const aDeviceCommsInfo record = dialog->FoundDevices().first();
        QCOMPARE(record.baudCode, 5);
        QCOMPARE(record.portIndex, 0);
        QCOMPARE(record.identity, sensor->Identity());
        QCOMPARE(record.baudText, QStringLiteral("9600"));
        QCOMPARE(record.kind, 1);

        // The dialog lets go of the port and closes itself a second later.
        QCOMPARE(dialog->CurrentLink(), nullptr);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->tmrClose.isActive());
        QVERIFY(WaitUntil([&] { return !dialog->isVisible(); }, 3000));
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->FoundDevices().size(), 1);
    }

    // The last good port is not listed; the first listed port cannot be
    // opened; Abort is pressed while the second port is being tried.
    void missingPortThenAbort()
    {
        CommsSettings values;
        values.firstTryPort = 7;
        QVERIFY(fixture->WriteSettings(values));
        fixture->AddMissingPort(2);
        PtyPeer &com5 = fixture->AddSilentPort(5);
        PtyPeer &com6 = fixture->AddSilentPort(6);
        fixture->ports = {QStringLiteral("COM2"), QStringLiteral("COM5"), QStringLiteral("COM6")};
        auto dialog = fixture->MakeDialog();

        bool closedDuringScan = true;
        bool controlsLocked = false;
        QTimer user;
        user.setInterval(20);
        connect(&user, &QTimer::timeout, this, [&] {
            if (com5.LineCount("%%%") == 0)
                return;
            user.stop();
            controlsLocked = !dialog->PageControl1->isEnabled() && !dialog->buClose->isEnabled() &&
                             dialog->buScan->text() == QStringLiteral("[ABORT]");
            dialog->close(); // refused while the scan runs
            closedDuringScan = !dialog->isVisible();
            dialog->buScan->click();
        });
        user.start();
        QVERIFY(fixture->ShowAndWaitForScan(*dialog));

        QVERIFY(controlsLocked);
        QVERIFY(!closedDuringScan);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->ScanAborted());
        QCOMPARE(com6.Received(), QByteArray());
        QCOMPARE(fixture->LogCount(QStringLiteral("Opening port: COM6")), 0);
        QCOMPARE(fixture->LogLinesStartingWith(QStringLiteral("Scanning ")),
                 QStringList({"Scanning COM2...", "Scanning COM5..."}));
        QCOMPARE(fixture->LogCount(QStringLiteral("Failed to open port.")), 1);

        const QStringList lines = listBoxLines(*dialog);
        QCOMPARE(lines.size(), 3);
        // A port that does not open is still "not scanned", with the reason.
        QVERIFY2(lines.at(0).startsWith(QStringLiteral("COM2: [NOT_SCANNED] (")), qPrintable(lines.at(0)));
        QVERIFY2(lines.at(0).contains(QStringLiteral("not present")), qPrintable(lines.at(0)));
        QCOMPARE(lines.at(1), QStringLiteral("COM5: [NO_SENSOR_FOUND]"));
        QCOMPARE(lines.at(2), QStringLiteral("COM6: [NOT_SCANNED]"));

        QCOMPARE(dialog->gbProgress->title(), QStringLiteral("[SCAN_ABORTED]"));
        QCOMPARE(dialog->buScan->text(), QStringLiteral("[SCAN]"));
        QVERIFY(dialog->FoundDevices().isEmpty());
        QCOMPARE(fixture->dialogs.texts(), QStringList({"[PLEASE_CHECK_VERSION_TALVEK]"}));
        QCOMPARE(fixture->dialogs.captions(), QStringList({"[No devices found]"}));
        QVERIFY(dialog->PageControl1->isEnabled());
        QVERIFY(dialog->buClose->isEnabled());
        QVERIFY(!dialog->tmrClose.isActive());

        dialog->buClose->click();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
    }

    // No port at all; then a sensor appears and the Scan button finds it; a
    // later showing scans again and forgets the earlier record.
    void noPortsThenScanAgain()
    {
        auto dialog = fixture->MakeDialog();
        QVERIFY(fixture->ShowAndWaitForScan(*dialog));
        QCOMPARE(fixture->dialogs.texts(), QStringList({"[No comm ports available]", "[PLEASE_CHECK_VERSION_TALVEK]"}));
        QCOMPARE(fixture->dialogs.captions(), QStringList({"[ERROR]", "[No devices found]"}));
        QCOMPARE(fixture->LogLinesStartingWith(QStringLiteral("Opening port")), QStringList());
        QCOMPARE(dialog->lbPorts->count(), 0);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("[Connection]"));
        QCOMPARE(dialog->PageControl1->tabText(1), QStringLiteral("[MANUAL_SETUP]"));

        QString error;
        Simulator *sensor = fixture->AddSensor(8, 19200, &error);
        QVERIFY2(sensor != nullptr, qPrintable(error));
        fixture->ports = {QStringLiteral("COM8")};
        fixture->dialogs.clear();
        const int listings = fixture->listings;
        dialog->buScan->click(); // runs the whole scan
        QCOMPARE(fixture->listings, listings + 1);
        QCOMPARE(listBoxLines(*dialog), QStringList({"COM8: " + sensor->Identity()}));
        QCOMPARE(dialog->FoundDevices().size(), 1);
        QCOMPARE(dialog->FoundDevices().first().portIndex, 7);
        QCOMPARE(dialog->FoundDevices().first().baudCode, 6);
        QCOMPARE(fixture->dialogs.boxes.size(), 0);
        QVERIFY(WaitUntil([&] { return !dialog->isVisible(); }, 3000));

        fixture->ports.clear();
        QVERIFY(fixture->ShowAndWaitForScan(*dialog));
        QVERIFY(dialog->FoundDevices().isEmpty());
        QCOMPARE(dialog->lbPorts->count(), 0);
        QCOMPARE(fixture->dialogs.boxes.size(), 2);
        QVERIFY(dialog->isVisible());
    }

    void portIndexFromName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        QTest::newRow("COM1") << "COM1" << 0;
        QTest::newRow("COM12") << "COM12" << 11;
        QTest::newRow("COM250") << "COM250" << 249;
        QTest::newRow("no number") << "COMX" << -1;
        QTest::newRow("nothing after COM") << "COM" << -1;
    }
    void portIndexFromName()
    {
        QFETCH(QString, name);
        QFETCH(int, index);
        QCOMPARE(TfrmCommsInit::PortIndexFromName(name), index);
    }
};

QTEST_MAIN(TestCommsInitScan)
#include "tst_commsinit_scan.moc"
