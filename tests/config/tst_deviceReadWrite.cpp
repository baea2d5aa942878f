// Reading from and writing to a simulated sensor through the real link and
// session: every value lands in the document and the pages, writes are
// verified, refusals and aborts are reported, and a device that falls silent
// or hangs up leaves the engine usable and out of setup mode.
#include "engine/splitFields.h"
#include "config/summary.h"
#include "diagnostics/progressDlg.h"
#include "diagnostics/sessionReport.h"
#include "tests/config/simulatedDevice.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

using namespace SimulatedDevice;

namespace
{
const QString kTempris = QStringLiteral("tempris_type_9_pv3_template.tdx");
const QString kCorvix = QStringLiteral("corvixII_pv5_template.tdx");
const QString kRelaypoint = QStringLiteral("relaypoint_pv6_template.tdx");

QString SensorName(const IXMLcategoryType &category)
{
    return category.Sensorname().isEmpty() ? category.Name() : category.Sensorname();
}

struct Located {
    int c = -1;
    int p = -1;
    IXMLparamType param;
};

// The first param of this type whose control the test can change.
Located FirstOfType(const TFormConfig &engine, const QString &type)
{
    const IXMLdeviceType device = engine.Device();
    for (int c = 0; c < device.Count(); ++c) {
        for (int p = 0; p < device.Category(c).Count(); ++p) {
            const IXMLparamType param = device.Category(c).Param(p);
            const ParamControls &controls = engine.Controls(c, p);
            const bool usable = type == QLatin1String("int")      ? controls.edit && param.Max() > param.Min()
                                : type == QLatin1String("select") ? controls.combo && controls.combo->count() > 1
                                                                  : controls.edit != nullptr;
            // Settings that change how the device talks are left alone (the
            // editor warns about them).
            if (param.Type() == type && usable && param.Warncritical() == 0)
                return {c, p, param};
        }
    }
    return {};
}

QString PortLog()
{
    return QString::fromLatin1(ReadFile(GetAppDataFolder() + QStringLiteral("comm%1.dbg").arg(kComNumber)));
}
} // namespace

class TestDeviceReadWrite : public QObject
{
    Q_OBJECT

    // What the device says for param, in the form the read stores it; a
    // null text when the stored value matches.
    static QString Mismatch(const Bench &bench, const IXMLparamType &param);
    // The list the read stores for a report param (substitute names mapped).
    static QString ExpectedReport(const Bench &bench, const IXMLparamType &report);
    // The value of the device's last reply to cmd, as the link handed it over.
    static QString Reply(const Bench &bench, const QString &cmd);
    // Changes an int setting in the pages to another allowed value; its cmd
    // and the new value.
    static QPair<QString, int> ChangeInt(TFormConfig &engine);
    void ReadThenFail(Bench &bench);

private slots:
    void fullRead_data();
    void fullRead();
    void writeChangedSettingAndVerify();
    void refusedWriteFailsVerification();
    void clockSyncAndIgnoredCommands_data();
    void clockSyncAndIgnoredCommands();
    void abortStopsAtNextCategory();
    void abortDuringLastCategoryHasNoEffect();
    void silenceMidRead();
    void hangUpMidRead();
    void hangUpMidWrite();
    void noiseBytesBeforeEveryLine();
    void setupModeRefused();
};

QString TestDeviceReadWrite::Reply(const Bench &bench, const QString &cmd)
{
    const QString head = cmd + QStringLiteral(" =");
    for (auto it = bench.logs.crbegin(); it != bench.logs.crend(); ++it) {
        if (it->startsWith(head))
            return it->mid(head.size()).trimmed();
    }
    return QStringLiteral("<no reply>");
}

