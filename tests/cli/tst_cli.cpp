// The command-line program as a script uses it: each command run as its own
// process against a simulated sensor known as COM7 in a private data folder.
#include "cli/commandline.h"
#include "cli/configdiff.h"
#include "cli/exitcodes.h"
#include "sim/simulator.h"
#include "templates/ordaUserConfig.h"
#include "tests/support/cliRun.h"
#include "tests/support/ptypeer.h"
#include "tests/support/simulatedSensor.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/stat.h>

namespace
{
constexpr int kSensorCom = 7;
const QString kTempris = QStringLiteral("Tempris KDX530-3 PV9");
const QString kCorvix = QStringLiteral("Corvix II PV4");

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Sets one setting's value in a configuration file, as text and, for a
// number, as the number; false when it has none.
bool setInFile(const QString &fileName, const QString &cmd, const QString &value)
{
    IXMLproductsType document = IXMLproductsType::Load(fileName);
    if (document.IsNull() || document.Count() < 1)
        return false;
    bool found = false;
    const IXMLdeviceType device = document.Device(0);
    for (int c = 0; c < device.Count(); ++c)
        for (int p = 0; p < device.Category(c).Count(); ++p) {
            IXMLparamType param = device.Category(c).Param(p);
            if (param.Cmd() == cmd) {
                param.SetValuestring(value);
                bool isNumber = false;
                const int number = value.toInt(&isNumber);
                if (isNumber)
                    param.SetValue(number);
                found = true;
            }
        }
    QSaveFile file(fileName);
    return found && file.open(QIODevice::WriteOnly) && file.write(document.Document().toByteArray()) > 0 &&
           file.commit();
}

using Run = CliRun;
} // namespace

class TestCli : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dataDir;
    std::unique_ptr<Simulator> sensor;

    void startSensor(const QString &product, const SimFaults &faults = {}, int baud = 19200, int intervalMs = 1000)
    {
        sensor.reset(); // one sensor on the alias at a time
        SimOptions options;
        options.product = product;
        options.dataDir = QStringLiteral(TALVEK_TEST_APP_DIR);
        options.holdBackMs = 100;
        options.faults = faults;
        options.baud = baud;
        options.streamIntervalMs = intervalMs;
        QString error;
        sensor = StartSimulatedSensor(options, dataDir->path() + "/", kSensorCom, &error);
        QVERIFY2(sensor, qPrintable(error));
    }

    Run cli(const QStringList &arguments)
    {
        return RunCli(QStringLiteral(TALVEK_CLI_PATH), arguments, dataDir->path());
    }

    QString path(const QString &name) const { return dataDir->filePath(name); }

    // Reads the sensor into a file with the direct connection.
    void readInto(const QString &fileName)
    {
        const Run run = cli({"read", "--port", "COM7", "--baud", "19200", "-o", fileName});
        QVERIFY2(run.status == ExitOk, qPrintable(run.err));
        QVERIFY(QFileInfo::exists(fileName));
    }

