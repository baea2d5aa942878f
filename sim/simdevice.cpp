#include "sim/simdevice.h"

#include "templates/productCatalogue.h"

#include <QDateTime>
#include <QFileInfo>
#include <cmath>

namespace
{
const QString illegal = QStringLiteral("ILLEGAL COMMAND LINE");
const QStringList sentenceNames = {QStringLiteral("MWV"), QStringLiteral("MWVR"), QStringLiteral("MWVT"),
                                   QStringLiteral("HDG"), QStringLiteral("XDR"),  QStringLiteral("GGA"),
                                   QStringLiteral("ORDT")};

// A slowly varying quantity: a slow swing plus a faster ripple.
double Wave(double t, double base, double swing, double period, double phase)
{
    return base + swing * std::sin(2 * M_PI * t / period + phase) + swing * 0.1 * std::sin(t * 1.7 + phase * 3);
}

QString Checksum(const QString &body)
{
    unsigned sum = 0;
    for (QChar c : body)
        sum ^= c.toLatin1();
    return QStringLiteral("%1").arg(sum & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}
} // namespace

bool SimDevice::Init(const SimOptions &options, QString *error)
{
    m_product = FindProduct(options.product, error);
    if (m_product.row < 0)
        return false;
    if (options.optionBits >= 0)
        m_product.optionBits = unsigned(options.optionBits);
    else if (!m_product.optionBitsGiven)
        m_product.optionBits = DefaultOptionBits(m_product.row);
    const ProductDef &def = aProductDefs()[m_product.row];
    const QString folder = options.dataDir.endsWith(QLatin1Char('/')) ? options.dataDir : options.dataDir + '/';
    m_templateFile = folder + def.templateFile;

    XmlLoadError loadError;
    const IXMLsensorunitsType units =
        IXMLsensorunitsType::Load(folder + QStringLiteral("ordaDeviceUnits.tdx"), &loadError);
    const QString settingsFile = options.configFile.isEmpty() ? m_templateFile : options.configFile;
    const IXMLproductsType products =
        units.IsNull() ? IXMLproductsType() : IXMLproductsType::Load(settingsFile, &loadError);
    if (units.IsNull() || products.IsNull()) {
        if (error)
            *error = loadError.Text();
        return false;
    }
    const IXMLdeviceType device = products.Device(0);
    if (!options.configFile.isEmpty() &&
        (device.Name() != def.identityName || device.Protocolversion() != def.protocolVersion)) {
        if (error)
            *error = QStringLiteral("%1 holds \"%2\" at protocol version %3, not %4")
                         .arg(options.configFile, device.Name())
                         .arg(device.Protocolversion())
                         .arg(def.menuName);
        return false;
    }
    if (!m_params.Load(products, units, m_product.optionBits, def.identityName, error))
        return false;
    if (options.randomSeed >= 0)
        m_params.Randomise(quint32(options.randomSeed));

    m_serial = options.serial;
    m_address = options.address;
    m_baud = options.baud;
    m_echo = options.echo;
    m_refused = options.faults.refused;
    m_ignored = options.faults.ignored;
    m_overlong = options.faults.overlong;
    m_setup = false;
    // The line settings given on the command line are the ones in force.
    m_params.Force(QStringLiteral("BAUD"), QString::number(m_baud));
    m_params.Force(QStringLiteral("ADDRESS"), m_address);
    m_params.Force(QStringLiteral("ECHO"), m_echo ? QStringLiteral("ON") : QStringLiteral("OFF"));
    return true;
}

QString SimDevice::Identity() const
{
    return BuildIdentity(m_product, m_address);
}

QStringList SimDevice::HandleLine(const QByteArray &line)
{
    const QByteArray setupCommand = "**" + m_address.toLatin1().repeated(4) + '\n';
    if (line == setupCommand) {
        if (m_setup)
            return {QStringLiteral("UNNECESSARY COMMAND")};
        m_setup = true;
        return {QStringLiteral("SETUP MODE")};
    }
    const QString text = QString::fromLatin1(line).remove(QLatin1Char('\n')).trimmed();
    if (text.isEmpty() || text.startsWith(QLatin1String("**")))
        return {}; // another unit's address, or a setup command cut short
    if (text.contains(QLatin1String("%%%")))
        return {QStringLiteral("ID:") + Identity()};
    if (text == QLatin1String("*"))
        return {m_overlong ? QStringLiteral("OK").leftJustified(2000, QLatin1Char('K')) : QStringLiteral("OK")};
    if (!m_setup)
        return {};
    return SetupCommand(text);
}

QStringList SimDevice::SetupCommand(const QString &text)
{
    const int blank = text.indexOf(QLatin1Char(' '));
    const QString cmd = text.left(blank).toUpper();
    const QString value = blank < 0 ? QString() : text.mid(blank + 1).trimmed();
    if (m_ignored.contains(cmd, Qt::CaseInsensitive))
        return {};
    if (value.isEmpty()) {
        if (cmd == QLatin1String("EXIT")) {
            m_setup = false;
            return {};
        }
        if (cmd == QLatin1String("SERIAL"))
            return {QStringLiteral("SERIAL = ") + m_serial + QLatin1Char(' ')};
        const QStringList lines = m_params.Read(cmd);
        return lines.isEmpty() ? QStringList{illegal} : lines;
    }
    if (m_refused.contains(cmd, Qt::CaseInsensitive))
        return {illegal};
    const QStringList reply = m_params.Write(cmd, value);
    if (reply.value(0) != illegal)
        ApplySideEffects(cmd);
    return reply;
}

void SimDevice::ApplySideEffects(const QString &cmd)
{
    const SimParam *p = m_params.Find(cmd);
    if (!p || p->type.startsWith(QLatin1String("delayed")))
        return; // a delayed setting takes effect at the next power-up
    if (cmd == QLatin1String("ADDRESS"))
        m_address = p->value;
    else if (cmd == QLatin1String("BAUD"))
        m_baud = p->value.toInt();
    else if (cmd == QLatin1String("ECHO"))
        m_echo = p->value == QLatin1String("ON");
}

QString SimDevice::Field(const QString &word, double t) const
{
    const double dir = std::fmod(Wave(t, 225, 40, 300, 0) + 360, 360);
    const double speed = std::max(0.0, Wave(t, 4.2, 1.6, 90, 1));
    auto f = [](const char *format, double v) { return QString::asprintf(format, v); };
    if (word == QLatin1String("NODE"))
        return m_address;
    if (word.endsWith(QLatin1String("DIR")) || word == QLatin1String("COMPASSH"))
        return f("%03.0f", word == QLatin1String("DIR") ? dir : std::fmod(dir + 7, 360));
    if (word.endsWith(QLatin1String("SPEED")))
        return f("%06.2f", word.startsWith(QLatin1String("GUST")) ? speed * 1.4 : speed);
    if (word == QLatin1String("POLAR"))
        return f("%03.0f", dir) + QLatin1Char(',') + f("%06.2f", speed);
    if (word.endsWith(QLatin1String("-AXIS")) || word == QLatin1String("AXIS"))
        return f("%+07.2f", speed * std::sin(dir * M_PI / 180));
    if (word == QLatin1String("TEMP") || word == QLatin1String("SONICTEMP") || word == QLatin1String("BGT"))
        return f("%+06.1f", Wave(t, 12.5, 3, 600, 2));
    if (word == QLatin1String("DEWPOINT") || word.startsWith(QLatin1String("WBGT")) || word == QLatin1String("WWBT"))
        return f("%+06.1f", Wave(t, 7.5, 2, 700, 2.5));
    if (word == QLatin1String("RH"))
        return f("%05.1f", Wave(t, 68, 6, 800, 3));
    if (word == QLatin1String("AH"))
        return f("%05.2f", Wave(t, 7.4, 0.5, 800, 3));
    if (word == QLatin1String("PRESS") || word == QLatin1String("PASL"))
        return f("%06.1f", Wave(t, word == QLatin1String("PASL") ? 1013.2 : 1001.7, 1.5, 3600, 4));
    if (word == QLatin1String("SOLARRAD"))
        return f("%04.0f", std::max(0.0, Wave(t, 420, 80, 900, 5)));
    if (word == QLatin1String("PRECIPT"))
        return f("%07.2f", t / 3600.0 * 0.8);
    if (word == QLatin1String("PRECIPI"))
        return f("%06.2f", 0.8);
    if (word == QLatin1String("SOS"))
        return f("%06.2f", Wave(t, 338.5, 1.5, 600, 2));
    if (word == QLatin1String("VOLT"))
        return f("%05.2f", Wave(t, 12.1, 0.1, 120, 6));
    if (word == QLatin1String("TWL"))
        return f("%05.1f", Wave(t, 210, 10, 900, 1));
    if (word == QLatin1String("TIME"))
        return QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    if (word == QLatin1String("USERINF")) {
        const SimParam *p = m_params.Find(QStringLiteral("USERINF"));
        return p ? p->value : QString();
    }
    if (word == QLatin1String("STATUS"))
        return QStringLiteral("0000");
    if (word.contains(QLatin1String("TILT")) || word == QLatin1String("PITCH") || word == QLatin1String("ROLL"))
        return f("%+05.1f", Wave(t, 0.4, 0.3, 60, 7));
    if (word == QLatin1String("GPSLOCATION"))
        return QStringLiteral("+50.7362:-003.5349");
    if (word.startsWith(QLatin1String("AN")) || word.startsWith(QLatin1String("DIG")))
        return f("%07.3f", Wave(t, 5, 1, 200, word.size()));
    return QStringLiteral("0");
}

QStringList SimDevice::NmeaLines(const QStringList &sentences, double t) const
{
    const SimParam *talkerParam = m_params.Find(QStringLiteral("TALKER"));
    const QString talker = talkerParam && !talkerParam->value.isEmpty() ? talkerParam->value : QStringLiteral("WI");
    QStringList lines;
    for (const QString &s : sentences) {
        QString body;
        if (s.startsWith(QLatin1String("MWV")))
            body = QStringLiteral("MWV,%1,%2,%3,M,A")
                       .arg(Field(QStringLiteral("DIR"), t), s == QLatin1String("MWVT") ? "T" : "R",
                            Field(QStringLiteral("SPEED"), t));
        else if (s == QLatin1String("XDR"))
            body = QStringLiteral("XDR,C,%1,C,TEMP,P,%2,B,PRESS")
                       .arg(Field(QStringLiteral("TEMP"), t), Field(QStringLiteral("PRESS"), t));
        else if (s == QLatin1String("HDG"))
            body = QStringLiteral("HDG,%1,,,,").arg(Field(QStringLiteral("COMPASSH"), t));
        else if (s == QLatin1String("GGA"))
            body = QStringLiteral("GGA,%1,5044.17,N,00332.09,W,1,08,1.0,35.0,M,,,,")
                       .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("HHmmss")));
        else
            body = s;
        body = talker + body;
        lines << QLatin1Char('$') + body + QLatin1Char('*') + Checksum(body);
    }
    return lines;
}

QStringList SimDevice::DataLines(qint64 elapsedMs) const
{
    const double t = elapsedMs / 1000.0;
    QStringList words = m_params.DeviceReportWords();
    if (words.isEmpty())
        words = {QStringLiteral("NODE"), QStringLiteral("STATUS")};
    QStringList sentences, fields;
    for (const QString &w : words)
        (sentenceNames.contains(w) ? sentences : fields) << w;
    if (!sentences.isEmpty())
        return NmeaLines(sentences, t);
    QStringList values;
    for (const QString &w : fields)
        values << Field(w, t);
    QString line = values.join(QLatin1Char(','));
    line += QLatin1Char('*') + Checksum(line);
    if (m_overlong)
        line = line.leftJustified(2000, QLatin1Char('0'));
    return {line};
}
