// talvek-cli audit: the statuses of verify and what show prints, on a log
// written by real writes to a simulated sensor and by the log itself.
#include "base/appdata.h"
#include "cli/exitcodes.h"
#include "engine/auditLog.h"
#include "sim/simulator.h"
#include "tests/support/cliRun.h"
#include "tests/support/simulatedSensor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace
{
constexpr int kSensorCom = 7;

using Run = CliRun;

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

AuditEntry Entry(const QString &serial, const QDateTime &time)
{
    AuditEntry entry;
    entry.time = time;
    entry.user = QStringLiteral("anna");
    entry.host = QStringLiteral("bench");
    entry.action = QStringLiteral("provision");
    entry.port = QStringLiteral("COM3");
    entry.identity = QStringLiteral("9.63 PV=9 \"CORVIX II\" [Q]");
    entry.serial = serial;
    entry.outcome = AuditEntry::kNotVerified;
    entry.notVerified = QStringList{QStringLiteral("ADDRESS")};
    entry.changes = {{QStringLiteral("ADDRESS"), QStringLiteral("Q"), QStringLiteral("R")}};
    return entry;
}
} // namespace

class TestCliAudit : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dataDir;

    QString LogPath() const { return dataDir->filePath(QStringLiteral("audit.log")); }

    Run Cli(const QStringList &arguments)
    {
        return RunCli(QStringLiteral(TALVEK_CLI_PATH), arguments, dataDir->path());
    }

    // Two entries of other sensors, from March 2026.
    void SeedLog()
    {
        const AuditLog log(LogPath());
        QVERIFY(log.Append(Entry(QStringLiteral("777"), QDateTime(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC))).ok);
        QVERIFY(log.Append(Entry(QStringLiteral("888"), QDateTime(QDate(2026, 3, 5), QTime(9, 30), Qt::UTC))).ok);
    }

    int EntriesShown(const QString &text) const
    {
        return int(text.count(QRegularExpression(QStringLiteral("^  serial: "), QRegularExpression::MultilineOption)));
    }

