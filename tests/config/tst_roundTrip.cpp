// A read followed by an unchanged write leaves the sensor exactly as it was:
// simulated sensors of every family start from settings drawn at random from
// their templates (reports of every form, substitute names, clocks set
// anywhere). After read and write, and after backup and restore (save to a
// file, load it, write it), every setting the simulator holds is compared
// with what it held before, and the write must have been verified.
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
    {"tempris_type_5b_pv9_template.tdx", 2},
    {"corvixII_pv2_template.tdx", 7},
    {"corvixprecip_heated_pv5_template.tdx", 5},
};
const Product kThroughFiles[] = {
    {"tempris_type_9_pv5_template.tdx", 8},
    {"corvixpro_uvw_pv4_template.tdx", 3},
    {"relaypoint_pv6_template.tdx", 12},
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
    static void WriteUnchanged(Bench &bench, const QStringList &before, const char *step);
    static QLineEdit *ClockEdit(const Bench &bench, QCheckBox **syncBox = nullptr);
    static void AddRows(const Product *begin, const Product *end);
    // Starts the row's product with the row's random settings.
    static bool ConnectRandom(Bench &bench);

private slots:
    void readAndWrite_data();
    void readAndWrite();
    void throughFiles_data();
    void throughFiles();
    void syncSetsTheClockToNow();
};

void TestRoundTrip::WriteUnchanged(Bench &bench, const QStringList &before, const char *step)
{
    TFormConfig &engine = *bench.engine;
    QVERIFY2(engine.WriteSettingsToDevice(), step);
    const bool verified = engine.VerifySettings();
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
    // TALVEK_ROUNDTRIP_SOAK=N adds N rows spread over the whole catalogue, each
    // with a seed of its own: a longer run by hand than the suite can afford.
    const int soak = qEnvironmentVariableIntValue("TALVEK_ROUNDTRIP_SOAK");
    const QList<ProductDef> &products = aProductDefs();
    const int stride = soak > 0 ? std::max(1, int(products.size()) / soak) : 1;
    for (int i = 0; i < soak; ++i) {
        const ProductDef &product = products[(i * stride + i / int(products.size())) % products.size()];
        const quint32 seed = quint32(100 + i);
        QTest::addRow("soak %s seed %u", qPrintable(product.templateFile), seed) << product.templateFile << seed;
    }
}

void TestRoundTrip::readAndWrite()
{
    Bench bench;
    QVERIFY2(ConnectRandom(bench), qPrintable(bench.error));
    TFormConfig &engine = *bench.engine;
    const QStringList before = bench.sim->State();
    QVERIFY2(engine.GetDeviceSettings(), qPrintable(engine.FailedReads().join(' ') + Texts(bench)));
    QVERIFY2(!engine.ShowDifferences(), qPrintable(engine.WorkList().join(' ')));
    WriteUnchanged(bench, before, "read and write");
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

    // Back up (read, save to a file) and restore (check and load the file,
    // write it): the sensor must hold what it held before.
    const QString backup = bench.dataDir.filePath(QStringLiteral("backup.tcf"));
    QVERIFY2(engine.GetDeviceSettings(), qPrintable(engine.FailedReads().join(' ') + Texts(bench)));
    QVERIFY(engine.SaveConfigFile(backup));
    QVERIFY(engine.CheckFileCompatibility(backup));
    QVERIFY(engine.BuildConfigPages(backup));
    WriteUnchanged(bench, before, "backup and restore");
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

void TestRoundTrip::syncSetsTheClockToNow()
{
    // An unchanged clock is never sent (the round trips above compare it to
    // the millisecond); with "Sync time to PC" it is set to the PC's time.
    Bench bench;
    bench.randomSeed = 1; // a clock years away from now
    QVERIFY2(bench.Connect(QStringLiteral("tempris_type_1_pv9_template.tdx")), qPrintable(bench.error));
    QVERIFY(bench.host.report.OpenReport(bench.engine->ProductName(), QStringLiteral("12345")));
    QVERIFY(bench.engine->GetDeviceSettings());
    QCheckBox *sync = nullptr;
    QVERIFY(ClockEdit(bench, &sync) && sync);
    sync->setChecked(true);

    QVERIFY(bench.engine->WriteSettingsToDevice());
    const QString today = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd"));
    QVERIFY(QString::fromUtf8(ReadFile(bench.host.report.FilePath()))
                .contains(QStringLiteral("sent:TIME ") + today + QLatin1Char('T')));
    const QString clock = bench.sim->State().filter(QStringLiteral("TIME:")).value(0);
    const qint64 offset = clock.section(QLatin1Char(' '), 2, 2).toLongLong();
    QVERIFY2(qAbs(offset) < 5000, qPrintable(clock));
}

QTEST_MAIN(TestRoundTrip)
#include "tst_roundTrip.moc"
