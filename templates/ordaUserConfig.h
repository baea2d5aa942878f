#pragma once
// Typed access to the device template document: a shipped template, the
// engine's working document, the retrieved and uploaded configurations and
// the user's configuration files all have this form:
//
//   <products version>
//     <device name sensorname protocolversion heatingcapability axisconfig>
//       <category name sensorname group groupindex>
//         <param name> cmd type option* selected desc ... fmin </param>
//
// One class per element kind, each a value referring to an element of a
// shared document. What reads return when something is missing:
//   - a missing attribute or child element reads as empty text;
//   - an int that is missing or not a decimal number reads as 0, except
//     param `selected`, which reads as -1 (nothing chosen); pass ok to tell
//     a real value from the fallback;
//   - an index outside a list gives a null wrapper, which reads as empty and
//     ignores writes.
// Writing a missing child element creates it (in a param, in the declared
// order below); updating an element never moves it.
#include "templates/xmlBinding.h"

// The five repeated item kinds under a param share one form: attribute `id`
// (carried, never interpreted) and the element text. Items are identified by
// position among the items of the same kind, and by text.
class IXMLitemType : public XmlElement
{
public:
    using XmlElement::XmlElement;
    int Id(bool *ok = nullptr) const { return AttrInt(QStringLiteral("id"), 0, ok); }
    void SetId(int value) { SetAttrInt(QStringLiteral("id"), value); }
    QString Text() const { return OwnText(); }
    void SetText(const QString &value) { SetOwnText(value); }
};
using IXMLoptionType = IXMLitemType;
using IXMLrepoptionType = IXMLitemType;
using IXMLrepnmeaoptionType = IXMLitemType;
using IXMLrepxdroptionType = IXMLitemType;
using IXMLreportmodeType = IXMLitemType;

class IXMLitemTypeList : public XmlTypedList<IXMLitemType>
{
public:
    using XmlTypedList::Add;
    using XmlTypedList::XmlTypedList;
    // Appends an item with this text.
    IXMLitemType Add(const QString &text);
    // The item texts in document order.
    QStringList Texts() const;
    // Position of the first item whose text equals text exactly, or -1.
    int IndexOf(const QString &text) const;
};
using IXMLoptionTypeList = IXMLitemTypeList;
using IXMLrepoptionTypeList = IXMLitemTypeList;
using IXMLrepnmeaoptionTypeList = IXMLitemTypeList;
using IXMLrepxdroptionTypeList = IXMLitemTypeList;
using IXMLreportmodeTypeList = IXMLitemTypeList;

class IXMLparamType : public XmlElement
{
public:
    IXMLparamType() = default;
    explicit IXMLparamType(const QDomElement &element);

    // The param's children in declared order.
    static const QStringList &ChildOrder();

    QString Name() const { return Attr(QStringLiteral("name")); }
    void SetName(const QString &v) { SetAttr(QStringLiteral("name"), v); }