private slots:
    void init()
    {
        dataDir = std::make_unique<QTemporaryDir>();
        QVERIFY(dataDir->isValid());
        QVERIFY(WriteQuickLinkSettings(dataDir->path(), QStringLiteral(TALVEK_TEST_APP_DIR)));
    }

    void withoutALogVerifyAndShowSaySo()
    {
        Run run = Cli({"audit", "verify"});
        QCOMPARE(run.status, int(ExitAuditUnreadable));
        QVERIFY2(run.err.contains("does not exist"), qPrintable(run.err));
        run = Cli({"audit", "show"});
        QCOMPARE(run.status, int(ExitAuditUnreadable));
    }

    void badWordsAreUsageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no subcommand") << QStringList{"audit"};
        QTest::newRow("unknown subcommand") << QStringList{"audit", "fix"};
        QTest::newRow("a date that is none") << QStringList{"audit", "show", "--since", "yesterday"};
        QTest::newRow("a filter on verify") << QStringList{"audit", "verify", "--serial", "1"};
    }

    void badWordsAreUsageErrors()
    {
        QFETCH(QStringList, arguments);
        const Run run = Cli(arguments);
        QCOMPARE(run.status, int(ExitUsage));
        QVERIFY(!run.err.isEmpty());
    }

    void showFiltersBySerialAndDate()
    {
        SeedLog();
        Run run = Cli({"audit", "show"});
        QCOMPARE(run.status, int(ExitOk));
        QCOMPARE(EntriesShown(run.out), 2);
        QVERIFY(run.out.contains("2026-03-01T08:00:00.000Z  anna@bench  provision  COM3"));
        QVERIFY(run.out.contains("  outcome: not verified: ADDRESS"));
        QVERIFY(run.out.contains("  ADDRESS: Q -> R"));
        run = Cli({"audit", "show", "--serial", "888"});
        QCOMPARE(EntriesShown(run.out), 1);
        QVERIFY(run.out.contains("  serial: 888"));
        QVERIFY(!run.out.contains("  serial: 777"));
        run = Cli({"audit", "show", "--since", "2026-03-02"});
        QCOMPARE(EntriesShown(run.out), 1);
        QVERIFY(run.out.contains("  serial: 888"));
        run = Cli({"audit", "show", "--since", "2026-03-05T09:30:01"});
        QCOMPARE(run.status, int(ExitOk));
        QCOMPARE(EntriesShown(run.out), 0);
        run = Cli({"audit", "show", "--since", "2026-03-05T10:29:00+01:00"});
        QCOMPARE(EntriesShown(run.out), 1); // 09:29 UTC
        run = Cli({"audit", "show", "--serial", "777", "--since", "2026-03-02"});
        QCOMPARE(EntriesShown(run.out), 0);
    }

    // The program changes to its own folder at start: a relative data folder
    // must still mean the one below where it was started.
    void aRelativeDataFolderIsTheOneWhereTheProgramStarted()
    {
        SeedLog();
        QDir parent(dataDir->path());
        QVERIFY(parent.cdUp());
        const QString relative = QFileInfo(dataDir->path()).fileName();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TALVEK_DATA_DIR"), relative);
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(parent.path());
        process.start(QStringLiteral(TALVEK_CLI_PATH), {"audit", "show"});
        const Run run = FinishCli(process);
        QCOMPARE(run.status, int(ExitOk));
        QCOMPARE(EntriesShown(run.out), 2);
    }

    void verifyNamesTheFirstBrokenEntry()
    {
        SeedLog();
        Run run = Cli({"audit", "verify"});
        QCOMPARE(run.status, int(ExitOk));
        QVERIFY2(run.out.contains("2 entries, chain intact"), qPrintable(run.out));
        QByteArray data = ReadFile(LogPath());
        data.replace(data.indexOf("\"R\""), 3, "\"S\""); // the first entry's new address, edited
        QFile file(LogPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(data);
        file.close();
        run = Cli({"audit", "verify"});
        QCOMPARE(run.status, int(ExitAuditBroken));
        QVERIFY2(run.err.contains("line 1 was edited"), qPrintable(run.err));
        // show still prints what it can, and says which lines are no entry.
        run = Cli({"audit", "show"});
        QCOMPARE(EntriesShown(run.out), 1);
        QVERIFY(run.err.contains("line 1 is no entry"));
    }

    void aWriteFromTheCommandLineIsRecordedOnce()
    {
        SimOptions options;
        options.product = QStringLiteral("Tempris KDX530-3 PV9");
        options.dataDir = QStringLiteral(TALVEK_TEST_APP_DIR);
        options.holdBackMs = 100;
        QString error;
        std::unique_ptr<Simulator> sensor = StartSimulatedSensor(options, dataDir->path() + "/", kSensorCom, &error);
        QVERIFY2(sensor, qPrintable(error));
        const QString file = dataDir->filePath("sensor.tcf");
        Run run = Cli({"read", "--port", "COM7", "--baud", "19200", "-o", file});
        QCOMPARE(run.status, int(ExitOk));
        QVERIFY(!QFile::exists(LogPath())); // a read is no write
        run = Cli({"write", "--port", "COM7", "--baud", "19200", file});
        QCOMPARE(run.status, int(ExitOk));
        QVERIFY(!run.err.contains("not recorded"));
        run = Cli({"audit", "show", "--serial", "12345"});
        QCOMPARE(EntriesShown(run.out), 1);
        QVERIFY(run.out.contains("  write  COM7"));
        QVERIFY(run.out.contains("  outcome: verified"));
        QVERIFY(run.out.contains(QRegularExpression("  OUTPUTINT: - -> \\d+")));
        QCOMPARE(Cli({"audit", "verify"}).status, int(ExitOk));

        // A log that cannot be written: the write stands, and says so.
        QVERIFY(QFile::remove(LogPath()));
        QVERIFY(QDir(dataDir->path()).mkdir("audit.log"));
        run = Cli({"write", "--port", "COM7", "--baud", "19200", file});
        QCOMPARE(run.status, int(ExitOk));
        QVERIFY2(run.err.contains("the write was not recorded"), qPrintable(run.err));
        QCOMPARE(Cli({"audit", "verify"}).status, int(ExitAuditUnreadable));
    }
};

QTEST_GUILESS_MAIN(TestCliAudit)
#include "tst_cliaudit.moc"
