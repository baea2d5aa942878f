// talvek-cli provision as a script runs it: a plan of units on several
// simulated sensors, the progress lines and table, the certificates and the
// result file, a resumed run, a refused plan and a stop by Ctrl-C.
#include "cli/exitcodes.h"
#include "sim/simulator.h"
#include "tests/support/cliRun.h"
#include "tests/support/simulatedSensor.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace
{
const QString kCorvix = QStringLiteral("Corvix II PV4");

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

using Run = CliRun;

QString PdfText(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    return process.waitForFinished(30000) ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}
} // namespace

class TestCliProvision : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dataDir;
    std::vector<std::unique_ptr<Simulator>> sensors;

    QString Path(const QString &name) const { return dataDir->filePath(name); }

    Simulator *StartSensor(int comNumber, const QString &serial, const SimFaults &faults = {})
    {
        SimOptions options;
        options.product = kCorvix;
        options.dataDir = QStringLiteral(TALVEK_TEST_APP_DIR);
        options.serial = serial;
        options.faults = faults;
        options.holdBackMs = 100;
        options.streamIntervalMs = 60000;
        QString error;
        sensors.push_back(StartSimulatedSensor(options, dataDir->path() + "/", comNumber, &error));
        if (!sensors.back())
            qWarning("%s", qPrintable(error));
        return sensors.back().get();
    }

    void Start(QProcess &process, const QStringList &arguments)
    {
        StartCli(process, QStringLiteral(TALVEK_CLI_PATH), arguments, dataDir->path());
    }

    Run Cli(const QStringList &arguments)
    {
        QProcess process;
        Start(process, arguments);
        return FinishCli(process, 180000);
    }

    // The base file: a sensor's settings as the program reads them.
    void MakeBaseFile()
    {
        QVERIFY(StartSensor(30, QStringLiteral("BASE")));
        const Run run = Cli({"read", "--port", "COM30", "--baud", "19200", "-o", Path("base.tcf")});
        QVERIFY2(run.status == ExitOk, qPrintable(run.err));
        sensors.clear();
    }

    QJsonArray ResultUnits() const
    {
        return QJsonDocument::fromJson(ReadAll(Path("plan.csv.results"))).object().value("units").toArray();
    }

