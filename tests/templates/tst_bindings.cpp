#include "templates/ordaDeviceUnits.h"
#include "templates/ordaUserConfig.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

namespace
{

QString Fixture(const char *name)
{
    return QStringLiteral(TALVEK_FIXTURES "/") + QLatin1String(name);
}

IXMLproductsType LoadFixture(const char *name)
{
    XmlLoadError error;
    IXMLproductsType doc = IXMLproductsType::Load(Fixture(name), &error);
    if (doc.IsNull())
        qWarning() << error.Text();
    return doc;
}

// A text field of a param: how to read it and how to write it.
struct TextField {
    std::function<QString(const IXMLparamType &)> get;
    std::function<void(IXMLparamType &, const QString &)> set;
};

#define TEXT_FIELD(Name)                                                                                               \
    {                                                                                                                  \
#Name,                                                                                                         \
        {                                                                                                              \
            [](const IXMLparamType &p) { return p.Name(); },                                                           \
                [](IXMLparamType &p, const QString &v) { p.Set##Name(v); }                                             \
        }                                                                                                              \
    }
const QMap<QString, TextField> &TextFields()
{
    static const QMap<QString, TextField> fields = {
        TEXT_FIELD(Name),           TEXT_FIELD(Cmd),         TEXT_FIELD(Type),
        TEXT_FIELD(Desc),           TEXT_FIELD(Valuestring), TEXT_FIELD(Units),
        TEXT_FIELD(Measure),        TEXT_FIELD(Reportvalue), TEXT_FIELD(Reportnmeavalue),
        TEXT_FIELD(Reportxdrvalue), TEXT_FIELD(Reportfull),  TEXT_FIELD(Reportdefault),
        TEXT_FIELD(Mask),           TEXT_FIELD(Floatmin),    TEXT_FIELD(Floatmax),
        TEXT_FIELD(Floatvalue),     TEXT_FIELD(Customunits), TEXT_FIELD(Low),
        TEXT_FIELD(Illegalstrings), TEXT_FIELD(String),      TEXT_FIELD(Fmax),
        TEXT_FIELD(Fmin),
    };
    return fields;
}
#undef TEXT_FIELD

struct IntField {
    std::function<int(const IXMLparamType &, bool *)> get;
    std::function<void(IXMLparamType &, int)> set;
};

#define INT_FIELD(Name)                                                                                                \
    {                                                                                                                  \
#Name,                                                                                                         \
        {                                                                                                              \
            [](const IXMLparamType &p, bool *ok) { return p.Name(ok); },                                               \
                [](IXMLparamType &p, int v) { p.Set##Name(v); }                                                        \
        }                                                                                                              \
    }
const QMap<QString, IntField> &IntFields()
{
    static const QMap<QString, IntField> fields = {
        INT_FIELD(Selected), INT_FIELD(Valid), INT_FIELD(Warncritical), INT_FIELD(Min),
        INT_FIELD(Max),      INT_FIELD(Value), INT_FIELD(High),
    };
    return fields;
}
#undef INT_FIELD

// The document after a trip through its XML text.
IXMLproductsType Reparsed(const IXMLproductsType &doc)
{
    XmlLoadError error;
    IXMLproductsType copy = IXMLproductsType::FromXml(doc.XML().toUtf8(), QStringLiteral("round trip"), &error);
    if (copy.IsNull())
        qWarning() << error.Text();
    return copy;
}

} // namespace

class TestBindings : public QObject
{
    Q_OBJECT

private slots:
    void readsDocumentAttributes()
    {
        const IXMLproductsType doc = LoadFixture("full_template.tdx");
        QVERIFY(!doc.IsNull());
        QCOMPARE(doc.Version(), 3);
        QCOMPARE(doc.Count(), 2);
        const IXMLdeviceType device = doc.Device(0);
        QCOMPARE(device.Name(), QStringLiteral("CORVIX II"));
        QCOMPARE(device.Sensorname(), QStringLiteral("CVX2"));
        QCOMPARE(device.Protocolversion(), 4);
        QCOMPARE(device.Heatingcapability(), 1);
        QCOMPARE(device.Axisconfig(), QStringLiteral("UVW axes"));
        QCOMPARE(device.AxisConfigValue(), 3);
        QCOMPARE(device.Count(), 2);
        const IXMLcategoryType category = device.Category(0);
        QCOMPARE(category.Name(), QStringLiteral("Wind"));
        QCOMPARE(category.Sensorname(), QStringLiteral("WINDSENSOR"));
        QCOMPARE(category.Group(), QStringLiteral("inputs"));
        QCOMPARE(category.Groupindex(), 7);
        QCOMPARE(category.Count(), 2);
        QCOMPARE(device.Category(1).Param(0).Option().Texts(), (QStringList{"OFF", "ON"}));
    }

    void readsEveryTextField_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");
        const QList<QPair<QString, QString>> rows = {{"Name", "Averaging Period"},
                                                     {"Cmd", "AVGLONG"},
                                                     {"Type", "int"},
                                                     {"Desc", "Averaging period in seconds"},
                                                     {"Valuestring", "10"},
                                                     {"Units", "s"},
                                                     {"Measure", "WINDSPEED"},
                                                     {"Reportvalue", "NODE DIR SPEED"},
                                                     {"Reportnmeavalue", "MWVR XDR"},
                                                     {"Reportxdrvalue", "T1 T2"},
                                                     {"Reportfull", "NODE DIR SPEED STATUS"},
                                                     {"Reportdefault", "NODE DIR SPEED"},
                                                     {"Mask", "#990.0"},
                                                     {"Floatmin", "-40.0"},
                                                     {"Floatmax", "70.5"},
                                                     {"Floatvalue", "+012.5"},
                                                     {"Customunits", "furlongs"},
                                                     {"Low", "-40"},
                                                     {"Illegalstrings", "UNUSED,NONE"},
                                                     {"String", "text value"},
                                                     {"Fmax", "99.5"},
                                                     {"Fmin", "0.25"}};
        QCOMPARE(rows.size(), TextFields().size());
        for (const auto &row : rows)
            QTest::newRow(qPrintable(row.first)) << row.first << row.second;
    }

    void readsEveryTextField()
    {
        QFETCH(QString, field);
        QFETCH(QString, expected);
        const IXMLparamType param = LoadFixture("full_template.tdx").Device(0).Category(0).Param(0);
        QCOMPARE(TextFields()[field].get(param), expected);
    }

    void readsEveryIntField_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("expected");
        const QList<QPair<QString, int>> rows = {{"Selected", 1}, {"Valid", 1},  {"Warncritical", 1}, {"Min", -5},
                                                 {"Max", 3600},   {"Value", 10}, {"High", 50}};
        QCOMPARE(rows.size(), IntFields().size());
        for (const auto &row : rows)
            QTest::newRow(qPrintable(row.first)) << row.first << row.second;
    }

