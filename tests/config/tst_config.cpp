#include "base/appdata.h"
#include "base/log.h"
#include "base/translate.h"
#include "config/config.h"
#include "config/resourceFiles.h"
#include "templates/productCatalogue.h"
#include "tests/config/fakeConfigHost.h"
#include "tests/support/scripteddialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using Panel = IConfigHost::Panel;

namespace
{

bool WriteFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

// A small valid template for a catalogue row, with categories categories.
QByteArray TemplateText(const ProductDef &row, int categories = 2)
{
    QByteArray text = QStringLiteral("<?xml version=\"1.0\"?>\n<products version=\"1\">\n"
                                     "<device name=\"%1\" protocolversion=\"%2\" heatingcapability=\"%3\" "
                                     "axisconfig=\"%4\">\n")
                          .arg(row.identityName)
                          .arg(row.protocolVersion)
                          .arg(row.heating)
                          .arg(row.axis == 3 ? QStringLiteral("UVW") : QStringLiteral("STD"))
                          .toUtf8();
    for (int c = 0; c < categories; ++c)
        text += QStringLiteral("<category name=\"Page%1\" groupindex=\"%1\"><param name=\"Address\">"
                               "<cmd>ADDR</cmd><type>int</type><value>0</value></param></category>\n")
                    .arg(c % 20)
                    .toUtf8();
    return text + "</device>\n</products>\n";
}

int RowOf(const QString &templateFile)
{
    const QList<ProductDef> &rows = aProductDefs();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows[i].templateFile == templateFile)
            return i;
    }
    return -1;
}

} // namespace

class TestConfig : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> programDir;
    std::unique_ptr<QTemporaryDir> dataDir;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<FakeConfigHost> host;
    QStringList logs;

    QString ProgramFile(const QString &name) const { return programDir->filePath(name); }

    std::unique_ptr<TFormConfig> NewEngine() { return std::make_unique<TFormConfig>(host.get()); }

