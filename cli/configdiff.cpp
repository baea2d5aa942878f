#include "cli/configdiff.h"

#include "templates/ordaUserConfig.h"

#include <QMap>
#include <QPair>

namespace
{
const QString kAbsent = QStringLiteral("-");

struct Setting {
    QString cmd;
    QString value;
};
using Key = QPair<QString, QString>; // category name, command

// The file's settings in document order; false when it is no configuration file.
bool ReadSettings(const QString &fileName, QList<QPair<Key, Setting>> &settings, QString *error)
{
    XmlLoadError loadError;
    const IXMLproductsType document = IXMLproductsType::Load(fileName, &loadError);
    if (document.IsNull() || document.Count() < 1) {
        if (error)
            *error = document.IsNull() ? loadError.Text() : fileName + QStringLiteral(": holds no device");
        return false;
    }
    const IXMLdeviceType device = document.Device(0);
    for (int c = 0; c < device.Count(); ++c) {
        const IXMLcategoryType category = device.Category(c);
        for (int p = 0; p < category.Count(); ++p) {
            const IXMLparamType param = category.Param(p);
            if (param.Cmd().isEmpty())
                continue;
            settings.append({Key(category.Name(), param.Cmd()), Setting{param.Cmd(), param.Valuestring()}});
        }
    }
    return true;
}
} // namespace

bool DiffConfigFiles(const QString &first, const QString &second, QList<SettingDifference> &differences, QString *error)
{
    QList<QPair<Key, Setting>> a, b;
    if (!ReadSettings(first, a, error) || !ReadSettings(second, b, error))
        return false;
    QMap<Key, Setting> inSecond;
    for (const auto &[key, setting] : b)
        inSecond.insert(key, setting);
    differences.clear();
    for (const auto &[key, setting] : a) {
        const auto other = inSecond.constFind(key);
        if (other == inSecond.constEnd())
            differences.append({setting.cmd, setting.value, kAbsent});
        else if (other->value != setting.value)
            differences.append({setting.cmd, setting.value, other->value});
        inSecond.remove(key);
    }
    for (const auto &[key, setting] : b)
        if (inSecond.contains(key))
            differences.append({setting.cmd, kAbsent, setting.value});
    return true;
}
