#pragma once
// Typed access to the units document ("ordaDeviceUnits.tdx"):
//
//   <sensorunits>
//     <measurement name sensorname>
//       <unit id> <symbol/> <factor/> <offset/> </unit>
//
// Same conventions as the template binding (templates/ordaUserConfig.h):
// missing text reads as empty, a missing or non-numeric int as 0, an index
// outside a list gives a null wrapper. Units are identified by position in
// their measurement, measurements by name (the first of a name wins).
#include "templates/xmlBinding.h"

class IXMLunitType : public XmlElement
{
public:
    using XmlElement::XmlElement;
    int Id(bool *ok = nullptr) const { return AttrInt(QStringLiteral("id"), 0, ok); }
    void SetId(int v) { SetAttrInt(QStringLiteral("id"), v); }
    QString Symbol() const { return ChildText(QStringLiteral("symbol")); }
    void SetSymbol(const QString &v) { SetChildText(QStringLiteral("symbol"), v); }
    int Factor(bool *ok = nullptr) const { return ChildInt(QStringLiteral("factor"), 0, ok); }
    void SetFactor(int v) { SetChildInt(QStringLiteral("factor"), v); }
    int Offset(bool *ok = nullptr) const { return ChildInt(QStringLiteral("offset"), 0, ok); }
    void SetOffset(int v) { SetChildInt(QStringLiteral("offset"), v); }
};
using IXMLunitTypeList = XmlTypedList<IXMLunitType>;

class IXMLmeasurementType : public XmlElement
{
public:
    using XmlElement::XmlElement;
    QString Name() const { return Attr(QStringLiteral("name")); }
    void SetName(const QString &v) { SetAttr(QStringLiteral("name"), v); }
    QString Sensorname() const { return Attr(QStringLiteral("sensorname")); }
    void SetSensorname(const QString &v) { SetAttr(QStringLiteral("sensorname"), v); }

    IXMLunitTypeList Units() const { return {m_element, QStringLiteral("unit")}; }
    int Count() const { return Units().Count(); }
    IXMLunitType Unit(int index) const { return Units().Items(index); }

    // The symbols of the units in document order.
    QStringList Symbols() const;
    // Position of the first unit whose symbol equals symbol exactly, or -1.
    int FindUnit(const QString &symbol) const;
};
using IXMLmeasurementTypeList = XmlTypedList<IXMLmeasurementType>;

// The outcome of looking a device's unit text up by measurement name.
struct UnitLookup {
    bool found = false;
    int position = -1; // the unit's position in its measurement
    QString error;     // "Did not find units." or "Did not find measurement type."
};

class IXMLsensorunitsType : public XmlElement
{
public:
    IXMLsensorunitsType() = default;

    // Loads the units file; the root must be <sensorunits>. A null root and
    // the error (file, line, column) on failure.
    static IXMLsensorunitsType Load(const QString &path, XmlLoadError *error = nullptr);
    static IXMLsensorunitsType FromXml(const QByteArray &xml, const QString &source, XmlLoadError *error = nullptr);
    static IXMLsensorunitsType Create();

    IXMLmeasurementTypeList Measurements() const { return {m_element, QStringLiteral("measurement")}; }
    int Count() const { return Measurements().Count(); }
    IXMLmeasurementType Measurement(int index) const { return Measurements().Items(index); }

    // Index of the first measurement named name (exact), or -1.
    int FindMeasurement(const QString &name) const;
    // A device's reply value in the measurement(s) named name: every
    // measurement of that name is scanned and a later match wins; a named
    // measurement without the symbol, or no such measurement, is an error.
    UnitLookup LookupUnit(const QString &name, const QString &symbol) const;

    void Clear();
    QDomDocument Document() const { return m_document; }

private:
    explicit IXMLsensorunitsType(const QDomDocument &document);
    QDomDocument m_document;
};
