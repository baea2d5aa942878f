// Writing what the pages show to the device, one setup command per param,
// and verifying it by reading everything back.
#include "base/log.h"
#include "base/translate.h"
#include "config/config.h"
#include "config/numberScan.h"
#include "device/interface.h"
#include "diagnostics/progressDlg.h"
#include "diagnostics/sessionReport.h"
#include "ui/dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QLineEdit>

namespace
{
QString Line(const QString &cmd, const QString &value)
{
    return cmd + QLatin1Char(' ') + value;
}

QString NotConfigured(const QString &cmd)
{
    return Line(cmd, QStringLiteral("NOT CONFIGURED"));
}

QString EditText(const QLineEdit *edit)
{
    return edit ? edit->text() : QString();
}

bool HasParamOfType(const IXMLcategoryType &category, const QString &type)
{
    for (int p = 0; p < category.Count(); ++p) {
        if (category.Param(p).Type() == type)
            return true;
    }
    return false;
}

// "TIME" and the current UTC date and time, as the device sets its clock.
QString SyncTimeCommand()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDate date = now.date();
    const QTime time = now.time();
    return QString::asprintf("%s %4d-%02d-%02dT%02d:%02d:%02d", "TIME", date.year(), date.month(), date.day(),
                             time.hour(), time.minute(), time.second());
}
} // namespace

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
    sync = false;
    QStringList lines;
    for (int c = 0; c < m_categoryCount && c < TemplateLimits::Categories; ++c) {
        const IXMLcategoryType category = m_device.Category(c);
        for (int p = 0; p < category.Count() && p < TemplateLimits::ParamsPerCategory; ++p) {
            const QString line = CommandLine(category, c, p, sync);
            if (line.isEmpty())
                continue;
            Log(line);
            lines.append(line);
        }
    }
    return lines;
}

QString TFormConfig::CommandLine(const IXMLcategoryType &category, int c, int p, bool &sync)
{
    const IXMLparamType param = category.Param(p);
    const QString type = param.Type();
    const QString cmd = param.Cmd();
    const ParamControls &controls = m_controls[c][p];
    if (type == QLatin1String("int") || type == QLatin1String("delayedint") || type == QLatin1String("maskedfloat"))
        return controls.edit ? Line(cmd, controls.edit->text()) : QString();
    if (type == QLatin1String("timestr") || type == QLatin1String("timestrcheckbox"))
        return TimeCommandLine(cmd, controls, sync);
    if (type == QLatin1String("string")) {
        if (!controls.edit)
            return {};
        if (cmd == QLatin1String("USERINF") && TrimBlank(controls.edit->text()).isEmpty())
            return Line(cmd, QStringLiteral("\"\""));
        return Line(cmd, controls.edit->text());
    }
    if (type == QLatin1String("select") || type == QLatin1String("delayedselect"))
        return SelectCommandLine(cmd, param, controls);
    if (type == QLatin1String("sensorunits"))
        return UnitsCommandLine(cmd, param, controls);
    if (type == QLatin1String("reportstr"))
        return m_report.reportEdit ? Line(cmd, WithSubstituteNames(TrimBlank(m_report.reportEdit->text()))) : QString();
    if (type == QLatin1String("reportxdr"))
        return XdrCommandLine(cmd);
    if (const cfgInputTabPageType *input = InputRecord(c); input && IsInputType(type))
        return InputCommandLine(type, cmd, param, *input);
    Log(QStringLiteral("UNRECOGNISED SEND PARAM TYPE."));
    return {};
}

QString TFormConfig::SelectCommandLine(const QString &cmd, IXMLparamType param, const ParamControls &controls)
{
    if (!controls.combo)
        return {};
    const QStringList options = FillOptionList(param);
    const int index = controls.combo->currentIndex();
    return index >= 0 && index < options.size() ? Line(cmd, options[index]) : QString();
}

QString TFormConfig::UnitsCommandLine(const QString &cmd, IXMLparamType param, const ParamControls &controls)
{
    if (!controls.combo)
        return {};
    const int measurement = m_unitsDoc.FindMeasurement(param.Measure());
    if (measurement < 0) {
        Dialogs().Message(Line(cmd, param.Measure()), T(QStringLiteral("Save To Device Error - Unknown Units")));
        Log(QStringLiteral("ERROR: UNITS INDEX INVALID."));
        return {};
    }
    const IXMLmeasurementType units = m_unitsDoc.Measurement(measurement);
    const int index = controls.combo->currentIndex();
    return index >= 0 && index < units.Count() ? Line(cmd, units.Unit(index).Symbol()) : QString();
}

QString TFormConfig::XdrCommandLine(const QString &cmd)
{
    const ReportWidgets &w = m_report;
    if (!w.formatCombo || !w.reportEdit || !w.xdrEdit)
        return {};
    if (!w.formatCombo->currentText().contains(QLatin1String("NMEADEF")) ||
        !TrimBlank(w.reportEdit->text()).contains(QLatin1String("XDR")))
        return {};
    return Line(cmd, WithSubstituteNames(TrimBlank(w.xdrEdit->text())));
}

