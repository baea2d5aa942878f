#include "engine/document.h"

#include "base/fileSave.h"
#include "base/log.h"
#include "engine/numberScan.h"
#include "engine/splitFields.h"

#include <QDateTime>
#include <QFileInfo>
#include <QPair>
#include <cmath>

namespace
{
const QString kNotConfigured = QStringLiteral("NOT CONFIGURED");
const QString kAbsent = QStringLiteral("-");
const QString kOccurrenceSeparator = QStringLiteral(" | ");

bool IsOneOf(const QString &type, std::initializer_list<const char *> types)
{
    return std::any_of(types.begin(), types.end(), [&type](const char *t) { return type == QLatin1String(t); });
}

bool IsTimeType(const QString &type)
{
    return IsOneOf(type, {"timestr", "timestrcheckbox"});
}
} // namespace

// ------------------------------------------------------------ files

namespace
{
// What makes a well-formed document no configuration a write could use: a
// second device would be ignored, a setting without its command would send
// a bare value, and a document without settings would write nothing.
QString CheckConfigurationShape(const IXMLproductsType &products)
{
    if (products.Count() > 1)
        return QStringLiteral("it holds %1 devices; a configuration holds one").arg(products.Count());
    const IXMLdeviceType device = products.Device(0);
    int settings = 0;
    for (int c = 0; c < device.Count(); ++c) {
        const IXMLcategoryType category = device.Category(c);
        for (int p = 0; p < category.Count(); ++p, ++settings) {
            const IXMLparamType param = category.Param(p);
            if (param.Cmd().trimmed().isEmpty())
                return QStringLiteral("the setting \"%1\" of category \"%2\" has no command")
                    .arg(param.Name(), category.Name());
        }
    }
    return settings == 0 ? QStringLiteral("it holds no settings") : QString();
}
} // namespace

DocumentLoad LoadConfigDocument(const QString &fileName)
{
    DocumentLoad result;
    XmlLoadError error;
    const IXMLproductsType products = IXMLproductsType::Load(fileName, &error);
    if (products.IsNull()) {
        const QFileInfo info(fileName);
        result.error = info.isFile() && info.isReadable() ? DocumentLoadError::NotAConfiguration
                                                           : DocumentLoadError::Unreadable;
        result.reason = error.Text();
        return result;
    }
    result.reason = CheckTemplateLimits(products);
    if (result.reason.isEmpty()) {
        const QString shape = CheckConfigurationShape(products);
        if (shape.isEmpty()) {
            result.products = products;
            return result;
        }
        result.error = DocumentLoadError::NotAConfiguration;
        result.reason = fileName + QStringLiteral(": ") + shape;
        return result;
    }
    result.error = products.Device(0).IsNull() ? DocumentLoadError::NotAConfiguration
                                               : DocumentLoadError::ExceedsTables;
    return result;
}

bool SaveConfigDocument(const IXMLproductsType &products, const QString &fileName, QString *error)
{
    QString xml = products.XML();
    while (xml.endsWith(QLatin1Char('\n')))
        xml.chop(1);
    return SaveFileWhole(fileName, (xml + QStringLiteral("\r\n")).toUtf8(), error);
}

// ------------------------------------------------------------ compatibility

CompatibilityCheck CheckCompatibility(const QString &fileName, const DeviceIdentity &identity)
{
    const DocumentLoad load = LoadConfigDocument(fileName);
    if (load.error == DocumentLoadError::None)
        return CheckCompatibility(load.products, identity);
    CompatibilityCheck check;
    check.verdict = Compatibility::Unreadable;
    check.issues.append({Compatibility::Unreadable, {}, {}});
    check.reason = load.reason;
    return check;
}

CompatibilityCheck CheckCompatibility(const IXMLproductsType &file, const DeviceIdentity &identity)
{
    CompatibilityCheck check;
    const IXMLdeviceType device = file.Device(0);
    if (device.Name() != identity.productName) {
        check.verdict = Compatibility::ProductMismatch;
        check.issues.append({Compatibility::ProductMismatch, device.Name(), identity.productName});
        return check;
    }
    const struct {
        Compatibility kind;
        int found;
        int expected;
    } numbers[] = {
        {Compatibility::ProtocolMismatch, device.Protocolversion(), identity.protocolVersion},
        {Compatibility::HeatingMismatch, device.Heatingcapability(), identity.heating},
        {Compatibility::AxisMismatch, device.AxisConfigValue(), identity.axisConfig},
    };
    for (const auto &n : numbers) {
        if (n.found != n.expected)
            check.issues.append({n.kind, QString::number(n.found), QString::number(n.expected)});
    }
    if (!check.issues.isEmpty())
        check.verdict = check.issues.first().kind;
    return check;
}

// ------------------------------------------------------------ differences

