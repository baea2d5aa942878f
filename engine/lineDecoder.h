#pragma once
// Decodes the data lines a sensor sends while measuring into named channels
// with their units. The shape of a line follows the report the sensor holds:
// a parameter report is one comma-separated line with a field per report
// word (two for POLAR and AXIS); an NMEA report sends sentences ($ttMWV,
// $ttXDR, $ttHDG, $ttGGA, $ttORDT), which name what they carry. A trailing
// "*hh" is an XOR checksum over the line (after the '$' of a sentence) and is
// checked whenever it is there.
//
// Units come from the document's unit params (the units document gives the
// first unit of a measurement the document has no param for); a sensor
// input's channel takes its substitute name when it has one.
//
// Not thread-safe; one decoder per line source.
#include "engine/document.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

struct Channel {
    QString name;
    QString unit; // the units document's symbol, or empty for text and counts
};

struct ChannelValue {
    int channel = -1; // index into LineDecoder::Channels()
    QString text;     // as the sensor sent it, trimmed
    double number = 0;
    bool numeric = false;
};

enum class LineStatus {
    Decoded,
    Blank,       // nothing but blanks and control bytes: not a data line
    BadChecksum, // the line carries a checksum that does not match it
    Undecodable, // not of the report's shape (reason says how)
};

struct DecodedLine {
    LineStatus status = LineStatus::Undecodable;
    QString raw;
    QString reason; // why a line did not decode, or why its data is not valid
    QList<ChannelValue> values;
    // False when the line decodes but the sensor marks its data not valid
    // (an MWV sentence with status V): shown, counted, but not measurements.
    bool valid = true;
};

class LineDecoder
{
public:
    LineDecoder() = default;
    // The report of document's "reportstr" param (and the transducers of its
    // "reportxdr" param), with the document's units.
    explicit LineDecoder(const Document &document);

    DecodedLine Decode(const QString &line);

    // The report's channels in its order; a transducer an XDR sentence
    // names beyond the report is appended when first seen.
    const QList<Channel> &Channels() const { return channels; }
    // The report words the decoder works from ("NMEA" expanded to sentences).
    const QStringList &ParameterWords() const { return parameterWords; }
    const QStringList &Sentences() const { return sentences; }

private:
    void DeclareReport(const QString &report, const QString &xdrList, const QStringList &offered);
    int Declare(const QString &name, const QString &unit);
    QString NameOf(const QString &word) const;
    QString UnitOfWord(const QString &word) const;
    QString UnitOfMeasurement(const QString &measurement) const;
    void ReadDocument(const Document &document);
    QString ParamUnit(const IXMLparamType &param, const QString &measurement) const;
    QString InputUnit(const IXMLcategoryType &category, const IXMLparamType &param) const;
    DecodedLine DecodeParameters(QStringView body, DecodedLine line) const;
    DecodedLine DecodeSentence(const QString &body, DecodedLine line);
    void DecodeMwv(const QStringList &f, DecodedLine &line);
    void DecodeXdr(const QStringList &f, DecodedLine &line);
    void DecodeGga(const QStringList &f, DecodedLine &line);
    void Add(DecodedLine &line, int channel, QStringView text) const;

    QList<Channel> channels;
    QHash<QString, int> channelIndex;
    QStringList parameterWords, sentences;
    QList<int> fieldChannels; // the channel of each comma-separated field of a parameter line
    QHash<QString, QString> unitByMeasurement;   // the document's unit params
    QHash<QString, QString> inputUnit;           // input word -> its configured unit
    QHash<QString, QString> substituteOfInput;   // input word -> substitute name
    QHash<QString, QString> inputOfSubstitute;   // substitute name -> input word
    IXMLsensorunitsType units;
};

// The XOR of the characters, as two upper-case hex digits.
QString LineChecksum(QStringView body);
