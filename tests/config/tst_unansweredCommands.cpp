// A sensor that leaves a command unanswered, or answers one late, is still
// read and written whole: the read marks the settings it could not get and
// goes on, a write sends every line and the verification names what did not
// take. Only a sensor that is gone stops the work early.
#include "config/summary.h"
#include "tests/config/simulatedDevice.h"

#include <QLineEdit>
#include <QtTest>

using namespace SimulatedDevice;

namespace
{
const QString kCorvix = QStringLiteral("corvixII_pv5_template.tdx");

// Every param's element as the read left it, by command.
QMap<QString, QString> StoredParams(const TFormConfig &engine)
{
    QMap<QString, QString> stored;
    const IXMLdeviceType device = engine.Device();
    for (int c = 0; c < device.Count(); ++c) {
        for (int p = 0; p < device.Category(c).Count(); ++p) {
            const IXMLparamType param = device.Category(c).Param(p);
            stored.insert(param.Cmd(), param.XML());
        }
    }
    return stored;
}

// What a read of the sensor without faults stores.
QMap<QString, QString> HealthyRead()
{
    Bench bench;
    if (!bench.Connect(kCorvix) || !bench.engine->GetDeviceSettings())
        return {};
    return StoredParams(*bench.engine);
}

int ParamsAsked(const Bench &bench, const QMap<QString, QString> &params)
{
    int asked = 0;
    for (const QString &cmd : params.keys())
        asked += bench.LogCount(cmd) > 0 ? 1 : 0;
    return asked;
}

// The command's line as the write built and then sent it: logged once when
// built and once more when sent.
bool LineSent(const Bench &bench, const QString &cmd)
{
    for (const QString &line : bench.logs) {
        if (line.startsWith(cmd + QLatin1Char(' ')))
            return bench.LogCount(line) > 1;
    }
    return false;
}
} // namespace

class TestUnansweredCommands : public QObject
{
    Q_OBJECT

    QMap<QString, QString> healthy;

    // Every param but the unanswered ones is stored as a sensor without
    // faults gives it; each unanswered one is marked failed or, when its
    // answer came in time after all, read right.
    static void CheckReadWhole(const Bench &bench, const QMap<QString, QString> &healthy, const QStringList &unanswered,
                               bool answerMayCome);

private slots:
    void initTestCase();
    void readGoesOnPastUnansweredCommands_data();
    void readGoesOnPastUnansweredCommands();
    void lateAnswerNeverShiftsLaterValues_data();
    void lateAnswerNeverShiftsLaterValues();
    void writeSendsEveryLinePastAnUnansweredOne();
    void silentSensorStopsTheReadAtOnce();
    void silentSensorStopsTheWrite();
};

void TestUnansweredCommands::initTestCase()
{
    healthy = HealthyRead();
    QCOMPARE(healthy.size(), 15);
}

void TestUnansweredCommands::CheckReadWhole(const Bench &bench, const QMap<QString, QString> &healthy,
                                            const QStringList &unanswered, bool answerMayCome)
{
    const QMap<QString, QString> stored = StoredParams(*bench.engine);
    const IXMLdeviceType device = bench.engine->Device();
    for (int c = 0; c < device.Count(); ++c) {
        for (int p = 0; p < device.Category(c).Count(); ++p) {
            const IXMLparamType param = device.Category(c).Param(p);
            const QString cmd = param.Cmd();
            if (unanswered.contains(cmd) && (param.Valid() == 0 || !answerMayCome)) {
                QCOMPARE(param.Valid(), 0);
                continue;
            }
            QVERIFY2(stored.value(cmd) == healthy.value(cmd),
                     qPrintable(cmd + QStringLiteral(": ") + stored.value(cmd)));
        }
    }
}

void TestUnansweredCommands::readGoesOnPastUnansweredCommands_data()
{
    QTest::addColumn<QStringList>("ignored");
    QTest::newRow("the first") << QStringList{QStringLiteral("BAUD")};
    QTest::newRow("two apart") << QStringList{QStringLiteral("SPEEDUNIT"), QStringLiteral("DIROFFSET")};
    // A delayed read among them: its exchange collects lines for a while.
    QTest::newRow("three in a row") << QStringList{QStringLiteral("TEMPUNIT"), QStringLiteral("AVGLONG"),
                                                   QStringLiteral("OUTRATE")};
}

void TestUnansweredCommands::readGoesOnPastUnansweredCommands()
{
    QFETCH(QStringList, ignored);
    SimFaults faults;
    faults.ignored = ignored;
    Bench bench;
    QVERIFY2(bench.Connect(kCorvix, faults), qPrintable(bench.error));

    QVERIFY(!bench.engine->GetDeviceSettings()); // not every setting was read
    QVERIFY2(bench.dialogs.boxes.isEmpty(), qPrintable(bench.dialogs.texts().join(QLatin1Char('|'))));
    QVERIFY(!bench.engine->IsBusy());
    QCOMPARE(ParamsAsked(bench, healthy), int(healthy.size()));
    CheckReadWhole(bench, healthy, ignored, false);
    QVERIFY(QFile::exists(bench.engine->RetrievedConfigPath()));
    // The summary lists exactly the ones that were not read.
    const QStringList lines = bench.host.summary.Lines();
    const qsizetype problems = lines.indexOf(QStringLiteral("PROBLEMS WERE ENCOUNTERED WITH THE FOLLOWING COMMANDS:"));
    QVERIFY2(problems >= 0, qPrintable(lines.join(QLatin1Char('\n'))));
    QStringList listed;
    for (qsizetype i = problems + 2; i < lines.size() && !lines[i].isEmpty(); ++i)
        listed << lines[i].trimmed();
    QCOMPARE(listed, ignored);
    QVERIFY(bench.sim->InSetupMode()); // as after any read: the caller leaves it
}

