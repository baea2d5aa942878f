// The difference view: what the pages show against the settings last read
// from the device (the retrieved configuration file).
#include "base/log.h"
#include "config/config.h"
#include "engine/numberScan.h"
#include "engine/splitFields.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <cmath>

namespace
{
const QString kNotConfigured = QStringLiteral("NOT CONFIGURED");
constexpr double kRejectedDigitCount = -9999.99;

void Paint(QWidget *control, const QColor &colour)
{
    if (!control)
        return;
    QPalette palette = control->palette();
    if (palette.color(QPalette::Base) == colour && palette.color(QPalette::Button) == colour)
        return;
    palette.setColor(QPalette::Base, colour);
    palette.setColor(QPalette::Button, colour);
    control->setPalette(palette);
}

QString Trimmed(const QLineEdit *edit)
{
    return edit ? TrimBlank(edit->text()) : QString();
}

// The type, high and low that an analogue input's value string holds.
struct AnalogueValue {
    QString type = kNotConfigured;
    int high = 0;
    int low = 0;
};

AnalogueValue ParseAnalogue(const QString &valuestring)
{
    const QStringList fields = SplitFields(valuestring, QLatin1Char(' '));
    if (fields.size() != 3)
        return {};
    return {fields[0], ScanInt(fields[1]), ScanInt(fields[2])};
}
} // namespace

QColor EqualColour()
{
    return QColor(255, 255, 255);
}

QColor DifferentColour()
{
    return QColor(255, 255, 0);
}

QColor CriticalColour()
{
    return QColor(255, 0, 0);
}

QColor ReportEditColour()
{
    return QColor(191, 205, 219); // the inactive caption colour
}

bool TFormConfig::ShowDifferences()
{
    m_workList.clear();
    if (!m_online)
        return false;
    if (!QFile::exists(m_retrievedConfigPath)) {
        Log(QStringLiteral("No RETRIEVED CONFIG to diff against"));
        return false;
    }
    XmlLoadError error;
    const IXMLproductsType retrieved = IXMLproductsType::Load(m_retrievedConfigPath, &error);
    const IXMLdeviceType device = retrieved.Device(0);
    if (device.IsNull()) {
        Log(QStringLiteral("Could not load RETRIEVED CONFIG: ") + error.Text());
        return false;
    }
    m_diffFound = false;
    const int categories = qMin(device.Count(), int(TemplateLimits::Categories));
    for (int c = 0; c < categories; ++c) {
        const IXMLcategoryType category = device.Category(c);
        const int params = qMin(category.Count(), int(TemplateLimits::ParamsPerCategory));
        for (int i = 0; i < params; ++i) {
            if (!CompareParam(category, c, i))
                break;
        }
    }
    return m_diffFound;
}

void TFormConfig::MarkDifference(QWidget *control, bool differs, const IXMLparamType &retrieved)
{
    if (!differs) {
        Paint(control, EqualColour());
        return;
    }
    Paint(control, retrieved.Warncritical() != 0 ? CriticalColour() : DifferentColour());
    m_workList.append(retrieved.Cmd());
    m_diffFound = true;
}

