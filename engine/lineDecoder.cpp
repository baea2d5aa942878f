#include "engine/lineDecoder.h"

#include "engine/replies.h"

#include <cmath>

namespace
{
// What each report word measures: a measurement of the units document (its
// unit then comes from the document), or a fixed unit; words with neither
// are text or counts.
struct WordUnit {
    const char *word;
    const char *measurement;
    const char *fixedUnit;
};

const WordUnit kWordUnits[] = {
    {"DIR", "DIRECTION", nullptr},        {"GUSTDIR", "DIRECTION", nullptr},
    {"AVGDIR", "DIRECTION", nullptr},     {"CDIR", "DIRECTION", nullptr},
    {"COMPASSH", "DIRECTION", nullptr},   {"PITCH", "DIRECTION", nullptr},
    {"ROLL", "DIRECTION", nullptr},       {"XTILT", "DIRECTION", nullptr},
    {"YTILT", "DIRECTION", nullptr},      {"ELEV", "DIRECTION", nullptr},
    {"TRUEDIR", "DIRECTION", nullptr},    {"SPEED", "WINDSPEED", nullptr},
    {"GUSTSPEED", "WINDSPEED", nullptr},  {"AVGSPEED", "WINDSPEED", nullptr},
    {"U-AXIS", "WINDSPEED", nullptr},     {"V-AXIS", "WINDSPEED", nullptr},
    {"W-AXIS", "WINDSPEED", nullptr},     {"GPSSPEED", "WINDSPEED", nullptr},
    {"TRUESPEED", "WINDSPEED", nullptr},  {"TEMP", "TEMPERATURE", nullptr},
    {"DEWPOINT", "TEMPERATURE", nullptr}, {"SONICTEMP", "TEMPERATURE", nullptr},
    {"WWBT", "TEMPERATURE", nullptr},     {"BGT", "TEMPERATURE", nullptr},
    {"WBGT", "TEMPERATURE", nullptr},     {"WBGTD", "TEMPERATURE", nullptr},
    {"RH", "HUMIDITY", nullptr},          {"PRESS", "PRESSURE", nullptr},
    {"PASL", "PRESSURE", nullptr},        {"PRECIPT", "PRECIPITATION", nullptr},
    {"PRECIPI", "PRECIPITATION_INTENSITY", nullptr},
    {"SOLARRAD", "SOLAR_RADIATION", nullptr},
    {"VOLT", "VOLTAGE", nullptr},         {"AH", nullptr, "G/M3"},
    {"TWL", nullptr, "WM2"},              {"SOS", nullptr, "MS"},
    {"SUNHOURS", nullptr, "H"},           {"GPSHEIGHT", nullptr, "M"},
    {"LAT", nullptr, "DEG"},              {"LON", nullptr, "DEG"},
    {"ALT", nullptr, "M"},
};

const WordUnit *FindWordUnit(const QString &word)
{
    for (const WordUnit &w : kWordUnits)
        if (word == QLatin1String(w.word))
            return &w;
    return nullptr;
}

// Report words that stand for two fields of the line.
QStringList FieldWords(const QString &word)
{
    if (word == QLatin1String("POLAR"))
        return {QStringLiteral("DIR"), QStringLiteral("SPEED")};
    if (word == QLatin1String("AXIS"))
        return {QStringLiteral("U-AXIS"), QStringLiteral("V-AXIS")};
    return {word};
}

bool IsSentenceWord(const QString &word)
{
    static const QStringList names = {QStringLiteral("NMEA"), QStringLiteral("MWV"), QStringLiteral("MWVR"),
                                      QStringLiteral("MWVT"), QStringLiteral("HDG"), QStringLiteral("XDR"),
                                      QStringLiteral("GGA"),  QStringLiteral("ORDT")};
    return names.contains(word);
}

// An unused text in a document's value elements.
bool Unset(const QString &text)
{
    return text.isEmpty() || text.contains(QLatin1String("NOT CONFIGURED")) ||
           text == QLatin1String("VALUE_STRING_NOT_SET");
}

// The MWV speed unit letter as the units document's symbol.
QString NmeaSpeedUnit(const QString &letter)
{
    if (letter == QLatin1String("K"))
        return QStringLiteral("KMH");
    if (letter == QLatin1String("N"))
        return QStringLiteral("KTS");
    if (letter == QLatin1String("S"))
        return QStringLiteral("MPH");
    return QStringLiteral("MS");
}

// XDR unit letters, for transducers the decoder knows no unit of.
QString XdrUnit(const QString &type, const QString &letter)
{
    if (letter == QLatin1String("C"))
        return QStringLiteral("C");
    if (letter == QLatin1String("D"))
        return QStringLiteral("DEG");
    if (letter == QLatin1String("V"))
        return QStringLiteral("V");
    if (letter == QLatin1String("M"))
        return QStringLiteral("M");
    if (letter == QLatin1String("B"))
        return QStringLiteral("BAR");
    if (letter == QLatin1String("P"))
        return type == QLatin1String("H") ? QStringLiteral("%") : QStringLiteral("PA");
    return letter;
}

// "ddmm.mm" with its hemisphere letter as signed decimal degrees.
QString DecimalDegrees(const QString &value, const QString &hemisphere)
{
    bool ok = false;
    const double raw = value.toDouble(&ok);
    if (!ok)
        return {};
    const double degrees = std::floor(raw / 100);
    double decimal = degrees + (raw - degrees * 100) / 60;
    if (hemisphere == QLatin1String("S") || hemisphere == QLatin1String("W"))
        decimal = -decimal;
    return QString::number(decimal, 'f', 5);
}

// The line without the line breaks, blanks and noise bytes around it.
QStringView TrimmedLine(QStringView text)
{
    const auto visible = [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7F; };
    qsizetype first = 0, last = text.size();
    while (first < last && !visible(text[first]))
        ++first;
    while (last > first && !visible(text[last - 1]))
        --last;
    return text.mid(first, last - first);
}

int HexValue(QStringView hex)
{
    bool ok = false;
    const int value = hex.toInt(&ok, 16);
    return ok && hex.size() == 2 ? value : -1;
}
} // namespace

