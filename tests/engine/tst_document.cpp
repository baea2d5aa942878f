// The configuration document without any window: loading and saving files,
// the compatibility check, the differences and the setup commands.
#include "engine/document.h"
#include "engine/validation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace
{
const QString kAppDir = QStringLiteral(TALVEK_TEST_APP_DIR "/");
const QString kTemplate = QStringLiteral("tempris_type_5e_pv9_template.tdx");

bool WriteText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QByteArray ReadText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Document LoadShipped()
{
    Document document;
    document.products = LoadConfigDocument(kAppDir + kTemplate).products;
    document.units = IXMLsensorunitsType::Load(kAppDir + QStringLiteral("ordaDeviceUnits.tdx"));
    document.identity.productName = document.Device().Name();
    document.identity.protocolVersion = document.Device().Protocolversion();
    document.identity.heating = document.Device().Heatingcapability();
    document.identity.axisConfig = document.Device().AxisConfigValue();
    return document;
}

IXMLparamType Param(const Document &document, const QString &cmd)
{
    const IXMLdeviceType device = document.Device();
    for (int c = 0; c < device.Count(); ++c) {
        for (int p = 0; p < device.Category(c).Count(); ++p) {
            if (device.Category(c).Param(p).Cmd() == cmd)
                return device.Category(c).Param(p);
        }
    }
    return {};
}

QString LineFor(const QStringList &lines, const QString &cmd)
{
    for (const QString &line : lines) {
        if (line.section(QLatin1Char(' '), 0, 0) == cmd)
            return line;
    }
    return {};
}

QString Symbol(const Document &document, const QString &measurement, int index)
{
    return document.units.Measurement(document.units.FindMeasurement(measurement)).Unit(index).Symbol();
}

IXMLproductsType Copy(const Document &document)
{
    return IXMLproductsType::FromXml(document.products.XML().toUtf8(), QStringLiteral("copy"));
}
} // namespace

class TestDocument : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void loadErrors_data();
    void loadErrors();
    void loadsShippedTemplate();
    void saveWritesWholeDocument();
    void saveFailureLeavesFileAlone();

    void compatibility_data();
    void compatibility();
    void compatibilityListsEveryNumberMismatch();
    void unreadableFileIsNotAnotherProduct();

    void differencesByValueString();
    void differencesByValuesIgnoreTheClock();
    void differencesCountEveryOccurrence();
    void differencesMarkCriticalFromBaseline();

    void commandsForTemplateDefaults();
    void commandsForConfiguredInputs();
    void commandsUseSubstituteNames();
    void timeSentOnlyWhenChangedOrSynced();
    void xdrLineOnlyForSentenceFormatWithXdr();
    void unknownUnitsReported();

    void entryRules();
    void digitCountDecimalsFollowTheProtocol();
    void templateDefaultsAreValid();
    void documentErrorsCarryTheirLimits();
    void duplicateSubstituteNamesAreOneError();

private:
    QTemporaryDir m_dir;
    QString Path(const QString &name) const { return m_dir.filePath(name); }
};

void TestDocument::init()
{
    QVERIFY(m_dir.isValid());
}

void TestDocument::loadErrors_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("error");
    QTest::newRow("missing") << QByteArray() << int(DocumentLoadError::Unreadable);
    QTest::newRow("not xml") << QByteArray("hello <") << int(DocumentLoadError::NotAConfiguration);
    QTest::newRow("other root") << QByteArray("<settings/>") << int(DocumentLoadError::NotAConfiguration);
    QTest::newRow("no device") << QByteArray("<products version=\"1\"/>") << int(DocumentLoadError::NotAConfiguration);
    QByteArray many = "<products><device name=\"X\">";
    for (int c = 0; c <= TemplateLimits::Categories; ++c)
        many += "<category name=\"C" + QByteArray::number(c) + "\"/>";
    many += "</device></products>";
    QTest::newRow("too many categories") << many << int(DocumentLoadError::ExceedsTables);
}

