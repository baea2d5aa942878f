#include "base/appdata.h"
#include "base/log.h"
#include "base/translate.h"
#include "tests/support/scripteddialogs.h"

#include <QTest>
#include <thread>

class TestBase : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        SetLogSink({});
        SetTranslator({});
    }

    void logReachesSinkOnTheApplicationThread()
    {
        QStringList lines;
        Qt::HANDLE sinkThread = nullptr;
        SetLogSink([&](const QString &text) {
            lines << text;
            sinkThread = QThread::currentThreadId();
        });
        Log(QStringLiteral("from the ui"));
        std::thread other([] { Log(QStringLiteral("from a worker")); });
        other.join();
        QTRY_COMPARE(lines, (QStringList{"from the ui", "from a worker"}));
        QCOMPARE(sinkThread, QThread::currentThreadId());
    }

    void translationFallsBackToTheKey()
    {
        QCOMPARE(T(QStringLiteral("ERROR")), QStringLiteral("ERROR"));
        SetTranslator([](const QString &key) { return key == "ERROR" ? QStringLiteral("ERREUR") : key; });
        QCOMPARE(T(QStringLiteral("ERROR")), QStringLiteral("ERREUR"));
        QCOMPARE(T(QStringLiteral("other")), QStringLiteral("other"));
    }

    void appDataFolderAlwaysEndsWithASlash()
    {
        SetAppDataFolder(QStringLiteral("/tmp/x"));
        QCOMPARE(GetAppDataFolder(), QStringLiteral("/tmp/x/"));
        SetAppDataFolder(QStringLiteral("/tmp/y/"));
        QCOMPARE(GetAppDataFolder(), QStringLiteral("/tmp/y/"));
    }

    void scriptedDialogsRecordAndAnswerFromTheirQueues()
    {
        ScriptedDialogs dialogs;
        dialogs.answers << true;
        QVERIFY(Dialogs().Question("Continue?", "Confirm"));
        QVERIFY(!Dialogs().Question("Again?", "Confirm")); // queue empty: No
        Dialogs().Message("Done", "Info");
        QCOMPARE(dialogs.texts(), (QStringList{"Continue?", "Again?", "Done"}));
        QCOMPARE(dialogs.unanswered, 1);
        QCOMPARE(Dialogs().OpenFileName({}), QString());
        QCOMPARE(dialogs.unanswered, 2);
    }
};

QTEST_MAIN(TestBase)
#include "tst_base.moc"