private slots:
    void init()
    {
        dataDir = std::make_unique<QTemporaryDir>();
        QVERIFY(dataDir->isValid());
        QVERIFY(WriteQuickLinkSettings(dataDir->path(), QStringLiteral(TALVEK_TEST_APP_DIR)));
        MakeBaseFile();
    }

    void cleanup()
    {
        sensors.clear();
        dataDir.reset();
    }

    void aPlanIsProvisionedCertifiedAndResumed()
    {
        Simulator *good = StartSensor(31, QStringLiteral("A1"));
        SimFaults refusing;
        refusing.refused = QStringList{QStringLiteral("AVGLONG")};
        Simulator *refuses = StartSensor(32, QStringLiteral("A2"), refusing);
        Simulator *other = StartSensor(34, QStringLiteral("A4")); // nothing on COM33
        QVERIFY(good && refuses && other);
        QVERIFY(WriteText(Path("plan.csv"), "port,product,serial,base,AVGLONG,DIROFFSET\n"
                                            "COM31,Corvix II,A1,base.tcf,30,\"+010.0\"\n"
                                            "COM32,Corvix II,A2,base.tcf,45,\n"
                                            "COM33,,A3,base.tcf,,\n"
                                            "COM34,,,base.tcf,600,\n"));
        const Run run = Cli({"provision", Path("plan.csv")});
        QVERIFY2(run.status == ExitUnitsNotVerified, qPrintable(run.out + run.err));
        QVERIFY2(run.out.contains("row 2 COM31: connecting\n"), qPrintable(run.out));
        QVERIFY(run.out.contains("row 2 COM31: writing and verifying\n"));
        QVERIFY(run.out.contains(
            QRegularExpression(R"(\n3 +COM32 +A2 +not verified +\d+\.\d s  read back otherwise: AVGLONG)")));
        QVERIFY(run.out.contains(QRegularExpression(R"(\n4 +COM33 +- +not found )")));
        QVERIFY(run.out.contains(QRegularExpression(R"(\n5 +COM34 +A4 +verified )")));
        for (const Simulator *sensor : {good, refuses, other})
            QVERIFY(!sensor->InSetupMode());
        QCOMPARE(good->Value("AVGLONG"), QStringLiteral("30"));
        QCOMPARE(good->Value("DIROFFSET"), QStringLiteral("+010.0"));

        // A certificate for each unit written: PDF and text.
        const QDir results(Path("plan-results"));
        QCOMPARE(results.entryList({"*-certificate.pdf"}, QDir::Files),
                 QStringList({"A1-certificate.pdf", "A2-certificate.pdf", "A4-certificate.pdf"}));
        QCOMPARE(results.entryList({"*-before.tcf"}, QDir::Files).size(), 3);
        const QString pdf = PdfText(results.filePath("A1-certificate.pdf"));
        QVERIFY2(pdf.contains("Provisioning") && pdf.contains("serial number A1"), qPrintable(pdf));
        QVERIFY(pdf.contains("Average Period (AVGLONG)"));
        const QString text = QString::fromUtf8(ReadAll(results.filePath("A1-certificate.txt")));
        for (const QString &expected :
             {QStringLiteral("Serial number"), QStringLiteral("verified"), QStringLiteral("Operator"),
              QStringLiteral("Date (UTC)"), QStringLiteral("Audit entry"),
              QStringLiteral("Differences from the base file")})
            QVERIFY2(text.contains(expected), qPrintable(expected + " missing in:\n" + text));
        QVERIFY2(text.contains(QRegularExpression(R"(Average Period \(AVGLONG\): +30\n)")), qPrintable(text));
        // Options by their names, as the sensor says them.
        QVERIFY(text.contains(QRegularExpression(R"(Message Mode \(MSGMODE\): +CONTINUOUS\n)")));
        // The audit log's entry for the write, and a chain the concurrent writes left whole.
        QVERIFY2(text.contains(QRegularExpression(R"(Audit entry: +[0-9a-f]{64}\n)")), qPrintable(text));
        const Run audit = Cli({"audit", "verify"});
        QVERIFY2(audit.status == ExitOk, qPrintable(audit.out + audit.err));
        const QString refused = QString::fromUtf8(ReadAll(results.filePath("A2-certificate.txt")));
        QVERIFY(refused.contains("not verified") && refused.contains("Not verified"));
        QCOMPARE(ResultUnits().size(), 4);

        // Again: the verified units are left alone, the others tried again.
        const int goodCommands = good->Commands();
        const int refusedCommands = refuses->Commands();
        const Run again = Cli({"provision", Path("plan.csv")});
        QCOMPARE(again.status, int(ExitUnitsNotVerified));
        QVERIFY(again.out.contains("row 2 COM31: skipped, verified in an earlier run"));
        QVERIFY(again.out.contains(QRegularExpression(R"(\n2 +COM31 +A1 +skipped )"))); // the serial it had
        QCOMPARE(good->Commands(), goodCommands);
        QVERIFY(refuses->Commands() > refusedCommands);
        QCOMPARE(ResultUnits().size(), 4);

        // --again redoes them all.
        const Run redo = Cli({"provision", Path("plan.csv"), "--again"});
        QCOMPARE(redo.status, int(ExitUnitsNotVerified));
        QVERIFY(good->Commands() > goodCommands);
        QVERIFY(!redo.out.contains("skipped"));
    }

    void everyUnitVerifiedIsSuccess()
    {
        QVERIFY(StartSensor(31, QStringLiteral("B1")));
        QVERIFY(WriteText(Path("plan.csv"), "port,base,AVGLONG\nCOM31,base.tcf,12\n"));
        const Run run = Cli({"provision", "plan.csv"});
        QVERIFY2(run.status == ExitOk, qPrintable(run.out + run.err));
        QCOMPARE(ResultUnits().at(0).toObject().value("outcome").toString(), QStringLiteral("verified"));
    }

    void aBadPlanIsRefusedBeforeAnySensorIsTouched()
    {
        Simulator *sensor = StartSensor(31, QStringLiteral("C1"));
        QVERIFY(sensor);
        QVERIFY(WriteText(Path("plan.csv"), "port,base,AVGLONG\nCOM31,base.tcf,30\nCOM31,base.tcf,99999\n"));
        const Run run = Cli({"provision", Path("plan.csv")});
        QCOMPARE(run.status, int(ExitPlanRefused));
        QVERIFY2(run.err.contains("plan.csv: row 3, column 3 (AVGLONG): '99999' is not allowed"), qPrintable(run.err));
        QCOMPARE(sensor->Commands(), 0);
        QVERIFY(!QFileInfo::exists(Path("plan.csv.results")));
        QCOMPARE(Cli({"provision", Path("none.csv")}).status, int(ExitPlanRefused));
    }

    void theExamplePlanWorks()
    {
        for (const QString &name : {QStringLiteral("provision-plan.csv"), QStringLiteral("corvix-base.tcf")})
            QVERIFY(QFile::copy(QStringLiteral(TALVEK_SOURCE_DIR "/examples/") + name, Path(name)));
        Simulator *first = StartSensor(41, QStringLiteral("41001"));
        Simulator *second = StartSensor(42, QStringLiteral("42001"));
        QVERIFY(first && second);
        const Run run = Cli({"provision", Path("provision-plan.csv")});
        QVERIFY2(run.status == ExitOk, qPrintable(run.out + run.err));
        QCOMPARE(first->Value("AVGLONG"), QStringLiteral("30"));
        QCOMPARE(second->Value("AVGLONG"), QStringLiteral("60"));
        QCOMPARE(second->Value("DIROFFSET"), QStringLiteral("+012.5"));
        QVERIFY(QFileInfo::exists(Path("provision-plan-results/42001-certificate.pdf")));
    }

    void usage()
    {
        QCOMPARE(Cli({"provision"}).status, int(ExitUsage));
        const Run help = Cli({"provision", "--help"});
        QCOMPARE(help.status, int(ExitOk));
        QVERIFY(help.out.contains("--again"));
    }

    void ctrlCStopsEveryUnitAndLetsTheSensorsGo()
    {
        SimFaults slow;
        slow.slowMs = 100; // a read takes seconds
        Simulator *one = StartSensor(31, QStringLiteral("D1"), slow);
        Simulator *two = StartSensor(32, QStringLiteral("D2"), slow);
        QVERIFY(one && two);
        QVERIFY(WriteText(Path("plan.csv"), "port,base,AVGLONG\nCOM31,base.tcf,30\nCOM32,base.tcf,30\n"));
        QProcess process;
        Start(process, {"provision", Path("plan.csv")});
        QVERIFY(process.waitForStarted());
        QString out;
        while (!out.contains("COM31: backing up") && process.waitForReadyRead(30000))
            out += QString::fromLocal8Bit(process.readAllStandardOutput());
        QVERIFY2(out.contains("COM31: backing up"), qPrintable(out));
        QCOMPARE(::kill(pid_t(process.processId()), SIGINT), 0);
        QVERIFY(process.waitForFinished(30000));
        out += QString::fromLocal8Bit(process.readAllStandardOutput());
        QCOMPARE(process.exitCode(), int(ExitInterrupted));
        QVERIFY2(out.contains(QRegularExpression(R"(\n2 +COM31 +\S+ +aborted )")), qPrintable(out));
        QVERIFY(!one->InSetupMode());
        QVERIFY(!two->InSetupMode());
        QCOMPARE(one->Value("AVGLONG"), QStringLiteral("0"));
    }
};

QTEST_GUILESS_MAIN(TestCliProvision)
#include "tst_cliprovision.moc"