void TestDocument::loadErrors()
{
    QFETCH(QByteArray, content);
    QFETCH(int, error);
    const QString path = Path(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_') + ".tcf");
    if (!content.isEmpty())
        QVERIFY(WriteText(path, content));
    const DocumentLoad load = LoadConfigDocument(path);
    QCOMPARE(int(load.error), error);
    QVERIFY(load.products.IsNull());
    QVERIFY2(load.reason.contains(path) || error == int(DocumentLoadError::ExceedsTables) ||
                 error == int(DocumentLoadError::NotAConfiguration),
             qPrintable(load.reason));
    QVERIFY(!load.reason.isEmpty());
}

void TestDocument::loadsShippedTemplate()
{
    const DocumentLoad load = LoadConfigDocument(kAppDir + kTemplate);
    QCOMPARE(load.error, DocumentLoadError::None);
    QVERIFY(load.reason.isEmpty());
    QCOMPARE(load.products.Device(0).Name(), QStringLiteral("TEMPRIS KDX556-5E"));
}

void TestDocument::saveWritesWholeDocument()
{
    Document document = LoadShipped();
    Param(document, QStringLiteral("AVGLONG")).SetValue(120);
    QString error;
    QVERIFY(SaveConfigDocument(document.products, Path("saved.tcf"), &error));
    QVERIFY(error.isEmpty());
    const QByteArray text = ReadText(Path("saved.tcf"));
    QVERIFY(text.endsWith("</products>\r\n"));
    const DocumentLoad again = LoadConfigDocument(Path("saved.tcf"));
    QCOMPARE(again.error, DocumentLoadError::None);
    Document reloaded = document;
    reloaded.products = again.products;
    QCOMPARE(Param(reloaded, QStringLiteral("AVGLONG")).Value(), 120);
}

void TestDocument::saveFailureLeavesFileAlone()
{
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder")));
    QString error;
    QVERIFY(!SaveConfigDocument(LoadShipped().products, Path("folder"), &error));
    QVERIFY2(error.contains(Path("folder")), qPrintable(error));
    QVERIFY(QFileInfo(Path("folder")).isDir());
    QVERIFY(!SaveConfigDocument(LoadShipped().products, Path("none/x.tcf"), &error));
    QVERIFY(!QFile::exists(Path("none/x.tcf")));
}

void TestDocument::compatibility_data()
{
    QTest::addColumn<QString>("attribute");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QString>("found");
    QTest::addColumn<QString>("expected");
    QTest::newRow("same") << QString() << QString() << int(Compatibility::Compatible) << QString() << QString();
    QTest::newRow("product") << "name" << "TEMPRIS KDX550" << int(Compatibility::ProductMismatch)
                             << "TEMPRIS KDX550" << "TEMPRIS KDX556-5E";
    QTest::newRow("protocol") << "protocolversion" << "8" << int(Compatibility::ProtocolMismatch) << "8" << "9";
    QTest::newRow("heating") << "heatingcapability" << "1" << int(Compatibility::HeatingMismatch) << "1" << "0";
    QTest::newRow("axis") << "axisconfig" << "UVW" << int(Compatibility::AxisMismatch) << "3" << "2";
}

void TestDocument::compatibility()
{
    QFETCH(QString, attribute);
    QFETCH(QString, value);
    QFETCH(int, verdict);
    QFETCH(QString, found);
    QFETCH(QString, expected);
    const Document device = LoadShipped();
    const IXMLproductsType file = Copy(device);
    if (!attribute.isEmpty())
        file.Device(0).Element().setAttribute(attribute, value);
    QVERIFY(SaveConfigDocument(file, Path("file.tcf"), nullptr));
    const CompatibilityCheck check = CheckCompatibility(Path("file.tcf"), device.identity);
    QCOMPARE(int(check.verdict), verdict);
    if (verdict == int(Compatibility::Compatible)) {
        QVERIFY(check.issues.isEmpty());
        return;
    }
    QCOMPARE(check.issues.size(), 1);
    QCOMPARE(check.issues[0].found, found);
    QCOMPARE(check.issues[0].expected, expected);
}

void TestDocument::compatibilityListsEveryNumberMismatch()
{
    Document device = LoadShipped();
    device.identity.protocolVersion = 7;
    device.identity.heating = 1;
    device.identity.axisConfig = 3;
    const CompatibilityCheck check = CheckCompatibility(device.products, device.identity);
    QCOMPARE(check.verdict, Compatibility::ProtocolMismatch);
    QCOMPARE(check.issues.size(), 3);
    QCOMPARE(check.issues[1].kind, Compatibility::HeatingMismatch);
    QCOMPARE(check.issues[2].kind, Compatibility::AxisMismatch);
    QCOMPARE(check.issues[2].found, QStringLiteral("2"));
    QCOMPARE(check.issues[2].expected, QStringLiteral("3"));
    // Another product is never loaded, whatever else matches.
    device.identity.productName = QStringLiteral("CORVIX");
    const CompatibilityCheck other = CheckCompatibility(device.products, device.identity);
    QCOMPARE(other.verdict, Compatibility::ProductMismatch);
    QCOMPARE(other.issues.size(), 1);
}

void TestDocument::unreadableFileIsNotAnotherProduct()
{
    QVERIFY(WriteText(Path("broken.tcf"), "<products><device"));
    const CompatibilityCheck check = CheckCompatibility(Path("broken.tcf"), LoadShipped().identity);
    QCOMPARE(check.verdict, Compatibility::Unreadable);
    QVERIFY(check.reason.contains(Path("broken.tcf")));
    QCOMPARE(CheckCompatibility(Path("absent.tcf"), LoadShipped().identity).verdict, Compatibility::Unreadable);
}

void TestDocument::differencesByValueString()
{
    const Document document = LoadShipped();
    const IXMLproductsType baseline = Copy(document);
    QVERIFY(DiffDocuments(document.products, baseline, DiffBasis::ValueString).isEmpty());
    Param(document, QStringLiteral("AVGLONG")).SetValuestring(QStringLiteral("120"));
    const QList<DocumentDifference> differences = DiffDocuments(document.products, baseline, DiffBasis::ValueString);
    QCOMPARE(differences.size(), 1);
    QCOMPARE(differences[0].cmd, QStringLiteral("AVGLONG"));
    QCOMPARE(differences[0].category, QStringLiteral("Averaging"));
    QCOMPARE(differences[0].value, QStringLiteral("120"));
    QVERIFY(!differences[0].critical);
}

void TestDocument::differencesByValuesIgnoreTheClock()
{
    const Document document = LoadShipped();
    const IXMLproductsType baseline = Copy(document);
    Param(document, QStringLiteral("TIME")).SetString(QStringLiteral("2026-01-01T10:00:00"));
    QVERIFY(DiffDocuments(document.products, baseline, DiffBasis::Values).isEmpty());
    Param(document, QStringLiteral("AN2RES")).SetString(QStringLiteral("1.5"));
    IXMLparamType(Param(Document{{}, baseline, {}}, QStringLiteral("AN2RES"))).SetString(QStringLiteral("1.500"));
    QVERIFY(DiffDocuments(document.products, baseline, DiffBasis::Values).isEmpty());
    Param(document, QStringLiteral("AN1INPUT")).SetHigh(50);
    Param(document, QStringLiteral("SPEEDUNIT")).SetSelected(2);
    Param(document, QStringLiteral("REPORT")).SetReportvalue(QStringLiteral("NODE DIR"));
    const QList<DocumentDifference> differences = DiffDocuments(document.products, baseline, DiffBasis::Values);
    QStringList cmds;
    for (const DocumentDifference &d : differences)
        cmds << d.cmd;
    QCOMPARE(cmds, (QStringList{"SPEEDUNIT", "AN1INPUT", "REPORT"}));
    QCOMPARE(differences[0].value, QStringLiteral("2"));
    QCOMPARE(differences[0].baseline, QStringLiteral("0"));
}

void TestDocument::differencesCountEveryOccurrence()
{
    const Document document = LoadShipped();
    const IXMLproductsType baseline = Copy(document);
    // A second AVGLONG in the same category, equal in one file only.
    IXMLcategoryType averaging = document.Device().Category(2);
    QCOMPARE(averaging.Name(), QStringLiteral("Averaging"));
    averaging.Element().appendChild(Param(document, QStringLiteral("AVGLONG")).Element().cloneNode(true));
    averaging.Param(2).SetValuestring(QStringLiteral("7"));
    // And a command only the baseline has.
    IXMLparamType only = Document{{}, baseline, {}}.Device().Category(2).Param(1);
    only.SetCmd(QStringLiteral("AVGONLY"));
    const QList<DocumentDifference> differences = DiffDocuments(document.products, baseline, DiffBasis::ValueString);
    QCOMPARE(differences.size(), 3);
    QCOMPARE(differences[0].cmd, QStringLiteral("AVGLONG"));
    QCOMPARE(differences[0].value, Param(document, "AVGLONG").Valuestring() + QStringLiteral(" | 7"));
    QCOMPARE(differences[1].cmd, QStringLiteral("AVGSHORT"));
    QCOMPARE(differences[1].baseline, QStringLiteral("-"));
    QCOMPARE(differences[2].cmd, QStringLiteral("AVGONLY"));
    QCOMPARE(differences[2].value, QStringLiteral("-"));
}

void TestDocument::differencesMarkCriticalFromBaseline()
{
    const Document document = LoadShipped();
    const IXMLproductsType baseline = Copy(document);
    Param(document, QStringLiteral("BAUD")).SetSelected(2);
    Param(document, QStringLiteral("ECHO")).SetSelected(0);
    const QList<DocumentDifference> differences = DiffDocuments(document.products, baseline, DiffBasis::Values);
    QCOMPARE(differences.size(), 2);
    QCOMPARE(differences[0].cmd, QStringLiteral("BAUD"));
    QVERIFY(differences[0].critical);
    QCOMPARE(differences[1].cmd, QStringLiteral("ECHO"));
    QVERIFY(!differences[1].critical);
}

void TestDocument::commandsForTemplateDefaults()
{
    const Document document = LoadShipped();
    const CommandList commands = BuildSetupCommands(document, {});
    const QStringList &lines = commands.lines;
    QCOMPARE(lines.first(), QStringLiteral("BAUD ") + Param(document, "BAUD").Option().Texts().at(4));
    QCOMPARE(LineFor(lines, "OUTPUTINT"), QStringLiteral("OUTPUTINT 1"));
    QCOMPARE(LineFor(lines, "SPEEDUNIT"), QStringLiteral("SPEEDUNIT ") + Symbol(document, "WINDSPEED", 0));
    for (const QString cmd : {"AN1SENSOR", "AN1UNITS", "AN1SUBST", "AN1RES", "AN1INPUT", "DIG1UNITS"})
        QCOMPARE(LineFor(lines, cmd), cmd + QStringLiteral(" NOT CONFIGURED"));
    QCOMPARE(LineFor(lines, "USERINF"), QStringLiteral("USERINF \"\""));
    QCOMPARE(LineFor(lines, "TALKER"), QStringLiteral("TALKER WI"));
    QCOMPARE(LineFor(lines, "REPORT"), QStringLiteral("REPORT NODE DIR SPEED TEMP RH PRESS STATUS"));
    QVERIFY(LineFor(lines, "XDRREPORT").isEmpty());
    QVERIFY(!commands.sync);
    QVERIFY(commands.unknownUnits.isEmpty());
    // Document order, one line per param that has a value.
    QCOMPARE(lines.indexOf(LineFor(lines, "AVGLONG")) + 1, lines.indexOf(LineFor(lines, "AVGSHORT")));
}

void TestDocument::commandsForConfiguredInputs()
{
    const Document document = LoadShipped();
    Param(document, "AN1SENSOR").SetSelected(0); // TEMPERATURE
    Param(document, "AN1UNITS").SetSelected(1);
    Param(document, "AN1INPUT").SetSelected(0);
    Param(document, "AN1INPUT").SetHigh(100);
    Param(document, "AN1INPUT").SetLow(QStringLiteral("-40"));
    Param(document, "AN1RES").SetString(QStringLiteral(" 0.1 "));
    Param(document, "AN2SENSOR").SetSelected(10); // CUSTOM
    Param(document, "AN2UNITS").SetSelected(0);
    Param(document, "AN2UNITS").SetCustomunits(QStringLiteral("LUX"));
    Param(document, "HASL").SetFloatvalue(QStringLiteral("+0012.5"));
    const QStringList lines = BuildSetupCommands(document).lines;
    QCOMPARE(LineFor(lines, "AN1SENSOR"), QStringLiteral("AN1SENSOR TEMPERATURE"));
    QCOMPARE(LineFor(lines, "AN1UNITS"), QStringLiteral("AN1UNITS ") + Symbol(document, "TEMPERATURE", 1));
    QCOMPARE(LineFor(lines, "AN1INPUT"),
             QStringLiteral("AN1INPUT ") + Param(document, "AN1INPUT").Option().Texts().at(0) + " 100 -40");
    QCOMPARE(LineFor(lines, "AN1RES"), QStringLiteral("AN1RES 0.1"));
    QCOMPARE(LineFor(lines, "AN2SENSOR"), QStringLiteral("AN2SENSOR CUSTOM"));
    QCOMPARE(LineFor(lines, "AN2UNITS"), QStringLiteral("AN2UNITS LUX"));
    QCOMPARE(LineFor(lines, "HASL"), QStringLiteral("HASL +0012.5"));
}

void TestDocument::commandsUseSubstituteNames()
{
    const Document document = LoadShipped();
    Param(document, "AN1SUBST").SetString(QStringLiteral("WATER"));
    Param(document, "AN3SUBST").SetString(QStringLiteral("SOIL"));
    Param(document, "REPORT").SetReportvalue(QStringLiteral("NODE AN1 DIR an3 AN2"));
    const QStringList lines = BuildSetupCommands(document).lines;
    QCOMPARE(LineFor(lines, "REPORT"), QStringLiteral("REPORT NODE WATER DIR SOIL AN2"));
    QCOMPARE(LineFor(lines, "AN1SUBST"), QStringLiteral("AN1SUBST WATER"));
}

void TestDocument::timeSentOnlyWhenChangedOrSynced()
{
    const Document document = LoadShipped();
    CommandOptions options;
    options.timeAsRead = TimeTexts(document.products);
    QCOMPARE(options.timeAsRead.value("TIME"), QStringLiteral("2000-01-01T00:00:00"));
    QVERIFY(LineFor(BuildSetupCommands(document, options).lines, "TIME").isEmpty());
    // Without a reading to compare with, the time is sent.
    QCOMPARE(LineFor(BuildSetupCommands(document).lines, "TIME"), QStringLiteral("TIME 2000-01-01T00:00:00"));
    options.syncTime = true;
    const CommandList synced = BuildSetupCommands(document, options);
    QVERIFY(synced.sync);
    QCOMPARE(LineFor(synced.lines, "TIME"), QStringLiteral("TIME 2000-01-01T00:00:00"));
    options.syncTime = false;
    Param(document, "TIME").SetString(QStringLiteral("2026-12-09T21:00:00"));
    const CommandList typed = BuildSetupCommands(document, options);
    QVERIFY(!typed.sync);
    QCOMPARE(LineFor(typed.lines, "TIME"), QStringLiteral("TIME 2026-12-09T21:00:00"));
}

void TestDocument::xdrLineOnlyForSentenceFormatWithXdr()
{
    const Document document = LoadShipped();
    Param(document, "AN1SUBST").SetString(QStringLiteral("WATER"));
    Param(document, "XDRREPORT").SetReportvalue(QStringLiteral("TEMP AN1"));
    CommandOptions options;
    options.reportFormat = QStringLiteral("NMEADEF");
    Param(document, "REPORT").SetReportvalue(QStringLiteral("MWVR XDR"));
    QCOMPARE(LineFor(BuildSetupCommands(document, options).lines, "XDRREPORT"),
             QStringLiteral("XDRREPORT TEMP WATER"));
    Param(document, "REPORT").SetReportvalue(QStringLiteral("MWVR GGA"));
    QVERIFY(LineFor(BuildSetupCommands(document, options).lines, "XDRREPORT").isEmpty());
    Param(document, "REPORT").SetReportvalue(QStringLiteral("MWVR XDR"));
    options.reportFormat = QStringLiteral("USERDEF");
    QVERIFY(LineFor(BuildSetupCommands(document, options).lines, "XDRREPORT").isEmpty());
    // A file carries no format: a list of some sentences is the sentence format.
    Param(document, "REPORT").SetReportvalue(QStringLiteral("NMEA MWVR XDR"));
    QCOMPARE(LineFor(BuildSetupCommands(document).lines, "XDRREPORT"), QStringLiteral("XDRREPORT TEMP WATER"));
    Param(document, "REPORT").SetReportvalue(QStringLiteral("NMEA"));
    QVERIFY(LineFor(BuildSetupCommands(document).lines, "XDRREPORT").isEmpty());
}

void TestDocument::unknownUnitsReported()
{
    const Document document = LoadShipped();
    Param(document, "SPEEDUNIT").SetMeasure(QStringLiteral("FURLONGS"));
    const CommandList commands = BuildSetupCommands(document);
    QVERIFY(LineFor(commands.lines, "SPEEDUNIT").isEmpty());
    QCOMPARE(commands.unknownUnits.size(), 1);
    QCOMPARE(commands.unknownUnits[0].cmd, QStringLiteral("SPEEDUNIT"));
    QCOMPARE(commands.unknownUnits[0].measure, QStringLiteral("FURLONGS"));
    QVERIFY(!LineFor(commands.lines, "TEMPUNIT").isEmpty());
}

void TestDocument::entryRules()
{
    QVERIFY(ValidInt(QStringLiteral(" 12 "), 1, 3600));
    QVERIFY(ValidInt(QStringLiteral("+5"), 1, 10));
    QVERIFY(!ValidInt(QStringLiteral("12x"), 1, 3600)); // a non-number typed into a number field
    QVERIFY(!ValidInt(QString(), 0, 10));
    QVERIFY(!ValidInt(QStringLiteral("0"), 1, 10));
    QVERIFY(!ValidInt(QStringLiteral("11"), 1, 10));
    double v = 0;
    QVERIFY(ValidMaskedFloat(QStringLiteral("+012.5"), QStringLiteral("-100"), QStringLiteral("100"), &v));
    QCOMPARE(v, 12.5);
    QVERIFY(!ValidMaskedFloat(QStringLiteral("100.5"), QStringLiteral("-100"), QStringLiteral("100")));
    QVERIFY(ValidMaskedFloat(QStringLiteral("1e3"), QString(), QString())); // no bounds: no limit
    QVERIFY(!ValidMaskedFloat(QStringLiteral("abc"), QString(), QString()));
    QVERIFY(ValidString(QStringLiteral("SITE 4 NORTH")));
    QVERIFY(!ValidString(QStringLiteral("A,B")));
    QVERIFY(!ValidString(QStringLiteral("SEVENTEEN CHARS!!")));
    QVERIFY(ValidCustomUnits(QStringLiteral("LUX")));
    QVERIFY(!ValidCustomUnits(QStringLiteral("lux")));
    QVERIFY(!ValidCustomUnits(QStringLiteral("ABCDE")));
    QVERIFY(!ValidCustomUnits(QString()));
    QVERIFY(ValidSubstName(QString(), QString()));
    QVERIFY(ValidSubstName(QStringLiteral("WATER"), QStringLiteral("TEMP,RH")));
    QVERIFY(!ValidSubstName(QStringLiteral("AB"), QString()));
    QVERIFY(!ValidSubstName(QStringLiteral("NINECHARS"), QString()));
    QVERIFY(!ValidSubstName(QStringLiteral("A B C"), QString()));
    QVERIFY(!ValidSubstName(QStringLiteral("temp"), QStringLiteral("TEMP,RH")));
    QVERIFY(ValidAnalogue(QStringLiteral("100"), QStringLiteral("0"), -10, 200, false));
    QVERIFY(!ValidAnalogue(QStringLiteral("5"), QStringLiteral("5"), -10, 200, false));
    QVERIFY(ValidAnalogue(QStringLiteral("0"), QStringLiteral("0"), -10, 200, true));
    QVERIFY(!ValidAnalogue(QStringLiteral("300"), QStringLiteral("0"), -10, 200, true));
}

void TestDocument::digitCountDecimalsFollowTheProtocol()
{
    QVERIFY(ValidDigitCount(QStringLiteral("0.1"), 0, 10, 2));
    QVERIFY(!ValidDigitCount(QStringLiteral("0.10"), 0, 10, 2));
    QVERIFY(!ValidDigitCount(QStringLiteral("1.25"), 0, 10, 2));
    QVERIFY(ValidDigitCount(QStringLiteral("0.125"), 0, 10, 3));
    QVERIFY(ValidDigitCount(QStringLiteral("2"), 0, 10, 3));
    QVERIFY(!ValidDigitCount(QStringLiteral("0.1255"), 0, 10, 3));
    QVERIFY(!ValidDigitCount(QStringLiteral("11"), 0, 10, 3));
    QVERIFY(!ValidDigitCount(QStringLiteral("x"), 0, 10, 3));
}

void TestDocument::templateDefaultsAreValid()
{
    const QList<EntryError> errors = ValidateDocument(LoadShipped());
    QStringList cmds;
    for (const EntryError &e : errors)
        cmds << e.cmd;
    QVERIFY2(errors.isEmpty(), qPrintable(cmds.join(' ')));
}

void TestDocument::documentErrorsCarryTheirLimits()
{
    const Document document = LoadShipped();
    Param(document, "AVGLONG").SetValue(5000);
    Param(document, "AN1SUBST").SetString(QStringLiteral("AB"));
    Param(document, "HASL").SetFloatvalue(QStringLiteral("high"));
    Param(document, "AN2RES").SetString(QStringLiteral("0.12345"));
    const QList<EntryError> errors = ValidateDocument(document);
    QCOMPARE(errors.size(), 4);
    QCOMPARE(errors[0].cmd, QStringLiteral("AVGLONG"));
    QCOMPARE(errors[0].category, QStringLiteral("Averaging"));
    QCOMPARE(errors[0].param, Param(document, "AVGLONG").Name());
    QCOMPARE(errors[0].low, QStringLiteral("1"));
    QCOMPARE(errors[0].high, QStringLiteral("3600"));
    QCOMPARE(errors[0].text, QStringLiteral("5000"));
    QVERIFY(errors[0].messageKey.isEmpty());
    QCOMPARE(errors[1].cmd, QStringLiteral("HASL"));
    QCOMPARE(errors[1].text, QStringLiteral("high"));
    QCOMPARE(errors[2].cmd, QStringLiteral("AN1SUBST"));
    QCOMPARE(errors[2].messageKey, QStringLiteral("Substitute name must consist"));
    QCOMPARE(errors[3].cmd, QStringLiteral("AN2RES"));
    QCOMPARE(errors[3].low, Param(document, "AN2RES").Fmin());
    QCOMPARE(errors[3].kind, EntryError::Kind::Invalid);
}

void TestDocument::duplicateSubstituteNamesAreOneError()
{
    const Document document = LoadShipped();
    Param(document, "AN1SUBST").SetString(QStringLiteral("WATER"));
    Param(document, "AN3SUBST").SetString(QStringLiteral("water"));
    Param(document, "DIG1SUBST").SetString(QStringLiteral("WATER"));
    const QList<EntryError> errors = ValidateDocument(document);
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors[0].kind, EntryError::Kind::DuplicateSubstName);
    QCOMPARE(errors[0].text, QStringLiteral("water"));
    QCOMPARE(DuplicateSubstName({QString(), QString(), QStringLiteral("A")}), QString());
}

QTEST_GUILESS_MAIN(TestDocument)
#include "tst_document.moc"