    void readsEveryIntField()
    {
        QFETCH(QString, field);
        QFETCH(int, expected);
        const IXMLparamType param = LoadFixture("full_template.tdx").Device(0).Category(0).Param(0);
        bool ok = false;
        QCOMPARE(IntFields()[field].get(param, &ok), expected);
        QVERIFY(ok);
    }

    // Every field written, to the full param and to one that lacks it, reads
    // back the same after the document's XML text is parsed again.
    void writesEveryFieldThroughXml_data()
    {
        QTest::addColumn<int>("paramIndex");
        QTest::newRow("existing elements") << 0;
        QTest::newRow("created elements") << 1;
    }

    void writesEveryFieldThroughXml()
    {
        QFETCH(int, paramIndex);
        IXMLproductsType doc = LoadFixture("full_template.tdx");
        IXMLparamType param = doc.Device(0).Category(0).Param(paramIndex);
        int n = 0;
        for (auto it = TextFields().begin(); it != TextFields().end(); ++it)
            it->set(param, QStringLiteral("new <%1> & %2").arg(it.key()).arg(++n));
        for (auto it = IntFields().begin(); it != IntFields().end(); ++it)
            it->set(param, -1000 - ++n);

        const IXMLparamType back = Reparsed(doc).Device(0).Category(0).Param(paramIndex);
        QVERIFY(!back.IsNull());
        n = 0;
        for (auto it = TextFields().begin(); it != TextFields().end(); ++it)
            QCOMPARE(it->get(back), QStringLiteral("new <%1> & %2").arg(it.key()).arg(++n));
        for (auto it = IntFields().begin(); it != IntFields().end(); ++it)
            QCOMPARE(it->get(back, nullptr), -1000 - ++n);
    }

