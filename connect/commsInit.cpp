#include "connect/commsInit.h"

#include "base/log.h"
#include "base/translate.h"
#include "connect/safeModeWizard.h"
#include "device/interface.h"
#include "settings/guiSettings.h"
#include "ui/dialogs.h"

#include <QComboBox>
#include <QCoreApplication>
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
    pb1->setRange(0, static_cast<int>(std::size(scanBaudCodes)));
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
    buScan->setText(busy && !scanAbort ? texts.abort : texts.scan);
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

// ---------------------------------------------------------------- the link of an attempt

TfrmCommsInit::Delays TfrmCommsInit::ReadDelays() const
{
    Delays delays;
    if (m_guiSettings == nullptr)
        return delays;
    int userDelay = 0;
    m_guiSettings->GetUserDelayEnabled(userDelay);
    if (userDelay > 0) {
        delays.responseTimeout = 0;
        m_guiSettings->GetResponseTimeout(delays.responseTimeout);
        m_guiSettings->GetInterCharDelay(delays.interCharDelay);
    }
    m_guiSettings->GetPowerOnDelay(delays.settle);
    return delays;
}

TComms *TfrmCommsInit::CreateLink(const Delays &delays)
{
    ReleaseLink();
    comms = std::make_unique<TComms>(this, delays.responseTimeout, delays.interCharDelay);
    if (m_portSource)
        comms->portUtils->SetPortSource(m_portSource);
    return comms.get();
}

TfrmInterface *TfrmCommsInit::CreateSession()
{
    session = std::make_unique<TfrmInterface>();
    session->SetComms(comms.get());
    return session.get();
}

void TfrmCommsInit::ReleaseLink()
{
    session.reset();
    comms.reset(); // stops the receive thread and closes the port
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

    ClearFoundDevices();
    scanAbort = false;
    scanDelays = ReadDelays();
    CreateLink(scanDelays);
    CreateSession();
    BuildPortList();
    ScanPorts();
    ReleaseLink();
    FinishScan();
}

void TfrmCommsInit::FinishScan()
{
    buScan->setText(texts.scan);
    gbProgress->setTitle(scanAbort ? texts.scanAborted : texts.scanComplete);
    pb1->setValue(0);
    if (!foundDevices.isEmpty()) {
        tmrClose.start();
    } else {
        PageControl1->setEnabled(true);
        Dialogs().Message(T(QStringLiteral("PLEASE_CHECK_VERSION_TALVEK")), T(QStringLiteral("No devices found")));
    }
    busy = false;
    buClose->setEnabled(true);
}

void TfrmCommsInit::BuildPortList()
{
    if (comms->ListComPorts(portNames) != 0) {
        Log(QStringLiteral("The list of COM ports could not be read."));
        portNames.clear();
    }
    portStatus.clear();
    for (qsizetype i = 0; i < portNames.size(); ++i)
        portStatus.append(texts.notScanned);
    RefreshPortList();
}

void TfrmCommsInit::RefreshPortList()
{
    lbPorts->clear();
    for (qsizetype i = 0; i < portNames.size(); ++i)
        lbPorts->addItem(portNames.at(i) + QStringLiteral(": ") + portStatus.value(i));
}

void TfrmCommsInit::ScanPorts()
{
    if (portNames.isEmpty())
        Dialogs().Message(T(QStringLiteral("No comm ports available")), T(QStringLiteral("ERROR")));
    int first = defaultFirstTryPort;
    if (m_guiSettings != nullptr)
        m_guiSettings->GetFirstTryPort(first);
    Log(QStringLiteral("First COM port to try (reg) = ") + QString::number(first));
    const QString firstName = QStringLiteral("COM") + QString::number(first);
    qsizetype start = 0;
    for (qsizetype i = 0; i < portNames.size(); ++i) {
        if (portNames.at(i).compare(firstName, Qt::CaseInsensitive) == 0) {
            start = i;
            break;
        }
    }
    for (qsizetype visited = 0; visited < portNames.size() && !scanAbort; ++visited) {
        ScanPort(static_cast<int>((start + visited) % portNames.size()));
        if (!foundDevices.isEmpty())
            break;
    }
}

void TfrmCommsInit::ScanPort(int position)
{
    const QString name = portNames.at(position);
    Log(QStringLiteral("Scanning ") + name + QStringLiteral("..."));
    gbProgress->setTitle(texts.scanning + QLatin1Char(' ') + name + QStringLiteral("..."));
    const int index = PortIndexFromName(name);
    if (OpenForTry(index, scanDelays.settle)) {
        aDeviceCommsInfo record;
        record.portIndex = index;
        if (TryBauds(record)) {
            Log(name + QStringLiteral(" Found ") + record.identity + QStringLiteral(" @") + record.baudText);
            portStatus[position] = record.identity;
            AddFoundDevice(record);
        } else {
            portStatus[position] = texts.noSensorFound;
            Log(QStringLiteral("No sensor found"));
        }
        CloseAfterTry();
    } else if (!comms->OpenErrorText().isEmpty()) {
        // Still not scanned, but the user learns why (permissions, in use, gone).
        portStatus[position] = texts.notScanned + QStringLiteral(" (") + comms->OpenErrorText() + QLatin1Char(')');
    }
    RefreshPortList();
}

