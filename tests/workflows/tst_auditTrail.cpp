// The audit trail of the workflows' writes, against the simulator: each way
// a write ends leaves exactly one entry saying so, with the settings it
// changed; a log that cannot be written never stops the write.
#include "base/appdata.h"
#include "engine/auditLog.h"
#include "sim/simulator.h"
#include "tests/support/linkTimingSwitch.h"
#include "tests/support/simulatedSensor.h"
#include "tests/workflows/simulatedPortWork.h"
#include "workflows/sensorWork.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace
{
constexpr int kSensorCom = 7;
const QString kTempris = QStringLiteral("Tempris KDX530-3 PV9");
const QString kOutput = QStringLiteral("OUTPUTINT");

bool SetValueInFile(const QString &file, const QString &cmd, int value)
{
    IXMLproductsType products = IXMLproductsType::Load(file);
    const IXMLdeviceType device = products.Device(0);
    for (int c = 0; c < device.Count(); ++c)
        for (int p = 0; p < device.Category(c).Count(); ++p) {
            IXMLparamType param = device.Category(c).Param(p);
            if (param.Cmd() == cmd) {
                param.SetValue(value);
                QString error;
                return SaveConfigDocument(products, file, &error);
            }
        }
    return false;
}

// A user who answers No to every question, the write's confirmation too.
class SaysNo : public IQuestions
{
public:
    bool Ask(QuestionId, const QuestionDetails &) override { return false; }
};

const AuditChange *FindChange(const AuditEntry &entry, const QString &cmd)
{
    for (const AuditChange &change : entry.changes)
        if (change.cmd == cmd)
            return &change;
    return nullptr;
}
} // namespace

class TestAuditTrail : public QObject
{
    Q_OBJECT
    QTemporaryDir dataDir;
    std::unique_ptr<Simulator> sensor;
    std::unique_ptr<SensorWork> work;

    QString AppData() const { return dataDir.path() + QLatin1Char('/'); }
    QString Path(const QString &name) const { return dataDir.filePath(name); }
    QString LogPath() const { return AppData() + QStringLiteral("audit.log"); }
    QList<AuditEntry> Entries() const { return AuditLog(LogPath()).Read().entries; }

    bool StartSensor(const SimFaults &faults = {})
    {
        work.reset();
        sensor.reset();
        SimOptions options;
        options.product = kTempris;
        options.dataDir = QStringLiteral(TALVEK_TEST_APP_DIR);
        options.faults = faults;
        options.streamIntervalMs = 60000;
        sensor = StartSimulatedSensor(options, AppData(), kSensorCom);
        work = WorkOnSimulatedPort(kSensorCom);
        return sensor != nullptr;
    }

    bool Connect() { return work->Connect(SensorTarget{kSensorCom, 6}).outcome == ConnectOutcome::Connected; }

    // The sensor's settings in a file, with OUTPUTINT set to another value
    // (returned in changed); empty when that failed. Nothing is written.
    QString ChangedFile(const QString &name, int &changed)
    {
        const QString file = Path(name);
        if (!Connect() || work->Read().outcome != ReadOutcome::Complete ||
            work->SaveFile(file).outcome != FileOutcome::Done)
            return {};
        work->Release();
        changed = sensor->Value(kOutput) == QStringLiteral("7") ? 8 : 7;
        return SetValueInFile(file, kOutput, changed) ? file : QString();
    }

