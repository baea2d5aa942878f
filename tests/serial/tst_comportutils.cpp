#include "base/appdata.h"
#include "serial/comPortUtils.h"
#include "serial/portaccess.h"
#include "tests/support/ptypeer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <unistd.h>

class TestComPortUtils : public QObject
{
    Q_OBJECT
    QTemporaryDir dataDir;

private slots:
    void initTestCase()
    {
        QVERIFY(dataDir.isValid());
        SetAppDataFolder(dataDir.path());
    }

    void cleanup() { QDir(dataDir.path() + QStringLiteral("/ports")).removeRecursively(); }

    void listingRules_data()
    {
        QTest::addColumn<QStringList>("friendly");
        QTest::addColumn<QStringList>("ports");
        QTest::newRow("bluetooth left out") << QStringList{"Communications Port (COM1)", "USB Serial Port (COM7)",
                                                           "Standard Serial over Bluetooth link (COM9)"}
                                            << QStringList{"COM1", "COM7"};
        QTest::newRow("last bracket pair") << QStringList{"Port (A) (COM4)"} << QStringList{"COM4"};
        QTest::newRow("not a COM port") << QStringList{"Modem (LPT1)"} << QStringList{};
        QTest::newRow("lower-case com") << QStringList{"Port (com3)"} << QStringList{};
        QTest::newRow("bthenum any case")
            << QStringList{"Serial BTHENUM device (COM5)", "x BthEnum (COM6)"} << QStringList{};
        QTest::newRow("brackets reversed") << QStringList{"Port )COM2("} << QStringList{};
        QTest::newRow("no brackets") << QStringList{"COM8"} << QStringList{};
        QTest::newRow("order and duplicates kept")
            << QStringList{"B (COM12)", "A (COM3)", "C (COM12)", ""} << QStringList{"COM12", "COM3", "COM12"};
        QTest::newRow("rfcomm friendly name") << QStringList{ComFriendlyName(QString(), "/dev/rfcomm0", 400),
                                                             ComFriendlyName("FT232R USB UART", "/dev/ttyUSB0", 100)}
                                              << QStringList{"COM100"};
    }
    void listingRules()
    {
        QFETCH(QStringList, friendly);
        QFETCH(QStringList, ports);
        TfrmComPortUtils utils;
        utils.SetPortSource([friendly]() { return std::optional<QStringList>(friendly); });
        QStringList list{QStringLiteral("stale")};
        QCOMPARE(utils.ListComPorts(list), 0);
        QCOMPARE(list, ports);
    }

    void aFailedListingIs29WithAnEmptyList()
    {
        TfrmComPortUtils utils;
        utils.SetPortSource([]() { return std::optional<QStringList>(); });
        QStringList list{QStringLiteral("stale")};
        QCOMPARE(utils.ListComPorts(list), ERR_PORT_ENUMERATION);
        QVERIFY(list.isEmpty());
    }

