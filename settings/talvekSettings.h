#pragma once
#include <QDomDocument>
#include <QDomElement>
#include <QString>
#include <optional>

// Typed access to the settings document (.tsf):
//
//   <GSguisettings description="TALVEK SETTINGS FILE" version="2">
//     <GScategory name="Comms" input="...">
//       <GSfirsttryport>1</GSfirsttryport> ...
//       <GSpanel measurement="..."><GSunits/>...</GSpanel>
//     </GScategory>
//   </GSguisettings>
//
// The wrappers are thin handles onto elements of one QDomDocument; copying a
// wrapper never copies the document. A wrapper over a null element reads as
// absent and ignores writes. Elements and attributes the wrappers do not know
// stay in the document untouched, so a save writes them back as they came.

// How an integer element read out.
enum class TXMLIntegerRead { Ok, Missing, Empty, NotInteger };

// Converts element text to an int the way the settings file stores numbers:
// optional sign, decimal digits, blanks around allowed.
TXMLIntegerRead ParseSettingsInteger(const QString &text, int &value);

class TXMLElementType
{
public:
    TXMLElementType() = default;
    explicit TXMLElementType(const QDomElement &element) : m_element(element) {}

    bool IsNull() const { return m_element.isNull(); }
    QDomElement Element() const { return m_element; }

protected:
    QString Attribute(const QString &name) const;
    void SetAttribute(const QString &name, const QString &value);
    // The first child element named tag; absent when there is none.
    std::optional<QString> ChildText(const QString &tag) const;
    TXMLIntegerRead ChildInteger(const QString &tag, int &value) const;
    // Replaces the text of the first child named tag, creating it at the end
    // when missing. Characters XML cannot hold are dropped, so the document
    // always stays loadable.
    void SetChildText(const QString &tag, const QString &text);

    QDomElement m_element;
};

// <GSpanel>: carried along by the program; the accessors exist so the format
// is complete and the data can be checked.
class TXMLGSpanelType : public TXMLElementType
{
public:
    using TXMLElementType::TXMLElementType;

    QString Measurement() const { return Attribute(QStringLiteral("measurement")); }
    void SetMeasurement(const QString &value) { SetAttribute(QStringLiteral("measurement"), value); }
    std::optional<QString> GSunits() const { return ChildText(QStringLiteral("GSunits")); }
    void SetGSunits(const QString &value) { SetChildText(QStringLiteral("GSunits"), value); }
    std::optional<QString> GSgaugeMin() const { return ChildText(QStringLiteral("GSgaugeMin")); }
    void SetGSgaugeMin(const QString &value) { SetChildText(QStringLiteral("GSgaugeMin"), value); }
    std::optional<QString> GSgaugeMax() const { return ChildText(QStringLiteral("GSgaugeMax")); }
    void SetGSgaugeMax(const QString &value) { SetChildText(QStringLiteral("GSgaugeMax"), value); }
    TXMLIntegerRead GSshowGust(int &value) const { return ChildInteger(QStringLiteral("GSshowGust"), value); }
    void SetGSshowGust(int value) { SetChildText(QStringLiteral("GSshowGust"), QString::number(value)); }
    TXMLIntegerRead GSshowMaritime(int &value) const { return ChildInteger(QStringLiteral("GSshowMaritime"), value); }
    void SetGSshowMaritime(int value) { SetChildText(QStringLiteral("GSshowMaritime"), QString::number(value)); }
};

// <GScategory>. Its single value elements are addressed by key, the element
// name without the "GS" prefix ("powerOnDelay" is <GSpowerOnDelay>), because
// the program's messages name the key.
class TXMLGScategoryType : public TXMLElementType
{
public:
    using TXMLElementType::TXMLElementType;

    static QString ElementName(const QString &key) { return QStringLiteral("GS") + key; }

    QString Name() const { return Attribute(QStringLiteral("name")); }
    void SetName(const QString &value) { SetAttribute(QStringLiteral("name"), value); }
    QString Input() const { return Attribute(QStringLiteral("input")); }
    void SetInput(const QString &value) { SetAttribute(QStringLiteral("input"), value); }

    std::optional<QString> Text(const QString &key) const { return ChildText(ElementName(key)); }
    void SetText(const QString &key, const QString &value) { SetChildText(ElementName(key), value); }
    TXMLIntegerRead Integer(const QString &key, int &value) const { return ChildInteger(ElementName(key), value); }
    void SetInteger(const QString &key, int value) { SetChildText(ElementName(key), QString::number(value)); }

    int GSpanelCount() const;
    TXMLGSpanelType GSpanel(int index) const;
    TXMLGSpanelType AddGSpanel();
};

// <GSguisettings>, the root.
class TXMLGSguisettingsType : public TXMLElementType
{
public:
    using TXMLElementType::TXMLElementType;

    QString Description() const { return Attribute(QStringLiteral("description")); }
    void SetDescription(const QString &value) { SetAttribute(QStringLiteral("description"), value); }
    // Absent when the attribute is missing or not an integer.
    std::optional<int> Version() const;
    void SetVersion(int value) { SetAttribute(QStringLiteral("version"), QString::number(value)); }

    int GScategoryCount() const;
    TXMLGScategoryType GScategory(int index) const;
    TXMLGScategoryType AddGScategory(const QString &name);
};

// One settings document held in memory.
class TTalvekSettingsDocument
{
public:
    static const QString RootName; // "GSguisettings"

    // A new document holding only an empty root.
    static TTalvekSettingsDocument New();
    // Loads path. Absent, with a reason fit for the debug log, when the file
    // is missing or unreadable, is not XML (the reason gives line and column)
    // or its root is not <GSguisettings>.
    static std::optional<TTalvekSettingsDocument> Load(const QString &path, QString *error);

    TXMLGSguisettingsType GSguisettings() const;
    // The XML text of the root element on one line and a line break, UTF-8,
    // without an XML declaration.
    QByteArray ToXml() const;
    // Writes ToXml() to path whole or not at all: a failure anywhere leaves
    // whatever file was at path as it was.
    bool Save(const QString &path, QString *error) const;

private:
    QDomDocument m_document;
};