private slots:
    void init()
    {
        dataDir = std::make_unique<QTemporaryDir>();
        QVERIFY(dataDir->isValid());
        QVERIFY(WriteQuickLinkSettings(dataDir->path(), QStringLiteral(TALVEK_TEST_APP_DIR)));
    }

    void cleanup()
    {
        sensor.reset();
        dataDir.reset();
    }

    void portNamesAreParsed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("COM name") << "COM7" << 7;
        QTest::newRow("lower case") << "com12" << 12;
        QTest::newRow("bare number") << "3" << 3;
        QTest::newRow("zero") << "COM0" << 0;
        QTest::newRow("no number") << "COMx" << 0;
        QTest::newRow("device path") << "/dev/ttyS0" << 0;
    }

    void portNamesAreParsed()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        QCOMPARE(ParseComNumber(text), number);
    }

    void usageErrorsHaveTheirStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"erase"};
        QTest::newRow("read without output") << QStringList{"read", "--port", "COM7"};
        QTest::newRow("baud without port") << QStringList{"read", "--baud", "19200", "-o", "x.tcf"};
        QTest::newRow("unknown rate") << QStringList{"read", "--port", "COM7", "--baud", "1234", "-o", "x.tcf"};
        QTest::newRow("write without file") << QStringList{"write", "--port", "COM7"};
        QTest::newRow("diff with one file") << QStringList{"diff", "a.tcf"};
        QTest::newRow("unknown option") << QStringList{"scan", "--force"};
        QTest::newRow("unknown language") << QStringList{"ports", "--lang", "de"};
        QTest::newRow("monitor for no time") << QStringList{"monitor", "--duration", "0"};
        QTest::newRow("monitor for a word") << QStringList{"monitor", "--duration", "long"};
        QTest::newRow("monitor with an output file") << QStringList{"monitor", "-o", "x.tcf"};
    }

    void usageErrorsHaveTheirStatus()
    {
        QFETCH(QStringList, arguments);
        const Run run = cli(arguments);
        QCOMPARE(run.status, int(ExitUsage));
        QVERIFY(!run.err.isEmpty());
    }

    void eachCommandHasHelp_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("option");
        QTest::newRow("scan") << "scan"
                              << "--port";
        QTest::newRow("read") << "read"
                              << "--output";
        QTest::newRow("write") << "write"
                               << "--yes-mismatch";
        QTest::newRow("backup") << "backup"
                                << "--baud";
        QTest::newRow("restore") << "restore"
                                 << "--yes-mismatch";
        QTest::newRow("diff") << "diff"
                              << "--lang";
        QTest::newRow("monitor") << "monitor"
                                 << "--duration";
    }

    void eachCommandHasHelp()
    {
        QFETCH(QString, command);
        QFETCH(QString, option);
        const Run run = cli({command, "--help"});
        QCOMPARE(run.status, int(ExitOk));
        QVERIFY2(run.out.contains(option), qPrintable(run.out));
        QVERIFY(run.out.contains("verification failed"));
    }

    void portsListsTheSimulatedSensor()
    {
        startSensor(kTempris);
        const Run run = cli({"ports"});
        QCOMPARE(run.status, int(ExitOk));
        const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(!lines.isEmpty() && lines.first().startsWith("COM7\t"), qPrintable(run.out));
        QVERIFY(lines.first().contains(sensor->DevicePath()));
    }

    void scanOfOnePortFindsTheSensor()
    {
        startSensor(kTempris);
        const Run run = cli({"scan", "--port", "COM7"});
        QVERIFY2(run.status == ExitOk, qPrintable(run.err));
        const QStringList fields = run.out.trimmed().split('\t');
        QCOMPARE(fields.size(), 3);
        QCOMPARE(fields.at(0), QStringLiteral("COM7"));
        QCOMPARE(fields.at(1), QStringLiteral("19200"));
        QCOMPARE(fields.at(2), sensor->Identity());
    }

    void aPortWithoutSensorIsReported_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("explained"); // a pattern standard error must match
        // COM7 is a sensor at a rate no scan or try uses; COM99 maps to no device.
        QTest::newRow("scan, silent") << QStringList{"scan", "--port", "COM7"} << int(ExitNoSensor)
                                      << "tried .*COM7.* at 19200, 4800, 9600, 38400, 57600 baud: .*\n"
                                         "talvek-cli: no sensor answered";
        QTest::newRow("read, silent") << QStringList{"read", "--port", "COM7", "--baud", "19200", "-o", "x.tcf"}
                                      << int(ExitNoSensor) << "tried COM7 at 19200 baud: no sensor answered";
        QTest::newRow("scan, no device") << QStringList{"scan", "--port", "COM99"} << int(ExitPortOpen)
                                         << "COM99 could not be opened: .*\\(.+\\)";
        QTest::newRow("read, no device") << QStringList{"read", "--port", "COM99", "--baud", "19200", "-o", "x.tcf"}
                                         << int(ExitPortOpen) << "COM99 could not be opened: .*\\(.+\\)";
    }

    void aPortWithoutSensorIsReported()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, explained);
        startSensor(kTempris, {}, 2400);
        const Run run = cli(arguments);
        QCOMPARE(run.status, status);
        QVERIFY(!QFileInfo::exists(path("x.tcf")));
        QVERIFY2(QRegularExpression(explained).match(run.err).hasMatch(), qPrintable(run.err));
    }

    void readSavesTheSettingsAndPrintsTheSummary()
    {
        startSensor(kTempris);
        const QString file = path("read.tcf");
        const Run run = cli({"read", "--port", "COM7", "--baud", "19200", "-o", file});
        QVERIFY2(run.status == ExitOk, qPrintable(run.err));
        IXMLproductsType document = IXMLproductsType::Load(file);
        QVERIFY(!document.IsNull());
        QVERIFY(document.Device(0).Name().contains("KDX530-3", Qt::CaseInsensitive));
        QVERIFY2(run.out.count('\n') >= 3, qPrintable(run.out));
        QVERIFY(!sensor->InSetupMode()); // let go properly
    }

    void readAfterAScanOfThePort()
    {
        startSensor(kCorvix);
        const QString file = path("scanned.tcf");
        const Run run = cli({"read", "--port", "COM7", "-o", file});
        QVERIFY2(run.status == ExitOk, qPrintable(run.err));
        QVERIFY(QFileInfo::exists(file));
    }

    void aSensorFallingSilentLeavesTheReadIncomplete_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("read") << "read";
        QTest::newRow("backup") << "backup";
    }

    void aSensorFallingSilentLeavesTheReadIncomplete()
    {
        QFETCH(QString, command);
        SimFaults faults;
        faults.silenceAfter = 12; // after connecting, part way through the settings
        startSensor(kTempris, faults);
        const QString file = path("partial.tcf");
        const Run run = cli({command, "--port", "COM7", "--baud", "19200", "-o", file});
        QCOMPARE(run.status, int(ExitReadIncomplete));
        QVERIFY(!QFileInfo::exists(file));
    }

    void aChangedFileIsWrittenAndVerified()
    {
        startSensor(kTempris);
        const QString file = path("changed.tcf");
        readInto(file);
        const QString value = sensor->Value("OUTPUTINT") == "7" ? "8" : "7";
        QVERIFY(setInFile(file, "OUTPUTINT", value));
        const Run run = cli({"write", "--port", "COM7", "--baud", "19200", file});
        QVERIFY2(run.status == ExitOk, qPrintable(run.err));
        QCOMPARE(sensor->Value("OUTPUTINT"), value);
        QVERIFY(!sensor->InSetupMode());
    }

    void aRefusedWriteFailsVerificationAndIsNamed()
    {
        SimFaults faults;
        faults.refused = {"OUTPUTINT"};
        startSensor(kTempris, faults);
        const QString file = path("refused.tcf");
        readInto(file);
        const QString before = sensor->Value("OUTPUTINT");
        const QString value = before == "9" ? "10" : "9";
        QVERIFY(setInFile(file, "OUTPUTINT", value));
        const Run run = cli({"write", "--port", "COM7", "--baud", "19200", file});
        QCOMPARE(run.status, int(ExitVerifyFailed));
        QVERIFY2(run.out.contains("Not verified: OUTPUTINT"), qPrintable(run.out));
        QCOMPARE(sensor->Value("OUTPUTINT"), before);
    }

    // A sensor that leaves commands unanswered but is still there.

    void aReadPastUnansweredCommandsNamesThem()
    {
        SimFaults faults;
        faults.ignored = {"TEMPUNIT", "PRESSUNIT", "AVGLONG"}; // three in a row
        startSensor(kTempris, faults);
        const Run run = cli({"read", "--port", "COM7", "--baud", "19200", "-o", path("partial.tcf")});
        QCOMPARE(run.status, int(ExitReadIncomplete));
        const QStringList lines = run.out.split('\n');
        const qsizetype problems = lines.indexOf("PROBLEMS WERE ENCOUNTERED WITH THE FOLLOWING COMMANDS:");
        QVERIFY2(problems >= 0, qPrintable(run.out + run.err));
        QCOMPARE(lines.mid(problems + 2, 4), QStringList({"    TEMPUNIT", "    PRESSUNIT", "    AVGLONG", ""}));
        // Everything after them was read.
        QVERIFY2(run.out.contains("    USERINF : "), qPrintable(run.out));
    }

    void aWritePastAnUnansweredLineNamesWhatDidNotTake()
    {
        startSensor(kTempris);
        const QString file = path("unanswered.tcf");
        readInto(file);
        SimFaults faults;
        faults.ignored = {"ECHO"};
        startSensor(kTempris, faults);
        const QString value = sensor->Value("AVGLONG") == "30" ? "20" : "30";
        QVERIFY(setInFile(file, "AVGLONG", value)); // a line after the unanswered one
        const Run run = cli({"write", "--port", "COM7", "--baud", "19200", file});
        QCOMPARE(run.status, int(ExitVerifyFailed));
        QVERIFY2(run.out.contains("Not verified: ECHO"), qPrintable(run.out + run.err));
        QVERIFY2(!run.out.contains("Not verified: AVGLONG"), qPrintable(run.out));
        QCOMPARE(sensor->Value("AVGLONG"), value);
    }

    void aFileForAnotherProductIsRefused_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("write") << "write";
        QTest::newRow("restore") << "restore";
    }

    void aFileForAnotherProductIsRefused()
    {
        QFETCH(QString, command);
        startSensor(kCorvix);
        const QString file = path("corvix.tcf");
        readInto(file);
        startSensor(kTempris);
        const int commandsBefore = sensor->Commands();
        const Run run = cli({command, "--port", "COM7", "--baud", "19200", file, "--yes-mismatch"});
        QCOMPARE(run.status, int(ExitIncompatibleFile));
        const QString fileProduct = IXMLproductsType::Load(file).Device(0).Name();
        QVERIFY2(run.err.contains(fileProduct), qPrintable(run.err));
        QVERIFY(sensor->Commands() > commandsBefore); // it did connect
    }

    void aProtocolMismatchNeedsTheOption_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<int>("status");
        QTest::newRow("refused") << false << int(ExitIncompatibleFile);
        QTest::newRow("accepted") << true << int(ExitOk);
    }

    void aProtocolMismatchNeedsTheOption()
    {
        QFETCH(bool, accept);
        QFETCH(int, status);
        startSensor(kTempris);
        const QString file = path("pv9.tcf");
        readInto(file);
        // The same station with an older protocol.
        startSensor(QStringLiteral("9.63 PV=8 OPTION=8803 \"TEMPRIS KDX530-3-8803\" [Q]"));
        QStringList arguments{"write", "--port", "COM7", "--baud", "19200", file};
        if (accept)
            arguments << "--yes-mismatch";
        const Run run = cli(arguments);
        QVERIFY2(run.status == status, qPrintable(run.err));
        QVERIFY(run.err.contains("protocol mismatch"));
        QVERIFY(run.err.contains(accept ? "[yes]" : "[no]"));
    }

    void anInvalidEntryStopsTheWrite()
    {
        startSensor(kTempris);
        const QString file = path("invalid.tcf");
        readInto(file);
        QVERIFY(setInFile(file, "OUTPUTINT", "0")); // below its minimum
        const QString before = sensor->Value("OUTPUTINT");
        const Run run = cli({"write", "--port", "COM7", "--baud", "19200", file});
        QCOMPARE(run.status, int(ExitInvalidEntries));
        QCOMPARE(sensor->Value("OUTPUTINT"), before);
    }

    void backupThenRestore()
    {
        startSensor(kTempris);
        const QString file = path("backup.tcf");
        const Run backup = cli({"backup", "--port", "COM7", "--baud", "19200", "-o", file});
        QVERIFY2(backup.status == ExitOk, qPrintable(backup.err));
        QVERIFY(!backup.out.isEmpty());
        const QString value = sensor->Value("OUTPUTINT") == "7" ? "8" : "7";
        QVERIFY(setInFile(file, "OUTPUTINT", value));
        const Run restore = cli({"restore", "--port", "COM7", "--baud", "19200", file});
        QVERIFY2(restore.status == ExitOk, qPrintable(restore.err));
        QCOMPARE(sensor->Value("OUTPUTINT"), value);
    }

    void aPortAnsweringGarbageIsExplained()
    {
        // Something on COM7 that answers every line with junk, never a sensor's words.
        PtyPeer junk;
        QVERIFY(junk.IsOpen());
        junk.SetResponder([](const QByteArray &) { return QList<QByteArray>{"\xff\x1b\x80 ?#~ \x7f\xfe"}; });
        QVERIFY(QDir().mkpath(path("ports")));
        QVERIFY(QFile::link(junk.SlavePath(), path("ports/COM7")));
        const Run run = cli({"read", "--port", "COM7", "-o", path("x.tcf")});
        QCOMPARE(run.status, int(ExitNoSensor));
        QVERIFY2(run.err.contains(QRegularExpression("tried .*COM7.* at 19200, 4800, 9600, 38400, 57600 baud: ")),
                 qPrintable(run.err));
        QVERIFY2(run.err.contains("talvek-cli: no sensor answered"), qPrintable(run.err));
        QVERIFY(!junk.Lines().isEmpty()); // it was asked
    }

    void aSensorRefusingSetupModeIsExplained()
    {
        SimFaults faults;
        faults.silenceAfter = 2; // the scan's and the connection's unit queries, then nothing
        startSensor(kTempris, faults);
        const Run run = cli({"read", "--port", "COM7", "--baud", "19200", "-o", path("x.tcf")});
        QCOMPARE(run.status, int(ExitUnknownDevice));
        QVERIFY2(
            run.err.contains(QRegularExpression("Failed to get SETUP MODE\\s+COM7 \\(19200 baud\\): the sensor did "
                                                "not answer")),
            qPrintable(run.err));
    }

    void aStopSignalAbortsTheWorkAndLetsTheSensorGo_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<int>("status");
        QTest::newRow("read, SIGINT") << "read" << int(SIGINT) << int(ExitInterrupted);
        QTest::newRow("read, SIGTERM") << "read" << int(SIGTERM) << int(ExitTerminated);
        QTest::newRow("write, SIGINT") << "write" << int(SIGINT) << int(ExitInterrupted);
    }

    void aStopSignalAbortsTheWorkAndLetsTheSensorGo()
    {
        QFETCH(QString, command);
        QFETCH(int, signalNumber);
        QFETCH(int, status);
        QStringList arguments{command, "--port", "COM7", "--baud", "19200"};
        if (command == QLatin1String("write")) {
            startSensor(kTempris);
            readInto(path("written.tcf"));
            QVERIFY(setInFile(path("written.tcf"), "OUTPUTINT", sensor->Value("OUTPUTINT") == "7" ? "8" : "7"));
            arguments << path("written.tcf");
        } else {
            arguments << "-o" << path("x.tcf");
        }
        SimFaults faults;
        faults.slowMs = 150; // reading or writing every setting would take well over a minute
        startSensor(kTempris, faults);
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TALVEK_DATA_DIR", dataDir->path());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(TALVEK_CLI_PATH), arguments);
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(sensor->InSetupMode(), 30000);
        QTest::qWait(1000); // into the settings
        QCOMPARE(::kill(pid_t(process.processId()), signalNumber), 0);
        QVERIFY(process.waitForFinished(30000));
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY2(process.exitCode() == status, qPrintable(err));
        QVERIFY(!QFileInfo::exists(path("x.tcf")));
        QTRY_VERIFY2_WITH_TIMEOUT(!sensor->InSetupMode(), qPrintable(err), 2000); // told EXIT: measuring again
    }

    void monitorPrintsAndRecordsDecodedLines()
    {
        startSensor(kTempris, {}, 19200, 200);
        const Run run = cli({"monitor", "--port", "COM7", "--baud", "19200", "--csv", path("live.csv"), "--duration",
                             "2.5"});
        QVERIFY2(run.status == ExitOk, qPrintable(run.err));
        const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.size() >= 3, qPrintable(run.out));
        const QRegularExpression decoded(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z  NODE=Q  DIR=\d+ DEG  )"));
        for (const QString &line : lines)
            QVERIFY2(decoded.match(line).hasMatch(), qPrintable(line));
        QVERIFY2(run.err.contains(QStringLiteral("%1 lines received, %1 decoded, 0 not decoded").arg(lines.size())),
                 qPrintable(run.err));

        const QStringList rows = QString::fromUtf8(readFile(path("live.csv"))).split("\r\n", Qt::SkipEmptyParts);
        QVERIFY(rows.first().startsWith("time,NODE,DIR [DEG],SPEED [MS],"));
        QCOMPARE(rows.size(), lines.size() + 1);
        QCOMPARE(rows.at(1).section(',', 0, 0), lines.first().section(' ', 0, 0)); // the same line, the same time
        QVERIFY(!sensor->InSetupMode());
    }

    void monitorPrintsRawLines()
    {
        startSensor(kTempris, {}, 19200, 200);
        const Run run = cli({"monitor", "--port", "COM7", "--baud", "19200", "--raw", "--duration", "1.5"});
        QVERIFY2(run.status == ExitOk, qPrintable(run.err));
        const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY(!lines.isEmpty());
        for (const QString &line : lines)
            QVERIFY2(QRegularExpression(QStringLiteral(R"(Z Q,\d+,.*\*[0-9A-F]{2}$)")).match(line).hasMatch(),
                     qPrintable(line));
    }

    void monitorStatuses_data()
    {
        QTest::addColumn<QString>("sensorState");
        QTest::addColumn<QString>("csv");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("no device") << "absent" << "" << int(ExitPortOpen) << "COM7 could not be opened";
        QTest::newRow("no sensor answers") << "other rate" << "" << int(ExitNoSensor) << "no sensor answered";
        QTest::newRow("no line") << "silent" << "" << int(ExitNoData) << "0 lines received";
        QTest::newRow("no line decodes") << "overlong" << "" << int(ExitNotDecoded) << "0 decoded";
        QTest::newRow("CSV cannot be created") << "measuring" << "missing/live.csv" << int(ExitFailed) << "live.csv";
    }

    void monitorStatuses()
    {
        QFETCH(QString, sensorState);
        QFETCH(QString, csv);
        QFETCH(int, status);
        QFETCH(QString, message);
        SimFaults faults;
        faults.overlong = sensorState == "overlong";
        if (sensorState != "absent")
            startSensor(kTempris, faults, sensorState == "other rate" ? 2400 : 19200,
                        sensorState == "silent" ? 600000 : 200);
        QStringList arguments{"monitor", "--port", "COM7", "--baud", "19200", "--duration", "1.5"};
        if (!csv.isEmpty())
            arguments << "--csv" << path(csv);
        const Run run = cli(arguments);
        QVERIFY2(run.status == status, qPrintable(run.err));
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
    }

    void monitorDecodesByAConfigurationReadEarlier()
    {
        startSensor(kTempris);
        readInto(path("sensor.tcf"));
        IXMLproductsType document = IXMLproductsType::Load(path("sensor.tcf"));
        QVERIFY(!document.IsNull());
        const IXMLdeviceType device = document.Device(0);
        for (int c = 0; c < device.Count(); ++c)
            for (int p = 0; p < device.Category(c).Count(); ++p)
                if (device.Category(c).Param(p).Cmd() == QLatin1String("REPORT"))
                    device.Category(c).Param(p).SetReportvalue("NODE TEMP STATUS");
        QSaveFile file(path("sensor.tcf"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(document.Document().toByteArray()) > 0 && file.commit());
        startSensor(kTempris, {}, 19200, 200);
        QVERIFY(cli({"write", "--port", "COM7", "--baud", "19200", path("sensor.tcf")}).status == ExitOk);

        const QStringList monitor{"monitor", "--port", "COM7", "--baud", "19200", "--duration", "1.5"};
        const Run byTemplate = cli(monitor); // the template's report has eight fields
        QVERIFY2(byTemplate.status == ExitNotDecoded, qPrintable(byTemplate.err));
        QVERIFY2(byTemplate.err.contains("3 fields where the report has 8"), qPrintable(byTemplate.err));
        const Run byFile = cli(monitor + QStringList{"--config", path("sensor.tcf")});
        QVERIFY2(byFile.status == ExitOk, qPrintable(byFile.err));
        QVERIFY2(byFile.out.contains(QRegularExpression("Z  NODE=Q  TEMP=[-+]\\d+\\.\\d C  STATUS=0000\n")),
                 qPrintable(byFile.out));

        const Run otherProduct =
            cli(monitor + QStringList{"--config", QStringLiteral(TALVEK_TEST_APP_DIR "/corvixII_pv4_template.tdx")});
        QCOMPARE(otherProduct.status, int(ExitIncompatibleFile));
    }

    void monitorEndsAtCtrlCWithWhatItSaw()
    {
        startSensor(kTempris, {}, 19200, 200);
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TALVEK_DATA_DIR", dataDir->path());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(TALVEK_CLI_PATH), {"monitor", "--port", "COM7", "--baud", "19200"});
        QVERIFY(process.waitForStarted());
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += process.readAllStandardOutput()).count('\n') >= 2, 20000);
        QCOMPARE(::kill(pid_t(process.processId()), SIGINT), 0);
        QVERIFY(process.waitForFinished(20000));
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY2(process.exitCode() == ExitOk, qPrintable(err));
        QVERIFY2(err.contains(" decoded, 0 not decoded"), qPrintable(err));
    }

    void aSaveTargetThatIsNoRegularFileIsRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("pipe") << "pipe"; // folders and sockets: tst_base
        QTest::newRow("link to a pipe") << "link";
    }

    void aSaveTargetThatIsNoRegularFileIsRefused()
    {
        QFETCH(QString, kind);
        startSensor(kTempris);
        const QString pipe = path("pipe.tcf");
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(QDir().mkdir(path("folder.tcf")));
        QVERIFY(QFile::link(pipe, path("link.tcf")));
        const QString target = path(kind + ".tcf");
        const Run run = cli({"read", "--port", "COM7", "--baud", "19200", "-o", target});
        QCOMPARE(run.status, int(ExitFailed));
        QVERIFY2(run.err.contains(target) && run.err.contains("not a regular file"), qPrintable(run.err));
        struct stat info {
        };
        QCOMPARE(::stat(QFile::encodeName(pipe).constData(), &info), 0);
        QVERIFY(S_ISFIFO(info.st_mode));
        QVERIFY(QFileInfo(path("folder.tcf")).isDir());
        QVERIFY(QFileInfo(path("link.tcf")).isSymLink());
        QVERIFY(!sensor->InSetupMode());
    }

    void aSaveThroughALinkWritesTheFileItPointsTo()
    {
        startSensor(kTempris);
        QVERIFY(QDir().mkdir(path("real")));
        QVERIFY(QFile::link("real/settings.tcf", path("link.tcf"))); // to a file not there yet
        readInto(path("link.tcf"));
        QVERIFY(QFileInfo(path("link.tcf")).isSymLink());
        QVERIFY(!IXMLproductsType::Load(path("real/settings.tcf")).IsNull());
        readInto(path("link.tcf")); // and again over the existing file
        QVERIFY(QFileInfo(path("link.tcf")).isSymLink());
    }

    void aFailedSaveSaysWhy()
    {
        startSensor(kTempris);
        const QString target = path("no/such/folder/x.tcf");
        const Run run = cli({"read", "--port", "COM7", "--baud", "19200", "-o", target});
        QCOMPARE(run.status, int(ExitFailed));
        QVERIFY2(run.err.contains("Settings have not been saved"), qPrintable(run.err));
        QVERIFY2(run.err.contains(target + ": cannot be created: No such file or directory"), qPrintable(run.err));
    }

    void aSelectionOutOfRangeIsRefusedBeforeAnythingIsSent()
    {
        startSensor(kTempris);
        const QString file = path("range.tcf");
        readInto(file);
        const QString interval = sensor->Value("OUTPUTINT") == "7" ? "8" : "7";
        QVERIFY(setInFile(file, "OUTPUTINT", interval));
        // One select param's index past its options.
        IXMLproductsType document = IXMLproductsType::Load(file);
        QString changed;
        const IXMLdeviceType device = document.Device(0);
        for (int c = 0; c < device.Count() && changed.isEmpty(); ++c)
            for (int p = 0; p < device.Category(c).Count() && changed.isEmpty(); ++p) {
                IXMLparamType param = device.Category(c).Param(p);
                if (param.Type() == QLatin1String("select")) {
                    param.SetSelected(param.Option().Count() + 3);
                    changed = param.Cmd();
                }
            }
        QVERIFY(!changed.isEmpty());
        QSaveFile save(file);
        QVERIFY(save.open(QIODevice::WriteOnly));
        save.write(document.Document().toByteArray());
        QVERIFY(save.commit());
        const QString before = sensor->Value("OUTPUTINT");
        const Run run = cli({"write", "--port", "COM7", "--baud", "19200", file});
        QVERIFY2(run.status == ExitInvalidEntries, qPrintable(run.err));
        QVERIFY2(run.err.contains(" is invalid"), qPrintable(run.err));
        QCOMPARE(sensor->Value("OUTPUTINT"), before); // nothing was sent
    }

    // Files a write cannot use: refused at once, before the sensor hears a
    // command, for write and restore alike; a pipe must not block diff.
    void anUnusableInputIsRefusedBeforeTheSensorIsTouched_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("pipe") << "pipe" << "not a regular file";
        QTest::newRow("folder") << "folder" << "not a regular file";
        QTest::newRow("a setting without its command") << "nocmd" << "has no command";
        QTest::newRow("no settings") << "noparams" << "holds no settings";
        QTest::newRow("two devices") << "twodevices" << "holds 2 devices";
    }

    void anUnusableInputIsRefusedBeforeTheSensorIsTouched()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        startSensor(kTempris);
        const QString good = path("good.tcf");
        readInto(good);
        const int commandsBefore = sensor->Commands();
        const QString file = path("input.tcf");
        if (kind == "pipe") {
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        } else if (kind == "folder") {
            QVERIFY(QDir().mkdir(file));
        } else {
            IXMLproductsType document = IXMLproductsType::Load(good);
            QVERIFY(!document.IsNull());
            IXMLdeviceType device = document.Device(0);
            if (kind == "nocmd") {
                QDomElement cmd = device.Category(0).Param(0).Element().firstChildElement("cmd");
                cmd.parentNode().removeChild(cmd);
            } else if (kind == "noparams") {
                for (int c = 0; c < device.Count(); ++c) {
                    QDomElement category = device.Category(c).Element();
                    for (QDomElement param = category.firstChildElement("param"); !param.isNull();
                         param = category.firstChildElement("param"))
                        category.removeChild(param);
                }
            } else {
                document.Element().appendChild(device.Element().cloneNode(true));
            }
            QSaveFile save(file);
            QVERIFY(save.open(QIODevice::WriteOnly));
            save.write(document.Document().toByteArray());
            QVERIFY(save.commit());
        }
        for (const char *command : {"write", "restore"}) {
            const Run run = cli({command, "--port", "COM7", "--baud", "19200", file});
            QVERIFY2(run.status == ExitFailed, qPrintable(QString::number(run.status) + run.err));
            QVERIFY2(run.err.contains(file) && run.err.contains(reason), qPrintable(run.err));
            QCOMPARE(sensor->Commands(), commandsBefore);
        }
        if (reason != "not a regular file")
            return;
        const Run diff = cli({"diff", file, good});
        QCOMPARE(diff.status, int(ExitFailed));
        QVERIFY2(diff.err.contains(reason), qPrintable(diff.err));
    }

    void diffComparesEveryOccurrence()
    {
        // Configuration files without a sensor: the shipped template, and
        // the same with its first setting held twice.
        IXMLproductsType document =
            IXMLproductsType::Load(QStringLiteral(TALVEK_TEST_APP_DIR "/tempris_type_5e_pv9_template.tdx"));
        QVERIFY(!document.IsNull());
        IXMLcategoryType category = document.Device(0).Category(0);
        IXMLparamType first = category.Param(0);
        first.SetValuestring(QStringLiteral("12"));
        const QString cmd = first.Cmd();
        auto save = [&document](const QString &fileName) {
            QFile file(fileName);
            return file.open(QIODevice::WriteOnly) && file.write(document.Document().toByteArray()) > 0;
        };
        const QString a = path("a.tcf");
        QVERIFY(save(a));
        category.Element().appendChild(first.Element().cloneNode(true));
        const QString b = path("b.tcf");
        QVERIFY(save(b));

        const Run forward = cli({"diff", a, b});
        QCOMPARE(forward.status, int(ExitDifferent));
        QCOMPARE(forward.out, QStringLiteral("%1\t12\t12 | 12\n").arg(cmd));
        const Run backward = cli({"diff", b, a});
        QCOMPARE(backward.status, int(ExitDifferent));
        QCOMPARE(backward.out, QStringLiteral("%1\t12 | 12\t12\n").arg(cmd));
        QCOMPARE(cli({"diff", b, b}).status, int(ExitOk));
    }

    void diffPrintsTheDifferingSetting()
    {
        startSensor(kTempris);
        const QString a = path("a.tcf");
        readInto(a);
        const QString b = path("b.tcf");
        QVERIFY(QFile::copy(a, b));
        const Run same = cli({"diff", a, b});
        QCOMPARE(same.status, int(ExitOk));
        QVERIFY(same.out.isEmpty());
        const QString before = sensor->Value("OUTPUTINT");
        QVERIFY(setInFile(b, "OUTPUTINT", "42"));
        const Run run = cli({"diff", a, b});
        QCOMPARE(run.status, int(ExitDifferent));
        QCOMPARE(run.out, QStringLiteral("OUTPUTINT\t%1\t42\n").arg(before));
    }

    void diffOfAnUnreadableFileFails()
    {
        QFile broken(path("broken.tcf"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("<products><device");
        broken.close();
        QList<SettingDifference> differences;
        QString error;
        QVERIFY(!DiffConfigFiles(path("broken.tcf"), path("broken.tcf"), differences, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(cli({"diff", path("broken.tcf"), path("missing.tcf")}).status, int(ExitFailed));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