QString TFormConfig::WithSubstituteNames(const QString &list)
{
    QStringList inputNames;
    QStringList substNames;
    for (int c = 0; c < m_categoryCount && c < TemplateLimits::Categories; ++c) {
        const IXMLcategoryType category = m_device.Category(c);
        const cfgInputTabPageType *input = InputRecord(c);
        if (!input || !input->substNameEdit || !HasParamOfType(category, QStringLiteral("substname")))
            continue;
        const QString subst = TrimBlank(input->substNameEdit->text());
        if (subst.isEmpty())
            continue;
        const QString sensorName = category.Sensorname();
        inputNames.append(sensorName.isEmpty() ? category.Name() : sensorName);
        substNames.append(subst);
    }
    return ReplaceSubstNames(list, inputNames, substNames);
}

QString TFormConfig::TimeCommandLine(const QString &cmd, const ParamControls &controls, bool &sync)
{
    if (!controls.edit)
        return {};
    bool syncThis = false;
    if (controls.check)
        syncThis = sync = controls.check->isChecked();
    // The clock ran on since the pages were built: the time shown then is
    // sent only when the user typed another one (or to be replaced by now).
    if (!syncThis && controls.edit->text() == controls.builtText)
        return {};
    return Line(cmd, controls.edit->text());
}

QString TFormConfig::InputCommandLine(const QString &type, const QString &cmd, IXMLparamType param,
                                      const cfgInputTabPageType &input)
{
    if (type == QLatin1String("senstypeselect")) {
        if (param.Selected() < 0)
            return NotConfigured(cmd);
        return input.sensorTypeCombo ? Line(cmd, input.sensorTypeCombo->currentText()) : QString();
    }
    if (type == QLatin1String("cfgsensorunits")) {
        if (!input.sensorUnitsCombo)
            return {};
        const QString text = TrimBlank(input.sensorUnitsCombo->currentText());
        return text.contains(QLatin1Char('#')) ? NotConfigured(cmd) : Line(cmd, text);
    }
    if (type == QLatin1String("aniptype")) {
        if (param.Selected() < 0)
            return NotConfigured(cmd);
        if (!input.inputTypeCombo)
            return {};
        return QStringLiteral("%1 %2 %3 %4")
            .arg(cmd, input.inputTypeCombo->currentText(), EditText(input.highEdit), EditText(input.lowEdit));
    }
    const QLineEdit *edit = type == QLatin1String("substname") ? input.substNameEdit : input.digitCountEdit;
    if (!edit)
        return {};
    const QString text = TrimBlank(edit->text());
    return text.isEmpty() ? NotConfigured(cmd) : Line(cmd, text);
}

bool TFormConfig::SendCommands(const QStringList &lines, bool sync)
{
    TfrmProgressDlg *progress = ProgressDialog();
    progress->setMaximum(100);
    progress->setPosition(0);
    progress->show();
    QCoreApplication::processEvents();
    const int n = int(lines.size());
    for (int i = 0; i < n; ++i) {
        progress->setPosition(i * 100 / n);
        Log(lines[i]);
        if (!SendCommand(lines[i], sync))
            return StopWrite(QStringLiteral("Upload failed: the device did not answer ") + lines[i],
                             QStringLiteral("Upload failed - the device did not answer"));
        if (m_progress && m_progress->IsAborted())
            return StopWrite(QStringLiteral("GetDeviceSettings aborted"), QStringLiteral("User aborted"));
    }
    if (m_progress)
        m_progress->setPosition(0);
    CloseProgress();
    ClearBusy();
    return true;
}

bool TFormConfig::SendCommand(const QString &line, bool sync)
{
    QString text = line;
    if (line.left(4) == QLatin1String("TIME") && sync) {
        text = SyncTimeCommand();
    } else if (line.contains(QLatin1String("COMMAND IGNORED"))) {
        Log(QStringLiteral("Skipped NOT CONFIGURED Command"));
        SessionReport().WriteLine(QStringLiteral("skipped:") + line);
        return true;
    }
    QString reply;
    int code = ERR_RX_SERVICE_NOT_STARTED;
    if (m_session)
        code = m_session->SendCmdGetSingleResp(text, reply);
    SessionReport().WriteLine(QStringLiteral("sent:") + text);
    Log(reply);
    // What the device answers is judged by the verification, and so is a
    // line it left unanswered while it still answers otherwise; only a device
    // that is gone ends the write.
    return m_session && !m_session->DeviceGone(code);
}

bool TFormConfig::StopWrite(const QString &logLine, const QString &action)
{
    CloseProgress();
    Log(logLine);
    SessionReport().WriteAction(action);
    // A sensor left in setup mode stops reporting until it is power-cycled.
    LeaveSetupMode();
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