int TfrmCommsInit::PortIndexFromName(const QString &name)
{
    bool ok = false;
    const int number = name.mid(3).toInt(&ok);
    return ok ? number - 1 : -1;
}

int TfrmCommsInit::PortIndexFromField(const QString &text)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    return ok && number >= 1 ? number - 1 : -1;
}

bool TfrmCommsInit::OpenForTry(int index, int settle)
{
    Log(QStringLiteral("Opening port: COM") + QString::number(index + 1));
    if (comms->Init(index, portParams, settle) != 0) {
        Log(QStringLiteral("Failed to open port."));
        return false;
    }
    Log(QStringLiteral("Port open"));
    // The dialog is the notify window only to satisfy the link; it ignores the lines.
    if (comms->StartRxService(this) != 0) {
        comms->ClosePort();
        Log(QStringLiteral("Failed to open port."));
        return false;
    }
    comms->OpenPortLog();
    return true;
}

void TfrmCommsInit::CloseAfterTry()
{
    comms->ClosePortLog();
    comms->StopRxService();
    comms->ClosePort();
}

bool TfrmCommsInit::TryBauds(aDeviceCommsInfo &record)
{
    pb1->setRange(0, static_cast<int>(std::size(scanBaudCodes)));
    pb1->setValue(0);
    QCoreApplication::processEvents();
    session->SetRxServiceMode(RX_MODE_TRANSACTING);
    for (int q = 0; q < static_cast<int>(std::size(scanBaudCodes)) && !scanAbort; ++q) {
        pb1->setValue(q);
        if (TryBaud(record, scanBaudCodes[q]))
            return true;
    }
    return false;
}

bool TfrmCommsInit::TryBaud(aDeviceCommsInfo &record, int code)
{
    comms->SetBaud(code);
    comms->PortControl('S');
    QString identity;
    if (session->QueryUnit(identity) != 0)
        return false;
    record.baudCode = code;
    record.identity = identity;
    comms->GetBaudName(code, record.baudText);
    record.kind = 1;
    return true;
}

void TfrmCommsInit::buScanClick()
{
    if (buScan->text() == texts.abort) {
        scanAbort = true;
        buScan->setText(texts.scan);
        return;
    }
    if (busy)
        return;
    scanAbort = false;
    buScan->setText(texts.abort);
    RunScan();
}

// ---------------------------------------------------------------- manual try

void TfrmCommsInit::buTryClick()
{
    if (busy)
        return;
    BeginWork();
    Memo2->clear();
    ClearFoundDevices();
    scanAbort = false;
    const Delays delays = ReadDelays();
    CreateLink(delays);
    CreateSession();
    const int index = PortIndexFromField(edComPort->text());
    if (index < 0) {
        Memo2->appendPlainText(texts.invalidComNum);
    } else if (OpenForTry(index, delays.settle)) {
        ManualTry(index);
        CloseAfterTry();
    } else {
        const QString reason = comms->OpenErrorText();
        Memo2->appendPlainText(reason.isEmpty() ? texts.failedToOpenPort
                                                : texts.failedToOpenPort + QStringLiteral(" (") + reason + ')');
    }
    ReleaseLink();
    EndWork();
    if (!foundDevices.isEmpty())
        done(QDialog::Accepted);
}

void TfrmCommsInit::ManualTry(int index)
{
    aDeviceCommsInfo record;
    record.portIndex = index;
    session->SetRxServiceMode(RX_MODE_TRANSACTING);
    // Without a chosen rate the port is tried at every rate the scan uses.
    const int position = cbBaud->currentIndex();
    const bool found = position >= 0 ? TryBaud(record, position + manualBaudCodeOffset) : TryBauds(record);
    pb1->setValue(0);
    if (found) {
        Memo2->appendPlainText(QLatin1Char(' ') + texts.found + QLatin1Char(' ') + record.identity +
                               QStringLiteral(" @") + record.baudText);
        AddFoundDevice(record);
    } else {
        Memo2->appendPlainText(texts.noSensorFound);
    }
}

void TfrmCommsInit::PageControl1Change(int)
{
    // Whichever tab is chosen, a wizard left half-way lets go of its port,
    // and the safe-mode tab starts at its first page.
    if (!busy)
        safeMode->Restart();
}
