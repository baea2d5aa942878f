#pragma once
// How one simulated sensor is set up: its product and starting settings, its
// line settings and the faults it shows.
#include <QHash>
#include <QString>
#include <QStringList>

struct SimFaults {
    int silenceAfter = -1; // answers nothing after this many commands (-1: never)
    int hangUpAfter = -1;  // closes the line after this many commands (-1: never)
    bool noise = false;    // non-printing bytes before every line it sends
    bool loneLf = false;   // an extra LF after every line it sends
    bool overlong = false; // data lines and the "*" answer of 2000 characters
    int slowMs = 0;        // every answer comes this much later
    QStringList refused;   // commands whose writes it refuses
    QStringList ignored;   // commands it never answers in setup mode (read or write)
    // Commands whose answer comes this many milliseconds late.
    QHash<QString, int> lateMs;
};

struct SimOptions {
    QString product;     // a catalogue menu name, or an identity reply
    QString configFile;  // a saved configuration to start from (else the template's values)
    int randomSeed = -1; // 0 or more: settings drawn at random from the template with this seed
    QString dataDir;     // the program folder with the templates and the units file
    int optionBits = -1; // -1: the product's default (or the identity reply's)
    int baud = 19200;
    bool echo = true;
    QString serial = QStringLiteral("12345");
    QString address = QStringLiteral("Q");
    int streamIntervalMs = 1000; // one data line per interval outside setup mode
    int holdBackMs = 500;        // no data line this soon after a received byte
    // Power cycle: switched off until this long after a program first has the
    // port open (-1: on from the start); then for safeWindowMs it listens at
    // 4800 baud, and a "*" heard then keeps it at 4800 until the port closes.
    int powerOnAfterMs = -1;
    int safeWindowMs = 3000;
    SimFaults faults;
};

// Parses the command line of talvek-sensorsim (arguments without the program
// name is not expected: pass QCoreApplication::arguments()). On failure the
// result is false and error says why; help is set when --help was given.
struct SimCommandLine {
    SimOptions options;
    int comNumber = 0;     // 0: no alias, print the device path
    QString appDataFolder; // where the alias goes ("ports/COMn" below it)
};
bool ParseSimCommandLine(const QStringList &arguments, SimCommandLine *out, QString *error, QString *help);
