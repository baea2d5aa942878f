#pragma once
// One simulated sensor without its line: what it answers to each command line
// and what it sends while measuring. Not thread-safe; the simulator calls it
// from its own thread only.
//
// Replies (each is a line; the line layer adds CR LF):
//   "%%%"                         -> "ID:" + identity, in either mode
//   "**" + address x4 + LF        -> "SETUP MODE", or "UNNECESSARY COMMAND" in
//                                    setup mode; a wrong address is ignored
//   "*"                           -> "OK", in either mode
//   in setup mode: "EXIT" (no reply, measuring again), "SERIAL" ->
//   "SERIAL = 12345 ", the template's read and write commands (SimParams),
//   anything else -> "ILLEGAL COMMAND LINE". While measuring, other lines
//   are ignored.
//   The ignore fault: its commands get nothing in setup mode.
#include "sim/simidentity.h"
#include "sim/simoptions.h"
#include "sim/simparams.h"

#include <QByteArray>
#include <QStringList>

class SimDevice
{
public:
    // Loads the product's template (or the configuration file) and the units
    // document from options.dataDir. False and a reason on failure.
    bool Init(const SimOptions &options, QString *error);

    // The reply lines to one received line (without its CR; an LF it carried
    // is kept). Empty when the device says nothing.
    QStringList HandleLine(const QByteArray &line);
    // What the device sends at elapsedMs while measuring: one data line, or
    // NMEA sentences when its report is set to NMEA output.
    QStringList DataLines(qint64 elapsedMs) const;

    bool InSetupMode() const { return m_setup; }
    int Baud() const { return m_baud; }
    bool Echo() const { return m_echo; }
    QString Address() const { return m_address; }
    QString Identity() const;
    QString TemplateFile() const { return m_templateFile; }
    const SimProduct &Product() const { return m_product; }
    const SimParams &Params() const { return m_params; }

private:
    QStringList SetupCommand(const QString &text);
    void ApplySideEffects(const QString &cmd);
    QString Field(const QString &word, double t) const;
    QStringList NmeaLines(const QStringList &sentences, double t) const;

    SimParams m_params;
    SimProduct m_product;
    QString m_templateFile;
    QString m_serial;
    QString m_address;
    QStringList m_refused;
    QStringList m_ignored;
    int m_baud = 19200;
    bool m_echo = true;
    bool m_setup = false;
    bool m_overlong = false;
};
