#include "app/debugWin.h"

#include "base/log.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmDebugWin::TfrmDebugWin(QWidget *parent) : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("frmDebugWin"));
    setWindowTitle(QStringLiteral("Debug Data"));
    resize(560, 420);

    Memo1 = new QPlainTextEdit;
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 9));

    cbEnabled = new QCheckBox(QStringLiteral("Enabled"));
    cbEnabled->setObjectName(QStringLiteral("cbEnabled"));
    auto *clear = new QPushButton(QStringLiteral("Clear"));
    clear->setObjectName(QStringLiteral("Clear"));
    connect(clear, &QPushButton::clicked, Memo1, &QPlainTextEdit::clear);

    auto *controls = new QHBoxLayout;
    controls->addWidget(cbEnabled);
    controls->addStretch();
    controls->addWidget(clear);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Memo1);
    layout->addLayout(controls);

    SetLogSink([this](const QString &text) { append(text); });
}

TfrmDebugWin::~TfrmDebugWin()
{
    SetLogSink({});
}

void TfrmDebugWin::append(const QString &text)
{
    if (cbEnabled->isChecked())
        Memo1->appendPlainText(text);
}
