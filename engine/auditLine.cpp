#include "engine/auditLine.h"

#include <cctype>
#include <openssl/sha.h>

namespace
{
constexpr QByteArrayView kHashKey = ",\"hash\":\"";
constexpr qsizetype kHexLength = 64;
constexpr int kDeepest = 64; // nesting; an entry has three levels

bool IsLowerHex(QByteArrayView text)
{
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

// A recursive descent over the JSON grammar that only says yes or no.
class JsonScan
{
public:
    explicit JsonScan(QByteArrayView text) : at(text.begin()), end(text.end()) {}

    bool WholeObject()
    {
        Space();
        if (at == end || *at != '{' || !Object(0))
            return false;
        Space();
        return at == end;
    }

private:
    void Space()
    {
        while (at != end && (*at == ' ' || *at == '\t' || *at == '\n' || *at == '\r'))
            ++at;
    }

    bool Take(char c)
    {
        Space();
        if (at == end || *at != c)
            return false;
        ++at;
        return true;
    }

    bool Value(int depth)
    {
        Space();
        if (at == end)
            return false;
        switch (*at) {
        case '{':
            return Object(depth + 1);
        case '[':
            return Array(depth + 1);
        case '"':
            return String();
        case 't':
            return Word("true");
        case 'f':
            return Word("false");
        case 'n':
            return Word("null");
        default:
            return Number();
        }
    }

    bool Object(int depth)
    {
        if (depth > kDeepest)
            return false;
        ++at; // '{'
        if (Take('}'))
            return true;
        do {
            Space();
            if (!String() || !Take(':') || !Value(depth))
                return false;
        } while (Take(','));
        return Take('}');
    }

    bool Array(int depth)
    {
        if (depth > kDeepest)
            return false;
        ++at; // '['
        if (Take(']'))
            return true;
        do {
            if (!Value(depth))
                return false;
        } while (Take(','));
        return Take(']');
    }

    bool String()
    {
        if (at == end || *at != '"')
            return false;
        for (++at; at != end; ++at) {
            const unsigned char c = static_cast<unsigned char>(*at);
            if (c == '"') {
                ++at;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c == '\\' && !Escape())
                return false;
        }
        return false;
    }

    bool Escape()
    {
        if (++at == end)
            return false;
        if (QByteArrayView("\"\\/bfnrt").contains(*at))
            return true;
        if (*at != 'u' || end - at < 5)
            return false;
        for (int i = 1; i <= 4; ++i)
            if (!std::isxdigit(static_cast<unsigned char>(at[i])))
                return false;
        at += 4;
        return true;
    }

    bool Digits()
    {
        const char *start = at;
        while (at != end && *at >= '0' && *at <= '9')
            ++at;
        return at != start;
    }

    bool Number()
    {
        if (at != end && *at == '-')
            ++at;
        if (at != end && *at == '0')
            ++at;
        else if (!Digits())
            return false;
        if (at != end && *at == '.' && !(++at, Digits()))
            return false;
        if (at != end && (*at == 'e' || *at == 'E')) {
            ++at;
            if (at != end && (*at == '+' || *at == '-'))
                ++at;
            return Digits();
        }
        return true;
    }

    bool Word(QByteArrayView word)
    {
        if (end - at < word.size() || QByteArrayView(at, word.size()) != word)
            return false;
        at += word.size();
        return true;
    }

    const char *at;
    const char *end;
};
} // namespace

QByteArray AuditSha256(QByteArrayView data)
{
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char *>(data.data()), size_t(data.size()), digest);
    return QByteArray::fromRawData(reinterpret_cast<const char *>(digest), sizeof digest).toHex();
}

bool IsJsonObjectText(QByteArrayView text)
{
    return JsonScan(text).WholeObject();
}

QByteArrayView HashField(QByteArrayView line, QByteArrayView key)
{
    const QByteArray needle = '"' + key.toByteArray() + "\":\"";
    const qsizetype found = line.indexOf(needle);
    if (found < 0)
        return {};
    const qsizetype start = found + needle.size();
    if (line.size() < start + kHexLength + 1 || line[start + kHexLength] != '"')
        return {};
    const QByteArrayView value = line.sliced(start, kHexLength);
    return IsLowerHex(value) ? value : QByteArrayView();
}

bool SplitOwnHash(QByteArrayView line, QByteArray &body, QByteArrayView &hash)
{
    const qsizetype cut = line.size() - (kHashKey.size() + kHexLength + 2);
    if (cut < 1 || line.sliced(cut, kHashKey.size()) != kHashKey || !line.endsWith("\"}"))
        return false;
    hash = line.sliced(cut + kHashKey.size(), kHexLength);
    body = line.first(cut).toByteArray() + '}';
    return IsLowerHex(hash);
}

bool OwnHashMatches(QByteArrayView line)
{
    QByteArray body;
    QByteArrayView hash;
    return SplitOwnHash(line, body, hash) && AuditSha256(body) == hash;
}

QByteArray WithOwnHash(const QByteArray &body, QByteArray *hash)
{
    const QByteArray own = AuditSha256(body);
    if (hash)
        *hash = own;
    return body.first(body.size() - 1) + kHashKey.toByteArray() + own + "\"}";
}
