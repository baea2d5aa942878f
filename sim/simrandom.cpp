// A station whose settings are drawn at random from what its template allows,
// so that tests meet the combinations a sensor in the field may hold.
#include "sim/simparams.h"

#include <QRandomGenerator>
#include <algorithm>

namespace
{
const QString notConfigured = QStringLiteral("NOT CONFIGURED");
const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
const QString lettersAndDigits = letters + QStringLiteral("0123456789");

bool IsDelayed(const QString &type)
{
    return type.startsWith(QLatin1String("delayed"));
}

bool IsReport(const QString &type)
{
    return type == QLatin1String("reportstr") || type == QLatin1String("reportxdr");
}
} // namespace

struct SimParams::Draw {
    QRandomGenerator random;

    int Between(int low, int high) { return low >= high ? low : low + int(random.bounded(quint32(high - low + 1))); }
    bool Chance(int percent) { return Between(1, 100) <= percent; }
    template <typename T> const T &Pick(const QList<T> &list) { return list[Between(0, int(list.size()) - 1)]; }
    QString Text(const QString &alphabet, int length)
    {
        QString text;
        for (int i = 0; i < length; ++i)
            text += alphabet[Between(0, int(alphabet.size()) - 1)];
        return text;
    }
};

void SimParams::Randomise(quint32 seed)
{
    Draw draw{QRandomGenerator(seed)};
    m_reportForm = int(seed % 4);
    for (SimParam &p : m_params) {
        if (p.present)
            RandomiseValue(p, draw);
    }
    // An input's units follow its sensor type, drawn above.
    for (SimParam &p : m_params) {
        if (p.present && p.type == QLatin1String("cfgsensorunits"))
            RandomiseInputUnits(p, draw);
    }
    // The reports last: they name the inputs by the substitute names.
    for (SimParam &p : m_params) {
        if (p.present && IsReport(p.type))
            p.words = RandomReport(p, draw);
    }
}

void SimParams::RandomiseValue(SimParam &p, Draw &draw)
{
    const QString &t = p.type;
    if (t == QLatin1String("int") || t == QLatin1String("delayedint")) {
        p.value = QString::number(draw.Between(p.min, p.max));
        p.pending = IsDelayed(t) ? QString::number(draw.Between(p.min, p.max)) : p.value;
    } else if ((t == QLatin1String("select") || t == QLatin1String("delayedselect")) && !p.options.isEmpty()) {
        p.value = draw.Pick(p.options);
        p.pending = IsDelayed(t) ? draw.Pick(p.options) : p.value;
    } else if (t == QLatin1String("sensorunits")) {
        const QStringList symbols = m_units.Measurement(m_units.FindMeasurement(p.measure)).Symbols();
        if (!symbols.isEmpty())
            p.value = p.pending = draw.Pick(symbols);
    } else if (t == QLatin1String("senstypeselect")) {
        p.value = p.pending = draw.Chance(25) || p.options.isEmpty() ? notConfigured : draw.Pick(p.options);
    } else if (t == QLatin1String("aniptype")) {
        const int low = std::max(p.min, -9999);
        const int high = std::min(p.max, 99999);
        const int top = draw.Between(low + 1, high);
        p.value = p.options.isEmpty() || draw.Chance(25)
                      ? notConfigured
                      : QStringLiteral("%1,%2,%3").arg(draw.Pick(p.options)).arg(top).arg(draw.Between(low, top - 1));
        p.pending = p.value;
    } else if (t == QLatin1String("substname")) {
        p.value = p.pending = draw.Chance(20) ? QString() : RandomSubstName(p, draw);
    } else if (t == QLatin1String("digcount")) {
        // The editor takes four characters with one decimal at protocol 2,
        // six with up to three decimals later.
        const int decimals = m_pv == 2 ? 1 : draw.Between(0, 3);
        const int scale = decimals == 0 ? 1 : decimals == 1 ? 10 : decimals == 2 ? 100 : 1000;
        const double most = std::min(p.high, m_pv == 2 ? 99.9 : 99.999);
        const double value = draw.Between(1, std::max(1, int(most * scale))) / double(scale);
        p.value = p.pending = draw.Chance(20) || value < p.low ? QString() : QString::number(value, 'f', decimals);
    } else if (t == QLatin1String("maskedfloat")) {
        const double value = p.low + (p.high - p.low) * draw.random.generateDouble();
        const QString shaped = FormatByMask(value, p.mask);
        if (!shaped.isEmpty() && shaped.toDouble() >= p.low && shaped.toDouble() <= p.high)
            p.value = p.pending = shaped;
    } else if (t == QLatin1String("string")) {
        p.value = p.pending = draw.Text(lettersAndDigits, draw.Between(1, 12));
    } else if (t == QLatin1String("timestr") || t == QLatin1String("timestrcheckbox")) {
        // Anywhere within about ten years of now, to the millisecond.
        p.clockOffset = qint64(draw.Between(-315360000, 315360000)) * 1000 + draw.Between(0, 999);
    }
}

