// Configuration files: writing the shown values into the document and the
// document to a file, reading a file's device description, and checking a
// file against the device before it is loaded.
#include "base/fileSave.h"
#include "base/log.h"
#include "base/translate.h"
#include "config/config.h"
#include "workflows/questions.h"
#include "engine/numberScan.h"
#include "ui/dialogs.h"

#include <QComboBox>
#include <QLineEdit>

namespace
{
const QString kNotConfigured = QStringLiteral("NOT CONFIGURED");

IXMLdeviceType FileDevice(const QString &fileName, IXMLproductsType &holder)
{
    holder = IXMLproductsType::Load(fileName);
    return holder.IsNull() ? IXMLdeviceType() : holder.Device(0);
}

// "FULL" and "DEFAULT" stand for the param's own report lists.
QString ExpandReportName(const QString &report, IXMLparamType param)
{
    if (report == QLatin1String("FULL")) {
        Log(QStringLiteral("Substituted FULL for ") + param.Reportfull());
        return param.Reportfull();
    }
    if (report == QLatin1String("DEFAULT")) {
        Log(QStringLiteral("Substituted DEFAULT for ") + param.Reportdefault());
        return param.Reportdefault();
    }
    return report;
}
} // namespace

bool TFormConfig::SaveConfigFile(const QString &fileName)
{
    m_lastSaveError.clear();
    if (!ValidateEntries())
        return false;
    Log(QStringLiteral("Saving configuration file."));
    Log(fileName);
    StoreAllValues();
    Log(QStringLiteral("Writing config file."));
    if (!SaveConfigDocument(m_productsDoc, fileName, &m_lastSaveError)) {
        Log(QStringLiteral("Could not write ") + m_lastSaveError);
        return false;
    }
    return true;
}

void TFormConfig::StoreAllValues()
{
    for (int c = 0; c < m_categoryCount && c < TemplateLimits::Categories; ++c) {
        const IXMLcategoryType category = m_device.Category(c);
        for (int p = 0; p < category.Count() && p < TemplateLimits::ParamsPerCategory; ++p)
            StoreParamValues(category, c, p);
    }
}

void TFormConfig::StoreParamValues(const IXMLcategoryType &category, int c, int p)
{
    IXMLparamType param = category.Param(p);
    const QString type = param.Type();
    const ParamControls &controls = m_controls[c][p];
    if (type == QLatin1String("int") || type == QLatin1String("delayedint")) {
        if (controls.edit)
            param.SetValue(ScanInt(controls.edit->text()));
    } else if (type == QLatin1String("select") || type == QLatin1String("delayedselect") ||
               type == QLatin1String("sensorunits")) {
        if (controls.combo)
            param.SetSelected(controls.combo->currentIndex());
    } else if (type == QLatin1String("reportstr")) {
        if (m_report.reportEdit)
            param.SetReportvalue(ExpandReportName(TrimBlank(m_report.reportEdit->text()), param));
    } else if (type == QLatin1String("reportxdr")) {
        if (m_report.xdrEdit) {
            // The pages show the XDR list from reportxdrvalue: keep both in step.
            param.SetReportvalue(TrimBlank(m_report.xdrEdit->text()));
            param.SetReportxdrvalue(param.Reportvalue());
        }
    } else if (type == QLatin1String("maskedfloat")) {
        if (controls.edit)
            param.SetFloatvalue(controls.edit->text());
    } else if (type == QLatin1String("timestr") || type == QLatin1String("timestrcheckbox") ||
               type == QLatin1String("string")) {
        if (controls.edit)
            param.SetString(controls.edit->text());
    } else if (const cfgInputTabPageType *input = InputRecord(c); input && IsInputType(type)) {
        StoreInputValues(param, *input);
    } else {
        Log(QStringLiteral("UNRECOGNISED READ PARAM TYPE."));
    }
}

bool TFormConfig::IsInputType(const QString &type)
{
    return IsInputParamType(type);
}

void TFormConfig::StoreInputValues(IXMLparamType param, const cfgInputTabPageType &input)
{
    const QString type = param.Type();
    if (type == QLatin1String("senstypeselect")) {
        if (QComboBox *combo = input.sensorTypeCombo)
            param.SetSelected(combo->currentText().contains(kNotConfigured) ? -1 : combo->currentIndex());
    } else if (type == QLatin1String("cfgsensorunits")) {
        QComboBox *units = input.sensorUnitsCombo;
        if (!units)
            return;
        const QString text = TrimBlank(units->currentText());
        const QString sensorType = input.sensorTypeCombo ? input.sensorTypeCombo->currentText() : QString();
        if (text.contains(QLatin1Char('#'))) {
            param.SetSelected(-1);
        } else if (!sensorType.contains(QStringLiteral("CUSTOM"))) {
            param.SetSelected(units->currentIndex());
        } else {
            param.SetSelected(0);
            param.SetCustomunits(text);
        }
    } else if (type == QLatin1String("aniptype")) {
        if (!input.inputTypeCombo || !input.highEdit || !input.lowEdit)
            return;
        const bool unconfigured = input.inputTypeCombo->currentText().contains(kNotConfigured);
        param.SetSelected(unconfigured ? -1 : input.inputTypeCombo->currentIndex());
        param.SetHigh(unconfigured ? 0 : ScanInt(TrimBlank(input.highEdit->text())));
        param.SetLow(unconfigured ? QStringLiteral("0") : QString::number(ScanInt(TrimBlank(input.lowEdit->text()))));
    } else {
        const QLineEdit *edit = type == QLatin1String("substname") ? input.substNameEdit : input.digitCountEdit;
        if (edit)
            param.SetString(TrimBlank(edit->text()));
    }
}

QString TFormConfig::GetFileProductName(const QString &fileName) const
{
    IXMLproductsType holder;
    return FileDevice(fileName, holder).Name();
}

int TFormConfig::GetFileProtocolVersion(const QString &fileName) const
{
    IXMLproductsType holder;
    return FileDevice(fileName, holder).Protocolversion();
}

int TFormConfig::GetFileHeating(const QString &fileName) const
{
    IXMLproductsType holder;
    return FileDevice(fileName, holder).Heatingcapability();
}

int TFormConfig::GetFileAxisConfig(const QString &fileName) const
{
    IXMLproductsType holder;
    return FileDevice(fileName, holder).AxisConfigValue();
}

bool TFormConfig::AskToContinue(const CompatibilityIssue &issue) const
{
    const QuestionText question = TextOf(MismatchQuestion(issue.kind), {issue.found, issue.expected});
    for (const QString &step : question.steps) {
        if (!Dialogs().Question(step, question.caption))
            return false;
    }
    return true;
}

bool TFormConfig::CheckFileCompatibility(const QString &fileName)
{
    const CompatibilityCheck check = CheckCompatibility(fileName, Identity());
    for (const CompatibilityIssue &issue : check.issues) {
        switch (issue.kind) {
        case Compatibility::Compatible:
            break;
        case Compatibility::Unreadable:
            // Named as a file that cannot be read, not as another product.
            LoadConfigDocument(fileName);
            return false;
        case Compatibility::ProductMismatch: {
            const MessageText message = ProductMismatchMessage(issue);
            Dialogs().Message(message.text, message.caption);
            return false;
        }
        case Compatibility::ProtocolMismatch:
        case Compatibility::HeatingMismatch:
        case Compatibility::AxisMismatch:
            if (!AskToContinue(issue))
                return false;
            break;
        }
    }
    return true;
}