    void writesDocumentAttributesThroughXml()
    {
        IXMLproductsType doc = LoadFixture("full_template.tdx");
        doc.SetVersion(12);
        IXMLdeviceType device = doc.Device(0);
        device.SetName(QStringLiteral("TEMPRIS KDX510-1"));
        device.SetSensorname(QStringLiteral("T"));
        device.SetProtocolversion(9);
        device.SetHeatingcapability(0);
        device.SetAxisconfig(QStringLiteral("STANDARD"));
        IXMLcategoryType category = device.Category(1);
        category.SetName(QStringLiteral("Heat_Stress"));
        category.SetSensorname(QStringLiteral("WBGT"));
        category.SetGroup(QStringLiteral("g"));
        category.SetGroupindex(19);

        const IXMLproductsType back = Reparsed(doc);
        QCOMPARE(back.Version(), 12);
        QCOMPARE(back.Device(0).Name(), QStringLiteral("TEMPRIS KDX510-1"));
        QCOMPARE(back.Device(0).Sensorname(), QStringLiteral("T"));
        QCOMPARE(back.Device(0).Protocolversion(), 9);
        QCOMPARE(back.Device(0).Heatingcapability(), 0);
        QCOMPARE(back.Device(0).AxisConfigValue(), 2);
        QCOMPARE(back.Device(0).Category(1).Name(), QStringLiteral("Heat_Stress"));
        QCOMPARE(back.Device(0).Category(1).Sensorname(), QStringLiteral("WBGT"));
        QCOMPARE(back.Device(0).Category(1).Group(), QStringLiteral("g"));
        QCOMPARE(back.Device(0).Category(1).Groupindex(), 19);
        // The second device is carried unchanged.
        QCOMPARE(back.Device(1).Name(), QStringLiteral("SECOND"));
        QCOMPARE(back.Device(1).Protocolversion(), 9);
        QCOMPARE(back.Device(1).Category(0).Name(), QStringLiteral("Untouched"));
    }

