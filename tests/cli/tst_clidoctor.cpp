// `talvek-cli doctor` as a user runs it: on pseudo-terminals reached through
// COM aliases, with a port this user may not open, a port whose device is
// gone and a port whose lock a live process holds.
#include "base/appdata.h"
#include "cli/exitcodes.h"
#include "serial/portaccess.h"
#include "tests/support/cliRun.h"
#include "tests/support/ptypeer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
using Run = CliRun;

constexpr uid_t nobodyId = 65534;
} // namespace

class TestCliDoctor : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dataDir;

    Run run(const QStringList &arguments, const QString &program = QStringLiteral(TALVEK_CLI_PATH))
    {
        return RunCli(program, arguments, dataDir->path(), 60000);
    }

    void alias(int comNumber, const QString &target) const
    {
        const QString folder = dataDir->path() + QStringLiteral("/ports/");
        QDir().mkpath(folder);
        QVERIFY(QFile::link(target, folder + QStringLiteral("COM%1").arg(comNumber)));
    }

private slots:
    void init()
    {
        dataDir = std::make_unique<QTemporaryDir>();
        QVERIFY(dataDir->isValid());
        SetAppDataFolder(dataDir->path() + QLatin1Char('/'));
    }

    void helpNamesTheCommand()
    {
        Run result = run({"--help"});
        QCOMPARE(result.status, int(ExitOk));
        QVERIFY(result.out.contains(QLatin1String("  doctor [--port COMn]")));
        QVERIFY(result.out.contains(QLatin1String("doctor: 0 every port checked can be opened, 4 a port")));
        result = run({"doctor", "--help"});
        QCOMPARE(result.status, int(ExitOk));
        QVERIFY(result.out.contains(QLatin1String("--port <COMn>")));
        QVERIFY(!result.out.contains(QLatin1String("--baud")));
        QCOMPARE(run({"doctor", "--port", "nine"}).status, int(ExitUsage));
    }

    void ptyThatCanBeOpened()
    {
        PtyPeer peer;
        QVERIFY(peer.IsOpen());
        AddComAlias(peer, 7);
        const Run result = run({"doctor", "--port", "COM7"});
        QVERIFY2(result.status == int(ExitOk), qPrintable(result.out + result.err));
        const QStringList lines = result.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.first().startsWith("COM7  " + peer.SlavePath() + "  c"), qPrintable(result.out));
        QVERIFY(lines.contains("  OK: You can open " + peer.SlavePath() + "."));
        QCOMPARE(lines.last(), QStringLiteral("Every port checked can be opened."));
        // The peer's link is untouched: the doctor opened nothing.
        QCOMPARE(peer.Received(), QByteArray());

        // Without --port the alias is among the ports checked.
        const Run all = run({"doctor"});
        QVERIFY2(all.out.contains("COM7  " + peer.SlavePath()), qPrintable(all.out));
    }

    void goneDeviceAndFrenchText()
    {
        alias(8, dataDir->path() + QStringLiteral("/unplugged"));
        Run result = run({"doctor", "--port", "COM8"});
        QCOMPARE(result.status, int(ExitPortOpen));
        QVERIFY2(result.out.contains(QLatin1String("/unplugged does not exist")), qPrintable(result.out));
        QVERIFY(result.out.contains(QLatin1String("      $ ls -l /dev/serial/by-id/")));
        QVERIFY(result.out.endsWith(QLatin1String("Not every port can be opened: see the problems above.\n")));
        result = run({"doctor", "--port", "COM8", "--lang", "fr"});
        QCOMPARE(result.status, int(ExitPortOpen));
        QVERIFY2(result.out.contains(QLatin1String("/unplugged n'existe pas")), qPrintable(result.out));
        QVERIFY(result.out.contains(QStringLiteral("  Problème: ")));
        // A COM number no rule and no alias maps to.
        result = run({"doctor", "--port", "COM999"});
        QCOMPARE(result.status, int(ExitPortOpen));
        QVERIFY(result.err.contains(QLatin1String("COM999 names no device")));
    }

    // A live process's pid in the port's lock file, as minicom leaves it.
    void heldLock()
    {
        PtyPeer peer;
        QVERIFY(peer.IsOpen());
        AddComAlias(peer, 5);
        QProcess holder;
        holder.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(holder.waitForStarted());
        const QString lockPath = DefaultLockDirectory() + QLatin1Char('/') + LockFileName(peer.SlavePath());
        QFile lock(lockPath);
        if (!lock.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            holder.kill();
            holder.waitForFinished();
            QSKIP("the system's lock folder cannot be written by this user");
        }
        lock.write(QByteArray::number(holder.processId()).rightJustified(10, ' ') + '\n');
        lock.close();
        const QString pid = QString::number(holder.processId());
        const Run result = run({"doctor", "--port", "COM5"});
        QFile::remove(lockPath);
        holder.kill();
        holder.waitForFinished();
        QCOMPARE(result.status, int(ExitPortOpen));
        QVERIFY2(result.out.contains("process " + pid + " (sleep) holds its lock file " + lockPath),
                 qPrintable(result.out));
        QVERIFY(result.out.contains("      $ kill " + pid));
    }

    // The check runs as a user who may not open the port: as nobody when the
    // test runs as root, else as the test's own user on a file it shut out.
    void portWithoutPermission()
    {
        if (::geteuid() != 0) {
            const QString shut = dataDir->filePath(QStringLiteral("shut"));
            QFile file(shut);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.close();
            QVERIFY(::chmod(QFile::encodeName(shut).constData(), 0) == 0);
            alias(6, shut);
            const Run result = run({"doctor", "--port", "COM6"});
            QCOMPARE(result.status, int(ExitPortOpen));
            QVERIFY2(result.out.contains(QLatin1String("may not open")), qPrintable(result.out));
            return;
        }
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            QSKIP("setpriv is not installed: no way to drop root here");
        PtyPeer peer;
        QVERIFY(peer.IsOpen());
        AddComAlias(peer, 6);
        struct stat info {
        };
        QVERIFY(::stat(QFile::encodeName(peer.SlavePath()).constData(), &info) == 0);
        if ((info.st_mode & 0006) == 0006)
            QSKIP("pseudo-terminals here are open to everyone");
        // nobody uses the data folder as its own (a temporary one, open to all).
        QVERIFY(::chmod(QFile::encodeName(dataDir->path()).constData(), 0777) == 0);
        const Run result = run({"--reuid=" + QString::number(nobodyId), "--regid=" + QString::number(nobodyId),
                                "--clear-groups", QStringLiteral(TALVEK_CLI_PATH), "doctor", "--port", "COM6"},
                               setpriv);
        if (result.err.contains(QLatin1String("Permission denied")) || result.status == int(ExitFailed))
            QSKIP(qPrintable("the program cannot start as nobody here: " + result.err));
        QCOMPARE(result.status, int(ExitPortOpen));
        QVERIFY2(result.out.contains(QLatin1String("  Problem: User nobody may not open ") + peer.SlavePath()),
                 qPrintable(result.out + result.err));
        QVERIFY(result.out.contains(QLatin1String("      $ sudo usermod -aG ")));
    }
};

QTEST_GUILESS_MAIN(TestCliDoctor)
#include "tst_clidoctor.moc"