QString ParamValueText(const IXMLparamType &param, DiffBasis basis)
{
    if (basis == DiffBasis::ValueString)
        return param.Valuestring();
    const QString type = param.Type();
    if (IsOneOf(type, {"int", "delayedint"}))
        return QString::number(param.Value());
    if (IsOneOf(type, {"select", "delayedselect", "sensorunits", "senstypeselect"}))
        return QString::number(param.Selected());
    if (IsOneOf(type, {"reportstr", "reportxdr"}))
        return param.Reportvalue();
    if (type == QLatin1String("maskedfloat"))
        return TrimBlank(param.Floatvalue());
    if (type == QLatin1String("cfgsensorunits"))
        return QStringLiteral("%1 %2").arg(param.Selected()).arg(param.Customunits());
    if (type == QLatin1String("aniptype"))
        return QStringLiteral("%1 %2 %3").arg(param.Selected()).arg(param.High()).arg(ScanInt(param.Low()));
    if (type == QLatin1String("digcount")) {
        // The device may add or drop trailing zeros: compare the number.
        double value = 0;
        if (!ScanDouble(param.String(), value))
            return {};
        return QString::number(std::trunc(1000.0 * value), 'f', 0);
    }
    // The device's clock runs on: what it reads never counts as a change.
    if (IsTimeType(type))
        return {};
    return TrimBlank(param.String());
}

namespace
{
using Key = QPair<QString, QString>; // category name, command

// Every occurrence of each setting, keys in the order they first appear.
struct Settings {
    QList<Key> order;
    QHash<Key, QStringList> values;
    QHash<Key, IXMLparamType> first;

    void Add(const Key &key, const IXMLparamType &param, const QString &value)
    {
        auto found = values.find(key);
        if (found != values.end()) {
            found->append(value);
            return;
        }
        order.append(key);
        values.insert(key, {value});
        first.insert(key, param);
    }
};

Settings CollectSettings(const IXMLproductsType &products, DiffBasis basis)
{
    Settings settings;
    const IXMLcategoryTypeList categories = products.Device(0).Categories();
    for (IXMLcategoryType category = categories.First(); !category.IsNull(); category = categories.Next(category)) {
        const IXMLparamTypeList params = category.Params();
        for (IXMLparamType param = params.First(); !param.IsNull(); param = params.Next(param)) {
            if (!param.Cmd().isEmpty())
                settings.Add(Key(category.Name(), param.Cmd()), param, ParamValueText(param, basis));
        }
    }
    return settings;
}

QString Shown(const QStringList &occurrences)
{
    return occurrences.isEmpty() ? kAbsent : occurrences.join(kOccurrenceSeparator);
}
} // namespace

QList<DocumentDifference> DiffDocuments(const IXMLproductsType &document, const IXMLproductsType &baseline,
                                       DiffBasis basis)
{
    const Settings a = CollectSettings(document, basis);
    const Settings b = CollectSettings(baseline, basis);
    QList<Key> keys = a.order;
    for (const Key &key : b.order) {
        if (!a.values.contains(key))
            keys.append(key);
    }
    QList<DocumentDifference> differences;
    for (const Key &key : keys) {
        const QStringList inDocument = a.values.value(key);
        const QStringList inBaseline = b.values.value(key);
        if (inDocument == inBaseline)
            continue;
        // The baseline is what the device holds: its param says what is critical.
        const IXMLparamType param = b.first.contains(key) ? b.first.value(key) : a.first.value(key);
        differences.append({key.first, param.Name(), key.second, Shown(inDocument), Shown(inBaseline),
                            param.Warncritical() != 0});
    }
    return differences;
}

// ------------------------------------------------------------ shared rules

bool IsInputParamType(const QString &type)
{
    return IsOneOf(type, {"senstypeselect", "cfgsensorunits", "aniptype", "substname", "digcount"});
}

QString ReplaceNames(const QString &text, const QStringList &from, const QStringList &to)
{
    QStringList words = SplitFields(text, QLatin1Char(' '));
    for (QString &word : words) {
        for (int i = 0; i < from.size() && i < to.size(); ++i) {
            if (from[i].compare(word, Qt::CaseInsensitive) == 0) {
                word = to[i];
                break;
            }
        }
    }
    return words.join(QLatin1Char(' ')).trimmed();
}

void SubstituteNames(const IXMLdeviceType &device, QStringList &sensorNames, QStringList &substNames)
{
    sensorNames.clear();
    substNames.clear();
    for (int c = 0; c < device.Count() && c < TemplateLimits::Categories; ++c) {
        const IXMLcategoryType category = device.Category(c);
        const int index = category.Groupindex();
        if (index < 0 || index >= TemplateLimits::Inputs)
            continue;
        for (int p = 0; p < category.Count(); ++p) {
            const IXMLparamType param = category.Param(p);
            if (param.Type() != QLatin1String("substname"))
                continue;
            const QString subst = TrimBlank(param.String());
            if (subst.isEmpty())
                break;
            const QString sensorName = category.Sensorname();
            sensorNames.append(sensorName.isEmpty() ? category.Name() : sensorName);
            substNames.append(subst);
            break;
        }
    }
}
