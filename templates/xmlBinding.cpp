#include "templates/xmlBinding.h"

#include <QFile>

QString XmlLoadError::Text() const
{
    QString where = file;
    if (line > 0)
        where += QStringLiteral(", line %1, column %2").arg(line).arg(column);
    return where + QStringLiteral(": ") + message;
}

bool ParseXml(const QByteArray &data, const QString &source, const QString &rootName, QDomDocument &doc,
              XmlLoadError *error)
{
    XmlLoadError failure;
    failure.file = source;
    QDomDocument parsed;
    if (!parsed.setContent(data, false, &failure.message, &failure.line, &failure.column)) {
        doc = QDomDocument();
        if (error)
            *error = failure;
        return false;
    }
    const QString root = parsed.documentElement().tagName();
    if (root != rootName) {
        doc = QDomDocument();
        if (error) {
            failure.line = failure.column = 0;
            failure.message = root.isEmpty() ? QStringLiteral("the document has no root element")
                                             : QStringLiteral("the root element is <%1>, not <%2>").arg(root, rootName);
            *error = failure;
        }
        return false;
    }
    doc = parsed;
    return true;
}

bool LoadXmlFile(const QString &path, const QString &rootName, QDomDocument &doc, XmlLoadError *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        doc = QDomDocument();
        if (error)
            *error = {path, 0, 0, file.errorString()};
        return false;
    }
    return ParseXml(file.readAll(), path, rootName, doc, error);
}

int XmlTextToInt(const QString &text, int fallback, bool *ok)
{
    bool converted = false;
    const int value = text.trimmed().toInt(&converted, 10);
    if (ok)
        *ok = converted;
    return converted ? value : fallback;
}

QString XmlElement::XML() const
{
    if (m_element.isNull())
        return {};
    // Saved from a document of its own, so the text starts at column 0
    // whatever the element's depth, and carries no XML declaration.
    QDomDocument alone;
    alone.appendChild(alone.importNode(m_element, true));
    return alone.toString(2);
}

QString XmlElement::Attr(const QString &name) const
{
    return m_element.attribute(name);
}

void XmlElement::SetAttr(const QString &name, const QString &value)
{
    if (!m_element.isNull())
        m_element.setAttribute(name, value);
}

int XmlElement::AttrInt(const QString &name, int fallback, bool *ok) const
{
    if (!m_element.hasAttribute(name)) {
        if (ok)
            *ok = false;
        return fallback;
    }
    return XmlTextToInt(m_element.attribute(name), fallback, ok);
}

void XmlElement::SetAttrInt(const QString &name, int value)
{
    SetAttr(name, QString::number(value));
}

QString XmlElement::ChildText(const QString &tag) const
{
    return m_element.firstChildElement(tag).text();
}

int XmlElement::ChildInt(const QString &tag, int fallback, bool *ok) const
{
    const QDomElement child = m_element.firstChildElement(tag);
    if (child.isNull()) {
        if (ok)
            *ok = false;
        return fallback;
    }
    return XmlTextToInt(child.text(), fallback, ok);
}

void XmlElement::SetChildInt(const QString &tag, int value)
{
    SetChildText(tag, QString::number(value));
}

static void ReplaceText(QDomElement element, const QString &value)
{
    while (!element.firstChild().isNull())
        element.removeChild(element.firstChild());
    if (!value.isEmpty())
        element.appendChild(element.ownerDocument().createTextNode(value));
}

void XmlElement::SetChildText(const QString &tag, const QString &value)
{
    if (m_element.isNull())
        return;
    QDomElement child = m_element.firstChildElement(tag);
    if (child.isNull())
        child = CreateChild(tag);
    ReplaceText(child, value);
}

QString XmlElement::OwnText() const
{
    return m_element.text();
}

void XmlElement::SetOwnText(const QString &value)
{
    if (!m_element.isNull())
        ReplaceText(m_element, value);
}

// Puts child into parent before the first child that comes later in order,
// or at the end.
static void InsertInOrder(QDomElement &parent, const QDomElement &child, const QStringList *order)
{
    const int rank = order ? int(order->indexOf(child.tagName())) : -1;
    if (rank >= 0) {
        for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
            if (order->indexOf(e.tagName()) > rank) {
                parent.insertBefore(child, e);
                return;
            }
        }
    }
    parent.appendChild(child);
}

QDomElement XmlElement::CreateChild(const QString &tag)
{
    QDomElement child = m_element.ownerDocument().createElement(tag);
    InsertInOrder(m_element, child, m_childOrder);
    return child;
}

int XmlChildList::Count() const
{
    int count = 0;
    for (QDomElement e = m_parent.firstChildElement(m_tag); !e.isNull(); e = e.nextSiblingElement(m_tag))
        ++count;
    return count;
}

QDomElement XmlChildList::At(int index) const
{
    if (index < 0)
        return {};
    QDomElement e = m_parent.firstChildElement(m_tag);
    for (; !e.isNull() && index > 0; --index)
        e = e.nextSiblingElement(m_tag);
    return e;
}

QDomElement XmlChildList::AddElement()
{
    return InsertElement(Count());
}

QDomElement XmlChildList::InsertElement(int index)
{
    if (m_parent.isNull())
        return {};
    QDomElement child = m_parent.ownerDocument().createElement(m_tag);
    const QDomElement before = At(qMax(index, 0));
    if (!before.isNull()) {
        m_parent.insertBefore(child, before);
        return child;
    }
    const QDomElement last = m_parent.lastChildElement(m_tag);
    if (!last.isNull())
        m_parent.insertAfter(child, last);
    else
        InsertInOrder(m_parent, child, m_order);
    return child;
}

bool XmlChildList::Delete(int index)
{
    QDomElement e = At(index);
    if (e.isNull())
        return false;
    m_parent.removeChild(e);
    return true;
}

void XmlChildList::Clear()
{
    for (QDomElement e = m_parent.firstChildElement(m_tag); !e.isNull(); e = m_parent.firstChildElement(m_tag))
        m_parent.removeChild(e);
}
