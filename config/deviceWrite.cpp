// Writing what the pages show to the device, one setup command per param,
// and verifying it by reading everything back.
#include "base/log.h"
#include "base/scopedFlag.h"
#include "base/translate.h"
#include "config/config.h"
#include "config/summary.h"
#include "device/interface.h"
#include "diagnostics/progressDlg.h"
#include "diagnostics/sessionReport.h"
#include "engine/deviceWriter.h"
#include "engine/numberScan.h"
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
    const CommandOptions options = ShownCommandOptions();
    if (!m_work)
        return false;
    const ScopedFlag busy(m_busy);
    m_work->ClearStop();
    m_work->Adopt(CurrentDocument());
    WriteResult result;
    {
        const ProgressShown shown(this);
        const QList<QMetaObject::Connection> links = {
            connect(m_work, &SensorWork::lineSent, this,
                    [this](const QString &line) { SessionReport().WriteLine(QStringLiteral("sent:") + line); }),
            connect(m_work, &SensorWork::lineSkipped, this,
                    [this](const QString &line) { SessionReport().WriteLine(QStringLiteral("skipped:") + line); }),
            connect(m_work, &SensorWork::unknownUnits, this, &TFormConfig::WarnOfUnknownUnits)};
        FixedAnswers confirmed(false); // the window asked before it wrote; nothing else is asked
        result = m_work->Write(confirmed, {options.syncTime, options.reportFormat, options.timeAsRead});
        for (const QMetaObject::Connection &link : links)
            disconnect(link);
    }
    return ShowWrite(result);
}

// What the user is told of a write, in one place.
bool TFormConfig::ShowWrite(const WriteResult &result)
{
    switch (result.outcome) {
    case WriteOutcome::Verified: // every line went out; the verification follows
        return true;
    case WriteOutcome::SetupModeRefused:
        Dialogs().Message(T(QStringLiteral("UNABLE_TO_CONFIGURE_DEVICE")), T(QStringLiteral("WARNING")));
        return false;
    case WriteOutcome::DeviceGone:
        // The writer has logged why and sent the device back to measuring.
        SessionReport().WriteAction(QStringLiteral("Upload failed - the device did not answer"));
        return false;
    case WriteOutcome::Aborted:
        SessionReport().WriteAction(QStringLiteral("User aborted"));
        return false;
    case WriteOutcome::InvalidEntries:
        for (const EntryError &error : result.invalid) {
            const EntryErrorText message = TextOf(error);
            Dialogs().Message(message.text, message.caption);
        }
        return false;
    case WriteOutcome::Declined:
    case WriteOutcome::NotVerified:
        return false;
    }
    return false;
}

CommandOptions TFormConfig::ShownCommandOptions()
{
    // The window's entries go into the document first: the commands are
    // built from the document alone, as for a file.
    StoreAllValues();
    CommandOptions options;
    if (m_report.formatCombo)
        options.reportFormat = m_report.formatCombo->currentText();
    const IXMLdeviceType device = m_device;
    for (int c = 0; c < m_categoryCount && c < TemplateLimits::Categories; ++c) {
        const IXMLcategoryType category = device.Category(c);
        for (int p = 0; p < category.Count() && p < TemplateLimits::ParamsPerCategory; ++p) {
            const ParamControls &controls = m_controls[c][p];
            if (controls.check)
                options.syncTime = controls.check->isChecked();
            const QString type = category.Param(p).Type();
            const bool time = type == QLatin1String("timestr") || type == QLatin1String("timestrcheckbox");
            if (time && controls.edit)
                options.timeAsRead.insert(category.Param(p).Cmd(), controls.builtText);
        }
    }
    return options;
}

void TFormConfig::WarnOfUnknownUnits(const QList<UnknownUnits> &settings)
{
    for (const UnknownUnits &unknown : settings)
        Dialogs().Message(unknown.cmd + QLatin1Char(' ') + unknown.measure,
                          T(QStringLiteral("Save To Device Error - Unknown Units")));
}

QStringList TFormConfig::BuildCommandList(bool &sync)
{
    const CommandList commands = BuildSetupCommands(CurrentDocument(), ShownCommandOptions());
    WarnOfUnknownUnits(commands.unknownUnits);
    sync = commands.sync;
    return commands.lines;
}

bool TFormConfig::VerifySettings()
{
    const ScopedFlag busy(m_busy);
    SessionReport().WriteBanner(QStringLiteral("Starting Settings Download"));
    m_failedReads.clear();
    Summary().ClearSummary();
    if (!m_work)
        return false;
    VerifyReport verify;
    {
        const ProgressShown shown(this);
        verify = m_work->Verify();
    }
    m_failedReads = verify.read.failedCmds;
    const bool read = ShowVerifyRead(verify);
    // The pages show what was written, coloured where the sensor holds otherwise.
    BuildConfigPages(m_uploadedConfigPath);
    const bool differs = ShowDifferences();
    // A setting that could not be read back, or that the engine found
    // different, is not verified either.
    for (const QString &cmd : verify.notVerified + m_failedReads) {
        if (!m_workList.contains(cmd))
            m_workList.append(cmd);
    }
    if (differs || !read || !m_workList.isEmpty()) {
        SessionReport().WriteError(QStringLiteral("Verify Failed"));
        SessionReport().WriteLine(QStringLiteral("The following parameters failed to verify:"));
        SessionReport().WriteLines(m_workList);
        Log(QStringLiteral("Error - Failed to verify."));
        return false;
    }
    Log(QStringLiteral("Upload verified."));
    return true;
}

// The read-back as a read: its boxes when it stopped, else the sensor's
// settings become the retrieved configuration and the summary.
bool TFormConfig::ShowVerifyRead(const VerifyReport &verify)
{
    if (verify.read.stop != ReadReport::Stop::None)
        return ShowRead(verify.read);
    m_productsDoc = verify.readBack.products;
    m_device = m_productsDoc.Device(0);
    return FinishRead();
}
