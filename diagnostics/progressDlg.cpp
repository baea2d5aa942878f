#include "diagnostics/progressDlg.h"

#include "base/translate.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

TfrmProgressDlg::TfrmProgressDlg(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frmProgressDlg"));
    setWindowTitle(QString());
    setAutoFillBackground(true);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(198, 198, 198));
    setPalette(grey);

    Panel1 = new QLabel(T(QStringLiteral("Please wait")));
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setMinimumHeight(56);
    QFont large = Panel1->font();
    large.setPointSize(18);
    large.setBold(true);
    Panel1->setFont(large);

    ProgressBar1 = new QProgressBar;
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);

    buAbort = new QPushButton(T(QStringLiteral("ABORT")));
    buAbort->setObjectName(QStringLiteral("buAbort"));
    connect(buAbort, &QPushButton::clicked, this, &TfrmProgressDlg::buAbortClick);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(buAbort);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Panel1);
    layout->addWidget(ProgressBar1);
    layout->addLayout(buttons);
    setFixedWidth(360);
}

void TfrmProgressDlg::setMaximum(int maximum)
{
    ProgressBar1->setMaximum(maximum);
}

void TfrmProgressDlg::setPosition(int position)
{
    ProgressBar1->setValue(position);
}

int TfrmProgressDlg::maximum() const
{
    return ProgressBar1->maximum();
}

int TfrmProgressDlg::position() const
{
    return ProgressBar1->value();
}

void TfrmProgressDlg::buAbortClick()
{
    aborted = true;
    emit abortRequested();
}

void TfrmProgressDlg::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TfrmProgressDlg::hideEvent(QHideEvent *event)
{
    // A spontaneous hide is a minimise, not the end of the operation.
    if (!event->spontaneous())
        FormHide();
    QDialog::hideEvent(event);
}

void TfrmProgressDlg::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
    QDialog::changeEvent(event);
}

void TfrmProgressDlg::closeEvent(QCloseEvent *event)
{
    // The window manager's close (Alt+F4) would hide the Abort button while
    // the operation goes on; only the owner closes this dialog.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TfrmProgressDlg::keyPressEvent(QKeyEvent *event)
{
    // Escape would hide the dialog while its owner still works.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmProgressDlg::FormShow()
{
    bringMainWindowToFront();
    Panel1->setText(T(QStringLiteral("Please wait")));
    buAbort->setText(T(QStringLiteral("ABORT")));
}

void TfrmProgressDlg::FormActivate()
{
    bringMainWindowToFront();
}

void TfrmProgressDlg::FormHide()
{
    aborted = false;
}

void TfrmProgressDlg::bringMainWindowToFront()
{
    if (parentWidget() == nullptr)
        return;
    QWidget *mainWindow = parentWidget()->window();
    if (mainWindow->isHidden())
        mainWindow->show();
    mainWindow->raise();
    // The main window must not cover the dialog that reports on it.
    raise();
}
