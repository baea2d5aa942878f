#include "engine/identity.h"

#include "engine/splitFields.h"
#include "templates/productCatalogue.h"

#include <QStringList>

namespace
{

const QString kTempris = QStringLiteral("TEMPRIS ");

// Index of the first token containing text, or -1.
int FindToken(const QStringList &tokens, const QString &text)
{
    for (int i = 0; i < tokens.size(); ++i) {
        if (tokens[i].contains(text))
            return i;
    }
    return -1;
}

// The text after the "=" of the first token containing word; empty if none.
QString TokenValue(const QStringList &tokens, const QString &word)
{
    const int index = FindToken(tokens, word);
    if (index < 0)
        return {};
    const QStringList fields = SplitFields(tokens[index], QLatin1Char('='));
    return fields.size() > 1 ? fields[1] : QString();
}

// The model text after "TEMPRIS ": model part, type code, option code, each
// separated by one or more "-".
struct ModelParts {
    int count = 0; // 0 when malformed, 1 model only, 2 with type, 3 with option
    QString typeCode;
    QString optionCode;
};

// Reads characters up to the next '-' (at most limit; more is malformed).
bool ReadPart(const QString &text, int &pos, int limit, QString &part)
{
    const int end = text.indexOf(QLatin1Char('-'), pos);
    part = text.mid(pos, (end < 0 ? text.size() : end) - pos);
    pos += int(part.size());
    return !part.isEmpty() && part.size() <= limit;
}

void SkipDashes(const QString &text, int &pos)
{
    while (pos < text.size() && text[pos] == QLatin1Char('-'))
        ++pos;
}

ModelParts SplitModel(const QString &model)
{
    ModelParts parts;
    int pos = 0;
    QString modelPart;
    if (!ReadPart(model, pos, 31, modelPart))
        return parts;
    parts.count = 1;
    SkipDashes(model, pos);
    if (pos >= model.size())
        return parts;
    if (!ReadPart(model, pos, 5, parts.typeCode)) {
        parts.count = 0;
        return parts;
    }
    parts.count = 2;
    SkipDashes(model, pos);
    while (pos < model.size() && parts.optionCode.size() < 4 && !model[pos].isSpace())
        parts.optionCode += model[pos++];
    if (!parts.optionCode.isEmpty())
        parts.count = 3;
    return parts;
}

// The leading hexadecimal digits of code as a number (0 when there are none).
unsigned HexPrefix(const QString &code)
{
    unsigned value = 0;
    for (const QChar c : code) {
        const int digit = QStringLiteral("0123456789abcdef").indexOf(c.toLower());
        if (digit < 0)
            break;
        value = value * 16 + unsigned(digit);
    }
    return value;
}

QString FamilyName(const QString &typeKey, const QString &identity)
{
    for (const TemprisFamilyDef &row : aTemprisFamily()) {
        if (row.typeKey == typeKey && row.identityName == identity)
            return row.identityName;
    }
    return {};
}

void ParseTempris(const QString &reply, IdentityParse &id)
{
    const QString s = reply.mid(reply.indexOf(kTempris));
    const int quote = int(s.indexOf(QLatin1Char('"')));
    if (quote <= kTempris.size())
        return; // no closing quote, or no model text
    id.displayName = s.left(quote);
    const QString candidateKey = s.left(quote - 5);
    const ModelParts parts = SplitModel(id.displayName.mid(kTempris.size()));
    if (parts.count < 2)
        return;
    id.optionBits = HexPrefix(parts.optionCode);
    id.productName = FamilyName(QStringLiteral("TEMPRIS_TYPE_") + parts.typeCode, candidateKey);
    if (!id.productName.isEmpty())
        id.key = candidateKey;
}

void ParseOtherProduct(const QString &reply, IdentityParse &id)
{
    for (const QString &name : aNonTemprisNames()) {
        if (reply.contains(name)) {
            id.productName = name;
            break;
        }
    }
    id.displayName = id.productName;
}

struct Search {
    bool known = false;
    int exact = -1;
};

Search SearchCatalogue(const QString &text, const IdentityParse &id)
{
    Search search;
    if (text.isEmpty())
        return search;
    const QList<ProductDef> &rows = aProductDefs();
    for (int i = 0; i < rows.size(); ++i) {
        const ProductDef &row = rows[i];
        if (!row.identityName.contains(text))
            continue;
        search.known = true;
        if (row.protocolVersion == id.protocolVersion && row.heating == id.heating && row.axis == id.axisConfig) {
            search.exact = i;
            break;
        }
    }
    return search;
}

} // namespace

IdentityParse ParseIdentityReply(const QString &reply)
{
    IdentityParse id;
    const QStringList tokens = SplitFields(reply, QLatin1Char(' '));
    const int pvToken = FindToken(tokens, QStringLiteral("PV="));
    if (pvToken < 0) {
        id.outcome = IdentityParse::Outcome::NoProtocol;
        return id;
    }
    bool isNumber = false;
    id.protocolVersion = tokens[pvToken].mid(3).toInt(&isNumber);
    if (!isNumber)
        id.protocolVersion = 0;
    id.heating = FindToken(tokens, QStringLiteral("HEATING=")) >= 0 ? 1 : 0;
    id.axisConfig = TokenValue(tokens, QStringLiteral("AXIS=")) == QLatin1String("UVW") ? 3 : 2;
    id.optionText = TokenValue(tokens, QStringLiteral("OPTION="));

    if (reply.contains(kTempris))
        ParseTempris(reply, id);
    else
        ParseOtherProduct(reply, id);

    Search search = SearchCatalogue(id.key, id);
    if (search.exact < 0) {
        const Search second = SearchCatalogue(id.productName, id);
        search = {search.known || second.known, second.exact};
    }
    if (search.exact >= 0) {
        id.outcome = IdentityParse::Outcome::Matched;
        id.row = search.exact;
    } else {
        id.outcome = search.known ? IdentityParse::Outcome::Unsupported : IdentityParse::Outcome::Unknown;
    }
    id.softwareVersion = !tokens.isEmpty() && tokens[0].size() == 4 ? tokens[0] : QStringLiteral("????");
    id.softwareVersionExtra = tokens.size() > 2 && !tokens[2].isEmpty() ? tokens[2] : QStringLiteral("???");
    return id;
}

DeviceIdentity IdentityFromParse(const IdentityParse &parse, const QString &reply)
{
    DeviceIdentity identity;
    identity.productName = parse.productName;
    identity.displayName = parse.displayName;
    identity.protocolVersion = parse.protocolVersion;
    identity.optionBits = parse.optionBits;
    identity.heating = parse.heating;
    identity.axisConfig = parse.axisConfig;
    identity.softwareVersion = parse.softwareVersion;
    identity.softwareVersionExtra = parse.softwareVersionExtra;
    identity.optionText = parse.optionText;
    identity.identityReply = reply;
    return identity;
}