    QString Cmd() const { return ChildText(QStringLiteral("cmd")); }
    void SetCmd(const QString &v) { SetChildText(QStringLiteral("cmd"), v); }
    QString Type() const { return ChildText(QStringLiteral("type")); }
    void SetType(const QString &v) { SetChildText(QStringLiteral("type"), v); }
    IXMLoptionTypeList Option() const { return {m_element, QStringLiteral("option"), &ChildOrder()}; }
    // -1 when missing or not a number: nothing chosen.
    int Selected(bool *ok = nullptr) const { return ChildInt(QStringLiteral("selected"), -1, ok); }
    void SetSelected(int v) { SetChildInt(QStringLiteral("selected"), v); }
    QString Desc() const { return ChildText(QStringLiteral("desc")); }
    void SetDesc(const QString &v) { SetChildText(QStringLiteral("desc"), v); }
    QString Valuestring() const { return ChildText(QStringLiteral("valuestring")); }
    void SetValuestring(const QString &v) { SetChildText(QStringLiteral("valuestring"), v); }
    int Valid(bool *ok = nullptr) const { return ChildInt(QStringLiteral("valid"), 0, ok); }
    void SetValid(int v) { SetChildInt(QStringLiteral("valid"), v); }
    int Warncritical(bool *ok = nullptr) const { return ChildInt(QStringLiteral("warncritical"), 0, ok); }
    void SetWarncritical(int v) { SetChildInt(QStringLiteral("warncritical"), v); }
    int Min(bool *ok = nullptr) const { return ChildInt(QStringLiteral("min"), 0, ok); }
    void SetMin(int v) { SetChildInt(QStringLiteral("min"), v); }
    int Max(bool *ok = nullptr) const { return ChildInt(QStringLiteral("max"), 0, ok); }
    void SetMax(int v) { SetChildInt(QStringLiteral("max"), v); }
    int Value(bool *ok = nullptr) const { return ChildInt(QStringLiteral("value"), 0, ok); }
    void SetValue(int v) { SetChildInt(QStringLiteral("value"), v); }
    QString Units() const { return ChildText(QStringLiteral("units")); }
    void SetUnits(const QString &v) { SetChildText(QStringLiteral("units"), v); }
    QString Measure() const { return ChildText(QStringLiteral("measure")); }
    void SetMeasure(const QString &v) { SetChildText(QStringLiteral("measure"), v); }
    QString Reportvalue() const { return ChildText(QStringLiteral("reportvalue")); }
    void SetReportvalue(const QString &v) { SetChildText(QStringLiteral("reportvalue"), v); }
    QString Reportnmeavalue() const { return ChildText(QStringLiteral("reportnmeavalue")); }
    void SetReportnmeavalue(const QString &v) { SetChildText(QStringLiteral("reportnmeavalue"), v); }
    QString Reportxdrvalue() const { return ChildText(QStringLiteral("reportxdrvalue")); }
    void SetReportxdrvalue(const QString &v) { SetChildText(QStringLiteral("reportxdrvalue"), v); }
    IXMLrepoptionTypeList Repoption() const { return {m_element, QStringLiteral("repoption"), &ChildOrder()}; }
    IXMLrepnmeaoptionTypeList Repnmeaoption() const
    {
        return {m_element, QStringLiteral("repnmeaoption"), &ChildOrder()};
    }
    IXMLrepxdroptionTypeList Repxdroption() const { return {m_element, QStringLiteral("repxdroption"), &ChildOrder()}; }
    IXMLreportmodeTypeList Reportmode() const { return {m_element, QStringLiteral("reportmode"), &ChildOrder()}; }
    QString Reportfull() const { return ChildText(QStringLiteral("reportfull")); }
    void SetReportfull(const QString &v) { SetChildText(QStringLiteral("reportfull"), v); }
    QString Reportdefault() const { return ChildText(QStringLiteral("reportdefault")); }
    void SetReportdefault(const QString &v) { SetChildText(QStringLiteral("reportdefault"), v); }
    QString Mask() const { return ChildText(QStringLiteral("mask")); }
    void SetMask(const QString &v) { SetChildText(QStringLiteral("mask"), v); }
    QString Floatmin() const { return ChildText(QStringLiteral("floatmin")); }
    void SetFloatmin(const QString &v) { SetChildText(QStringLiteral("floatmin"), v); }
    QString Floatmax() const { return ChildText(QStringLiteral("floatmax")); }
    void SetFloatmax(const QString &v) { SetChildText(QStringLiteral("floatmax"), v); }
    QString Floatvalue() const { return ChildText(QStringLiteral("floatvalue")); }
    void SetFloatvalue(const QString &v) { SetChildText(QStringLiteral("floatvalue"), v); }
    QString Customunits() const { return ChildText(QStringLiteral("customunits")); }
    void SetCustomunits(const QString &v) { SetChildText(QStringLiteral("customunits"), v); }
    int High(bool *ok = nullptr) const { return ChildInt(QStringLiteral("high"), 0, ok); }
    void SetHigh(int v) { SetChildInt(QStringLiteral("high"), v); }
    QString Low() const { return ChildText(QStringLiteral("low")); }
    void SetLow(const QString &v) { SetChildText(QStringLiteral("low"), v); }
    QString Illegalstrings() const { return ChildText(QStringLiteral("illegalstrings")); }
    void SetIllegalstrings(const QString &v) { SetChildText(QStringLiteral("illegalstrings"), v); }
    QString String() const { return ChildText(QStringLiteral("string")); }
    void SetString(const QString &v) { SetChildText(QStringLiteral("string"), v); }
    QString Fmax() const { return ChildText(QStringLiteral("fmax")); }
    void SetFmax(const QString &v) { SetChildText(QStringLiteral("fmax"), v); }
    QString Fmin() const { return ChildText(QStringLiteral("fmin")); }
    void SetFmin(const QString &v) { SetChildText(QStringLiteral("fmin"), v); }
};
using IXMLparamTypeList = XmlTypedList<IXMLparamType>;

