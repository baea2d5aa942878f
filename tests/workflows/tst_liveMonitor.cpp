// Watching a sensor's output end to end: the simulated sensor streams on a
// pseudo-terminal behind a COM alias, the workflow listens without setup
// mode, and the monitor decodes, tabulates and records what arrives.
#include "base/appdata.h"
#include "sim/simulator.h"
#include "tests/support/linkTimingSwitch.h"
#include "tests/support/simulatedSensor.h"
#include "workflows/liveMonitor.h"
#include "tests/workflows/simulatedPortWork.h"
#include "workflows/sensorWork.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace
{
constexpr int kSensorCom = 7;
constexpr int kBaud19200 = 6;
const QString kTempris = QStringLiteral("Tempris KDX600-10 PV9");
} // namespace

class TestLiveMonitor : public QObject
{
    Q_OBJECT
    QTemporaryDir dataDir;
    std::unique_ptr<Simulator> sensor;
    std::unique_ptr<SensorWork> work;

    QString AppData() const { return dataDir.path() + QLatin1Char('/'); }

    bool StartSensor(const SimFaults &faults = {}, const QString &configFile = {})
    {
        work.reset();
        sensor.reset();
        SimOptions options;
        options.product = kTempris;
        options.dataDir = QStringLiteral(TALVEK_TEST_APP_DIR);
        options.configFile = configFile;
        options.faults = faults;
        options.streamIntervalMs = 100;
        options.holdBackMs = 50;
        sensor = StartSimulatedSensor(options, AppData(), kSensorCom);
        work = WorkOnSimulatedPort(kSensorCom);
        return sensor != nullptr;
    }

    ConnectOutcome Listen(LiveMonitor &monitor)
    {
        const ConnectOutcome outcome = work->Listen(SensorTarget{kSensorCom, kBaud19200}, &monitor).outcome;
        if (outcome == ConnectOutcome::Connected)
            monitor.Start(work->Device()->Link(), work->Current());
        return outcome;
    }

    // The template with its report set to every NMEA sentence.
    QString NmeaConfiguration()
    {
        const QString file = dataDir.filePath(QStringLiteral("nmea.tcf"));
        DocumentLoad load = LoadConfigDocument(QStringLiteral(TALVEK_TEST_APP_DIR "/tempris_type_10_pv9_template.tdx"));
        const IXMLdeviceType device = load.products.Device(0);
        for (int c = 0; c < device.Count(); ++c)
            for (int p = 0; p < device.Category(c).Count(); ++p)
                if (device.Category(c).Param(p).Cmd() == QLatin1String("REPORT"))
                    device.Category(c).Param(p).SetReportvalue(QStringLiteral("NMEA"));
        QString error;
        return SaveConfigDocument(load.products, file, &error) ? file : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dataDir.isValid());
        SetAppDataFolder(AppData());
        UseShortLinkTiming();
    }

    void cleanup()
    {
        work.reset(); // the monitors of the tests are gone: no line is announced to them any more
        sensor.reset();
    }

    void decodesTheStreamWithoutSetupMode()
    {
        QVERIFY(StartSensor());
        LiveMonitor monitor;
        int received = 0;
        connect(&monitor, &LiveMonitor::LineReceived, this, [&] { ++received; });
        QCOMPARE(Listen(monitor), ConnectOutcome::Connected);
        QVERIFY(work->Listening());
        QVERIFY(!work->Online());
        QTRY_VERIFY_WITH_TIMEOUT(monitor.Table().Decoded() >= 3, 10000);
        QVERIFY(!sensor->InSetupMode());
        QCOMPARE(monitor.Table().Errors(), 0);
        QCOMPARE(received, int(monitor.Lines()));

        // The template's report: NODE DIR SPEED TEMP RH PRESS SOLARRAD STATUS.
        const QList<ChannelTable::Row> &rows = monitor.Table().Rows();
        QCOMPARE(rows.size(), 8);
        QCOMPARE(rows.at(0).text, QStringLiteral("Q"));
        QCOMPARE(rows.at(3).channel.name, QStringLiteral("TEMP"));
        QCOMPARE(rows.at(3).channel.unit, QStringLiteral("C"));
        QVERIFY(rows.at(3).text.toDouble() > 0);
        QCOMPARE(monitor.Outcome(), MonitorOutcome::Decoded);

        monitor.Stop();
        work->Release();
        QVERIFY(!work->Listening());
        QVERIFY(!sensor->InSetupMode());
    }

    void recordsWhatArrivesToCsv()
    {
        QVERIFY(StartSensor());
        LiveMonitor monitor;
        QCOMPARE(Listen(monitor), ConnectOutcome::Connected);
        const QString csv = dataDir.filePath(QStringLiteral("live.csv"));
        QVERIFY2(monitor.Record(csv), qPrintable(monitor.RecordError()));
        QTRY_VERIFY_WITH_TIMEOUT(monitor.Recorder().Rows() >= 3, 10000);

        QFile file(csv); // read while recording
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList rows = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(rows.first(),
                 QStringLiteral("time,NODE,DIR [DEG],SPEED [MS],TEMP [C],RH [%],PRESS [HPA],SOLARRAD [WM2],STATUS"));
        QVERIFY(rows.size() >= 4);
        for (const QString &row : rows.mid(1)) {
            QCOMPARE(row.count(QLatin1Char(',')), 8);
            QVERIFY2(row.section(QLatin1Char(','), 1, 1) == QLatin1String("Q"), qPrintable(row));
            QVERIFY(QDateTime::fromString(row.section(QLatin1Char(','), 0, 0), Qt::ISODateWithMs).isValid());
        }
    }

    void sentencesDecodeWhateverTheTemplateSays()
    {
        const QString config = NmeaConfiguration();
        QVERIFY(!config.isEmpty());
        QVERIFY(StartSensor({}, config));
        LiveMonitor monitor;
        QCOMPARE(Listen(monitor), ConnectOutcome::Connected);
        QTRY_VERIFY_WITH_TIMEOUT(monitor.Table().Decoded() >= 6, 10000);
        QCOMPARE(monitor.Table().Errors(), 0);
        QStringList names;
        for (const ChannelTable::Row &row : monitor.Table().Rows())
            if (row.time >= 0)
                names << row.channel.name;
        for (const char *name : {"DIR", "SPEED", "TRUEDIR", "TRUESPEED", "TEMP", "PRESS"})
            QVERIFY2(names.contains(QLatin1String(name)), qPrintable(names.join(' ')));
    }

    void linesOfAnotherShapeAreCountedNotDecoded()
    {
        SimFaults faults;
        faults.overlong = true; // every data line 2000 characters long
        QVERIFY(StartSensor(faults));
        LiveMonitor monitor;
        QCOMPARE(Listen(monitor), ConnectOutcome::Connected);
        QTRY_VERIFY_WITH_TIMEOUT(monitor.Table().Undecodable() >= 2, 10000);
        QCOMPARE(monitor.Table().Decoded(), 0);
        QVERIFY(!monitor.Table().Rejected().isEmpty());
        QCOMPARE(monitor.Outcome(), MonitorOutcome::NothingDecoded);
    }

    void nothingToListenTo()
    {
        QVERIFY(StartSensor());
        sensor.reset(); // the alias goes with it
        LiveMonitor monitor;
        QCOMPARE(Listen(monitor), ConnectOutcome::PortNotOpened);
        QCOMPARE(monitor.Outcome(), MonitorOutcome::NoLines);
    }
};

QTEST_GUILESS_MAIN(TestLiveMonitor)
#include "tst_liveMonitor.moc"