    void numberingRule_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("number");
        QTest::newRow("ttyS0") << "/dev/ttyS0" << 1;
        QTest::newRow("ttyS31") << "/dev/ttyS31" << 32;
        QTest::newRow("ttyUSB0") << "/dev/ttyUSB0" << 100;
        QTest::newRow("ttyUSB12") << "/dev/ttyUSB12" << 112;
        QTest::newRow("ttyACM1") << "/dev/ttyACM1" << 201;
        QTest::newRow("ttyAMA0") << "/dev/ttyAMA0" << 300;
        QTest::newRow("rfcomm2") << "/dev/rfcomm2" << 402;
        QTest::newRow("pts") << "/dev/pts/3" << 0;
        QTest::newRow("unknown family") << "/dev/ttyXYZ0" << 0;
        QTest::newRow("ttyUSB out of range") << "/dev/ttyUSB100" << 0;
    }
    void numberingRule()
    {
        QFETCH(QString, device);
        QFETCH(int, number);
        QCOMPARE(ComNumberForDevice(device), number);
        if (number > 0)
            QCOMPARE(ComPortDevicePath(number), device); // no alias: the rule both ways
    }

    void aliasesComeFirstAndAreListed()
    {
        PtyPeer peer;
        QVERIFY(peer.IsOpen());
        const int index = AddComAlias(peer, 1); // shadows /dev/ttyS0
        QCOMPARE(index, 0);
        const QString alias = dataDir.path() + QStringLiteral("/ports/COM1");
        QCOMPARE(ComPortDevicePath(1), alias);
        QCOMPARE(ComNameDevicePath(QStringLiteral("com1")), alias);
        QCOMPARE(ComNameDevicePath(QStringLiteral("LPT1")), QString());
        QFile::link(QStringLiteral("/dev/talvek-missing"), dataDir.path() + QStringLiteral("/ports/COM77"));
        QFile::link(peer.SlavePath(), dataDir.path() + QStringLiteral("/ports/notacom"));

        const QList<ComPortDevice> ports = SystemComPorts();
        QVERIFY(!ports.isEmpty());
        QCOMPARE(ports.first().comNumber, 1);
        QCOMPARE(ports.first().devicePath, alias);
        QVERIFY2(ports.first().friendlyName.endsWith(peer.SlavePath() + QStringLiteral(" (COM1)")),
                 qPrintable(ports.first().friendlyName));
        int com1 = 0;
        for (const ComPortDevice &port : ports) {
            com1 += port.comNumber == 1 ? 1 : 0;
            QVERIFY(port.comNumber != 77); // its device is not there
        }
        QCOMPARE(com1, 1);

        TfrmComPortUtils utils;
        QStringList list;
        QCOMPARE(utils.ListComPorts(list), 0);
        QCOMPARE(list.first(), QStringLiteral("COM1"));
    }

    void timerExpiresOnceAndStaysExpired()
    {
        TfrmComPortUtils utils;
        QElapsedTimer clock;
        clock.start();
        utils.StartTimer(100);
        QVERIFY(!utils.TimerExpired());
        while (!utils.TimerExpired()) {
            QVERIFY(clock.elapsed() < 5000);
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        QVERIFY(clock.elapsed() >= 95);
        QTest::qWait(150);
        QVERIFY(utils.TimerExpired());
        utils.StartTimer(10000);
        QVERIFY(!utils.TimerExpired());
    }

    void logFileNameAndMarkers()
    {
        TfrmComPortUtils utils;
        QCOMPARE(TfrmComPortUtils::LogFilePath(2), dataDir.path() + QStringLiteral("/comm3.dbg"));
        QFile earlier(TfrmComPortUtils::LogFilePath(2));
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("an earlier run\n");
        earlier.close();
        utils.LogLine(QStringLiteral("before opening")); // dropped
        QVERIFY(utils.OpenLog(2));
        utils.LogLine(QStringLiteral("entry"));
        utils.CloseLog();
        utils.LogLine(QStringLiteral("after closing")); // dropped
        QFile file(TfrmComPortUtils::LogFilePath(2));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 9);
        QCOMPARE(lines.at(0), QStringLiteral("an earlier run"));
        QCOMPARE(lines.at(2), QStringLiteral(" --- Start of Debug Session --- "));
        QVERIFY(lines.at(4).endsWith(QStringLiteral(" entry")));
        QCOMPARE(lines.at(6), QStringLiteral(" --- End of Debug Session --- "));
        QCOMPARE(lines.at(8), QString());
    }

    void anUnwritableLogTurnsLoggingOff()
    {
        SetAppDataFolder(dataDir.path() + QStringLiteral("/no/such/folder"));
        TfrmComPortUtils utils;
        QVERIFY(!utils.OpenLog(0));
        QVERIFY(!utils.LogOpen());
        utils.LogLine(QStringLiteral("nothing happens"));
        SetAppDataFolder(dataDir.path());
    }

    void lockFileNames_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("name");
        QTest::newRow("usb") << "/dev/ttyUSB0"
                             << "LCK..ttyUSB0";
        QTest::newRow("pts") << "/dev/pts/3"
                             << "LCK..pts_3";
        QTest::newRow("elsewhere") << "/tmp/x"
                                   << "LCK.._tmp_x";
    }
    void lockFileNames()
    {
        QFETCH(QString, device);
        QFETCH(QString, name);
        QCOMPARE(LockFileName(device), name);
    }

    void lockFilesAreExclusiveAndStaleOnesTakenOver()
    {
        QTemporaryDir locks;
        const QString lockPath = locks.path() + QStringLiteral("/LCK..ttyUSB9");
        DeviceLockFile first(locks.path());
        QCOMPARE(first.Acquire(QStringLiteral("/dev/ttyUSB9")), DeviceLockFile::Result::Locked);
        QFile written(lockPath);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray::number(getpid()).rightJustified(10, ' ') + '\n');
        written.close();

        DeviceLockFile second(locks.path());
        qint64 holder = 0;
        QCOMPARE(second.Acquire(QStringLiteral("/dev/ttyUSB9"), &holder), DeviceLockFile::Result::Busy);
        QCOMPARE(holder, qint64(getpid()));
        first.Release();
        QVERIFY(!QFile::exists(lockPath));

        // A lock left by a process that is gone.
        QFile stale(lockPath);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("   4194303\n");
        stale.close();
        if (::kill(4194303, 0) == 0)
            QSKIP("the test's dead process id is alive here");
        QCOMPARE(second.Acquire(QStringLiteral("/dev/ttyUSB9")), DeviceLockFile::Result::Locked);
        QVERIFY(second.Held());

        DeviceLockFile nowhere(locks.path() + QStringLiteral("/missing"));
        QCOMPARE(nowhere.Acquire(QStringLiteral("/dev/ttyUSB9")), DeviceLockFile::Result::Unavailable);
    }

    void accessAdvice_data()
    {
        QTest::addColumn<bool>("processInGroup");
        QTest::addColumn<bool>("userListed");
        QTest::addColumn<QString>("advice");
        QTest::newRow("not in group") << false << false << "sudo usermod -aG dialout ann";
        QTest::newRow("added, not logged in again") << false << true << "log out and in again";
        QTest::newRow("in group, mode wrong") << true << true << "does not allow the group";
    }
    void accessAdvice()
    {
        QFETCH(bool, processInGroup);
        QFETCH(bool, userListed);
        QFETCH(QString, advice);
        AccessFacts facts;
        facts.device = QStringLiteral("/dev/ttyUSB0");
        facts.group = QStringLiteral("dialout");
        facts.user = QStringLiteral("ann");
        facts.mode = QStringLiteral("crw-rw----");
        facts.processInGroup = processInGroup;
        facts.userListedInGroup = userListed;
        const QString text = AccessAdvice(facts);
        QVERIFY2(text.contains(advice), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("/dev/ttyUSB0")));
        QCOMPARE(text.contains(QStringLiteral("usermod")), !processInGroup && !userListed);
    }

    void accessFactsOfARealDevice()
    {
        const AccessFacts facts = GatherAccessFacts(QStringLiteral("/dev/null"));
        QCOMPARE(facts.mode, QStringLiteral("crw-rw-rw-"));
        QVERIFY(!facts.group.isEmpty());
        QVERIFY(!facts.user.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestComPortUtils)
#include "tst_comportutils.moc"
