// The workflows without any window: each outcome of connecting, reading,
// loading and saving files, writing with verification, backing up and
// restoring, against the simulator on a pseudo-terminal behind a COM alias.
#include "base/appdata.h"
#include "sim/simulator.h"
#include "tests/support/linkTimingSwitch.h"
#include "tests/support/ptypeer.h"
#include "tests/sim/simclient.h"
#include "tests/support/simulatedSensor.h"
#include "workflows/connectMessages.h"
#include "tests/workflows/simulatedPortWork.h"
#include "workflows/sensorWork.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace
{
constexpr int kSensorCom = 7;
const QString kTempris = QStringLiteral("Tempris KDX530-3 PV9");
const QString kCorvix = QStringLiteral("Corvix II PV4");
const LinkTiming kShortDelays{100, 0, 0};

// Answers each question as told and records what was asked.
class RecordedAnswers : public IQuestions
{
public:
    bool yes = true;
    QList<QuestionId> asked;
    bool Ask(QuestionId id, const QuestionDetails &) override
    {
        asked << id;
        return yes;
    }
};

// A setting's value in a configuration file, by command.
IXMLparamType FindParam(const IXMLproductsType &products, const QString &cmd)
{
    const IXMLdeviceType device = products.Device(0);
    for (int c = 0; c < device.Count(); ++c)
        for (int p = 0; p < device.Category(c).Count(); ++p)
            if (device.Category(c).Param(p).Cmd() == cmd)
                return device.Category(c).Param(p);
    return {};
}

bool SetValueInFile(const QString &file, const QString &cmd, int value)
{
    IXMLproductsType products = IXMLproductsType::Load(file);
    IXMLparamType param = FindParam(products, cmd);
    if (param.IsNull())
        return false;
    param.SetValue(value);
    QString error;
    return SaveConfigDocument(products, file, &error);
}
} // namespace

class TestSensorWork : public QObject
{
    Q_OBJECT
    QTemporaryDir dataDir;
    std::unique_ptr<Simulator> sensor;
    std::unique_ptr<SensorWork> work;

    QString AppData() const { return dataDir.path() + QLatin1Char('/'); }
    QString Path(const QString &name) const { return dataDir.filePath(name); }

    static SimOptions Options(const QString &product, const SimFaults &faults = {})
    {
        SimOptions options;
        options.product = product;
        options.dataDir = QStringLiteral(TALVEK_TEST_APP_DIR);
        options.faults = faults;
        options.streamIntervalMs = 60000;
        return options;
    }

    bool StartSensor(const QString &product, const SimFaults &faults = {})
    {
        return StartSensor(Options(product, faults));
    }

    bool StartSensor(const SimOptions &options)
    {
        work.reset();
        sensor.reset();
        sensor = StartSimulatedSensor(options, AppData(), kSensorCom);
        work = WorkOnSimulatedPort(kSensorCom);
        return sensor != nullptr;
    }

    ConnectOutcome Connect() { return work->Connect(SensorTarget{kSensorCom, 6}).outcome; }

    // A configuration file of the simulated sensor as it is now.
    QString ReadInto(const QString &name)
    {
        const QString file = Path(name);
        if (Connect() != ConnectOutcome::Connected || work->Read().outcome != ReadOutcome::Complete ||
            work->SaveFile(file).outcome != FileOutcome::Done)
            return {};
        work->Release();
        return file;
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
        work.reset();
        sensor.reset();
    }

    void connectingFindsTheSensorAndTakesItIntoSetupMode()
    {
        QVERIFY(StartSensor(kTempris));
        const ConnectResult result = work->Connect(SensorTarget{kSensorCom, -1});
        QCOMPARE(result.outcome, ConnectOutcome::Connected);
        QCOMPARE(result.device.baudText, QStringLiteral("19200"));
        QVERIFY(sensor->InSetupMode());
        QVERIFY(!work->SerialNumber().isEmpty());
        QVERIFY(work->Current().identity.productName.contains(QStringLiteral("KDX530"), Qt::CaseInsensitive));
        work->Release();
        QVERIFY(!sensor->InSetupMode()); // let go properly
    }

