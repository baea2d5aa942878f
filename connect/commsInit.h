#pragma once
#include "serial/comPortUtils.h"
#include "serial/comms.h"

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
class TfrmInterface;
class TSafeModeWizard;

// One sensor the connection dialog found; the main window copies the one it
// connects to.
struct aDeviceCommsInfo {
    qint32 baudCode = -1;  // baud code it answered at (0..9)
    qint32 portIndex = -1; // 0-based: COM1 is 0
    QString identity;      // the unit query's "ID:" line without "ID:"
    QString baudText;      // e.g. "19200"
    qint32 kind = 0;       // 1: identified by the unit query
};

// The connection dialog: scans the COM ports and baud rates for a sensor as
// soon as it is shown, and after a fruitless scan offers a manual try and the
// safe-mode wizard. Each scan, try or wizard attempt has a link and session of
// its own, released before the dialog closes; the main window gets only the
// records (FoundDevices) and opens its own link.
//
// UI thread only. The work runs inside UI events and stays responsive through
// the link's event pumping; `busy` keeps a second scan, a try, a wizard
// attempt or a close out while one runs.
class TfrmCommsInit : public QDialog
{
    Q_OBJECT
public:
    // Baud codes tried on each port, in this order: 19200, 4800, 9600, 38400, 57600.
    static constexpr int scanBaudCodes[5] = {6, 4, 5, 7, 8};
    static constexpr int safeModeBaudCode = 4; // 4800

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
    void SetPortSource(ComPortSource source) { m_portSource = std::move(source); }

    // The sensors found by the last scan, try or wizard attempt.
    const QList<aDeviceCommsInfo> &FoundDevices() const { return foundDevices; }
    bool Busy() const { return busy; }
    bool ScanAborted() const { return scanAbort; }
    // The link of the attempt in progress; nullptr between attempts.
    const TComms *CurrentLink() const { return comms.get(); }
    const QStringList &PortNames() const { return portNames; }
    const QStringList &PortStatus() const { return portStatus; }

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

    // The steps of a scan, shared with the manual try and the wizard.
    void RunScan();
    void ScanPorts();
    void BuildPortList();
    void RefreshPortList();
    bool OpenForTry(int index, int settle);
    void CloseAfterTry();
    bool TryBauds(aDeviceCommsInfo &record);
    bool TryBaud(aDeviceCommsInfo &record, int code);
    void ManualTry(int index);
    static int PortIndexFromName(const QString &name);
    // A 1-based port number typed by the user as a 0-based index; -1 when
    // the text is no number or the number is below 1.
    static int PortIndexFromField(const QString &text);

    // The attempt's link and session. CreateLink releases any earlier pair.
    Delays ReadDelays() const;
    TComms *CreateLink(const Delays &delays);
    TfrmInterface *CreateSession();
    void ReleaseLink();
    TComms *Link() { return comms.get(); }
    TfrmInterface *Session() { return session.get(); }

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

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildLayout();
    QWidget *buildStatusTab();
    QWidget *buildManualTab();
    void LookUpTexts();
    void FillManualTab();
    void SaveManualTab();
    void ScanPort(int position);
    void FinishScan();

    TfrmGuiSettings *m_guiSettings = nullptr;
    ComPortSource m_portSource;
    std::unique_ptr<TComms> comms;
    std::unique_ptr<TfrmInterface> session; // declared after the link, so released before it
    QStringList portNames;
    QStringList portStatus;
    QList<aDeviceCommsInfo> foundDevices;
    bool scanAbort = false;
    bool busy = false;
    bool scannedThisShowing = false;
    PortParams portParams{5, 0, 0, 8, 0, 0};
    Delays scanDelays;
    Texts texts;
};
