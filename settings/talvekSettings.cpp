#include "settings/talvekSettings.h"

#include "base/fileSave.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

const QString TTalvekSettingsDocument::RootName = QStringLiteral("GSguisettings");

namespace
{
bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// A folder name may hold characters that XML 1.0 cannot represent; written
// raw they would make the whole file unreadable at the next start.
QString xmlSafe(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (char32_t c : text.toUcs4())
        if (isXmlChar(c))
            result.append(QString::fromUcs4(&c, 1));
    return result;
}

QDomElement nthChild(const QDomElement &parent, const QString &tag, int index)
{
    if (index < 0)
        return {};
    QDomElement child = parent.firstChildElement(tag);
    for (int i = 0; i < index && !child.isNull(); ++i)
        child = child.nextSiblingElement(tag);
    return child;
}

int countChildren(const QDomElement &parent, const QString &tag)
{
    int count = 0;
    for (QDomElement child = parent.firstChildElement(tag); !child.isNull(); child = child.nextSiblingElement(tag))
        ++count;
    return count;
}
} // namespace

TXMLIntegerRead ParseSettingsInteger(const QString &text, int &value)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return TXMLIntegerRead::Empty;
    bool ok = false;
    const int parsed = trimmed.toInt(&ok, 10);
    if (!ok)
        return TXMLIntegerRead::NotInteger;
    value = parsed;
    return TXMLIntegerRead::Ok;
}

QString TXMLElementType::Attribute(const QString &name) const
{
    return m_element.attribute(name);
}

void TXMLElementType::SetAttribute(const QString &name, const QString &value)
{
    if (!m_element.isNull())
        m_element.setAttribute(name, xmlSafe(value));
}

std::optional<QString> TXMLElementType::ChildText(const QString &tag) const
{
    const QDomElement child = m_element.firstChildElement(tag);
    if (child.isNull())
        return std::nullopt;
    return child.text();
}

TXMLIntegerRead TXMLElementType::ChildInteger(const QString &tag, int &value) const
{
    const std::optional<QString> text = ChildText(tag);
    if (!text)
        return TXMLIntegerRead::Missing;
    return ParseSettingsInteger(*text, value);
}

void TXMLElementType::SetChildText(const QString &tag, const QString &text)
{
    if (m_element.isNull())
        return;
    QDomDocument document = m_element.ownerDocument();
    QDomElement child = m_element.firstChildElement(tag);
    if (child.isNull())
        child = m_element.appendChild(document.createElement(tag)).toElement();
    while (child.hasChildNodes())
        child.removeChild(child.firstChild());
    const QString safe = xmlSafe(text);
    if (!safe.isEmpty())
        child.appendChild(document.createTextNode(safe));
}

int TXMLGScategoryType::GSpanelCount() const
{
    return countChildren(m_element, QStringLiteral("GSpanel"));
}

TXMLGSpanelType TXMLGScategoryType::GSpanel(int index) const
{
    return TXMLGSpanelType(nthChild(m_element, QStringLiteral("GSpanel"), index));
}

TXMLGSpanelType TXMLGScategoryType::AddGSpanel()
{
    if (m_element.isNull())
        return {};
    QDomElement panel = m_element.ownerDocument().createElement(QStringLiteral("GSpanel"));
    return TXMLGSpanelType(m_element.appendChild(panel).toElement());
}

std::optional<int> TXMLGSguisettingsType::Version() const
{
    if (!m_element.hasAttribute(QStringLiteral("version")))
        return std::nullopt;
    int value = 0;
    if (ParseSettingsInteger(Attribute(QStringLiteral("version")), value) != TXMLIntegerRead::Ok)
        return std::nullopt;
    return value;
}

int TXMLGSguisettingsType::GScategoryCount() const
{
    return countChildren(m_element, QStringLiteral("GScategory"));
}

TXMLGScategoryType TXMLGSguisettingsType::GScategory(int index) const
{
    return TXMLGScategoryType(nthChild(m_element, QStringLiteral("GScategory"), index));
}

TXMLGScategoryType TXMLGSguisettingsType::AddGScategory(const QString &name)
{
    if (m_element.isNull())
        return {};
    QDomElement category = m_element.ownerDocument().createElement(QStringLiteral("GScategory"));
    TXMLGScategoryType result(m_element.appendChild(category).toElement());
    result.SetName(name);
    return result;
}

TTalvekSettingsDocument TTalvekSettingsDocument::New()
{
    TTalvekSettingsDocument result;
    result.m_document.appendChild(result.m_document.createElement(RootName));
    return result;
}

std::optional<TTalvekSettingsDocument> TTalvekSettingsDocument::Load(const QString &path, QString *error)
{
    auto fail = [error](const QString &reason) {
        if (error != nullptr)
            *error = reason;
        return std::nullopt;
    };
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("%1: no such file").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1: %2").arg(path, file.errorString()));

    TTalvekSettingsDocument result;
    QString message;
    int line = 0;
    int column = 0;
    if (!result.m_document.setContent(&file, &message, &line, &column))
        return fail(
            QStringLiteral("%1: not XML (line %2, column %3: %4)").arg(path).arg(line).arg(column).arg(message));
    if (result.m_document.documentElement().tagName() != RootName)
        return fail(QStringLiteral("%1: the root element is not %2").arg(path, RootName));
    return result;
}

TXMLGSguisettingsType TTalvekSettingsDocument::GSguisettings() const
{
    return TXMLGSguisettingsType(m_document.documentElement());
}

QByteArray TTalvekSettingsDocument::ToXml() const
{
    QString text;
    QTextStream stream(&text);
    m_document.documentElement().save(stream, -1);
    stream.flush();
    text += QLatin1Char('\n');
    return text.toUtf8();
}

bool TTalvekSettingsDocument::Save(const QString &path, QString *error) const
{
    if (m_document.documentElement().isNull()) {
        if (error != nullptr)
            *error = path + QStringLiteral(": no settings document to save");
        return false;
    }
    return SaveFileWhole(path, ToXml(), error);
}
