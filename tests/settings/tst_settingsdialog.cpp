#include "base/translate.h"
#include "settings/guiSettings.h"
#include "tests/support/scripteddialogs.h"
#include "ui/settingsDialog.h"
#include "ui/settingsWarnings.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace
{
const char *const commsDocument = R"(<GSguisettings description="TALVEK SETTINGS FILE" version="2">
  <GScategory name="Comms">
    <GSresponseTimeout>150</GSresponseTimeout>
    <GSinterCharDelay>25</GSinterCharDelay>
    <GSuserDelayEnabled>0</GSuserDelayEnabled>
  </GScategory>
</GSguisettings>)";
} // namespace

class TestSettingsDialog : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    ScriptedDialogs *m_dialogs = nullptr;

    void open(TfrmGuiSettings &settings, const QByteArray &content)
    {
        const QString path = m_dir.filePath("settings.tsf");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        QVERIFY(settings.Open(path));
    }

    static int stored(bool (TfrmGuiSettings::*getter)(int &) const, const TfrmGuiSettings &settings)
    {
        int value = -999;
        (settings.*getter)(value);
        return value;
    }

private slots:
    void init() { m_dialogs = new ScriptedDialogs; }

    void cleanup()
    {
        delete m_dialogs;
        m_dialogs = nullptr;
        SetTranslator({});
    }

    void showingTranslatesCaptionsAndReadsTheSettings()
    {
        SetTranslator([](const QString &key) { return QStringLiteral("[%1]").arg(key); });
        TfrmGuiSettings settings;
        WarnOfMissingSettings(settings);
        open(settings, commsDocument);
        settings.SetUserDelayEnabled(true);
        TfrmSettings dialog(&settings);
        dialog.show(); // not modal: the test stays in charge
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        QCOMPARE(dialog.windowTitle(), QStringLiteral("[SETTINGS]"));
        QCOMPARE(dialog.PageControl1->tabText(0), QStringLiteral("[Comms]"));
        QCOMPARE(dialog.GroupBox2->title(), QStringLiteral("[TIMEOUT_DELAY]"));
        QCOMPARE(dialog.Label1->text(), QStringLiteral("[Inter-char delay (ms) ]"));
        QCOMPARE(dialog.Label2->text(), QStringLiteral("[Response Timeout (ms) ]"));
        QCOMPARE(dialog.buSave->text(), QStringLiteral("[SAVE_SETTINGS]"));
        QCOMPARE(dialog.buCancel->text(), QStringLiteral("[CANCEL]"));
        QCOMPARE(dialog.cbUserDelay->text(), QStringLiteral("Enable (leave disabled unless problems are encountered)"));

        QCOMPARE(dialog.edUserInterCharDelay->text(), QStringLiteral("25"));
        QCOMPARE(dialog.edUserResponseTimeout->text(), QStringLiteral("150"));
        QVERIFY(dialog.cbUserDelay->isChecked());
        QVERIFY(m_dialogs->boxes.isEmpty());
        dialog.reject();
    }

    void savingStoresTheShownValues_data()
    {
        QTest::addColumn<QString>("interCharText");
        QTest::addColumn<QString>("responseText");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<int>("interChar");
        QTest::addColumn<int>("response");
        QTest::newRow("numbers") << "40"
                                 << "300" << true << 40 << 300;
        QTest::newRow("not numbers become 0") << "abc"
                                              << "12ms" << false << 0 << 0;
        QTest::newRow("empty becomes 0") << ""
                                         << " " << true << 0 << 0;
        QTest::newRow("negative kept") << "-5"
                                       << " 7 " << false << -5 << 7;
    }

    void savingStoresTheShownValues()
    {
        QFETCH(QString, interCharText);
        QFETCH(QString, responseText);
        QFETCH(bool, ticked);
        QFETCH(int, interChar);
        QFETCH(int, response);
        TfrmGuiSettings settings;
        WarnOfMissingSettings(settings);
        open(settings, commsDocument);
        TfrmSettings dialog(&settings);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.edUserInterCharDelay->setText(interCharText);
        dialog.edUserResponseTimeout->setText(responseText);
        dialog.cbUserDelay->setChecked(ticked);
        QTest::mouseClick(dialog.buSave, Qt::LeftButton);

        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(stored(&TfrmGuiSettings::GetInterCharDelay, settings), interChar);
        QCOMPARE(stored(&TfrmGuiSettings::GetResponseTimeout, settings), response);
        QCOMPARE(stored(&TfrmGuiSettings::GetUserDelayEnabled, settings), ticked ? 1 : 0);
    }

    void cancelDiscardsAndTheNextShowingRereads()
    {
        TfrmGuiSettings settings;
        WarnOfMissingSettings(settings);
        open(settings, commsDocument);
        TfrmSettings dialog(&settings);
        dialog.show();
        dialog.edUserInterCharDelay->setText("60");
        QTest::mouseClick(dialog.buSave, Qt::LeftButton);

        dialog.show();
        QCOMPARE(dialog.edUserInterCharDelay->text(), QStringLiteral("60"));
        dialog.edUserInterCharDelay->setText("99");
        dialog.cbUserDelay->setChecked(true);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(stored(&TfrmGuiSettings::GetInterCharDelay, settings), 60);
        QCOMPARE(stored(&TfrmGuiSettings::GetUserDelayEnabled, settings), 0);

        settings.SetResponseTimeout(77); // changed elsewhere between two showings
        dialog.show();
        QCOMPARE(dialog.edUserInterCharDelay->text(), QStringLiteral("60"));
        QCOMPARE(dialog.edUserResponseTimeout->text(), QStringLiteral("77"));
        QVERIFY(!dialog.cbUserDelay->isChecked());
        QTest::mouseClick(dialog.buCancel, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    }

    void unreadableValuesWarnAndShowZero()
    {
        TfrmGuiSettings settings;
        WarnOfMissingSettings(settings);
        open(settings, R"(<GSguisettings description="TALVEK SETTINGS FILE" version="2">
            <GScategory name="Comms"><GSinterCharDelay>fast</GSinterCharDelay></GScategory></GSguisettings>)");
        TfrmSettings dialog(&settings);
        dialog.FormShow();
        QCOMPARE(dialog.edUserInterCharDelay->text(), QStringLiteral("0"));
        QCOMPARE(dialog.edUserResponseTimeout->text(), QStringLiteral("0"));
        QVERIFY(!dialog.cbUserDelay->isChecked());
        QCOMPARE(m_dialogs->texts(),
                 (QStringList{"interCharDelaynot found", "responseTimeoutnot found", "userDelayEnablednot found"}));
    }

    void withoutCommsNothingIsShownOrStored()
    {
        TfrmGuiSettings settings;
        WarnOfMissingSettings(settings);
        open(settings, R"(<GSguisettings description="TALVEK SETTINGS FILE" version="2">
            <GScategory name="General"><GSlanguage>1</GSlanguage></GScategory></GSguisettings>)");
        TfrmSettings dialog(&settings);
        dialog.FormShow();
        QCOMPARE(dialog.edUserInterCharDelay->text(), QStringLiteral("0"));
        QVERIFY(!dialog.cbUserDelay->isChecked());
        dialog.edUserInterCharDelay->setText("40");
        dialog.cbUserDelay->setChecked(true);
        dialog.buSaveClick();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(settings.FindCategory("Comms").IsNull());
        QVERIFY(settings.FindCategory("General").Text("interCharDelay") == std::nullopt);
        QVERIFY(m_dialogs->boxes.isEmpty());
    }
};

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
