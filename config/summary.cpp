#include "config/summary.h"

#include "base/translate.h"

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

QStringList TfrmSummary::ParamLines(const IXMLdeviceType &device, int valid, bool withValues)
{
    QStringList result;
    for (int c = 0; c < device.Count(); ++c) {
        const IXMLcategoryType category = device.Category(c);
        for (int p = 0; p < category.Count(); ++p) {
            const IXMLparamType param = category.Param(p);
            bool readable = false;
            // A param without a readable valid flag is neither failed nor read.
            if (param.Valid(&readable) != valid || !readable)
                continue;
            QString line = QStringLiteral("    ") + param.Cmd();
            if (withValues)
                line += QStringLiteral(" : ") + param.Valuestring();
            result << line;
        }
    }
    return result;
}

void TfrmSummary::FillSummary(const QString &title, const IXMLdeviceType &device, bool listProblems)
{
    setWindowTitle(title);
    lines.clear();
    const QStringList problems = listProblems ? ParamLines(device, 0, false) : QStringList();
    if (!problems.isEmpty())
        lines << T(QStringLiteral("PROBLEMS WERE ENCOUNTERED WITH THE FOLLOWING COMMANDS:")) << QString() << problems
              << QString();
    lines << T(QStringLiteral("SETTINGS ARE AS FOLLOWS:")) << QString();
    lines << ParamLines(device, 1, true);
    lines << QString() << T(QStringLiteral("  Note changes to ANEM, BAUD, COMMS or PROTOCOL settings"))
          << T(QStringLiteral("  will take place after next power-up.")) << QString();
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
