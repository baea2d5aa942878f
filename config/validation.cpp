// Checks of the user's entries against the limits of the template.
#include "base/log.h"
#include "base/translate.h"
#include "config/config.h"
#include "config/editMask.h"
#include "config/numberScan.h"
#include "config/splitFields.h"
#include "settings/guiSettings.h"
#include "ui/dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <limits>

namespace
{
// A bound read from a template text; a missing or unreadable bound does
// not limit that side.
double Bound(const QString &text, double unlimited)
{
    double value = 0;
    return ScanDouble(text, value) ? value : unlimited;
}

constexpr double kLowest = -std::numeric_limits<double>::infinity();
constexpr double kHighest = std::numeric_limits<double>::infinity();

QString EditText(const QLineEdit *edit)
{
    return edit ? TrimBlank(edit->text()) : QString();
}

bool IntInRange(const QString &text, int min, int max, int *value = nullptr)
{
    int n = 0;
    if (!ParseWholeInt(text, n))
        return false;
    if (value)
        *value = n;
    return n >= min && n <= max;
}

bool ValidCustomUnits(const QString &units)
{
    static const QString allowed = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ#_");
    if (units.isEmpty() || units.size() > 4)
        return false;
    return std::all_of(units.cbegin(), units.cend(), [](QChar ch) { return allowed.contains(ch); });
}

bool ValidString(const QString &text)
{
    static const QString forbidden = QStringLiteral("@,*%?");
    if (text.size() > 16)
        return false;
    return std::none_of(text.cbegin(), text.cend(), [](QChar ch) { return forbidden.contains(ch); });
}

// A list that offers options must show one of them: a file whose index lies
// outside the options leaves it showing none, and nothing could be written.
bool HasChoice(const QComboBox *combo)
{
    return !combo || combo->count() == 0 || combo->currentIndex() >= 0;
}

// The second paragraph some messages carry, by param type.
QString MessageDetail(const QString &type)
{
    if (type == QLatin1String("cfgsensorunits"))
        return QStringLiteral("Check length of Units field");
    if (type == QLatin1String("substname"))
        return QStringLiteral("Substitute name must consist");
    if (type == QLatin1String("aniptype"))
        return QStringLiteral("aniptype");
    return {};
}

class ScopedFlag
{
public:
    explicit ScopedFlag(bool &flag) : m_flag(flag), m_old(flag) { m_flag = true; }
    ~ScopedFlag() { m_flag = m_old; }

private:
    bool &m_flag;
    bool m_old;
};
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
            IXMLparamType param = category.Param(p);
            QString text = T(QStringLiteral("Entry for ")) + param.Name() + T(QStringLiteral(" is invalid"));
            const QString detail = MessageDetail(param.Type());
            if (!detail.isEmpty())
                text += QStringLiteral("\n\n") + T(detail);
            Dialogs().Message(text, T(QStringLiteral("Error: ")) + category.Name());
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
        return !controls.edit || IntInRange(EditText(controls.edit), param.Min(), param.Max());
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
        const bool number = ParseWholeDouble(controls.edit->text(), v);
        const bool valid = number && Bound(param.Floatmax(), kHighest) >= v && Bound(param.Floatmin(), kLowest) <= v;
        ReformatMaskedFloat(controls.edit, param, number ? v : 0);
        return valid;
    }
    if (type == QLatin1String("timestr") || type == QLatin1String("timestrcheckbox")) {
        if (controls.check && GuiSettings())
            GuiSettings()->SetSyncTime(controls.check->isChecked());
        return !controls.edit || EditText(controls.edit).size() == param.String().size();
    }
    if (type == QLatin1String("string"))
        return !controls.edit || ValidString(EditText(controls.edit));
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
            valid = ValidCustomUnits(TrimBlank(units->currentText()));
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
        int high = 0;
        int low = 0;
        if (!IntInRange(EditText(input.highEdit), param.Min(), param.Max(), &high) ||
            !IntInRange(EditText(input.lowEdit), param.Min(), param.Max(), &low))
            return false;
        const bool unconfigured =
            input.inputTypeCombo && input.inputTypeCombo->currentText().contains(QStringLiteral("NOT CONFIGURED"));
        return HasChoice(input.inputTypeCombo) && (unconfigured || high != low);
    }
    if (type == QLatin1String("substname")) {
        if (!input.substNameEdit)
            return true;
        const QString name = EditText(input.substNameEdit);
        substNames.append(name);
        const QStringList illegal = SplitFields(param.Illegalstrings(), QLatin1Char(','));
        const bool listed = std::any_of(illegal.cbegin(), illegal.cend(), [&name](const QString &entry) {
            return entry.compare(name, Qt::CaseInsensitive) == 0;
        });
        return !listed && name.size() <= 8 && (name.isEmpty() || name.size() >= 3) && !name.contains(QLatin1Char(' '));
    }
    // digcount
    const QString text = EditText(input.digitCountEdit);
    double value = 0;
    return text.isEmpty() ||
           GetDigCountFromString(text, Bound(param.Fmin(), kLowest), Bound(param.Fmax(), kHighest), value);
}

bool TFormConfig::GetDigCountFromString(const QString &text, double low, double high, double &value) const
{
    double number = 0;
    if (!ScanDouble(text, number)) {
        Log(QStringLiteral("GetDigCountFromString: scanf failed"));
        return false;
    }
    if (number > high || number < low) {
        Log(QStringLiteral("GetDigCountFromString: range error"));
        return false;
    }
    const qsizetype point = text.indexOf(QLatin1Char('.')) + 1; // 1-based, 0 when none
    const qsizetype length = text.size();
    const bool accepted = m_protocolVersion == 2 ? length - 1 == point : point >= length - 3;
    if (!accepted) {
        Log(QStringLiteral("Too many decimal places"));
        return false;
    }
    value = number;
    return true;
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
    QStringList seen;
    for (const QString &name : names) {
        const bool present = std::any_of(seen.cbegin(), seen.cend(), [&name](const QString &other) {
            return other.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (!present) {
            seen.append(name);
            continue;
        }
        if (name.isEmpty())
            continue;
        Dialogs().Message(name, T(QStringLiteral("Error: Duplicate SUBST name in AN/DIG")));
        return false;
    }
    return true;
}
