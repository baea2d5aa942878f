// Every shipped template builds its pages without a failure and passes the
// entry checks as shipped, offline and for a device without any option.
#include "templates/productCatalogue.h"
#include "tests/config/editorFixture.h"

#include <QDir>

using namespace EditorFixture;

class TestShipped : public QObject
{
    Q_OBJECT

private slots:
    void everyTemplateIsShipped()
    {
        const QStringList files = QDir(QStringLiteral(TALVEK_TEST_APP_DIR)).entryList({"*_template.tdx"}, QDir::Files);
        QCOMPARE(files.size(), 183);
        for (const ProductDef &row : aProductDefs())
            QVERIFY2(files.contains(row.templateFile), qPrintable(row.templateFile));
    }

    void buildsAndValidates_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("offline");
        for (int i = 0; i < aProductDefs().size(); ++i) {
            const QByteArray name = aProductDefs()[i].templateFile.toLatin1();
            QTest::newRow(("offline " + name).constData()) << i << true;
            QTest::newRow(("no options " + name).constData()) << i << false;
        }
    }

    void buildsAndValidates()
    {
        QFETCH(int, row);
        QFETCH(bool, offline);
        const ProductDef &def = aProductDefs()[row];
        Editor e;
        e.host.offline = offline;
        e.engine = std::make_unique<TFormConfig>(&e.host);
        QCOMPARE(e.engine->InitialiseDevice(false, QStringLiteral("OFFLINE")), 0);
        e.engine->SetIdentity(def.identityName, def.protocolVersion, QString(), def.axis, def.heating);
        const QString path = e.host.programFolder + def.templateFile;

        QVERIFY(e.engine->BuildConfigPages(path));
        QCOMPARE(e.dialogs.texts(), QStringList{});
        QVERIFY(!e.logs.contains("UNRECOGNISED PARAM TYPE."));
        QCOMPARE(e.host.pages.count(), e.engine->CategoryCount());
        QVERIFY(e.engine->CategoryCount() > 0);
        QVERIFY(e.engine->ValidateEntries());
        QCOMPARE(e.dialogs.texts(), QStringList{});
        for (int c = 0; c < e.engine->CategoryCount(); ++c) {
            const IXMLcategoryType category = e.engine->Device().Category(c);
            QVERIFY(!category.Name().contains("Bluetooth"));
            for (int p = 0; p < category.Count(); ++p)
                QVERIFY2(e.engine->Controls(c, p).caption,
                         qPrintable(category.Name() + "/" + category.Param(p).Name()));
        }
    }
};

QTEST_MAIN(TestShipped)
#include "tst_shipped.moc"
