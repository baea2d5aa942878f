#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QString>

// Text helpers of the terminal window; no widgets, so they are easy to test.

// The line without the CR and LF characters around it: the link ends lines at
// CR, so the LF that follows starts the next one and would show as a blank.
QString TerminalLineText(const QString &received);

// "hh:mm:ss.zzz " followed by text, for the received-time column.
QString WithTimestamp(const QDateTime &received, const QString &text);

// The bytes as received in hex, then the characters with the control
// characters spelled out, e.g. "24 41 0D  $A<CR>".
QString HexLine(const QString &received);

// True when the line carries an NMEA-style "*hh" checksum that does not match
// the XOR of the characters between '$' and '*'. Lines without one are fine.
bool HasBadChecksum(const QString &line);
