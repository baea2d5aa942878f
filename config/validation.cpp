// Checks of the user's entries against the limits of the template.
#include "engine/validation.h"
#include "base/log.h"
#include "base/scopedFlag.h"
#include "base/translate.h"
#include "config/config.h"
#include "config/editMask.h"
#include "engine/numberScan.h"
#include "settings/guiSettings.h"
#include "ui/dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace
{
QString EditText(const QLineEdit *edit)
{
    return edit ? TrimBlank(edit->text()) : QString();
}

// A list that offers options must show one of them: a file whose index lies
// outside the options leaves it showing none, and nothing could be written.
bool HasChoice(const QComboBox *combo)
{
    return !combo || combo->count() == 0 || combo->currentIndex() >= 0;
}

// The template's limits for a param, as the message's second line; empty
// for types whose only rule is a choice from a list.
QString LimitsText(const IXMLparamType &param)
{
    const QString type = param.Type();
    const QString range = T(QStringLiteral("Allowed: %1 to %2"));
    if (type == QLatin1String("int") || type == QLatin1String("delayedint") || type == QLatin1String("aniptype"))
        return range.arg(param.Min()).arg(param.Max());
    if (type == QLatin1String("maskedfloat"))
        return range.arg(TrimBlank(param.Floatmin()), TrimBlank(param.Floatmax()));
    if (type == QLatin1String("digcount"))
        return range.arg(DigitCountLow(param)).arg(DigitCountHigh(param));
    if (type == QLatin1String("timestr") || type == QLatin1String("timestrcheckbox"))
        return T(QStringLiteral("Allowed: exactly %1 characters")).arg(param.String().size());
    if (type == QLatin1String("string"))
        return T(QStringLiteral("Allowed: at most 16 characters, none of @ , * % ?"));
    if (type == QLatin1String("substname"))
        return T(QStringLiteral("Allowed: empty, or 3 to 8 characters without blanks"));
    if (type == QLatin1String("cfgsensorunits"))
        return T(QStringLiteral("Allowed: 1 to 4 of A-Z 0-9 # _"));
    return {};
}

// The controls whose text a param's check reads: these are marked while invalid.
QList<QWidget *> CheckedControls(const QString &type, const ParamControls &controls,
                                 const cfgInputTabPageType *input, const ReportWidgets &report)
{
    if (type == QLatin1String("reportstr"))
        return {report.reportEdit};
    if (input == nullptr || type == QLatin1String("senstypeselect"))
        return {controls.edit, controls.combo};
    if (type == QLatin1String("cfgsensorunits"))
        return {input->sensorUnitsCombo};
    if (type == QLatin1String("aniptype"))
        return {input->highEdit, input->lowEdit};
    if (type == QLatin1String("substname"))
        return {input->substNameEdit};
    if (type == QLatin1String("digcount"))
        return {input->digitCountEdit};
    return {controls.edit, controls.combo};
}

// Red until a later check finds the entry valid; the colours that show
// differences from the device live in the palette and stay untouched.
void MarkInvalid(const QList<QWidget *> &controls, bool invalid)
{
    static const QString style = QStringLiteral(
        "QLineEdit, QComboBox { border: 2px solid rgb(200,0,0); background: rgb(255,205,205); color: black; }");
    for (QWidget *control : controls) {
        if (control == nullptr || control->property(kInvalidEntryProperty).toBool() == invalid)
            continue;
        control->setProperty(kInvalidEntryProperty, invalid);
        control->setStyleSheet(invalid ? style : QString());
    }
}
} // namespace

bool TFormConfig::ValidateEntries()
{
    if (m_productsDoc.IsNull() || m_device.IsNull())
        return false;
    // Message boxes move the focus; that must not start another check.
    ScopedFlag checking(m_checking);
    QStringList substNames;
    bool ok = true;
    for (int c = 0; c < m_categoryCount && c < TemplateLimits::Categories; ++c) {
        const IXMLcategoryType category = m_device.Category(c);
        for (int p = 0; p < category.Count() && p < TemplateLimits::ParamsPerCategory; ++p) {
            const IXMLparamType param = category.Param(p);
            const bool valid = ValidateParam(category, c, p, substNames);
            MarkInvalid(CheckedControls(param.Type(), m_controls[c][p], InputRecord(c), m_report), !valid);
            if (valid)
                continue;
            ok = false;
            const EntryErrorText message = InvalidEntryText(category.Name(), param.Name(), param.Type());
            const QString limits = LimitsText(param);
            Dialogs().Message(limits.isEmpty() ? message.text : message.text + QLatin1Char('\n') + limits,
                              message.caption);
        }
    }
    return CheckDuplicateSubstNames(substNames) && ok;
}

