#pragma once
#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QString>
#include <QStringList>

// Why a document could not be loaded, and where. Line and column are those
// the XML parser reports (1-based); both are 0 when the failure has no place
// in the text (a missing file, a wrong root element).
struct XmlLoadError {
    QString file;
    int line = 0;
    int column = 0;
    QString message;

    // "file, line L, column C: message" (the position only when known).
    QString Text() const;
};

// Far above any real template, configuration, units or translation file
// (the largest shipped file is under 100 KB, nested 6 deep): a document
// beyond either is refused before its tree is built, so a crafted file
// cannot tie the program up.
constexpr qint64 kMaxXmlFileBytes = 16 * 1024 * 1024;
constexpr int kMaxXmlDepth = 64;

// Reads path into doc and checks that its root element is rootName.
// On failure doc is left empty and error (when given) says why.
bool LoadXmlFile(const QString &path, const QString &rootName, QDomDocument &doc, XmlLoadError *error);
// The same for text already in memory; source names it in the error.
bool ParseXml(const QByteArray &data, const QString &source, const QString &rootName, QDomDocument &doc,
              XmlLoadError *error);

// Base of the typed element wrappers: a light value referring to one element
// of a shared document (copies refer to the same element).
//
// Reading never fails: a missing attribute or child element reads as empty
// text; an int that is missing or not a decimal number reads as the getter's
// fallback (documented per getter) and clears *ok when ok is given.
// Writing a missing child element creates it. A null wrapper (default
// constructed, or an item beyond the end of a list) reads like an empty
// element and ignores writes.
class XmlElement
{
public:
    XmlElement() = default;
    explicit XmlElement(const QDomElement &element) : m_element(element) {}

    bool IsNull() const { return m_element.isNull(); }
    QDomElement Element() const { return m_element; }
    // The element's XML text.
    QString XML() const;

protected:
    QString Attr(const QString &name) const;
    void SetAttr(const QString &name, const QString &value);
    int AttrInt(const QString &name, int fallback, bool *ok) const;
    void SetAttrInt(const QString &name, int value);

    QString ChildText(const QString &tag) const;
    void SetChildText(const QString &tag, const QString &value);
    int ChildInt(const QString &tag, int fallback, bool *ok) const;
    void SetChildInt(const QString &tag, int value);

    // The element's own text (for the list items).
    QString OwnText() const;
    void SetOwnText(const QString &value);

    // When set, a created child goes before the first existing child that
    // comes later in this order, so a document keeps its declared layout.
    const QStringList *m_childOrder = nullptr;
    QDomElement m_element;

private:
    QDomElement CreateChild(const QString &tag);
};

// Converts element or attribute text to a 32-bit int: decimal, surrounding
// blanks allowed. Anything else gives fallback and *ok = false.
int XmlTextToInt(const QString &text, int fallback, bool *ok);

// The child elements of one parent that share a tag, addressed by position
// among themselves (other children are not counted).
//
// Asking for the items in order (At(0), At(1), ...) and for Count() again
// is linear overall: the last position found and the count are remembered
// until the next change made through these wrappers. Change a document's
// element structure only through them.
class XmlChildList
{
public:
    XmlChildList() = default;
    // order: as XmlElement's child order, for the first item of the tag.
    XmlChildList(const QDomElement &parent, const QString &tag, const QStringList *order = nullptr)
        : m_parent(parent), m_tag(tag), m_order(order)
    {
    }

    int Count() const;
    // Null outside 0..Count()-1.
    QDomElement At(int index) const;
    // A new child after the last one of the tag, or at the end of the parent.
    QDomElement AddElement();
    // A new child that becomes item index; index >= Count() adds at the end.
    QDomElement InsertElement(int index);
    // Removes item index; false when there is none.
    bool Delete(int index);
    void Clear();

protected:
    QDomElement m_parent;
    QString m_tag;
    const QStringList *m_order = nullptr;
};

template <class Item> class XmlTypedList : public XmlChildList
{
public:
    using XmlChildList::XmlChildList;
    Item Items(int index) const { return Item(At(index)); }
    Item operator[](int index) const { return Items(index); }
    // In order without positions: for (Item i = list.First(); !i.IsNull(); i = list.Next(i)).
    Item First() const { return Item(m_parent.firstChildElement(m_tag)); }
    Item Next(const Item &item) const { return Item(item.Element().nextSiblingElement(m_tag)); }
    Item Add() { return Item(AddElement()); }
    Item Insert(int index) { return Item(InsertElement(index)); }
};
