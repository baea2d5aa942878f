// The command line's statuses are what scripts test: each outcome of the
// workflows maps to its documented number, whatever the messages say.
#include "cli/exitstatus.h"

#include <QTest>
#include <csignal>

Q_DECLARE_METATYPE(ConnectOutcome)
Q_DECLARE_METATYPE(WriteOutcome)

class TestExitStatus : public QObject
{
    Q_OBJECT
private slots:
    void connectOutcomes_data()
    {
        QTest::addColumn<ConnectOutcome>("outcome");
        QTest::addColumn<int>("status");
        QTest::newRow("connected") << ConnectOutcome::Connected << 0;
        QTest::newRow("no ports") << ConnectOutcome::NoPorts << 3;
        QTest::newRow("no sensor") << ConnectOutcome::NoSensor << 3;
        QTest::newRow("port not opened") << ConnectOutcome::PortNotOpened << 4;
        QTest::newRow("unknown device") << ConnectOutcome::UnknownDevice << 5;
        QTest::newRow("units unusable") << ConnectOutcome::UnitsUnusable << 5;
        QTest::newRow("template unusable") << ConnectOutcome::TemplateUnusable << 5;
        QTest::newRow("setup mode failed") << ConnectOutcome::SetupModeFailed << 5;
        QTest::newRow("serial number failed") << ConnectOutcome::SerialNumberFailed << 5;
        QTest::newRow("aborted") << ConnectOutcome::Aborted << 130;
    }

    void connectOutcomes()
    {
        QFETCH(ConnectOutcome, outcome);
        QFETCH(int, status);
        QCOMPARE(int(ExitStatus(outcome)), status);
    }

    void writeOutcomes_data()
    {
        QTest::addColumn<WriteOutcome>("outcome");
        QTest::addColumn<int>("status");
        QTest::newRow("verified") << WriteOutcome::Verified << 0;
        QTest::newRow("not verified") << WriteOutcome::NotVerified << 9;
        QTest::newRow("invalid entries") << WriteOutcome::InvalidEntries << 7;
        QTest::newRow("declined") << WriteOutcome::Declined << 10;
        QTest::newRow("setup mode refused") << WriteOutcome::SetupModeRefused << 10;
        QTest::newRow("device gone") << WriteOutcome::DeviceGone << 10;
        QTest::newRow("aborted") << WriteOutcome::Aborted << 130;
    }

    void writeOutcomes()
    {
        QFETCH(WriteOutcome, outcome);
        QFETCH(int, status);
        QCOMPARE(int(ExitStatus(outcome)), status);
    }

    void readFileBackupAndRestoreOutcomes()
    {
        QCOMPARE(int(ExitStatus(ReadOutcome::Complete)), 0);
        QCOMPARE(int(ExitStatus(ReadOutcome::Incomplete)), 8);
        QCOMPARE(int(ExitStatus(ReadOutcome::SetupModeRefused)), 8);
        QCOMPARE(int(ExitStatus(ReadOutcome::DeviceGone)), 8);
        QCOMPARE(int(ExitStatus(FileOutcome::Done)), 0);
        QCOMPARE(int(ExitStatus(FileOutcome::Incompatible)), 6);
        QCOMPARE(int(ExitStatus(FileOutcome::Unreadable)), 10);
        QCOMPARE(int(ExitStatus(FileOutcome::WriteFailed)), 10);
        QCOMPARE(int(ExitStatus(FileOutcome::InvalidEntries)), 10); // a read that could not be saved
        QCOMPARE(int(ExitStatus(BackupOutcome::Saved)), 0);
        QCOMPARE(int(ExitStatus(BackupOutcome::ReadIncomplete)), 8);
        QCOMPARE(int(ExitStatus(BackupOutcome::FileNotSaved)), 10);
        QCOMPARE(int(ExitStatus(RestoreOutcome::Verified)), 0);
        QCOMPARE(int(ExitStatus(RestoreOutcome::FileRefused)), 6);
        QCOMPARE(int(ExitStatus(RestoreOutcome::InvalidEntries)), 7);
        QCOMPARE(int(ExitStatus(RestoreOutcome::NotVerified)), 9);
        QCOMPARE(int(ExitStatus(RestoreOutcome::NotWritten)), 10);
        QCOMPARE(int(ExitStatus(MonitorOutcome::Decoded)), 0);
        QCOMPARE(int(ExitStatus(MonitorOutcome::RecordFailed)), 10);
        QCOMPARE(int(ExitStatus(MonitorOutcome::NoLines)), 11);
        QCOMPARE(int(ExitStatus(MonitorOutcome::NothingDecoded)), 12);
    }

    void provisionedUnitOutcomes()
    {
        QCOMPARE(int(ExitStatus(UnitOutcome::Verified)), 0);
        QCOMPARE(int(ExitStatus(UnitOutcome::Skipped)), 0); // verified in an earlier run
        for (UnitOutcome failed : {UnitOutcome::NotVerified, UnitOutcome::NotFound, UnitOutcome::WrongSensor,
                                   UnitOutcome::Incompatible, UnitOutcome::BackupFailed, UnitOutcome::InvalidEntries,
                                   UnitOutcome::WriteFailed})
            QCOMPARE(int(ExitStatus(failed)), 14);
        QCOMPARE(int(ExitStatus(UnitOutcome::Aborted)), 130);
        // The result file's words read back as the outcomes they name.
        for (int i = 0; i <= int(UnitOutcome::Skipped); ++i) {
            UnitOutcome read = UnitOutcome::Verified;
            QVERIFY(UnitOutcomeFromText(UnitOutcomeText(UnitOutcome(i)), &read));
            QCOMPARE(int(read), i);
        }
        UnitOutcome read = UnitOutcome::Verified;
        QVERIFY(!UnitOutcomeFromText(QStringLiteral("fine"), &read));
    }

    void signalsEndWithTheShellsStatus()
    {
        QCOMPARE(SignalStatus(SIGINT), 130);
        QCOMPARE(SignalStatus(SIGTERM), 143);
        QCOMPARE(SignalStatus(SIGHUP), 129);
    }
};

QTEST_GUILESS_MAIN(TestExitStatus)
#include "tst_exitStatus.moc"
