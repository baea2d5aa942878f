// The main window by keyboard and by eye: focus marks, Enter and Escape, the
// product list with its filter, a readable online status, a window that
// grows, and where the file dialogs start.
#include "app/mainwindow.h"
#include "base/translate.h"
#include "config/config.h"
#include "settings/guiSettings.h"
#include "templates/productCatalogue.h"
#include "tests/app/windowDriver.h"
#include "tests/support/scripteddialogs.h"

#include <QDate>
#include <QDir>
#include <QLabel>
#include <cmath>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace WindowDriver;

namespace
{
double luminance(const QColor &colour)
{
    auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}
} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dataDir;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<TfrmMain> window;

    const MainWindowUi &ui() const { return window->Ui(); }

    // Tab from the language list until the widget has the focus.
    void tabTo(QWidget *target)
    {
        ui().cbLanguage->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 10 && QApplication::focusWidget() != target; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), target);
    }

private slots:
    void init()
    {
        dataDir = std::make_unique<QTemporaryDir>();
        qputenv("TALVEK_DATA_DIR", dataDir->path().toLocal8Bit());
        QStandardPaths::setTestModeEnabled(true);
        dialogs = std::make_unique<ScriptedDialogs>();
        window = std::make_unique<TfrmMain>(QStringList{});
        QVERIFY(!window->StartupFailed());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
    }

    void cleanup()
    {
        window.reset();
        dialogs.reset();
    }

    void aFocusedButtonIsMarked_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("start page") << "imOffline";
        QTest::newRow("side strip") << "imAbout";
    }

    void aFocusedButtonIsMarked()
    {
        QFETCH(QString, button);
        auto *target = window->findChild<QToolButton *>(button);
        QVERIFY(target != nullptr);
        const QImage unfocused = target->grab().toImage();
        tabTo(target);
        QVERIFY(target->hasFocus());
        QVERIFY(target->grab().toImage() != unfocused);
    }

    void enterPressesTheFocusedButton()
    {
        tabTo(ui().imOffline);
        QTest::keyClick(ui().imOffline, Qt::Key_Return);
        QVERIFY(window->IsOffline());
        QCOMPARE(ui().pgctrlMenu->currentWidget(), ui().tsOfflineConfigMenu);
    }

    void escapeLeavesOfflineMode()
    {
        workOfflineOn(*window, QStringLiteral("Corvix II PV4"));
        QVERIFY(window->IsOffline());
        QCOMPARE(ui().pgctrlMain->currentWidget(), ui().tsConfigTabs);
        dialogs->answers << true;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(dialogs->texts(), QStringList{T("Stop editing and return to Main Menu?")});
        QVERIFY(!window->IsOffline());
        QCOMPARE(ui().pgctrlMenu->currentWidget(), ui().tsStartMenu);
    }

    void escapeAnsweredNoStaysOffline()
    {
        click(ui().imOffline);
        dialogs->answers << false;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY(window->IsOffline());
    }

    void theProductListOpens_data()
    {
        QTest::addColumn<int>("key"); // 0: a left click
        QTest::newRow("left click") << 0;
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Space") << int(Qt::Key_Space);
    }

    void theProductListOpens()
    {
        QFETCH(int, key);
        click(ui().imOffline);
        TfrmProductPicker *picker = window->ProductPicker();
        QVERIFY(!picker->isVisible());
        if (key == 0) {
            click(ui().memoSelectedProduct->viewport());
        } else {
            tabTo(ui().memoSelectedProduct);
            QTest::keyClick(ui().memoSelectedProduct, Qt::Key(key));
        }
        QVERIFY(picker->isVisible());
        QVERIFY(picker->FilterEdit()->hasFocus());
        QCOMPARE(picker->VisibleProducts().size(), 173);
        QTest::keyClick(picker->FilterEdit(), Qt::Key_Escape);
        QVERIFY(!picker->isVisible());
        QCOMPARE(QApplication::focusWidget(), ui().memoSelectedProduct);
        QCOMPARE(ui().memoSelectedProduct->toPlainText(), QStringLiteral("Corvix II PV4"));
    }

    void typingFiltersTheProducts()
    {
        click(ui().imOffline);
        click(ui().memoSelectedProduct->viewport());
        TfrmProductPicker *picker = window->ProductPicker();
        QTest::keyClicks(picker->FilterEdit(), QStringLiteral("kdx550 pv9"));
        QStringList expected;
        for (const ProductDef &row : aProductDefs())
            if (row.inMenu && row.menuName.contains("KDX550") && row.menuName.endsWith("PV9"))
                expected << row.menuName;
        QVERIFY(expected.size() >= 2);
        QStringList shown = picker->VisibleProducts();
        std::sort(shown.begin(), shown.end());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(shown, expected);

        // Down moves into the list; Enter takes the highlighted product.
        QTest::keyClick(picker->FilterEdit(), Qt::Key_Down);
        const QString second = picker->VisibleProducts().at(1);
        QCOMPARE(picker->ProductTree()->currentItem()->text(0), second);
        QTest::keyClick(picker->ProductTree(), Qt::Key_Return);
        QVERIFY(!picker->isVisible());
        QCOMPARE(ui().memoSelectedProduct->toPlainText(), second);
    }

    void aFilterMatchingNothingChoosesNothing()
    {
        click(ui().imOffline);
        click(ui().memoSelectedProduct->viewport());
        TfrmProductPicker *picker = window->ProductPicker();
        QTest::keyClicks(picker->FilterEdit(), QStringLiteral("no such sensor"));
        QVERIFY(picker->VisibleProducts().isEmpty());
        QTest::keyClick(picker->FilterEdit(), Qt::Key_Return);
        QCOMPARE(ui().memoSelectedProduct->toPlainText(), QStringLiteral("Corvix II PV4"));
    }

    void theOnlineStatusIsReadable()
    {
        QVERIFY(contrast(MainWindowUi::kOnlineText, MainWindowUi::kFooterBackground) >= 4.5);
        // The footer really is painted in that background.
        const QImage footer = ui().paConnectStatus->grab().toImage();
        QCOMPARE(footer.pixelColor(footer.width() - 3, 1), MainWindowUi::kFooterBackground);
    }

    void theWindowGrowsFromItsDesignedSize()
    {
        QCOMPARE(window->minimumSize(), QSize(MainWindowUi::kClientWidth, MainWindowUi::kClientHeight));
        QCOMPARE(window->size(), window->minimumSize());
        const QSize pages = ui().pgctrlMain->size();
        const int menuHeight = ui().pgctrlMenu->height();
        window->resize(1400, 900);
        QTRY_COMPARE(window->size(), QSize(1400, 900));
        QVERIFY(ui().pgctrlMain->width() >= pages.width() + 300);
        QVERIFY(ui().pgctrlMain->height() >= pages.height() + 200);
        QVERIFY(ui().pgctrlMenu->height() >= menuHeight + 200);
        window->resize(600, 400);
        QTRY_COMPARE(window->size(), window->minimumSize());
    }

    void theFirstFileDialogOpensInTheDocumentsWithANamedSuggestion_data()
    {
        QTest::addColumn<bool>("documentsExist");
        QTest::newRow("documents") << true;
        QTest::newRow("no documents folder: home") << false;
    }

    void theFirstFileDialogOpensInTheDocumentsWithANamedSuggestion()
    {
        QFETCH(bool, documentsExist);
        QDir documents(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
        if (documentsExist)
            QVERIFY(documents.mkpath(QStringLiteral(".")));
        else
            QVERIFY(!documents.exists() || documents.removeRecursively());
        workOfflineOn(*window, QStringLiteral("Corvix II PV4"));
        click(ui().imSaveConfigOffline); // cancelled
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(dialogs->boxes.first().folder, documentsExist ? documents.path() : QDir::homePath());
        QCOMPARE(dialogs->boxes.first().text, "Corvix II PV4_" + QDate::currentDate().toString(Qt::ISODate));
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
