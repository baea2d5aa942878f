#pragma once
// Turns a device's identity reply (the unit query's line without "ID:") into
// its identity and its row of the product catalogue. Pure: no files, no
// windows; the engine shows the messages.
//
// A reply is blank-separated tokens (double quotes group, see SplitFields):
//   - the first token containing "PV=" gives the protocol version (the
//     characters after its first three; 0 when they are not a number);
//   - any token containing "HEATING=" makes the device heated, whatever
//     follows the "=";
//   - the first token containing "AXIS=" gives UVW axes only when the text
//     after "=" is exactly "UVW";
//   - the first token containing "OPTION=" gives the option text;
//   - the first token is the software version when it has 4 characters, the
//     third the extra version text.
// A Tempris reply quotes its model: "TEMPRIS KDX510-1-0003" is model
// KDX510, type code 1, option code 0003 (hexadecimal option bits); its key
// "TEMPRIS KDX510-1" is looked up in the catalogue. Other products are found
// by the first of the non-Tempris names that occurs in the reply.
//
// A Tempris model text that is not well formed (no closing quote, nothing or
// "-" after "TEMPRIS ", no type code, a model part over 31 or a type code
// over 5 characters) or that names no model of the Tempris family table
// gives no key, so the device counts as unknown: a truncated key would
// otherwise match another model's row.
#include <QString>

struct IdentityParse {
    enum class Outcome {
        NoProtocol,  // no token with "PV="
        Unknown,     // no catalogue row names the device
        Unsupported, // known, but no row with its protocol version, heating and axes
        Matched,     // row is the exact match
    };
    Outcome outcome = Outcome::Unknown;
    int protocolVersion = 0;
    int heating = 0;    // 1 heated
    int axisConfig = 2; // 3 UVW
    QString optionText;
    QString key;         // Tempris: the model identity looked up; else empty
    QString productName; // catalogue identity name; empty when not found
    QString displayName; // Tempris: the whole quoted model text; else productName
    unsigned optionBits = 0;
    int row = -1;                 // index into aProductDefs() when Matched
    QString softwareVersion;      // "????" when the first token is not 4 characters
    QString softwareVersionExtra; // "???" when there is no third token or it is empty
};

IdentityParse ParseIdentityReply(const QString &reply);

#include "engine/document.h"

// The identity a matched (or at least parsed) reply gives the document.
DeviceIdentity IdentityFromParse(const IdentityParse &parse, const QString &reply);
