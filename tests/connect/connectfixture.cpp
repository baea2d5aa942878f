#include "tests/connect/connectfixture.h"

#include "base/appdata.h"
#include "base/log.h"
#include "base/translate.h"
#include "tests/support/simulatedSensor.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QTest>

ConnectFixture::ConnectFixture()
{
    UseShortLinkTiming();
    if (!dataDir.isValid())
        return;
    appData = dataDir.path() + QLatin1Char('/');
    qputenv("TALVEK_DATA_DIR", dataDir.path().toLocal8Bit());
    SetAppDataFolder(appData);
    SetTranslator([](const QString &key) { return Tr(key); });
    SetLogSink([this](const QString &text) { debugLog << text; });
    ready = WriteSettings(CommsSettings());
}

ConnectFixture::~ConnectFixture()
{
    SetLogSink({});
    SetTranslator({});
    sensors.clear();
    peers.clear();
}

bool ConnectFixture::WriteSettings(const CommsSettings &values)
{
    const QString text = QStringLiteral("<GSguisettings description=\"TALVEK SETTINGS FILE\" version=\"2\">\n"
                                        "  <GScategory name=\"Comms\" input=\"\">\n"
                                        "    <GSfirsttryport>%1</GSfirsttryport>\n"
                                        "    <GSresponseTimeout>%2</GSresponseTimeout>\n"
                                        "    <GSinterCharDelay>%3</GSinterCharDelay>\n"
                                        "    <GSpowerOnDelay>%4</GSpowerOnDelay>\n"
                                        "    <GSuserDelayEnabled>1</GSuserDelayEnabled>\n"
                                        "    <GSmanualComport>%5</GSmanualComport>\n"
                                        "    <GSmanualBaudRate>%6</GSmanualBaudRate>\n"
                                        "  </GScategory>\n"
                                        "  <GScategory name=\"General\" input=\"\">\n"
                                        "    <GSlanguage>0</GSlanguage>\n"
                                        "  </GScategory>\n"
                                        "</GSguisettings>\n")
                             .arg(values.firstTryPort)
                             .arg(values.responseTimeout)
                             .arg(values.interCharDelay)
                             .arg(values.powerOnDelay)
                             .arg(values.manualComport)
                             .arg(values.manualBaudRate);
    const QString path = appData + QStringLiteral("TalvekLastSettings.tsf");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.toUtf8()) < 0)
        return false;
    file.close();
    return settings.Open(path);
}

std::unique_ptr<TfrmCommsInit> ConnectFixture::MakeDialog()
{
    auto dialog = std::make_unique<TfrmCommsInit>(&settings);
    dialog->SetPortSource([this]() -> std::optional<QStringList> {
        ++listings;
        QStringList friendlyNames;
        for (const QString &port : std::as_const(ports))
            friendlyNames << QStringLiteral("Test port /dev/test (%1)").arg(port);
        return friendlyNames;
    });
    return dialog;
}

PtyPeer &ConnectFixture::AddSilentPort(int number)
{
    peers.push_back(std::make_unique<PtyPeer>());
    AddComAlias(*peers.back(), number);
    return *peers.back();
}

void ConnectFixture::AddMissingPort(int number)
{
    const QString folder = appData + QStringLiteral("ports/");
    QDir().mkpath(folder);
    QFile::link(QStringLiteral("/nonexistent/talvek-test-device"), folder + QStringLiteral("COM%1").arg(number));
}

Simulator *ConnectFixture::AddSensor(int number, int baud, QString *error, int powerOnAfterMs)
{
    SimOptions options;
    options.product = QStringLiteral("Tempris KDX560-6 PV6");
    options.dataDir = QStringLiteral(TALVEK_TEST_APP_DIR);
    options.baud = baud;
    options.echo = true;
    options.streamIntervalMs = 60000; // no data lines in the way of the queries
    options.powerOnAfterMs = powerOnAfterMs;
    auto sensor = StartSimulatedSensor(options, appData, number, error);
    if (!sensor)
        return nullptr;
    sensors.push_back(std::move(sensor));
    return sensors.back().get();
}

bool WaitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

bool ConnectFixture::ShowAndWaitForScan(TfrmCommsInit &dialog, int timeoutMs)
{
    const int scansBefore = listings;
    dialog.show();
    // The scan runs from a queued call; it is over when the dialog is idle again.
    return WaitUntil([&] { return listings > scansBefore && !dialog.Busy(); }, timeoutMs);
}

std::unique_ptr<TfrmCommsInit> ConnectFixture::MakeIdleDialog()
{
    ports.clear();
    auto dialog = MakeDialog();
    if (!ShowAndWaitForScan(*dialog))
        return nullptr;
    dialogs.clear();
    debugLog.clear();
    return dialog;
}

QStringList ConnectFixture::LogLinesStartingWith(const QString &prefix) const
{
    QStringList lines;
    for (const QString &line : debugLog)
        if (line.startsWith(prefix))
            lines << line;
    return lines;
}
