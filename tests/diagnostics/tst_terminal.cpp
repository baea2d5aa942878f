#include "diagnostics/OutputWin.h"
#include "diagnostics/terminalText.h"
#include "ui/dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

namespace
{
// Stands in for the user at the file dialogs and records the boxes shown.
class ScriptedDialogs : public IDialogs
{
public:
    QString savePath;
    QStringList messages;
    void Message(const QString &text, const QString &) override { messages << text; }
    bool Question(const QString &, const QString &) override { return true; }
    QString OpenFileName(const FileDialogRequest &) override { return {}; }
    QString SaveFileName(const FileDialogRequest &) override { return savePath; }
};

QStringList ReadLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<unreadable>")};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
}
} // namespace

class TestTerminal : public QObject
{
    Q_OBJECT

    std::unique_ptr<TfrmOutput> window;
    ScriptedDialogs dialogs;
    QDateTime clock;

    template <typename W = QPushButton> W *Child(const char *name)
    {
        W *widget = window->findChild<W *>(QString::fromLatin1(name));
        if (widget == nullptr)
            qFatal("no widget %s", name);
        return widget;
    }
    QPlainTextEdit *Memo() { return Child<QPlainTextEdit>("memoTerminal"); }
    QStringList Shown()
    {
        return Memo()->document()->isEmpty() ? QStringList{} : Memo()->toPlainText().split(QLatin1Char('\n'));
    }
    QString Status() { return Child<QLabel>("lbStatus")->text(); }
    void Click(const char *name) { QTest::mouseClick(Child<QAbstractButton>(name), Qt::LeftButton); }
    void Append(int count, const QString &prefix = QStringLiteral("line"))
    {
        for (int i = 1; i <= count; ++i)
            window->AppendLine(QStringLiteral("%1 %2\r").arg(prefix).arg(i));
    }

private slots:
    void init()
    {
        dialogs = {};
        SetDialogs(&dialogs);
        clock = QDateTime(QDate(2026, 3, 1), QTime(12, 34, 56, 789));
        window = std::make_unique<TfrmOutput>();
        window->SetClock([this] { return clock; });
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup()
    {
        window.reset();
        SetDialogs(nullptr);
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void linesAreSingleSpacedWithoutTheirLineEnds()
    {
        window->AppendLine(QStringLiteral("0R1,Dn=236D\r"));
        window->AppendLine(QStringLiteral("\n0R2,Ta=21.4C\r"));
        window->AppendLine(QStringLiteral("\r\n"));
        window->AppendLine(QStringLiteral("\n0R3,Pa=1013.2H\r\n"));
        QCOMPARE(Shown(), (QStringList{QStringLiteral("0R1,Dn=236D"), QStringLiteral("0R2,Ta=21.4C"),
                                       QStringLiteral("0R3,Pa=1013.2H")}));
        QVERIFY(Status().startsWith(QStringLiteral("Lines: 3 ")));
    }

    void pauseHoldsLinesAndResumeShowsThemAll()
    {
        Append(3, QStringLiteral("before"));
        Click("buPause");
        Append(4, QStringLiteral("held"));
        QCOMPARE(Shown().size(), 3);
        QVERIFY(Status().startsWith(QStringLiteral("Lines: 7 ")));
        Click("buPause");
        const QStringList shown = Shown();
        QCOMPARE(shown.size(), 7);
        QCOMPARE(shown.constLast(), QStringLiteral("held 4"));
        QVERIFY(!Child("buPause")->isChecked());
    }

    void pauseKeepsTheLatestLinesUpToTheCap()
    {
        Click("buPause");
        Append(TfrmOutput::kMaxLines + 10);
        QVERIFY(Shown().isEmpty());
        Click("buPause");
        const QStringList shown = Shown();
        QCOMPARE(shown.size(), TfrmOutput::kMaxLines);
        QCOMPARE(shown.constFirst(), QStringLiteral("line 11"));
        QCOMPARE(shown.constLast(), QStringLiteral("line %1").arg(TfrmOutput::kMaxLines + 10));
    }

    void clearEmptiesTheViewButKeepsHeldLinesAndCounts()
    {
        Append(5);
        Click("buPause");
        Append(2, QStringLiteral("held"));
        Click("buClear");
        QVERIFY(Shown().isEmpty());
        Click("buPause");
        QCOMPARE(Shown(), (QStringList{QStringLiteral("held 1"), QStringLiteral("held 2")}));
        QVERIFY(Status().startsWith(QStringLiteral("Lines: 7 ")));
    }

    void autoscrollStopsWhileScrolledUpAndResumesAtTheEnd()
    {
        Append(300);
        QScrollBar *bar = Memo()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        QTest::keyClick(Memo(), Qt::Key_PageUp);
        const int readingAt = bar->value();
        QVERIFY(readingAt < bar->maximum());
        Append(20, QStringLiteral("more"));
        QCOMPARE(bar->value(), readingAt);
        while (bar->value() < bar->maximum())
            QTest::keyClick(Memo(), Qt::Key_PageDown);
        Append(20, QStringLiteral("after"));
        QCOMPARE(bar->value(), bar->maximum());
    }

    void timestampsShowTheReceivedTime()
    {
        window->AppendLine(QStringLiteral("0R1,Dn=236D\r"));
        clock = clock.addMSecs(1001);
        Click("cbTimestamps");
        window->AppendLine(QStringLiteral("0R2,Ta=21.4C\r"));
        QCOMPARE(Shown(), (QStringList{QStringLiteral("12:34:56.789 0R1,Dn=236D"),
                                       QStringLiteral("12:34:57.790 0R2,Ta=21.4C")}));
        Click("cbTimestamps");
        QCOMPARE(Shown(), (QStringList{QStringLiteral("0R1,Dn=236D"), QStringLiteral("0R2,Ta=21.4C")}));
    }

    void statusCountsLinesRateAndChecksumErrors()
    {
        Append(20);
        QCOMPARE(Status(), QStringLiteral("Lines: 20   Lines/s: 2.0   Errors: 0"));
        clock = clock.addSecs(11);
        window->AppendLine(QStringLiteral("$WIMWV,270,R,5.2,M,A*3C\r"));
        QCOMPARE(Status(), QStringLiteral("Lines: 21   Lines/s: 0.1   Errors: 0"));
        window->AppendLine(QStringLiteral("$WIMWV,270,R,5.2,M,A*1B\r"));
        QCOMPARE(Status(), QStringLiteral("Lines: 22   Lines/s: 0.2   Errors: 1"));
    }

    void saveWritesTheShownLines()
    {
        QTemporaryDir dir;
        dialogs.savePath = dir.filePath(QStringLiteral("out.txt"));
        Append(3);
        Click("buPause");
        Append(1, QStringLiteral("held"));
        Click("buSave");
        QCOMPARE(ReadLines(dialogs.savePath),
                 (QStringList{QStringLiteral("line 1"), QStringLiteral("line 2"), QStringLiteral("line 3"), QString()}));
        QVERIFY(dialogs.messages.isEmpty());

        dialogs.savePath = dir.filePath(QStringLiteral("missing/out.txt"));
        Click("buSave");
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(dialogs.messages.constFirst().contains(QStringLiteral("missing")));
    }

    void captureWritesLinesAsTheyArrive()
    {
        QTemporaryDir dir;
        dialogs.savePath = dir.filePath(QStringLiteral("capture.txt"));
        Append(2, QStringLiteral("not captured"));
        Click("buCapture");
        QVERIFY(Child("buCapture")->isChecked());
        Append(2);
        QCOMPARE(ReadLines(dialogs.savePath), (QStringList{QStringLiteral("line 1"), QStringLiteral("line 2"), QString()}));
        Click("buPause");
        Append(1, QStringLiteral("paused"));
        QCOMPARE(ReadLines(dialogs.savePath).size(), 4);
        Click("buCapture");
        QVERIFY(!Child("buCapture")->isChecked());
        Append(1, QStringLiteral("after"));
        QCOMPARE(ReadLines(dialogs.savePath), (QStringList{QStringLiteral("line 1"), QStringLiteral("line 2"),
                                                           QStringLiteral("paused 1"), QString()}));
        QVERIFY(dialogs.messages.isEmpty());
    }

    void captureEndsWithTheWindow()
    {
        QTemporaryDir dir;
        dialogs.savePath = dir.filePath(QStringLiteral("capture.txt"));
        Click("buCapture");
        Append(1);
        Click("BitBtn1");
        QVERIFY(!Child("buCapture")->isChecked());
        QCOMPARE(ReadLines(dialogs.savePath), (QStringList{QStringLiteral("line 1"), QString()}));
    }

    void aFailedCaptureWriteIsReported()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("needs /dev/full");
        dialogs.savePath = QStringLiteral("/dev/full");
        Click("buCapture");
        QVERIFY(Child("buCapture")->isChecked());
        Append(1);
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(dialogs.messages.constFirst().contains(QStringLiteral("/dev/full")));
        QVERIFY(!Child("buCapture")->isChecked());
        QCOMPARE(Shown(), QStringList{QStringLiteral("line 1")}); // the line itself is not lost
    }

    void searchSelectsTheNextMatchAndWraps()
    {
        Append(3);
        window->AppendLine(QStringLiteral("0R2,Ta=21.4C\r"));
        Append(3, QStringLiteral("tail"));
        QTest::keyClicks(Child<QLineEdit>("edSearch"), QStringLiteral("Ta=21"));
        QTest::keyClick(Child<QLineEdit>("edSearch"), Qt::Key_Return);
        QCOMPARE(Memo()->textCursor().selectedText(), QStringLiteral("Ta=21"));
        QCOMPARE(Memo()->textCursor().blockNumber(), 3);
        Click("buFind"); // wraps to the same one
        QCOMPARE(Memo()->textCursor().blockNumber(), 3);
        Child<QLineEdit>("edSearch")->clear();
        QTest::keyClicks(Child<QLineEdit>("edSearch"), QStringLiteral("absent"));
        Click("buFind");
        QVERIFY(Status().contains(QStringLiteral("absent")));
    }

    void hexShowsTheBytesAsReceived()
    {
        window->AppendLine(QStringLiteral("$A\x01\r"));
        Click("cbHex");
        QCOMPARE(Shown(), QStringList{QStringLiteral("24 41 01 0D  $A<01><CR>")});
        Click("cbHex");
        QCOMPARE(Shown(), QStringList{QStringLiteral("$A\x01")});
    }

    void checksumRules_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("bad");
        QTest::newRow("good") << QStringLiteral("$WIMWV,270,R,5.2,M,A*3C\r\n") << false;
        QTest::newRow("wrong") << QStringLiteral("$WIMWV,270,R,5.2,M,A*1B") << true;
        QTest::newRow("not hex") << QStringLiteral("$WIMWV,270,R,5.2,M,A*ZZ") << true;
        QTest::newRow("none") << QStringLiteral("0R1,Dn=236D") << false;
        QTest::newRow("star inside") << QStringLiteral("$A*1,B") << false;
    }
    void checksumRules()
    {
        QFETCH(QString, line);
        QFETCH(bool, bad);
        QCOMPARE(HasBadChecksum(line), bad);
    }
};

QTEST_MAIN(TestTerminal)
#include "tst_terminal.moc"