    void connectingFailsWithItsReason_data()
    {
        QTest::addColumn<int>("comNumber");
        QTest::addColumn<int>("baudCode");
        QTest::addColumn<int>("silenceAfter");
        QTest::addColumn<ConnectOutcome>("outcome");
        QTest::newRow("wrong rate") << kSensorCom << 8 << -1 << ConnectOutcome::NoSensor;
        QTest::newRow("no such port") << 99 << 6 << -1 << ConnectOutcome::PortNotOpened;
        // The try's and the connection's unit queries, then nothing.
        QTest::newRow("setup mode refused") << kSensorCom << 6 << 2 << ConnectOutcome::SetupModeFailed;
    }

    void connectingFailsWithItsReason()
    {
        QFETCH(int, comNumber);
        QFETCH(int, baudCode);
        QFETCH(int, silenceAfter);
        QFETCH(ConnectOutcome, outcome);
        SimFaults faults;
        faults.silenceAfter = silenceAfter;
        QVERIFY(StartSensor(kTempris, faults));
        if (comNumber != kSensorCom)
            work->SetPortSource({});
        const ConnectResult result = work->Connect(SensorTarget{comNumber, baudCode});
        QCOMPARE(result.outcome, outcome);
        QVERIFY(!work->Online());
        if (outcome != ConnectOutcome::NoSensor)
            QVERIFY2(!result.reason.isEmpty(), "a failure says why");
    }

    void whatStopsABringUpIsNamed()
    {
        SimFaults faults;
        faults.ignored = QStringList{QStringLiteral("SERIAL")};
        QVERIFY(StartSensor(kTempris, faults));
        QCOMPARE(Connect(), ConnectOutcome::SerialNumberFailed);
        QVERIFY(!sensor->InSetupMode()); // let go properly
        QVERIFY(StartSensor(kTempris));
        work->SetPortSource([] { return std::optional<QStringList>(QStringList{}); });
        QCOMPARE(work->Connect(SensorTarget{}).outcome, ConnectOutcome::NoPorts);
        // A program folder without the templates and the units file.
        QTemporaryDir empty;
        work = std::make_unique<SensorWork>(empty.path() + QLatin1Char('/'), kShortDelays);
        work->SetPortSource([] { return std::optional<QStringList>(QStringList{QStringLiteral("(COM7)")}); });
        const ConnectResult result = work->Connect(SensorTarget{kSensorCom, 6});
        QCOMPARE(result.outcome, ConnectOutcome::UnitsUnusable); // the first file it needs
        QVERIFY(!result.reason.isEmpty());
        QVERIFY(!sensor->InSetupMode());
    }

    void anUnknownProductIsNamedAsSuch()
    {
        QVERIFY(StartSensor(kTempris));
        sensor.reset();
        // Something on COM7 that identifies itself as no product of the catalogue.
        PtyPeer stranger;
        QVERIFY(stranger.IsOpen());
        stranger.SetResponder([](const QByteArray &line) {
            return line == "%%%" ? QList<QByteArray>{"ID:9.63 PV=9 NOSUCHPRODUCT [Q] 0001"} : QList<QByteArray>{};
        });
        QCOMPARE(AddComAlias(stranger, kSensorCom), kSensorCom - 1);
        const ConnectResult result = work->Connect(SensorTarget{kSensorCom, 6});
        QCOMPARE(result.outcome, ConnectOutcome::UnknownDevice);
        QCOMPARE(result.reason, QStringLiteral(" is an unknown device type"));
        QVERIFY(!work->Online());
        QVERIFY(stranger.Lines().contains(QByteArray("%%%")));
        QVERIFY(!stranger.Lines().contains(QByteArray("**QQQQ"))); // never taken into setup mode
    }

    void aStopBeforeConnectingAbortsIt()
    {
        QVERIFY(StartSensor(kTempris));
        work->Stop();
        QCOMPARE(Connect(), ConnectOutcome::Aborted);
        QVERIFY(!sensor->InSetupMode());
    }

    void aReadFillsTheDocumentAndASaveWritesItWhole()
    {
        QVERIFY(StartSensor(kTempris));
        QCOMPARE(Connect(), ConnectOutcome::Connected);
        QCOMPARE(work->Read().outcome, ReadOutcome::Complete);
        QCOMPARE(FindParam(work->Current().products, QStringLiteral("OUTPUTINT")).Valuestring(),
                 sensor->Value(QStringLiteral("OUTPUTINT")));
        const FileResult saved = work->SaveFile(Path(QStringLiteral("read.tcf")));
        QCOMPARE(saved.outcome, FileOutcome::Done);
        QVERIFY(!IXMLproductsType::Load(Path(QStringLiteral("read.tcf"))).IsNull());
        // A folder that is not there: nothing written, and why.
        const FileResult refused = work->SaveFile(Path(QStringLiteral("missing/read.tcf")));
        QCOMPARE(refused.outcome, FileOutcome::WriteFailed);
        QVERIFY(!refused.reason.isEmpty());
    }

