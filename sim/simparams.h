#pragma once
// The settings a simulated sensor holds, built from a device template (or a
// saved configuration of the same form) and the units document. It answers
// the read and write commands in setup mode as the sensors do:
//   read  "CMD"        -> "CMD = value" (delayed types: the value in force
//                         and "CMD AFTER RESET = pending")
//   write "CMD value"  -> the read form of the new value (delayed types:
//                         the AFTER RESET line), or "ILLEGAL COMMAND LINE"
//                         when the value breaks the template's rules; the
//                         setting then stays as it was.
// A setting whose feature the station lacks (by its option bits) is not a
// command of that station at all.
#include "templates/ordaDeviceUnits.h"
#include "templates/ordaUserConfig.h"

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

struct SimParam {
    QString name, cmd, type, category;
    QStringList options;
    int min = 0, max = 0;
    QString measure;
    QString mask;
    double low = 0, high = 0; // float limits (maskedfloat, digcount)
    QStringList illegal;      // substitute names the device refuses
    QStringList reportWords, sentences, transducers, reportFull, reportDefault;
    int stringLength = 0; // timestr: the length of the date text

    QString value;          // the device's text for the value in force
    QString pending;        // delayed types: the value after the next reset
    QStringList words;      // report types, in the template's words
    qint64 clockOffset = 0; // time types: milliseconds ahead of the system clock
    bool present = true;    // false when the station lacks the feature
};

class SimParams
{
public:
    // Builds the settings from the first device of products. optionBits and
    // productName decide which optional features are fitted.
    bool Load(const IXMLproductsType &products, const IXMLsensorunitsType &units, unsigned optionBits,
              const QString &productName, QString *error);

    int ProtocolVersion() const { return m_pv; }
    bool Modular() const { return m_modular; }
    const QList<SimParam> &Params() const { return m_params; }
    // The param with this command that the station has, or nullptr.
    const SimParam *Find(const QString &cmd) const;

    // Lines answering a read; empty when cmd is no command of the station.
    QStringList Read(const QString &cmd) const;
    // Lines answering a write of value (not empty).
    QStringList Write(const QString &cmd, const QString &value);
    // Sets a value directly, as a configuration file would (select types:
    // only an existing option). Used for the baud rate, address and echo.
    bool Force(const QString &cmd, const QString &value);

    // The report as the device lists it (input names replaced by their
    // substitute names), without CHECK.
    QStringList DeviceReportWords() const;

    // Draws every setting the station has at random from what its template
    // allows (the same seed, the same settings): substitute names, clocks set
    // anywhere, and a report of the form seed % 4 picks where the station
    // has sentences: parameters, every sentence, some sentences, parameters
    // and sentences. Load first; the line settings are forced after.
    void Randomise(quint32 seed);
    // Every setting the station holds, one line each: the command, the value
    // in force (and the pending one of the delayed types), a report's words,
    // a clock's offset from the system clock in milliseconds.
    QStringList State() const;

private:
    QString ReadValue(const SimParam &p) const;
    bool Accept(SimParam &p, const QString &value, QString *stored);
    bool AcceptReport(const SimParam &p, const QString &value, QStringList *words) const;
    // The unit of that measurement whose symbol is value (any case), or empty.
    QString UnitSymbol(const QString &measurement, const QString &value) const;
    QString SensorTypeOf(const QString &category) const;
    QString SubstituteName(const QString &input) const;
    QString InputOfName(const QString &name) const;
    bool WordGated(const QString &word, bool xdr) const;
    void InitValue(SimParam &p, const IXMLparamType &x);
    SimParam *FindMutable(const QString &cmd);
    // simrandom.cpp
    struct Draw;
    void RandomiseValue(SimParam &p, Draw &draw);
    void RandomiseInputUnits(SimParam &p, Draw &draw);
    QStringList RandomReport(const SimParam &p, Draw &draw) const;
    QStringList RandomSubset(const QStringList &words, int most, Draw &draw) const;
    QString RandomSubstName(const SimParam &p, Draw &draw) const;
    bool IsInput(const QString &word) const;

    QList<SimParam> m_params;
    IXMLsensorunitsType m_units;
    unsigned m_bits = 0;
    bool m_precipOptional = false;
    bool m_modular = false;
    bool m_tempris = false;
    int m_pv = 0;
    int m_reportForm = 0; // Randomise: the form of the report it draws
};

// The number shaped by a mask of "#" (sign) and "0" digits with an optional
// point: FormatByMask(12.5, "#000.0") is "+012.5". Empty when it does not fit.
QString FormatByMask(double value, const QString &mask);