namespace
{
unsigned XorOf(QStringView body)
{
    unsigned sum = 0;
    for (QChar c : body)
        sum ^= c.unicode() & 0xFF;
    return sum;
}
} // namespace

QString LineChecksum(QStringView body)
{
    return QStringLiteral("%1").arg(XorOf(body), 2, 16, QLatin1Char('0')).toUpper();
}

// The symbol a unit param has chosen: its position in the measurement's
// units (as a read leaves it), else the text the editor stored.
QString LineDecoder::ParamUnit(const IXMLparamType &param, const QString &measurement) const
{
    const int selected = param.Selected();
    if (!units.IsNull() && selected >= 0) {
        const int index = units.FindMeasurement(measurement);
        if (index >= 0 && selected < units.Measurement(index).Count())
            return units.Measurement(index).Unit(selected).Symbol();
    }
    return Unset(param.Valuestring()) ? QString() : param.Valuestring();
}

// An input's unit follows the sensor type it is configured for.
QString LineDecoder::InputUnit(const IXMLcategoryType &category, const IXMLparamType &param) const
{
    QString measurement;
    if (!MeasurementOfSensorType(category, measurement, nullptr) || Unset(measurement))
        return {};
    if (measurement == QLatin1String("CUSTOM"))
        return param.Customunits().isEmpty() ? param.Valuestring() : param.Customunits().toUpper();
    return ParamUnit(param, measurement);
}

LineDecoder::LineDecoder(const Document &document) : units(document.units)
{
    ReadDocument(document);
}

void LineDecoder::ReadDocument(const Document &document)
{
    const IXMLdeviceType device = document.Device();
    if (device.IsNull())
        return;
    QString report, xdrList;
    QStringList offered;
    for (int c = 0; c < device.Count(); ++c) {
        const IXMLcategoryType category = device.Category(c);
        const QString input = category.Sensorname().isEmpty() ? category.Name() : category.Sensorname();
        for (int p = 0; p < category.Count(); ++p) {
            const IXMLparamType param = category.Param(p);
            const QString type = param.Type();
            if (type == QLatin1String("sensorunits"))
                unitByMeasurement.insert(param.Measure(), ParamUnit(param, param.Measure()));
            else if (type == QLatin1String("cfgsensorunits"))
                inputUnit.insert(input, InputUnit(category, param));
            else if (type == QLatin1String("substname") && !Unset(param.String())) {
                substituteOfInput.insert(input, param.String());
                inputOfSubstitute.insert(param.String(), input);
            } else if (type == QLatin1String("reportstr")) {
                report = param.Reportvalue();
                offered = param.Repnmeaoption().Texts();
                offered.removeAll(QStringLiteral("NMEA"));
            } else if (type == QLatin1String("reportxdr"))
                xdrList = param.Reportxdrvalue().isEmpty() ? param.Reportvalue() : param.Reportxdrvalue();
        }
    }
    DeclareReport(report, xdrList, offered);
}