    void aSensorFallingSilentLeavesTheReadIncomplete()
    {
        SimFaults faults;
        faults.silenceAfter = 12; // after connecting, part way through the settings
        QVERIFY(StartSensor(kTempris, faults));
        QCOMPARE(Connect(), ConnectOutcome::Connected);
        const ReadResult read = work->Read();
        QVERIFY(read.outcome == ReadOutcome::Incomplete || read.outcome == ReadOutcome::DeviceGone);
        QVERIFY(!read.report.Complete());
    }

    void aStopDuringTheReadAbortsIt()
    {
        QVERIFY(StartSensor(kTempris));
        QCOMPARE(Connect(), ConnectOutcome::Connected);
        QTimer::singleShot(200, work.get(), [this] { work->Stop(); });
        QCOMPARE(work->Read().outcome, ReadOutcome::Aborted);
        work->Release();
        QVERIFY(!sensor->InSetupMode());
    }

    void aChangedFileIsWrittenAndVerified()
    {
        QVERIFY(StartSensor(kTempris));
        const QString file = ReadInto(QStringLiteral("changed.tcf"));
        QVERIFY(!file.isEmpty());
        const int value = sensor->Value(QStringLiteral("OUTPUTINT")) == QStringLiteral("7") ? 8 : 7;
        QVERIFY(SetValueInFile(file, QStringLiteral("OUTPUTINT"), value));
        QCOMPARE(Connect(), ConnectOutcome::Connected);
        RecordedAnswers answers;
        QCOMPARE(work->LoadFile(file, answers).outcome, FileOutcome::Done);
        const WriteResult written = work->WriteAndVerify(answers, false);
        QCOMPARE(written.outcome, WriteOutcome::Verified);
        QCOMPARE(answers.asked, QList<QuestionId>{QuestionId::ConfirmWrite});
        QCOMPARE(sensor->Value(QStringLiteral("OUTPUTINT")), QString::number(value));
    }

    void aWriteTheSensorRefusesIsNotVerified()
    {
        SimFaults faults;
        faults.refused = QStringList{QStringLiteral("OUTPUTINT")};
        QVERIFY(StartSensor(kTempris, faults));
        const QString file = ReadInto(QStringLiteral("refused.tcf"));
        const QString before = sensor->Value(QStringLiteral("OUTPUTINT"));
        QVERIFY(SetValueInFile(file, QStringLiteral("OUTPUTINT"), before == QStringLiteral("7") ? 8 : 7));
        QCOMPARE(Connect(), ConnectOutcome::Connected);
        RecordedAnswers answers;
        QCOMPARE(work->LoadFile(file, answers).outcome, FileOutcome::Done);
        const WriteResult written = work->WriteAndVerify(answers, false);
        QCOMPARE(written.outcome, WriteOutcome::NotVerified);
        QCOMPARE(written.verify.notVerified, QStringList{QStringLiteral("OUTPUTINT")});
    }

    void nothingIsSentForAnInvalidEntryOrADeclinedWrite()
    {
        QVERIFY(StartSensor(kTempris));
        const QString file = ReadInto(QStringLiteral("invalid.tcf"));
        const QString before = sensor->Value(QStringLiteral("OUTPUTINT"));
        QCOMPARE(Connect(), ConnectOutcome::Connected);
        RecordedAnswers answers;
        answers.yes = false;
        QCOMPARE(work->LoadFile(file, answers).outcome, FileOutcome::Done);
        QCOMPARE(work->WriteAndVerify(answers, false).outcome, WriteOutcome::Declined);
        QVERIFY(SetValueInFile(file, QStringLiteral("OUTPUTINT"), 0)); // below its minimum
        QCOMPARE(work->LoadFile(file, answers).outcome, FileOutcome::Done);
        const WriteResult written = work->WriteAndVerify(answers, false);
        QCOMPARE(written.outcome, WriteOutcome::InvalidEntries);
        QCOMPARE(written.invalid.value(0).cmd, QStringLiteral("OUTPUTINT"));
        QCOMPARE(sensor->Value(QStringLiteral("OUTPUTINT")), before);
    }

