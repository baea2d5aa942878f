#include "connect/commsInit.h"

#include "base/log.h"
#include "base/translate.h"
#include "connect/portDoctorView.h"
#include "connect/safeModeWizard.h"
#include "settings/guiSettings.h"
#include "ui/dialogs.h"
#include "workflows/programSetup.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

namespace
{
constexpr int closeDelayMs = 1000;
constexpr int defaultFirstTryPort = 1;
constexpr int defaultManualComport = 1;
constexpr int defaultManualBaudRate = 6; // outside the list: nothing preselected
constexpr int manualBaudCodeOffset = 4;  // list position p is baud code p + 4
constexpr int diagnosisWidth = 640;      // room for the diagnosis' commands
constexpr int diagnosisHeight = 660;
} // namespace

TfrmCommsInit::TfrmCommsInit(TfrmGuiSettings *guiSettings, QWidget *parent)
    : QDialog(parent), m_guiSettings(guiSettings)
{
    setObjectName(QStringLiteral("frmCommsInit"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(true);
    buildLayout();
    tmrClose.setInterval(closeDelayMs);
    connect(&tmrClose, &QTimer::timeout, this, &TfrmCommsInit::tmrCloseTimer);
    ConnectScanner();
}

void TfrmCommsInit::ConnectScanner()
{
    connect(&scanner, &PortScanner::portsListed, this, &TfrmCommsInit::ShowPortList);
    connect(&scanner, &PortScanner::portStarted, this, [this](int, const QString &name) {
        gbProgress->setTitle(texts.scanning + QLatin1Char(' ') + name + QStringLiteral("..."));
    });
    connect(&scanner, &PortScanner::portStatusChanged, this, &TfrmCommsInit::ShowPortStatus);
    connect(&scanner, &PortScanner::progress, this, &TfrmCommsInit::ShowProgress);
    connect(&scanner, &PortScanner::found, this, &TfrmCommsInit::AddFoundDevice);
}

TfrmCommsInit::~TfrmCommsInit() = default;

// ---------------------------------------------------------------- layout

void TfrmCommsInit::buildLayout()
{
    auto *layout = new QVBoxLayout(this);

    gbProgress = new QGroupBox(QStringLiteral("Scanning..."), this);
    auto *progressLayout = new QHBoxLayout(gbProgress);
    buScan = new QPushButton(gbProgress);
    buScan->setObjectName(QStringLiteral("buScan"));
    pb1 = new QProgressBar(gbProgress);
    pb1->setRange(0, PortScanner::scanRateCount);
    pb1->setTextVisible(false);
    progressLayout->addWidget(buScan);
    progressLayout->addWidget(pb1, 1);
    layout->addWidget(gbProgress);

    PageControl1 = new QTabWidget(this);
    PageControl1->setDocumentMode(true);
    PageControl1->addTab(buildStatusTab(), QString());
    PageControl1->addTab(buildManualTab(), QString());
    tsSafeMode = new QWidget(PageControl1);
    safeMode = new TSafeModeWizard(*this, tsSafeMode);
    PageControl1->addTab(tsSafeMode, QString());
    PageControl1->setEnabled(false);
    layout->addWidget(PageControl1, 1);
    gbDoctor = new TPortDoctorView(this);
    layout->addWidget(gbDoctor, 1);

    buClose = new QPushButton(this);
    buClose->setObjectName(QStringLiteral("buClose"));
    layout->addWidget(buClose, 0, Qt::AlignRight);

    paFooter = new QFrame(this);
    paFooter->setFrameShape(QFrame::StyledPanel);
    paFooter->setMinimumHeight(12);
    paFooter->setStyleSheet(QStringLiteral("background: qlineargradient(x1:0, y1:0, x2:1, y2:0, "
                                           "stop:0 #1d4f7a, stop:1 #8fc1e3);"));
    layout->addWidget(paFooter);

    connect(buScan, &QPushButton::clicked, this, &TfrmCommsInit::buScanClick);
    connect(buClose, &QPushButton::clicked, this, &TfrmCommsInit::buCloseClick);
    connect(buTry, &QPushButton::clicked, this, &TfrmCommsInit::buTryClick);
    connect(PageControl1, &QTabWidget::currentChanged, this, &TfrmCommsInit::PageControl1Change);
    resize(460, 420);
}

QWidget *TfrmCommsInit::buildStatusTab()
{
    tabStatus = new QWidget;
    auto *layout = new QVBoxLayout(tabStatus);
    lbPorts = new QListWidget(tabStatus);
    lbPorts->setObjectName(QStringLiteral("lbPorts"));
    layout->addWidget(lbPorts);
    return tabStatus;
}

QWidget *TfrmCommsInit::buildManualTab()
{
    tabManual = new QWidget;
    auto *layout = new QVBoxLayout(tabManual);
    gbPortSettings = new QGroupBox(tabManual);
    auto *fields = new QHBoxLayout(gbPortSettings);
    Label1 = new QLabel(QStringLiteral("COM port"), gbPortSettings);
    edComPort = new QLineEdit(gbPortSettings);
    edComPort->setObjectName(QStringLiteral("edComPort"));
    edComPort->setMaximumWidth(60);
    Label2 = new QLabel(QStringLiteral("Baud Rate"), gbPortSettings);
    cbBaud = new QComboBox(gbPortSettings);
    cbBaud->setObjectName(QStringLiteral("cbBaud"));
    buTry = new QPushButton(gbPortSettings);
    buTry->setObjectName(QStringLiteral("buTry"));
    fields->addWidget(Label1);
    fields->addWidget(edComPort);
    fields->addWidget(Label2);
    fields->addWidget(cbBaud);
    fields->addWidget(buTry);
    layout->addWidget(gbPortSettings);
    Memo2 = new QPlainTextEdit(tabManual);
    Memo2->setObjectName(QStringLiteral("Memo2"));
    Memo2->setReadOnly(true);
    layout->addWidget(Memo2, 1);
    return tabManual;
}

// ---------------------------------------------------------------- showing and closing

void TfrmCommsInit::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    FormShow();
    // The scan runs from the event loop, once the dialog is on screen.
    scannedThisShowing = false;
    QMetaObject::invokeMethod(this, &TfrmCommsInit::FormActivate, Qt::QueuedConnection);
}

void TfrmCommsInit::LookUpTexts()
{
    texts.connection = T(QStringLiteral("Connection"));
    texts.scanning = T(QStringLiteral("SCANNING"));
    texts.abort = T(QStringLiteral("ABORT"));
    texts.scan = T(QStringLiteral("SCAN"));
    texts.status = T(QStringLiteral("STATUS"));
    texts.manualSetup = T(QStringLiteral("MANUAL_SETUP"));
    texts.safeMode = T(QStringLiteral("SAFE_MODE"));
    texts.selectPortPrompt = T(QStringLiteral("SELECT_PORT_SETTINGS_PROMPT"));
    texts.tryText = T(QStringLiteral("TRY"));
    texts.close = T(QStringLiteral("CLOSE"));
    texts.scanAborted = T(QStringLiteral("SCAN_ABORTED"));
    texts.scanComplete = T(QStringLiteral("SCAN_COMPLETE"));
    texts.found = T(QStringLiteral("FOUND"));
    texts.noSensorFound = T(QStringLiteral("NO_SENSOR_FOUND"));
    texts.invalidComNum = T(QStringLiteral("INVALID_COM_NUM"));
    texts.failedToOpenPort = T(QStringLiteral("FAILED_TO_OPEN_PORT"));
    texts.notScanned = T(QStringLiteral("NOT_SCANNED"));
}

void TfrmCommsInit::FormShow()
{
    LookUpTexts();
    setWindowTitle(texts.connection);
    buScan->setText(scanner.Scanning() && !scanner.Cancelled() ? texts.abort : texts.scan);
    PageControl1->setTabText(PageControl1->indexOf(tabStatus), texts.status);
    PageControl1->setTabText(PageControl1->indexOf(tabManual), texts.manualSetup);
    PageControl1->setTabText(PageControl1->indexOf(tsSafeMode), texts.safeMode);
    gbPortSettings->setTitle(texts.selectPortPrompt);
    buTry->setText(texts.tryText);
    buClose->setText(texts.close);
    FillManualTab();
}

void TfrmCommsInit::FillManualTab()
{
    QStringList names;
    TComms(this, 0, 0).GetBaudList(names);
    cbBaud->clear();
    cbBaud->addItems(names);
    int port = defaultManualComport;
    int position = defaultManualBaudRate;
    if (m_guiSettings != nullptr) {
        m_guiSettings->GetManualComport(port);
        m_guiSettings->GetManualBaudRate(position);
    }
    edComPort->setText(QString::number(port));
    cbBaud->setCurrentIndex(position >= 0 && position < cbBaud->count() ? position : -1);
}

void TfrmCommsInit::SaveManualTab()
{
    if (m_guiSettings == nullptr)
        return;
    bool ok = false;
    const int port = edComPort->text().trimmed().toInt(&ok);
    m_guiSettings->SetManualComport(ok ? port : 1);
    m_guiSettings->SetManualBaudRate(cbBaud->currentIndex());
}

void TfrmCommsInit::FormActivate()
{
    if (busy || scannedThisShowing || !isVisible())
        return;
    scannedThisShowing = true;
    RunScan();
}

void TfrmCommsInit::done(int result)
{
    if (busy)
        return; // a scan or try still holds a port
    tmrClose.stop();
    safeMode->Restart(); // a wizard left at step 2 still holds its port
    SaveManualTab();
    QDialog::done(result);
}

void TfrmCommsInit::buCloseClick()
{
    done(foundDevices.isEmpty() ? QDialog::Rejected : QDialog::Accepted);
}

void TfrmCommsInit::tmrCloseTimer()
{
    tmrClose.stop();
    done(foundDevices.isEmpty() ? QDialog::Rejected : QDialog::Accepted);
}

// ---------------------------------------------------------------- the scanner's settings

TfrmCommsInit::Delays TfrmCommsInit::ReadDelays() const
{
    const LinkTiming timing = StoredLinkTiming(m_guiSettings);
    return {timing.responseTimeout, timing.interCharDelay, timing.settle};
}

void TfrmCommsInit::PrepareScanner()
{
    const Delays delays = ReadDelays();
    scanner.SetTiming(LinkTiming{delays.responseTimeout, delays.interCharDelay, delays.settle});
    int first = defaultFirstTryPort;
    if (m_guiSettings != nullptr)
        m_guiSettings->GetFirstTryPort(first);
    scanner.SetFirstTryPort(first);
}

void TfrmCommsInit::ClearFoundDevices()
{
    foundDevices.clear();
}

void TfrmCommsInit::AddFoundDevice(const aDeviceCommsInfo &record)
{
    foundDevices.append(record);
}

void TfrmCommsInit::BeginWork()
{
    busy = true;
    tmrClose.stop();
    buClose->setEnabled(false);
    buScan->setEnabled(false);
    buTry->setEnabled(false);
    // The user stays on the tab whose work runs, where its Abort button is.
    for (int i = 0; i < PageControl1->count(); ++i)
        PageControl1->setTabEnabled(i, i == PageControl1->currentIndex());
}

void TfrmCommsInit::EndWork()
{
    busy = false;
    buClose->setEnabled(true);
    buScan->setEnabled(true);
    buTry->setEnabled(true);
    for (int i = 0; i < PageControl1->count(); ++i)
        PageControl1->setTabEnabled(i, true);
}

// ---------------------------------------------------------------- the scan

void TfrmCommsInit::RunScan()
{
    buScan->setText(texts.abort);
    gbProgress->setTitle(QStringLiteral("Scanning..."));
    busy = true;
    tmrClose.stop();
    buClose->setEnabled(false);
    PageControl1->setCurrentWidget(tabStatus);
    PageControl1->setEnabled(false);
    gbDoctor->Clear();

    ClearFoundDevices();
    PrepareScanner();
    scanner.Scan();
    FinishScan();
}

void TfrmCommsInit::FinishScan()
{
    buScan->setText(texts.scan);
    gbProgress->setTitle(scanner.Cancelled() ? texts.scanAborted : texts.scanComplete);
    pb1->setValue(0);
    if (!foundDevices.isEmpty()) {
        tmrClose.start();
    } else {
        PageControl1->setEnabled(true);
        ShowDiagnosis(portNames);
        Dialogs().Message(T(QStringLiteral("PLEASE_CHECK_VERSION_TALVEK")), T(QStringLiteral("No devices found")));
    }
    busy = false;
    buClose->setEnabled(true);
}

void TfrmCommsInit::ShowPortList(const QStringList &names)
{
    portNames = names;
    portStatus.clear();
    for (qsizetype i = 0; i < portNames.size(); ++i)
        portStatus.append(texts.notScanned);
    RefreshPortList();
    if (portNames.isEmpty())
        Dialogs().Message(T(QStringLiteral("No comm ports available")), T(QStringLiteral("ERROR")));
}

void TfrmCommsInit::ShowPortStatus(int position, const ScannedPort &status)
{
    switch (status.state) {
    case PortState::Found:
        portStatus[position] = status.device.identity;
        break;
    case PortState::NoSensor:
    case PortState::Aborted: // its rates were tried until the abort
        portStatus[position] = texts.noSensorFound;
        break;
    case PortState::NotScanned:
        // Still not scanned, but the user learns why (permissions, in use, gone).
        if (!status.reason.isEmpty())
            portStatus[position] = texts.notScanned + QStringLiteral(" (") + status.reason + QLatin1Char(')');
        break;
    }
    RefreshPortList();
}

void TfrmCommsInit::RefreshPortList()
{
    lbPorts->clear();
    for (qsizetype i = 0; i < portNames.size(); ++i)
        lbPorts->addItem(portNames.at(i) + QStringLiteral(": ") + portStatus.value(i));
}

void TfrmCommsInit::ShowProgress(int step, int steps)
{
    pb1->setRange(0, steps);
    pb1->setValue(step);
}

int TfrmCommsInit::PortIndexFromField(const QString &text)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    return ok && number >= 1 ? number - 1 : -1;
}

