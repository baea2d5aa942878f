#include "config/editMask.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <cmath>

namespace
{
bool IsDigitPosition(QChar c)
{
    return c == QLatin1Char('0') || c == QLatin1Char('9') || c == QLatin1Char('#');
}

bool IsDecimalMask(const QString &mask)
{
    if (mask.count(QLatin1Char('.')) != 1)
        return false;
    for (QChar c : mask) {
        if (c != QLatin1Char('.') && !IsDigitPosition(c))
            return false;
    }
    return true;
}

QString DecimalPattern(const QString &mask)
{
    const qsizetype point = mask.indexOf(QLatin1Char('.'));
    const QString whole = mask.left(point);
    const qsizetype fraction = mask.size() - point - 1;
    const QString digits = QStringLiteral("[0-9]{0,%1}").arg(whole.size());
    const QString sign = whole.contains(QLatin1Char('#')) ? QStringLiteral("[+-]?") : QString();
    return sign + digits + QStringLiteral("(?:\\.[0-9]{0,%1})?").arg(fraction);
}

QString PositionClass(QChar c)
{
    switch (c.unicode()) {
    case '0':
    case '9':
        return QStringLiteral("[0-9]");
    case '#':
        return QStringLiteral("[0-9+-]");
    case 'a':
    case 'A':
        return QStringLiteral("[A-Za-z0-9]");
    case 'c':
    case 'C':
        return QStringLiteral(".");
    default:
        return QRegularExpression::escape(QString(c));
    }
}

// Nested optional groups: the text fills the positions from the left.
QString PositionPattern(const QString &mask)
{
    QString pattern;
    int open = 0;
    for (QChar c : mask) {
        if (c == QLatin1Char('>'))
            continue;
        pattern += QStringLiteral("(?:") + PositionClass(c);
        ++open;
    }
    for (int i = 0; i < open; ++i)
        pattern += QStringLiteral(")?");
    return pattern;
}
} // namespace

QString MaskPattern(const QString &mask)
{
    if (mask.isEmpty())
        return QStringLiteral(".*");
    return IsDecimalMask(mask) ? DecimalPattern(mask) : PositionPattern(mask);
}

bool MaskForcesUpperCase(const QString &mask)
{
    return mask.contains(QLatin1Char('>'));
}

TMaskValidator::TMaskValidator(const QString &pattern, bool upperCase, QObject *parent)
    : QRegularExpressionValidator(QRegularExpression(pattern), parent), m_upper(upperCase)
{
}

QValidator::State TMaskValidator::validate(QString &input, int &pos) const
{
    if (m_upper)
        input = input.toUpper();
    return QRegularExpressionValidator::validate(input, pos);
}

void TMaskValidator::fixup(QString &input) const
{
    if (m_upper)
        input = input.toUpper();
}

void ApplyEditMask(QLineEdit *edit, const QString &mask, bool forceUpper)
{
    const bool upper = forceUpper || MaskForcesUpperCase(mask);
    if (mask.isEmpty() && !upper)
        return;
    edit->setValidator(new TMaskValidator(MaskPattern(mask), upper, edit));
}

QString FormatWithMask(double v, const QString &mask)
{
    QString placeholders;
    QString prefix;
    QString suffix;
    for (QChar c : mask) {
        if (c == QLatin1Char('>'))
            continue; // a case mark, not a character of the text
        if (IsDigitPosition(c) || c == QLatin1Char('.'))
            placeholders += c;
        else if (placeholders.isEmpty())
            prefix += c;
        else
            suffix += c;
    }
    const qsizetype point = placeholders.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? placeholders : placeholders.left(point);
    const QString fraction = point < 0 ? QString() : placeholders.mid(point + 1);
    const int minWhole = int(whole.count(QLatin1Char('0')));
    const int minFraction = int(fraction.lastIndexOf(QLatin1Char('0')) + 1);
    const int maxFraction = int(fraction.size());

    QString digits = QString::number(std::fabs(v), 'f', maxFraction);
    QString intPart = digits;
    QString fracPart;
    if (maxFraction > 0) {
        intPart = digits.section(QLatin1Char('.'), 0, 0);
        fracPart = digits.section(QLatin1Char('.'), 1, 1);
    }
    while (fracPart.size() > minFraction && fracPart.endsWith(QLatin1Char('0')))
        fracPart.chop(1);
    if (intPart == QLatin1String("0") && minWhole == 0)
        intPart.clear();
    while (intPart.size() < minWhole)
        intPart.prepend(QLatin1Char('0'));
    const bool negative = v < 0 && (intPart.toLongLong() != 0 || fracPart.toLongLong() != 0);
    QString text = intPart;
    if (!fracPart.isEmpty())
        text += QLatin1Char('.') + fracPart;
    if (text.isEmpty())
        text = QStringLiteral("0");
    return prefix + (negative ? QStringLiteral("-") : QString()) + text + suffix;
}
