// The audit trail from the main window, pressed as a user does: each write
// and restore leaves one entry, the History button lists the connected
// sensor's entries, and a log that cannot be written is told of.
#include "app/historyWin.h"
#include "app/mainwindow.h"
#include "base/translate.h"
#include "config/config.h"
#include "engine/auditLog.h"
#include "sim/simulator.h"
#include "tests/app/quickSettings.h"
#include "tests/app/windowDriver.h"
#include "tests/support/linkTimingSwitch.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/simulatedSensor.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using WindowDriver::click;

namespace
{
constexpr int kSensorCom = 7;

// The shown history, as lines: each entry's columns joined by " | ", then
// its changes indented.
QStringList ShownHistory(const TfrmHistory &history)
{
    QStringList lines;
    const QTreeWidget *tree = history.Entries();
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = tree->topLevelItem(i);
        QStringList columns;
        for (int c = 0; c < tree->columnCount(); ++c)
            columns << item->text(c);
        lines << columns.join(QStringLiteral(" | "));
        for (int k = 0; k < item->childCount(); ++k)
            lines << QStringLiteral("  ") + item->child(k)->text(0);
    }
    return lines;
}
} // namespace

class TestHistory : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dataDir;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<Simulator> sensor;
    std::unique_ptr<TfrmMain> window;
    QStringList history; // what the History window showed
    QString historyStatus;

    QString LogPath() const { return dataDir->filePath(QStringLiteral("audit.log")); }

    void StartSensor()
    {
        SimOptions options;
        options.product = QStringLiteral("Tempris KDX530-3 PV9");
        options.dataDir = QStringLiteral(TALVEK_TEST_APP_DIR);
        options.streamIntervalMs = 300;
        options.holdBackMs = 100;
        QString error;
        sensor = StartSimulatedSensor(options, dataDir->path() + "/", kSensorCom, &error);
        QVERIFY2(sensor, qPrintable(error));
    }

    void ConnectAndRead(int language = -1)
    {
        StartSensor();
        window = std::make_unique<TfrmMain>(QStringList{});
        QVERIFY(!window->StartupFailed());
        window->CreateApplicationForms();
        window->CommsInit().SetPortSource(
            [] { return std::optional<QStringList>(QStringList{"Simulated sensor /dev/pts (COM7)"}); });
        window->SetModalRunner([this](QDialog &dialog) {
            if (&dialog == &window->CommsInit())
                return dialog.exec(); // it scans and closes itself once a sensor is found
            if (auto *shown = qobject_cast<TfrmHistory *>(&dialog)) {
                shown->show();
                history = ShownHistory(*shown);
                historyStatus = shown->Status()->text();
                click(shown->CloseButton());
                return shown->result();
            }
            return int(QDialog::Accepted);
        });
        window->show();
        if (language >= 0)
            WindowDriver::chooseLanguage(*window, language);
        QVERIFY(window->Ui().imHistory->isHidden()); // nothing to show before a sensor is online
        click(window->Ui().imConnectData);
        QVERIFY(window->IsOnline());
    }

    // Types a value into the page edit of cmd, as keys.
    void TypeInto(const QString &cmd, const QString &value)
    {
        TFormConfig &config = *window->Config();
        const IXMLdeviceType device = config.Device();
        for (int c = 0; c < device.Count(); ++c)
            for (int p = 0; p < device.Category(c).Count(); ++p)
                if (device.Category(c).Param(p).Cmd() == cmd) {
                    QLineEdit *edit = config.Controls(c, p).edit;
                    QVERIFY(edit);
                    edit->setFocus();
                    edit->selectAll();
                    QTest::keyClicks(edit, value);
                    QTest::keyClick(edit, Qt::Key_Tab);
                    return;
                }
        QFAIL(qPrintable(cmd + " is not on the pages"));
    }

    void WriteShown()
    {
        dialogs->answers << true;
        click(window->Ui().imSaveSettings);
    }

