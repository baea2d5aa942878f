#include "base/translate.h"
#include "diagnostics/OutputWin.h"
#include "diagnostics/memoMessageBox.h"
#include "diagnostics/progressDlg.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <functional>

namespace
{
QPlainTextEdit *memo(const QWidget &window, const char *name)
{
    return window.findChild<QPlainTextEdit *>(QString::fromLatin1(name));
}

QStringList memoLines(const QWidget &window, const char *name)
{
    const QPlainTextEdit *edit = memo(window, name);
    if (edit == nullptr || edit->document()->isEmpty())
        return {};
    return edit->toPlainText().split(QLatin1Char('\n'));
}

QPushButton *button(const QWidget &window, const char *name)
{
    return window.findChild<QPushButton *>(QString::fromLatin1(name));
}

// Runs `whileOpen` once the modal loop of `dialog` runs, then clicks the named
// button. Returns exec()'s result; -1 when the dialog never became the modal
// widget or the button is missing, -2 when the click did not end the loop.
int execAndClick(QDialog &dialog, const char *buttonName, const std::function<void()> &whileOpen = {})
{
    bool clicked = false;
    QTimer::singleShot(0, &dialog, [&] {
        QPushButton *target = button(dialog, buttonName);
        if (QApplication::activeModalWidget() != &dialog || target == nullptr) {
            dialog.done(-1);
            return;
        }
        if (whileOpen)
            whileOpen();
        clicked = true;
        QTest::mouseClick(target, Qt::LeftButton);
    });
    QTimer::singleShot(5000, &dialog, [&] { dialog.done(-2); }); // never hang the suite
    const int result = dialog.exec();
    return clicked || result != QDialog::Accepted ? result : -1;
}

QString bracketed(const QString &key)
{
    return QStringLiteral("[") + key + QStringLiteral("]");
}
} // namespace

