#include "diagnostics/terminalText.h"

namespace
{
bool IsLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

QString Visible(char c)
{
    switch (c) {
    case '\r': return QStringLiteral("<CR>");
    case '\n': return QStringLiteral("<LF>");
    case '\t': return QStringLiteral("<TAB>");
    default: break;
    }
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F)
        return QStringLiteral("<%1>").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    return QString(QLatin1Char(c));
}
} // namespace

QString TerminalLineText(const QString &received)
{
    qsizetype begin = 0;
    qsizetype end = received.size();
    while (begin < end && IsLineEnd(received[begin]))
        ++begin;
    while (end > begin && IsLineEnd(received[end - 1]))
        --end;
    return received.mid(begin, end - begin);
}

QString WithTimestamp(const QDateTime &received, const QString &text)
{
    return received.toString(QStringLiteral("hh:mm:ss.zzz ")) + text;
}

QString HexLine(const QString &received)
{
    const QByteArray bytes = received.toLatin1();
    QString shown;
    for (char c : bytes)
        shown += Visible(c);
    return QString::fromLatin1(bytes.toHex(' ').toUpper()) + QStringLiteral("  ") + shown;
}

bool HasBadChecksum(const QString &line)
{
    const QString text = TerminalLineText(line);
    const qsizetype dollar = text.indexOf(QLatin1Char('$'));
    const qsizetype star = text.lastIndexOf(QLatin1Char('*'));
    if (dollar < 0 || star < dollar || star + 3 != text.size())
        return false;
    bool ok = false;
    const uint stated = text.mid(star + 1, 2).toUInt(&ok, 16);
    if (!ok)
        return true;
    uint sum = 0;
    for (qsizetype i = dollar + 1; i < star; ++i)
        sum ^= text[i].unicode() & 0xFF;
    return sum != stated;
}