void TfrmCommsInit::buScanClick()
{
    if (scanner.Scanning()) {
        scanner.Cancel();
        buScan->setText(texts.scan);
        return;
    }
    if (busy)
        return;
    RunScan();
}

// ---------------------------------------------------------------- manual try

void TfrmCommsInit::buTryClick()
{
    if (busy)
        return;
    BeginWork();
    Memo2->clear();
    gbDoctor->Clear();
    ClearFoundDevices();
    PrepareScanner();
    // Without a chosen rate the port is tried at every rate the scan uses.
    const int position = cbBaud->currentIndex();
    const int index = PortIndexFromField(edComPort->text());
    const ScanResult result = scanner.TryPort(index, position >= 0 ? position + manualBaudCodeOffset : -1);
    ShowTryResult(result);
    if (result.outcome == ScanOutcome::PortNotOpened)
        ShowDiagnosis({QStringLiteral("COM") + QString::number(index + 1)});
    EndWork();
    if (!foundDevices.isEmpty())
        done(QDialog::Accepted);
}

void TfrmCommsInit::ShowTryResult(const ScanResult &result)
{
    switch (result.outcome) {
    case ScanOutcome::InvalidPort:
        Memo2->appendPlainText(texts.invalidComNum);
        break;
    case ScanOutcome::PortNotOpened:
        Memo2->appendPlainText(result.openError.isEmpty()
                                   ? texts.failedToOpenPort
                                   : texts.failedToOpenPort + QStringLiteral(" (") + result.openError + ')');
        break;
    case ScanOutcome::Found: {
        const aDeviceCommsInfo &record = result.found.first();
        Memo2->appendPlainText(QLatin1Char(' ') + texts.found + QLatin1Char(' ') + record.identity +
                               QStringLiteral(" @") + record.baudText);
        break;
    }
    default:
        Memo2->appendPlainText(texts.noSensorFound);
        break;
    }
}

void TfrmCommsInit::ShowDiagnosis(const QStringList &names)
{
    gbDoctor->Diagnose(names);
    resize(qMax(width(), diagnosisWidth), qMax(height(), diagnosisHeight));
}

void TfrmCommsInit::PageControl1Change(int)
{
    // Whichever tab is chosen, a wizard left half-way lets go of its port,
    // and the safe-mode tab starts at its first page.
    if (!busy)
        safeMode->Restart();
}
