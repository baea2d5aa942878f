// Reading every setting from the device into the document (the engine's
// DeviceReader does the reading), then the retrieved configuration file, the
// pages, the differences and the summary.
#include "base/log.h"
#include "base/translate.h"
#include "config/config.h"
#include "config/summary.h"
#include "device/interface.h"
#include "diagnostics/progressDlg.h"
#include "diagnostics/sessionReport.h"
#include "engine/deviceReader.h"
#include "engine/replies.h"
#include "ui/dialogs.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QTabWidget>

// ------------------------------------------------------------------ helpers

bool TFormConfig::ParseResponse(QString &reply)
{
    return ::ParseResponse(reply);
}

QString TFormConfig::NormaliseReportList(const QString &value, bool *ok, const QStringList &sentences) const
{
    return ::NormaliseReportList(value, m_protocolVersion, m_productName, ok, sentences);
}

QString TFormConfig::NormaliseXdrList(const QString &value)
{
    return ::NormaliseXdrList(value);
}

QString TFormConfig::ReplaceSubstNames(const QString &text, const QStringList &substNames,
                                       const QStringList &sensorNames)
{
    return ReplaceNames(text, substNames, sensorNames);
}

bool TFormConfig::GetMeasurementFromSenstype(const IXMLcategoryType &category, QString &name, QString *error) const
{
    return MeasurementOfSensorType(category, name, error);
}

// ---------------------------------------------------------- the whole read

bool TFormConfig::GetDeviceSettings()
{
    SessionReport().WriteBanner(QStringLiteral("Starting Settings Download"));
    Log(QStringLiteral("Generating config messages."));
    SetBusy();
    m_failedReads.clear();
    Summary().ClearSummary();
    DeviceReader reader(m_session, CurrentDocument());
    Log(QStringLiteral("Entering setup mode..."));
    if (!reader.EnterSetupMode()) {
        WarnUnableToConfigure();
        return false;
    }
    Log(QStringLiteral("Entered setup mode!"));
    TfrmProgressDlg *progress = ProgressDialog();
    progress->show();
    QCoreApplication::processEvents();
    const auto cancel = std::make_shared<CancelToken>();
    reader.SetCancelToken(cancel);
    connect(progress, &TfrmProgressDlg::abortRequested, &reader, [cancel] { cancel->Cancel(); });
    if (progress->IsAborted())
        cancel->Cancel();
    connect(&reader, &DeviceReader::progress, progress, [progress](int done, int total) {
        progress->setMaximum(total);
        progress->setPosition(done);
    });
    const ReadReport report = reader.ReadAll();
    m_failedReads = report.failedCmds;
    switch (report.stop) {
    case ReadReport::Stop::None:
        return FinishRead();
    case ReadReport::Stop::Aborted:
        CloseProgress();
        SessionReport().WriteAction(QStringLiteral("User aborted"));
        ClearBusy();
        Dialogs().Message(T(QStringLiteral("Download has been aborted by user")), T(QStringLiteral("WARNING")));
        return false;
    case ReadReport::Stop::SetupModeRefused:
    case ReadReport::Stop::Unreadable:
        break;
    }
    CloseProgress();
    SessionReport().WriteError(QStringLiteral("UNABLE_TO_READ_FROM_DEVICE"));
    ClearBusy();
    Dialogs().Message(T(QStringLiteral("UNABLE_TO_READ_FROM_DEVICE")), T(QStringLiteral("WARNING")));
    return false;
}

bool TFormConfig::EnterSetupModeOrWarn(const QString &logLine)
{
    Log(logLine);
    DeviceReader reader(m_session, CurrentDocument());
    if (reader.EnterSetupMode())
        return true;
    WarnUnableToConfigure();
    return false;
}

void TFormConfig::WarnUnableToConfigure()
{
    Dialogs().Message(T(QStringLiteral("UNABLE_TO_CONFIGURE_DEVICE")), T(QStringLiteral("WARNING")));
    ClearBusy();
}

void TFormConfig::LeaveSetupMode()
{
    DeviceReader(m_session, CurrentDocument()).LeaveSetupMode();
}

bool TFormConfig::WriteRetrievedConfig()
{
    const QByteArray text = (m_productsDoc.XML() + QLatin1Char('\n')).toUtf8();
    QSaveFile file(m_retrievedConfigPath);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.flush() && file.commit())
        return true;
    Log(QStringLiteral("Could not write ") + m_retrievedConfigPath + QStringLiteral(": ") + file.errorString());
    return false;
}

bool TFormConfig::FinishRead()
{
    bool saved = WriteRetrievedConfig();
    if (saved) {
        BuildConfigPages(m_retrievedConfigPath);
        saved = WriteRetrievedConfig();
    }
    ShowDifferences();
    if (m_progress)
        m_progress->setPosition(0);
    CloseProgress();
    Summary().FillSummary(T(QStringLiteral("Summary of Device Settings")), m_device, true);
    SessionReport().WriteLines(Summary().Lines());
    ClearBusy();
    if (!saved)
        SessionReport().WriteError(QStringLiteral("Could not write ") + m_retrievedConfigPath);
    return saved && m_failedReads.isEmpty();
}

void TFormConfig::CloseProgress()
{
    if (m_progress)
        m_progress->hide();
    if (m_host && m_host->ConfigPageControl()) {
        QWidget *main = m_host->ConfigPageControl()->window();
        main->raise();
        main->activateWindow();
    }
}

TfrmProgressDlg *TFormConfig::ProgressDialog()
{
    if (!m_progress) {
        // Over the main window, which it brings to the front; without one it
        // goes with the engine.
        QWidget *owner = m_host ? m_host->ConfigPageControl() : nullptr;
        m_progress = new TfrmProgressDlg(owner ? owner->window() : this);
        // The main window outlives the engine; the dialog does not.
        connect(this, &QObject::destroyed, m_progress.data(), &QObject::deleteLater);
    }
    return m_progress;
}

TfrmSessionReport &TFormConfig::SessionReport()
{
    if (m_host)
        return m_host->SessionReport();
    if (!m_ownReport)
        m_ownReport = new TfrmSessionReport(this);
    return *m_ownReport;
}

TfrmSummary &TFormConfig::Summary()
{
    if (m_host)
        return m_host->Summary();
    if (!m_ownSummary)
        m_ownSummary = new TfrmSummary(this);
    return *m_ownSummary;
}