private slots:
    void init()
    {
        programDir = std::make_unique<QTemporaryDir>();
        dataDir = std::make_unique<QTemporaryDir>();
        QVERIFY(programDir->isValid() && dataDir->isValid());
        SetAppDataFolder(dataDir->path() + QLatin1Char('/'));
        for (const ProductDef &row : aProductDefs())
            QVERIFY(WriteFile(ProgramFile(row.templateFile), TemplateText(row)));
        QVERIFY(QFile::copy(QStringLiteral(TALVEK_FIXTURES "/units.tdx"), ProgramFile("ordaDeviceUnits.tdx")));
        QVERIFY(WriteFile(ProgramFile("translations.xml"), "<translations/>"));
        dialogs = std::make_unique<ScriptedDialogs>();
        host = std::make_unique<FakeConfigHost>();
        host->programFolder = programDir->path() + QLatin1Char('/');
        logs.clear();
        SetLogSink([this](const QString &text) { logs << text; });
    }

    void cleanup()
    {
        SetLogSink({});
        SetTranslator({});
        host.reset();
        dialogs.reset();
    }

    void constructorSetsThePaths()
    {
        const auto config = NewEngine();
        QCOMPARE(config->AppDir(), host->programFolder);
        QCOMPARE(config->UploadedConfigPath(), dataDir->filePath("uploadedconfig.tmp"));
        QVERIFY(!config->IsBusy());
        QVERIFY(config->ProductsDoc().IsNull());
        QVERIFY(config->UnitsDoc().IsNull());
        QVERIFY(logs.contains("Config form starting up."));
        QVERIFY(dialogs->boxes.isEmpty());

        host->programFolder = programDir->path(); // no trailing separator
        QCOMPARE(NewEngine()->AppDir(), programDir->path() + QLatin1Char('/'));
    }

    void constructorWithoutProgramFolderSaysSo()
    {
        host->programFolder.clear();
        SetTranslator([](const QString &key) { return key == "failed" ? QStringLiteral("echec") : key; });
        const auto config = NewEngine();
        QCOMPARE(dialogs->texts(), QStringList{"GetModuleFileName echec"});
        QCOMPARE(dialogs->captions(), QStringList{"ERROR"});
        QVERIFY(config->AppDir().isEmpty());
        QVERIFY(config->UploadedConfigPath().isEmpty());
        // Nothing can be found without a folder: the units are missing.
        dialogs->clear();
        QCOMPARE(config->InitialiseDevice(false, "OFFLINE"), ConfigResult::FileFailed);
        QCOMPARE(dialogs->texts(), QStringList{"Failed to open units file"});
    }

    void connectedTemprisIsIdentifiedAndLoaded()
    {
        QVERIFY(WriteFile(dataDir->filePath("retrievedconfig.tmp"), "old"));
        const QString reply = QStringLiteral("2.14 PV=8 0117 [0] \"TEMPRIS KDX552-5B-8803\" OPTION=RAIN");
        const auto config = NewEngine();
        config->SetBusy();
        QCOMPARE(config->InitialiseDevice(true, reply), ConfigResult::Ok);
        QVERIFY(dialogs->boxes.isEmpty());
        QVERIFY(!config->IsBusy());
        QVERIFY(!QFile::exists(dataDir->filePath("retrievedconfig.tmp")));
        QCOMPARE(config->RetrievedConfigPath(), dataDir->filePath("retrievedconfig.tmp"));
        QVERIFY(logs.contains("Deleted RETRIEVED CONFIG file."));
        QVERIFY(logs.contains("All xml files loaded ok."));

        QCOMPARE(config->IdentityReply(), reply);
        QVERIFY(config->Online());
        QCOMPARE(config->ProductName(), QStringLiteral("TEMPRIS KDX552-5B"));
        QCOMPARE(config->DisplayName(), QStringLiteral("TEMPRIS KDX552-5B-8803"));
        QCOMPARE(config->ProtocolVersion(), 8);
        QCOMPARE(config->Heating(), 0);
        QCOMPARE(config->AxisConfig(), 2);
        QCOMPARE(config->OptionBits(), 0x8803u);
        QVERIFY(config->HasOption(0x8000));
        QVERIFY(config->HasOption(0x0001 | 0x0004));
        QVERIFY(!config->HasOption(0x0004));
        QVERIFY(!config->HasOption(0));
        QCOMPARE(config->OptionText(), QStringLiteral("RAIN"));
        QCOMPARE(config->SoftwareVersion(), QStringLiteral("2.14"));
        QCOMPARE(config->SoftwareVersionExtra(), QStringLiteral("0117"));

        QCOMPARE(config->TemplatePath(), ProgramFile("tempris_type_5b_552_pv8_template.tdx"));
        QCOMPARE(config->Device().Name(), QStringLiteral("TEMPRIS KDX552-5B"));
        QCOMPARE(config->CategoryCount(), 2);
        QCOMPARE(config->MeasurementCount(), 4);
        QCOMPARE(config->UnitsDoc().Measurement(0).Name(), QStringLiteral("WINDSPEED"));

        QCOMPARE(host->changes.size(), 4);
        QCOMPARE(host->changes[0].panel, Panel::Protocol);
        QCOMPARE(host->changes[0].text, QStringLiteral("-"));
        QCOMPARE(host->changes[0].colour, QColor(128, 128, 128));
        QCOMPARE(host->Text(Panel::Protocol), QStringLiteral("Protocol ver: 8"));
        QCOMPARE(host->Colour(Panel::Protocol), QColor(Qt::white));
        QCOMPARE(host->Text(Panel::Ident), QStringLiteral("TEMPRIS KDX552-5B-8803   [OPT:RAIN]"));
        QCOMPARE(host->Colour(Panel::Ident), QColor(Qt::white));
        QCOMPARE(host->Text(Panel::DeviceType), QStringLiteral("S/W ver: 2.14-0117"));
        QCOMPARE(host->Colour(Panel::DeviceType), QColor(Qt::white));
    }

    void matchedIdentities_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("ident");
        QTest::addColumn<QString>("deviceType");
        QTest::newRow("HEATING=0 is heated") << "2.14 PV=4 0117 [0] \"CORVIX II\" HEATING=0"
                                             << "corvixII_heated_pv4_template.tdx"
                                             << "CORVIX II HEATED"
                                             << "S/W ver: 2.14-0117";
        QTest::newRow("AXIS=uvw is standard") << "2.14 PV=4 0117 [0] \"CORVIX II\" AXIS=uvw"
                                              << "corvixII_pv4_template.tdx"
                                              << "CORVIX II "
                                              << "S/W ver: 2.14-0117";
        QTest::newRow("UVW") << "2.14 PV=3 0117 [0] \"CORVIX PRECIPITATION\" AXIS=UVW OPTION=X1"
                             << "corvixprecip_uvw_pv3_template.tdx"
                             << "CORVIX PRECIPITATION  UVW  [OPT:X1]"
                             << "S/W ver: 2.14-0117";
        QTest::newRow("both corvix names") << "2.14 PV=5 0117 [0] \"CORVIX PRO / CORVIX II\""
                                           << "corvixII_pv5_template.tdx"
                                           << "CORVIX II "
                                           << "S/W ver: 2.14-0117";
        QTest::newRow("type 1 against 1B") << "2.14 PV=1 0117 [0] \"TEMPRIS KDX510-1-0000\""
                                           << "tempris_type_1_pv1_template.tdx"
                                           << "TEMPRIS KDX510-1-0000 "
                                           << "S/W ver: 2.14-0117";
        QTest::newRow("type 1B") << "2.14 PV=1 0117 [0] \"TEMPRIS KDX510-1B-0000\""
                                 << "tempris_type_1b_pv1_template.tdx"
                                 << "TEMPRIS KDX510-1B-0000 "
                                 << "S/W ver: 2.14-0117";
        QTest::newRow("first token not four characters") << "V2.140 PV=6 A7 [0] \"RELAYPOINT\""
                                                         << "relaypoint_pv6_template.tdx"
                                                         << "RELAYPOINT "
                                                         << "S/W ver: ????-A7";
        QTest::newRow("only two tokens") << "RELAYPOINT PV=6"
                                         << "relaypoint_pv6_template.tdx"
                                         << "RELAYPOINT "
                                         << "S/W ver: ????-???";
    }

    void matchedIdentities()
    {
        QFETCH(QString, reply);
        QFETCH(QString, file);
        const auto config = NewEngine();
        QCOMPARE(config->InitialiseDevice(true, reply), ConfigResult::Ok);
        QCOMPARE(dialogs->texts(), QStringList{});
        QCOMPARE(config->TemplatePath(), ProgramFile(file));
        QCOMPARE(config->Device().Name(), aProductDefs().at(RowOf(file)).identityName);
        QTEST(host->Text(Panel::Ident), "ident");
        QTEST(host->Text(Panel::DeviceType), "deviceType");
    }

    // Each rejection shows its own box, then the initialisation's.
    void rejectedIdentities_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("logLine");
        const QString heated = "2.14 PV=5 0117 [0] \"TEMPRIS KDX540-4-0000\" HEATING=1";
        const QString uvw = "2.14 PV=5 0117 [0] \"TEMPRIS KDX540-4-0000\" AXIS=UVW";
        const QString pvx = "2.14 PV=x 0117 [0] \"CORVIX II\"";
        const QString unknown = "2.14 PV=4 0117 [0] \"WINDMASTER\"";
        const QString noPv = "2.14 0117 [0] \"CORVIX II\"";
        QTest::newRow("heated tempris") << heated << heated + " is an unsupported product"
                                        << "ERROR" << heated + " is an unsupported product";
        QTest::newRow("uvw tempris") << uvw << uvw + " is an unsupported product"
                                     << "ERROR" << uvw + " is an unsupported product";
        QTest::newRow("PV=x") << pvx << pvx + " is an unsupported product"
                              << "ERROR" << pvx + " is an unsupported product";
        QTest::newRow("unknown device") << unknown << unknown + " is an unknown device type"
                                        << "ERROR" << unknown + " is an unknown device type";
        QTest::newRow("no PV=") << noPv << noPv + " does not identify protocol version. Aborting"
                                << "WARNING"
                                << "GetProductTemplateFileName Error  - no protocol found";
    }

    void rejectedIdentities()
    {
        QFETCH(QString, reply);
        QFETCH(QString, text);
        QFETCH(QString, caption);
        QFETCH(QString, logLine);
        const auto config = NewEngine();
        QCOMPARE(config->InitialiseDevice(true, reply), ConfigResult::FileFailed);
        QCOMPARE(dialogs->texts(), (QStringList{text, "Failed to open template file"}));
        QCOMPARE(dialogs->captions(), (QStringList{caption, "Initialisation Error"}));
        QVERIFY(logs.contains(logLine));
        QVERIFY(logs.contains("Unrecognised device type."));
        QVERIFY(config->ProductsDoc().IsNull());
        QCOMPARE(host->Text(Panel::Protocol), QStringLiteral("-"));
        QVERIFY(host->Text(Panel::DeviceType).isEmpty());
    }

    // Without the online flag no template is chosen; asked directly, the
    // choice reports an unrecognised device with its own code.
    void selectTemplateReturnsUnknownDeviceCode()
    {
        const auto config = NewEngine();
        QCOMPARE(config->InitialiseDevice(false, "2.14 PV=4 0117 [0] \"WINDMASTER\""), ConfigResult::Ok);
        QVERIFY(dialogs->boxes.isEmpty());
        QCOMPARE(config->SelectTemplate(), ConfigResult::UnknownDevice);
        QCOMPARE(dialogs->captions(), QStringList{"ERROR"});
    }

    void messagesAreTranslated()
    {
        SetTranslator([](const QString &key) { return QStringLiteral("<") + key + QStringLiteral(">"); });
        const QString reply = "2.14 PV=4 0117 [0] \"WINDMASTER\"";
        QCOMPARE(NewEngine()->InitialiseDevice(true, reply), ConfigResult::FileFailed);
        QCOMPARE(dialogs->texts(),
                 (QStringList{reply + "< is an unknown device type>", "<Failed to open template file>"}));
        QCOMPARE(dialogs->captions(), (QStringList{"<ERROR>", "<Initialisation Error>"}));
    }

    void missingTemplateFile()
    {
        QVERIFY(QFile::remove(ProgramFile("corvixpro_pv2_template.tdx")));
        const auto config = NewEngine();
        QCOMPARE(config->InitialiseDevice(true, "2.14 PV=2 0117 [0] \"CORVIX PRO\""), ConfigResult::FileFailed);
        QCOMPARE(dialogs->texts(), QStringList{"Failed to open template file"});
        QCOMPARE(dialogs->captions(), QStringList{"Initialisation Error"});
        QVERIFY(logs.contains("Could not find Device xml file."));
        QCOMPARE(config->SelectTemplate(), ConfigResult::FileFailed);
    }

    void brokenTemplateFileIsNamed()
    {
        const QString path = ProgramFile("corvixpro_pv2_template.tdx");
        QVERIFY(WriteFile(path, "<?xml version=\"1.0\"?>\n<products>\n  <device name=\"X\">\n</products>\n"));
        const auto config = NewEngine();
        QCOMPARE(config->InitialiseDevice(true, "2.14 PV=2 0117 [0] \"CORVIX PRO\""), ConfigResult::FileFailed);
        QCOMPARE(dialogs->boxes.size(), 1);
        const QString text = dialogs->texts().constFirst();
        QVERIFY2(text.startsWith("Failed to open template file\n\n" + path + ", line 4, column "), qPrintable(text));
        QCOMPARE(dialogs->captions(), QStringList{"Initialisation Error"});
        QVERIFY(config->ProductsDoc().IsNull());
        QVERIFY(config->TemplatePath().isEmpty());
        QVERIFY(!logs.contains("All xml files loaded ok."));
    }

    void templateBeyondTheTablesIsRefused()
    {
        const int row = RowOf("corvixpro_pv2_template.tdx");
        QVERIFY(WriteFile(ProgramFile("corvixpro_pv2_template.tdx"), TemplateText(aProductDefs()[row], 21)));
        const auto config = NewEngine();
        QCOMPARE(config->InitialiseDevice(true, "2.14 PV=2 0117 [0] \"CORVIX PRO\""), ConfigResult::FileFailed);
        QCOMPARE(dialogs->texts(),
                 QStringList{"Failed to open template file\n\n" + ProgramFile("corvixpro_pv2_template.tdx") +
                             ": the device has 21 categories (at most 20)"});
        QVERIFY(config->ProductsDoc().IsNull());
    }

    void missingUnitsFile_data()
    {
        QTest::addColumn<bool>("online");
        QTest::newRow("online") << true;
        QTest::newRow("offline") << false;
    }

    void missingUnitsFile()
    {
        QFETCH(bool, online);
        QVERIFY(QFile::remove(ProgramFile("ordaDeviceUnits.tdx")));
        const auto config = NewEngine();
        QCOMPARE(config->InitialiseDevice(online, online ? "2.14 PV=2 0117 [0] \"CORVIX PRO\"" : "OFFLINE"),
                 ConfigResult::FileFailed);
        QCOMPARE(dialogs->texts(), QStringList{"Failed to open units file"});
        QCOMPARE(dialogs->captions(), QStringList{"Initialisation Error"});
        QVERIFY(logs.contains("Could not find Units xml file."));
        QVERIFY(host->changes.isEmpty()); // the template was never chosen
        QVERIFY(config->UnitsDoc().IsNull());
    }

    void brokenUnitsFileIsNamed()
    {
        const QString path = ProgramFile("ordaDeviceUnits.tdx");
        QVERIFY(WriteFile(path, "<sensorunits>\n<measurement name=\"A\">\n</sensorunits>\n"));
        const auto config = NewEngine();
        QCOMPARE(config->InitialiseDevice(false, "OFFLINE"), ConfigResult::FileFailed);
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY2(dialogs->texts()[0].startsWith("Failed to open units file\n\n" + path + ", line 3, column "),
                 qPrintable(dialogs->texts()[0]));
        QCOMPARE(config->LoadUnits(), ConfigResult::FileFailed);
        QVERIFY(config->LastLoadError().startsWith(path));
    }

    void offlineInitialisationLoadsOnlyTheUnits()
    {
        const auto config = NewEngine();
        QCOMPARE(config->InitialiseDevice(false, "OFFLINE"), ConfigResult::Ok);
        QVERIFY(dialogs->boxes.isEmpty());
        QVERIFY(host->changes.isEmpty());
        QVERIFY(!config->Online());
        QCOMPARE(config->IdentityReply(), QStringLiteral("OFFLINE"));
        QVERIFY(config->ProductsDoc().IsNull());
        QCOMPARE(config->MeasurementCount(), 4);

        // The product menu then sets the identity.
        config->SetIdentity("CORVIX PRO", 5, "", 3, 1);
        QCOMPARE(config->ProductName(), QStringLiteral("CORVIX PRO"));
        QCOMPARE(config->ProtocolVersion(), 5);
        QCOMPARE(config->AxisConfig(), 3);
        QCOMPARE(config->Heating(), 1);
        QCOMPARE(host->Text(Panel::Protocol), QStringLiteral("Protocol ver: 5"));
        QCOMPARE(host->Text(Panel::Ident), QStringLiteral(" HEATED UVW"));
        QCOMPARE(host->Colour(Panel::Ident), QColor(Qt::white));
        QVERIFY(config->OptionText().isEmpty()); // only shown, never stored
        config->SetIdentity("CORVIX PRO", 5, "OPT1", 2, 0);
        QCOMPARE(host->Text(Panel::Ident), QStringLiteral("   [OPT:OPT1]"));
        QVERIFY(config->OptionText().isEmpty());
    }

    void identitySuffix_data()
    {
        QTest::addColumn<int>("heating");
        QTest::addColumn<int>("axis");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("plain") << 0 << 2 << "";
        QTest::newRow("heated") << 1 << 2 << "HEATED";
        QTest::newRow("uvw") << 0 << 3 << " UVW";
        QTest::newRow("heated uvw") << 1 << 3 << "HEATED UVW";
        QTest::newRow("heating other than 1") << 2 << 0 << "HEATED";
    }

    void identitySuffix()
    {
        QFETCH(int, heating);
        QFETCH(int, axis);
        const auto config = NewEngine();
        config->SetIdentity("X", 1, "", axis, heating);
        QTEST(config->GetIdentitySuffix(), "suffix");
    }

    void closingIsRefusedWhileBusy()
    {
        const auto config = NewEngine();
        config->SetBusy();
        QVERIFY(!config->close());
        QVERIFY(logs.contains("Busy..."));
        config->ClearBusy();
        logs.clear();
        QVERIFY(config->close());
        QVERIFY(!logs.contains("Busy..."));
    }

    void resourceFilesAllPresent()
    {
        QVERIFY(CheckResourceFiles(programDir->path()));
        QVERIFY(dialogs->boxes.isEmpty());
        QCOMPARE(RequiredResourceFiles().size(), 185);
    }

    void resourceFilesNameTheFirstMissing_data()
    {
        QTest::addColumn<QStringList>("removed");
        QTest::addColumn<QString>("named");
        QTest::newRow("first template") << QStringList{"corvixII_pv2_template.tdx"} << "corvixII_pv2_template.tdx";
        QTest::newRow("the earlier of two templates")
            << QStringList{"tempris_type_10_pv9_template.tdx", "tempris_type_2_522_pv8_template.tdx"}
            << "tempris_type_2_522_pv8_template.tdx";
        QTest::newRow("a template before the units")
            << QStringList{"ordaDeviceUnits.tdx", "translations.xml", "relaypoint_pv6_template.tdx"}
            << "relaypoint_pv6_template.tdx";
        QTest::newRow("units before translations")
            << QStringList{"translations.xml", "ordaDeviceUnits.tdx"} << "ordaDeviceUnits.tdx";
        QTest::newRow("translations") << QStringList{"translations.xml"} << "translations.xml";
    }

    void resourceFilesNameTheFirstMissing()
    {
        QFETCH(QStringList, removed);
        QFETCH(QString, named);
        for (const QString &file : removed)
            QVERIFY(QFile::remove(ProgramFile(file)));
        SetTranslator([](const QString &key) { return QStringLiteral("<") + key + QStringLiteral(">"); });
        QVERIFY(!CheckResourceFiles(programDir->path()));
        QCOMPARE(dialogs->texts(), QStringList{named});
        QCOMPARE(dialogs->captions(), QStringList{"Error - file not found"});
        QCOMPARE(FindMissingResourceFile(programDir->path()), named);
    }
};

QTEST_MAIN(TestConfig)
#include "tst_config.moc"