QString TestDeviceReadWrite::ExpectedReport(const Bench &bench, const IXMLparamType &report)
{
    const TFormConfig &engine = *bench.engine;
    const QString value = Reply(bench, report.Cmd());
    QString list = report.Type() == QLatin1String("reportxdr")
                       ? TFormConfig::NormaliseXdrList(value)
                       : engine.NormaliseReportList(value, nullptr, TFormConfig::OfferedSentences(report));
    QStringList substs;
    QStringList names;
    const IXMLdeviceType device = engine.Device();
    for (int c = 0; c < device.Count(); ++c) {
        for (int p = 0; p < device.Category(c).Count(); ++p) {
            const IXMLparamType param = device.Category(c).Param(p);
            if (param.Type() == QLatin1String("substname")) {
                substs << param.String();
                names << SensorName(device.Category(c));
            }
        }
    }
    return substs.isEmpty() ? list : TFormConfig::ReplaceSubstNames(list, substs, names);
}

QString TestDeviceReadWrite::Mismatch(const Bench &bench, const IXMLparamType &param)
{
    const TFormConfig &engine = *bench.engine;
    const Simulator &sim = *bench.sim;
    const QString type = param.Type();
    const QString cmd = param.Cmd();
    const bool delayed = type.startsWith(QLatin1String("delayed"));
    const QString value = delayed ? sim.Pending(cmd) : sim.Value(cmd);
    const QStringList options = TFormConfig::FillOptionList(param);
    const QString notConfigured = QStringLiteral("NOT CONFIGURED");
    QString stored;
    QString expected = value;
    if (type == QLatin1String("int") || type == QLatin1String("delayedint")) {
        stored = QString::number(param.Value());
        expected = QString::number(value.toInt());
    } else if (type == QLatin1String("select") || type == QLatin1String("delayedselect")) {
        stored = options.value(param.Selected());
    } else if (type == QLatin1String("sensorunits")) {
        const int m = engine.UnitsDoc().FindMeasurement(param.Measure());
        stored = engine.UnitsDoc().Measurement(m).Unit(param.Selected()).Symbol();
    } else if (type == QLatin1String("senstypeselect")) {
        stored = param.Selected() < 0 ? notConfigured : options.value(param.Selected());
    } else if (type == QLatin1String("reportstr")) {
        stored = param.Reportvalue();
        expected = ExpectedReport(bench, param);
    } else if (type == QLatin1String("reportxdr")) {
        stored = param.Reportxdrvalue() == param.Reportvalue() ? param.Reportvalue() : QStringLiteral("<differ>");
        expected = ExpectedReport(bench, param);
    } else if (type == QLatin1String("aniptype")) {
        stored =
            param.Selected() < 0
                ? notConfigured
                : QStringLiteral("%1,%2,%3").arg(options.value(param.Selected())).arg(param.High()).arg(param.Low());
    } else if (type == QLatin1String("substname") || type == QLatin1String("digcount")) {
        stored = param.String();
        expected = value == notConfigured ? QString() : value;
    } else if (type == QLatin1String("maskedfloat")) {
        stored = param.Floatvalue();
    } else if (type == QLatin1String("timestr") || type == QLatin1String("timestrcheckbox")) {
        stored = param.String();
        expected = Reply(bench, cmd).chopped(2);
    } else if (type == QLatin1String("string")) {
        stored = param.String();
    } else if (type == QLatin1String("cfgsensorunits")) {
        return {}; // its symbol depends on the sensor type; the pages' difference check covers it
    }
    if (stored == expected)
        return {};
    return QStringLiteral("%1 (%2): stored '%3', device '%4'").arg(cmd, type, stored, expected);
}

void TestDeviceReadWrite::fullRead_data()
{
    QTest::addColumn<QString>("templateFile");
    QTest::newRow("Tempris with inputs and XDR") << kTempris;
    QTest::newRow("Corvix") << kCorvix;
    QTest::newRow("Relaypoint") << kRelaypoint;
}

