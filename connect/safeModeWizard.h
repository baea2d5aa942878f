#pragma once
#include <QObject>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QWidget;
class TfrmCommsInit;

// The connection dialog's safe-mode tab: a wizard for a sensor that does not
// answer at its configured settings. It opens the port at 4800 baud, has the
// user switch the sensor off and on (skipped with "Use Dongle"), sends "*"
// until the sensor answers, then runs the unit query at 4800 baud.
//
// The port is held by the dialog's scanner from step 1 to the end of the
// probe; found sensors land in the dialog's list and its close timer closes
// it. UI thread only; the probe loop runs inside a button event and hears
// its Abort button (the scanner's cancel) through the event pumping of each
// pass.
class TSafeModeWizard : public QObject
{
    Q_OBJECT
public:
    TSafeModeWizard(TfrmCommsInit &dialog, QWidget *tab);

    // Back to the first page; a port held since step 1 is let go.
    void Restart();

    void buSafeModeBeginClick();
    void buSafeModeStep2Click(); // step 1's Next
    void buSafeModeStep3Click(); // step 2's Next
    void buSafeModeStep2CancelClick();
    void buSafeModeAbortClick();
    void buSafeModeStep4Click();
    void buSafeModeStep4CancelClick();
    void buSafeModeStep4AbortClick();

    bool SafeModeOpen(bool dongle);
    void SafeModeWait(bool dongle);

    bool ProbeLoopRunning() const;

    QStackedWidget *pgctrlSafeMode = nullptr;
    QWidget *tsSafeMode_Begin = nullptr;
    QWidget *tsSafeMode_Step1 = nullptr;
    QWidget *tsSafeMode_Step2 = nullptr;
    QWidget *tsSafeMode_Step3 = nullptr;
    QWidget *tsSafeMode_Step4 = nullptr;
    QPushButton *buSafeModeBegin = nullptr;
    QLineEdit *edCommPortSM = nullptr;
    QCheckBox *cbUseDongle = nullptr;
    QPushButton *buSafeModeStep2 = nullptr;
    QPushButton *buSafeModeStep3 = nullptr;
    QPushButton *buSafeModeStep2Cancel = nullptr;
    QProgressBar *pbSafeMode = nullptr;
    QPushButton *buSafeModeAbort = nullptr;
    QLabel *Label5 = nullptr;
    QPushButton *buSafeModeStep4 = nullptr;
    QPushButton *buSafeModeStep4Cancel = nullptr;
    // Stops the dongle path's probe loop, which runs while step 4 is shown.
    QPushButton *buSafeModeStep4Abort = nullptr;

private:
    QWidget *buildPage(const QString &title, const QStringList &lines);
    void buildBegin();
    void buildStep1();
    void buildStep2();
    void buildStep3();
    void buildStep4();
    void ShowStep4Idle();

    TfrmCommsInit &dialog;
    bool probingDongle = false; // the dongle path stays on step 4 while probing
};