    // A created child takes its declared place; an updated one stays put.
    void createdChildrenKeepTheDeclaredOrder()
    {
        IXMLproductsType doc = LoadFixture("full_template.tdx");
        IXMLparamType bare = doc.Device(0).Category(0).Param(1);
        bare.SetFmin(QStringLiteral("1"));
        bare.SetValue(5);
        bare.SetType(QStringLiteral("int"));
        bare.Option().Add(QStringLiteral("A"));
        bare.SetCmd(QStringLiteral("BARE2"));
        QStringList tags;
        for (QDomElement e = bare.Element().firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
            tags << e.tagName();
        QCOMPARE(tags, (QStringList{"cmd", "type", "option", "value", "fmin"}));
        QCOMPARE(bare.Cmd(), QStringLiteral("BARE2"));
    }

    void itemListsArePositional()
    {
        IXMLproductsType doc = LoadFixture("full_template.tdx");
        IXMLparamType param = doc.Device(0).Category(0).Param(0);
        IXMLrepoptionTypeList reps = param.Repoption();
        QCOMPARE(reps.Count(), 3);
        QCOMPARE(reps.Texts(), (QStringList{"NODE", "DIR", "SPEED"}));
        QCOMPARE(reps.Items(0).Id(), 9); // carried, not used for identity
        QCOMPARE(reps.IndexOf(QStringLiteral("SPEED")), 2);
        QCOMPARE(reps.IndexOf(QStringLiteral("speed")), -1);
        QCOMPARE(param.Repnmeaoption().Texts(), QStringList{"MWVR"});
        QCOMPARE(param.Repxdroption().Texts(), (QStringList{"T1", "T2"}));
        QCOMPARE(param.Reportmode().Texts(), QStringList{"POLAR"});

        reps.Insert(0).SetText(QStringLiteral("FIRST"));
        reps.Insert(2).SetText(QStringLiteral("MIDDLE"));
        reps.Insert(99).SetText(QStringLiteral("LAST"));
        IXMLitemType added = reps.Add(QStringLiteral("ADDED"));
        added.SetId(42);
        QCOMPARE(reps.Texts(), (QStringList{"FIRST", "NODE", "MIDDLE", "DIR", "SPEED", "LAST", "ADDED"}));
        QVERIFY(reps.Delete(1));
        QVERIFY(!reps.Delete(6));
        QVERIFY(!reps.Delete(-1));
        QCOMPARE(reps.Texts(), (QStringList{"FIRST", "MIDDLE", "DIR", "SPEED", "LAST", "ADDED"}));
        // The other lists did not move or change.
        QCOMPARE(param.Option().Texts(), (QStringList{"ONE", "TWO"}));
        QCOMPARE(param.Repnmeaoption().Texts(), QStringList{"MWVR"});

        const IXMLparamType back = Reparsed(doc).Device(0).Category(0).Param(0);
        QCOMPARE(back.Repoption().Texts(), (QStringList{"FIRST", "MIDDLE", "DIR", "SPEED", "LAST", "ADDED"}));
        QCOMPARE(back.Repoption().Items(5).Id(), 42);
        // New items of a kind follow the existing ones of that kind.
        QCOMPARE(back.Element().firstChildElement(QStringLiteral("repnmeaoption")).previousSiblingElement().text(),
                 QStringLiteral("ADDED"));

        IXMLoptionTypeList options = param.Option();
        options.Clear();
        QCOMPARE(options.Count(), 0);
        options.Add(QStringLiteral("ONLY"));
        QCOMPARE(param.Option().Texts(), QStringList{"ONLY"});
    }

    void categoriesParamsAndDevicesCanBeAddedAndDeleted()
    {
        IXMLproductsType doc = LoadFixture("full_template.tdx");
        IXMLdeviceType device = doc.Device(0);
        device.Categories().Insert(1).SetName(QStringLiteral("Inserted"));
        IXMLcategoryType added = device.Categories().Add();
        added.SetName(QStringLiteral("Added"));
        added.Params().Add().SetCmd(QStringLiteral("NEWCMD"));
        QVERIFY(device.Categories().Delete(0));
        QCOMPARE(device.Count(), 3);
        QCOMPARE(device.Category(0).Name(), QStringLiteral("Inserted"));
        QCOMPARE(device.Category(2).Param(0).Cmd(), QStringLiteral("NEWCMD"));
        QVERIFY(device.Category(1).Params().Delete(0));
        QCOMPARE(device.Category(1).Count(), 0);
        doc.Devices().Add().SetName(QStringLiteral("THIRD"));

        const IXMLproductsType back = Reparsed(doc);
        QCOMPARE(back.Count(), 3);
        QCOMPARE(back.Device(2).Name(), QStringLiteral("THIRD"));
        QCOMPARE(back.Device(0).Count(), 3);
        QCOMPARE(back.Device(0).Category(2).Name(), QStringLiteral("Added"));
    }

    void missingElementsReadAsDocumented()
    {
        const IXMLproductsType doc = LoadFixture("full_template.tdx");
        const IXMLparamType bare = doc.Device(0).Category(0).Param(1);
        QCOMPARE(bare.Cmd(), QStringLiteral("BARE"));
        for (auto it = TextFields().begin(); it != TextFields().end(); ++it) {
            if (it.key() != QLatin1String("Name") && it.key() != QLatin1String("Cmd"))
                QVERIFY2(it->get(bare).isEmpty(), qPrintable(it.key()));
        }
        for (auto it = IntFields().begin(); it != IntFields().end(); ++it) {
            bool ok = true;
            const int value = it->get(bare, &ok);
            QVERIFY2(!ok, qPrintable(it.key()));
            QCOMPARE(value, it.key() == QLatin1String("Selected") ? -1 : 0);
        }
        QCOMPARE(bare.Option().Count(), 0);
        QVERIFY(bare.Option().Texts().isEmpty());
        QCOMPARE(doc.Device(1).Heatingcapability(), 0);
        QCOMPARE(doc.Device(1).AxisConfigValue(), 2);
    }

    // Beyond a list's end there is a null wrapper: it reads as empty and
    // ignores writes, so a wrong index cannot crash or damage the document.
    void indexesOutsideAListGiveNullWrappers()
    {
        IXMLproductsType doc = LoadFixture("full_template.tdx");
        const QString before = doc.XML();
        for (int index : {-1, 2, 1000}) {
            IXMLdeviceType device = doc.Device(index);
            QVERIFY(device.IsNull());
            QCOMPARE(device.Count(), 0);
            device.SetName(QStringLiteral("X"));
            IXMLcategoryType category = device.Category(0);
            QVERIFY(category.IsNull());
            IXMLparamType param = doc.Device(0).Category(0).Param(index);
            QVERIFY(param.IsNull());
            QCOMPARE(param.Selected(), -1);
            param.SetCmd(QStringLiteral("X"));
            param.Option().Add(QStringLiteral("X"));
            QVERIFY(param.Option().Insert(0).IsNull());
            QVERIFY(doc.Device(0).Category(0).Param(0).Option().Items(index).Text().isEmpty());
        }
        QCOMPARE(doc.XML(), before);
        QCOMPARE(IXMLproductsType().Device(0).Name(), QString());
    }

    void nonNumericIntsReadAsFallback_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("readable");
        QTest::newRow("selected none") << "Selected" << -1 << false;
        QTest::newRow("valid 1.5") << "Valid" << 0 << false;
        QTest::newRow("min with blanks") << "Min" << 12 << true;
        QTest::newRow("max beyond 32 bits") << "Max" << 0 << false;
        QTest::newRow("value 12x") << "Value" << 0 << false;
        QTest::newRow("high empty") << "High" << 0 << false;
    }

