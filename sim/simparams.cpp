#include "sim/simparams.h"

#include "templates/productCatalogue.h"

#include <QRegularExpression>
#include <cmath>

namespace
{
const QString notConfigured = QStringLiteral("NOT CONFIGURED");
const QString illegal = QStringLiteral("ILLEGAL COMMAND LINE");
const QString timeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

bool IsDelayed(const QString &type)
{
    return type == QLatin1String("delayedint") || type == QLatin1String("delayedselect");
}

bool IsTime(const QString &type)
{
    return type == QLatin1String("timestr") || type == QLatin1String("timestrcheckbox");
}

QStringList SplitWords(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[ ,]+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

// The item of list equal to text ignoring case, in the list's spelling.
QString Canonical(const QStringList &list, const QString &text)
{
    for (const QString &item : list)
        if (item.compare(text, Qt::CaseInsensitive) == 0)
            return item;
    return {};
}

QStringList Items(const IXMLitemTypeList &list)
{
    return list.Texts();
}

QDateTime Now()
{
    return QDateTime::currentDateTimeUtc();
}

struct Gate {
    const char *word;
    unsigned bit;
};
// Report words of optional features and the option bit that fits each.
const Gate reportGates[] = {{"XTILT", 0x0001},   {"YTILT", 0x0001},    {"ZORIENT", 0x0001}, {"PITCH", 0x0004},
                            {"ROLL", 0x0004},    {"HEATSTAT", 0x8000}, {"WWBT", 0x0800},    {"BGT", 0x0800},
                            {"WBGT", 0x0800},    {"WBGTD", 0x0800},    {"TWL", 0x0800},     {"PRECIPT", 0x0002},
                            {"PRECIPI", 0x0002}, {"PRECIPS", 0x0002}};
// Settings of optional features, by the text their name contains.
const Gate paramGates[] = {{"TILT Sensor", 0x0001},
                           {"WBGT Sensor", 0x0800},
                           {"Posture factor", 0x0800},
                           {"Intrinsic clothing thermal resistance", 0x0800},
                           {"Clothing Vapour Permeation efficiency", 0x0800},
                           {"PIN", 0x1000}};
} // namespace

QString FormatByMask(double value, const QString &mask)
{
    const bool sign = mask.startsWith(QLatin1Char('#'));
    const QString body = sign ? mask.mid(1) : mask;
    static const QRegularExpression shape(QStringLiteral("^0+(\\.0+)?$"));
    if (!shape.match(body).hasMatch())
        return {};
    const int point = body.indexOf(QLatin1Char('.'));
    const int decimals = point < 0 ? 0 : body.size() - point - 1;
    QString text = QString::asprintf("%0*.*f", int(body.size()), decimals, std::fabs(value));
    if (text.size() != body.size())
        return {};
    const bool negative = value < 0 && text.contains(QRegularExpression(QStringLiteral("[1-9]")));
    if (!sign)
        return negative ? QString() : text;
    return (negative ? QLatin1Char('-') : QLatin1Char('+')) + text;
}

bool SimParams::Load(const IXMLproductsType &products, const IXMLsensorunitsType &units, unsigned optionBits,
                     const QString &productName, QString *error)
{
    m_params.clear();
    m_units = units;
    m_bits = optionBits;
    const IXMLdeviceType device = products.Device(0);
    if (device.IsNull()) {
        if (error)
            *error = QStringLiteral("the document has no device");
        return false;
    }
    m_pv = device.Protocolversion();
    m_tempris = productName.startsWith(QLatin1String("TEMPRIS "));
    m_modular = productName.startsWith(QLatin1String("CORVIX"));
    // Only the models whose rain gauge is an option say so in their option bits.
    m_precipOptional = ThirteenModelList().contains(productName);
    for (int c = 0; c < device.Count(); ++c) {
        const IXMLcategoryType category = device.Category(c);
        for (int i = 0; i < category.Count(); ++i) {
            const IXMLparamType x = category.Param(i);
            SimParam p;
            p.name = x.Name();
            p.cmd = x.Cmd().trimmed();
            p.type = x.Type().trimmed();
            p.category = category.Name();
            p.options = Items(x.Option());
            p.min = x.Min();
            p.max = x.Max();
            p.measure = x.Measure();
            p.mask = x.Mask();
            p.illegal = x.Illegalstrings().split(QLatin1Char(','), Qt::SkipEmptyParts);
            p.reportWords = Items(x.Repoption());
            p.sentences = Items(x.Repnmeaoption());
            p.transducers = Items(x.Repxdroption());
            p.transducers.removeAll(QStringLiteral("XDR"));
            p.sentences.removeAll(QStringLiteral("NMEA"));
            p.reportFull = x.Reportfull().split(QLatin1Char(' '), Qt::SkipEmptyParts);
            p.reportDefault = x.Reportdefault().split(QLatin1Char(' '), Qt::SkipEmptyParts);
            const bool floatLimits = p.type == QLatin1String("maskedfloat");
            p.low = (floatLimits ? x.Floatmin() : x.Fmin()).toDouble();
            p.high = (floatLimits ? x.Floatmax() : x.Fmax()).toDouble();
            p.present = true;
            if (m_tempris) {
                for (const Gate &g : paramGates)
                    if (p.name.contains(QLatin1String(g.word)) && !(m_bits & g.bit))
                        p.present = false;
                if (p.name.contains(QLatin1String("Power Mode")) && (m_bits & 0x1000))
                    p.present = false;
                if ((p.category.contains(QLatin1String("Heating")) && !(m_bits & 0x8000)) ||
                    (p.category.contains(QLatin1String("Heat_Stress")) && !(m_bits & 0x0800)) ||
                    (p.category.contains(QLatin1String("Precipitation")) && m_precipOptional && !(m_bits & 0x0002)))
                    p.present = false;
            }
            m_params << p;
        }
    }
    // Values in a second pass: an input's units depend on its sensor type.
    int k = 0;
    for (int c = 0; c < device.Count(); ++c) {
        const IXMLcategoryType category = device.Category(c);
        for (int i = 0; i < category.Count(); ++i)
            InitValue(m_params[k++], category.Param(i));
    }
    return true;
}

void SimParams::InitValue(SimParam &p, const IXMLparamType &x)
{
    const QString &t = p.type;
    const int selected = x.Selected();
    const bool chosen = selected >= 0 && selected < p.options.size();
    if (t == QLatin1String("int") || t == QLatin1String("delayedint")) {
        p.value = QString::number(x.Value());
    } else if (t == QLatin1String("select") || t == QLatin1String("delayedselect")) {
        p.value =
            chosen ? p.options[selected] : (p.options.contains(x.Valuestring()) ? x.Valuestring() : p.options.value(0));
    } else if (t == QLatin1String("sensorunits")) {
        const QStringList symbols = m_units.Measurement(m_units.FindMeasurement(p.measure)).Symbols();
        p.value = selected >= 0 && selected < symbols.size() ? symbols[selected] : symbols.value(0);
    } else if (t == QLatin1String("senstypeselect")) {
        p.value = chosen ? p.options[selected] : notConfigured;
    } else if (t == QLatin1String("cfgsensorunits")) {
        const QString sensor = SensorTypeOf(p.category);
        const QStringList symbols = m_units.Measurement(m_units.FindMeasurement(sensor)).Symbols();
        if (sensor == notConfigured || sensor.isEmpty())
            p.value = notConfigured;
        else if (sensor == QLatin1String("CUSTOM"))
            p.value = x.Customunits().isEmpty() ? QStringLiteral("UNIT") : x.Customunits().toUpper();
        else
            p.value = selected >= 0 && selected < symbols.size() ? symbols[selected] : symbols.value(0);
    } else if (t == QLatin1String("aniptype")) {
        p.value = chosen ? QStringLiteral("%1,%2,%3").arg(p.options[selected]).arg(x.High()).arg(x.Low().trimmed())
                         : notConfigured;
    } else if (t == QLatin1String("substname") || t == QLatin1String("digcount")) {
        p.value = x.String().trimmed() == notConfigured ? QString() : x.String().trimmed();
    } else if (t == QLatin1String("maskedfloat")) {
        const QString shaped = FormatByMask(x.Floatvalue().toDouble(), p.mask);
        p.value = shaped.isEmpty() ? x.Floatvalue() : shaped;
    } else if (IsTime(t)) {
        p.stringLength = x.String().size();
        const QDateTime set = QDateTime::fromString(x.String(), timeFormat);
        if (set.isValid())
            p.clockOffset = Now().msecsTo(QDateTime(set.date(), set.time(), Qt::UTC));
    } else if (t == QLatin1String("string")) {
        p.value = x.String();
    } else if (t == QLatin1String("reportstr") || t == QLatin1String("reportxdr")) {
        QString text =
            t == QLatin1String("reportxdr") && !x.Reportxdrvalue().isEmpty() ? x.Reportxdrvalue() : x.Reportvalue();
        QStringList words;
        if (!AcceptReport(p, text, &words)) {
            // A saved report may name features this station lacks: keep what it has.
            words.clear();
            for (const QString &w : SplitWords(text)) {
                QStringList one;
                if (AcceptReport(p, w, &one))
                    words << one;
            }
        }
        p.words = words;
    }
    p.pending = p.value;
}

const SimParam *SimParams::Find(const QString &cmd) const
{
    for (const SimParam &p : m_params)
        if (p.present && p.cmd == cmd)
            return &p;
    return nullptr;
}

SimParam *SimParams::FindMutable(const QString &cmd)
{
    return const_cast<SimParam *>(Find(cmd));
}

QString SimParams::SensorTypeOf(const QString &category) const
{
    for (const SimParam &p : m_params)
        if (p.category == category && p.type == QLatin1String("senstypeselect"))
            return p.value;
    return {};
}

QString SimParams::SubstituteName(const QString &input) const
{
    for (const SimParam &p : m_params)
        if (p.category == input && p.type == QLatin1String("substname") && !p.value.isEmpty())
            return p.value;
    return input;
}

QString SimParams::InputOfName(const QString &name) const
{
    for (const SimParam &p : m_params)
        if (p.type == QLatin1String("substname") && !p.value.isEmpty() &&
            p.value.compare(name, Qt::CaseInsensitive) == 0)
            return p.category;
    return {};
}

bool SimParams::WordGated(const QString &word, bool xdr) const
{
    if (!m_tempris)
        return false;
    for (const Gate &g : reportGates) {
        if (word != QLatin1String(g.word) || (m_bits & g.bit))
            continue;
        if (g.bit == 0x0002 && !m_precipOptional)
            continue;
        // Tilt, heating and heat-stress items never appear in the XDR list.
        if (xdr && g.bit != 0x0002 && g.bit != 0x0004)
            continue;
        return true;
    }
    return false;
}

QStringList SimParams::DeviceReportWords() const
{
    QStringList out;
    for (const SimParam &p : m_params) {
        if (!p.present || p.type != QLatin1String("reportstr"))
            continue;
        for (const QString &w : p.words) {
            if (m_modular && m_pv < 3 && w == QLatin1String("POLAR"))
                out << QStringLiteral("DIR") << QStringLiteral("SPEED");
            else if (m_modular && m_pv < 3 && w == QLatin1String("AXIS"))
                out << QStringLiteral("U-AXIS") << QStringLiteral("V-AXIS");
            else if (m_pv < 8 && w.startsWith(QLatin1String("MWV"))) {
                if (!out.contains(QStringLiteral("MWV")))
                    out << QStringLiteral("MWV");
            } else if (m_pv < 8 && p.sentences.contains(w) && w != QLatin1String("XDR"))
                continue; // older stations name only their MWV and XDR output
            else
                out << SubstituteName(w);
        }
        break;
    }
    return out;
}

QString SimParams::ReadValue(const SimParam &p) const
{
    if (p.type == QLatin1String("substname") || p.type == QLatin1String("digcount"))
        return p.value.isEmpty() ? notConfigured : p.value;
    if (IsTime(p.type)) {
        const QDateTime clock = Now().addMSecs(p.clockOffset);
        return clock.toString(timeFormat) + QStringLiteral(".%1").arg(clock.time().msec() / 100);
    }
    if (p.type == QLatin1String("reportstr"))
        return (QStringList{QStringLiteral("CHECK")} + DeviceReportWords()).join(QLatin1Char(','));
    if (p.type == QLatin1String("reportxdr")) {
        QStringList words{QStringLiteral("XDR")};
        for (const QString &w : p.words)
            words << SubstituteName(w);
        return (words << QStringLiteral("CHECK")).join(QLatin1Char(','));
    }
    return p.value;
}

QStringList SimParams::Read(const QString &cmd) const
{
    const SimParam *p = Find(cmd);
    if (!p)
        return {};
    const QString value = ReadValue(*p);
    QStringList lines{value.isEmpty() ? cmd + QStringLiteral(" =") : cmd + QStringLiteral(" = ") + value};
    if (IsDelayed(p->type))
        lines << cmd + QStringLiteral(" AFTER RESET = ") + p->pending;
    return lines;
}

QStringList SimParams::Write(const QString &cmd, const QString &value)
{
    SimParam *p = FindMutable(cmd);
    QString stored;
    if (!p || !Accept(*p, value.trimmed(), &stored))
        return {illegal};
    if (IsDelayed(p->type))
        return {cmd + QStringLiteral(" AFTER RESET = ") + p->pending};
    return {Read(cmd).value(0)};
}

bool SimParams::Force(const QString &cmd, const QString &value)
{
    SimParam *p = FindMutable(cmd);
    QString stored;
    if (!p || !Accept(*p, value, &stored))
        return false;
    if (IsDelayed(p->type))
        p->value = p->pending;
    else
        p->pending = p->value;
    return true;
}

QString SimParams::UnitSymbol(const QString &measurement, const QString &value) const
{
    return Canonical(m_units.Measurement(m_units.FindMeasurement(measurement)).Symbols(), value);
}

bool SimParams::AcceptReport(const SimParam &p, const QString &value, QStringList *words) const
{
    const bool xdr = p.type == QLatin1String("reportxdr");
    QStringList tokens = SplitWords(value.toUpper());
    tokens.removeAll(QStringLiteral("CHECK"));
    words->clear();
    if (!xdr && tokens.size() == 1 &&
        (tokens[0] == QLatin1String("FULL") || tokens[0] == QLatin1String("DEFAULT") ||
         tokens[0] == QLatin1String("NMEA"))) {
        const QStringList &all = tokens[0] == QLatin1String("FULL")      ? p.reportFull
                                 : tokens[0] == QLatin1String("DEFAULT") ? p.reportDefault
                                                                         : p.sentences;
        for (const QString &w : all)
            if (!WordGated(w, false))
                *words << w;
        return true;
    }
    tokens.removeAll(xdr ? QStringLiteral("XDR") : QStringLiteral("NMEA"));
    const QStringList vocabulary = xdr ? p.transducers : p.reportWords + p.sentences;
    for (const QString &t : tokens) {
        QString word = Canonical(vocabulary, t);
        if (word.isEmpty())
            word = Canonical(vocabulary, InputOfName(t));
        if (word.isEmpty() || WordGated(word, xdr))
            return false;
        *words << word;
    }
    return true;
}

bool SimParams::Accept(SimParam &p, const QString &value, QString *stored)
{
    const QString &t = p.type;
    static const QRegularExpression integer(QStringLiteral("^[+-]?\\d{1,9}$"));
    if (t == QLatin1String("reportstr") || t == QLatin1String("reportxdr")) {
        QStringList words;
        if (!AcceptReport(p, value, &words))
            return false;
        p.words = words;
        return true;
    }
    if (IsTime(t)) {
        static const QRegularExpression shape(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$"));
        const QDateTime set = QDateTime::fromString(value, timeFormat);
        if (!shape.match(value).hasMatch() || !set.isValid())
            return false;
        p.clockOffset = Now().msecsTo(QDateTime(set.date(), set.time(), Qt::UTC));
        return true;
    }
    if (t == QLatin1String("int") || t == QLatin1String("delayedint")) {
        const int n = value.toInt();
        if (!integer.match(value).hasMatch() || n < p.min || n > p.max)
            return false;
        *stored = QString::number(n);
    } else if (t == QLatin1String("select") || t == QLatin1String("delayedselect")) {
        *stored = Canonical(p.options, value);
    } else if (t == QLatin1String("sensorunits")) {
        *stored = UnitSymbol(p.measure, value);
    } else if (t == QLatin1String("senstypeselect")) {
        *stored = value.compare(notConfigured, Qt::CaseInsensitive) == 0 ? notConfigured : Canonical(p.options, value);
    } else if (t == QLatin1String("cfgsensorunits")) {
        const QString sensor = SensorTypeOf(p.category);
        const bool off = value.compare(notConfigured, Qt::CaseInsensitive) == 0;
        static const QRegularExpression custom(QStringLiteral("^[0-9A-Z#_]{1,4}$"));
        if (sensor == notConfigured || off)
            *stored = sensor == notConfigured && off ? notConfigured : QString();
        else if (sensor == QLatin1String("CUSTOM"))
            *stored = custom.match(value.toUpper()).hasMatch() ? value.toUpper() : QString();
        else
            *stored = UnitSymbol(sensor, value);
    } else if (t == QLatin1String("aniptype")) {
        const QStringList f = SplitWords(value);
        if (value.compare(notConfigured, Qt::CaseInsensitive) == 0) {
            *stored = notConfigured;
        } else {
            if (f.size() != 3 || !integer.match(f[1]).hasMatch() || !integer.match(f[2]).hasMatch())
                return false;
            const int high = f[1].toInt(), low = f[2].toInt();
            const QString kind = Canonical(p.options, f[0]);
            if (kind.isEmpty() || high == low || high < p.min || high > p.max || low < p.min || low > p.max)
                return false;
            *stored = QStringLiteral("%1,%2,%3").arg(kind).arg(high).arg(low);
        }
    } else if (t == QLatin1String("substname")) {
        static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9]{3,8}$"));
        if (value.compare(notConfigured, Qt::CaseInsensitive) == 0) {
            p.value.clear();
            return true;
        }
        if (!name.match(value).hasMatch() || !Canonical(p.illegal, value).isEmpty())
            return false;
        *stored = value;
    } else if (t == QLatin1String("digcount")) {
        static const QRegularExpression number(QStringLiteral("^\\d+(\\.\\d{1,3})?$"));
        if (value.compare(notConfigured, Qt::CaseInsensitive) == 0) {
            p.value.clear();
            return true;
        }
        if (!number.match(value).hasMatch() || value.toDouble() < p.low || value.toDouble() > p.high)
            return false;
        *stored = value;
    } else if (t == QLatin1String("maskedfloat")) {
        static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)$"));
        const double v = value.toDouble();
        if (!number.match(value).hasMatch() || v < p.low || v > p.high)
            return false;
        *stored = FormatByMask(v, p.mask);
    } else if (t == QLatin1String("string")) {
        QString text = value;
        if (text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"')))
            text = text.mid(1, text.size() - 2);
        if (text.size() > 16 || text.contains(QRegularExpression(QStringLiteral("[@,*%?]"))))
            return false;
        p.value = text;
        return true;
    } else {
        return false; // a type the station does not know
    }
    if (stored->isEmpty())
        return false;
    if (IsDelayed(t)) {
        p.pending = *stored;
        return true;
    }
    const bool retyped = t == QLatin1String("senstypeselect") && p.value != *stored;
    p.value = *stored;
    if (retyped) {
        // A new sensor type starts with its measurement's first unit.
        for (SimParam &u : m_params) {
            if (u.category != p.category || u.type != QLatin1String("cfgsensorunits"))
                continue;
            const QStringList symbols = m_units.Measurement(m_units.FindMeasurement(p.value)).Symbols();
            u.value = p.value == notConfigured             ? notConfigured
                      : p.value == QLatin1String("CUSTOM") ? QStringLiteral("UNIT")
                                                           : symbols.value(0);
            u.pending = u.value;
        }
    }
    return true;
}
