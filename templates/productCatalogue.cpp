#include "templates/productCatalogue.h"

#include <QHash>

namespace
{

// A Tempris model: its number and the type codes it is sold as.
struct TemprisModel {
    int number;
    QStringList typeCodes;
};

// In family-table order; the position of a model among those sharing a type
// code (first, second, third) decides whether its number appears in the
// template file name.
const QList<TemprisModel> &Models()
{
    static const QList<TemprisModel> models = {
        {510, {"1", "1B"}}, {515, {"1", "1B"}},  {520, {"2", "2B"}}, {522, {"2", "2B"}}, {524, {"2", "2B"}},
        {530, {"3", "3B"}}, {535, {"3", "3B"}},  {540, {"4"}},       {550, {"5", "5B"}}, {552, {"5", "5B"}},
        {554, {"5", "5B"}}, {556, {"5D", "5E"}}, {560, {"6"}},       {570, {"7"}},       {580, {"8"}},
        {590, {"9", "9B"}}, {600, {"10"}},
    };
    return models;
}

// The model serving the n-th (0-based) occurrence of a type code.
int ModelNumber(const QString &typeCode, int occurrence)
{
    for (const TemprisModel &model : Models()) {
        if (model.typeCodes.contains(typeCode) && occurrence-- == 0)
            return model.number;
    }
    return 0;
}

void AddCorvix(QList<ProductDef> &rows, const QString &identity, const QString &menuWord, const QString &filePrefix,
               const QList<int> &plainVersions)
{
    struct Variant {
        const char *menu;
        const char *file;
        int heating;
        int axis;
    };
    static const Variant variants[] = {{"", "", 0, 2}, {" Heated", "_heated", 1, 2}, {" UVW", "_uvw", 0, 3}};
    for (const Variant &variant : variants) {
        const QList<int> versions = variant.heating || variant.axis == 3 ? QList<int>{3, 4, 5} : plainVersions;
        for (int pv : versions) {
            rows.append({QStringLiteral("%1%2 PV%3").arg(menuWord, QLatin1String(variant.menu)).arg(pv),
                         QStringLiteral("%1%2_pv%3_template.tdx").arg(filePrefix, QLatin1String(variant.file)).arg(pv),
                         identity, pv, variant.heating, variant.axis, true});
        }
    }
}

QStringList TemprisCodes(int pv)
{
    static const QStringList v1 = {"1", "1B", "2", "2B", "3", "3B", "4", "5", "5B", "6", "7", "8", "9", "9B"};
    static const QStringList v5 = {"1",  "1B", "2", "2B", "3", "3B", "4",  "5", "5B",
                                   "5D", "5E", "6", "7",  "8", "9",  "9B", "10"};
    static const QStringList v8 = {"1", "1B", "1", "1B", "2", "2B", "2",  "2B", "2", "2B", "3", "3B", "3",  "3B", "4",
                                   "5", "5B", "5", "5B", "5", "5B", "5D", "5E", "6", "7",  "8", "9",  "9B", "10"};
    if (pv == 1)
        return v1;
    if (pv <= 4)
        return v1 + QStringList{"10"};
    return pv <= 7 ? v5 : v8;
}

void AddTempris(QList<ProductDef> &rows)
{
    for (int pv : {1, 3, 4, 5, 6, 7, 8, 9}) {
        QHash<QString, int> seen;
        for (const QString &code : TemprisCodes(pv)) {
            const int occurrence = seen[code]++;
            const int model = ModelNumber(code, occurrence);
            const QString numberPart = occurrence == 0 ? QString() : QStringLiteral("_%1").arg(model);
            const QString identity = TemprisIdentityName(model, code);
            const bool hiddenType = code == QLatin1String("9") || code == QLatin1String("9B");
            rows.append({QStringLiteral("Tempris KDX%1-%2 PV%3").arg(model).arg(code).arg(pv),
                         QStringLiteral("tempris_type_%1%2_pv%3_template.tdx").arg(code.toLower(), numberPart).arg(pv),
                         identity, pv, 0, 2, !(hiddenType && pv >= 5)});
        }
    }
}

QList<ProductDef> BuildCatalogue()
{
    QList<ProductDef> rows;
    AddCorvix(rows, QStringLiteral("CORVIX II"), QStringLiteral("Corvix II"), QStringLiteral("corvixII"), {2, 3, 4, 5});
    AddCorvix(rows, QStringLiteral("CORVIX PRO"), QStringLiteral("Corvix Pro"), QStringLiteral("corvixpro"),
              {2, 3, 4, 5});
    AddCorvix(rows, QStringLiteral("CORVIX PRECIPITATION"), QStringLiteral("Corvix Precip"),
              QStringLiteral("corvixprecip"), {3, 4, 5});
    rows.append({QStringLiteral("Relaypoint PV6"), QStringLiteral("relaypoint_pv6_template.tdx"),
                 QStringLiteral("RELAYPOINT"), 6, 0, 2, true});
    AddTempris(rows);
    return rows;
}

QList<TemprisFamilyDef> BuildFamily()
{
    QList<TemprisFamilyDef> rows;
    for (const TemprisModel &model : Models()) {
        for (const QString &code : model.typeCodes)
            rows.append({QStringLiteral("TEMPRIS_TYPE_") + code, TemprisIdentityName(model.number, code)});
    }
    return rows;
}

} // namespace

QString TemprisIdentityName(int modelNumber, const QString &typeCode)
{
    return QStringLiteral("TEMPRIS KDX%1-%2").arg(modelNumber, 3, 10, QLatin1Char('0')).arg(typeCode);
}

const QList<ProductDef> &aProductDefs()
{
    static const QList<ProductDef> rows = BuildCatalogue();
    return rows;
}

const QList<TemprisFamilyDef> &aTemprisFamily()
{
    static const QList<TemprisFamilyDef> rows = BuildFamily();
    return rows;
}

const QStringList &aNonTemprisNames()
{
    static const QStringList names = {QStringLiteral("CORVIX II"), QStringLiteral("CORVIX PRO"),
                                      QStringLiteral("CORVIX PRECIPITATION"), QStringLiteral("RELAYPOINT")};
    return names;
}

const QStringList &ElevenModelList()
{
    static const QStringList names = [] {
        QStringList list;
        for (const char *code : {"2", "2B", "3", "3B", "5", "5B", "5D", "5E", "6", "7", "10"})
            list << TemprisIdentityName(ModelNumber(QLatin1String(code), 0), QLatin1String(code));
        return list;
    }();
    return names;
}

const QStringList &ThirteenModelList()
{
    static const QStringList names = ElevenModelList() + QStringList{TemprisIdentityName(558, QStringLiteral("5")),
                                                                     TemprisIdentityName(558, QStringLiteral("5B"))};
    return names;
}
