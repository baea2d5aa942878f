#include "tests/support/simulatedLines.h"

#include "engine/replies.h"
#include "sim/simdevice.h"
#include "templates/productCatalogue.h"

namespace
{
void SetParam(const Document &document, const IXMLcategoryType &category, IXMLparamType param, const QString &value)
{
    const QString type = param.Type();
    const auto unitIndex = [&](const QString &measurement) {
        const int m = document.units.FindMeasurement(measurement);
        return m < 0 ? -1 : document.units.Measurement(m).FindUnit(value);
    };
    if (type == QLatin1String("reportstr") || type == QLatin1String("reportxdr")) {
        param.SetReportvalue(value);
        if (type == QLatin1String("reportxdr"))
            param.SetReportxdrvalue(value);
    } else if (type == QLatin1String("substname"))
        param.SetString(value);
    else if (type == QLatin1String("senstypeselect"))
        param.SetSelected(param.Option().IndexOf(value));
    else if (type == QLatin1String("sensorunits"))
        param.SetSelected(unitIndex(param.Measure()));
    else if (type == QLatin1String("cfgsensorunits")) {
        QString measurement;
        MeasurementOfSensorType(category, measurement, nullptr);
        param.SetSelected(unitIndex(measurement));
    }
    param.SetValuestring(value);
}
} // namespace

Document MakeSensorDocument(const QString &dataDir, const QString &product, const SensorSettings &settings,
                            const QString &configFile)
{
    QString error;
    const SimProduct found = FindProduct(product, &error);
    Document document;
    if (found.row < 0)
        return document;
    document.units = IXMLsensorunitsType::Load(dataDir + QStringLiteral("ordaDeviceUnits.tdx"));
    document.products = LoadConfigDocument(dataDir + aProductDefs().at(found.row).templateFile).products;
    const IXMLdeviceType device = document.Device();
    for (int c = 0; c < device.Count(); ++c)
        for (int p = 0; p < device.Category(c).Count(); ++p) {
            const IXMLparamType param = device.Category(c).Param(p);
            if (settings.contains(param.Cmd()))
                SetParam(document, device.Category(c), param, settings.value(param.Cmd()));
        }
    QString saveError;
    if (!SaveConfigDocument(document.products, configFile, &saveError))
        return Document();
    return document;
}

SensorLines SimulatedLines(const QString &dataDir, const QString &product, const SensorSettings &settings,
                           const QString &folder, int seconds)
{
    SensorLines result;
    const QString configFile = folder + QStringLiteral("/sensor.tcf");
    result.document = MakeSensorDocument(dataDir, product, settings, configFile);
    SimOptions options;
    options.product = product;
    options.dataDir = dataDir;
    options.configFile = configFile;
    SimDevice device;
    QString error;
    if (result.document.IsNull() || !device.Init(options, &error))
        return result;
    for (int second = 0; second < seconds; ++second)
        for (const QString &line : device.DataLines(second * 1000))
            result.lines << QStringLiteral("\n") + line; // the LF ending the line before stays in front
    return result;
}
