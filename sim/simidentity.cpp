#include "sim/simidentity.h"

#include "templates/productCatalogue.h"

#include <QRegularExpression>
#include <QStringList>

namespace
{
const QString temprisWord = QStringLiteral("TEMPRIS ");

// Blank-separated words; a double quote groups words and is dropped.
QStringList Words(const QString &text)
{
    QStringList words;
    QString word;
    bool quoted = false;
    for (QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (c == QLatin1Char(' ') && !quoted) {
            if (!word.isEmpty())
                words << word;
            word.clear();
        } else
            word += c;
    }
    if (!word.isEmpty())
        words << word;
    return words;
}

QString ValueAfter(const QStringList &words, const QString &tag, bool *found)
{
    for (const QString &w : words) {
        int at = w.indexOf(tag);
        if (at >= 0) {
            *found = true;
            return w.mid(at + tag.size());
        }
    }
    *found = false;
    return {};
}

int FindRow(const QString &identityName, int pv, int heating, int axis)
{
    const QList<ProductDef> &rows = aProductDefs();
    for (int i = 0; i < rows.size(); ++i) {
        const ProductDef &r = rows[i];
        if (r.identityName == identityName && r.protocolVersion == pv && r.heating == heating && r.axis == axis)
            return i;
    }
    return -1;
}

SimProduct FromIdentity(const QString &reply, QString *error)
{
    SimProduct product;
    const QStringList words = Words(reply);
    bool found = false;
    const int pv = ValueAfter(words, QStringLiteral("PV="), &found).toInt();
    const QString pvText = found ? QString::number(pv) : QString();
    ValueAfter(words, QStringLiteral("HEATING="), &found);
    const int heating = found ? 1 : 0;
    const int axis = ValueAfter(words, QStringLiteral("AXIS="), &found) == QLatin1String("UVW") ? 3 : 2;

    QString name;
    int at = reply.indexOf(temprisWord);
    if (at >= 0) {
        int quote = reply.indexOf(QLatin1Char('"'), at);
        const QStringList parts = reply.mid(at + temprisWord.size(), quote < 0 ? -1 : quote - at - temprisWord.size())
                                      .split(QLatin1Char('-'), Qt::SkipEmptyParts);
        if (parts.size() >= 2) {
            name = temprisWord + parts[0] + QLatin1Char('-') + parts[1];
            if (parts.size() >= 3) {
                bool ok = false;
                product.optionBits = parts[2].toUInt(&ok, 16);
                product.optionBitsGiven = ok;
            }
        }
    } else {
        for (const QString &n : aNonTemprisNames()) {
            if (reply.contains(n)) {
                name = n;
                break;
            }
        }
    }
    product.row = pvText.isEmpty() || name.isEmpty() ? -1 : FindRow(name, pv, heating, axis);
    if (product.row < 0 && error)
        *error = QStringLiteral("no catalogue row for the identity \"%1\"").arg(reply);
    return product;
}
} // namespace

bool SimProduct::IsTempris() const
{
    return row >= 0 && aProductDefs()[row].identityName.startsWith(temprisWord);
}

QString SimProduct::TypeCode() const
{
    if (!IsTempris())
        return {};
    const QString &name = aProductDefs()[row].identityName;
    return name.mid(name.indexOf(QLatin1Char('-')) + 1);
}

SimProduct FindProduct(const QString &text, QString *error)
{
    const QList<ProductDef> &rows = aProductDefs();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows[i].menuName == text) {
            SimProduct product;
            product.row = i;
            product.optionBits = DefaultOptionBits(i);
            return product;
        }
    }
    if (text.contains(QStringLiteral("PV=")))
        return FromIdentity(text, error);
    if (error)
        *error = QStringLiteral("\"%1\" is neither a product menu name nor an identity reply").arg(text);
    return {};
}

unsigned DefaultOptionBits(int row)
{
    SimProduct product;
    product.row = row;
    if (!product.IsTempris())
        return 0;
    const QString code = product.TypeCode();
    const bool gps = code.endsWith(QLatin1Char('B'));
    const QString base = gps ? code.chopped(1) : code;
    static const QStringList windTypes = {QStringLiteral("1"), QStringLiteral("2"),  QStringLiteral("3"),
                                          QStringLiteral("5"), QStringLiteral("5D"), QStringLiteral("5E"),
                                          QStringLiteral("9"), QStringLiteral("10")};
    const bool wind = windTypes.contains(base);
    const bool compass = wind && base != QLatin1String("9");
    unsigned bits = 0;
    if (wind)
        bits |= SimOption::Tilt;
    // The rain gauge is optional on the first model of these types; type 2
    // stations ship without it, the others with it.
    if (ElevenModelList().contains(aProductDefs()[row].identityName) && base != QLatin1String("2"))
        bits |= SimOption::Precipitation;
    if (gps && compass)
        bits |= SimOption::PitchRoll;
    if (base == QLatin1String("3"))
        bits |= SimOption::HeatStress;
    if (gps)
        bits |= SimOption::Pin;
    if (compass)
        bits |= SimOption::Heating;
    return bits;
}

QString BuildIdentity(const SimProduct &product, const QString &address)
{
    const ProductDef &def = aProductDefs()[product.row];
    QStringList words;
    words << QStringLiteral("%1.%2")
                 .arg(def.protocolVersion % 10)
                 .arg(def.protocolVersion * 7 % 100, 2, 10, QLatin1Char('0'));
    words << QStringLiteral("PV=%1").arg(def.protocolVersion);
    if (product.IsTempris()) {
        const QString code = QStringLiteral("%1").arg(product.optionBits & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
        words << QStringLiteral("OPTION=") + code;
        words << QLatin1Char('"') + def.identityName + QLatin1Char('-') + code + QLatin1Char('"');
    } else {
        if (def.heating)
            words << QStringLiteral("HEATING=1");
        if (!def.identityName.startsWith(QLatin1String("RELAYPOINT")))
            words << (def.axis == 3 ? QStringLiteral("AXIS=UVW") : QStringLiteral("AXIS=UV"));
        words << QLatin1Char('"') + def.identityName + QLatin1Char('"');
    }
    words << QLatin1Char('[') + address + QLatin1Char(']');
    return words.join(QLatin1Char(' '));
}
