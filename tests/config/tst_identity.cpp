#include "engine/identity.h"
#include "engine/splitFields.h"
#include "templates/productCatalogue.h"

#include <QTest>

#include "../templates/expectedTemplateFiles.inc"

using Outcome = IdentityParse::Outcome;
Q_DECLARE_METATYPE(IdentityParse::Outcome)

namespace
{

// The reply a device of a catalogue row gives, as the sensors format it.
QString ReplyFor(const ProductDef &row)
{
    QString model = row.identityName;
    if (model.startsWith(QLatin1String("TEMPRIS ")))
        model += QStringLiteral("-0803");
    QString reply = QStringLiteral("2.14 PV=%1 0117 [0] \"%2\"").arg(row.protocolVersion).arg(model);
    if (row.heating)
        reply += QStringLiteral(" HEATING=1");
    if (row.axis == 3)
        reply += QStringLiteral(" AXIS=UVW");
    return reply;
}

} // namespace

class TestIdentity : public QObject
{
    Q_OBJECT

private slots:
    void splitFields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("plain") << "a b c" << QChar(' ') << QStringList{"a", "b", "c"};
        QTest::newRow("empty fields kept") << "a  b" << QChar(' ') << QStringList{"a", "", "b"};
        QTest::newRow("trailing separator") << "a,b," << QChar(',') << QStringList{"a", "b"};
        QTest::newRow("leading separator") << ",a" << QChar(',') << QStringList{"", "a"};
        QTest::newRow("quotes group and vanish")
            << "x \"TEMPRIS KDX510-1\" y" << QChar(' ') << QStringList{"x", "TEMPRIS KDX510-1", "y"};
        QTest::newRow("quote inside a word") << "ab\"c d\"e" << QChar(' ') << QStringList{"abc de"};
        QTest::newRow("unclosed quote") << "a \"b c" << QChar(' ') << QStringList{"a", "b c"};
        QTest::newRow("empty") << "" << QChar(' ') << QStringList{};
        QTest::newRow("only quotes") << "\"\"" << QChar(' ') << QStringList{};
        QTest::newRow("equals") << "AXIS=UVW" << QChar('=') << QStringList{"AXIS", "UVW"};
        QTest::newRow("nothing after equals") << "OPTION=" << QChar('=') << QStringList{"OPTION"};
    }

    void splitFields()
    {
        QFETCH(QString, text);
        QFETCH(QChar, separator);
        QTEST(SplitFields(text, separator), "fields");
    }

    // The identity each catalogue row stands for selects that row's file.
    void everyRowIsSelectedByItsIdentity_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < aProductDefs().size(); ++i)
            QTest::newRow(qPrintable(aProductDefs()[i].menuName)) << i;
    }

    void everyRowIsSelectedByItsIdentity()
    {
        QFETCH(int, row);
        const ProductDef &def = aProductDefs().at(row);
        const IdentityParse id = ParseIdentityReply(ReplyFor(def));
        QCOMPARE(id.outcome, Outcome::Matched);
        QCOMPARE(id.row, row);
        QCOMPARE(aProductDefs().at(id.row).templateFile, QString::fromLatin1(kExpectedTemplateFiles[row]));
        QCOMPARE(id.productName, def.identityName);
        QCOMPARE(id.protocolVersion, def.protocolVersion);
        QCOMPARE(id.heating, def.heating);
        QCOMPARE(id.axisConfig, def.axis);
    }

    void outcomes_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("file"); // the chosen template when matched
        QTest::addColumn<int>("pv");
        QTest::addColumn<int>("heating");
        QTest::addColumn<int>("axis");

        QTest::newRow("heated tempris is unsupported")
            << "2.14 PV=5 0117 [0] \"TEMPRIS KDX540-4-0000\" HEATING=1" << Outcome::Unsupported << "" << 5 << 1 << 2;
        QTest::newRow("uvw tempris is unsupported")
            << "2.14 PV=5 0117 [0] \"TEMPRIS KDX540-4-0000\" AXIS=UVW" << Outcome::Unsupported << "" << 5 << 0 << 3;
        QTest::newRow("HEATING=0 counts as heated") << "2.14 PV=4 0117 [0] \"CORVIX PRO\" HEATING=0" << Outcome::Matched
                                                    << "corvixpro_heated_pv4_template.tdx" << 4 << 1 << 2;
        QTest::newRow("AXIS=uvw is standard") << "2.14 PV=4 0117 [0] \"CORVIX PRO\" AXIS=uvw" << Outcome::Matched
                                              << "corvixpro_pv4_template.tdx" << 4 << 0 << 2;
        QTest::newRow("AXIS= with nothing is standard") << "2.14 PV=4 0117 [0] \"CORVIX PRO\" AXIS=" << Outcome::Matched
                                                        << "corvixpro_pv4_template.tdx" << 4 << 0 << 2;
        QTest::newRow("PV=x gives 0: unsupported")
            << "2.14 PV=x 0117 [0] \"CORVIX II\"" << Outcome::Unsupported << "" << 0 << 0 << 2;
        QTest::newRow("both corvix names: CORVIX II") << "2.14 PV=5 0117 [0] \"CORVIX PRO CORVIX II\""
                                                      << Outcome::Matched << "corvixII_pv5_template.tdx" << 5 << 0 << 2;
        QTest::newRow("tempris type 1 takes its plain row")
            << "2.14 PV=8 0117 [0] \"TEMPRIS KDX515-1-0000\"" << Outcome::Matched
            << "tempris_type_1_515_pv8_template.tdx" << 8 << 0 << 2;
        QTest::newRow("tempris type 1B takes its B row")
            << "2.14 PV=8 0117 [0] \"TEMPRIS KDX515-1B-0000\"" << Outcome::Matched
            << "tempris_type_1b_515_pv8_template.tdx" << 8 << 0 << 2;
        QTest::newRow("type 9 beyond the menu") << "2.14 PV=7 0117 [0] \"TEMPRIS KDX590-9B-0000\"" << Outcome::Matched
                                                << "tempris_type_9b_pv7_template.tdx" << 7 << 0 << 2;
        QTest::newRow("tempris at a version without its model")
            << "2.14 PV=5 0117 [0] \"TEMPRIS KDX515-1-0000\"" << Outcome::Unsupported << "" << 5 << 0 << 2;
        QTest::newRow("corvix precipitation is not pro")
            << "2.14 PV=4 0117 [0] \"CORVIX PRECIPITATION\"" << Outcome::Matched << "corvixprecip_pv4_template.tdx" << 4
            << 0 << 2;
        QTest::newRow("unknown device") << "2.14 PV=4 0117 [0] \"WINDMASTER 3\"" << Outcome::Unknown << "" << 4 << 0
                                        << 2;
        QTest::newRow("no PV= token") << "2.14 P=4 0117 [0] \"CORVIX II\"" << Outcome::NoProtocol << "" << 0 << 0 << 2;
        QTest::newRow("model outside the family table")
            << "2.14 PV=8 0117 [0] \"TEMPRIS KDX558-5-0002\"" << Outcome::Unknown << "" << 8 << 0 << 2;
        QTest::newRow("type code not of the model")
            << "2.14 PV=8 0117 [0] \"TEMPRIS KDX510-2-0002\"" << Outcome::Unknown << "" << 8 << 0 << 2;
        // Malformed model texts: their truncated keys (such as "TEMPRIS KDX")
        // would otherwise match the first Tempris row.
        QTest::newRow("no option code") << "2.14 PV=8 0117 [0] \"TEMPRIS KDX540-4\"" << Outcome::Unknown << "" << 8 << 0
                                        << 2;
        QTest::newRow("no closing quote")
            << "2.14 PV=8 0117 [0] \"TEMPRIS KDX540-4-0000" << Outcome::Unknown << "" << 8 << 0 << 2;
        QTest::newRow("no closing quote, quote before")
            << "2.14 PV=8 \"x\" TEMPRIS KDX540-4-0000" << Outcome::Unknown << "" << 8 << 0 << 2;
        QTest::newRow("empty model") << "2.14 PV=8 0117 [0] \"TEMPRIS \"" << Outcome::Unknown << "" << 8 << 0 << 2;
        QTest::newRow("model starts with -")
            << "2.14 PV=8 0117 [0] \"TEMPRIS -4-0000\"" << Outcome::Unknown << "" << 8 << 0 << 2;
        QTest::newRow("one part") << "2.14 PV=8 0117 [0] \"TEMPRIS KDX5404000000\"" << Outcome::Unknown << "" << 8 << 0
                                  << 2;
        QTest::newRow("type code too long")
            << "2.14 PV=8 0117 [0] \"TEMPRIS KDX540-444444-0000\"" << Outcome::Unknown << "" << 8 << 0 << 2;
    }

    void outcomes()
    {
        QFETCH(QString, reply);
        QFETCH(Outcome, outcome);
        QFETCH(QString, file);
        const IdentityParse id = ParseIdentityReply(reply);
        QCOMPARE(id.outcome, outcome);
        if (outcome == Outcome::Matched)
            QCOMPARE(aProductDefs().at(id.row).templateFile, file);
        else
            QCOMPARE(id.row, -1);
        QTEST(id.protocolVersion, "pv");
        QTEST(id.heating, "heating");
        QTEST(id.axisConfig, "axis");
    }

    void temprisIdentityParts_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("display");
        QTest::addColumn<uint>("bits");
        QTest::newRow("option code hex") << "2.14 PV=9 0117 [0] \"TEMPRIS KDX552-5B-8803\""
                                         << "TEMPRIS KDX552-5B"
                                         << "TEMPRIS KDX552-5B-8803" << 0x8803u;
        QTest::newRow("lower-case hex") << "2.14 PV=9 0117 [0] \"TEMPRIS KDX552-5-0a0f\""
                                        << "TEMPRIS KDX552-5"
                                        << "TEMPRIS KDX552-5-0a0f" << 0x0a0fu;
        QTest::newRow("not hex") << "2.14 PV=9 0117 [0] \"TEMPRIS KDX552-5-G800\""
                                 << "TEMPRIS KDX552-5"
                                 << "TEMPRIS KDX552-5-G800" << 0u;
        QTest::newRow("hex prefix") << "2.14 PV=9 0117 [0] \"TEMPRIS KDX552-5-1X00\""
                                    << "TEMPRIS KDX552-5"
                                    << "TEMPRIS KDX552-5-1X00" << 1u;
        QTest::newRow("doubled dash before the code") << "2.14 PV=9 0117 [0] \"TEMPRIS KDX600-10--0800\""
                                                      << ""
                                                      << "TEMPRIS KDX600-10--0800" << 0x0800u;
    }

    void temprisIdentityParts()
    {
        QFETCH(QString, reply);
        const IdentityParse id = ParseIdentityReply(reply);
        QTEST(id.displayName, "display");
        QTEST(uint(id.optionBits), "bits");
        // A key that names no model of the family is dropped.
        QTEST(id.key, "key");
    }

    void versionsAndOptions_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("software");
        QTest::addColumn<QString>("extra");
        QTest::addColumn<QString>("option");
        QTest::newRow("usual") << "2.14 PV=5 0117 [0] \"CORVIX II\" OPTION=WIND2"
                               << "2.14"
                               << "0117"
                               << "WIND2";
        QTest::newRow("first token too long") << "2.140 PV=5 0117 \"CORVIX II\""
                                              << "????"
                                              << "0117"
                                              << "";
        QTest::newRow("first token short") << "V2 PV=5 0117 \"CORVIX II\""
                                           << "????"
                                           << "0117"
                                           << "";
        QTest::newRow("empty third token") << "2.14 PV=5  \"CORVIX II\""
                                           << "2.14"
                                           << "???"
                                           << "";
        QTest::newRow("two tokens") << "\"CORVIX II\" PV=5"
                                    << "????"
                                    << "???"
                                    << "";
        QTest::newRow("option with nothing") << "2.14 PV=5 0117 \"CORVIX II\" OPTION="
                                             << "2.14"
                                             << "0117"
                                             << "";
        QTest::newRow("first option token wins") << "2.14 PV=5 0117 \"CORVIX II\" OPTION=A OPTION=B"
                                                 << "2.14"
                                                 << "0117"
                                                 << "A";
    }

    void versionsAndOptions()
    {
        QFETCH(QString, reply);
        const IdentityParse id = ParseIdentityReply(reply);
        QCOMPARE(id.outcome, Outcome::Matched);
        QTEST(id.softwareVersion, "software");
        QTEST(id.softwareVersionExtra, "extra");
        QTEST(id.optionText, "option");
    }
};

QTEST_GUILESS_MAIN(TestIdentity)
#include "tst_identity.moc"