    void aFileForAnotherProductOrAMismatchIsRefused()
    {
        QVERIFY(StartSensor(kCorvix));
        const QString corvix = ReadInto(QStringLiteral("corvix.tcf"));
        QVERIFY(!corvix.isEmpty());
        QVERIFY(StartSensor(kTempris));
        const QString tempris = ReadInto(QStringLiteral("pv9.tcf"));
        QCOMPARE(Connect(), ConnectOutcome::Connected);
        RecordedAnswers answers;
        const FileResult other = work->LoadFile(corvix, answers);
        QCOMPARE(other.outcome, FileOutcome::Incompatible);
        QCOMPARE(other.compatibility.verdict, Compatibility::ProductMismatch);
        QVERIFY(answers.asked.isEmpty()); // never asked: it cannot be loaded
        QCOMPARE(work->LoadFile(Path(QStringLiteral("none.tcf")), answers).outcome, FileOutcome::Unreadable);
        // The same station with an older protocol.
        QVERIFY(StartSensor(QStringLiteral("9.63 PV=8 OPTION=8803 \"TEMPRIS KDX530-3-8803\" [Q]")));
        QCOMPARE(Connect(), ConnectOutcome::Connected);
        answers.yes = false;
        QCOMPARE(work->LoadFile(tempris, answers).outcome, FileOutcome::Incompatible);
        QCOMPARE(answers.asked, QList<QuestionId>{QuestionId::ProtocolMismatch});
        answers.yes = true;
        QCOMPARE(work->LoadFile(tempris, answers).outcome, FileOutcome::Done);
    }

    void backupThenRestoreSetsTheSensorBack()
    {
        QVERIFY(StartSensor(kTempris));
        QCOMPARE(Connect(), ConnectOutcome::Connected);
        const QString file = Path(QStringLiteral("backup.tcf"));
        QCOMPARE(work->Backup(file).outcome, BackupOutcome::Saved);
        const QString before = sensor->Value(QStringLiteral("OUTPUTINT"));
        const int changed = before == QStringLiteral("7") ? 8 : 7;
        QVERIFY(SetValueInFile(file, QStringLiteral("OUTPUTINT"), changed));
        RecordedAnswers answers;
        QCOMPARE(work->Restore(file, answers, false).outcome, RestoreOutcome::Verified);
        QCOMPARE(sensor->Value(QStringLiteral("OUTPUTINT")), QString::number(changed));
        QCOMPARE(work->Restore(Path(QStringLiteral("none.tcf")), answers, false).outcome, RestoreOutcome::NotWritten);
    }

    void backupAndRestoreTellEachWayTheyEnd()
    {
        QVERIFY(StartSensor(kCorvix));
        const QString corvix = ReadInto(QStringLiteral("other.tcf"));
        SimFaults faults;
        faults.refused = QStringList{QStringLiteral("OUTPUTINT")};
        QVERIFY(StartSensor(kTempris, faults));
        QCOMPARE(Connect(), ConnectOutcome::Connected);
        const QString file = Path(QStringLiteral("kept.tcf"));
        QCOMPARE(work->Backup(Path(QStringLiteral("missing/kept.tcf"))).outcome, BackupOutcome::FileNotSaved);
        QCOMPARE(work->Backup(file).outcome, BackupOutcome::Saved);
        FixedAnswers yes(true);
        QCOMPARE(work->Restore(corvix, yes, false).outcome, RestoreOutcome::FileRefused);
        const QString before = sensor->Value(QStringLiteral("OUTPUTINT"));
        QVERIFY(SetValueInFile(file, QStringLiteral("OUTPUTINT"), before == QStringLiteral("7") ? 8 : 7));
        QCOMPARE(work->Restore(file, yes, false).outcome, RestoreOutcome::NotVerified); // the sensor refused it
        QVERIFY(SetValueInFile(file, QStringLiteral("OUTPUTINT"), 0));                  // below its minimum
        QCOMPARE(work->Restore(file, yes, false).outcome, RestoreOutcome::InvalidEntries);
        QCOMPARE(work->SaveFile(Path(QStringLiteral("not-saved.tcf"))).outcome, FileOutcome::InvalidEntries);
        QVERIFY(!QFile::exists(Path(QStringLiteral("not-saved.tcf"))));
        QCOMPARE(sensor->Value(QStringLiteral("OUTPUTINT")), before);
        work->Stop();
        QCOMPARE(work->Backup(file).outcome, BackupOutcome::Aborted);
        QVERIFY(SetValueInFile(file, QStringLiteral("OUTPUTINT"), 5));
        QCOMPARE(work->Restore(file, yes, false).outcome, RestoreOutcome::Aborted);
        work->ClearStop();
        faults.silenceAfter = 12; // part way through the back-up's read
        faults.refused.clear();
        QVERIFY(StartSensor(kTempris, faults));
        QCOMPARE(Connect(), ConnectOutcome::Connected);
        QCOMPARE(work->Backup(file).outcome, BackupOutcome::ReadIncomplete);
    }

