#include "base/appdata.h"
#include "base/fileNames.h"
#include "base/fileSave.h"
#include "base/log.h"
#include "base/translate.h"
#include "tests/support/fileSizeLimit.h"
#include "tests/support/scripteddialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace
{
QByteArray Contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

bool IsFifo(const QString &path)
{
    struct stat info {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

// A listening-less Unix socket node at path; false when it cannot be made.
bool MakeSocketNode(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    if (name.size() >= int(sizeof(address.sun_path)))
        return false;
    address.sun_family = AF_UNIX;
    std::copy(name.begin(), name.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool made = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    if (fd >= 0)
        ::close(fd);
    return made;
}
} // namespace

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

    void saveWritesThroughASymbolicLink()
    {
        QTemporaryDir dir;
        const QString real = dir.filePath("real.tcf");
        WriteFile(real, "old");
        QVERIFY(QFile::link("real.tcf", dir.filePath("link.tcf"))); // relative, as users make them
        QString error;
        QVERIFY2(SaveFileWhole(dir.filePath("link.tcf"), "new", &error), qPrintable(error));
        QVERIFY(QFileInfo(dir.filePath("link.tcf")).isSymLink());
        QCOMPARE(Contents(real), QByteArray("new"));
        // A link to a file not there yet creates that file.
        QVERIFY(QFile::link(dir.filePath("later.tcf"), dir.filePath("dangling.tcf")));
        QVERIFY2(SaveFileWhole(dir.filePath("dangling.tcf"), "made", &error), qPrintable(error));
        QVERIFY(QFileInfo(dir.filePath("dangling.tcf")).isSymLink());
        QCOMPARE(Contents(dir.filePath("later.tcf")), QByteArray("made"));
    }

    void saveRefusesATargetThatIsNoRegularFile()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("pipe.tcf");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString folder = dir.filePath("folder.tcf");
        QVERIFY(QDir().mkdir(folder));
        const QString socket = dir.filePath("sock.tcf");
        QVERIFY(MakeSocketNode(socket));
        const QString linkToFifo = dir.filePath("link.tcf");
        QVERIFY(QFile::link(fifo, linkToFifo));
        for (const QString &target : {fifo, folder, socket, linkToFifo}) {
            QString error;
            QVERIFY2(!SaveFileWhole(target, "data", &error), qPrintable(target));
            QVERIFY2(error.startsWith(target) && error.contains("not a regular file"), qPrintable(error));
        }
        QVERIFY(IsFifo(fifo));
        QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(QFileInfo(linkToFifo).isSymLink());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 3);
    }

    void failedSaveSaysWhyAndKeepsTheOldFile()
    {
        QTemporaryDir dir;
        QString error;
        const QString missing = dir.filePath("no/such/folder/x.tcf");
        QVERIFY(!SaveFileWhole(missing, "data", &error));
        QVERIFY2(error.startsWith(missing) && error.contains("No such file or directory"), qPrintable(error));

        const QString existing = dir.filePath("kept.tcf");
        WriteFile(existing, "old");
        {
            FileSizeLimit limit(4096);
            QVERIFY(!SaveFileWhole(existing, QByteArray(64 * 1024, 'x'), &error));
        }
        QVERIFY2(error.startsWith(existing) && error.contains("File too large"), qPrintable(error));
        QCOMPARE(Contents(existing), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left
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

    void suggestedFileNames_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("name");
        QTest::newRow("online") << "Tempris KDX530-3 PV9" << "12345" << "" << "Tempris KDX530-3 PV9_12345_2026-03-07";
        QTest::newRow("offline") << "Corvix II PV4" << "" << "" << "Corvix II PV4_2026-03-07";
        QTest::newRow("backup") << "Corvix Pro" << " A7 " << "backup" << "Corvix Pro_A7_2026-03-07_backup";
        QTest::newRow("refused characters") << "A/B:C" << "1*2?" << "" << "A-B-C_1-2-_2026-03-07";
    }

    void suggestedFileNames()
    {
        QFETCH(QString, product);
        QFETCH(QString, serial);
        QFETCH(QString, suffix);
        QFETCH(QString, name);
        QCOMPARE(SuggestedSettingsFileName(product, serial, QDate(2026, 3, 7), suffix), name);
    }
};

QTEST_MAIN(TestBase)
#include "tst_base.moc"
