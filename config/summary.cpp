#include "config/summary.h"

#include "base/fileNames.h"
#include "base/translate.h"
#include "engine/summaryLines.h"
#include "reports/printedReport.h"
#include "ui/dialogs.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmSummary::TfrmSummary(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSummary"));
    resize(514, 566);
    memo = new QPlainTextEdit;
    memo->setObjectName(QStringLiteral("Memo1"));
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont fixed(QStringLiteral("Courier New"));
    fixed.setStyleHint(QFont::Monospace);
    fixed.setPixelSize(11);
    memo->setFont(fixed);
    auto *close = new QPushButton(T(QStringLiteral("CLOSE")));
    close->setObjectName(QStringLiteral("buClose"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    savePdf = new QPushButton(T(QStringLiteral("Save as PDF...")));
    savePdf->setObjectName(QStringLiteral("buSavePdf"));
    connect(savePdf, &QPushButton::clicked, this, &TfrmSummary::SaveAsPdf);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(savePdf);
    buttons->addWidget(close);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(memo, 1);
    layout->addLayout(buttons);
    ClearSummary();
}

void TfrmSummary::FillSummary(const QString &title, const IXMLdeviceType &device, bool listProblems)
{
    setWindowTitle(title);
    lines = SummaryLines(device, listProblems);
    memo->setPlainText(lines.join(QLatin1Char('\n')));
    productName = device.Name();
    filledAt = QDateTime::currentDateTimeUtc();
    hasContent = true;
    savePdf->setEnabled(true);
}

void TfrmSummary::ClearSummary()
{
    setWindowTitle(T(QStringLiteral("Summary - No Data To Show")));
    lines.clear();
    memo->clear();
    productName.clear();
    hasContent = false;
    savePdf->setEnabled(false);
}

PrintedReport TfrmSummary::Printed() const
{
    PrintedReport report;
    report.title = windowTitle();
    report.subtitle = productName + QStringLiteral(", ") + filledAt.toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"));
    ReportSection settings;
    settings.lines = lines;
    report.sections = {settings};
    return report;
}

void TfrmSummary::SaveAsPdf()
{
    FileDialogRequest request;
    request.caption = T(QStringLiteral("Save as PDF"));
    request.filter = T(QStringLiteral("PDF Files (*.pdf);;All Files (*)"));
    request.defaultSuffix = QStringLiteral("pdf");
    request.fileName = SuggestedSettingsFileName(productName, QString(), filledAt.date(), QStringLiteral("summary")) +
                       QStringLiteral(".pdf");
    const QString path = Dialogs().SaveFileName(request);
    if (path.isEmpty())
        return;
    QString error;
    if (!WriteReportPdf(Printed(), path, &error))
        Dialogs().Message(T(QStringLiteral("Unable to save the PDF")) + QLatin1Char('\n') + error, T(QStringLiteral("ERROR")));
}