    void aSensorThatStopsAnsweringAfterConnectingRefusesSetupMode()
    {
        SimFaults faults;
        faults.silenceAfter = 4; // the try's and the connection's queries, setup mode, serial number
        QVERIFY(StartSensor(kTempris, faults));
        QCOMPARE(Connect(), ConnectOutcome::Connected);
        QCOMPARE(work->Read().outcome, ReadOutcome::SetupModeRefused);
        FixedAnswers yes(true);
        const WriteResult written = work->WriteAndVerify(yes, false);
        QCOMPARE(written.outcome, WriteOutcome::SetupModeRefused);
        QVERIFY(written.write.sent.isEmpty());
    }

    void aSensorHangingUpDuringAWriteIsGone()
    {
        SimFaults faults;
        faults.hangUpAfter = 8; // a few lines into the write
        QVERIFY(StartSensor(kTempris, faults));
        QCOMPARE(Connect(), ConnectOutcome::Connected);
        FixedAnswers yes(true);
        const WriteResult written = work->WriteAndVerify(yes, false);
        QCOMPARE(written.outcome, WriteOutcome::DeviceGone);
        QVERIFY(!written.write.failedLine.isEmpty());
    }

    void aStopDuringTheWriteAbortsItAndAClearedStopLetsWorkGoOn()
    {
        QVERIFY(StartSensor(kTempris));
        QCOMPARE(Connect(), ConnectOutcome::Connected);
        int sent = 0;
        connect(work.get(), &SensorWork::lineSent, work.get(), [&] {
            if (++sent == 3)
                work->Stop();
        });
        FixedAnswers yes(true);
        const WriteResult written = work->WriteAndVerify(yes, false);
        QCOMPARE(written.outcome, WriteOutcome::Aborted);
        QCOMPARE(written.write.sent.size(), 3);
        QVERIFY(!sensor->InSetupMode());                      // sent back to measuring
        QCOMPARE(work->Read().outcome, ReadOutcome::Aborted); // the stop holds...
        work->ClearStop();
        QCOMPARE(work->Read().outcome, ReadOutcome::Complete); // ...until cleared
    }

    void aSensorLeftInSafeModeIsConnectedAndReadAt4800()
    {
        SimOptions options = Options(kTempris);
        options.powerOnAfterMs = 100;
        options.safeWindowMs = 600;
        QVERIFY(StartSensor(options));
        {
            // What the safe-mode wizard does: "*" at 4800 until the sensor
            // powers up and answers, the unit query, then it closes the port.
            SimClient wizard;
            QVERIFY(wizard.Open(sensor->DevicePath(), 4800));
            // The sensor echoes what it hears: the answer is the second line.
            QTRY_COMPARE_WITH_TIMEOUT(wizard.Exchange("*", 2, 150).value(1), QStringLiteral("OK"), 3000);
            QVERIFY(wizard.Exchange("%%%", 2).value(1).startsWith(QLatin1String("ID:")));
        }
        QTest::qWait(700); // the window is over: only safe mode keeps it at 4800
        const ConnectResult result = work->Connect(SensorTarget{kSensorCom, 4});
        QCOMPARE(result.outcome, ConnectOutcome::Connected);
        QCOMPARE(result.device.baudText, QStringLiteral("4800"));
        QVERIFY(sensor->InSetupMode());
        QCOMPARE(work->Read().outcome, ReadOutcome::Complete);
        work->Release();
        QVERIFY(!sensor->InSetupMode());
        // Still in safe mode after the program let go: a second connection finds it at 4800 too.
        QCOMPARE(Connect(), ConnectOutcome::NoSensor); // not at its own 19200
        QCOMPARE(work->Connect(SensorTarget{kSensorCom, 4}).outcome, ConnectOutcome::Connected);
    }

