// Provisioning plans: what a plan may say and what is refused before any
// sensor is touched, and whole runs against simulated sensors on several
// ports at once (each port's units on a thread of their own).
#include "base/appdata.h"
#include "sim/simulator.h"
#include "tests/support/linkTimingSwitch.h"
#include "tests/support/simulatedSensor.h"
#include "tests/workflows/simulatedPortWork.h"
#include "workflows/provisioning.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace
{
const QString kCorvix = QStringLiteral("Corvix II PV4");
const LinkTiming kShortDelays{100, 0, 0};
constexpr int kBaseCom = 20;

bool WriteText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

const UnitResult *ResultOfRow(const QList<UnitResult> &results, int row)
{
    for (const UnitResult &result : results)
        if (result.unit.row == row)
            return &result;
    return nullptr;
}

QString SettingValue(const UnitResult &result, const QString &cmd)
{
    for (const VerifiedSetting &setting : result.settings)
        if (setting.cmd == cmd)
            return setting.value;
    return QStringLiteral("<none>");
}
} // namespace

class TestProvisioning : public QObject
{
    Q_OBJECT
    QTemporaryDir dataDir;
    std::vector<std::unique_ptr<Simulator>> sensors;

    QString AppData() const { return dataDir.path() + QLatin1Char('/'); }
    QString Path(const QString &name) const { return dataDir.filePath(name); }

    Simulator *StartSensor(int comNumber, const QString &serial, const SimFaults &faults = {})
    {
        SimOptions options;
        options.product = kCorvix;
        options.dataDir = QStringLiteral(TALVEK_TEST_APP_DIR);
        options.serial = serial;
        options.faults = faults;
        options.streamIntervalMs = 60000;
        sensors.push_back(StartSimulatedSensor(options, AppData(), comNumber));
        return sensors.back().get();
    }

    ProvisionSettings Settings(const QStringList &ports = {}) const
    {
        ProvisionSettings settings;
        settings.programFolder = QStringLiteral(TALVEK_TEST_APP_DIR "/");
        settings.timing = kShortDelays;
        settings.resultsFolder = Path(QStringLiteral("results"));
        settings.ports = ports;
        return settings;
    }

    ProvisionPlan Plan(const QByteArray &text)
    {
        const QString path = Path(QStringLiteral("plan.csv"));
        if (!WriteText(path, text))
            return {};
        return ReadProvisionPlan(path);
    }

