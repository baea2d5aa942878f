#include "engine/validation.h"

#include "base/log.h"
#include "base/translate.h"
#include "engine/numberScan.h"
#include "engine/splitFields.h"

#include <algorithm>
#include <limits>

namespace
{
constexpr double kLowest = -std::numeric_limits<double>::infinity();
constexpr double kHighest = std::numeric_limits<double>::infinity();

// A bound read from a template text; a missing or unreadable bound does
// not limit that side.
double Bound(const QString &text, double unlimited)
{
    double value = 0;
    return ScanDouble(text, value) ? value : unlimited;
}
} // namespace

bool ValidInt(const QString &text, int min, int max, int *value)
{
    int n = 0;
    if (!ParseWholeInt(TrimBlank(text), n))
        return false;
    if (value)
        *value = n;
    return n >= min && n <= max;
}

bool ValidMaskedFloat(const QString &text, const QString &floatMin, const QString &floatMax, double *value)
{
    double v = 0;
    if (!ParseWholeDouble(text, v))
        return false;
    if (value)
        *value = v;
    return Bound(floatMax, kHighest) >= v && Bound(floatMin, kLowest) <= v;
}

bool ValidString(const QString &text)
{
    static const QString forbidden = QStringLiteral("@,*%?");
    const QString trimmed = TrimBlank(text);
    if (trimmed.size() > 16)
        return false;
    return std::none_of(trimmed.cbegin(), trimmed.cend(), [](QChar ch) { return forbidden.contains(ch); });
}

bool ValidCustomUnits(const QString &text)
{
    static const QString allowed = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ#_");
    const QString units = TrimBlank(text);
    if (units.isEmpty() || units.size() > 4)
        return false;
    return std::all_of(units.cbegin(), units.cend(), [](QChar ch) { return allowed.contains(ch); });
}

bool ValidSubstName(const QString &text, const QString &illegalStrings)
{
    const QString name = TrimBlank(text);
    const QStringList illegal = SplitFields(illegalStrings, QLatin1Char(','));
    const bool listed = std::any_of(illegal.cbegin(), illegal.cend(), [&name](const QString &entry) {
        return entry.compare(name, Qt::CaseInsensitive) == 0;
    });
    return !listed && name.size() <= 8 && (name.isEmpty() || name.size() >= 3) && !name.contains(QLatin1Char(' '));
}

bool ValidDigitCount(const QString &text, double low, double high, int protocolVersion, double *value)
{
    double number = 0;
    if (!ScanDouble(text, number)) {
        Log(QStringLiteral("GetDigCountFromString: scanf failed"));
        return false;
    }
    if (number > high || number < low) {
        Log(QStringLiteral("GetDigCountFromString: range error"));
        return false;
    }
    const qsizetype point = text.indexOf(QLatin1Char('.')) + 1; // 1-based, 0 when none
    const qsizetype length = text.size();
    const bool accepted = protocolVersion == 2 ? length - 1 == point : point >= length - 3;
    if (!accepted) {
        Log(QStringLiteral("Too many decimal places"));
        return false;
    }
    if (value)
        *value = number;
    return true;
}

bool ValidAnalogue(const QString &high, const QString &low, int min, int max, bool unconfigured)
{
    int h = 0;
    int l = 0;
    if (!ValidInt(high, min, max, &h) || !ValidInt(low, min, max, &l))
        return false;
    return unconfigured || h != l;
}

double DigitCountLow(const IXMLparamType &param)
{
    return Bound(param.Fmin(), kLowest);
}

double DigitCountHigh(const IXMLparamType &param)
{
    return Bound(param.Fmax(), kHighest);
}

QString EntryMessageDetail(const QString &type)
{
    if (type == QLatin1String("cfgsensorunits"))
        return QStringLiteral("Check length of Units field");
    if (type == QLatin1String("substname"))
        return QStringLiteral("Substitute name must consist");
    if (type == QLatin1String("aniptype"))
        return QStringLiteral("aniptype");
    return {};
}