void TestUnansweredCommands::lateAnswerNeverShiftsLaterValues_data()
{
    // The link waits 266 ms for an answer here; the late one lands in the
    // liveness probe, in the next read's flush or in the next read itself.
    QTest::addColumn<QString>("cmd");
    QTest::addColumn<int>("lateMs");
    QTest::newRow("in the probe") << QStringLiteral("AVGLONG") << 400;
    QTest::newRow("in the next read") << QStringLiteral("ECHO") << 700;
    QTest::newRow("after the next read") << QStringLiteral("AVGLONG") << 900;
    QTest::newRow("delayed, in the next read") << QStringLiteral("BAUD") << 700;
}

void TestUnansweredCommands::lateAnswerNeverShiftsLaterValues()
{
    QFETCH(QString, cmd);
    QFETCH(int, lateMs);
    SimFaults faults;
    faults.lateMs.insert(cmd, lateMs);
    Bench bench;
    QVERIFY2(bench.Connect(kCorvix, faults), qPrintable(bench.error));

    const bool wholeInTime = bench.engine->GetDeviceSettings();
    QCOMPARE(wholeInTime, bench.engine->FailedReads().isEmpty());
    QVERIFY2(bench.dialogs.boxes.isEmpty(), qPrintable(bench.dialogs.texts().join(QLatin1Char('|'))));
    QCOMPARE(ParamsAsked(bench, healthy), int(healthy.size()));
    CheckReadWhole(bench, healthy, {cmd}, true);
    QVERIFY(QFile::exists(bench.engine->RetrievedConfigPath()));
}

void TestUnansweredCommands::writeSendsEveryLinePastAnUnansweredOne()
{
    SimFaults faults;
    faults.ignored = QStringList{QStringLiteral("ECHO")};
    Bench bench;
    QVERIFY2(bench.Connect(kCorvix, faults), qPrintable(bench.error));
    // The pages show the template's values, which the sensor starts from; a
    // setting after the unanswered one changes.
    const IXMLdeviceType device = bench.engine->Device();
    QLineEdit *edit = nullptr;
    for (int c = 0; c < device.Count(); ++c) {
        for (int p = 0; p < device.Category(c).Count(); ++p) {
            if (device.Category(c).Param(p).Cmd() == QLatin1String("AVGLONG"))
                edit = bench.engine->Controls(c, p).edit;
        }
    }
    QVERIFY(edit);
    const QString value = bench.sim->Value(QStringLiteral("AVGLONG")) == QLatin1String("30") ? QStringLiteral("20")
                                                                                             : QStringLiteral("30");
    edit->setText(value);
    bench.logs.clear();

    QVERIFY(bench.engine->WriteSettingsToDevice());
    QVERIFY(!bench.engine->IsBusy());
    QVERIFY(LineSent(bench, QStringLiteral("ECHO")));
    QVERIFY(LineSent(bench, QStringLiteral("USERINF"))); // the last line
    QCOMPARE(bench.sim->Value(QStringLiteral("AVGLONG")), value);

    QVERIFY(!bench.engine->VerifySettings());
    QCOMPARE(bench.engine->WorkList(), QStringList{QStringLiteral("ECHO")});
}

void TestUnansweredCommands::silentSensorStopsTheReadAtOnce()
{
    SimFaults faults;
    faults.silenceAfter = 8; // a few settings into the read
    Bench bench;
    QVERIFY2(bench.Connect(kCorvix, faults), qPrintable(bench.error));
    QVERIFY(!bench.engine->GetDeviceSettings());
    // Connecting and entering setup mode took three commands, five settings
    // were answered; the first unanswered one and the unanswered unit query
    // are enough: the rest are never asked.
    QCOMPARE(ParamsAsked(bench, healthy), 6);
    QVERIFY(bench.logs.contains(QStringLiteral("The device stopped answering.")));
    QCOMPARE(bench.dialogs.texts(), QStringList{QStringLiteral("UNABLE_TO_READ_FROM_DEVICE")});
    QVERIFY(!bench.host.summary.HasContent());
    QVERIFY(!QFile::exists(bench.engine->RetrievedConfigPath()));
    QVERIFY(!bench.engine->IsBusy());
}

void TestUnansweredCommands::silentSensorStopsTheWrite()
{
    SimFaults faults;
    faults.silenceAfter = 5; // a few lines into the write
    Bench bench;
    QVERIFY2(bench.Connect(kCorvix, faults), qPrintable(bench.error));
    QVERIFY(!bench.engine->WriteSettingsToDevice());
    QVERIFY(bench.logs.contains(QStringLiteral("The device does not answer.")));
    // Connecting and entering setup mode took three commands, two lines were
    // answered, the third was not: nothing after it is sent.
    QVERIFY(LineSent(bench, QStringLiteral("ADDRESS")));
    QVERIFY(LineSent(bench, QStringLiteral("COMMS")));
    QVERIFY(!LineSent(bench, QStringLiteral("MSGMODE")));
    QVERIFY(!LineSent(bench, QStringLiteral("USERINF")));
    QVERIFY(!bench.engine->IsBusy());
}

QTEST_MAIN(TestUnansweredCommands)
#include "tst_unansweredCommands.moc"
