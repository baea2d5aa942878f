#include "engine/numberScan.h"

#include <QRegularExpression>
#include <limits>

QString TrimBlank(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= ' ')
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= ' ')
        --end;
    return text.mid(begin, end - begin);
}

int ScanInt(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*([+-]?\\d+)"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return 0;
    bool ok = false;
    const qlonglong v = m.captured(1).toLongLong(&ok);
    if (!ok) // more digits than a long long holds
        return m.captured(1).startsWith(QLatin1Char('-')) ? std::numeric_limits<int>::min()
                                                          : std::numeric_limits<int>::max();
    if (v > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return int(v);
}

bool ScanDouble(const QString &text, double &value)
{
    static const QRegularExpression re(QStringLiteral("^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return false;
    bool ok = false;
    const double v = m.captured(1).toDouble(&ok); // QString::toDouble uses the C locale
    if (ok)
        value = v;
    return ok;
}

bool ParseWholeInt(const QString &text, int &value)
{
    static const QRegularExpression re(QStringLiteral("^[+-]?\\d+$"));
    const QString t = TrimBlank(text);
    if (!re.match(t).hasMatch())
        return false;
    bool ok = false;
    const int v = t.toInt(&ok);
    if (ok)
        value = v;
    return ok;
}

bool ParseWholeDouble(const QString &text, double &value)
{
    static const QRegularExpression re(QStringLiteral("^[+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?$"));
    const QString t = TrimBlank(text);
    if (!re.match(t).hasMatch())
        return false;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (ok)
        value = v;
    return ok;
}