void TestDeviceReadWrite::fullRead()
{
    QFETCH(QString, templateFile);
    Bench bench;
    QVERIFY2(bench.Connect(templateFile), qPrintable(bench.error));
    QVERIFY(bench.host.report.OpenReport(bench.engine->ProductName(), QStringLiteral("12345")));

    QVERIFY(bench.engine->GetDeviceSettings());
    QVERIFY(!bench.engine->IsBusy());
    QVERIFY(bench.dialogs.boxes.isEmpty());
    QVERIFY(bench.sim->InSetupMode()); // the caller decides when to leave it

    const IXMLdeviceType device = bench.engine->Device();
    int checked = 0;
    for (int c = 0; c < device.Count(); ++c) {
        for (int p = 0; p < device.Category(c).Count(); ++p) {
            const IXMLparamType param = device.Category(c).Param(p);
            QVERIFY2(param.Valid() == 1, qPrintable(param.Cmd()));
            const QString mismatch = Mismatch(bench, param);
            QVERIFY2(mismatch.isNull(), qPrintable(mismatch));
            ++checked;
        }
    }
    QVERIFY(checked > 10);

    // The pages show what was read: nothing differs from the retrieved file.
    QVERIFY(!bench.engine->ShowDifferences());
    QVERIFY(bench.engine->WorkList().isEmpty());
    const Located anInt = FirstOfType(*bench.engine, QStringLiteral("int"));
    QVERIFY(anInt.c >= 0);
    QCOMPARE(bench.engine->Controls(anInt.c, anInt.p).edit->text().toInt(), anInt.param.Value());

    const IXMLproductsType retrieved = IXMLproductsType::Load(bench.engine->RetrievedConfigPath());
    QVERIFY(!retrieved.IsNull());
    QCOMPARE(retrieved.Device(0).Name(), device.Name());

    const QStringList summary = bench.host.summary.Lines();
    QVERIFY(bench.host.summary.HasContent());
    QVERIFY(summary.contains(QStringLiteral("SETTINGS ARE AS FOLLOWS:")));
    QVERIFY(!summary.contains(QStringLiteral("PROBLEMS WERE ENCOUNTERED WITH THE FOLLOWING COMMANDS:")));
    const QString reportText = QString::fromUtf8(ReadFile(bench.host.report.FilePath()));
    QVERIFY(reportText.contains(QStringLiteral("Starting Settings Download")));
    QVERIFY(reportText.contains(QStringLiteral("SETTINGS ARE AS FOLLOWS:")));
    QVERIFY(bench.logs.contains(QStringLiteral("Entered setup mode!")));
}

QPair<QString, int> TestDeviceReadWrite::ChangeInt(TFormConfig &engine)
{
    const Located found = FirstOfType(engine, QStringLiteral("int"));
    if (found.c < 0)
        return {};
    const IXMLparamType param = found.param;
    const int value = param.Value() < param.Max() ? param.Value() + 1 : param.Value() - 1;
    QLineEdit *edit = engine.Controls(found.c, found.p).edit;
    edit->setText(QString::number(value));
    return {param.Cmd(), value};
}

