#pragma once
// The rules an entry must keep, one per param type. Each takes the entry as
// text, so the editor checks what its controls show (a non-number typed
// into a number field included) and the document checks its value texts
// with the same rule.
#include "engine/document.h"

#include <QList>
#include <QString>
#include <QStringList>

// A whole decimal integer within min..max (value set when it is a number).
bool ValidInt(const QString &text, int min, int max, int *value = nullptr);
// A whole decimal number within the template's bounds (a missing or
// unreadable bound does not limit that side); value set when it is a number.
bool ValidMaskedFloat(const QString &text, const QString &floatMin, const QString &floatMax, double *value = nullptr);
// At most 16 characters, none of "@,*%?".
bool ValidString(const QString &text);
// 1 to 4 of A-Z, 0-9, '#', '_'.
bool ValidCustomUnits(const QString &text);
// Empty, or 3 to 8 characters without blanks and not in the template's list
// of illegal names (comma-separated, any case).
bool ValidSubstName(const QString &text, const QString &illegalStrings);
// A number within low..high with no more decimals than the protocol takes
// (protocol 2: exactly one; later: at most three).
bool ValidDigitCount(const QString &text, double low, double high, int protocolVersion, double *value = nullptr);
// Both limits numbers within min..max and different unless unconfigured.
bool ValidAnalogue(const QString &high, const QString &low, int min, int max, bool unconfigured);
// The bounds of a digit count from its template texts.
double DigitCountLow(const IXMLparamType &param);
double DigitCountHigh(const IXMLparamType &param);

// The second paragraph the entry's message carries, by param type (a
// translation key; empty when there is none).
QString EntryMessageDetail(const QString &type);
// The first substitute name used twice (any case; empty names aside), or
// an empty text.
QString DuplicateSubstName(const QStringList &names);

struct EntryError {
    enum class Kind { Invalid, DuplicateSubstName };
    Kind kind = Kind::Invalid;
    QString category; // category name
    QString param;    // param name
    QString cmd;
    QString messageKey; // EntryMessageDetail of the type
    QString low;        // the limits the rule applied, when it has them
    QString high;
    QString text; // the offending entry
};

// Every entry of the document that breaks its rule, in document order, then
// a duplicate substitute name.
QList<EntryError> ValidateDocument(const Document &document);

// The words the program tells an entry error in: a caption ("Error: " and
// the category) and a text ("Entry for <param> is invalid" and the type's
// detail), or for a duplicate substitute name that name.
struct EntryErrorText {
    QString caption;
    QString text;
};
EntryErrorText TextOf(const EntryError &error);
// The same for a param of a category that breaks its rule.
EntryErrorText InvalidEntryText(const QString &category, const QString &paramName, const QString &paramType);
