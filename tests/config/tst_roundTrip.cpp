// A read followed by an unchanged write leaves the sensor exactly as it was:
// simulated sensors of every family start from settings drawn at random from
// their templates (reports of every form, substitute names, clocks set
// anywhere). After read and write, after backup and restore, and after save,
// load and write, every setting the simulator holds is compared with what it
// held before, and the write must have been verified.
#include "diagnostics/sessionReport.h"
#include "tests/config/simulatedDevice.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QtTest>

using namespace SimulatedDevice;

namespace
{
// Several products of each family (old and new protocols; six, five and two
// sentences; inputs with substitute names; XDR lists; both kinds of clock),
// each with its own seed. The seed modulo 4 picks the report's form where
// the product has sentences: parameters, every sentence, some, both.
struct Product {
    const char *templateFile;
    quint32 seed;
};
const Product kReadWrite[] = {
    {"tempris_type_5b_pv9_template.tdx", 2}, {"tempris_type_10_pv8_template.tdx", 3},
    {"tempris_type_9_pv5_template.tdx", 5},  {"corvixII_pv2_template.tdx", 6},
    {"corvixpro_uvw_pv4_template.tdx", 4},   {"corvixprecip_heated_pv5_template.tdx", 9},
    {"relaypoint_pv6_template.tdx", 10},
};
const Product kThroughFiles[] = {
    {"tempris_type_5b_pv9_template.tdx", 7},
    {"corvixpro_uvw_pv4_template.tdx", 11},
    {"relaypoint_pv6_template.tdx", 13},
};

// The settings whose values differ, one line each ("before -> after").
QString Changes(const QStringList &before, const QStringList &after)
{
    QStringList lines;
    for (int i = 0; i < std::max(before.size(), after.size()); ++i) {
        if (before.value(i) != after.value(i))
            lines << before.value(i) + QStringLiteral("  ->  ") + after.value(i);
    }
    return lines.join(QLatin1Char('\n'));
}

QString Texts(const Bench &bench)
{
    return bench.dialogs.texts().join(QLatin1Char('|'));
}
} // namespace

class TestRoundTrip : public QObject
{
    Q_OBJECT

    // Writes what the pages show and verifies it; the sensor must then hold
    // what it held before.
    // verify: read back and compare as the program does after a write.
    static void WriteUnchanged(Bench &bench, const QStringList &before, const char *step, bool verify);
    static QLineEdit *ClockEdit(const Bench &bench, QCheckBox **syncBox = nullptr);
    static void AddRows(const Product *begin, const Product *end);
    // Starts the row's product with the row's random settings.
    static bool ConnectRandom(Bench &bench);

private slots:
    void readAndWrite_data();
    void readAndWrite();
    void throughFiles_data();
    void throughFiles();
    void clockIsSetOnlyWhenAsked_data();
    void clockIsSetOnlyWhenAsked();
};

void TestRoundTrip::WriteUnchanged(Bench &bench, const QStringList &before, const char *step, bool verify)
{
    TFormConfig &engine = *bench.engine;
    QVERIFY2(engine.WriteSettingsToDevice(), step);
    const bool verified = !verify || engine.VerifySettings();
    const QString changes = Changes(before, bench.sim->State());
    QVERIFY2(changes.isEmpty(), qPrintable(QStringLiteral("%1 changed the sensor:\n%2").arg(step, changes)));
    QVERIFY2(verified, qPrintable(QStringLiteral("%1: not verified: %2").arg(step, engine.WorkList().join(' '))));
    QVERIFY2(bench.dialogs.boxes.isEmpty(), qPrintable(Texts(bench)));
}

void TestRoundTrip::AddRows(const Product *begin, const Product *end)
{
    QTest::addColumn<QString>("templateFile");
    QTest::addColumn<quint32>("seed");
    for (const Product *product = begin; product != end; ++product)
        QTest::addRow("%s seed %u", product->templateFile, product->seed)
            << QString::fromLatin1(product->templateFile) << product->seed;
}

bool TestRoundTrip::ConnectRandom(Bench &bench)
{
    QFETCH(QString, templateFile);
    QFETCH(quint32, seed);
    bench.randomSeed = int(seed);
    return bench.Connect(templateFile);
}

void TestRoundTrip::readAndWrite_data()
{
    AddRows(std::begin(kReadWrite), std::end(kReadWrite));
}