QString DuplicateSubstName(const QStringList &names)
{
    QStringList seen;
    for (const QString &name : names) {
        const bool present = std::any_of(seen.cbegin(), seen.cend(), [&name](const QString &other) {
            return other.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (!present)
            seen.append(name);
        else if (!name.isEmpty())
            return name;
    }
    return {};
}

namespace
{
bool ValidChoice(const IXMLparamType &param, bool unconfiguredAllowed)
{
    const int selected = param.Selected();
    return (unconfiguredAllowed && selected == -1) || (selected >= 0 && selected < param.Option().Count());
}

// The entry's rule on the document's value text; limits and text for the error.
bool CheckParam(const Document &document, const IXMLparamType &param, EntryError &error, QStringList &substNames)
{
    const QString type = param.Type();
    if (type == QLatin1String("int") || type == QLatin1String("delayedint")) {
        error.low = QString::number(param.Min());
        error.high = QString::number(param.Max());
        error.text = QString::number(param.Value());
        return ValidInt(error.text, param.Min(), param.Max());
    }
    if (type == QLatin1String("select") || type == QLatin1String("delayedselect")) {
        error.text = QString::number(param.Selected());
        return ValidChoice(param, false);
    }
    if (type == QLatin1String("maskedfloat")) {
        error.low = param.Floatmin();
        error.high = param.Floatmax();
        error.text = param.Floatvalue();
        return ValidMaskedFloat(error.text, param.Floatmin(), param.Floatmax());
    }
    if (type == QLatin1String("string")) {
        error.text = param.String();
        return ValidString(error.text);
    }
    if (type == QLatin1String("senstypeselect")) {
        error.text = QString::number(param.Selected());
        return ValidChoice(param, true);
    }
    if (type == QLatin1String("cfgsensorunits")) {
        error.text = param.Customunits();
        return param.Selected() != 0 || error.text.isEmpty() || ValidCustomUnits(error.text);
    }
    if (type == QLatin1String("aniptype")) {
        error.low = QString::number(param.Min());
        error.high = QString::number(param.Max());
        error.text = QString::number(param.High()) + QLatin1Char(' ') + param.Low();
        return ValidAnalogue(QString::number(param.High()), param.Low(), param.Min(), param.Max(),
                             param.Selected() < 0);
    }
    if (type == QLatin1String("substname")) {
        error.text = TrimBlank(param.String());
        substNames.append(error.text);
        return ValidSubstName(error.text, param.Illegalstrings());
    }
    if (type == QLatin1String("digcount")) {
        error.low = param.Fmin();
        error.high = param.Fmax();
        error.text = TrimBlank(param.String());
        return error.text.isEmpty() || ValidDigitCount(error.text, DigitCountLow(param), DigitCountHigh(param),
                                                       document.identity.protocolVersion);
    }
    // Report lists, clock texts and the rest have no rule of their own here.
    return true;
}
} // namespace

QList<EntryError> ValidateDocument(const Document &document)
{
    QList<EntryError> errors;
    QStringList substNames;
    const IXMLdeviceType device = document.Device();
    for (int c = 0; c < device.Count() && c < TemplateLimits::Categories; ++c) {
        const IXMLcategoryType category = device.Category(c);
        for (int p = 0; p < category.Count() && p < TemplateLimits::ParamsPerCategory; ++p) {
            const IXMLparamType param = category.Param(p);
            EntryError error;
            if (CheckParam(document, param, error, substNames))
                continue;
            error.category = category.Name();
            error.param = param.Name();
            error.cmd = param.Cmd();
            error.messageKey = EntryMessageDetail(param.Type());
            errors.append(error);
        }
    }
    const QString duplicate = DuplicateSubstName(substNames);
    if (!duplicate.isEmpty()) {
        EntryError error;
        error.kind = EntryError::Kind::DuplicateSubstName;
        error.text = duplicate;
        errors.append(error);
    }
    return errors;
}

namespace
{
EntryErrorText InvalidText(const QString &category, const QString &paramName, const QString &detailKey)
{
    QString text = T(QStringLiteral("Entry for ")) + paramName + T(QStringLiteral(" is invalid"));
    if (!detailKey.isEmpty())
        text += QStringLiteral("\n\n") + T(detailKey);
    return {T(QStringLiteral("Error: ")) + category, text};
}
} // namespace

EntryErrorText InvalidEntryText(const QString &category, const QString &paramName, const QString &paramType)
{
    return InvalidText(category, paramName, EntryMessageDetail(paramType));
}

EntryErrorText TextOf(const EntryError &error)
{
    if (error.kind == EntryError::Kind::DuplicateSubstName)
        return {T(QStringLiteral("Error: Duplicate SUBST name in AN/DIG")), error.text};
    return InvalidText(error.category, error.param, error.messageKey);
}
