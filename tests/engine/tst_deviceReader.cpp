// Reading a simulated sensor into a document, without any window: what is
// read, what fails, a cancel between categories and a device that goes.
#include "base/appdata.h"
#include "device/interface.h"
#include "engine/deviceReader.h"
#include "engine/deviceWriter.h"
#include "serial/comms.h"
#include "sim/simulator.h"
#include "templates/productCatalogue.h"
#include "tests/support/linkTimingSwitch.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace
{
const QString kAppDir = QStringLiteral(TALVEK_TEST_APP_DIR "/");
const QString kTempris = QStringLiteral("tempris_type_5e_pv9_template.tdx");
constexpr int kComNumber = 62;

QString MenuName(const QString &templateFile)
{
    for (const ProductDef &def : aProductDefs()) {
        if (def.templateFile == templateFile)
            return def.menuName;
    }
    return {};
}

// A simulated sensor, a link with short waits and a session on it, and the
// sensor's template as the document to read into.
struct Bench {
    QTemporaryDir dataDir;
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<TComms> link;
    std::unique_ptr<TfrmInterface> session;
    Document document;
    QString error;

    ~Bench()
    {
        session.reset();
        link.reset();
        if (sim)
            sim->RemoveAlias();
    }

    bool Connect(const QString &templateFile, const SimFaults &faults = {}, int randomSeed = 11)
    {
        SetAppDataFolder(dataDir.path() + QLatin1Char('/'));
        SimOptions options;
        options.product = MenuName(templateFile);
        options.dataDir = QStringLiteral(TALVEK_TEST_APP_DIR);
        options.faults = faults;
        options.randomSeed = randomSeed;
        sim = std::make_unique<Simulator>(options);
        if (options.product.isEmpty() || !sim->Start(&error) ||
            !sim->RegisterAlias(dataDir.path() + QLatin1Char('/'), kComNumber, &error))
            return false;
        link = std::make_unique<TComms>(nullptr, 100, 1);
        PortParams params;
        params.baudCode = 6; // 19200
        if (link->Init(kComNumber - 1, params, 0) != 0) {
            error = QStringLiteral("link: ") + link->OpenErrorText();
            return false;
        }
        session = std::make_unique<TfrmInterface>();
        session->SetComms(link.get());
        session->StartRxService(nullptr);
        session->SetRxServiceMode(RX_MODE_TRANSACTING);
        QString identity;
        if (session->QueryUnit(identity) != 0) {
            error = QStringLiteral("no identity");
            return false;
        }
        const DocumentLoad load = LoadConfigDocument(kAppDir + templateFile);
        error = load.reason;
        document.products = load.products;
        document.units = IXMLsensorunitsType::Load(kAppDir + QStringLiteral("ordaDeviceUnits.tdx"));
        document.identity.productName = document.Device().Name();
        document.identity.protocolVersion = document.Device().Protocolversion();
        document.identity.identityReply = identity;
        return !document.IsNull() && !document.units.IsNull();
    }

    QList<IXMLparamType> Params() const
    {
        QList<IXMLparamType> params;
        const IXMLdeviceType device = document.Device();
        for (int c = 0; c < device.Count(); ++c) {
            for (int p = 0; p < device.Category(c).Count(); ++p)
                params << device.Category(c).Param(p);
        }
        return params;
    }
};
} // namespace

class TestDeviceReader : public QObject
{
    Q_OBJECT

private slots:
    // The simulator answers at once: the link's own waits only cost time.
    void initTestCase() { UseShortLinkTiming(); }
    void readsWhatTheDeviceHolds();
    void paramsTheDeviceLacksFailAndTheReadGoesOn();
    void cancelStopsBeforeTheNextCategory();
    void aDeviceThatHangsUpEndsTheRead();
    void aDeviceThatWillNotEnterSetupModeIsNotRead();

    void writtenSettingsAreVerified();
    void aRefusedWriteIsNotVerified();
    void cancelStopsTheWriteAfterTheLineUnderWay();
    void aDeviceThatHangsUpEndsTheWrite();

private:
    // Reads the sensor into the bench's document; the sensor stays in setup mode.
    static bool ReadAll(Bench &bench);
    static IXMLparamType Param(const Bench &bench, const QString &cmd);
};

bool TestDeviceReader::ReadAll(Bench &bench)
{
    // As the editor prunes the template by the device's options: only what
    // the sensor has is read and written.
    for (const IXMLparamType &param : bench.Params()) {
        if (!bench.sim->Has(param.Cmd()))
            param.Element().parentNode().removeChild(param.Element());
    }
    return DeviceReader(bench.session.get(), bench.document).Read().stop == ReadReport::Stop::None;
}

IXMLparamType TestDeviceReader::Param(const Bench &bench, const QString &cmd)
{
    for (const IXMLparamType &param : bench.Params()) {
        if (param.Cmd() == cmd)
            return param;
    }
    return {};
}

