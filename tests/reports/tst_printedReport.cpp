// The PDF and the text of a printed report say the same thing, survive
// awkward text, and replace a file only when complete.
#include "reports/printedReport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
PrintedReport Sample()
{
    PrintedReport report;
    report.title = QStringLiteral("Configuration certificate");
    report.subtitle = QStringLiteral("Issued 2026-12-10 08:00 UTC");
    ReportSection unit;
    unit.heading = QStringLiteral("Unit");
    unit.rows = {{QStringLiteral("Serial number"), QStringLiteral("12345")},
                 {QStringLiteral("Operator"), QStringLiteral("Łukasz Wróbel <field> & co")}};
    ReportSection settings;
    settings.heading = QStringLiteral("Settings");
    settings.lines = {QStringLiteral("    ADDRESS : Q"), QStringLiteral("    UNITS : MS")};
    report.sections = {unit, settings};
    return report;
}

// The text a PDF shows, as pdftotext (poppler-utils) extracts it, with
// ligatures (the font draws "fi" as one glyph) spelled out.
QString PdfText(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("<pdftotext failed: %1>").arg(process.errorString());
    return QString::fromUtf8(process.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
}

int PdfPages(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {path});
    process.waitForFinished(30000);
    const QString info = QString::fromUtf8(process.readAllStandardOutput());
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}
} // namespace

class tst_printedReport : public QObject
{
    Q_OBJECT
private slots:
    void textAlignsNamesAndKeepsLines()
    {
        const QStringList lines = ReportText(Sample()).split(QLatin1Char('\n'));
        QCOMPARE(lines.at(0), QStringLiteral("Configuration certificate"));
        QCOMPARE(lines.at(1), QString(25, QLatin1Char('=')));
        QVERIFY(lines.contains(QStringLiteral("Serial number: 12345")));
        QVERIFY(lines.contains(QStringLiteral("Operator:      Łukasz Wróbel <field> & co")));
        QVERIFY(lines.contains(QStringLiteral("    ADDRESS : Q")));
        QVERIFY(lines.indexOf(QStringLiteral("Settings")) < lines.indexOf(QStringLiteral("    UNITS : MS")));
    }

    void pdfShowsWhatTheTextSays()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("unit.pdf"));
        QString error;
        QVERIFY2(WriteReportPdf(Sample(), path, &error), qPrintable(error));
        const QString text = PdfText(path);
        for (const char *shown : {"Configuration certificate", "12345", "Łukasz Wróbel <field> & co", "ADDRESS : Q"})
            QVERIFY2(text.contains(QString::fromUtf8(shown)), qPrintable(QString::fromUtf8(shown) + " not in:\n" + text));
    }

    void aLongReportRunsOverPages()
    {
        PrintedReport report = Sample();
        for (int i = 0; i < 300; ++i)
            report.sections[1].lines << QStringLiteral("    CMD%1 : %1").arg(i);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("long.pdf"));
        QVERIFY(WriteReportPdf(report, path));
        QVERIFY(PdfPages(path) >= 3);
        const QString text = PdfText(path);
        QVERIFY(text.contains(QStringLiteral("CMD0 : 0")));
        QVERIFY(text.contains(QStringLiteral("CMD299 : 299")));
    }

    void aFailedWriteLeavesTheOldFile()
    {
        QTemporaryDir dir;
        QString error;
        QVERIFY(!WriteReportPdf(Sample(), dir.filePath(QStringLiteral("no/such/folder/unit.pdf")), &error));
        QVERIFY(error.contains(QStringLiteral("no/such/folder")));

        // A folder where the file should go is refused and left as it is.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken.txt")));
        QVERIFY(!WriteReportText(Sample(), dir.filePath(QStringLiteral("taken.txt")), &error));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("taken.txt"))).isDir());

        const QString old = dir.filePath(QStringLiteral("unit.txt"));
        QFile file(old);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old certificate\n");
        file.close();
        QVERIFY(WriteReportText(Sample(), old, &error));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), ReportText(Sample()));
    }
};

QTEST_MAIN(tst_printedReport)
#include "tst_printedReport.moc"
