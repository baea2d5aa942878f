#include "i18n/translations.h"

#include <QFile>
#include <QFileInfo>

int TXMLlabelType::TransCount() const
{
    int count = 0;
    for (QDomElement t = m_element.firstChildElement(QStringLiteral("trans")); !t.isNull();
         t = t.nextSiblingElement(QStringLiteral("trans")))
        ++count;
    return count;
}

TXMLtransType TXMLlabelType::Trans(int index) const
{
    if (index < 0)
        return {};
    QDomElement t = m_element.firstChildElement(QStringLiteral("trans"));
    for (int i = 0; i < index && !t.isNull(); ++i)
        t = t.nextSiblingElement(QStringLiteral("trans"));
    return TXMLtransType(t);
}

int TXMLlabelsType::LabelCount() const
{
    int count = 0;
    for (TXMLlabelType label = FirstLabel(); !label.IsNull(); label = label.NextLabel())
        ++count;
    return count;
}

std::optional<TTranslationsDocument> TTranslationsDocument::Load(const QString &path, QString *error)
{
    auto fail = [error](const QString &reason) {
        if (error != nullptr)
            *error = reason;
        return std::nullopt;
    };
    const QString shown = QFileInfo(path).absoluteFilePath();
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("The translations file %1 does not exist.").arg(shown));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("The translations file %1 cannot be read: %2").arg(shown, file.errorString()));

    TTranslationsDocument result;
    QString message;
    int line = 0;
    int column = 0;
    if (!result.m_document.setContent(&file, &message, &line, &column))
        return fail(QStringLiteral("The translations file %1 is not valid XML (line %2, column %3): %4")
                        .arg(shown)
                        .arg(line)
                        .arg(column)
                        .arg(message));
    if (result.m_document.documentElement().tagName() != QStringLiteral("labels"))
        return fail(QStringLiteral("The translations file %1 has no <labels> root element.").arg(shown));
    return result;
}