void SimParams::RandomiseInputUnits(SimParam &p, Draw &draw)
{
    const QString sensor = SensorTypeOf(p.category);
    const QStringList symbols = m_units.Measurement(m_units.FindMeasurement(sensor)).Symbols();
    if (sensor == notConfigured || sensor.isEmpty())
        p.value = notConfigured;
    else if (sensor == QLatin1String("CUSTOM"))
        p.value = draw.Text(letters, draw.Between(1, 4));
    else if (!symbols.isEmpty())
        p.value = draw.Pick(symbols);
    p.pending = p.value;
}

QString SimParams::RandomSubstName(const SimParam &p, Draw &draw) const
{
    for (;;) {
        const QString name = draw.Text(letters, 1) + draw.Text(lettersAndDigits, draw.Between(2, 7));
        bool taken = p.illegal.contains(name, Qt::CaseInsensitive);
        for (const SimParam &other : m_params) {
            taken = taken || (other.type == QLatin1String("substname") && other.value == name) ||
                    other.reportWords.contains(name) || other.transducers.contains(name) ||
                    other.sentences.contains(name) || other.category.compare(name, Qt::CaseInsensitive) == 0;
        }
        if (!taken)
            return name;
    }
}

bool SimParams::IsInput(const QString &word) const
{
    return std::any_of(m_params.cbegin(), m_params.cend(), [&word](const SimParam &p) {
        return p.present && p.type == QLatin1String("substname") && p.category == word;
    });
}

QStringList SimParams::RandomSubset(const QStringList &words, int most, Draw &draw) const
{
    QStringList pool = words;
    QStringList chosen;
    const int count = draw.Between(1, std::min(most, int(pool.size())));
    while (chosen.size() < count && !pool.isEmpty())
        chosen << pool.takeAt(draw.Between(0, int(pool.size()) - 1));
    // Inputs take part whenever the report offers them, so that their
    // substitute names appear in the lists.
    QStringList inputs;
    for (const QString &word : pool) {
        if (IsInput(word))
            inputs << word;
    }
    if (!inputs.isEmpty() &&
        std::none_of(chosen.cbegin(), chosen.cend(), [this](const QString &w) { return IsInput(w); }))
        chosen.insert(draw.Between(0, int(chosen.size())), draw.Pick(inputs));
    return chosen;
}

QStringList SimParams::RandomReport(const SimParam &p, Draw &draw) const
{
    const bool xdr = p.type == QLatin1String("reportxdr");
    QStringList words;
    for (const QString &word : xdr ? p.transducers : p.reportWords) {
        // Older modular stations list the polar and axis words as pairs.
        const bool paired = m_modular && m_pv < 3 &&
                            QStringList{QStringLiteral("DIR"), QStringLiteral("SPEED"), QStringLiteral("U-AXIS"),
                                        QStringLiteral("V-AXIS")}
                                .contains(word);
        if (!WordGated(word, xdr) && !paired && !p.sentences.contains(word))
            words << word;
    }
    if (words.isEmpty())
        return p.words;
    const int slotCount = int(words.size());
    if (xdr || p.sentences.isEmpty())
        return RandomSubset(words, std::min(slotCount, 8), draw);
    switch (m_reportForm) {
    case 0: // parameters only
        return RandomSubset(words, std::min(slotCount, 8), draw);
    case 1: // every sentence: the NMEA format
        return p.sentences;
    case 2: { // some sentences in any order, XDR among them when the station has it
        QStringList some = RandomSubset(p.sentences, int(p.sentences.size()), draw);
        if (p.sentences.contains(QStringLiteral("XDR")) && !some.contains(QStringLiteral("XDR")))
            some.insert(draw.Between(0, int(some.size())), QStringLiteral("XDR"));
        return some;
    }
    default: { // parameters and sentences
        QStringList mixed = RandomSubset(words, std::min(slotCount - 1, 5), draw);
        if (mixed.size() >= slotCount) // the editor has one slot per parameter word
            mixed.removeLast();
        const QStringList sentences = RandomSubset(p.sentences, std::max(1, slotCount - int(mixed.size())), draw);
        for (const QString &sentence : sentences)
            mixed.insert(draw.Between(0, int(mixed.size())), sentence);
        return mixed;
    }
    }
}

QStringList SimParams::State() const
{
    QStringList lines;
    for (const SimParam &p : m_params) {
        if (!p.present)
            continue;
        QString state = p.value;
        if (IsDelayed(p.type))
            state += QStringLiteral(" | after reset ") + p.pending;
        else if (IsReport(p.type))
            state = p.words.join(QLatin1Char(' '));
        else if (p.type == QLatin1String("timestr") || p.type == QLatin1String("timestrcheckbox"))
            state = QStringLiteral("clock %1 ms ahead").arg(p.clockOffset);
        lines << p.cmd + QStringLiteral(": ") + state;
    }
    return lines;
}