class TestAuxDialogs : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        SetTranslator({});
        // Every window of a test lives on its stack: none may outlive it.
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void memoBoxShowsTheHeaderThenTheList_data()
    {
        QTest::addColumn<QStringList>("list");
        QTest::newRow("empty list") << QStringList{};
        QTest::newRow("one") << QStringList{QStringLiteral("Baud Rate")};
        QTest::newRow("several, with blanks kept")
            << QStringList{QStringLiteral("Address"), QString(), QStringLiteral("Units: m/s")};
    }

    void memoBoxShowsTheHeaderThenTheList()
    {
        QFETCH(QStringList, list);
        TfrmMemoMessageBox box;
        box.ShowList(QStringLiteral("Old"), QStringLiteral("old header"), {QStringLiteral("stale entry")});
        box.ShowList(QStringLiteral("Error"), QStringLiteral("The following failed to verify:"), list);
        QCOMPARE(box.windowTitle(), QStringLiteral("Error"));
        QCOMPARE(memoLines(box, "Memo1"), QStringList{QStringLiteral("The following failed to verify:")} + list);
        QVERIFY(memo(box, "Memo1")->isReadOnly());
    }

    void memoBoxStaysOnTopAndOkEndsItsModalLoop()
    {
        QWidget mainWindow;
        TfrmMemoMessageBox box(&mainWindow);
        QVERIFY(box.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        box.ShowList(QStringLiteral("Error"), QStringLiteral("header"), {QStringLiteral("x")});
        QCOMPARE(execAndClick(box, "BitBtn1"), int(QDialog::Accepted));
        QVERIFY(!box.isVisible());
    }

    void progressAbortHoldsUntilTheDialogIsHidden()
    {
        QWidget mainWindow;
        TfrmProgressDlg dialog(&mainWindow);
        QVERIFY(!dialog.IsAborted());
        dialog.show();
        QVERIFY(!dialog.isModal());
        QTest::mouseClick(button(dialog, "buAbort"), Qt::LeftButton);
        QVERIFY(dialog.IsAborted());
        QVERIFY(dialog.isVisible()); // the owner closes it, not the click
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.IsAborted());

        dialog.hide();
        QVERIFY(!dialog.IsAborted());
        dialog.show();
        QVERIFY(!dialog.IsAborted());
        dialog.close();
        QVERIFY(!dialog.isVisible());
    }

    void progressAbortIsSeenByALoopThatPumpsEvents()
    {
        QWidget mainWindow;
        TfrmProgressDlg dialog(&mainWindow);
        dialog.setMaximum(1000);
        dialog.show();
        QTimer::singleShot(20, &dialog, [&] { QTest::mouseClick(button(dialog, "buAbort"), Qt::LeftButton); });
        int exchanges = 0;
        // Stands for the engine: one exchange per step, events pumped between.
        while (!dialog.IsAborted() && exchanges < dialog.maximum()) {
            dialog.setPosition(++exchanges);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QTest::qWait(1);
        }
        QVERIFY(dialog.IsAborted());
        QVERIFY(exchanges < 1000);
        QCOMPARE(dialog.position(), exchanges);
        QCOMPARE(dialog.findChild<QProgressBar *>(QStringLiteral("ProgressBar1"))->value(), exchanges);
    }

    void progressShowBringsTheMainWindowBackAndTranslates()
    {
        QWidget mainWindow;
        auto *panel = new QWidget(&mainWindow);
        TfrmProgressDlg dialog(panel);
        SetTranslator(bracketed);
        QVERIFY(!mainWindow.isVisible());
        dialog.show();
        QVERIFY(mainWindow.isVisible());
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("Panel1"))->text(), QStringLiteral("[Please wait]"));
        QCOMPARE(button(dialog, "buAbort")->text(), QStringLiteral("[ABORT]"));
        dialog.hide();
    }

    void progressHasNoCaptionNoCloseBoxAndAGreyBackground()
    {
        TfrmProgressDlg dialog;
        QVERIFY(dialog.windowTitle().isEmpty());
        QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(dialog.windowFlags().testFlag(Qt::CustomizeWindowHint));
        QCOMPARE(dialog.palette().color(QPalette::Window), QColor(198, 198, 198));
        QVERIFY(dialog.autoFillBackground());
    }

    void terminalStartsEmptyOnEveryShow()
    {
        SetTranslator(bracketed);
        TfrmOutput output;
        QCOMPARE(output.windowTitle(), QStringLiteral("[Terminal Output]"));
        QStringList seenAtOpen;
        QStringList seenBeforeClose;
        const auto session = [&] {
            seenAtOpen = memoLines(output, "memoTerminal");
            output.AppendLine(QStringLiteral("$WIMWV,270,R,5.2,M,A*1B\r\n"));
            output.AppendLine(QStringLiteral("0R1,Dn=236D,Dm=283D"));
            seenBeforeClose = memoLines(output, "memoTerminal");
        };
        output.AppendLine(QStringLiteral("before the first show"));
        QCOMPARE(execAndClick(output, "BitBtn1", session), int(QDialog::Accepted));
        QCOMPARE(seenAtOpen, QStringList{});
        const QStringList received{QStringLiteral("$WIMWV,270,R,5.2,M,A*1B"), QStringLiteral("0R1,Dn=236D,Dm=283D")};
        QCOMPARE(seenBeforeClose, received);

        QCOMPARE(execAndClick(output, "BitBtn1", session), int(QDialog::Accepted));
        QCOMPARE(seenAtOpen, QStringList{});
        QCOMPARE(seenBeforeClose, received);
        QVERIFY(memo(output, "memoTerminal")->isReadOnly());
    }

    void terminalKeepsTheLatestLinesAndFollowsTheEnd()
    {
        TfrmOutput output;
        output.show();
        const int total = TfrmOutput::kMaxLines + 25;
        for (int i = 1; i <= total; ++i)
            output.AppendLine(QStringLiteral("line %1").arg(i));
        const QStringList lines = memoLines(output, "memoTerminal");
        QCOMPARE(lines.size(), TfrmOutput::kMaxLines);
        QCOMPARE(lines.constFirst(), QStringLiteral("line 26"));
        QCOMPARE(lines.constLast(), QStringLiteral("line %1").arg(total));

        QScrollBar *bar = memo(output, "memoTerminal")->verticalScrollBar();
        output.AppendLine(QStringLiteral("newest"));
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        bar->setValue(0); // the user scrolls up to read: new lines leave the view there
        output.AppendLine(QStringLiteral("newer still"));
        QCOMPARE(bar->value(), 0);
        output.hide();
    }
};

QTEST_MAIN(TestAuxDialogs)
#include "tst_auxdialogs.moc"
