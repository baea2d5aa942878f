#include "connect/safeModeWizard.h"

#include "base/log.h"
#include "base/translate.h"
#include "connect/commsInit.h"
#include "device/interface.h"
#include "ui/dialogs.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace
{
constexpr int pauseBeforeProbeMs = 1000;
const char *const step4Prompt = "Press Next to automatically enter SAFE mode";

QPushButton *addButton(QLayout *layout, const QString &caption, const char *name)
{
    auto *button = new QPushButton(caption);
    button->setObjectName(QString::fromLatin1(name));
    layout->addWidget(button);
    return button;
}
} // namespace

TSafeModeWizard::TSafeModeWizard(TfrmCommsInit &dialog, QWidget *tab) : QObject(tab), dialog(dialog)
{
    auto *layout = new QVBoxLayout(tab);
    pgctrlSafeMode = new QStackedWidget(tab);
    layout->addWidget(pgctrlSafeMode);
    buildBegin();
    buildStep1();
    buildStep2();
    buildStep3();
    buildStep4();
    pgctrlSafeMode->setCurrentWidget(tsSafeMode_Begin);
    PortScanner &scanner = dialog.Scanner();
    connect(&scanner, &PortScanner::probePass, pbSafeMode, &QProgressBar::setValue);
    connect(&scanner, &PortScanner::safeModeProbeStarted, this, [this] {
        if (!probingDongle)
            pgctrlSafeMode->setCurrentWidget(tsSafeMode_Step3);
    });
}

QWidget *TSafeModeWizard::buildPage(const QString &title, const QStringList &lines)
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *heading = new QLabel(title, page);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);
    for (const QString &line : lines) {
        auto *label = new QLabel(line, page);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    pgctrlSafeMode->addWidget(page);
    return page;
}

void TSafeModeWizard::buildBegin()
{
    tsSafeMode_Begin =
        buildPage(QStringLiteral("SAFE MODE connection"),
                  {QStringLiteral("Safe Mode can be used to attempt connection if a device is not "
                                  "responding."),
                   QStringLiteral("Ensure the device is wired for RS232 communications and press NEXT. ")});
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buSafeModeBegin = addButton(buttons, QStringLiteral("Next"), "buSafeModeBegin");
    static_cast<QVBoxLayout *>(tsSafeMode_Begin->layout())->addLayout(buttons);
    connect(buSafeModeBegin, &QPushButton::clicked, this, &TSafeModeWizard::buSafeModeBeginClick);
}

