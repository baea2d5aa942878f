#pragma once
// Edit masks of the settings editor, in the templates' convention:
//   "0" required digit, "9" optional digit, "#" optional digit or sign,
//   "a" optional letter or digit, "A" required letter or digit,
//   "c" optional any character, "C" required any character,
//   ">" upper case from here on; anything else stands for itself.
// Entries are free-length text checked as they are typed by a validator
// built from the mask: a blank, half-filled field behaves like any line
// edit. Required positions are not enforced while typing; the entry checks
// do that when the user leaves the field.
#include <QRegularExpressionValidator>
#include <QString>

class QLineEdit;

// Dynamic property of an entry control that failed its check: true while it
// is shown red, until a check finds the entry valid again.
inline constexpr const char *kInvalidEntryProperty = "invalidEntry";

// The pattern a text must match (whole) to fit the mask. A decimal mask
// ("#000.0", "0.00": digit positions and one ".") takes a sign where it has
// "#", up to as many digits before the point as it has positions and up to
// as many after; other masks take a prefix of the positions, one character
// each.
QString MaskPattern(const QString &mask);
// True when the mask forces upper case (it has ">").
bool MaskForcesUpperCase(const QString &mask);

// A validator that optionally upper-cases what is typed and then accepts
// the text while it can still grow into a match of the pattern.
class TMaskValidator : public QRegularExpressionValidator
{
public:
    TMaskValidator(const QString &pattern, bool upperCase, QObject *parent = nullptr);
    State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;

private:
    bool m_upper = false;
};

// Gives edit a validator for mask (plus upper-casing when forceUpper);
// an empty mask only upper-cases, or leaves the edit free.
void ApplyEditMask(QLineEdit *edit, const QString &mask, bool forceUpper = false);

// v written with the mask used as a number pattern: "0" a digit always
// written, "#" a digit written when significant, "." the decimal point,
// other characters copied. Negative numbers start with "-".
QString FormatWithMask(double v, const QString &mask);
