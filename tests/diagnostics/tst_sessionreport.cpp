#include "base/appdata.h"
#include "base/log.h"
#include "base/translate.h"
#include "base/version.h"
#include "diagnostics/sessionReport.h"
#include "tests/support/fileSizeLimit.h"
#include "tests/support/scripteddialogs.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace
{
const QDateTime kFixedTime(QDate(2025, 1, 31), QTime(14, 25, 1), Qt::UTC);
const QString kStampedName = QStringLiteral("_250131_142501");
const QString kTimeText = QStringLiteral("31.01.25 14:25:01 UTC"); // kFixedTime in the test's locale

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The report's lines, split at CR LF only (a lone CR or LF stays visible).
QStringList reportLines(const QString &path)
{
    QStringList lines = QString::fromUtf8(readAll(path)).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList blank()
{
    return {QString(), QString()}; // a written "\r\n" plus the line end
}

QStringList banner(const QString &text, const QString &time)
{
    const QString dashes(75, QLatin1Char('-'));
    return blank() + QStringList{dashes, text, QStringLiteral("Time:") + time, dashes} + blank();
}

bool endsWithClosingBanner(const QStringList &lines)
{
    const QStringList closing = banner(QStringLiteral("Report Closed"), kTimeText);
    return lines.size() > closing.size() && lines.mid(lines.size() - closing.size()) == closing;
}
} // namespace

class TestSessionReport : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<TfrmSessionReport> report;

    QString folder() const { return dir->path() + QStringLiteral("/SessionReports"); }

private slots:
    void initTestCase()
    {
        // German: short date "31.01.25", long time "14:25:01 UTC" for a UTC clock.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        SetAppDataFolder(dir->path());
        dialogs = std::make_unique<ScriptedDialogs>();
        report = std::make_unique<TfrmSessionReport>();
        report->SetClock([] { return kFixedTime; });
    }

    void cleanup()
    {
        report.reset();
        dialogs.reset();
        SetTranslator({});
        SetLogSink({});
    }

    void reportReadsInOrderWithFramesAndCrLf()
    {
        QVERIFY(report->OpenReport(QStringLiteral("Corvix II"), QStringLiteral("12345")));
        QVERIFY(report->IsOpen());
        const QString path = folder() + QStringLiteral("/Corvix II_12345") + kStampedName + QStringLiteral(".txt");
        QCOMPARE(report->FilePath(), path);

        report->WriteLine(QStringLiteral("ID:CORVIX2,V2.20"));
        report->WriteAction(QStringLiteral("User action: ConnectAndRead"));
        report->WriteLines({QStringLiteral("sent:UNITS 1"), QStringLiteral("sent:ADDR 0")});
        report->WriteError(QStringLiteral("Verify Failed"));
        report->WriteLine(QStringLiteral("Łódź °C")); // stored as UTF-8
        report->CloseReport();
        QVERIFY(!report->IsOpen());

        const QString time = kTimeText;
        const QString bangs(75, QLatin1Char('!'));
        const QStringList expected =
            QStringList{QString::fromLatin1(kProgramCaption)} + banner(QStringLiteral("Session File Opened"), time) +
            QStringList{QStringLiteral("ID:CORVIX2,V2.20")} + blank() +
            QStringList{QStringLiteral("--> User action: ConnectAndRead")} + blank() +
            QStringList{QStringLiteral("sent:UNITS 1"), QStringLiteral("sent:ADDR 0")} + blank() +
            QStringList{bangs, QStringLiteral("ERROR: Verify Failed"), bangs} + blank() +
            QStringList{QStringLiteral("Łódź °C")} + banner(QStringLiteral("Report Closed"), time);
        QCOMPARE(reportLines(path), expected);

        const QByteArray bytes = readAll(path);
        QVERIFY(bytes.endsWith("\r\n\r\n"));
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QCOMPARE(bytes.count('\r'), bytes.count("\r\n"));
        QVERIFY(bytes.contains("\xc5\x81\xc3\xb3"
                               "d\xc5\xba"));
        QVERIFY(dialogs->boxes.isEmpty());
    }

    void everyOperationIsANoOpWhileClosed()
    {
        report->WriteLine(QStringLiteral("x"));
        report->WriteLines({QStringLiteral("y")});
        report->WriteAction(QStringLiteral("a"));
        report->WriteBanner(QStringLiteral("b"));
        report->WriteError(QStringLiteral("e"));
        report->CloseReport();
        QVERIFY(!QFileInfo::exists(folder()));
        QVERIFY(dialogs->boxes.isEmpty());

        // After closing, nothing more reaches the file.
        QVERIFY(report->OpenReport(QStringLiteral("P"), QStringLiteral("1")));
        report->CloseReport();
        const QByteArray closed = readAll(report->FilePath());
        report->WriteLine(QStringLiteral("late"));
        report->WriteError(QStringLiteral("late"));
        report->CloseReport();
        QCOMPARE(readAll(report->FilePath()), closed);
    }

    void folderIsCreatedOnDemandAndLoggedOnce()
    {
        QStringList logged;
        SetLogSink([&](const QString &text) { logged << text; });
        QVERIFY(report->OpenReport(QStringLiteral("P"), QStringLiteral("1")));
        QVERIFY(QFileInfo(folder()).isDir());
        QVERIFY(report->OpenReport(QStringLiteral("P"), QStringLiteral("2")));
        QCOMPARE(logged.filter(QStringLiteral("Created Session Dir")),
                 QStringList{QStringLiteral("Created Session Dir ") + folder()});
    }

    void unusableFolderShowsOneMessageAndDropsWrites_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::newRow("SessionReports is a file") << QStringLiteral("file");
        QTest::newRow("data folder is a file") << QStringLiteral("parent");
        QTest::newRow("folder refuses new files") << QStringLiteral("readonly");
    }

    void unusableFolderShowsOneMessageAndDropsWrites()
    {
        QFETCH(QString, obstacle);
        if (obstacle == QLatin1String("file")) {
            QFile blocker(folder());
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        } else if (obstacle == QLatin1String("parent")) {
            QFile blocker(dir->filePath(QStringLiteral("data")));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            SetAppDataFolder(blocker.fileName());
        } else {
            // Permissions do not stop root; /proc refuses new files to anyone.
            if (!QFileInfo(QStringLiteral("/proc")).isDir())
                QSKIP("needs /proc");
            QVERIFY(QFile::link(QStringLiteral("/proc"), folder()));
        }
        SetTranslator([](const QString &key) { return QStringLiteral("[") + key + QStringLiteral("]"); });

        QVERIFY(!report->OpenReport(QStringLiteral("P"), QStringLiteral("1")));
        QVERIFY(!report->IsOpen());
        QVERIFY(report->FilePath().isEmpty());
        report->WriteLine(QStringLiteral("dropped"));
        report->WriteError(QStringLiteral("dropped"));
        report->CloseReport();

        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(dialogs->boxes[0].kind, ScriptedDialogs::Kind::Message);
        QCOMPARE(dialogs->texts(), QStringList{QStringLiteral("[Failed to open file]")});
        QCOMPARE(dialogs->captions(), QStringList{QStringLiteral("[Session Report Error]")});
    }

    void reportsInTheSameSecondAreAllKept()
    {
        const QString first = folder() + QStringLiteral("/P_1") + kStampedName;
        QVERIFY(report->OpenReport(QStringLiteral("P"), QStringLiteral("1")));
        report->WriteLine(QStringLiteral("first session"));
        report->CloseReport();
        QVERIFY(report->OpenReport(QStringLiteral("P"), QStringLiteral("1")));
        QCOMPARE(report->FilePath(), first + QStringLiteral("_2.txt"));
        report->WriteLine(QStringLiteral("second session"));
        // Opening while open closes the earlier report properly first.
        QVERIFY(report->OpenReport(QStringLiteral("P"), QStringLiteral("1")));
        QCOMPARE(report->FilePath(), first + QStringLiteral("_3.txt"));
        report->CloseReport();

        const QStringList one = reportLines(first + QStringLiteral(".txt"));
        const QStringList two = reportLines(first + QStringLiteral("_2.txt"));
        QVERIFY(one.contains(QStringLiteral("first session")));
        QVERIFY(two.contains(QStringLiteral("second session")));
        QVERIFY(!two.contains(QStringLiteral("first session")));
        QVERIFY(endsWithClosingBanner(two));
        QCOMPARE(QDir(folder()).entryList(QDir::Files).size(), 3);
    }

    void unusualProductNamesMakeSafeFileNames_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("expected");
        QTest::newRow("spaces") << "Corvix II Pro"
                                << "A 1"
                                << "Corvix II Pro_A 1";
        QTest::newRow("slashes") << "Tempris 5/W"
                                 << "S/N"
                                 << "Tempris 5_W_S_N";
        QTest::newRow("windows-reserved") << "a:b*c?d\"e<f>g|h\\i"
                                          << "7"
                                          << "a_b_c_d_e_f_g_h_i_7";
        QTest::newRow("control characters") << QStringLiteral("a\tb\nc\x7f") << "\r"
                                            << "a_b_c___";
        QTest::newRow("leading dots") << ".."
                                      << "1"
                                      << "_._1";
        QTest::newRow("non-ascii kept") << "Ćwierć"
                                        << "ż"
                                        << "Ćwierć_ż";
        QTest::newRow("empty") << ""
                               << ""
                               << "_";
        QTest::newRow("overlong") << QString(300, QLatin1Char('x')) << "9" << QString(100, QLatin1Char('x')) + "_9";
        QTest::newRow("overlong non-ascii") << QString(80, QChar(0x0141)) << "9" << QString(50, QChar(0x0141)) + "_9";
    }

    void unusualProductNamesMakeSafeFileNames()
    {
        QFETCH(QString, product);
        QFETCH(QString, serial);
        QFETCH(QString, expected);
        QCOMPARE(TfrmSessionReport::BaseFileName(product, serial, kFixedTime), expected + kStampedName);
        QVERIFY(report->OpenReport(product, serial));
        const QFileInfo created(report->FilePath());
        QCOMPARE(created.absolutePath(), folder());
        QCOMPARE(created.fileName(), expected + kStampedName + QStringLiteral(".txt"));
        QVERIFY(created.isFile());
        QVERIFY(created.fileName().toUtf8().size() <= 255);
    }

    void aFullDiskIsLoggedOnceAndNeverShown()
    {
        // A file size limit makes writes fail as a full disk would.
        auto limit = std::make_unique<FileSizeLimit>(2048);
        QVERIFY(limit->ok());

        QStringList logged;
        SetLogSink([&](const QString &text) { logged << text; });
        const bool opened = report->OpenReport(QStringLiteral("P"), QStringLiteral("1"));
        for (int i = 0; i < 100; ++i)
            report->WriteLine(QStringLiteral("line %1 of a long session").arg(i));
        report->CloseReport();
        const qint64 size = QFileInfo(report->FilePath()).size();

        limit.reset();
        QVERIFY(opened);
        QVERIFY(!report->IsOpen());
        QVERIFY(size > 0 && size <= 2048);
        QCOMPARE(logged.filter(QStringLiteral("Unable to write session report")).size(), 1);
        QVERIFY(dialogs->boxes.isEmpty());

        // With room again, the next report is written whole.
        logged.clear();
        QVERIFY(report->OpenReport(QStringLiteral("P"), QStringLiteral("2")));
        report->CloseReport();
        QVERIFY(logged.filter(QStringLiteral("Unable to write")).isEmpty());
        QVERIFY(endsWithClosingBanner(reportLines(report->FilePath())));
    }

    void destroyingAnOpenReportClosesItProperly()
    {
        QVERIFY(report->OpenReport(QStringLiteral("P"), QStringLiteral("1")));
        const QString path = report->FilePath();
        report.reset();
        QVERIFY(endsWithClosingBanner(reportLines(path)));
    }

    void theRealClockNamesTheFileWithTheLocalTime()
    {
        report->SetClock([] { return QDateTime::currentDateTime(); });
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        QVERIFY(report->OpenReport(QStringLiteral("P"), QStringLiteral("1")));
        const QDateTime after = QDateTime::currentDateTime().addSecs(1);
        const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("^P_1_(\\d{6}_\\d{6})\\.txt$"))
                                                  .match(QFileInfo(report->FilePath()).fileName());
        QVERIFY(match.hasMatch());
        QDateTime stamped = QDateTime::fromString(match.captured(1), QStringLiteral("yyMMdd_HHmmss"));
        stamped = stamped.addYears(100); // two-digit years parse into the 1900s
        QVERIFY2(stamped >= before.addMSecs(-before.time().msec()) && stamped <= after, qPrintable(stamped.toString()));
    }
};

QTEST_MAIN(TestSessionReport)
#include "tst_sessionreport.moc"