void TSafeModeWizard::buildStep1()
{
    tsSafeMode_Step1 =
        buildPage(QStringLiteral("SAFE MODE: STEP 1"), {QStringLiteral("Enter the COM port number then press Next")});
    auto *portRow = new QHBoxLayout;
    portRow->addWidget(new QLabel(QStringLiteral("My Device is on COM"), tsSafeMode_Step1));
    edCommPortSM = new QLineEdit(QStringLiteral("1"), tsSafeMode_Step1);
    edCommPortSM->setObjectName(QStringLiteral("edCommPortSM"));
    edCommPortSM->setMaximumWidth(60);
    portRow->addWidget(edCommPortSM);
    portRow->addStretch();
    cbUseDongle = new QCheckBox(QStringLiteral("Use Dongle"), tsSafeMode_Step1);
    cbUseDongle->setObjectName(QStringLiteral("cbUseDongle"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buSafeModeStep2 = addButton(buttons, QStringLiteral("Next"), "buSafeModeStep2");
    auto *layout = static_cast<QVBoxLayout *>(tsSafeMode_Step1->layout());
    layout->addLayout(portRow);
    layout->addWidget(cbUseDongle);
    layout->addLayout(buttons);
    connect(buSafeModeStep2, &QPushButton::clicked, this, &TSafeModeWizard::buSafeModeStep2Click);
}

void TSafeModeWizard::buildStep2()
{
    tsSafeMode_Step2 =
        buildPage(QStringLiteral("SAFE MODE: STEP 2"), {QStringLiteral("Switch power to device OFF  then press Next")});
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buSafeModeStep3 = addButton(buttons, QStringLiteral("Next"), "buSafeModeStep3");
    buSafeModeStep2Cancel = addButton(buttons, QStringLiteral("Cancel"), "buSafeModeStep2Cancel");
    static_cast<QVBoxLayout *>(tsSafeMode_Step2->layout())->addLayout(buttons);
    connect(buSafeModeStep3, &QPushButton::clicked, this, &TSafeModeWizard::buSafeModeStep3Click);
    connect(buSafeModeStep2Cancel, &QPushButton::clicked, this, &TSafeModeWizard::buSafeModeStep2CancelClick);
}

void TSafeModeWizard::buildStep3()
{
    tsSafeMode_Step3 = buildPage(QStringLiteral("SAFE MODE: STEP 3"), {QStringLiteral("Switch power to device ON")});
    pbSafeMode = new QProgressBar(tsSafeMode_Step3);
    pbSafeMode->setRange(0, PortScanner::safeModeProbeSteps);
    pbSafeMode->setTextVisible(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buSafeModeAbort = addButton(buttons, QStringLiteral("Abort"), "buSafeModeAbort");
    auto *layout = static_cast<QVBoxLayout *>(tsSafeMode_Step3->layout());
    layout->addWidget(pbSafeMode);
    layout->addLayout(buttons);
    connect(buSafeModeAbort, &QPushButton::clicked, this, &TSafeModeWizard::buSafeModeAbortClick);
}

void TSafeModeWizard::buildStep4()
{
    tsSafeMode_Step4 = buildPage(QStringLiteral("SAFE MODE"), {});
    Label5 = new QLabel(tsSafeMode_Step4);
    Label5->setObjectName(QStringLiteral("Label5"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buSafeModeStep4 = addButton(buttons, QStringLiteral("Next"), "buSafeModeStep4");
    buSafeModeStep4Cancel = addButton(buttons, QStringLiteral("Cancel"), "buSafeModeStep4Cancel");
    buSafeModeStep4Abort = addButton(buttons, QStringLiteral("Abort"), "buSafeModeStep4Abort");
    auto *layout = static_cast<QVBoxLayout *>(tsSafeMode_Step4->layout());
    layout->addWidget(Label5);
    layout->addLayout(buttons);
    connect(buSafeModeStep4, &QPushButton::clicked, this, &TSafeModeWizard::buSafeModeStep4Click);
    connect(buSafeModeStep4Cancel, &QPushButton::clicked, this, &TSafeModeWizard::buSafeModeStep4CancelClick);
    connect(buSafeModeStep4Abort, &QPushButton::clicked, this, &TSafeModeWizard::buSafeModeStep4AbortClick);
    ShowStep4Idle();
}

void TSafeModeWizard::ShowStep4Idle()
{
    Label5->setText(QString::fromLatin1(step4Prompt));
    buSafeModeStep4->setVisible(true);
    buSafeModeStep4Cancel->setVisible(true);
    buSafeModeStep4Abort->setVisible(false);
}

// ---------------------------------------------------------------- the steps

void TSafeModeWizard::Restart()
{
    if (dialog.Busy())
        return;
    dialog.Scanner().ReleasePort();
    ShowStep4Idle();
    pgctrlSafeMode->setCurrentWidget(tsSafeMode_Begin);
}

void TSafeModeWizard::buSafeModeBeginClick()
{
    if (!dialog.Busy())
        pgctrlSafeMode->setCurrentWidget(tsSafeMode_Step1);
}

void TSafeModeWizard::buSafeModeStep2Click()
{
    if (dialog.Busy())
        return;
    if (cbUseDongle->isChecked()) {
        pgctrlSafeMode->setCurrentWidget(tsSafeMode_Step4);
        return;
    }
    dialog.BeginWork();
    SafeModeOpen(false);
    dialog.EndWork();
}

void TSafeModeWizard::buSafeModeStep3Click()
{
    if (!dialog.Busy())
        SafeModeWait(false);
}

void TSafeModeWizard::buSafeModeStep2CancelClick()
{
    if (dialog.Busy())
        return;
    dialog.Scanner().ReleasePort();
    pgctrlSafeMode->setCurrentWidget(tsSafeMode_Begin);
}

void TSafeModeWizard::buSafeModeAbortClick()
{
    dialog.Scanner().Cancel();
}

void TSafeModeWizard::buSafeModeStep4AbortClick()
{
    dialog.Scanner().Cancel();
}

void TSafeModeWizard::buSafeModeStep4Click()
{
    if (dialog.Busy())
        return;
    Label5->setText(QStringLiteral("Attempting reconnection..."));
    buSafeModeStep4->setVisible(false);
    buSafeModeStep4Cancel->setVisible(false);
    buSafeModeStep4Abort->setVisible(true);
    dialog.BeginWork();
    const bool opened = SafeModeOpen(true);
    dialog.EndWork();
    if (opened)
        SafeModeWait(true);
    // Next, Cancel and the prompt come back after every attempt, so a failed
    // one can be retried from here.
    ShowStep4Idle();
}

void TSafeModeWizard::buSafeModeStep4CancelClick()
{
    if (!dialog.Busy())
        pgctrlSafeMode->setCurrentWidget(tsSafeMode_Begin);
}

bool TSafeModeWizard::SafeModeOpen(bool dongle)
{
    dialog.ClearFoundDevices();
    dialog.PrepareScanner();
    const ScanResult opened = dialog.Scanner().OpenSafeMode(TfrmCommsInit::PortIndexFromField(edCommPortSM->text()));
    if (opened.outcome == ScanOutcome::InvalidPort || opened.outcome == ScanOutcome::PortNotOpened) {
        Dialogs().Message(opened.outcome == ScanOutcome::InvalidPort ? dialog.Captions().invalidComNum
                                                                     : dialog.Captions().failedToOpenPort,
                          T(QStringLiteral("ERROR")));
        return false;
    }
    if (!dongle)
        pgctrlSafeMode->setCurrentWidget(tsSafeMode_Step2);
    return true;
}

void TSafeModeWizard::SafeModeWait(bool dongle)
{
    // A scan or manual try since step 1 has taken the port over.
    if (!dialog.Scanner().HoldsSafeModePort()) {
        Restart();
        return;
    }
    dialog.BeginWork();
    probingDongle = dongle;
    const ScanResult result = dialog.Scanner().ProbeSafeMode(pauseBeforeProbeMs);
    if (result.outcome == ScanOutcome::DeviceLost)
        Dialogs().Message(T(QStringLiteral("Connection Error")), T(QStringLiteral("ERROR")));
    dialog.EndWork();
    if (result.outcome == ScanOutcome::Found) {
        dialog.tmrClose.start();
    } else {
        ShowStep4Idle();
        pgctrlSafeMode->setCurrentWidget(tsSafeMode_Begin);
    }
}

bool TSafeModeWizard::ProbeLoopRunning() const
{
    return dialog.Scanner().Probing();
}