void LineDecoder::DeclareReport(const QString &report, const QString &xdrList, const QStringList &offered)
{
    const QStringList words = report.toUpper().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &word : words) {
        if (word == QLatin1String("CHECK"))
            continue;
        if (word == QLatin1String("NMEA")) {
            // Alone it stands for every sentence the sensor offers.
            if (words.size() == 1)
                sentences = offered.isEmpty() ? QStringList{QStringLiteral("MWV"), QStringLiteral("XDR")} : offered;
            continue;
        }
        if (IsSentenceWord(word)) {
            sentences << word;
            continue;
        }
        parameterWords << word;
        for (const QString &fieldWord : FieldWords(word))
            fieldChannels << Declare(NameOf(fieldWord), UnitOfWord(fieldWord));
    }
    for (const QString &sentence : sentences) {
        if (sentence.startsWith(QLatin1String("MWV"))) {
            const bool trueWind = sentence == QLatin1String("MWVT");
            Declare(trueWind ? QStringLiteral("TRUEDIR") : QStringLiteral("DIR"), UnitOfWord(QStringLiteral("DIR")));
            Declare(trueWind ? QStringLiteral("TRUESPEED") : QStringLiteral("SPEED"),
                    UnitOfWord(QStringLiteral("SPEED")));
        } else if (sentence == QLatin1String("HDG"))
            Declare(QStringLiteral("COMPASSH"), UnitOfWord(QStringLiteral("COMPASSH")));
        else if (sentence == QLatin1String("GGA")) {
            for (const char *name : {"LAT", "LON", "ALT"})
                Declare(QString::fromLatin1(name), UnitOfWord(QString::fromLatin1(name)));
        } else if (sentence == QLatin1String("XDR")) {
            for (const QString &word : xdrList.toUpper().split(QLatin1Char(' '), Qt::SkipEmptyParts))
                if (word != QLatin1String("XDR") && word != QLatin1String("CHECK"))
                    Declare(NameOf(word), UnitOfWord(word));
        }
    }
}

int LineDecoder::Declare(const QString &name, const QString &unit)
{
    const auto found = channelIndex.constFind(name);
    if (found != channelIndex.constEnd())
        return *found;
    channels.append(Channel{name, unit});
    channelIndex.insert(name, int(channels.size()) - 1);
    return int(channels.size()) - 1;
}

// A sensor input is shown by its substitute name when it has one.
QString LineDecoder::NameOf(const QString &word) const
{
    return substituteOfInput.value(word, word);
}

QString LineDecoder::UnitOfWord(const QString &word) const
{
    const QString input = inputOfSubstitute.value(word, word);
    const auto configured = inputUnit.constFind(input);
    if (configured != inputUnit.constEnd())
        return *configured; // an input not configured has no unit
    const WordUnit *known = FindWordUnit(word);
    if (!known)
        return {};
    if (known->fixedUnit)
        return QString::fromLatin1(known->fixedUnit);
    return UnitOfMeasurement(QString::fromLatin1(known->measurement));
}

QString LineDecoder::UnitOfMeasurement(const QString &measurement) const
{
    const auto set = unitByMeasurement.constFind(measurement);
    if (set != unitByMeasurement.constEnd() && !set->isEmpty())
        return *set;
    if (units.IsNull())
        return {};
    const int index = units.FindMeasurement(measurement);
    return index < 0 ? QString() : units.Measurement(index).Unit(0).Symbol();
}

DecodedLine LineDecoder::Decode(const QString &text)
{
    DecodedLine line;
    line.raw = text;
    const QStringView trimmed = TrimmedLine(text);
    if (trimmed.isEmpty()) {
        line.status = LineStatus::Blank;
        return line;
    }
    const bool sentence = trimmed.startsWith(QLatin1Char('$'));
    QStringView body = trimmed.mid(sentence ? 1 : 0);
    const qsizetype star = body.lastIndexOf(QLatin1Char('*'));
    if (star >= 0 && star == body.size() - 3) {
        const int given = HexValue(body.mid(star + 1));
        body = body.left(star);
        if (given < 0 || unsigned(given) != XorOf(body)) {
            line.status = LineStatus::BadChecksum;
            line.reason = QStringLiteral("checksum %1, the line makes %2")
                              .arg(trimmed.right(2).toString(), LineChecksum(body));
            return line;
        }
    }
    if (body.contains(QLatin1Char('*'))) {
        line.reason = QStringLiteral("text after the checksum");
        return line;
    }
    return sentence ? DecodeSentence(body.toString(), line) : DecodeParameters(body, line);
}