    void nonNumericIntsReadAsFallback()
    {
        QFETCH(QString, field);
        QFETCH(int, expected);
        QFETCH(bool, readable);
        const IXMLproductsType doc = LoadFixture("odd_values.tdx");
        QVERIFY(!doc.IsNull());
        bool ok = !readable;
        QCOMPARE(IntFields()[field].get(doc.Device(0).Category(0).Param(0), &ok), expected);
        QCOMPARE(ok, readable);
    }

    void nonNumericAttributesReadAsZero()
    {
        const IXMLproductsType doc = LoadFixture("odd_values.tdx");
        bool ok = true;
        QCOMPARE(doc.Version(&ok), 0);
        QVERIFY(!ok);
        QCOMPARE(doc.Device(0).Protocolversion(), 0);
        QCOMPARE(doc.Device(0).Heatingcapability(), 0);
        QCOMPARE(doc.Device(0).AxisConfigValue(), 2);
        QCOMPARE(doc.Device(0).Category(0).Groupindex(&ok), 0);
        QVERIFY(!ok);
    }

    void loadFailuresSayWhereAndWhy()
    {
        XmlLoadError error;
        QVERIFY(IXMLproductsType::Load(Fixture("broken_template.tdx"), &error).IsNull());
        QCOMPARE(error.file, Fixture("broken_template.tdx"));
        QCOMPARE(error.line, 6);
        QVERIFY(error.column > 0);
        QVERIFY(!error.message.isEmpty());
        QVERIFY(error.Text().startsWith(Fixture("broken_template.tdx") + QStringLiteral(", line 6, column ")));

        QVERIFY(IXMLproductsType::Load(Fixture("wrong_root.tdx"), &error).IsNull());
        QCOMPARE(error.line, 0);
        QVERIFY(error.message.contains(QStringLiteral("<sensorunits>")));

        QVERIFY(IXMLproductsType::Load(Fixture("no_such_file.tdx"), &error).IsNull());
        QCOMPARE(error.file, Fixture("no_such_file.tdx"));
        QVERIFY(!error.message.isEmpty());

        QVERIFY(IXMLsensorunitsType::Load(Fixture("full_template.tdx"), &error).IsNull());
        QVERIFY(IXMLsensorunitsType::FromXml("<sensorunits><a></b></sensorunits>", "memory", &error).IsNull());
        QCOMPARE(error.file, QStringLiteral("memory"));
        QCOMPARE(error.line, 1);
        QVERIFY(IXMLproductsType::FromXml("", "empty", &error).IsNull());
    }