void TestDeviceReadWrite::writeChangedSettingAndVerify()
{
    Bench bench;
    QVERIFY2(bench.Connect(kTempris), qPrintable(bench.error));
    QVERIFY(bench.host.report.OpenReport(bench.engine->ProductName(), QStringLiteral("12345")));
    QVERIFY(bench.engine->GetDeviceSettings());
    const auto [cmd, value] = ChangeInt(*bench.engine);
    QVERIFY(!cmd.isEmpty());
    const Located select = FirstOfType(*bench.engine, QStringLiteral("select"));
    QVERIFY(select.c >= 0);
    QComboBox *combo = bench.engine->Controls(select.c, select.p).combo;
    combo->setCurrentIndex((combo->currentIndex() + 1) % combo->count());
    const QString selectText = TFormConfig::FillOptionList(select.param).value(combo->currentIndex());

    QVERIFY(bench.engine->WriteSettingsToDevice());
    QVERIFY(!bench.engine->IsBusy());
    QCOMPARE(bench.sim->Value(cmd).toInt(), value);
    QCOMPARE(bench.sim->Value(select.param.Cmd()), selectText);
    QVERIFY(QFile::exists(bench.engine->UploadedConfigPath()));

    QVERIFY2(bench.engine->VerifySettings(), qPrintable(bench.engine->WorkList().join(QLatin1Char(' '))));
    QVERIFY(bench.engine->WorkList().isEmpty());
    // The editor shows what was written.
    const Located shown = FirstOfType(*bench.engine, QStringLiteral("int"));
    QCOMPARE(bench.engine->Controls(shown.c, shown.p).edit->text().toInt(), value);
    QVERIFY2(bench.dialogs.boxes.isEmpty(), qPrintable(bench.dialogs.texts().join(QLatin1Char('|'))));
    const QString reportText = QString::fromUtf8(ReadFile(bench.host.report.FilePath()));
    QVERIFY(reportText.contains(QStringLiteral("Upload Started")));
    QVERIFY(reportText.contains(QStringLiteral("sent:%1 %2").arg(cmd).arg(value)));
    QVERIFY(!reportText.contains(QStringLiteral("Verify Failed")));
}

void TestDeviceReadWrite::refusedWriteFailsVerification()
{
    // Find the command the test will change, then run a device that refuses it.
    QString cmd;
    {
        Bench probe;
        QVERIFY2(probe.Connect(kCorvix), qPrintable(probe.error));
        cmd = FirstOfType(*probe.engine, QStringLiteral("int")).param.Cmd();
    }
    QVERIFY(!cmd.isEmpty());
    SimFaults faults;
    faults.refused = {cmd};
    Bench bench;
    QVERIFY2(bench.Connect(kCorvix, faults), qPrintable(bench.error));
    QVERIFY(bench.host.report.OpenReport(bench.engine->ProductName(), QStringLiteral("12345")));
    QVERIFY(bench.engine->GetDeviceSettings());
    const QString before = bench.sim->Value(cmd);
    QCOMPARE(ChangeInt(*bench.engine).first, cmd);

    QVERIFY(bench.engine->WriteSettingsToDevice()); // the refusal is found by the verification
    QCOMPARE(bench.sim->Value(cmd), before);
    QVERIFY(!bench.engine->VerifySettings());
    QCOMPARE(bench.engine->WorkList(), QStringList{cmd});
    QVERIFY(!bench.engine->IsBusy());
    const QString reportText = QString::fromUtf8(ReadFile(bench.host.report.FilePath()));
    QVERIFY(reportText.contains(QStringLiteral("Verify Failed")));
    QVERIFY(reportText.contains(QStringLiteral("The following parameters failed to verify:")));
    QVERIFY(bench.logs.contains(QStringLiteral("Error - Failed to verify.")));
}

void TestDeviceReadWrite::clockSyncAndIgnoredCommands_data()
{
    QTest::addColumn<bool>("sync");
    QTest::newRow("sync ticked") << true;
    QTest::newRow("sync not ticked") << false;
}

void TestDeviceReadWrite::clockSyncAndIgnoredCommands()
{
    QFETCH(bool, sync);
    Bench bench;
    QVERIFY2(bench.Connect(kRelaypoint), qPrintable(bench.error));
    QVERIFY(bench.host.report.OpenReport(bench.engine->ProductName(), QStringLiteral("12345")));
    QVERIFY(bench.engine->GetDeviceSettings());
    const Located clock = FirstOfType(*bench.engine, QStringLiteral("timestrcheckbox"));
    const Located station = FirstOfType(*bench.engine, QStringLiteral("string"));
    QVERIFY(clock.c >= 0 && station.c >= 0);
    const ParamControls &clockControls = bench.engine->Controls(clock.c, clock.p);
    QVERIFY(clockControls.check && clockControls.edit);
    clockControls.check->setChecked(sync);
    clockControls.edit->setText(QStringLiteral("2001-02-03T04:05:06"));
    bench.engine->Controls(station.c, station.p).edit->setText(QStringLiteral("COMMAND IGNORED"));

    const QString today = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd"));
    QVERIFY(bench.engine->WriteSettingsToDevice());
    const QString reportText = QString::fromUtf8(ReadFile(bench.host.report.FilePath()));
    QCOMPARE(reportText.contains(QStringLiteral("sent:TIME ") + today + QLatin1Char('T')), sync);
    QCOMPARE(reportText.contains(QStringLiteral("sent:TIME 2001-02-03T04:05:06")), !sync);
    QVERIFY(reportText.contains(QStringLiteral("skipped:%1 COMMAND IGNORED").arg(station.param.Cmd())));
    QVERIFY(!reportText.contains(QStringLiteral("sent:%1 ").arg(station.param.Cmd())));
    QVERIFY(bench.logs.contains(QStringLiteral("Skipped NOT CONFIGURED Command")));
}