bool TFormConfig::ValidateParam(const IXMLcategoryType &category, int c, int p, QStringList &substNames)
{
    IXMLparamType param = category.Param(p);
    const QString type = param.Type();
    const ParamControls &controls = m_controls[c][p];
    if (type == QLatin1String("int") || type == QLatin1String("delayedint"))
        return !controls.edit || ValidInt(controls.edit->text(), param.Min(), param.Max());
    static const QStringList choices = {QStringLiteral("select"), QStringLiteral("delayedselect"),
                                        QStringLiteral("sensorunits")};
    if (choices.contains(type))
        return HasChoice(controls.combo);
    static const QStringList alwaysValid = {QStringLiteral("radiogroupbutton"), QStringLiteral("reportxdr")};
    if (alwaysValid.contains(type))
        return true;
    if (type == QLatin1String("reportstr")) {
        if (!m_report.formatCombo)
            return true;
        const QString format = m_report.formatCombo->currentText();
        return format.contains(QStringLiteral("USERDEF")) || format.contains(QStringLiteral("NMEADEF")) ||
               !EditText(m_report.reportEdit).isEmpty();
    }
    if (type == QLatin1String("maskedfloat")) {
        if (!controls.edit)
            return true;
        double v = 0;
        const bool valid = ValidMaskedFloat(controls.edit->text(), param.Floatmin(), param.Floatmax(), &v);
        ReformatMaskedFloat(controls.edit, param, v);
        return valid;
    }
    if (type == QLatin1String("timestr") || type == QLatin1String("timestrcheckbox")) {
        if (controls.check && GuiSettings())
            GuiSettings()->SetSyncTime(controls.check->isChecked());
        return !controls.edit || EditText(controls.edit).size() == param.String().size();
    }
    if (type == QLatin1String("string"))
        return !controls.edit || ValidString(controls.edit->text());
    static const QStringList inputTypes = {QStringLiteral("senstypeselect"), QStringLiteral("cfgsensorunits"),
                                           QStringLiteral("aniptype"), QStringLiteral("substname"),
                                           QStringLiteral("digcount")};
    if (!inputTypes.contains(type)) {
        Log(QStringLiteral("UNRECOGNISED PARAM TYPE."));
        return true;
    }
    const cfgInputTabPageType *input = InputRecord(c);
    return !input || ValidateInputParam(param, *input, substNames);
}

bool TFormConfig::ValidateInputParam(IXMLparamType param, const cfgInputTabPageType &input, QStringList &substNames)
{
    const QString type = param.Type();
    if (type == QLatin1String("senstypeselect"))
        return HasChoice(input.sensorTypeCombo);
    if (type == QLatin1String("cfgsensorunits")) {
        QComboBox *units = input.sensorUnitsCombo;
        if (!units)
            return true;
        bool valid = HasChoice(units);
        if (units->isEditable()) {
            units->setEditText(units->currentText().toUpper());
            valid = ValidCustomUnits(units->currentText());
        }
        const QString sensorType = input.sensorTypeCombo ? input.sensorTypeCombo->currentText() : QString();
        if (!sensorType.contains(QStringLiteral("NOT CONFIGURED")) && !sensorType.contains(QStringLiteral("CUSTOM")) &&
            units->currentText().contains(QLatin1Char('#')))
            valid = false;
        return valid;
    }
    if (type == QLatin1String("aniptype")) {
        if (!input.highEdit || !input.lowEdit)
            return true;
        const bool unconfigured =
            input.inputTypeCombo && input.inputTypeCombo->currentText().contains(QStringLiteral("NOT CONFIGURED"));
        return ValidAnalogue(input.highEdit->text(), input.lowEdit->text(), param.Min(), param.Max(), unconfigured) &&
               HasChoice(input.inputTypeCombo);
    }
    if (type == QLatin1String("substname")) {
        if (!input.substNameEdit)
            return true;
        const QString name = EditText(input.substNameEdit);
        substNames.append(name);
        return ValidSubstName(name, param.Illegalstrings());
    }
    // digcount
    const QString text = EditText(input.digitCountEdit);
    return text.isEmpty() || ValidDigitCount(text, DigitCountLow(param), DigitCountHigh(param), m_protocolVersion);
}

bool TFormConfig::GetDigCountFromString(const QString &text, double low, double high, double &value) const
{
    return ValidDigitCount(text, low, high, m_protocolVersion, &value);
}

void TFormConfig::ReformatMaskedFloat(QLineEdit *edit, IXMLparamType param, double v) const
{
    const QString typed = TrimBlank(edit->text());
    const QString stored = TrimBlank(param.Floatvalue());
    const QString mask = param.Mask();
    const QString formatted = FormatWithMask(v, mask);
    if (typed == stored || formatted == stored || typed.size() == stored.size())
        return;
    const bool plus = mask.startsWith(QLatin1Char('#')) && v >= 0;
    edit->setText(plus ? QStringLiteral("+") + formatted : formatted);
}

bool TFormConfig::CheckDuplicateSubstNames(const QStringList &names) const
{
    const QString duplicate = DuplicateSubstName(names);
    if (duplicate.isEmpty())
        return true;
    EntryError error;
    error.kind = EntryError::Kind::DuplicateSubstName;
    error.text = duplicate;
    const EntryErrorText message = TextOf(error);
    Dialogs().Message(message.text, message.caption);
    return false;
}
