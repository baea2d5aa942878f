#pragma once
// The configuration of one device as data: who the device is, the template
// or configuration document whose param elements hold the values, and the
// units document the unit params index into. No windows here: loading,
// saving, the compatibility check, the differences and the setup commands
// all return what happened and leave it to the caller to tell the user.
#include "templates/ordaDeviceUnits.h"
#include "templates/ordaUserConfig.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// What the unit query and the catalogue say about the connected device.
struct DeviceIdentity {
    QString productName;
    QString displayName;
    int protocolVersion = 0;
    unsigned optionBits = 0;
    int heating = 0;
    int axisConfig = 0;
    QString softwareVersion;
    QString softwareVersionExtra;
    QString optionText;
    QString identityReply;

    bool HasOption(unsigned mask) const { return (optionBits & mask) != 0; }
};

struct Document {
    DeviceIdentity identity;
    IXMLproductsType products;
    IXMLsensorunitsType units;

    // The first device of the document (null when there is none).
    IXMLdeviceType Device() const { return products.Device(0); }
    bool IsNull() const { return products.IsNull() || Device().IsNull(); }
};

// ------------------------------------------------------------ files

enum class DocumentLoadError {
    None,
    Unreadable,       // missing, or the system refused to read it
    NotAConfiguration, // not XML, not a <products> document, or no device in it
    ExceedsTables,    // more categories, params or items than the editor holds
};

struct DocumentLoad {
    IXMLproductsType products; // null unless error is None
    DocumentLoadError error = DocumentLoadError::None;
    QString reason; // the file and what is wrong with it
};

// Loads a template or configuration file and checks that it fits the tables.
DocumentLoad LoadConfigDocument(const QString &fileName);

// Writes the document to fileName whole or not at all (CR LF after the last
// line); false and why (path and the system's reason) when it could not.
bool SaveConfigDocument(const IXMLproductsType &products, const QString &fileName, QString *error);

// ------------------------------------------------------------ compatibility

enum class Compatibility {
    Compatible,
    Unreadable,       // the file cannot be used at all (see LoadConfigDocument)
    ProductMismatch,  // made for another product: never to be loaded
    ProtocolMismatch, // the rest may be loaded once the user agrees
    HeatingMismatch,
    AxisMismatch,
};

struct CompatibilityIssue {
    Compatibility kind = Compatibility::Compatible;
    QString found;    // what the file says
    QString expected; // what the device is
};

struct CompatibilityCheck {
    // The first issue's kind; a product mismatch or an unreadable file is the
    // only issue listed.
    Compatibility verdict = Compatibility::Compatible;
    QList<CompatibilityIssue> issues;
    QString reason; // why an unreadable file cannot be used
};

CompatibilityCheck CheckCompatibility(const QString &fileName, const DeviceIdentity &identity);
CompatibilityCheck CheckCompatibility(const IXMLproductsType &file, const DeviceIdentity &identity);

// ------------------------------------------------------------ differences

// How a param's value is read for comparing: as the value string a page
// build or a read leaves in the file, or from the typed value elements.
enum class DiffBasis { ValueString, Values };

// A setting whose value differs between a document and its baseline,
// matched by category and command. Every occurrence of a command in a
// category takes part; a setting one side lacks shows "-" there.
struct DocumentDifference {
    QString category;
    QString param; // the param's name
    QString cmd;
    QString value;    // in the document (occurrences joined by " | ")
    QString baseline; // in the baseline
    bool critical = false; // a change that may cut the link (baud, protocol)
};

// In the document's order, then what only the baseline has.
QList<DocumentDifference> DiffDocuments(const IXMLproductsType &document, const IXMLproductsType &baseline,
                                       DiffBasis basis);

// A param's value as one text for comparing (see DiffBasis).
QString ParamValueText(const IXMLparamType &param, DiffBasis basis);

// ------------------------------------------------------------ setup commands

struct CommandOptions {
    // "Sync time to PC": the clock params with that box get the PC's time.
    bool syncTime = false;
    // The report format chosen in the editor; empty: judged from the list.
    QString reportFormat;
    // Time text as read, by command. The device's clock runs on, so a time
    // param whose text is still this one is not sent back.
    QHash<QString, QString> timeAsRead;
};

// A sensor units param whose measurement the units document lacks: no
// command can be built for it.
struct UnknownUnits {
    QString cmd;
    QString measure;
};

struct CommandList {
    QStringList lines; // one per param that has something to send, document order
    bool sync = false; // send "TIME" as the PC's time when the line is sent
    QList<UnknownUnits> unknownUnits;
};

// The setup commands that set the device to the document's values.
CommandList BuildSetupCommands(const Document &document, const CommandOptions &options = {});

// The time texts of a document's clock params, by command.
QHash<QString, QString> TimeTexts(const IXMLproductsType &products);

// ------------------------------------------------------------ shared rules

// The param types of a sensor input's page, which share its controls.
bool IsInputParamType(const QString &type);
// Each word of text equal to a name in from (any case) becomes the name at
// the same position in to; words are space-separated.
QString ReplaceNames(const QString &text, const QStringList &from, const QStringList &to);
// The names the device uses for its inputs: each input category's sensor
// name and the substitute name its substname param holds (skipping empty).
void SubstituteNames(const IXMLdeviceType &device, QStringList &sensorNames, QStringList &substNames);
