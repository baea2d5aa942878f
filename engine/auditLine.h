#pragma once
// One line of the audit log on its own, fast enough to check a log of a
// hundred thousand entries in well under a second: its SHA-256, whether it
// is a JSON object, a hash field's value, and its own hash at its end.
#include <QByteArray>
#include <QByteArrayView>

// The SHA-256 of data as 64 lower-case hex digits.
QByteArray AuditSha256(QByteArrayView data);
// A JSON object and nothing after it (a syntax check; nothing is built).
bool IsJsonObjectText(QByteArrayView text);
// The 64 hex digits of a top-level field written "key":"<hex>"; empty when
// there is none. In compact JSON a quote inside a string is escaped, so the
// key's text can only be a key.
QByteArrayView HashField(QByteArrayView line, QByteArrayView key);
// The line without its closing ,"hash":"..."} field and the hash it gives;
// false when the line does not end in one.
bool SplitOwnHash(QByteArrayView line, QByteArray &body, QByteArrayView &hash);
// The line ends in the SHA-256 of its text without that field.
bool OwnHashMatches(QByteArrayView line);
// A line's text ending in its own hash: body is compact JSON of an object.
QByteArray WithOwnHash(const QByteArray &body, QByteArray *hash = nullptr);
