#include "templates/ordaUserConfig.h"

IXMLitemType IXMLitemTypeList::Add(const QString &text)
{
    IXMLitemType item = Add();
    item.SetText(text);
    return item;
}

QStringList IXMLitemTypeList::Texts() const
{
    QStringList texts;
    for (QDomElement e = m_parent.firstChildElement(m_tag); !e.isNull(); e = e.nextSiblingElement(m_tag))
        texts << e.text();
    return texts;
}

int IXMLitemTypeList::IndexOf(const QString &text) const
{
    return int(Texts().indexOf(text));
}

IXMLparamType::IXMLparamType(const QDomElement &element) : XmlElement(element)
{
    m_childOrder = &ChildOrder();
}

const QStringList &IXMLparamType::ChildOrder()
{
    static const QStringList order = {
        QStringLiteral("cmd"),
        QStringLiteral("type"),
        QStringLiteral("option"),
        QStringLiteral("selected"),
        QStringLiteral("desc"),
        QStringLiteral("valuestring"),
        QStringLiteral("valid"),
        QStringLiteral("warncritical"),
        QStringLiteral("min"),
        QStringLiteral("max"),
        QStringLiteral("value"),
        QStringLiteral("units"),
        QStringLiteral("measure"),
        QStringLiteral("reportvalue"),
        QStringLiteral("reportnmeavalue"),
        QStringLiteral("reportxdrvalue"),
        QStringLiteral("repoption"),
        QStringLiteral("repnmeaoption"),
        QStringLiteral("repxdroption"),
        QStringLiteral("reportmode"),
        QStringLiteral("reportfull"),
        QStringLiteral("reportdefault"),
        QStringLiteral("mask"),
        QStringLiteral("floatmin"),
        QStringLiteral("floatmax"),
        QStringLiteral("floatvalue"),
        QStringLiteral("customunits"),
        QStringLiteral("high"),
        QStringLiteral("low"),
        QStringLiteral("illegalstrings"),
        QStringLiteral("string"),
        QStringLiteral("fmax"),
        QStringLiteral("fmin"),
    };
    return order;
}

IXMLproductsType::IXMLproductsType(const QDomDocument &document)
    : XmlElement(document.documentElement()), m_document(document)
{
}

IXMLproductsType IXMLproductsType::Load(const QString &path, XmlLoadError *error)
{
    QDomDocument document;
    if (!LoadXmlFile(path, QStringLiteral("products"), document, error))
        return {};
    return IXMLproductsType(document);
}

IXMLproductsType IXMLproductsType::FromXml(const QByteArray &xml, const QString &source, XmlLoadError *error)
{
    QDomDocument document;
    if (!ParseXml(xml, source, QStringLiteral("products"), document, error))
        return {};
    return IXMLproductsType(document);
}

IXMLproductsType IXMLproductsType::Create()
{
    QDomDocument document;
    document.appendChild(document.createElement(QStringLiteral("products")));
    return IXMLproductsType(document);
}

void IXMLproductsType::Clear()
{
    m_element = QDomElement();
    m_document = QDomDocument();
}

static QString CheckParamLimits(const IXMLcategoryType &category, const IXMLparamType &param)
{
    const struct {
        IXMLitemTypeList list;
        const char *tag;
    } reportLists[] = {{param.Repoption(), "repoption"},
                       {param.Repnmeaoption(), "repnmeaoption"},
                       {param.Repxdroption(), "repxdroption"}};
    for (const auto &entry : reportLists) {
        if (entry.list.Count() > TemplateLimits::ReportItems)
            return QStringLiteral("param \"%1\" of category \"%2\" has %3 %4 items (at most %5)")
                .arg(param.Name(), category.Name())
                .arg(entry.list.Count())
                .arg(QLatin1String(entry.tag))
                .arg(TemplateLimits::ReportItems);
    }
    return {};
}

static QString CheckCategoryLimits(const IXMLcategoryType &category)
{
    bool hasIndex = false;
    const int group = category.Groupindex(&hasIndex);
    if (hasIndex && (group < 0 || group >= TemplateLimits::Inputs))
        return QStringLiteral("category \"%1\" has groupindex %2 (0 to %3 allowed)")
            .arg(category.Name())
            .arg(group)
            .arg(TemplateLimits::Inputs - 1);
    const int params = category.Count();
    if (params > TemplateLimits::ParamsPerCategory)
        return QStringLiteral("category \"%1\" has %2 params (at most %3)")
            .arg(category.Name())
            .arg(params)
            .arg(TemplateLimits::ParamsPerCategory);
    for (int p = 0; p < params; ++p) {
        const QString problem = CheckParamLimits(category, category.Param(p));
        if (!problem.isEmpty())
            return problem;
    }
    return {};
}

QString CheckTemplateLimits(const IXMLproductsType &products)
{
    const IXMLdeviceType device = products.Device(0);
    if (device.IsNull())
        return QStringLiteral("the document has no device");
    const int categories = device.Count();
    if (categories > TemplateLimits::Categories)
        return QStringLiteral("the device has %1 categories (at most %2)")
            .arg(categories)
            .arg(TemplateLimits::Categories);
    for (int c = 0; c < categories; ++c) {
        const QString problem = CheckCategoryLimits(device.Category(c));
        if (!problem.isEmpty())
            return problem;
    }
    return {};
}
