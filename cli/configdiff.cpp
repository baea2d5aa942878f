#include "cli/configdiff.h"

#include "engine/document.h"

namespace
{
// False when the file is no configuration file.
bool ReadDocument(const QString &fileName, IXMLproductsType &document, QString *error)
{
    XmlLoadError loadError;
    document = IXMLproductsType::Load(fileName, &loadError);
    if (!document.IsNull() && document.Count() >= 1)
        return true;
    if (error)
        *error = document.IsNull() ? loadError.Text() : fileName + QStringLiteral(": holds no device");
    return false;
}
} // namespace

bool DiffConfigFiles(const QString &first, const QString &second, QList<SettingDifference> &differences, QString *error)
{
    IXMLproductsType a, b;
    if (!ReadDocument(first, a, error) || !ReadDocument(second, b, error))
        return false;
    differences.clear();
    for (const DocumentDifference &d : DiffDocuments(a, b, DiffBasis::ValueString))
        differences.append({d.cmd, d.value, d.baseline});
    return true;
}