    void clearingTheRootDropsTheDocument()
    {
        IXMLproductsType doc = LoadFixture("full_template.tdx");
        IXMLproductsType copy = doc;
        doc.Clear();
        QVERIFY(doc.IsNull());
        QCOMPARE(doc.Count(), 0);
        QVERIFY(doc.XML().isEmpty());
        QCOMPARE(copy.Count(), 2); // other references keep theirs
    }

    void rootXmlTextIsTheWholeTree()
    {
        IXMLproductsType doc = IXMLproductsType::Create();
        doc.SetVersion(1);
        doc.Devices().Add().SetName(QStringLiteral("A & B"));
        const QString xml = doc.XML();
        QVERIFY(xml.startsWith(QStringLiteral("<products version=\"1\">")));
        QVERIFY(xml.contains(QStringLiteral("<device name=\"A &amp; B\"/>")));
        QVERIFY(!xml.contains(QStringLiteral("<?xml")));
        QCOMPARE(Reparsed(doc).Device(0).Name(), QStringLiteral("A & B"));
    }

    void unitsDocumentReadsAndFinds()
    {
        XmlLoadError error;
        const IXMLsensorunitsType units = IXMLsensorunitsType::Load(Fixture("units.tdx"), &error);
        QVERIFY2(!units.IsNull(), qPrintable(error.Text()));
        QCOMPARE(units.Count(), 4);
        const IXMLmeasurementType wind = units.Measurement(0);
        QCOMPARE(wind.Name(), QStringLiteral("WINDSPEED"));
        QCOMPARE(wind.Sensorname(), QStringLiteral("Wind"));
        QCOMPARE(wind.Count(), 3);
        QCOMPARE(wind.Symbols(), (QStringList{"MS", "KPH", "KTS"}));
        QCOMPARE(wind.Unit(1).Id(), 2);
        QCOMPARE(wind.Unit(1).Symbol(), QStringLiteral("KPH"));
        QCOMPARE(wind.Unit(1).Factor(), 36);
        QCOMPARE(wind.Unit(1).Offset(), 0);
        QCOMPARE(units.Measurement(1).Unit(1).Factor(), 0); // "x"
        QCOMPARE(units.Measurement(3).Unit(0).Offset(), 0); // missing
        QCOMPARE(wind.FindUnit(QStringLiteral("KTS")), 2);
        QCOMPARE(wind.FindUnit(QStringLiteral("kts")), -1);
        QCOMPARE(units.FindMeasurement(QStringLiteral("TEMPERATURE")), 1);
        QCOMPARE(units.FindMeasurement(QStringLiteral("temperature")), -1);
        QVERIFY(units.Measurement(2).Symbols().isEmpty());
        QVERIFY(units.Measurement(4).IsNull());
    }

    void unitsWriteThroughXml()
    {
        IXMLsensorunitsType units = IXMLsensorunitsType::Create();
        IXMLmeasurementType m = units.Measurements().Add();
        m.SetName(QStringLiteral("PRESSURE"));
        m.SetSensorname(QStringLiteral("Baro"));
        IXMLunitType u = m.Units().Add();
        u.SetId(3);
        u.SetSymbol(QStringLiteral("HPA"));
        u.SetFactor(10);
        u.SetOffset(-2);
        const IXMLsensorunitsType back = IXMLsensorunitsType::FromXml(units.XML().toUtf8(), "units");
        QCOMPARE(back.Measurement(0).Name(), QStringLiteral("PRESSURE"));
        QCOMPARE(back.Measurement(0).Sensorname(), QStringLiteral("Baro"));
        QCOMPARE(back.Measurement(0).Unit(0).Id(), 3);
        QCOMPARE(back.Measurement(0).Unit(0).Symbol(), QStringLiteral("HPA"));
        QCOMPARE(back.Measurement(0).Unit(0).Factor(), 10);
        QCOMPARE(back.Measurement(0).Unit(0).Offset(), -2);
    }

