#include "cli/configdiff.h"

#include "templates/ordaUserConfig.h"

#include <QHash>
#include <QPair>

namespace
{
const QString kAbsent = QStringLiteral("-");
const QString kOccurrenceSeparator = QStringLiteral(" | ");

using Key = QPair<QString, QString>; // category name, command

// Every occurrence of each setting, keys in the order they first appear.
struct FileSettings {
    QList<Key> order;
    QHash<Key, QStringList> values;

    void Add(const Key &key, const QString &value)
    {
        auto found = values.find(key);
        if (found == values.end()) {
            order.append(key);
            values.insert(key, {value});
        } else {
            found->append(value);
        }
    }
};

// False when the file is no configuration file.
bool ReadSettings(const QString &fileName, FileSettings &settings, QString *error)
{
    XmlLoadError loadError;
    const IXMLproductsType document = IXMLproductsType::Load(fileName, &loadError);
    if (document.IsNull() || document.Count() < 1) {
        if (error)
            *error = document.IsNull() ? loadError.Text() : fileName + QStringLiteral(": holds no device");
        return false;
    }
    const IXMLcategoryTypeList categories = document.Device(0).Categories();
    for (IXMLcategoryType category = categories.First(); !category.IsNull(); category = categories.Next(category)) {
        const QString categoryName = category.Name();
        const IXMLparamTypeList params = category.Params();
        for (IXMLparamType param = params.First(); !param.IsNull(); param = params.Next(param))
            if (!param.Cmd().isEmpty())
                settings.Add(Key(categoryName, param.Cmd()), param.Valuestring());
    }
    return true;
}

// A setting held once shows its value, one held more often all of them.
QString Shown(const QStringList &occurrences)
{
    return occurrences.isEmpty() ? kAbsent : occurrences.join(kOccurrenceSeparator);
}
} // namespace

bool DiffConfigFiles(const QString &first, const QString &second, QList<SettingDifference> &differences, QString *error)
{
    FileSettings a, b;
    if (!ReadSettings(first, a, error) || !ReadSettings(second, b, error))
        return false;
    differences.clear();
    QList<Key> keys = a.order;
    for (const Key &key : b.order)
        if (!a.values.contains(key))
            keys.append(key);
    for (const Key &key : keys) {
        const QStringList inFirst = a.values.value(key);
        const QStringList inSecond = b.values.value(key);
        if (inFirst != inSecond)
            differences.append({key.second, Shown(inFirst), Shown(inSecond)});
    }
    return true;
}
