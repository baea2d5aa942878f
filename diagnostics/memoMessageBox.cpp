#include "diagnostics/memoMessageBox.h"

#include "base/translate.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmMemoMessageBox::TfrmMemoMessageBox(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmMemoMessageBox"));
    resize(480, 320);

    Memo1 = new QPlainTextEdit;
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    BitBtn1 = new QPushButton(T(QStringLiteral("OK")));
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(Memo1, 1);
    layout->addLayout(buttons);
}

void TfrmMemoMessageBox::ShowList(const QString &caption, const QString &header, const QStringList &list)
{
    Memo1->clear();
    setWindowTitle(caption);
    Memo1->appendPlainText(header);
    for (const QString &entry : list)
        Memo1->appendPlainText(entry);
    Memo1->moveCursor(QTextCursor::Start);
}
