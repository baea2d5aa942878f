// Every product of the catalogue, simulated: its identity must select its own
// template, and every read command of that template must be answered in the
// form the reading of its type expects.
#include "engine/identity.h"
#include "sim/simulator.h"
#include "simclient.h"
#include "templates/ordaDeviceUnits.h"
#include "templates/ordaUserConfig.h"
#include "templates/productCatalogue.h"

#include <QRegularExpression>
#include <QtTest>

class TestSimCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyProduct_data();
    void everyProduct();

private:
    IXMLsensorunitsType m_units;
};

namespace
{
const QString appDir = QStringLiteral(TALVEK_TEST_APP_DIR);

// The value after "CMD = " (or "CMD =") of a reply line, or a null text when
// the line does not have that form.
QString ValueOf(const QString &line, const QString &head)
{
    if (line == head + QStringLiteral(" ="))
        return QStringLiteral("");
    if (!line.startsWith(head + QStringLiteral(" = ")))
        return {};
    return line.mid(head.size() + 3);
}

// Whether value is what a device of this param can say, by its type.
bool Plausible(const IXMLparamType &p, const QString &value, const IXMLsensorunitsType &units,
               const QString &sensorType)
{
    const QString type = p.Type();
    const QStringList options = p.Option().Texts();
    static const QRegularExpression integer(QStringLiteral("^-?\\d+$"));
    if (type == QLatin1String("int") || type == QLatin1String("delayedint"))
        return integer.match(value).hasMatch();
    if (type == QLatin1String("select") || type == QLatin1String("delayedselect"))
        return options.contains(value);
    if (type == QLatin1String("sensorunits"))
        return units.LookupUnit(p.Measure(), value).found;
    if (type == QLatin1String("senstypeselect"))
        return options.contains(value) || value == QLatin1String("NOT CONFIGURED");
    if (type == QLatin1String("cfgsensorunits")) {
        if (sensorType == QLatin1String("NOT CONFIGURED"))
            return value == sensorType;
        return sensorType == QLatin1String("CUSTOM") || units.LookupUnit(sensorType, value).found;
    }
    if (type == QLatin1String("aniptype")) {
        const QStringList f = value.split(QLatin1Char(','));
        return value == QLatin1String("NOT CONFIGURED") ||
               (f.size() == 3 && options.contains(f[0]) && integer.match(f[1]).hasMatch() &&
                integer.match(f[2]).hasMatch());
    }
    if (type == QLatin1String("reportstr"))
        return value.startsWith(QLatin1String("CHECK,"));
    if (type == QLatin1String("reportxdr"))
        return value.startsWith(QLatin1String("XDR")) && value.endsWith(QLatin1String("CHECK"));
    if (type == QLatin1String("maskedfloat"))
        return value.size() == p.Mask().size() && value.toDouble() >= p.Floatmin().toDouble() &&
               value.toDouble() <= p.Floatmax().toDouble();
    if (type == QLatin1String("timestr") || type == QLatin1String("timestrcheckbox"))
        return value.size() == p.String().size() + 2;
    if (type == QLatin1String("substname") || type == QLatin1String("digcount") || type == QLatin1String("string"))
        return true;
    return false;
}
} // namespace

void TestSimCatalogue::initTestCase()
{
    m_units = IXMLsensorunitsType::Load(appDir + QStringLiteral("/ordaDeviceUnits.tdx"));
    QVERIFY(!m_units.IsNull());
}

void TestSimCatalogue::everyProduct_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < aProductDefs().size(); ++i)
        QTest::newRow(qPrintable(aProductDefs()[i].menuName)) << i;
}

void TestSimCatalogue::everyProduct()
{
    QFETCH(int, row);
    const ProductDef &def = aProductDefs()[row];
    SimOptions options;
    options.product = def.menuName;
    options.dataDir = appDir;
    options.echo = false;
    options.streamIntervalMs = 60000;
    Simulator sim(options);
    QString error;
    QVERIFY2(sim.Start(&error), qPrintable(error));
    SimClient client;
    QVERIFY(client.Open(sim.DevicePath(), 19200));

    const QStringList id = client.Exchange("%%%");
    QCOMPARE(id.size(), 1);
    QVERIFY(id[0].startsWith(QLatin1String("ID:")));
    const IdentityParse parse = ParseIdentityReply(id[0].mid(3));
    QCOMPARE(int(parse.outcome), int(IdentityParse::Outcome::Matched));
    QCOMPARE(parse.row, row);
    QCOMPARE(parse.optionBits, sim.OptionBits());
    QCOMPARE(parse.softwareVersion.size(), 4);
    QCOMPARE(client.Exchange("**QQQQ\n"), QStringList{QStringLiteral("SETUP MODE")});

    const IXMLproductsType doc = IXMLproductsType::Load(appDir + '/' + def.templateFile);
    const IXMLdeviceType device = doc.Device(0);
    QVERIFY(device.Count() > 0);
    int answered = 0;
    for (int c = 0; c < device.Count(); ++c) {
        const IXMLcategoryType category = device.Category(c);
        QString sensorType;
        for (int i = 0; i < category.Count(); ++i) {
            const IXMLparamType p = category.Param(i);
            const QString cmd = p.Cmd();
            const bool delayed = p.Type().startsWith(QLatin1String("delayed"));
            if (!sim.Has(cmd)) {
                // A feature the station lacks: the command is unknown to it.
                QCOMPARE(client.Exchange(cmd.toLatin1()), QStringList{QStringLiteral("ILLEGAL COMMAND LINE")});
                continue;
            }
            // Read strictly in order: an extra reply line would show up as the next command's answer.
            client.Send(cmd.toLatin1());
            const QStringList lines = client.Lines(delayed ? 2 : 1, 1000);
            QCOMPARE(lines.size(), delayed ? 2 : 1);
            const QString value = ValueOf(lines[0], cmd);
            QVERIFY2(!value.isNull(), qPrintable(cmd + QStringLiteral(": ") + lines[0]));
            if (delayed) {
                const QString pending = ValueOf(lines[1], cmd + QStringLiteral(" AFTER RESET"));
                QVERIFY2(Plausible(p, pending, m_units, sensorType), qPrintable(lines[1]));
            }
            QVERIFY2(Plausible(p, value, m_units, sensorType), qPrintable(p.Type() + ": " + lines[0]));
            if (p.Type() == QLatin1String("senstypeselect"))
                sensorType = value;
            ++answered;
        }
    }
    QVERIFY(answered > 5);
    QCOMPARE(client.Exchange("SERIAL"), QStringList{QStringLiteral("SERIAL = 12345 ")});
    QCOMPARE(client.Lines(1, 30), QStringList());
}

QTEST_GUILESS_MAIN(TestSimCatalogue)
#include "tst_simcatalogue.moc"
