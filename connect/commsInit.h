#pragma once
#include "serial/comPortUtils.h"
#include "serial/comms.h"
#include "workflows/portScanner.h"

#include <QDialog>
#include <QList>
#include <QStringList>
#include <QTimer>
#include <memory>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QWidget;
class TfrmGuiSettings;
class TPortDoctorView;
class TSafeModeWizard;

// The connection dialog: shows the port scanner's scan as soon as it is
// shown, and after a fruitless scan offers a manual try and the safe-mode
// wizard. The scanner opens and releases a link for each attempt; the main
// window gets only the records (FoundDevices) and opens its own link.
//
// UI thread only. The work runs inside UI events and stays responsive through
// the link's event pumping; `busy` keeps a second scan, a try, a wizard
// attempt or a close out while one runs; Abort cancels the scanner.
class TfrmCommsInit : public QDialog
{
    Q_OBJECT
public:
    static constexpr int safeModeBaudCode = PortScanner::safeModeBaudCode;

    // Timing of one attempt: the link's delays and the wait after opening.
    struct Delays {
        int responseTimeout = 0;
        int interCharDelay = 20;
        int settle = 5000;
    };

    explicit TfrmCommsInit(TfrmGuiSettings *guiSettings, QWidget *parent = nullptr);
    ~TfrmCommsInit() override;

    // The accessor to read and store from now on (the main window may replace its own).
    void SetGuiSettings(TfrmGuiSettings *guiSettings) { m_guiSettings = guiSettings; }
    // Where every scan lists the ports; the default is the system's list.
    void SetPortSource(ComPortSource source) { scanner.SetPortSource(std::move(source)); }

    // The sensors found by the last scan, try or wizard attempt.
    const QList<aDeviceCommsInfo> &FoundDevices() const { return foundDevices; }
    bool Busy() const { return busy; }
    bool ScanAborted() const { return scanner.Cancelled(); }
    // The link of the attempt in progress; nullptr between attempts.
    const TComms *CurrentLink() const { return scanner.CurrentLink(); }
    const QStringList &PortNames() const { return portNames; }
    const QStringList &PortStatus() const { return portStatus; }
    // The scan, tries and safe-mode probe this dialog shows.
    PortScanner &Scanner() { return scanner; }

    // Toolkit events.
    void FormShow();
    void FormActivate();
    void buScanClick();
    void buCloseClick();
    void tmrCloseTimer();
    void buTryClick();
    void PageControl1Change(int index);
    // Refused while busy; otherwise stores the manual choice and closes.
    void done(int result) override;

    void RunScan();
    static int PortIndexFromName(const QString &name) { return PortScanner::PortIndexFromName(name); }
    // A 1-based port number typed by the user as a 0-based index; -1 when
    // the text is no number or the number is below 1.
    static int PortIndexFromField(const QString &text);

    Delays ReadDelays() const;
    // Gives the scanner the timing and first port of the settings.
    void PrepareScanner();

    void ClearFoundDevices();
    void AddFoundDevice(const aDeviceCommsInfo &record);
    // Marks the dialog busy for a try or wizard attempt (a scan does its own).
    void BeginWork();
    void EndWork();

    // Texts looked up when the dialog is shown.
    struct Texts {
        QString connection, scanning, abort, scan, status, manualSetup, safeMode, selectPortPrompt, tryText, close,
            scanAborted, scanComplete, found, noSensorFound, invalidComNum, failedToOpenPort, notScanned;
    };
    const Texts &Captions() const { return texts; }

    QGroupBox *gbProgress = nullptr;
    QPushButton *buScan = nullptr;
    QProgressBar *pb1 = nullptr;
    QTabWidget *PageControl1 = nullptr;
    QWidget *tabStatus = nullptr;
    QListWidget *lbPorts = nullptr;
    QWidget *tabManual = nullptr;
    QGroupBox *gbPortSettings = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *edComPort = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *cbBaud = nullptr;
    QPushButton *buTry = nullptr;
    QPlainTextEdit *Memo2 = nullptr;
    QWidget *tsSafeMode = nullptr;
    QPushButton *buClose = nullptr;
    QFrame *paFooter = nullptr;
    QTimer tmrClose;
    TSafeModeWizard *safeMode = nullptr;
    TPortDoctorView *gbDoctor = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildLayout();
    QWidget *buildStatusTab();
    QWidget *buildManualTab();
    void LookUpTexts();
    void FillManualTab();
    void SaveManualTab();
    void ConnectScanner();
    void ShowPortList(const QStringList &names);
    void RefreshPortList();
    void ShowPortStatus(int position, const ScannedPort &status);
    void ShowProgress(int step, int steps);
    void FinishScan();
    void ShowTryResult(const ScanResult &result);
    // Why the ports could not be used, below the tabs; the dialog grows to show it.
    void ShowDiagnosis(const QStringList &names);

    TfrmGuiSettings *m_guiSettings = nullptr;
    PortScanner scanner;
    QStringList portNames;
    QStringList portStatus;
    QList<aDeviceCommsInfo> foundDevices;
    bool busy = false;
    bool scannedThisShowing = false;
    Texts texts;
};
