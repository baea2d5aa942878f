// The connection dialog shows the port doctor's diagnosis when a scan finds
// nothing or a tried port will not open, and hides it when a scan succeeds.
#include "connect/portDoctorView.h"
#include "tests/connect/connectfixture.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

class TestCommsInitDoctor : public QObject
{
    Q_OBJECT
    std::unique_ptr<ConnectFixture> fixture;

    static void click(QWidget *widget)
    {
        QVERIFY(widget->isVisible() && widget->isEnabled());
        QTest::mouseClick(widget, Qt::LeftButton);
    }

private slots:
    void init()
    {
        fixture = std::make_unique<ConnectFixture>();
        QVERIFY(fixture->Ready());
    }
    void cleanup() { fixture.reset(); }

    void fruitlessScanShowsTheDiagnosis()
    {
        PtyPeer &silent = fixture->AddSilentPort(3);
        fixture->AddMissingPort(4);
        fixture->ports = {QStringLiteral("COM3"), QStringLiteral("COM4")};
        auto dialog = fixture->MakeDialog();
        QVERIFY(!dialog->gbDoctor->isVisible());
        QVERIFY(fixture->ShowAndWaitForScan(*dialog));

        // The boxes are those of any fruitless scan; the diagnosis comes besides.
        QCOMPARE(fixture->dialogs.captions(), QStringList({"[No devices found]"}));
        QVERIFY(dialog->gbDoctor->isVisible());
        QCOMPARE(dialog->gbDoctor->title(), QStringLiteral("[Port diagnosis]"));
        const QString text = dialog->gbDoctor->Text();
        const QStringList lines = text.split('\n');
        QVERIFY2(lines.first().startsWith("COM3  " + silent.SlavePath()), qPrintable(text));
        QVERIFY(text.contains("COM4  /nonexistent/talvek-test-device"));
        QVERIFY(text.contains("[Problem]: [/nonexistent/talvek-test-device does not exist"));
        QVERIFY(text.contains("      $ ls -l /dev/serial/by-id/"));
        QCOMPARE(lines.last(), QStringLiteral("[Not every port can be opened: see the problems above.]"));

        // A sensor appears; the Scan button finds it and the diagnosis goes.
        QString error;
        Simulator *sensor = fixture->AddSensor(5, 19200, &error);
        QVERIFY2(sensor != nullptr, qPrintable(error));
        fixture->ports = {QStringLiteral("COM5")};
        fixture->dialogs.clear();
        click(dialog->buScan);
        QVERIFY(WaitUntil([&] { return !dialog->Busy(); }, 60000));
        QCOMPARE(dialog->FoundDevices().size(), 1);
        QVERIFY(!dialog->gbDoctor->isVisible());
        QVERIFY(dialog->gbDoctor->Text().isEmpty());
    }

    void scanWithoutPortsShowsWhatToLookFor()
    {
        auto dialog = fixture->MakeDialog();
        QVERIFY(fixture->ShowAndWaitForScan(*dialog));
        QCOMPARE(fixture->dialogs.captions(), QStringList({"[ERROR]", "[No devices found]"}));
        QVERIFY(dialog->gbDoctor->isVisible());
        QVERIFY2(dialog->gbDoctor->Text().startsWith("  [Problem]: [No serial port was found."),
                 qPrintable(dialog->gbDoctor->Text()));
    }

    void manualTryOnAGonePortShowsItsDiagnosis()
    {
        fixture->AddMissingPort(9);
        auto dialog = fixture->MakeIdleDialog();
        QVERIFY(dialog);
        QTabBar *tabs = dialog->PageControl1->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QCOMPARE(dialog->PageControl1->currentIndex(), 1);
        dialog->edComPort->clear();
        QTest::keyClicks(dialog->edComPort, QStringLiteral("9"));
        click(dialog->buTry);
        QVERIFY(WaitUntil([&] { return !dialog->Busy(); }, 30000));
        QVERIFY2(dialog->Memo2->toPlainText().startsWith(QStringLiteral("[FAILED_TO_OPEN_PORT]")),
                 qPrintable(dialog->Memo2->toPlainText()));
        QVERIFY(dialog->gbDoctor->isVisible());
        const QString text = dialog->gbDoctor->Text();
        QVERIFY2(text.startsWith(QStringLiteral("COM9  /nonexistent/talvek-test-device")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("does not exist")));
    }
};

QTEST_MAIN(TestCommsInitDoctor)
#include "tst_commsinit_doctor.moc"
