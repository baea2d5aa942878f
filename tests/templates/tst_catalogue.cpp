#include "templates/ordaDeviceUnits.h"
#include "templates/ordaUserConfig.h"
#include "templates/productCatalogue.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include "expectedTemplateFiles.inc"

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void hasTheTemplateFilesInOrder()
    {
        const QList<ProductDef> &rows = aProductDefs();
        QCOMPARE(rows.size(), 183);
        QCOMPARE(int(std::size(kExpectedTemplateFiles)), 183);
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(rows[i].templateFile, QString::fromLatin1(kExpectedTemplateFiles[i]));
    }

    void menuNamesAreUniqueAndTheMenuHoldsAllBut9And9BFromPv5()
    {
        QSet<QString> menuNames;
        int inMenu = 0;
        for (const ProductDef &row : aProductDefs()) {
            QVERIFY2(!menuNames.contains(row.menuName), qPrintable(row.menuName));
            menuNames.insert(row.menuName);
            const bool type9 =
                row.identityName.endsWith(QLatin1String("-9")) || row.identityName.endsWith(QLatin1String("-9B"));
            QCOMPARE(row.inMenu, !(type9 && row.protocolVersion >= 5));
            inMenu += row.inMenu ? 1 : 0;
        }
        QCOMPARE(inMenu, 173);
    }

    void corvixAndRelaypointRows_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("identity");
        QTest::addColumn<int>("pv");
        QTest::addColumn<int>("heating");
        QTest::addColumn<int>("axis");
        QTest::newRow("first") << 0 << "Corvix II PV2"
                               << "CORVIX II" << 2 << 0 << 2;
        QTest::newRow("plain last") << 3 << "Corvix II PV5"
                                    << "CORVIX II" << 5 << 0 << 2;
        QTest::newRow("heated") << 4 << "Corvix II Heated PV3"
                                << "CORVIX II" << 3 << 1 << 2;
        QTest::newRow("uvw") << 9 << "Corvix II UVW PV5"
                             << "CORVIX II" << 5 << 0 << 3;
        QTest::newRow("pro") << 10 << "Corvix Pro PV2"
                             << "CORVIX PRO" << 2 << 0 << 2;
        QTest::newRow("pro heated") << 15 << "Corvix Pro Heated PV4"
                                    << "CORVIX PRO" << 4 << 1 << 2;
        QTest::newRow("precip") << 20 << "Corvix Precip PV3"
                                << "CORVIX PRECIPITATION" << 3 << 0 << 2;
        QTest::newRow("precip heated") << 23 << "Corvix Precip Heated PV3"
                                       << "CORVIX PRECIPITATION" << 3 << 1 << 2;
        QTest::newRow("precip uvw") << 28 << "Corvix Precip UVW PV5"
                                    << "CORVIX PRECIPITATION" << 5 << 0 << 3;
        QTest::newRow("relaypoint") << 29 << "Relaypoint PV6"
                                    << "RELAYPOINT" << 6 << 0 << 2;
        QTest::newRow("first tempris") << 30 << "Tempris KDX510-1 PV1"
                                       << "TEMPRIS KDX510-1" << 1 << 0 << 2;
        QTest::newRow("second model") << 127 << "Tempris KDX515-1 PV8"
                                      << "TEMPRIS KDX515-1" << 8 << 0 << 2;
        QTest::newRow("last") << 182 << "Tempris KDX600-10 PV9"
                              << "TEMPRIS KDX600-10" << 9 << 0 << 2;
    }

    void corvixAndRelaypointRows()
    {
        QFETCH(int, row);
        const ProductDef &def = aProductDefs().at(row);
        QTEST(def.menuName, "menu");
        QTEST(def.identityName, "identity");
        QTEST(def.protocolVersion, "pv");
        QTEST(def.heating, "heating");
        QTEST(def.axis, "axis");
    }

    // Every Tempris row is plain, and its file, menu and identity name agree
    // on model, type code and protocol version.
    void temprisRowsAreConsistent()
    {
        const QRegularExpression identity(QStringLiteral("^TEMPRIS KDX(\\d{3})-(\\d{1,2}[BDE]?)$"));
        const QList<ProductDef> &rows = aProductDefs();
        int previousPv = 0;
        for (int i = 30; i < rows.size(); ++i) {
            const ProductDef &row = rows[i];
            const auto match = identity.match(row.identityName);
            QVERIFY2(match.hasMatch(), qPrintable(row.identityName));
            QCOMPARE(row.heating, 0);
            QCOMPARE(row.axis, 2);
            QVERIFY(row.protocolVersion >= previousPv);
            previousPv = row.protocolVersion;
            QCOMPARE(row.menuName, QStringLiteral("Tempris KDX%1-%2 PV%3")
                                       .arg(match.captured(1), match.captured(2))
                                       .arg(row.protocolVersion));
            QVERIFY(row.templateFile.startsWith(QStringLiteral("tempris_type_") + match.captured(2).toLower()));
            QVERIFY(row.templateFile.endsWith(QStringLiteral("_pv%1_template.tdx").arg(row.protocolVersion)));
        }
    }

    void familyTableHas29ModelsInTypeOrder()
    {
        const QList<TemprisFamilyDef> &family = aTemprisFamily();
        QCOMPARE(family.size(), 29);
        const QStringList codes =
            QStringLiteral("1 1B 1 1B 2 2B 2 2B 2 2B 3 3B 3 3B 4 5 5B 5 5B 5 5B 5D 5E 6 7 8 9 9B 10")
                .split(QLatin1Char(' '));
        QSet<QString> identities;
        for (int i = 0; i < family.size(); ++i) {
            QCOMPARE(family[i].typeKey, QStringLiteral("TEMPRIS_TYPE_") + codes[i]);
            QVERIFY(family[i].identityName.endsWith(QLatin1Char('-') + codes[i]));
            identities.insert(family[i].identityName);
        }
        QCOMPARE(identities.size(), 29);
        // The identities are exactly those of the Tempris catalogue rows.
        QSet<QString> catalogue;
        for (const ProductDef &row : aProductDefs()) {
            if (row.identityName.startsWith(QLatin1String("TEMPRIS ")))
                catalogue.insert(row.identityName);
        }
        QCOMPARE(catalogue, identities);
        QCOMPARE(family[2].identityName, QStringLiteral("TEMPRIS KDX515-1"));
        QCOMPARE(family[22].identityName, QStringLiteral("TEMPRIS KDX556-5E"));
    }

    void nonTemprisNamesInMatchingOrder()
    {
        QCOMPARE(aNonTemprisNames(), (QStringList{"CORVIX II", "CORVIX PRO", "CORVIX PRECIPITATION", "RELAYPOINT"}));
    }

    void precipitationModelLists()
    {
        QCOMPARE(ElevenModelList(),
                 (QStringList{"TEMPRIS KDX520-2", "TEMPRIS KDX520-2B", "TEMPRIS KDX530-3", "TEMPRIS KDX530-3B",
                              "TEMPRIS KDX550-5", "TEMPRIS KDX550-5B", "TEMPRIS KDX556-5D", "TEMPRIS KDX556-5E",
                              "TEMPRIS KDX560-6", "TEMPRIS KDX570-7", "TEMPRIS KDX600-10"}));
        QCOMPARE(ThirteenModelList().size(), 13);
        QCOMPARE(ThirteenModelList().mid(0, 11), ElevenModelList());
        for (const QString &extra : ThirteenModelList().mid(11)) {
            for (const TemprisFamilyDef &row : aTemprisFamily())
                QVERIFY(row.identityName != extra);
        }
    }

    // The shipped templates (present once the data is built beside the
    // program) must fit the editor's tables.
    void shippedTemplatesFitTheTables()
    {
        const QDir dir(QStringLiteral(TALVEK_TEST_APP_DIR));
        const QStringList files = dir.entryList({QStringLiteral("*_template.tdx")}, QDir::Files, QDir::Name);
        if (files.isEmpty())
            QSKIP("no template files in the program folder");
        for (const QString &file : files) {
            XmlLoadError error;
            const IXMLproductsType doc = IXMLproductsType::Load(dir.filePath(file), &error);
            QVERIFY2(!doc.IsNull(), qPrintable(error.Text()));
            const QString problem = CheckTemplateLimits(doc);
            QVERIFY2(problem.isEmpty(), qPrintable(file + QStringLiteral(": ") + problem));
        }
    }

    // Each shipped template describes its own catalogue row: files saved from
    // it are checked against the device by these attributes.
    void shippedTemplatesMatchTheirRows()
    {
        const QDir dir(QStringLiteral(TALVEK_TEST_APP_DIR));
        if (dir.entryList({QStringLiteral("*_template.tdx")}, QDir::Files).isEmpty())
            QSKIP("no template files in the program folder");
        for (const ProductDef &row : aProductDefs()) {
            const QString path = dir.filePath(row.templateFile);
            QVERIFY2(QFile::exists(path), qPrintable(row.templateFile + QStringLiteral(" is missing")));
            const IXMLdeviceType device = IXMLproductsType::Load(path).Device(0);
            QVERIFY2(!device.IsNull(), qPrintable(row.templateFile));
            const QByteArray where = row.templateFile.toUtf8();
            QVERIFY2(device.Name() == row.identityName, where.constData());
            QVERIFY2(device.Protocolversion() == row.protocolVersion, where.constData());
            QVERIFY2(device.Heatingcapability() == row.heating, where.constData());
            QVERIFY2(device.AxisConfigValue() == row.axis, where.constData());
        }
    }

    void shippedUnitsFileLoads()
    {
        const QString path = QStringLiteral(TALVEK_TEST_APP_DIR "/ordaDeviceUnits.tdx");
        if (!QFile::exists(path))
            QSKIP("no units file in the program folder");
        XmlLoadError error;
        const IXMLsensorunitsType units = IXMLsensorunitsType::Load(path, &error);
        QVERIFY2(!units.IsNull(), qPrintable(error.Text()));
        QVERIFY(units.Count() > 0);
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