bool TFormConfig::CompareParam(const IXMLcategoryType &category, int c, int p)
{
    const IXMLparamType retrieved = category.Param(p);
    const QString type = retrieved.Type();
    const ParamControls &controls = m_controls[c][p];
    if (type == QLatin1String("int") || type == QLatin1String("delayedint")) {
        if (controls.edit)
            MarkDifference(controls.edit, ScanInt(controls.edit->text()) != retrieved.Value(), retrieved);
    } else if (type == QLatin1String("select") || type == QLatin1String("delayedselect") ||
               type == QLatin1String("sensorunits")) {
        if (controls.combo)
            MarkDifference(controls.combo, controls.combo->currentIndex() != retrieved.Selected(), retrieved);
    } else if (type == QLatin1String("reportstr") || type == QLatin1String("reportxdr")) {
        CompareReport(type == QLatin1String("reportstr") ? m_report.reportEdit : m_report.xdrEdit, retrieved);
    } else if (type == QLatin1String("maskedfloat")) {
        if (controls.edit)
            MarkDifference(controls.edit, Trimmed(controls.edit) != TrimBlank(retrieved.Floatvalue()), retrieved);
    } else if (type == QLatin1String("timestr") || type == QLatin1String("timestrcheckbox")) {
        Paint(controls.edit, EqualColour());
    } else if (type == QLatin1String("string")) {
        if (controls.edit)
            MarkDifference(controls.edit, Trimmed(controls.edit) != TrimBlank(retrieved.String()), retrieved);
    } else if (IsInputType(type)) {
        const int index = category.Groupindex();
        if (index < 0 || index >= TemplateLimits::Inputs) {
            Log(QStringLiteral("groupindex out of range"));
            return false;
        }
        CompareInputParam(retrieved, m_inputPages[index]);
    } else {
        Log(QStringLiteral("UNRECOGNISED SEND PARAM TYPE."));
    }
    return true;
}

void TFormConfig::CompareReport(QLineEdit *edit, const IXMLparamType &retrieved)
{
    if (!edit)
        return;
    const bool differs = edit->text() != retrieved.Valuestring();
    if (differs) {
        Log(edit->text());
        Log(retrieved.Valuestring());
        MarkDifference(edit, true, retrieved);
    } else {
        Paint(edit, ReportEditColour());
    }
}

void TFormConfig::CompareInputParam(const IXMLparamType &retrieved, const cfgInputTabPageType &input)
{
    const QString type = retrieved.Type();
    if (type == QLatin1String("senstypeselect")) {
        if (!input.sensorTypeCombo)
            return;
        const int selected = retrieved.Selected();
        const IXMLitemTypeList options = retrieved.Option();
        const QString expected =
            selected < 0 || selected >= options.Count() ? kNotConfigured : options.Items(selected).Text();
        MarkDifference(input.sensorTypeCombo, input.sensorTypeCombo->currentText() != expected, retrieved);
    } else if (type == QLatin1String("cfgsensorunits")) {
        if (input.sensorUnitsCombo)
            MarkDifference(input.sensorUnitsCombo,
                           TrimBlank(input.sensorUnitsCombo->currentText()) != retrieved.Valuestring(), retrieved);
    } else if (type == QLatin1String("aniptype")) {
        if (!input.inputTypeCombo || !input.highEdit || !input.lowEdit)
            return;
        const AnalogueValue value = ParseAnalogue(retrieved.Valuestring());
        MarkDifference(input.inputTypeCombo, input.inputTypeCombo->currentText() != value.type, retrieved);
        MarkDifference(input.highEdit, ScanInt(Trimmed(input.highEdit)) != value.high, retrieved);
        MarkDifference(input.lowEdit, ScanInt(Trimmed(input.lowEdit)) != value.low, retrieved);
    } else if (type == QLatin1String("substname")) {
        if (input.substNameEdit)
            MarkDifference(input.substNameEdit, Trimmed(input.substNameEdit) != retrieved.String(), retrieved);
    } else if (input.digitCountEdit) {
        MarkDifference(input.digitCountEdit, !SameDigitCount(Trimmed(input.digitCountEdit), retrieved), retrieved);
    }
}

bool TFormConfig::SameDigitCount(const QString &shownText, const IXMLparamType &retrieved) const
{
    double shown = 0;
    if (!shownText.isEmpty()) {
        double low = -HUGE_VAL;
        double high = HUGE_VAL;
        ScanDouble(retrieved.Fmin(), low);
        ScanDouble(retrieved.Fmax(), high);
        if (!GetDigCountFromString(shownText, low, high, shown))
            shown = kRejectedDigitCount;
    }
    double stored = 0; // "NOT CONFIGURED", and a text that is no number
    if (retrieved.Valuestring() != kNotConfigured)
        ScanDouble(retrieved.Valuestring(), stored);
    const double scale = m_protocolVersion >= 3 ? 1000.0 : 100.0;
    return std::trunc(scale * shown) == std::trunc(scale * stored);
}