    // The only entry of the log, which must hold exactly one.
    AuditEntry OnlyEntry() const
    {
        const QList<AuditEntry> entries = Entries();
        if (entries.size() != 1)
            qWarning("the log holds %d entries", int(entries.size()));
        return entries.size() == 1 ? entries.first() : AuditEntry();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dataDir.isValid());
        SetAppDataFolder(AppData());
        UseShortLinkTiming();
    }

    void init() { QFile::remove(LogPath()); }

    void cleanup()
    {
        work.reset();
        sensor.reset();
        QDir(Path(QStringLiteral("blocked"))).removeRecursively();
    }

    void aWriteAfterAReadRecordsWhatItChanged()
    {
        QVERIFY(StartSensor());
        int changed = 0;
        const QString file = ChangedFile(QStringLiteral("changed.tcf"), changed);
        QVERIFY(!file.isEmpty());
        QVERIFY(Entries().isEmpty()); // a read changes nothing: no entry
        const QString before = sensor->Value(kOutput);
        QVERIFY(Connect());
        QCOMPARE(work->Read().outcome, ReadOutcome::Complete);
        FixedAnswers yes(true);
        QCOMPARE(work->LoadFile(file, yes).outcome, FileOutcome::Done);
        const WriteResult written = work->WriteAndVerify(yes, false);
        QCOMPARE(written.outcome, WriteOutcome::Verified);

        const AuditEntry entry = OnlyEntry();
        QCOMPARE(entry.action, QStringLiteral("write"));
        QCOMPARE(entry.outcome, AuditEntry::kVerified);
        QVERIFY(entry.notVerified.isEmpty());
        QCOMPARE(entry.serial, work->SerialNumber());
        QCOMPARE(entry.port, QStringLiteral("COM7"));
        QVERIFY2(entry.node.contains(QStringLiteral("/dev/pts/")), qPrintable(entry.node));
        QVERIFY(entry.identity.contains(QStringLiteral("KDX530"), Qt::CaseInsensitive));
        QVERIFY(!entry.user.isEmpty() && !entry.host.isEmpty());
        // The file differed from the sensor in this one setting only.
        QCOMPARE(entry.changes.size(), 1);
        QCOMPARE(entry.changes[0].cmd, kOutput);
        QCOMPARE(entry.changes[0].before, before);
        QCOMPARE(entry.changes[0].after, QString::number(changed));
        QCOMPARE(written.auditHash, entry.hash);
        QVERIFY(written.auditProblem.isEmpty());
        QCOMPARE(AuditLog(LogPath()).Verify().status, AuditVerifyResult::Status::Intact);
    }

    void aWriteWithoutAReadDoesNotKnowTheValuesBefore()
    {
        QVERIFY(StartSensor());
        int changed = 0;
        const QString file = ChangedFile(QStringLiteral("unread.tcf"), changed);
        QVERIFY(Connect());
        FixedAnswers yes(true);
        QCOMPARE(work->LoadFile(file, yes).outcome, FileOutcome::Done);
        QCOMPARE(work->WriteAndVerify(yes, false).outcome, WriteOutcome::Verified);
        const AuditEntry entry = OnlyEntry();
        QVERIFY(entry.changes.size() > 1); // every setting sent
        const AuditChange *output = FindChange(entry, kOutput);
        QVERIFY(output);
        QCOMPARE(output->before, QStringLiteral("-"));
        QCOMPARE(output->after, QString::number(changed));
    }

    void aRestoreIsRecordedAsOne()
    {
        QVERIFY(StartSensor());
        QVERIFY(Connect());
        const QString file = Path(QStringLiteral("backup.tcf"));
        QCOMPARE(work->Backup(file).outcome, BackupOutcome::Saved);
        const QString before = sensor->Value(kOutput);
        const int changed = before == QStringLiteral("7") ? 8 : 7;
        QVERIFY(SetValueInFile(file, kOutput, changed));
        FixedAnswers yes(true);
        const RestoreResult restored = work->Restore(file, yes, false);
        QCOMPARE(restored.outcome, RestoreOutcome::Verified);
        const AuditEntry entry = OnlyEntry();
        QCOMPARE(entry.action, QStringLiteral("restore"));
        QCOMPARE(entry.outcome, AuditEntry::kVerified);
        QCOMPARE(entry.changes.size(), 1);
        QCOMPARE(entry.changes[0].before, before);
        QCOMPARE(entry.changes[0].after, QString::number(changed));
        QCOMPARE(restored.write.auditHash, entry.hash);
        // The next write is a write again, chained to the restore.
        QCOMPARE(work->WriteAndVerify(yes, false).outcome, WriteOutcome::Verified);
        const QList<AuditEntry> entries = Entries();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[1].action, QStringLiteral("write"));
        QCOMPARE(entries[1].prev, entries[0].hash);
        QVERIFY(entries[1].changes.isEmpty()); // the sensor already held all of it
    }

    void aSettingTheSensorRefusesIsNotVerified()
    {
        SimFaults faults;
        faults.refused = QStringList{kOutput};
        QVERIFY(StartSensor(faults));
        int changed = 0;
        const QString file = ChangedFile(QStringLiteral("refused.tcf"), changed);
        const QString before = sensor->Value(kOutput);
        QVERIFY(Connect());
        QCOMPARE(work->Read().outcome, ReadOutcome::Complete);
        FixedAnswers yes(true);
        QCOMPARE(work->LoadFile(file, yes).outcome, FileOutcome::Done);
        QCOMPARE(work->WriteAndVerify(yes, false).outcome, WriteOutcome::NotVerified);
        const AuditEntry entry = OnlyEntry();
        QCOMPARE(entry.outcome, AuditEntry::kNotVerified);
        QCOMPARE(entry.notVerified, QStringList{kOutput});
        QCOMPARE(entry.changes.size(), 1);
        QCOMPARE(entry.changes[0].before, before);
        QCOMPARE(entry.changes[0].after, QString::number(changed));
    }

    void anAbortedWriteIsRecordedAtOnce()
    {
        QVERIFY(StartSensor());
        QVERIFY(Connect());
        int sent = 0;
        connect(work.get(), &SensorWork::lineSent, work.get(), [&] {
            if (++sent == 3)
                work->Stop();
        });
        FixedAnswers yes(true);
        const WriteResult written = work->WriteAndVerify(yes, false);
        QCOMPARE(written.outcome, WriteOutcome::Aborted);
        const AuditEntry entry = OnlyEntry();
        QCOMPARE(entry.outcome, AuditEntry::kAborted);
        QCOMPARE(written.auditHash, entry.hash);
        // Only what went out is recorded.
        QVERIFY(!entry.changes.isEmpty());
        QVERIFY(entry.changes.size() <= written.write.sent.size());
        for (const AuditChange &change : entry.changes)
            QVERIFY2(written.write.sent.filter(QRegularExpression(QStringLiteral("^%1( |$)").arg(change.cmd))).size() ==
                         1,
                     qPrintable(change.cmd));
    }

    void aSensorGoneDuringTheWriteIsRecorded()
    {
        SimFaults faults;
        faults.hangUpAfter = 8;
        QVERIFY(StartSensor(faults));
        QVERIFY(Connect());
        FixedAnswers yes(true);
        QCOMPARE(work->WriteAndVerify(yes, false).outcome, WriteOutcome::DeviceGone);
        QCOMPARE(OnlyEntry().outcome, AuditEntry::kDeviceGone);
    }

    void aWriteNeverVerifiedIsRecordedWhenLetGo()
    {
        QVERIFY(StartSensor());
        QVERIFY(Connect());
        FixedAnswers yes(true);
        QCOMPARE(work->Write(yes, {}).outcome, WriteOutcome::Verified);
        QVERIFY(Entries().isEmpty()); // waiting for its verification
        QVERIFY(work->AuditHash().isEmpty());
        // A second write before any verification: the first is recorded as it stands.
        QCOMPARE(work->Write(yes, {}).outcome, WriteOutcome::Verified);
        QCOMPARE(OnlyEntry().outcome, AuditEntry::kNoReadBack);
        work->Release();
        const QList<AuditEntry> entries = Entries();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[1].outcome, AuditEntry::kNoReadBack);
        // A verification after the sensor was let go has nothing to record.
        work->Verify();
        QCOMPARE(Entries().size(), 2);
    }

    void nothingSentIsNothingRecorded()
    {
        QVERIFY(StartSensor());
        QVERIFY(Connect());
        SaysNo no;
        QCOMPARE(work->WriteAndVerify(no, false).outcome, WriteOutcome::Declined);
        work->Release();
        QVERIFY(!QFile::exists(LogPath()) || Entries().isEmpty());
    }

    void aLogThatCannotBeWrittenNeverStopsTheWrite()
    {
        QVERIFY(StartSensor());
        int changed = 0;
        const QString file = ChangedFile(QStringLiteral("unlogged.tcf"), changed);
        QVERIFY(QDir(dataDir.path()).mkpath(QStringLiteral("blocked/audit.log")));
        work->SetAuditLogPath(Path(QStringLiteral("blocked/audit.log")));
        QVERIFY(Connect());
        FixedAnswers yes(true);
        QCOMPARE(work->LoadFile(file, yes).outcome, FileOutcome::Done);
        const WriteResult written = work->WriteAndVerify(yes, false);
        QCOMPARE(written.outcome, WriteOutcome::Verified);
        QCOMPARE(sensor->Value(kOutput), QString::number(changed));
        QVERIFY(written.auditHash.isEmpty());
        QVERIFY2(written.auditProblem.contains(Path(QStringLiteral("blocked/audit.log"))),
                 qPrintable(written.auditProblem));
        QCOMPARE(work->AuditProblem(), written.auditProblem);
    }
};

QTEST_GUILESS_MAIN(TestAuditTrail)
#include "tst_auditTrail.moc"
