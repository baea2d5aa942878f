#include "templates/ordaDeviceUnits.h"

QStringList IXMLmeasurementType::Symbols() const
{
    QStringList symbols;
    const IXMLunitTypeList units = Units();
    for (int i = 0, n = units.Count(); i < n; ++i)
        symbols << units.Items(i).Symbol();
    return symbols;
}

int IXMLmeasurementType::FindUnit(const QString &symbol) const
{
    return int(Symbols().indexOf(symbol));
}

IXMLsensorunitsType::IXMLsensorunitsType(const QDomDocument &document)
    : XmlElement(document.documentElement()), m_document(document)
{
}

IXMLsensorunitsType IXMLsensorunitsType::Load(const QString &path, XmlLoadError *error)
{
    QDomDocument document;
    if (!LoadXmlFile(path, QStringLiteral("sensorunits"), document, error))
        return {};
    return IXMLsensorunitsType(document);
}

IXMLsensorunitsType IXMLsensorunitsType::FromXml(const QByteArray &xml, const QString &source, XmlLoadError *error)
{
    QDomDocument document;
    if (!ParseXml(xml, source, QStringLiteral("sensorunits"), document, error))
        return {};
    return IXMLsensorunitsType(document);
}

IXMLsensorunitsType IXMLsensorunitsType::Create()
{
    QDomDocument document;
    document.appendChild(document.createElement(QStringLiteral("sensorunits")));
    return IXMLsensorunitsType(document);
}

int IXMLsensorunitsType::FindMeasurement(const QString &name) const
{
    const IXMLmeasurementTypeList list = Measurements();
    for (int i = 0, n = list.Count(); i < n; ++i) {
        if (list.Items(i).Name() == name)
            return i;
    }
    return -1;
}

UnitLookup IXMLsensorunitsType::LookupUnit(const QString &name, const QString &symbol) const
{
    UnitLookup result;
    bool measurementSeen = false;
    const IXMLmeasurementTypeList list = Measurements();
    for (int i = 0, n = list.Count(); i < n; ++i) {
        const IXMLmeasurementType measurement = list.Items(i);
        if (measurement.Name() != name)
            continue;
        measurementSeen = true;
        const int position = measurement.FindUnit(symbol);
        if (position < 0) {
            result.found = false;
            result.position = -1;
            result.error = QStringLiteral("Did not find units.");
            return result;
        }
        result.found = true;
        result.position = position;
    }
    if (!measurementSeen)
        result.error = QStringLiteral("Did not find measurement type.");
    return result;
}

void IXMLsensorunitsType::Clear()
{
    m_element = QDomElement();
    m_document = QDomDocument();
}