    void aSensorAScanFoundIsBroughtOnlineAndAnAttachedSessionIsLetGo()
    {
        QVERIFY(StartSensor(kTempris));
        const ConnectResult found = work->Search(SensorTarget{kSensorCom, -1});
        QCOMPARE(found.outcome, ConnectOutcome::Connected);
        QVERIFY(!sensor->InSetupMode()); // a search opens nothing for good
        QCOMPARE(work->ConnectFound(found.device).outcome, ConnectOutcome::Connected);
        QVERIFY(sensor->InSetupMode());
        QVERIFY(work->TemplatePath().endsWith(QLatin1String(".tdx")) || QFile::exists(work->TemplatePath()));
        // Another work attached to that session reads through it and lets
        // go of it without a word to the sensor.
        SensorWork attached(QStringLiteral(TALVEK_TEST_APP_DIR "/"), kShortDelays);
        attached.Attach(work->Session());
        attached.Adopt(work->Current());
        QCOMPARE(attached.Read().outcome, ReadOutcome::Complete);
        attached.Release();
        QVERIFY(sensor->InSetupMode());
        QVERIFY(work->Session() != nullptr);
    }

    void eachConnectFailureIsToldInTheBoxesWords_data()
    {
        QTest::addColumn<ConnectOutcome>("outcome");
        QTest::addColumn<int>("problem");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QString>("firstText");
        const QString ce = QStringLiteral("Connection Error");
        const QString ie = QStringLiteral("Initialisation Error");
        using P = ConnectResult::IdentityProblem;
        QTest::newRow("not found") << ConnectOutcome::NoSensor << int(P::None) << QStringList{} << QString();
        QTest::newRow("port") << ConnectOutcome::PortNotOpened << int(P::None) << QStringList{ce}
                              << QStringLiteral("FAILED_TO_OPEN_PORT\n\nCOM7 (19200 baud): busy");
        QTest::newRow("no protocol") << ConnectOutcome::UnknownDevice << int(P::NoProtocol)
                                     << QStringList{QStringLiteral("WARNING"), ie, ce}
                                     << QStringLiteral("ID X does not identify protocol version. Aborting");
        QTest::newRow("unknown") << ConnectOutcome::UnknownDevice << int(P::Unknown)
                                 << QStringList{QStringLiteral("ERROR"), ie, ce}
                                 << QStringLiteral("ID X is an unknown device type");
        QTest::newRow("units") << ConnectOutcome::UnitsUnusable << int(P::None) << QStringList{ie, ce}
                               << QStringLiteral("Failed to open units file\n\nbusy");
        QTest::newRow("template") << ConnectOutcome::TemplateUnusable << int(P::None) << QStringList{ie, ce}
                                  << QStringLiteral("Failed to open template file\n\nbusy");
        QTest::newRow("setup") << ConnectOutcome::SetupModeFailed << int(P::None) << QStringList{ce}
                               << QStringLiteral("Failed to get SETUP MODE\n\nCOM7 (19200 baud): busy");
        QTest::newRow("serial") << ConnectOutcome::SerialNumberFailed << int(P::None) << QStringList{ce}
                                << QStringLiteral("Failed to get SERIAL NUMBER");
    }

    void eachConnectFailureIsToldInTheBoxesWords()
    {
        QFETCH(ConnectOutcome, outcome);
        QFETCH(int, problem);
        QFETCH(QStringList, captions);
        QFETCH(QString, firstText);
        ConnectResult result;
        result.outcome = outcome;
        result.identityProblem = ConnectResult::IdentityProblem(problem);
        result.device.portIndex = kSensorCom - 1;
        result.device.baudText = QStringLiteral("19200");
        result.device.identity = QStringLiteral("ID X");
        result.reason = QStringLiteral("busy");
        if (outcome == ConnectOutcome::UnknownDevice)
            result.reason = problem == int(ConnectResult::IdentityProblem::NoProtocol)
                                ? QStringLiteral(" does not identify protocol version. Aborting")
                                : QStringLiteral(" is an unknown device type");
        const QList<MessageText> messages = ConnectFailureMessages(result);
        QStringList shownCaptions;
        for (const MessageText &message : messages)
            shownCaptions << message.caption;
        QCOMPARE(shownCaptions, captions);
        if (!messages.isEmpty())
            QCOMPARE(messages.first().text, firstText);
    }
};

QTEST_GUILESS_MAIN(TestSensorWork)
#include "tst_sensorWork.moc"