class IXMLcategoryType : public XmlElement
{
public:
    using XmlElement::XmlElement;
    QString Name() const { return Attr(QStringLiteral("name")); }
    void SetName(const QString &v) { SetAttr(QStringLiteral("name"), v); }
    QString Sensorname() const { return Attr(QStringLiteral("sensorname")); }
    void SetSensorname(const QString &v) { SetAttr(QStringLiteral("sensorname"), v); }
    QString Group() const { return Attr(QStringLiteral("group")); }
    void SetGroup(const QString &v) { SetAttr(QStringLiteral("group"), v); }
    int Groupindex(bool *ok = nullptr) const { return AttrInt(QStringLiteral("groupindex"), 0, ok); }
    void SetGroupindex(int v) { SetAttrInt(QStringLiteral("groupindex"), v); }

    IXMLparamTypeList Params() const { return {m_element, QStringLiteral("param")}; }
    int Count() const { return Params().Count(); }
    IXMLparamType Param(int index) const { return Params().Items(index); }
};
using IXMLcategoryTypeList = XmlTypedList<IXMLcategoryType>;

class IXMLdeviceType : public XmlElement
{
public:
    using XmlElement::XmlElement;
    QString Name() const { return Attr(QStringLiteral("name")); }
    void SetName(const QString &v) { SetAttr(QStringLiteral("name"), v); }
    QString Sensorname() const { return Attr(QStringLiteral("sensorname")); }
    void SetSensorname(const QString &v) { SetAttr(QStringLiteral("sensorname"), v); }
    int Protocolversion(bool *ok = nullptr) const { return AttrInt(QStringLiteral("protocolversion"), 0, ok); }
    void SetProtocolversion(int v) { SetAttrInt(QStringLiteral("protocolversion"), v); }
    // 0 when missing or unreadable, as a configuration-file check wants.
    int Heatingcapability(bool *ok = nullptr) const { return AttrInt(QStringLiteral("heatingcapability"), 0, ok); }
    void SetHeatingcapability(int v) { SetAttrInt(QStringLiteral("heatingcapability"), v); }
    QString Axisconfig() const { return Attr(QStringLiteral("axisconfig")); }
    void SetAxisconfig(const QString &v) { SetAttr(QStringLiteral("axisconfig"), v); }
    // 3 (UVW) when axisconfig contains "UVW", else 2 (standard).
    int AxisConfigValue() const { return Axisconfig().contains(QStringLiteral("UVW")) ? 3 : 2; }

    IXMLcategoryTypeList Categories() const { return {m_element, QStringLiteral("category")}; }
    int Count() const { return Categories().Count(); }
    IXMLcategoryType Category(int index) const { return Categories().Items(index); }
};
using IXMLdeviceTypeList = XmlTypedList<IXMLdeviceType>;

// The document root. It holds the document itself, so the tree lives as long
// as any copy of the root does; an element wrapper taken from it must not
// outlive every copy of the root.
class IXMLproductsType : public XmlElement
{
public:
    IXMLproductsType() = default;

    // Loads a template or configuration file; the root must be <products>.
    // A null root and the error (file, line, column) on failure.
    static IXMLproductsType Load(const QString &path, XmlLoadError *error = nullptr);
    static IXMLproductsType FromXml(const QByteArray &xml, const QString &source, XmlLoadError *error = nullptr);
    // An empty <products> document.
    static IXMLproductsType Create();

    int Version(bool *ok = nullptr) const { return AttrInt(QStringLiteral("version"), 0, ok); }
    void SetVersion(int v) { SetAttrInt(QStringLiteral("version"), v); }

    IXMLdeviceTypeList Devices() const { return {m_element, QStringLiteral("device")}; }
    int Count() const { return Devices().Count(); }
    IXMLdeviceType Device(int index) const { return Devices().Items(index); }

    // Drops the document (a null root afterwards).
    void Clear();
    QDomDocument Document() const { return m_document; }

private:
    explicit IXMLproductsType(const QDomDocument &document);
    QDomDocument m_document;
};

// What a template's page and control tables can hold.
namespace TemplateLimits
{
constexpr int Categories = 20;
constexpr int ParamsPerCategory = 50;
constexpr int Inputs = 20;      // groupindex 0..19
constexpr int ReportItems = 50; // each of repoption, repnmeaoption, repxdroption
} // namespace TemplateLimits

// Empty when the first device of the document fits the tables; otherwise
// what does not fit, naming the category (and param).
QString CheckTemplateLimits(const IXMLproductsType &products);