void TestDeviceReadWrite::abortStopsAtNextCategory()
{
    Bench bench;
    QVERIFY2(bench.Connect(kTempris), qPrintable(bench.error));
    const IXMLdeviceType device = bench.engine->Device();
    // A category with several params that is not the last one.
    int k = 0;
    while (k < device.Count() - 1 && device.Category(k).Count() < 2)
        ++k;
    QVERIFY(k < device.Count() - 1);
    const IXMLcategoryType second = device.Category(k);
    const QString firstOfSecond = second.Param(0).Cmd();
    const QString lastOfSecond = second.Param(second.Count() - 1).Cmd();
    const QString firstOfThird = device.Category(k + 1).Param(0).Cmd();
    bool closed = true;
    bench.onLog = [&](const QString &line) {
        if (line == firstOfSecond) {
            closed = bench.engine->close(); // refused while the read runs
            bench.engine->ProgressDialog()->buAbortClick();
        }
    };

    QVERIFY(!bench.engine->GetDeviceSettings());
    QVERIFY(!closed);
    QVERIFY(bench.logs.contains(QStringLiteral("Busy...")));
    QCOMPARE(bench.LogCount(lastOfSecond), 1); // the category under way is finished
    QCOMPARE(bench.LogCount(firstOfThird), 0); // the next one is not started
    QVERIFY(bench.logs.contains(QStringLiteral("GetDeviceSettings aborted")));
    QCOMPARE(bench.dialogs.texts(), QStringList{QStringLiteral("Download has been aborted by user")});
    QVERIFY(!bench.engine->IsBusy());
    QVERIFY(!bench.sim->InSetupMode()); // released, so the sensor reports again
    QVERIFY(!bench.engine->ProgressDialog()->isVisible());
}

void TestDeviceReadWrite::abortDuringLastCategoryHasNoEffect()
{
    Bench bench;
    QVERIFY2(bench.Connect(kCorvix), qPrintable(bench.error));
    const IXMLdeviceType device = bench.engine->Device();
    const QString firstOfLast = device.Category(device.Count() - 1).Param(0).Cmd();
    bench.onLog = [&](const QString &line) {
        if (line == firstOfLast)
            bench.engine->ProgressDialog()->buAbortClick();
    };
    QVERIFY(bench.engine->GetDeviceSettings());
    QVERIFY(bench.dialogs.boxes.isEmpty());
    QVERIFY(bench.sim->InSetupMode());
}

void TestDeviceReadWrite::ReadThenFail(Bench &bench)
{
    QVERIFY(!bench.engine->GetDeviceSettings());
    QVERIFY(!bench.engine->IsBusy());
    QVERIFY(bench.dialogs.texts().contains(QStringLiteral("UNABLE_TO_READ_FROM_DEVICE")));
    QVERIFY(!bench.host.summary.HasContent());
    // Released before letting go: "EXIT" went out after the failure.
    const QString log = PortLog();
    QVERIFY(log.lastIndexOf(QStringLiteral("SendString: EXIT")) > log.lastIndexOf(QStringLiteral("Response:")));
}

