#include "diagnostics/OutputWin.h"

#include "base/translate.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

TfrmOutput::TfrmOutput(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmOutput"));
    setWindowTitle(T(QStringLiteral("Terminal Output")));
    resize(640, 420);

    memoTerminal = new QPlainTextEdit;
    memoTerminal->setObjectName(QStringLiteral("memoTerminal"));
    memoTerminal->setReadOnly(true);
    memoTerminal->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoTerminal->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoTerminal->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoTerminal->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    memoTerminal->setMaximumBlockCount(kMaxLines);

    BitBtn1 = new QPushButton(T(QStringLiteral("Close")));
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(memoTerminal, 1);
    layout->addLayout(buttons);
}

void TfrmOutput::AppendLine(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && (text[end - 1] == QLatin1Char('\r') || text[end - 1] == QLatin1Char('\n')))
        --end;
    memoTerminal->appendPlainText(text.left(end));
    QScrollBar *bar = memoTerminal->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void TfrmOutput::showEvent(QShowEvent *event)
{
    // A restore from minimised is not a new viewing.
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TfrmOutput::FormShow()
{
    memoTerminal->clear();
}
