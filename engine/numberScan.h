#pragma once
#include <QString>

// C-style reads of numbers from the start of a text, always with "." as the
// decimal point whatever the locale.

// Removes leading and trailing characters up to and including the blank
// (control characters too), as the editor's checks trim entries.
QString TrimBlank(const QString &text);

// Leading blanks, a sign and digits ("%d"): 0 when there are none; clamped
// to the int range.
int ScanInt(const QString &text);

// A decimal number at the start of the text ("%lf"); false when none.
bool ScanDouble(const QString &text, double &value);

// The whole trimmed text as a decimal integer (an optional sign and digits
// only); false for anything else, an empty text included.
bool ParseWholeInt(const QString &text, int &value);

// The whole trimmed text as a decimal number; false for anything else.
bool ParseWholeDouble(const QString &text, double &value);
