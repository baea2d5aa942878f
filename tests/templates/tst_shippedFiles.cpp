#include "templates/shippedFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Where the programs look for their data: beside the executable in a build
// folder, the installed data folder next to bin/ otherwise.
class TestShippedFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir root;

    QString folder(const QString &relative) const { return root.filePath(relative) + QLatin1Char('/'); }

    void makeDataFolder(const QString &relative) const
    {
        QVERIFY(QDir().mkpath(folder(relative)));
        QFile units(folder(relative) + QStringLiteral("ordaDeviceUnits.tdx"));
        QVERIFY(units.open(QIODevice::WriteOnly));
    }

    const QString bin = QStringLiteral(TALVEK_INSTALL_BINDIR);
    const QString installedData = QStringLiteral(TALVEK_INSTALL_DATADIR "/talvek");

private slots:
    void init()
    {
        QVERIFY(root.isValid());
        QVERIFY(QDir(root.path()).removeRecursively());
        QVERIFY(QDir().mkpath(folder(bin)));
    }

    void aBuildFolderKeepsTheDataBesideTheExecutable()
    {
        makeDataFolder(bin);
        QCOMPARE(ShippedDataFolder(folder(bin)), folder(bin));
    }

    void anInstalledProgramFindsTheDataFolderNextToBin()
    {
        makeDataFolder(installedData);
        QCOMPARE(ShippedDataFolder(folder(bin)), folder(installedData));
        // The folder as the system gives it, without the trailing '/'.
        QCOMPARE(ShippedDataFolder(root.filePath(bin)), folder(installedData));
    }

    void dataBesideTheExecutableWinsOverAnInstalledCopy()
    {
        makeDataFolder(bin);
        makeDataFolder(installedData);
        QCOMPARE(ShippedDataFolder(folder(bin)), folder(bin));
    }

    void otherFilesBesideTheExecutableAreNoDataFolder()
    {
        makeDataFolder(installedData);
        QFile other(folder(bin) + QStringLiteral("translations.xml"));
        QVERIFY(other.open(QIODevice::WriteOnly));
        QCOMPARE(ShippedDataFolder(folder(bin)), folder(installedData));
    }

    void withoutDataTheExecutablesFolderIsNamed()
    {
        QCOMPARE(ShippedDataFolder(folder(bin)), folder(bin));
        QVERIFY(ShippedDataFolder(QString()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestShippedFiles)
#include "tst_shippedFiles.moc"
