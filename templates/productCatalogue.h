#pragma once
// The fixed product catalogue: which template file serves which product at
// which protocol version, heating and axis configuration, and the Tempris
// models with their model numbers.
//
// Tempris model numbers (product data; the shipped template files and the
// simulator use the same ones). A model is named "KDX" + number + "-" + type
// code; its identity name is "TEMPRIS " + model name.
//   type 1, 1B: 510 (second model, from protocol 8 on: 515)
//   type 2, 2B: 520 (second and third models, from protocol 8 on: 522, 524)
//   type 3, 3B: 530 (second model, from protocol 8 on: 535)
//   type 4: 540
//   type 5, 5B: 550 (second and third models, from protocol 8 on: 552, 554)
//   type 5D, 5E: 556
//   type 6: 560, type 7: 570, type 8: 580, type 9, 9B: 590, type 10: 600
// One further model, 558 (types 5 and 5B), is not in the Tempris family
// table; it only belongs to the thirteen-model precipitation list.
// Template files of a second or third model carry its number after the type
// code, e.g. "tempris_type_2_522_pv8_template.tdx".
#include <QList>
#include <QString>
#include <QStringList>

// One row of the catalogue.
struct ProductDef {
    QString menuName;     // offline product menu caption, unique
    QString templateFile; // in the program folder
    QString identityName; // a device matches when this contains its key
    int protocolVersion = 0;
    int heating = 0;    // 1 heated variant
    int axis = 2;       // 3 UVW variant, 2 standard
    bool inMenu = true; // false for type 9 and 9B at protocol versions 5 to 9
};

// One row of the Tempris family table.
struct TemprisFamilyDef {
    QString typeKey;      // "TEMPRIS_TYPE_" + type code
    QString identityName; // "TEMPRIS KDX510-1"
};

// aProductDefs: the 183 rows, Corvix II, Corvix Pro, Corvix Precipitation,
// Relaypoint, then the Tempris rows by protocol version and type code.
const QList<ProductDef> &aProductDefs();
// aTemprisFamily: the 29 Tempris models.
const QList<TemprisFamilyDef> &aTemprisFamily();
// The non-Tempris identity names, in the order a reply is matched against them.
const QStringList &aNonTemprisNames();

// The product names whose precipitation page depends on option bit 0x0002:
// the first model of each of the type codes 2, 2B, 3, 3B, 5, 5B, 5D, 5E, 6,
// 7 and 10 (eleven names).
const QStringList &ElevenModelList();
// The eleven plus the two names of model 558 (thirteen names), for the
// precipitation report items.
const QStringList &ThirteenModelList();

// "TEMPRIS KDX" + model + "-" + type code.
QString TemprisIdentityName(int modelNumber, const QString &typeCode);
