// Reading every setting from the device into the document (the engine's
// DeviceReader does the reading), then the retrieved configuration file, the
// pages, the differences and the summary.
#include "base/log.h"
#include "base/scopedFlag.h"
#include "base/translate.h"
#include "config/config.h"
#include "config/summary.h"
#include "device/interface.h"
#include "diagnostics/progressDlg.h"
#include "diagnostics/sessionReport.h"
#include "engine/deviceReader.h"
#include "engine/replies.h"
#include "ui/dialogs.h"

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
    const ScopedFlag busy(m_busy);
    m_failedReads.clear();
    Summary().ClearSummary();
    if (!m_work)
        return false;
    m_work->ClearStop();
    m_work->Adopt(CurrentDocument());
    ReadResult result;
    {
        const ProgressShown shown(this);
        result = m_work->Read();
    }
    m_failedReads = result.report.failedCmds;
    return ShowRead(result.report);
}

// What the user is told of a read, in one place: the read that completes
// the pages, and each way it can stop.
bool TFormConfig::ShowRead(const ReadReport &report)
{
    switch (report.stop) {
    case ReadReport::Stop::None:
        return FinishRead();
    case ReadReport::Stop::SetupModeRefused:
        Dialogs().Message(T(QStringLiteral("UNABLE_TO_CONFIGURE_DEVICE")), T(QStringLiteral("WARNING")));
        return false;
    case ReadReport::Stop::Aborted:
        SessionReport().WriteAction(QStringLiteral("User aborted"));
        Dialogs().Message(T(QStringLiteral("Download has been aborted by user")), T(QStringLiteral("WARNING")));
        return false;
    case ReadReport::Stop::Unreadable:
        break;
    }
    SessionReport().WriteError(QStringLiteral("UNABLE_TO_READ_FROM_DEVICE"));
    Dialogs().Message(T(QStringLiteral("UNABLE_TO_READ_FROM_DEVICE")), T(QStringLiteral("WARNING")));
    return false;
}

TFormConfig::ProgressShown::ProgressShown(TFormConfig *config) : config(config)
{
    // Shown once the sensor is in setup mode and the first step is counted.
    TfrmProgressDlg *progress = config->ProgressDialog();
    SensorWork *work = config->m_work;
    links << QObject::connect(progress, &TfrmProgressDlg::abortRequested, work, &SensorWork::Stop);
    links << QObject::connect(work, &SensorWork::progress, progress, [progress, work](int done, int total) {
        if (!progress->isVisible()) {
            progress->show();
            if (progress->IsAborted())
                work->Stop();
        }
        progress->setMaximum(total);
        progress->setPosition(done);
    });
}

TFormConfig::ProgressShown::~ProgressShown()
{
    for (const QMetaObject::Connection &link : std::as_const(links))
        QObject::disconnect(link);
    if (config->m_progress)
        config->m_progress->setPosition(0);
    config->CloseProgress();
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
    Summary().FillSummary(T(QStringLiteral("Summary of Device Settings")), m_device, true);
    SessionReport().WriteLines(Summary().Lines());
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
