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
            if (ValidateParam(category, c, p, substNames))
                continue;
            ok = false;
            const IXMLparamType param = category.Param(p);
            const EntryErrorText message = InvalidEntryText(category.Name(), param.Name(), param.Type());
            Dialogs().Message(message.text, message.caption);
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