    QList<UnitResult> RunPlan(const ProvisionPlan &plan, const ProvisionSettings &settings)
    {
        ProvisionRun run(plan, settings);
        QSignalSpy finished(&run, &ProvisionRun::finished);
        run.Start();
        if (!finished.wait(120000))
            return {};
        return run.Results();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dataDir.isValid());
        SetAppDataFolder(AppData());
        UseShortLinkTiming();
        // The base file: a sensor's settings as the program saves them.
        QVERIFY(StartSensor(kBaseCom, QStringLiteral("BASE")));
        auto work = WorkOnSimulatedPort(kBaseCom);
        QCOMPARE(work->Connect(SensorTarget{kBaseCom, 6}).outcome, ConnectOutcome::Connected);
        QCOMPARE(work->Read().outcome, ReadOutcome::Complete);
        QCOMPARE(work->SaveFile(Path(QStringLiteral("base.tcf"))).outcome, FileOutcome::Done);
        work.reset();
        sensors.clear();
    }

    void cleanup() { sensors.clear(); }

    void csvFieldsSplitAsWritten_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("firstRecord");
        QTest::addColumn<int>("records");
        QTest::newRow("plain") << "a,b,c\n1,2,3\n" << QStringList{"a", "b", "c"} << 2;
        QTest::newRow("quoted comma") << "\"x, y\",b\n" << QStringList{"x, y", "b"} << 1;
        QTest::newRow("doubled quote") << "\"say \"\"hi\"\"\",b" << QStringList{"say \"hi\"", "b"} << 1;
        QTest::newRow("line break in quotes") << "\"two\nlines\",b\r\nc,d\r\n" << QStringList{"two\nlines", "b"} << 2;
        QTest::newRow("empty cells") << ",,\n" << QStringList{"", "", ""} << 1;
    }

    void csvFieldsSplitAsWritten()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, firstRecord);
        QFETCH(int, records);
        QList<CsvRecord> parsed;
        int badLine = 0;
        QVERIFY(ParseCsv(text, parsed, &badLine));
        QCOMPARE(parsed.size(), records);
        QCOMPARE(parsed.first().fields, firstRecord);
    }

    void aPlanIsReadWithItsOverrides()
    {
        const ProvisionPlan plan = Plan("port,product,serial,base,AVGLONG,DIROFFSET\n"
                                        "# a comment line\n"
                                        "COM21,Corvix II,A1,base.tcf,30,\n"
                                        "scan,,,\"base.tcf\",,\"+010.0\"\n");
        QVERIFY2(!plan.Refused(), qPrintable(plan.problems.value(0).Describe()));
        QCOMPARE(plan.units.size(), 2);
        QCOMPARE(plan.units[0].row, 3);
        QCOMPARE(plan.units[0].comNumber, 21);
        QCOMPARE(plan.units[0].serial, QStringLiteral("A1"));
        QCOMPARE(plan.units[0].baseFile, Path(QStringLiteral("base.tcf")));
        QCOMPARE(plan.units[0].overrides.size(), 1); // an empty cell keeps the base value
        QCOMPARE(plan.units[0].overrides[0].cmd, QStringLiteral("AVGLONG"));
        QCOMPARE(plan.units[0].overrides[0].value, QStringLiteral("30"));
        QVERIFY(plan.units[1].Scans());
        QCOMPARE(plan.units[1].overrides[0].cmd, QStringLiteral("DIROFFSET"));
        QVERIFY(plan.units[0].key != plan.units[1].key);
    }

    void aBadPlanIsRefusedWithRowAndColumn_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("says");
        QTest::newRow("no base column") << QByteArray("port,AVGLONG\nCOM21,3\n") << 1 << 0 << "'base' column";
        QTest::newRow("no port column") << QByteArray("base\nbase.tcf\n") << 1 << 0 << "'port' column";
        QTest::newRow("unknown command") << QByteArray("port,base,AVGLONGX\nCOM21,base.tcf,3\n") << 2 << 3
                                         << "AVGLONGX is no setting";
        QTest::newRow("value out of range")
            << QByteArray("port,base,AVGLONG\nCOM21,base.tcf,99999\n") << 2 << 3 << "(0 to 3600)";
        QTest::newRow("not a number") << QByteArray("port,base,AVGLONG\nCOM21,base.tcf,ten\n") << 2 << 3
                                      << "not a whole number";
        QTest::newRow("no such option") << QByteArray("port,base,MSGMODE\nCOM21,base.tcf,SOMETIMES\n") << 2 << 3
                                        << "CONTINUOUS, POLL";
        QTest::newRow("a type a plan cannot set")
            << QByteArray("port,base,REPORT\nCOM21,base.tcf,DIR\n") << 2 << 3 << "cannot set REPORT";
        QTest::newRow("missing base file")
            << QByteArray("port,base\nCOM21,base.tcf\nCOM22,missing.tcf\n") << 3 << 2 << "missing.tcf";
        QTest::newRow("no base file named") << QByteArray("port,base\nCOM21,\n") << 2 << 2 << "no base";
        QTest::newRow("bad port") << QByteArray("port,base\nCOMX,base.tcf\n") << 2 << 1 << "'COMX'";
        QTest::newRow("same port, other products")
            << QByteArray("port,product,base\nCOM21,Corvix II,base.tcf\nCOM21,Tempris,base.tcf\n") << 3 << 1
            << "row 2's port too";
        QTest::newRow("same serial twice")
            << QByteArray("port,serial,base\nCOM21,A1,base.tcf\nCOM22,a1,base.tcf\n") << 3 << 2 << "row 2's too";
        QTest::newRow("too many fields") << QByteArray("port,base\nCOM21,base.tcf,3\n") << 2 << 3 << "3 fields";
        QTest::newRow("open quote") << QByteArray("port,base\nCOM21,\"base.tcf\n") << 2 << 0 << "never closed";
        QTest::newRow("column named twice")
            << QByteArray("port,base,AVGLONG,avglong\nCOM21,base.tcf,1,2\n") << 1 << 4 << "named twice";
        QTest::newRow("no units") << QByteArray("port,base\n") << 0 << 0 << "names no unit";
    }

    void aBadPlanIsRefusedWithRowAndColumn()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, says);
        const ProvisionPlan plan = Plan(text);
        QVERIFY(plan.Refused());
        const PlanProblem problem = plan.problems.first();
        QVERIFY2(problem.Describe().contains(says), qPrintable(problem.Describe()));
        QCOMPARE(problem.row, row);
        QCOMPARE(problem.column, column);
        if (row > 0)
            QVERIFY(problem.Describe().startsWith(QStringLiteral("row %1").arg(row)));
    }

    void fourUnitsOnFourPortsRunAtOnce()
    {
        Simulator *good = StartSensor(21, QStringLiteral("A1"));
        SimFaults refusing;
        refusing.refused = QStringList{QStringLiteral("AVGLONG")};
        Simulator *refuses = StartSensor(22, QStringLiteral("A2"), refusing);
        // Nothing on COM23.
        Simulator *other = StartSensor(24, QStringLiteral("A4"));
        QVERIFY(good && refuses && other);
        const ProvisionPlan plan = Plan("port,product,serial,base,AVGLONG,DIROFFSET\n"
                                        "COM21,Corvix II,A1,base.tcf,30,+010.0\n"
                                        "COM22,Corvix II,A2,base.tcf,45,\n"
                                        "COM23,,A3,base.tcf,,\n"
                                        "COM24,,,base.tcf,600,-020.0\n");
        QVERIFY(!plan.Refused());
        const QList<UnitResult> results = RunPlan(plan, Settings());
        QCOMPARE(results.size(), 4);
        QCOMPARE(ResultOfRow(results, 2)->outcome, UnitOutcome::Verified);
        QCOMPARE(ResultOfRow(results, 3)->outcome, UnitOutcome::NotVerified);
        QCOMPARE(ResultOfRow(results, 3)->notVerified, QStringList{QStringLiteral("AVGLONG")});
        QCOMPARE(ResultOfRow(results, 4)->outcome, UnitOutcome::NotFound);
        QCOMPARE(ResultOfRow(results, 5)->outcome, UnitOutcome::Verified);
        // What the sensors hold now, and what the results say was read back.
        QCOMPARE(good->Value(QStringLiteral("AVGLONG")), QStringLiteral("30"));
        QCOMPARE(other->Value(QStringLiteral("AVGLONG")), QStringLiteral("600"));
        QCOMPARE(refuses->Value(QStringLiteral("AVGLONG")), QStringLiteral("0"));
        QCOMPARE(SettingValue(*ResultOfRow(results, 2), QStringLiteral("AVGLONG")), QStringLiteral("30"));
        QCOMPARE(SettingValue(*ResultOfRow(results, 3), QStringLiteral("AVGLONG")), QStringLiteral("0"));
        QCOMPARE(ResultOfRow(results, 2)->serial, QStringLiteral("A1"));
        QCOMPARE(ResultOfRow(results, 5)->comNumber, 24);
        for (const Simulator *sensor : {good, refuses, other})
            QVERIFY(!sensor->InSetupMode());
        // Each unit's back-up holds the sensor as it was found.
        const QString backup = ResultOfRow(results, 2)->backupFile;
        QVERIFY(backup.endsWith(QStringLiteral("results/A1-before.tcf")));
        QVERIFY(QFile::exists(backup));
        QVERIFY(IXMLproductsType::Load(backup).Device(0).Count() > 0);
        QVERIFY(ResultOfRow(results, 4)->backupFile.isEmpty());
    }

    void theExpectedSensorOnly()
    {
        Simulator *sensor = StartSensor(21, QStringLiteral("B1"));
        QVERIFY(sensor);
        const QList<UnitResult> serial = RunPlan(Plan("port,serial,base,AVGLONG\nCOM21,B9,base.tcf,30\n"), Settings());
        QCOMPARE(serial.value(0).outcome, UnitOutcome::WrongSensor);
        QVERIFY2(serial.value(0).reason.contains(QStringLiteral("B1")), qPrintable(serial.value(0).reason));
        const QList<UnitResult> product =
            RunPlan(Plan("port,product,base,AVGLONG\nCOM21,Tempris,base.tcf,30\n"), Settings());
        QCOMPARE(product.value(0).outcome, UnitOutcome::WrongSensor);
        QCOMPARE(sensor->Value(QStringLiteral("AVGLONG")), QStringLiteral("0")); // nothing written
        QVERIFY(!sensor->InSetupMode());
    }

    void scanningUnitsTakeDifferentSensors()
    {
        Simulator *first = StartSensor(25, QStringLiteral("C1"));
        Simulator *second = StartSensor(26, QStringLiteral("C2"));
        Simulator *named = StartSensor(27, QStringLiteral("C3"));
        QVERIFY(first && second && named);
        const ProvisionPlan plan = Plan("port,base,AVGLONG\nscan,base.tcf,11\nscan,base.tcf,12\nCOM27,base.tcf,13\n");
        const QList<UnitResult> results = RunPlan(
            plan,
            Settings({QStringLiteral("sim (COM25)"), QStringLiteral("sim (COM26)"), QStringLiteral("sim (COM27)")}));
        QCOMPARE(results.size(), 3);
        for (const UnitResult &result : results)
            QVERIFY2(result.outcome == UnitOutcome::Verified, qPrintable(result.reason));
        QVERIFY(ResultOfRow(results, 2)->comNumber != ResultOfRow(results, 3)->comNumber);
        QCOMPARE(named->Value(QStringLiteral("AVGLONG")), QStringLiteral("13")); // never scanned onto
        QStringList scanned{first->Value(QStringLiteral("AVGLONG")), second->Value(QStringLiteral("AVGLONG"))};
        scanned.sort();
        QCOMPARE(scanned, QStringList({QStringLiteral("11"), QStringLiteral("12")}));
    }

    void skippedUnitsAreNotTouched()
    {
        Simulator *sensor = StartSensor(21, QStringLiteral("D1"));
        QVERIFY(sensor);
        // A spreadsheet's UTF-8 mark before the header.
        const ProvisionPlan plan = Plan("\xEF\xBB\xBFport,base,AVGLONG\nCOM21,base.tcf,30\nscan,base.tcf,31\n");
        QVERIFY(!plan.Refused());
        ProvisionSettings settings = Settings({QStringLiteral("sim (COM21)")});
        settings.skipKeys.insert(plan.units.first().key, QStringLiteral("41001"));
        const QList<UnitResult> results = RunPlan(plan, settings);
        QCOMPARE(results.value(0).outcome, UnitOutcome::Skipped);
        QCOMPARE(results.value(0).serial, QStringLiteral("41001")); // as the earlier run found it
        // The done unit's port is still the plan's: no scan goes there.
        QCOMPARE(results.value(1).outcome, UnitOutcome::NotFound);
        QCOMPARE(sensor->Commands(), 0);
    }

    void aStopLeavesEverySensorOutOfSetupMode()
    {
        SimFaults slow;
        slow.slowMs = 40; // a read takes a while
        Simulator *one = StartSensor(21, QStringLiteral("E1"), slow);
        Simulator *two = StartSensor(22, QStringLiteral("E2"), slow);
        QVERIFY(one && two);
        const ProvisionPlan plan = Plan("port,base,AVGLONG\nCOM21,base.tcf,30\nCOM22,base.tcf,30\n");
        ProvisionRun run(plan, Settings());
        QSignalSpy finished(&run, &ProvisionRun::finished);
        connect(&run, &ProvisionRun::unitStep, &run, [&](int, const QString &port, UnitStep step) {
            if (step == UnitStep::BackingUp && port == QLatin1String("COM21"))
                run.Stop();
        });
        run.Start();
        QVERIFY(finished.wait(60000));
        QCOMPARE(run.Results().size(), 2);
        QCOMPARE(ResultOfRow(run.Results(), 2)->outcome, UnitOutcome::Aborted);
        QVERIFY(!one->InSetupMode());
        QVERIFY(!two->InSetupMode());
        QCOMPARE(one->Value(QStringLiteral("AVGLONG")), QStringLiteral("0"));
    }
};

QTEST_GUILESS_MAIN(TestProvisioning)
#include "tst_provisioning.moc"