void TestDeviceReader::readsWhatTheDeviceHolds()
{
    Bench bench;
    QVERIFY2(bench.Connect(kTempris), qPrintable(bench.error));
    DeviceReader reader(bench.session.get(), bench.document);
    QList<int> done;
    int total = 0;
    connect(&reader, &DeviceReader::progress, this, [&](int d, int t) {
        done << d;
        total = t;
    });
    const ReadReport report = reader.Read();
    QCOMPARE(report.stop, ReadReport::Stop::None);
    QVERIFY(!report.deviceGone);
    QVERIFY(!report.leftInMeasuringMode);
    QVERIFY(bench.sim->InSetupMode()); // a read that ran through leaves it to the caller
    QCOMPARE(total, int(bench.Params().size()));
    QCOMPARE(done.first(), 0);
    QCOMPARE(done.last(), total);
    int compared = 0;
    for (const IXMLparamType &param : bench.Params()) {
        const QString cmd = param.Cmd();
        if (!bench.sim->Has(cmd))
            continue;
        QVERIFY2(!report.failedCmds.contains(cmd), qPrintable(cmd));
        QCOMPARE(param.Valid(), 1);
        const QString value = bench.sim->Value(cmd);
        if (param.Type() == QLatin1String("int")) {
            QCOMPARE(QString::number(param.Value()), value);
            ++compared;
        } else if (param.Type() == QLatin1String("select")) {
            QCOMPARE(param.Option().Texts().value(param.Selected()), value);
            ++compared;
        } else if (param.Type() == QLatin1String("delayedselect")) {
            QCOMPARE(param.Option().Texts().value(param.Selected()), bench.sim->Pending(cmd));
            ++compared;
        }
    }
    QVERIFY(compared > 10);
}

void TestDeviceReader::paramsTheDeviceLacksFailAndTheReadGoesOn()
{
    SimFaults faults;
    faults.ignored = QStringList{QStringLiteral("AVGLONG"), QStringLiteral("TALKER")};
    Bench bench;
    QVERIFY2(bench.Connect(kTempris, faults), qPrintable(bench.error));
    const ReadReport report = DeviceReader(bench.session.get(), bench.document).Read();
    QCOMPARE(report.stop, ReadReport::Stop::None);
    QVERIFY(!report.Complete());
    QVERIFY(report.failedCmds.contains(QStringLiteral("AVGLONG")));
    QVERIFY(report.failedCmds.contains(QStringLiteral("TALKER")));
    QVERIFY(!report.failedCmds.contains(QStringLiteral("AVGSHORT")));
    for (const IXMLparamType &param : bench.Params()) {
        if (param.Cmd() == QLatin1String("AVGLONG"))
            QCOMPARE(param.Valuestring(), QStringLiteral("VALUE_STRING_NOT_SET"));
    }
}

void TestDeviceReader::cancelStopsBeforeTheNextCategory()
{
    Bench bench;
    QVERIFY2(bench.Connect(kTempris), qPrintable(bench.error));
    const IXMLdeviceType device = bench.document.Device();
    const int firstCategorySize = device.Category(0).Count();
    QVERIFY(firstCategorySize > 1);
    DeviceReader reader(bench.session.get(), bench.document);
    auto token = std::make_shared<CancelToken>();
    reader.SetCancelToken(token);
    int lastDone = 0;
    connect(&reader, &DeviceReader::progress, this, [&](int d, int) {
        lastDone = d;
        if (d == 1)
            token->Cancel(); // as the first param goes out
    });
    const ReadReport report = reader.Read();
    QVERIFY(report.Aborted());
    QVERIFY(!report.Complete());
    QVERIFY(report.leftInMeasuringMode);
    QVERIFY(!bench.sim->InSetupMode()); // let go, so it reports again
    QCOMPARE(lastDone, firstCategorySize); // the category under way was finished
    QCOMPARE(device.Category(0).Param(firstCategorySize - 1).Valid(), 1);
    QCOMPARE(device.Category(1).Param(0).Valid(), 0);
}

void TestDeviceReader::aDeviceThatHangsUpEndsTheRead()
{
    SimFaults faults;
    faults.hangUpAfter = 12;
    Bench bench;
    QVERIFY2(bench.Connect(kTempris, faults), qPrintable(bench.error));
    int reads = 0;
    DeviceReader reader(bench.session.get(), bench.document);
    connect(&reader, &DeviceReader::progress, this, [&](int d, int) { reads = d; });
    const ReadReport report = reader.Read();
    QCOMPARE(report.stop, ReadReport::Stop::Unreadable);
    QVERIFY(report.deviceGone);
    QCOMPARE(report.stopReason, QStringLiteral("The device hung up or was removed."));
    QVERIFY(report.leftInMeasuringMode);
    QVERIFY(bench.sim->HungUp());
    // Nothing more is asked of a device that is gone.
    QVERIFY2(reads < 15, qPrintable(QString::number(reads)));
}

