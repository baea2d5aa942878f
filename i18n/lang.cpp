#include "i18n/lang.h"

#include "base/log.h"
#include "base/translate.h"
#include "i18n/translations.h"

namespace
{
// The table T() currently reads, so that destroying another table never
// removes it.
const TLanguage *installedTable = nullptr;
} // namespace

TLanguage::TLanguage(const QString &path)
{
    load(path);
}

TLanguage::~TLanguage()
{
    if (installedTable == this) {
        SetTranslator({});
        installedTable = nullptr;
    }
}

void TLanguage::load(const QString &path)
{
    std::optional<TTranslationsDocument> document = TTranslationsDocument::Load(path, &m_loadError);
    if (!document) {
        Log(m_loadError);
        return;
    }
    for (TXMLlabelType label = document->Labels().FirstLabel(); !label.IsNull(); label = label.NextLabel()) {
        ++m_labelCount;
        if (m_labels.contains(label.Name()))
            continue;
        QStringList texts;
        const int count = label.TransCount();
        for (int i = 0; i < count; ++i)
            texts << label.Trans(i).Text();
        m_labels.insert(label.Name(), texts);
    }
    m_loaded = true;
}

void TLanguage::SelectLanguage(int index)
{
    m_language = index;
    if (installedTable != this) {
        SetTranslator([this](const QString &key) { return Translate(key); });
        installedTable = this;
    }
}

QString TLanguage::Lookup(const QString &key) const
{
    const auto found = m_labels.constFind(key);
    if (found == m_labels.constEnd())
        return key;
    return found->value(m_language); // empty when the label has no such trans
}

QString TLanguage::Translate(const QString &key) const
{
    const QString result = Lookup(key);
    return result.isEmpty() ? key : result;
}