void TestDeviceReadWrite::silenceMidRead()
{
    SimFaults faults;
    faults.silenceAfter = 8;
    Bench bench;
    QVERIFY2(bench.Connect(kCorvix, faults), qPrintable(bench.error));
    QCOMPARE(bench.link->OpenPortLog(), 0);
    ReadThenFail(bench);
    QVERIFY(!QFile::exists(bench.engine->RetrievedConfigPath()));
}

void TestDeviceReadWrite::hangUpMidRead()
{
    SimFaults faults;
    faults.hangUpAfter = 8;
    Bench bench;
    QVERIFY2(bench.Connect(kCorvix, faults), qPrintable(bench.error));
    QCOMPARE(bench.link->OpenPortLog(), 0);
    ReadThenFail(bench);
    QVERIFY(bench.sim->HungUp());
    // The engine is usable: a second read fails again, cleanly.
    bench.dialogs.clear();
    QVERIFY(!bench.engine->GetDeviceSettings());
    QVERIFY(!bench.engine->IsBusy());
}

void TestDeviceReadWrite::hangUpMidWrite()
{
    int afterRead = 0;
    {
        Bench probe;
        QVERIFY2(probe.Connect(kCorvix), qPrintable(probe.error));
        QVERIFY(probe.engine->GetDeviceSettings());
        afterRead = probe.sim->Commands();
    }
    SimFaults faults;
    faults.hangUpAfter = afterRead + 4;
    Bench bench;
    QVERIFY2(bench.Connect(kCorvix, faults), qPrintable(bench.error));
    QCOMPARE(bench.link->OpenPortLog(), 0);
    QVERIFY(bench.engine->GetDeviceSettings());
    ChangeInt(*bench.engine);

    QVERIFY(!bench.engine->WriteSettingsToDevice());
    QVERIFY(bench.sim->HungUp());
    QVERIFY(!bench.engine->IsBusy());
    const QString log = PortLog();
    QVERIFY(log.lastIndexOf(QStringLiteral("SendString: EXIT")) > log.lastIndexOf(QStringLiteral("Response:")));
    // Nor can the write be verified.
    QVERIFY(!bench.engine->VerifySettings());
    QVERIFY(!bench.engine->IsBusy());
}

void TestDeviceReadWrite::noiseBytesBeforeEveryLine()
{
    SimFaults faults;
    faults.noise = true;
    Bench bench;
    QVERIFY2(bench.Connect(kCorvix, faults), qPrintable(bench.error));
    const bool read = bench.engine->GetDeviceSettings();
    QVERIFY(!bench.engine->IsBusy());
    const IXMLdeviceType device = bench.engine->Device();
    // The link drops non-printing bytes: either every value was read as the
    // device holds it, or the read says it failed and leaves setup mode.
    if (read) {
        for (int c = 0; c < device.Count(); ++c) {
            for (int p = 0; p < device.Category(c).Count(); ++p) {
                const QString mismatch = Mismatch(bench, device.Category(c).Param(p));
                QVERIFY2(mismatch.isNull(), qPrintable(mismatch));
            }
        }
    } else {
        QVERIFY(!bench.dialogs.boxes.isEmpty());
    }
}

void TestDeviceReadWrite::setupModeRefused()
{
    SimFaults faults;
    faults.silenceAfter = 1; // answers the identity query, then nothing
    Bench bench;
    QVERIFY2(bench.Connect(kCorvix, faults), qPrintable(bench.error));
    QVERIFY(!bench.engine->GetDeviceSettings());
    QCOMPARE(bench.dialogs.texts(), QStringList{QStringLiteral("UNABLE_TO_CONFIGURE_DEVICE")});
    QVERIFY(bench.logs.contains(QStringLiteral("Unable to enter setup mode!")));
    QVERIFY(!bench.engine->IsBusy());
}

QTEST_MAIN(TestDeviceReadWrite)
#include "tst_deviceReadWrite.moc"