void TestDeviceReader::aDeviceThatWillNotEnterSetupModeIsNotRead()
{
    SimFaults faults;
    faults.silenceAfter = 1; // answers the unit query only
    Bench bench;
    QVERIFY2(bench.Connect(kTempris, faults), qPrintable(bench.error));
    int progressed = 0;
    DeviceReader reader(bench.session.get(), bench.document);
    connect(&reader, &DeviceReader::progress, this, [&](int, int) { ++progressed; });
    const ReadReport report = reader.Read();
    QCOMPARE(report.stop, ReadReport::Stop::SetupModeRefused);
    QVERIFY(report.leftInMeasuringMode);
    QCOMPARE(progressed, 0);
    QVERIFY(!report.Complete());
}

void TestDeviceReader::writtenSettingsAreVerified()
{
    Bench bench;
    QVERIFY2(bench.Connect(kTempris), qPrintable(bench.error));
    QVERIFY(ReadAll(bench));
    CommandOptions options;
    options.timeAsRead = TimeTexts(bench.document.products);
    const int avgLong = Param(bench, "AVGLONG").Value() == 120 ? 121 : 120;
    Param(bench, "AVGLONG").SetValue(avgLong);
    const int echo = Param(bench, "ECHO").Selected() == 0 ? 1 : 0;
    Param(bench, "ECHO").SetSelected(echo);
    DeviceWriter writer(bench.session.get());
    QStringList sentSignals;
    connect(&writer, &DeviceWriter::lineSent, this, [&](const QString &line) { sentSignals << line; });
    const WriteReport write = writer.Write(bench.document, options);
    QVERIFY(write.Complete());
    QVERIFY(!write.leftInMeasuringMode);
    QCOMPARE(sentSignals, write.sent);
    QVERIFY(write.sent.contains(QStringLiteral("AVGLONG %1").arg(avgLong)));
    QVERIFY(!write.sent.filter(QRegularExpression("^TIME ")).size()); // the clock as read is not sent back
    QCOMPARE(bench.sim->Value("AVGLONG"), QString::number(avgLong));
    QCOMPARE(bench.sim->Value("ECHO"), Param(bench, "ECHO").Option().Texts().at(echo));
    const VerifyReport verify = writer.Verify(bench.document);
    QVERIFY2(verify.verified, qPrintable(verify.notVerified.join(' ')));
    QVERIFY(verify.read.Complete());
}

void TestDeviceReader::aRefusedWriteIsNotVerified()
{
    SimFaults faults;
    faults.refused = QStringList{QStringLiteral("AVGSHORT")};
    Bench bench;
    QVERIFY2(bench.Connect(kTempris, faults), qPrintable(bench.error));
    QVERIFY(ReadAll(bench));
    const int avgShort = Param(bench, "AVGSHORT").Value() == 5 ? 6 : 5;
    Param(bench, "AVGSHORT").SetValue(avgShort);
    CommandOptions options;
    options.timeAsRead = TimeTexts(bench.document.products);
    DeviceWriter writer(bench.session.get());
    QVERIFY(writer.Write(bench.document, options).Complete());
    const VerifyReport verify = writer.Verify(bench.document);
    QVERIFY(!verify.verified);
    QCOMPARE(verify.notVerified, QStringList{QStringLiteral("AVGSHORT")});
    QCOMPARE(verify.differences.size(), 1);
    QCOMPARE(verify.differences[0].baseline, QString::number(avgShort));
}

void TestDeviceReader::cancelStopsTheWriteAfterTheLineUnderWay()
{
    Bench bench;
    QVERIFY2(bench.Connect(kTempris), qPrintable(bench.error));
    DeviceWriter writer(bench.session.get());
    auto token = std::make_shared<CancelToken>();
    writer.SetCancelToken(token);
    connect(&writer, &DeviceWriter::progress, this, [&](int done, int) {
        if (done == 2)
            token->Cancel();
    });
    const WriteReport write = writer.Write(bench.document);
    QCOMPARE(write.stop, WriteReport::Stop::Aborted);
    QCOMPARE(write.sent.size(), 3);
    QVERIFY(write.leftInMeasuringMode);
    QVERIFY(!bench.sim->InSetupMode());
}

void TestDeviceReader::aDeviceThatHangsUpEndsTheWrite()
{
    SimFaults faults;
    faults.hangUpAfter = 6;
    Bench bench;
    QVERIFY2(bench.Connect(kTempris, faults), qPrintable(bench.error));
    const WriteReport write = DeviceWriter(bench.session.get()).Write(bench.document);
    QCOMPARE(write.stop, WriteReport::Stop::DeviceGone);
    QVERIFY(!write.failedLine.isEmpty());
    QCOMPARE(write.sent.last(), write.failedLine);
    QVERIFY(write.sent.size() < 8);
    QVERIFY(bench.sim->HungUp());
}

QTEST_GUILESS_MAIN(TestDeviceReader)
#include "tst_deviceReader.moc"
