// The setup commands that set a device to a document's values: one line per
// param, "CMD value", in document order.
#include "base/log.h"
#include "engine/document.h"
#include "engine/numberScan.h"

namespace
{
const QString kNotConfigured = QStringLiteral("NOT CONFIGURED");

QString Line(const QString &cmd, const QString &value)
{
    return cmd + QLatin1Char(' ') + value;
}

QString NotConfigured(const QString &cmd)
{
    return Line(cmd, kNotConfigured);
}

QString OptionText(const IXMLparamType &param, int index)
{
    const QStringList options = param.Option().Texts();
    return index >= 0 && index < options.size() ? options[index] : QString();
}

// The sentence format is the only one that sends the XDR list: a list of
// sentences naming some (not all) of those the sensor offers.
bool IsSentenceFormat(const QString &format, const QString &reportList)
{
    if (!format.isEmpty())
        return format.contains(QLatin1String("NMEADEF"));
    const QStringList words = reportList.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return !words.isEmpty() && words.first() == QLatin1String("NMEA") && words.size() > 1;
}

class Builder
{
public:
    Builder(const Document &document, const CommandOptions &options) : m_document(document), m_options(options)
    {
        SubstituteNames(document.Device(), m_sensorNames, m_substNames);
    }

    CommandList Build()
    {
        const IXMLdeviceType device = m_document.Device();
        for (int c = 0; c < device.Count() && c < TemplateLimits::Categories; ++c) {
            const IXMLcategoryType category = device.Category(c);
            for (int p = 0; p < category.Count() && p < TemplateLimits::ParamsPerCategory; ++p) {
                const QString line = CommandLine(category, category.Param(p));
                if (line.isEmpty())
                    continue;
                Log(line);
                m_result.lines.append(line);
            }
        }
        return m_result;
    }

private:
    QString CommandLine(const IXMLcategoryType &category, const IXMLparamType &param)
    {
        const QString type = param.Type();
        const QString cmd = param.Cmd();
        if (type == QLatin1String("int") || type == QLatin1String("delayedint"))
            return Line(cmd, QString::number(param.Value()));
        if (type == QLatin1String("maskedfloat"))
            return Line(cmd, param.Floatvalue());
        if (type == QLatin1String("timestr") || type == QLatin1String("timestrcheckbox"))
            return TimeLine(param);
        if (type == QLatin1String("string")) {
            // The device takes an empty user text only as a pair of quotes.
            if (cmd == QLatin1String("USERINF") && TrimBlank(param.String()).isEmpty())
                return Line(cmd, QStringLiteral("\"\""));
            return Line(cmd, param.String());
        }
        if (type == QLatin1String("select") || type == QLatin1String("delayedselect")) {
            const QString option = OptionText(param, param.Selected());
            return option.isEmpty() ? QString() : Line(cmd, option);
        }
        if (type == QLatin1String("sensorunits"))
            return UnitsLine(param);
        if (type == QLatin1String("reportstr"))
            return Line(cmd, WithSubstituteNames(TrimBlank(param.Reportvalue())));
        if (type == QLatin1String("reportxdr"))
            return XdrLine(param);
        const int input = category.Groupindex();
        if (input >= 0 && input < TemplateLimits::Inputs && IsInputParamType(type))
            return InputLine(category, param);
        Log(QStringLiteral("UNRECOGNISED SEND PARAM TYPE."));
        return {};
    }

    QString TimeLine(const IXMLparamType &param)
    {
        const bool syncThis = param.Type() == QLatin1String("timestrcheckbox") && m_options.syncTime;
        if (param.Type() == QLatin1String("timestrcheckbox"))
            m_result.sync = m_options.syncTime;
        // The clock ran on since it was read: the time read then is sent only
        // when the user typed another one (or to be replaced by now).
        const auto asRead = m_options.timeAsRead.constFind(param.Cmd());
        if (!syncThis && asRead != m_options.timeAsRead.constEnd() && *asRead == param.String())
            return {};
        return Line(param.Cmd(), param.String());
    }

    QString UnitsLine(const IXMLparamType &param)
    {
        const int measurement = m_document.units.IsNull() ? -1 : m_document.units.FindMeasurement(param.Measure());
        if (measurement < 0) {
            m_result.unknownUnits.append({param.Cmd(), param.Measure()});
            Log(QStringLiteral("ERROR: UNITS INDEX INVALID."));
            return {};
        }
        const IXMLmeasurementType units = m_document.units.Measurement(measurement);
        const int index = param.Selected();
        return index >= 0 && index < units.Count() ? Line(param.Cmd(), units.Unit(index).Symbol()) : QString();
    }