void TestRoundTrip::readAndWrite()
{
    Bench bench;
    QVERIFY2(ConnectRandom(bench), qPrintable(bench.error));
    TFormConfig &engine = *bench.engine;
    const QStringList before = bench.sim->State();
    QVERIFY2(engine.GetDeviceSettings(), qPrintable(engine.FailedReads().join(' ') + Texts(bench)));
    QVERIFY2(!engine.ShowDifferences(), qPrintable(engine.WorkList().join(' ')));
    WriteUnchanged(bench, before, "read and write", true);
}

void TestRoundTrip::throughFiles_data()
{
    AddRows(std::begin(kThroughFiles), std::end(kThroughFiles));
}

void TestRoundTrip::throughFiles()
{
    Bench bench;
    QVERIFY2(ConnectRandom(bench), qPrintable(bench.error));
    TFormConfig &engine = *bench.engine;
    const QStringList before = bench.sim->State();

    // Back up (read and save) and restore (check, load, write).
    const QString backup = bench.dataDir.filePath(QStringLiteral("backup.tcf"));
    QVERIFY2(engine.GetDeviceSettings(), qPrintable(engine.FailedReads().join(' ') + Texts(bench)));
    QVERIFY(engine.SaveConfigFile(backup));
    QVERIFY(engine.CheckFileCompatibility(backup));
    QVERIFY(engine.BuildConfigPages(backup));
    WriteUnchanged(bench, before, "backup and restore", true);

    // Save what the pages show now to a file, load it and write it.
    const QString file = bench.dataDir.filePath(QStringLiteral("settings.tcf"));
    QVERIFY(engine.SaveConfigFile(file));
    QVERIFY(engine.BuildConfigPages(file));
    WriteUnchanged(bench, before, "save, load and write", false);
}

QLineEdit *TestRoundTrip::ClockEdit(const Bench &bench, QCheckBox **syncBox)
{
    const IXMLdeviceType device = bench.engine->Device();
    for (int c = 0; c < device.Count(); ++c) {
        for (int p = 0; p < device.Category(c).Count(); ++p) {
            if (device.Category(c).Param(p).Cmd() != QLatin1String("TIME"))
                continue;
            if (syncBox)
                *syncBox = bench.engine->Controls(c, p).check;
            return bench.engine->Controls(c, p).edit;
        }
    }
    return nullptr;
}

void TestRoundTrip::clockIsSetOnlyWhenAsked_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("unchanged") << "unchanged";
    QTest::newRow("typed") << "typed";
    QTest::newRow("sync to PC") << "sync";
}

void TestRoundTrip::clockIsSetOnlyWhenAsked()
{
    QFETCH(QString, how);
    Bench bench;
    bench.randomSeed = 7; // a clock years away from now
    QVERIFY2(bench.Connect(QStringLiteral("tempris_type_5b_pv9_template.tdx")), qPrintable(bench.error));
    QVERIFY(bench.host.report.OpenReport(bench.engine->ProductName(), QStringLiteral("12345")));
    QVERIFY(bench.engine->GetDeviceSettings());
    QCheckBox *sync = nullptr;
    QLineEdit *clock = ClockEdit(bench, &sync);
    QVERIFY(clock && sync);
    sync->setChecked(how == QLatin1String("sync"));
    if (how == QLatin1String("typed"))
        clock->setText(QStringLiteral("2001-02-03T04:05:06"));
    const QStringList before = bench.sim->State();

    QVERIFY(bench.engine->WriteSettingsToDevice());
    const QString sent = QString::fromUtf8(ReadFile(bench.host.report.FilePath()));
    const QString clockAfter = bench.sim->State().filter(QStringLiteral("TIME:")).value(0);
    if (how == QLatin1String("unchanged")) {
        QVERIFY(!sent.contains(QStringLiteral("sent:TIME")));
        QCOMPARE(clockAfter, before.filter(QStringLiteral("TIME:")).value(0));
    } else if (how == QLatin1String("typed")) {
        QVERIFY(sent.contains(QStringLiteral("sent:TIME 2001-02-03T04:05:06")));
    } else {
        const QString today = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd"));
        QVERIFY(sent.contains(QStringLiteral("sent:TIME ") + today + QLatin1Char('T')));
        // Set to the PC's clock: no more than a few seconds off.
        const qint64 offset = clockAfter.section(QLatin1Char(' '), 2, 2).toLongLong();
        QVERIFY2(qAbs(offset) < 5000, qPrintable(clockAfter));
    }
}

QTEST_MAIN(TestRoundTrip)
#include "tst_roundTrip.moc"