void LineDecoder::Add(DecodedLine &line, int channel, QStringView text) const
{
    ChannelValue value;
    value.channel = channel;
    const QStringView trimmed = text.trimmed();
    value.number = trimmed.toDouble(&value.numeric);
    value.text = trimmed.toString();
    line.values.append(std::move(value));
}

DecodedLine LineDecoder::DecodeParameters(QStringView body, DecodedLine line) const
{
    if (fieldChannels.isEmpty()) {
        line.reason = sentences.isEmpty() ? QStringLiteral("the report names no parameters")
                                          : QStringLiteral("an NMEA sentence was expected");
        return line;
    }
    const qsizetype count = body.count(QLatin1Char(',')) + 1;
    if (count != fieldChannels.size()) {
        line.reason = QStringLiteral("%1 fields where the report has %2").arg(count).arg(fieldChannels.size());
        return line;
    }
    line.values.reserve(count);
    qsizetype start = 0;
    for (qsizetype i = 0; i < count; ++i) {
        qsizetype end = body.indexOf(QLatin1Char(','), start);
        if (end < 0)
            end = body.size();
        Add(line, fieldChannels[i], body.mid(start, end - start));
        start = end + 1;
    }
    line.status = LineStatus::Decoded;
    return line;
}

DecodedLine LineDecoder::DecodeSentence(const QString &body, DecodedLine line)
{
    const QStringList f = body.split(QLatin1Char(','));
    const QString type = f.first().mid(2); // after the talker
    if (type == QLatin1String("MWV") && f.size() >= 5)
        DecodeMwv(f, line);
    else if (type == QLatin1String("XDR") && f.size() >= 5 && (f.size() - 1) % 4 == 0)
        DecodeXdr(f, line);
    else if (type == QLatin1String("HDG") && f.size() >= 2)
        Add(line, Declare(QStringLiteral("COMPASSH"), UnitOfWord(QStringLiteral("COMPASSH"))), f[1]);
    else if (type == QLatin1String("GGA") && f.size() >= 10)
        DecodeGga(f, line);
    else if (type != QLatin1String("ORDT")) {
        line.reason = QStringLiteral("not a sentence of the report: ") + f.first();
        return line;
    }
    line.status = LineStatus::Decoded;
    return line;
}

void LineDecoder::DecodeMwv(const QStringList &f, DecodedLine &line)
{
    const bool trueWind = f[2] == QLatin1String("T");
    // A sentence outside the report still gets its channels.
    Add(line, Declare(trueWind ? QStringLiteral("TRUEDIR") : QStringLiteral("DIR"), QStringLiteral("DEG")), f[1]);
    Add(line, Declare(trueWind ? QStringLiteral("TRUESPEED") : QStringLiteral("SPEED"), NmeaSpeedUnit(f[4])), f[3]);
    // The status field: A for valid data, V when the sensor could not measure.
    if (f.size() > 5 && f[5].trimmed() == QLatin1String("V")) {
        line.valid = false;
        line.reason = QStringLiteral("the sensor marks the wind data not valid (V)");
    }
}

void LineDecoder::DecodeXdr(const QStringList &f, DecodedLine &line)
{
    for (qsizetype i = 1; i + 3 < f.size(); i += 4) {
        const QString name = f[i + 3].trimmed();
        const QString known = UnitOfWord(inputOfSubstitute.value(name, name));
        Add(line, Declare(name, known.isEmpty() ? XdrUnit(f[i], f[i + 2]) : known), f[i + 1]);
    }
}

void LineDecoder::DecodeGga(const QStringList &f, DecodedLine &line)
{
    Add(line, Declare(QStringLiteral("LAT"), QStringLiteral("DEG")), DecimalDegrees(f[2], f[3]));
    Add(line, Declare(QStringLiteral("LON"), QStringLiteral("DEG")), DecimalDegrees(f[4], f[5]));
    Add(line, Declare(QStringLiteral("ALT"), QStringLiteral("M")), f[9]);
}