    QString XdrLine(const IXMLparamType &param)
    {
        const QString report = ReportListOfDevice();
        if (!IsSentenceFormat(m_options.reportFormat, report) || !report.contains(QLatin1String("XDR")))
            return {};
        return Line(param.Cmd(), WithSubstituteNames(TrimBlank(param.Reportvalue())));
    }

    QString ReportListOfDevice() const
    {
        const IXMLdeviceType device = m_document.Device();
        for (int c = 0; c < device.Count(); ++c) {
            const IXMLcategoryType category = device.Category(c);
            for (int p = 0; p < category.Count(); ++p) {
                if (category.Param(p).Type() == QLatin1String("reportstr"))
                    return TrimBlank(category.Param(p).Reportvalue());
            }
        }
        return {};
    }

    QString InputLine(const IXMLcategoryType &category, const IXMLparamType &param)
    {
        const QString type = param.Type();
        const QString cmd = param.Cmd();
        if (type == QLatin1String("senstypeselect")) {
            if (param.Selected() < 0)
                return NotConfigured(cmd);
            const QString option = OptionText(param, param.Selected());
            return option.isEmpty() ? QString() : Line(cmd, option);
        }
        if (type == QLatin1String("cfgsensorunits"))
            return CfgUnitsLine(category, param);
        if (type == QLatin1String("aniptype")) {
            if (param.Selected() < 0)
                return NotConfigured(cmd);
            return QStringLiteral("%1 %2 %3 %4")
                .arg(cmd, OptionText(param, param.Selected()), QString::number(param.High()), param.Low());
        }
        const QString text = TrimBlank(param.String());
        return text.isEmpty() ? NotConfigured(cmd) : Line(cmd, text);
    }

    // The units of an input follow its sensor type: a custom sensor's are
    // free text, the others a symbol of the type's measurement.
    QString CfgUnitsLine(const IXMLcategoryType &category, const IXMLparamType &param)
    {
        const QString cmd = param.Cmd();
        const QString measurement = SensorType(category);
        if (param.Selected() < 0 || measurement.isEmpty())
            return NotConfigured(cmd);
        if (measurement == QLatin1String("CUSTOM")) {
            const QString custom = TrimBlank(param.Customunits());
            return custom.isEmpty() || custom.contains(QLatin1Char('#')) ? NotConfigured(cmd) : Line(cmd, custom);
        }
        const int found = m_document.units.IsNull() ? -1 : m_document.units.FindMeasurement(measurement);
        if (found < 0)
            return NotConfigured(cmd);
        const IXMLmeasurementType units = m_document.units.Measurement(found);
        return param.Selected() < units.Count() ? Line(cmd, units.Unit(param.Selected()).Symbol()) : NotConfigured(cmd);
    }

    static QString SensorType(const IXMLcategoryType &category)
    {
        for (int p = 0; p < category.Count(); ++p) {
            const IXMLparamType param = category.Param(p);
            if (param.Type() == QLatin1String("senstypeselect"))
                return OptionText(param, param.Selected());
        }
        return {};
    }

    // The device lists and takes its inputs by their substitute names.
    QString WithSubstituteNames(const QString &list) const
    {
        return ReplaceNames(list, m_sensorNames, m_substNames);
    }

    const Document &m_document;
    const CommandOptions &m_options;
    QStringList m_sensorNames;
    QStringList m_substNames;
    CommandList m_result;
};
} // namespace

CommandList BuildSetupCommands(const Document &document, const CommandOptions &options)
{
    return Builder(document, options).Build();
}

QHash<QString, QString> TimeTexts(const IXMLproductsType &products)
{
    QHash<QString, QString> texts;
    const IXMLdeviceType device = products.Device(0);
    for (int c = 0; c < device.Count(); ++c) {
        const IXMLcategoryType category = device.Category(c);
        for (int p = 0; p < category.Count(); ++p) {
            const IXMLparamType param = category.Param(p);
            const QString type = param.Type();
            if (type == QLatin1String("timestr") || type == QLatin1String("timestrcheckbox"))
                texts.insert(param.Cmd(), param.String());
        }
    }
    return texts;
}
