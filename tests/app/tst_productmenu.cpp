#include "app/productMenu.h"
#include "templates/productCatalogue.h"

#include <QMenu>
#include <QSet>
#include <QTest>

class TestProductMenu : public QObject
{
    Q_OBJECT
private slots:
    void theMenuHoldsEveryMenuRowOnceUnderItsFamilyOrModel()
    {
        QWidget owner;
        QString chosen;
        QMenu *menu = BuildProductMenu(&owner, [&](const QString &caption) { chosen = caption; });
        const QList<QAction *> submenus = menu->actions();
        QCOMPARE(submenus.size(), 21);

        QStringList titles;
        QList<int> sizes;
        QSet<QString> captions;
        for (QAction *submenu : submenus) {
            titles << submenu->text();
            sizes << submenu->menu()->actions().size();
            for (QAction *item : submenu->menu()->actions()) {
                QVERIFY2(!captions.contains(item->text()), qPrintable(item->text()));
                captions.insert(item->text());
                QCOMPARE(ProductSubmenuTitle(item->text()), submenu->text());
            }
        }
        QCOMPARE(captions.size(), 173);
        QCOMPARE(titles.mid(0, 5), (QStringList{"Corvix II", "Corvix Pro", "Corvix Precip", "Relaypoint",
                                                "Tempris KDX510"}));
        QCOMPARE(sizes.mid(0, 4), (QList<int>{10, 10, 9, 1}));
        for (int size : sizes.mid(4))
            QVERIFY(size >= 4 && size <= 16);

        QSet<QString> menuRows;
        for (const ProductDef &row : aProductDefs())
            if (row.inMenu)
                menuRows.insert(row.menuName);
        QCOMPARE(captions, menuRows);

        QAction *item = submenus.at(4)->menu()->actions().first();
        item->trigger();
        QCOMPARE(chosen, QStringLiteral("Tempris KDX510-1 PV1"));
    }

    void submenuTitles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::newRow("plain") << "Corvix II PV2" << "Corvix II";
        QTest::newRow("heated") << "Corvix Pro Heated PV3" << "Corvix Pro";
        QTest::newRow("uvw") << "Corvix Precip UVW PV5" << "Corvix Precip";
        QTest::newRow("hub") << "Relaypoint PV6" << "Relaypoint";
        QTest::newRow("tempris") << "Tempris KDX550-5B PV9" << "Tempris KDX550";
    }

    void submenuTitles()
    {
        QFETCH(QString, name);
        QFETCH(QString, title);
        QCOMPARE(ProductSubmenuTitle(name), title);
    }
};

QTEST_MAIN(TestProductMenu)
#include "tst_productmenu.moc"
