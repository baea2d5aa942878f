// Every text of the main window in English, French and Polish: each page is
// shown at the window's size and no label, group title or button text may
// be cut; panels that can hold long texts carry them whole in a tooltip.
#include "app/mainwindow.h"
#include "base/translate.h"
#include "diagnostics/OutputWin.h"
#include "tests/app/windowDriver.h"
#include "tests/support/scripteddialogs.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

using namespace WindowDriver;

namespace
{
bool fitsLines(const QString &text, const QFontMetrics &metrics, const QRect &box)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    int widest = 0;
    for (const QString &line : lines)
        widest = qMax(widest, metrics.horizontalAdvance(line));
    return widest <= box.width() && lines.size() * metrics.height() <= box.height() + 1;
}

bool labelFits(const QLabel *label)
{
    const QRect box = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(),
                                                     -label->margin());
    const QFontMetrics metrics = label->fontMetrics();
    if (!label->wordWrap())
        return fitsLines(label->text(), metrics, box);
    const QRect needed = metrics.boundingRect(QRect(0, 0, box.width(), 100000), Qt::TextWordWrap, label->text());
    return needed.width() <= box.width() && needed.height() <= box.height() + 1;
}

bool buttonFits(const QAbstractButton *button)
{
    if (qobject_cast<const QCheckBox *>(button) || qobject_cast<const QRadioButton *>(button))
        return button->sizeHint().width() <= button->width();
    // Tool buttons: each line of the text inside the button's frame.
    return fitsLines(button->text(), button->fontMetrics(), button->rect().adjusted(4, 0, -4, 0));
}

bool titleFits(const QGroupBox *group)
{
    return group->fontMetrics().horizontalAdvance(group->title()) <= group->width() - 20;
}

// The visible texts under root that are cut, with what they say.
QStringList clippedTexts(const QWidget *root)
{
    QStringList clipped;
    for (const QLabel *label : root->findChildren<QLabel *>()) {
        if (!label->isVisible() || label->text().isEmpty() || Qt::mightBeRichText(label->text()))
            continue;
        if (!labelFits(label) && label->toolTip() != label->text())
            clipped << label->objectName() + QStringLiteral(": ") + label->text();
    }
    for (const QAbstractButton *button : root->findChildren<QAbstractButton *>())
        if (button->isVisible() && !button->text().isEmpty() && !buttonFits(button))
            clipped << button->objectName() + QStringLiteral(": ") + button->text();
    for (const QGroupBox *group : root->findChildren<QGroupBox *>())
        if (group->isVisible() && !group->title().isEmpty() && !titleFits(group))
            clipped << group->objectName() + QStringLiteral(": ") + group->title();
    return clipped;
}
} // namespace

class TestWindowText : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dataDir;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<TfrmMain> window;

    void showWindowIn(int language)
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        chooseLanguage(*window, language);
        QCOMPARE(window->Ui().cbLanguage->currentIndex(), language);
        QCoreApplication::processEvents();
    }

    void verifyNothingClipped(const QString &page)
    {
        QCoreApplication::processEvents();
        const QStringList clipped = clippedTexts(window.get());
        QVERIFY2(clipped.isEmpty(), qPrintable(page + QStringLiteral(": ") + clipped.join(QStringLiteral(" | "))));
    }