    void unitLookupScansEveryMeasurementOfTheName_data()
    {
        QTest::addColumn<QString>("measurement");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<bool>("found");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("error");
        QTest::newRow("first of a name") << "WINDSPEED"
                                         << "KPH" << true << 1 << "";
        QTest::newRow("a later measurement of the name wins") << "TEMPERATURE"
                                                              << "C" << true << 1 << "";
        QTest::newRow("missing in the later one") << "TEMPERATURE"
                                                  << "F" << false << -1 << "Did not find units.";
        QTest::newRow("case differs") << "WINDSPEED"
                                      << "kph" << false << -1 << "Did not find units.";
        QTest::newRow("no units at all") << "EMPTY"
                                         << "X" << false << -1 << "Did not find units.";
        QTest::newRow("no such measurement") << "HUMIDITY"
                                             << "%" << false << -1 << "Did not find measurement type.";
    }

    void unitLookupScansEveryMeasurementOfTheName()
    {
        QFETCH(QString, measurement);
        QFETCH(QString, symbol);
        QFETCH(bool, found);
        QFETCH(int, position);
        QFETCH(QString, error);
        const UnitLookup lookup = IXMLsensorunitsType::Load(Fixture("units.tdx")).LookupUnit(measurement, symbol);
        QCOMPARE(lookup.found, found);
        QCOMPARE(lookup.position, position);
        QCOMPARE(lookup.error, error);
    }

    void templateLimits_data()
    {
        QTest::addColumn<int>("categories");
        QTest::addColumn<int>("params");
        QTest::addColumn<int>("groupindex");
        QTest::addColumn<int>("reportItems");
        QTest::addColumn<QString>("problem");
        QTest::newRow("at every limit") << 20 << 50 << 19 << 50 << "";
        QTest::newRow("21 categories") << 21 << 1 << 0 << 0 << "the device has 21 categories (at most 20)";
        QTest::newRow("51 params") << 1 << 51 << 0 << 0 << "category \"C0\" has 51 params (at most 50)";
        QTest::newRow("groupindex 20") << 1 << 1 << 20 << 0 << "category \"C0\" has groupindex 20 (0 to 19 allowed)";
        QTest::newRow("groupindex -1") << 1 << 1 << -1 << 0 << "category \"C0\" has groupindex -1 (0 to 19 allowed)";
        QTest::newRow("51 report items") << 1 << 1 << 0 << 51
                                         << "param \"P0\" of category \"C0\" has 51 repxdroption items (at most 50)";
    }

    void templateLimits()
    {
        QFETCH(int, categories);
        QFETCH(int, params);
        QFETCH(int, groupindex);
        QFETCH(int, reportItems);
        QFETCH(QString, problem);
        IXMLproductsType doc = IXMLproductsType::Create();
        IXMLdeviceType device = doc.Devices().Add();
        for (int c = 0; c < categories; ++c) {
            IXMLcategoryType category = device.Categories().Add();
            category.SetName(QStringLiteral("C%1").arg(c));
            category.SetGroupindex(groupindex);
            for (int p = 0; p < params; ++p) {
                IXMLparamType param = category.Params().Add();
                param.SetName(QStringLiteral("P%1").arg(p));
                for (int i = 0; i < reportItems; ++i)
                    param.Repxdroption().Add(QStringLiteral("T%1").arg(i));
            }
        }
        QCOMPARE(CheckTemplateLimits(doc), problem);
        QCOMPARE(CheckTemplateLimits(IXMLproductsType::Create()), QStringLiteral("the document has no device"));
    }

    void listsAreWalkedOnceWhateverTheirLength()
    {
        // Index loops (Count() and Param(i) each turn) over a crafted file of
        // 40 000 params once took minutes; walked once each they take
        // milliseconds. The bound leaves ample room for a slow machine.
        constexpr int kParams = 40000;
        QByteArray xml = "<products><device><category name=\"C\">";
        for (int i = 0; i < kParams; ++i)
            xml += "<param><cmd>P" + QByteArray::number(i) + "</cmd></param>";
        xml += "</category></device></products>";
        const IXMLproductsType doc = IXMLproductsType::FromXml(xml, "many.tcf");
        QVERIFY(!doc.IsNull());
        const IXMLcategoryType category = doc.Device(0).Category(0);
        QElapsedTimer timer;
        timer.start();
        int seen = 0;
        for (int i = 0; i < category.Count(); ++i)
            seen += category.Param(i).Cmd() == QStringLiteral("P%1").arg(i);
        QCOMPARE(seen, kParams);
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    }