private slots:
    void init()
    {
        UseShortLinkTiming();
        dataDir = std::make_unique<QTemporaryDir>();
        qputenv("TALVEK_DATA_DIR", dataDir->path().toLocal8Bit());
        QFile settings(dataDir->filePath("TalvekLastSettings.tsf"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(QuickSettings(kSensorCom));
        settings.close();
        dialogs = std::make_unique<ScriptedDialogs>();
        history.clear();
        historyStatus.clear();
    }

    void cleanup()
    {
        window.reset();
        sensor.reset();
        dialogs.reset();
    }

    void eachWriteAndRestoreIsOneEntryAndTheHistoryListsThem()
    {
        // Another sensor's write, which this sensor's history leaves out.
        AuditEntry other;
        other.action = QStringLiteral("write");
        other.serial = QStringLiteral("99999");
        other.outcome = AuditEntry::kVerified;
        other.changes = {{QStringLiteral("ADDRESS"), QStringLiteral("A"), QStringLiteral("B")}};
        QVERIFY(AuditLog(LogPath()).Append(other).ok);

        ConnectAndRead();
        QVERIFY(!window->Ui().imHistory->isHidden());
        const QString before = sensor->Value("OUTPUTINT");
        const QString backup = dataDir->filePath("backup.tcf");
        dialogs->fileNames << backup;
        click(window->Ui().imBackup);
        QCOMPARE(AuditLog(LogPath()).Read().entries.size(), 1); // a back-up writes nothing

        const QString changed = before == QStringLiteral("7") ? QStringLiteral("8") : QStringLiteral("7");
        TypeInto("OUTPUTINT", changed);
        WriteShown();
        QCOMPARE(dialogs->texts().last(), T("Settings have been saved"));
        QCOMPARE(sensor->Value("OUTPUTINT"), changed);
        QList<AuditEntry> entries = AuditLog(LogPath()).Read().entries;
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[1].action, QStringLiteral("write"));
        QCOMPARE(entries[1].outcome, AuditEntry::kVerified);
        QCOMPARE(entries[1].serial, window->SerialNumber());
        QCOMPARE(entries[1].changes.size(), 1);
        QCOMPARE(entries[1].changes[0].cmd, QStringLiteral("OUTPUTINT"));
        QCOMPARE(entries[1].changes[0].before, before);
        QCOMPARE(entries[1].changes[0].after, changed);

        dialogs->fileNames << backup;
        click(window->Ui().imRestore);
        QCOMPARE(sensor->Value("OUTPUTINT"), before);
        entries = AuditLog(LogPath()).Read().entries;
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries[2].action, QStringLiteral("restore"));
        QCOMPARE(entries[2].outcome, AuditEntry::kVerified);
        QCOMPARE(entries[2].changes.size(), 1);
        QCOMPARE(entries[2].changes[0].before, changed);
        QCOMPARE(entries[2].changes[0].after, before);
        QCOMPARE(AuditLog(LogPath()).Verify().status, AuditVerifyResult::Status::Intact);

        click(window->Ui().imHistory);
        QVERIFY(window->HistoryWindow());
        QCOMPARE(history.size(), 4); // two entries, newest first, one change each
        QVERIFY2(history[0].contains(" | " + T("restore") + " | COM7 | " + T("verified")), qPrintable(history[0]));
        QCOMPARE(history[1], QStringLiteral("  OUTPUTINT: %1 -> %2").arg(changed, before));
        QVERIFY2(history[2].contains(" | " + T("write") + " | COM7 | "), qPrintable(history[2]));
        QCOMPARE(history[3], QStringLiteral("  OUTPUTINT: %1 -> %2").arg(before, changed));
        QVERIFY(!history.join('\n').contains("ADDRESS"));
        QVERIFY(historyStatus.contains(window->SerialNumber()));
        QVERIFY(window->HistoryWindow()->isHidden()); // closed by its button
    }

    void aSensorWithoutEntriesSaysSoInItsLanguage()
    {
        ConnectAndRead(1); // French
        click(window->Ui().imHistory);
        QVERIFY(history.isEmpty());
        const QString none = QStringLiteral("No write to this sensor is recorded in the audit log.");
        QCOMPARE(historyStatus, T(none));
        QVERIFY(T(none) != none); // a French text, from the table
        QCOMPARE(window->HistoryWindow()->CloseButton()->text(), T("Close"));
        QCOMPARE(window->Ui().imHistory->toolTip(), T("HISTORY"));
        QVERIFY(T("HISTORY") != QStringLiteral("HISTORY"));
    }

    void aWriteTheLogCannotTakeIsToldOfAndStands()
    {
        QVERIFY(QDir(dataDir->path()).mkdir(QStringLiteral("audit.log")));
        ConnectAndRead();
        const QString changed =
            sensor->Value("OUTPUTINT") == QStringLiteral("7") ? QStringLiteral("8") : QStringLiteral("7");
        TypeInto("OUTPUTINT", changed);
        WriteShown();
        QCOMPARE(sensor->Value("OUTPUTINT"), changed);
        const QStringList texts = dialogs->texts();
        QVERIFY(texts.contains(T("Settings have been saved")));
        bool warned = false;
        for (const ScriptedDialogs::Box &box : dialogs->boxes)
            warned |= box.caption == T("WARNING") &&
                      box.text.startsWith(T("The write was not recorded in the audit log")) &&
                      box.text.contains(LogPath());
        QVERIFY2(warned, qPrintable(texts.join('\n')));
    }
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