private slots:
    void init()
    {
        dataDir = std::make_unique<QTemporaryDir>();
        qputenv("TALVEK_DATA_DIR", dataDir->path().toLocal8Bit());
        dialogs = std::make_unique<ScriptedDialogs>();
        window = std::make_unique<TfrmMain>(QStringList{});
        QVERIFY(!window->StartupFailed());
    }

    void cleanup()
    {
        window.reset();
        dialogs.reset();
    }

    void languages_data()
    {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << 0;
        QTest::newRow("French") << 1;
        QTest::newRow("Polish") << 2;
    }

    void theLanguageListSpellsEachLanguageInItself()
    {
        const QComboBox *languages = window->Ui().cbLanguage;
        QCOMPARE(languages->itemText(1), QStringLiteral("Fran\u00e7ais"));
        QCOMPARE(languages->itemText(2), QStringLiteral("Polski"));
    }

    void theStartAndOnlinePagesFit_data() { languages_data(); }
    void theStartAndOnlinePagesFit()
    {
        QFETCH(int, language);
        showWindowIn(language);
        QCOMPARE(window->size(), QSize(MainWindowUi::kClientWidth, MainWindowUi::kClientHeight));
        verifyNothingClipped(QStringLiteral("start"));
        // The online menu holds only buttons; shown here without a device.
        window->Ui().pgctrlMenu->setCurrentWidget(window->Ui().tsOnlineConfigMenu);
        verifyNothingClipped(QStringLiteral("online menu"));
    }

    void theFixedTextsAreTranslated_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("offline");
        QTest::addColumn<QString>("hint");
        QTest::newRow("English") << 0 << "OFFLINE" << "(click in box above to change)";
        QTest::newRow("French") << 1 << "HORS LIGNE" << "(cliquer dans la case ci-dessus pour changer)";
        QTest::newRow("Polish") << 2 << "ROZŁĄCZONO" << "(kliknij pole powyżej, aby zmienić)";
    }

    void theFixedTextsAreTranslated()
    {
        QFETCH(int, language);
        QFETCH(QString, offline);
        QFETCH(QString, hint);
        showWindowIn(language);
        QCOMPARE(window->Ui().paConnectStatus->text(), offline);
        QCOMPARE(window->Ui().laRightClickHint->text(), hint);
        workOfflineOn(*window, QStringLiteral("Corvix Pro PV5"));
        QVERIFY(window->Ui().paProtocol->text().endsWith(QStringLiteral("5")));
        QCOMPARE(window->Ui().paProtocol->text(), T(QStringLiteral("Protocol ver: ")) + QStringLiteral("5"));
        if (language != 0)
            QVERIFY(!window->Ui().paProtocol->text().startsWith(QStringLiteral("Protocol ver")));
    }

    void theHeaderPicturesFollowTheLanguage()
    {
        showWindowIn(0);
        const QImage english = window->Ui().laBadge->pixmap().toImage();
        chooseLanguage(*window, 1);
        QVERIFY(window->Ui().laBadge->pixmap().toImage() != english);
        chooseLanguage(*window, 0);
        QCOMPARE(window->Ui().laBadge->pixmap().toImage(), english);
    }

    void theOutputWindowFits_data() { languages_data(); }
    void theOutputWindowFits()
    {
        QFETCH(int, language);
        showWindowIn(language);
        // Made after the language is chosen, as a viewing of the output is.
        TfrmOutput output(window.get());
        output.show();
        QVERIFY(QTest::qWaitForWindowExposed(&output));
        if (language != 0)
            QVERIFY(!output.findChild<QTabWidget *>()->tabText(1).startsWith(QLatin1String("Channels")));
        QTabWidget *pages = output.findChild<QTabWidget *>();
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            QCoreApplication::processEvents();
            const QStringList clipped = clippedTexts(&output);
            QVERIFY2(clipped.isEmpty(), qPrintable(pages->tabText(page) + QStringLiteral(": ") +
                                                   clipped.join(QStringLiteral(" | "))));
        }
    }

    void everyEditorPageFits_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("product");
        for (const char *product : {"Corvix II PV4", "Corvix Pro UVW PV5", "Tempris KDX530-3 PV9", "Relaypoint PV6"}) {
            QTest::newRow(qPrintable(QStringLiteral("English ") + product)) << 0 << product;
            QTest::newRow(qPrintable(QStringLiteral("French ") + product)) << 1 << product;
            QTest::newRow(qPrintable(QStringLiteral("Polish ") + product)) << 2 << product;
        }
    }

    void everyEditorPageFits()
    {
        QFETCH(int, language);
        QFETCH(QString, product);
        showWindowIn(language);
        click(window->Ui().imOffline);
        verifyNothingClipped(QStringLiteral("offline start"));
        workOfflineOn(*window, product);
        QCOMPARE(window->Ui().memoSelectedProduct->toPlainText(), product);
        QTabWidget *pages = window->Ui().pgctrlConfig;
        QVERIFY(pages->count() > 0);
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            verifyNothingClipped(product + QStringLiteral(" / ") + pages->tabText(page));
        }
    }
};

QTEST_MAIN(TestWindowText)
#include "tst_windowText.moc"