    void positionsStayRightAcrossChanges()
    {
        IXMLproductsType doc = IXMLproductsType::FromXml(
            "<products><device><category name=\"A\"/><category name=\"B\"/><category name=\"C\"/>"
            "<category name=\"D\"/></device></products>",
            "changes.tcf");
        IXMLdeviceType device = doc.Device(0);
        IXMLcategoryTypeList categories = device.Categories();
        QCOMPARE(device.Category(2).Name(), QStringLiteral("C"));
        QCOMPARE(device.Count(), 4);
        QVERIFY(categories.Delete(1));
        QCOMPARE(device.Count(), 3);
        QCOMPARE(device.Category(2).Name(), QStringLiteral("D"));
        categories.Insert(0).SetName(QStringLiteral("Z"));
        QCOMPARE(device.Count(), 4);
        QCOMPARE(device.Category(0).Name(), QStringLiteral("Z"));
        QCOMPARE(device.Category(3).Name(), QStringLiteral("D"));
        QCOMPARE(device.Category(1).Name(), QStringLiteral("A"));
        categories.Add().SetName(QStringLiteral("E"));
        QCOMPARE(device.Category(4).Name(), QStringLiteral("E"));
        QVERIFY(device.Category(5).IsNull());
        // Lists of different parents and tags at the same time.
        IXMLparamTypeList params = device.Category(0).Params();
        params.Add().SetCmd(QStringLiteral("X"));
        params.Add().SetCmd(QStringLiteral("Y"));
        QCOMPARE(device.Category(0).Param(1).Cmd(), QStringLiteral("Y"));
        QCOMPARE(device.Category(4).Name(), QStringLiteral("E"));
        QCOMPARE(device.Category(0).Param(0).Cmd(), QStringLiteral("X"));
        categories.Clear();
        QCOMPARE(device.Count(), 0);
        QVERIFY(device.Category(0).IsNull());
        int walked = 0;
        for (IXMLcategoryType c = categories.First(); !c.IsNull(); c = categories.Next(c))
            ++walked;
        QCOMPARE(walked, 0);
    }

    void implausiblyDeepOrLargeFilesAreRefusedByName()
    {
        QTemporaryDir dir;
        const QString deep = dir.filePath("deep.tcf");
        {
            QFile file(deep);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("<products>" + QByteArray("<a>").repeated(200000) + QByteArray("</a>").repeated(200000) +
                       "</products>");
        }
        QElapsedTimer timer;
        timer.start();
        XmlLoadError error;
        QVERIFY(IXMLproductsType::Load(deep, &error).IsNull());
        QVERIFY2(error.Text().startsWith(deep) && error.message.contains("nested"), qPrintable(error.Text()));
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));

        const QString large = dir.filePath("large.tcf");
        {
            QFile file(large);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("<products>" + QByteArray(kMaxXmlFileBytes, ' ') + "</products>");
        }
        QVERIFY(IXMLproductsType::Load(large, &error).IsNull());
        QVERIFY2(error.Text().startsWith(large) && error.message.contains("bytes"), qPrintable(error.Text()));

        // The shipped files are far inside both limits.
        const QDir shipped(QStringLiteral(TALVEK_TEST_APP_DIR));
        int loaded = 0;
        for (const QString &name : shipped.entryList({"*.tdx"}, QDir::Files)) {
            if (name == QLatin1String("ordaDeviceUnits.tdx"))
                continue;
            XmlLoadError shippedError;
            QVERIFY2(!IXMLproductsType::Load(shipped.filePath(name), &shippedError).IsNull(),
                     qPrintable(shippedError.Text()));
            ++loaded;
        }
        QVERIFY(loaded > 100);
    }
};

QTEST_GUILESS_MAIN(TestBindings)
#include "tst_bindings.moc"
