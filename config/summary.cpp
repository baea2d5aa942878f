#include "config/summary.h"

#include "base/translate.h"
#include "engine/summaryLines.h"

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
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
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
    hasContent = true;
}

void TfrmSummary::ClearSummary()
{
    setWindowTitle(T(QStringLiteral("Summary - No Data To Show")));
    lines.clear();
    memo->clear();
    hasContent = false;
}
