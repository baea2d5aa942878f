#include "engine/replies.h"

#include "base/log.h"
#include "engine/splitFields.h"

namespace
{
int IndexOfNoCase(const QStringList &list, const QString &item)
{
    for (int i = 0; i < list.size(); ++i) {
        if (list[i].compare(item, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool RemoveFirstNoCase(QStringList &list, const QString &item)
{
    const int index = IndexOfNoCase(list, item);
    if (index >= 0)
        list.removeAt(index);
    return index >= 0;
}

// Old modular stations name one measurement with two words; false when the
// partner word is missing.
bool MergePair(QStringList &list, const QString &first, const QString &second, const QString &merged)
{
    while (RemoveFirstNoCase(list, first)) {
        const int index = IndexOfNoCase(list, second);
        if (index < 0)
            return false;
        list[index] = merged;
    }
    return true;
}

QString JoinWords(const QStringList &list)
{
    return list.join(QLatin1Char(' ')).trimmed();
}

bool IsNmeaWord(const QString &word)
{
    return word.compare(QLatin1String("NMEA"), Qt::CaseInsensitive) == 0;
}
} // namespace

bool ParseResponse(QString &reply)
{
    Log(reply);
    const qsizetype equals = reply.indexOf(QLatin1Char('='));
    if (equals < 0) {
        Log(QStringLiteral("Unrecognised response structure."));
        return false;
    }
    reply.remove(0, equals + 1);
    qsizetype blanks = 0;
    while (blanks < reply.size() && reply.at(blanks) == QLatin1Char(' '))
        ++blanks;
    reply.remove(0, blanks);
    return true;
}

bool IsNmeaSentenceName(const QString &text)
{
    static const QStringList names = {QStringLiteral("NMEA"), QStringLiteral("MWV"), QStringLiteral("MWVR"),
                                      QStringLiteral("MWVT"), QStringLiteral("HDG"), QStringLiteral("XDR"),
                                      QStringLiteral("GGA"),  QStringLiteral("ORDT")};
    return names.contains(text);
}

ReportForm ClassifyReport(const QStringList &fields, const QStringList &offered)
{
    QStringList sentences;
    bool parameters = false;
    for (const QString &field : fields) {
        const QString word = field.toUpper();
        if (!IsNmeaSentenceName(word) && !offered.contains(word))
            parameters = true;
        else if (!IsNmeaWord(word))
            sentences.append(word);
    }
    if (parameters)
        return sentences.isEmpty() ? ReportForm::Parameters : ReportForm::Mixed;
    if (sentences.isEmpty())
        return fields.isEmpty() ? ReportForm::Parameters : ReportForm::AllSentences; // "NMEA" alone
    return sentences == offered ? ReportForm::AllSentences : ReportForm::SentenceSubset;
}

QStringList OfferedSentences(const IXMLparamType &param)
{
    QStringList sentences = param.Repnmeaoption().Texts();
    sentences.removeIf(IsNmeaWord);
    return sentences;
}

QString NormaliseReportList(const QString &value, int protocolVersion, const QString &productName, bool *ok,
                            const QStringList &sentences)
{
    if (ok)
        *ok = true;
    QStringList list = SplitFields(value, QLatin1Char(','));
    RemoveFirstNoCase(list, QStringLiteral("CHECK"));
    if (protocolVersion < 3 && !productName.contains(QLatin1String("TEMPRIS")) &&
        !productName.contains(QLatin1String("RELAYPOINT"))) {
        if (!MergePair(list, QStringLiteral("U-AXIS"), QStringLiteral("V-AXIS"), QStringLiteral("AXIS")) ||
            !MergePair(list, QStringLiteral("DIR"), QStringLiteral("SPEED"), QStringLiteral("POLAR"))) {
            if (ok)
                *ok = false;
            return {};
        }
    }
    QStringList offered = sentences;
    if (offered.isEmpty()) {
        offered = protocolVersion >= 8
                      ? QStringList{QStringLiteral("MWVR"), QStringLiteral("MWVT"), QStringLiteral("HDG"),
                                    QStringLiteral("XDR"),  QStringLiteral("GGA"),  QStringLiteral("ORDT")}
                      : QStringList{QStringLiteral("MWV"), QStringLiteral("XDR")};
    }
    // Sentences are kept in place: writing a shorter "NMEA" back would make
    // the sensor send every sentence it has.
    switch (ClassifyReport(list, offered)) {
    case ReportForm::AllSentences:
        return QStringLiteral("NMEA");
    case ReportForm::SentenceSubset:
        list.removeIf(IsNmeaWord);
        list.prepend(QStringLiteral("NMEA"));
        break;
    case ReportForm::Parameters:
    case ReportForm::Mixed:
        break;
    }
    return JoinWords(list);
}

QString NormaliseXdrList(const QString &value)
{
    QStringList list = SplitFields(value, QLatin1Char(','));
    RemoveFirstNoCase(list, QStringLiteral("CHECK"));
    RemoveFirstNoCase(list, QStringLiteral("XDR"));
    return JoinWords(list);
}

bool MeasurementOfSensorType(const IXMLcategoryType &category, QString &name, QString *error)
{
    for (int p = 0; p < category.Count(); ++p) {
        const IXMLparamType param = category.Param(p);
        if (param.Type() != QLatin1String("senstypeselect"))
            continue;
        const int selected = param.Selected();
        if (selected == -1)
            return false;
        const QStringList options = param.Option().Texts();
        if (selected < 0 || selected >= options.size()) {
            if (error)
                *error = QStringLiteral("GetMeasurementFromSenstype: selected out of range");
            return false;
        }
        name = options[selected];
        return true;
    }
    if (error)
        *error = QStringLiteral("GetMeasurementFromSenstype: Did not find SENSTYPE");
    return false;
}
