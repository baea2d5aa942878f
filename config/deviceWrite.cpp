// Writing what the pages show to the device, one setup command per param,
// and verifying it by reading everything back.
#include "base/log.h"
#include "base/translate.h"
#include "config/config.h"
#include "engine/numberScan.h"
#include "device/interface.h"
#include "diagnostics/progressDlg.h"
#include "diagnostics/sessionReport.h"
#include "engine/deviceWriter.h"
#include "ui/dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QLineEdit>

bool TFormConfig::WriteSettingsToDevice()
{
    SessionReport().WriteBanner(QStringLiteral("Upload Started"));
    if (!ValidateEntries()) {
        SessionReport().WriteError(QStringLiteral("Upload Aborted - user entry invalid"));
        return false;
    }
    Log(QStringLiteral("Saving displayed config."));
    // The verification rebuilds the pages from this file: without it there
    // is nothing to verify against, so nothing is sent.
    if (!SaveConfigFile(m_uploadedConfigPath)) {
        SessionReport().WriteError(QStringLiteral("Upload Aborted - could not write ") + m_uploadedConfigPath);
        Dialogs().Message(T(QStringLiteral("Could not write ")) + m_uploadedConfigPath, T(QStringLiteral("ERROR")));
        return false;
    }
    Log(QStringLiteral("Generating config messages."));
    bool sync = false;
    const QStringList lines = BuildCommandList(sync);
    SetBusy();
    if (!EnterSetupModeOrWarn(QStringLiteral("Entering setup mode3...")))
        return false;
    return SendCommands(lines, sync);
}

QStringList TFormConfig::BuildCommandList(bool &sync)
{
    // The window's entries go into the document first: the commands are
    // built from the document alone, as for a file.
    StoreAllValues();
    CommandOptions options;
    if (m_report.formatCombo)
        options.reportFormat = m_report.formatCombo->currentText();
    for (int c = 0; c < m_categoryCount && c < TemplateLimits::Categories; ++c) {
        for (const ParamControls &controls : m_controls[c]) {
            if (controls.check)
                options.syncTime = controls.check->isChecked();
        }
    }
    const IXMLdeviceType device = m_device;
    for (int c = 0; c < m_categoryCount && c < TemplateLimits::Categories; ++c) {
        const IXMLcategoryType category = device.Category(c);
        for (int p = 0; p < category.Count() && p < TemplateLimits::ParamsPerCategory; ++p) {
            const QString type = category.Param(p).Type();
            const bool time = type == QLatin1String("timestr") || type == QLatin1String("timestrcheckbox");
            if (time && m_controls[c][p].edit)
                options.timeAsRead.insert(category.Param(p).Cmd(), m_controls[c][p].builtText);
        }
    }
    const CommandList commands = BuildSetupCommands(CurrentDocument(), options);
    for (const UnknownUnits &unknown : commands.unknownUnits)
        Dialogs().Message(unknown.cmd + QLatin1Char(' ') + unknown.measure,
                          T(QStringLiteral("Save To Device Error - Unknown Units")));
    sync = commands.sync;
    return commands.lines;
}

bool TFormConfig::SendCommands(const QStringList &lines, bool sync)
{
    TfrmProgressDlg *progress = ProgressDialog();
    progress->setMaximum(100);
    progress->setPosition(0);
    progress->show();
    QCoreApplication::processEvents();
    DeviceWriter writer(m_session);
    const auto cancel = std::make_shared<CancelToken>();
    writer.SetCancelToken(cancel);
    connect(progress, &TfrmProgressDlg::abortRequested, &writer, [cancel] { cancel->Cancel(); });
    if (progress->IsAborted())
        cancel->Cancel();
    connect(&writer, &DeviceWriter::progress, progress,
            [progress](int done, int total) { progress->setPosition(done * 100 / total); });
    connect(&writer, &DeviceWriter::lineSent, this,
            [this](const QString &line) { SessionReport().WriteLine(QStringLiteral("sent:") + line); });
    connect(&writer, &DeviceWriter::lineSkipped, this,
            [this](const QString &line) { SessionReport().WriteLine(QStringLiteral("skipped:") + line); });
    const WriteReport report = writer.Send(lines, sync);
    switch (report.stop) {
    case WriteReport::Stop::None:
    case WriteReport::Stop::SetupModeRefused:
        break;
    case WriteReport::Stop::DeviceGone:
        return StopWrite(QStringLiteral("Upload failed - the device did not answer"));
    case WriteReport::Stop::Aborted:
        return StopWrite(QStringLiteral("User aborted"));
    }
    if (m_progress)
        m_progress->setPosition(0);
    CloseProgress();
    ClearBusy();
    return true;
}

bool TFormConfig::StopWrite(const QString &action)
{
    // The writer has logged why and sent the device back to measuring.
    CloseProgress();
    SessionReport().WriteAction(action);
    ClearBusy();
    return false;
}

bool TFormConfig::VerifySettings()
{
    const bool read = GetDeviceSettings();
    BuildConfigPages(m_uploadedConfigPath);
    const bool differs = ShowDifferences();
    // A setting that could not be read back is not verified either.
    for (const QString &cmd : std::as_const(m_failedReads)) {
        if (!m_workList.contains(cmd))
            m_workList.append(cmd);
    }
    if (differs || !read) {
        SessionReport().WriteError(QStringLiteral("Verify Failed"));
        SessionReport().WriteLine(QStringLiteral("The following parameters failed to verify:"));
        SessionReport().WriteLines(m_workList);
        Log(QStringLiteral("Error - Failed to verify."));
        return false;
    }
    Log(QStringLiteral("Upload verified."));
    return true;
}
