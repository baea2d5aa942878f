#include "templates/xmlBinding.h"

#include "base/fileSave.h"

#include <QFile>
#include <QXmlStreamReader>
#include <array>

namespace
{
// The last position found and the count, per parent and tag, for the few
// lists in use at a time (nested loops: categories, then params): a loop
// over a list by index then walks each sibling once. Only a change of the
// parent's own children makes them stale.
struct RememberedList {
    QDomElement parent;
    QString tag;
    int index = -1; // of element; -1: no position remembered
    QDomElement element;
    int count = -1; // -1: not counted
};

// The documents belong to the user-interface thread; slots per thread keep
// another thread's lists apart all the same.
thread_local std::array<RememberedList, 4> rememberedLists;
thread_local size_t nextRecycled = 0;

RememberedList &Remembered(const QDomElement &parent, const QString &tag)
{
    for (RememberedList &list : rememberedLists)
        if (list.parent == parent && list.tag == tag)
            return list;
    RememberedList &recycled = rememberedLists[nextRecycled];
    nextRecycled = (nextRecycled + 1) % rememberedLists.size();
    recycled = RememberedList{};
    recycled.parent = parent;
    recycled.tag = tag;
    return recycled;
}

void ChildrenChanged(const QDomElement &parent)
{
    for (RememberedList &list : rememberedLists)
        if (list.parent == parent)
            list = {};
}

// Why data must not be built into a tree (too big or too deeply nested), or
// empty. Malformed text is left for the parser to describe.
QString OversizeProblem(const QByteArray &data, int *line, int *column)
{
    if (data.size() > kMaxXmlFileBytes)
        return QStringLiteral("the file is %1 bytes long, more than any configuration or template file (%2 at most); "
                              "not loaded")
            .arg(data.size())
            .arg(kMaxXmlFileBytes);
    QXmlStreamReader reader(data);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement)
            --depth;
        else if (token == QXmlStreamReader::StartElement && ++depth > kMaxXmlDepth) {
            *line = int(reader.lineNumber());
            *column = int(reader.columnNumber());
            return QStringLiteral("elements are nested more than %1 deep, deeper than in any configuration or "
                                  "template file; not loaded")
                .arg(kMaxXmlDepth);
        }
    }
    return {};
}
} // namespace

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
    failure.message = OversizeProblem(data, &failure.line, &failure.column);
    if (!failure.message.isEmpty()) {
        doc = QDomDocument();
        if (error)
            *error = failure;
        return false;
    }
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
    // A pipe or a device would block the read (or never end): only regular
    // files are documents.
    if (IsSpecialFile(path)) {
        doc = QDomDocument();
        if (error)
            *error = {path, 0, 0, QStringLiteral("not a regular file (a device, pipe, socket or folder)")};
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        doc = QDomDocument();
        if (error)
            *error = {path, 0, 0, file.errorString()};
        return false;
    }
    // Read one byte past the limit, so the size check sees an oversized file
    // without the whole of it in memory.
    return ParseXml(file.read(kMaxXmlFileBytes + 1), path, rootName, doc, error);
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
    ChildrenChanged(element);
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
    ChildrenChanged(parent);
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
    if (m_parent.isNull())
        return 0;
    RememberedList &remembered = Remembered(m_parent, m_tag);
    if (remembered.count < 0) {
        remembered.count = 0;
        for (QDomElement e = m_parent.firstChildElement(m_tag); !e.isNull(); e = e.nextSiblingElement(m_tag))
            ++remembered.count;
    }
    return remembered.count;
}

QDomElement XmlChildList::At(int index) const
{
    if (index < 0 || m_parent.isNull())
        return {};
    RememberedList &remembered = Remembered(m_parent, m_tag);
    // Walk on from the last position asked for when it lies before index.
    const bool onward = remembered.index >= 0 && remembered.index <= index;
    int at = onward ? remembered.index : 0;
    QDomElement e = onward ? remembered.element : m_parent.firstChildElement(m_tag);
    for (; !e.isNull() && at < index; ++at)
        e = e.nextSiblingElement(m_tag);
    if (!e.isNull()) {
        remembered.index = index;
        remembered.element = e;
    }
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
    ChildrenChanged(m_parent);
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
    ChildrenChanged(m_parent);
    m_parent.removeChild(e);
    return true;
}

void XmlChildList::Clear()
{
    ChildrenChanged(m_parent);
    for (QDomElement e = m_parent.firstChildElement(m_tag); !e.isNull(); e = m_parent.firstChildElement(m_tag))
        m_parent.removeChild(e);
}
