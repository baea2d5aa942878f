#include "config/summary.h"
#include "reports/printedReport.h"
#include "tests/support/scripteddialogs.h"

#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
// A device with one param per (cmd, value, valid) triple, spread over two
// categories so the document order across categories is exercised.
IXMLproductsType deviceWith(const QList<std::tuple<QString, QString, QString>> &params)
{
    QString xml = QStringLiteral("<products><device name=\"X\"><category name=\"A\">");
    for (int i = 0; i < params.size(); ++i) {
        if (i == params.size() / 2)
            xml += QStringLiteral("</category><category name=\"B\">");
        const auto &[cmd, value, valid] = params.at(i);
        xml += QStringLiteral("<param name=\"%1\"><cmd>%1</cmd><valuestring>%2</valuestring>").arg(cmd, value);
        if (!valid.isNull())
            xml += QStringLiteral("<valid>%1</valid>").arg(valid);
        xml += QStringLiteral("</param>");
    }
    xml += QStringLiteral("</category></device></products>");
    return IXMLproductsType::FromXml(xml.toUtf8(), QStringLiteral("summary test"));
}

const QStringList kTail = {"", "  Note changes to ANEM, BAUD, COMMS or PROTOCOL settings",
                           "  will take place after next power-up.", ""};
} // namespace

class TestSummary : public QObject
{
    Q_OBJECT
private slots:
    void problemsComeFirstAndOnlyReadSettingsAreListed()
    {
        const IXMLproductsType doc = deviceWith({{"BAUD", "19200", "1"},
                                                 {"UNITS", "MS", "0"},
                                                 {"ADDRESS", "Q", "1"},
                                                 {"ODD", "x", "2"},
                                                 {"NOVALID", "y", QString()},
                                                 {"AVG", "5", "1"}});
        TfrmSummary summary;
        summary.FillSummary("Summary of Device Settings", doc.Device(0), true);
        const QStringList expected = QStringList{"PROBLEMS WERE ENCOUNTERED WITH THE FOLLOWING COMMANDS:", "",
                                                 "    UNITS", "", "SETTINGS ARE AS FOLLOWS:", "",
                                                 "    BAUD : 19200", "    ADDRESS : Q", "    AVG : 5"}
                                     + kTail;
        QCOMPARE(summary.Lines(), expected);
        QCOMPARE(summary.windowTitle(), QStringLiteral("Summary of Device Settings"));
        QCOMPARE(summary.findChild<QPlainTextEdit *>()->toPlainText(), expected.join('\n'));
        QVERIFY(summary.HasContent());
    }

    void withoutFailuresOrWithoutTheFlagThereIsNoProblemSection()
    {
        TfrmSummary summary;
        summary.FillSummary("t", deviceWith({{"BAUD", "9600", "1"}, {"UNITS", "MS", "1"}}).Device(0), true);
        QCOMPARE(summary.Lines().first(), QStringLiteral("SETTINGS ARE AS FOLLOWS:"));
        summary.FillSummary("t", deviceWith({{"BAUD", "9600", "0"}, {"UNITS", "MS", "1"}}).Device(0), false);
        QCOMPARE(summary.Lines(), QStringList({"SETTINGS ARE AS FOLLOWS:", "", "    UNITS : MS"}) + kTail);
    }

    void clearingEmptiesTheWindow()
    {
        TfrmSummary summary;
        QVERIFY(!summary.HasContent());
        summary.FillSummary("t", deviceWith({{"BAUD", "9600", "1"}}).Device(0), true);
        summary.ClearSummary();
        QVERIFY(!summary.HasContent());
        QVERIFY(summary.Lines().isEmpty());
        QCOMPARE(summary.windowTitle(), QStringLiteral("Summary - No Data To Show"));
    }

    void saveAsPdfWritesWhatIsShown()
    {
        TfrmSummary summary;
        summary.FillSummary("Summary of Device Settings",
                            deviceWith({{"BAUD", "19200", "1"}, {"ADDRESS", "Q", "1"}}).Device(0), true);
        summary.show();
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        dialogs.fileNames.enqueue(dir.filePath("summary.pdf"));
        QTest::mouseClick(summary.findChild<QPushButton *>("buSavePdf"), Qt::LeftButton);

        QCOMPARE(dialogs.boxes.size(), 1);
        QVERIFY(dialogs.boxes.at(0).text.endsWith("_summary.pdf"));
        QProcess text;
        text.start("pdftotext", {"-layout", dir.filePath("summary.pdf"), "-"});
        QVERIFY(text.waitForFinished(30000));
        const QString shown = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(shown.contains("BAUD : 19200") && shown.contains("ADDRESS : Q"), qPrintable(shown));
        QCOMPARE(summary.Printed().sections.value(0).lines, summary.Lines());
    }

    void anEmptySummaryOffersNoPdfAndAFailedSaveIsSaid()
    {
        TfrmSummary summary;
        summary.show();
        ScriptedDialogs dialogs;
        auto *save = summary.findChild<QPushButton *>("buSavePdf");
        QTest::mouseClick(save, Qt::LeftButton);
        QVERIFY(dialogs.boxes.isEmpty());

        summary.FillSummary("t", deviceWith({{"BAUD", "9600", "1"}}).Device(0), true);
        dialogs.fileNames.enqueue("/no/such/folder/summary.pdf");
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(dialogs.boxes.size(), 2);
        QCOMPARE(dialogs.boxes.at(1).caption, QStringLiteral("ERROR"));
        QVERIFY(dialogs.boxes.at(1).text.startsWith("Unable to save the PDF\n"));
        QVERIFY(!QFileInfo::exists("/no/such/folder/summary.pdf"));
    }
};

QTEST_MAIN(TestSummary)
#include "tst_summary.moc"
