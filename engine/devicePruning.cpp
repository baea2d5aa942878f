#include "engine/devicePruning.h"

#include "templates/productCatalogue.h"

namespace
{
void RemoveItems(IXMLitemTypeList list, const QStringList &words)
{
    for (int i = 0; i < list.Count();) {
        if (words.contains(list.Items(i).Text()))
            list.Delete(i);
        else
            ++i;
    }
}

QStringList LackedReportWords(const QString &name, const DeviceIdentity &identity)
{
    const bool report = name.contains(QStringLiteral("Report Format"));
    const bool xdr = name.contains(QStringLiteral("Report XDR Format"));
    QStringList words;
    if (report && !identity.HasOption(0x0001))
        words << QStringLiteral("XTILT") << QStringLiteral("YTILT") << QStringLiteral("ZORIENT");
    if ((report || xdr) && !identity.HasOption(0x0004))
        words << QStringLiteral("PITCH") << QStringLiteral("ROLL");
    if (report && !identity.HasOption(0x8000))
        words << QStringLiteral("HEATSTAT");
    if (report && !identity.HasOption(0x0800))
        words << QStringLiteral("WWBT") << QStringLiteral("BGT") << QStringLiteral("WBGT") << QStringLiteral("WBGTD")
              << QStringLiteral("TWL");
    const bool precipitation =
        !identity.HasOption(0x0002) && ((report && ElevenModelList().contains(identity.productName)) ||
                                        (xdr && ThirteenModelList().contains(identity.productName)));
    if (precipitation)
        words << QStringLiteral("PRECIPT") << QStringLiteral("PRECIPI") << QStringLiteral("PRECIPS");
    return words;
}
} // namespace

bool RemovesCategory(const QString &name, const DeviceIdentity &identity, bool offline)
{
    if (name.contains(QStringLiteral("Bluetooth")))
        return true;
    if (offline)
        return false;
    if (name.contains(QStringLiteral("Precipitation")) && !identity.HasOption(0x0002) &&
        ElevenModelList().contains(identity.productName))
        return true;
    if (name.contains(QStringLiteral("Heating")) && !identity.HasOption(0x8000))
        return true;
    return name.contains(QStringLiteral("Heat_Stress")) && !identity.HasOption(0x0800);
}

bool RemovesParam(const QString &name, const DeviceIdentity &identity, bool offline)
{
    if (offline)
        return false;
    static const QStringList heatStress = {QStringLiteral("WBGT Sensor"), QStringLiteral("Posture factor"),
                                           QStringLiteral("Intrinsic clothing thermal resistance"),
                                           QStringLiteral("Clothing Vapour Permeation efficiency")};
    if (name.contains(QStringLiteral("TILT Sensor")) && !identity.HasOption(0x0001))
        return true;
    for (const QString &word : heatStress) {
        if (name.contains(word) && !identity.HasOption(0x0800))
            return true;
    }
    if (name.contains(QStringLiteral("PIN")) && !identity.HasOption(0x1000))
        return true;
    return name.contains(QStringLiteral("Power Mode")) && identity.HasOption(0x1000);
}

void PruneReportOptions(IXMLparamType param, const DeviceIdentity &identity, bool offline)
{
    if (offline)
        return;
    const QStringList words = LackedReportWords(param.Name(), identity);
    if (words.isEmpty())
        return;
    // The report slots offer the report item lists, so those lose the words too.
    RemoveItems(param.Option(), words);
    RemoveItems(param.Repoption(), words);
    RemoveItems(param.Repnmeaoption(), words);
    RemoveItems(param.Repxdroption(), words);
}

void PruneForDevice(Document &document, bool offline)
{
    IXMLdeviceType device = document.Device();
    for (int c = 0; c < device.Count();) {
        IXMLcategoryType category = device.Category(c);
        if (RemovesCategory(category.Name(), document.identity, offline)) {
            device.Categories().Delete(c);
            continue;
        }
        for (int p = 0; p < category.Count();) {
            IXMLparamType param = category.Param(p);
            if (RemovesParam(param.Name(), document.identity, offline)) {
                category.Params().Delete(p);
                continue;
            }
            PruneReportOptions(param, document.identity, offline);
            ++p;
        }
        ++c;
    }
}
