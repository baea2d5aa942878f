#pragma once
#include <QDomDocument>
#include <QDomElement>
#include <QString>
#include <optional>

// Typed access to the translations file:
//
//   <labels>
//     <label name="KEY" sensorname="...">
//       <trans id="0">English</trans><trans id="1">French</trans><trans id="2">Polish</trans>
//     </label>
//   </labels>
//
// The translation for language i is the (i+1)-th <trans> of its label in
// document order; the id attributes play no part.

class TXMLtransType
{
public:
    TXMLtransType() = default;
    explicit TXMLtransType(const QDomElement &element) : m_element(element) {}
    bool IsNull() const { return m_element.isNull(); }
    QString Id() const { return m_element.attribute(QStringLiteral("id")); }
    QString Text() const { return m_element.text(); }

private:
    QDomElement m_element;
};

class TXMLlabelType
{
public:
    TXMLlabelType() = default;
    explicit TXMLlabelType(const QDomElement &element) : m_element(element) {}
    bool IsNull() const { return m_element.isNull(); }
    QString Name() const { return m_element.attribute(QStringLiteral("name")); }
    QString Sensorname() const { return m_element.attribute(QStringLiteral("sensorname")); }
    int TransCount() const;
    // The trans at index (0-based, document order); IsNull() when there are fewer.
    TXMLtransType Trans(int index) const;
    TXMLlabelType NextLabel() const { return TXMLlabelType(m_element.nextSiblingElement(QStringLiteral("label"))); }

private:
    QDomElement m_element;
};

class TXMLlabelsType
{
public:
    TXMLlabelsType() = default;
    explicit TXMLlabelsType(const QDomElement &element) : m_element(element) {}
    bool IsNull() const { return m_element.isNull(); }
    int LabelCount() const;
    TXMLlabelType FirstLabel() const { return TXMLlabelType(m_element.firstChildElement(QStringLiteral("label"))); }

private:
    QDomElement m_element;
};

class TTranslationsDocument
{
public:
    // Loads path. Absent, with a message naming the file (and for XML errors
    // the line and column), when the file is missing, unreadable, not XML or
    // its root is not <labels>.
    static std::optional<TTranslationsDocument> Load(const QString &path, QString *error);

    TXMLlabelsType Labels() const { return TXMLlabelsType(m_document.documentElement()); }

private:
    QDomDocument m_document;
};
