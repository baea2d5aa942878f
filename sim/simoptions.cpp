#include "sim/simoptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QStandardPaths>

namespace
{
const QList<int> rates = {110, 300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

bool Count(const QCommandLineParser &parser, const QString &name, int *out, QString *error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    *out = parser.value(name).toInt(&ok);
    if (!ok || *out < 0) {
        *error = QStringLiteral("--%1 wants a number of 0 or more, not \"%2\"").arg(name, parser.value(name));
        return false;
    }
    return true;
}

// "CMD:MS,CMD:MS": the commands answered late and by how much.
bool LateAnswers(const QCommandLineParser &parser, QHash<QString, int> *out, QString *error)
{
    const QString name = QStringLiteral("late");
    for (const QString &item : parser.value(name).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString cmd = item.section(QLatin1Char(':'), 0, 0).trimmed().toUpper();
        bool ok = false;
        const int ms = item.section(QLatin1Char(':'), 1).toInt(&ok);
        if (cmd.isEmpty() || !ok || ms < 0) {
            *error = QStringLiteral("--late wants CMD:MS (a command and 0 or more milliseconds), not \"%1\"").arg(item);
            return false;
        }
        out->insert(cmd, ms);
    }
    return true;
}

QString DefaultAppDataFolder()
{
    const QString env = qEnvironmentVariable("TALVEK_DATA_DIR");
    if (!env.isEmpty())
        return env;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/OrdaAppsData/Talvek/");
}
} // namespace

bool ParseSimCommandLine(const QStringList &arguments, SimCommandLine *out, QString *error, QString *help)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Emulates one Talvek sensor on a pseudo-terminal."));
    parser.addHelpOption();
    const QString defaultProduct = QStringLiteral("Tempris KDX530-3 PV9");
    parser.addOptions({
        {QStringLiteral("product"),
         QStringLiteral("Product menu name, or an identity reply (default \"%1\").").arg(defaultProduct),
         QStringLiteral("name")},
        {QStringLiteral("config"), QStringLiteral("Configuration file to start from (default: the template's values)."),
         QStringLiteral("file")},
        {QStringLiteral("random"),
         QStringLiteral("Start from settings drawn at random from the template with this seed."),
         QStringLiteral("seed")},
        {QStringLiteral("data-dir"),
         QStringLiteral("Folder with the templates and the units file (default: the "
                        "simulator's own folder, else ../share/talvek from it)."),
         QStringLiteral("dir")},
        {QStringLiteral("com"), QStringLiteral("Register as COM<n> in the application data folder."),
         QStringLiteral("n")},
        {QStringLiteral("app-data"),
         QStringLiteral("Application data folder for the alias (default: "
                        "$TALVEK_DATA_DIR, else the standard one)."),
         QStringLiteral("dir")},
        {QStringLiteral("baud"), QStringLiteral("Baud rate (default 19200)."), QStringLiteral("rate")},
        {QStringLiteral("echo"), QStringLiteral("Echo received characters: on or off (default on)."),
         QStringLiteral("on|off")},
        {QStringLiteral("serial"), QStringLiteral("Serial number (default 12345)."), QStringLiteral("text")},
        {QStringLiteral("address"), QStringLiteral("Unit address A to Z (default Q)."), QStringLiteral("letter")},
        {QStringLiteral("options"), QStringLiteral("Option bits, four hexadecimal digits (default: the product's)."),
         QStringLiteral("hex")},
        {QStringLiteral("interval"), QStringLiteral("Milliseconds between data lines (default 1000)."),
         QStringLiteral("ms")},
        {QStringLiteral("power-on-after"),
         QStringLiteral("Switched off until this many milliseconds after a program opens the port (default: on)."),
         QStringLiteral("ms")},
        {QStringLiteral("safe-window"),
         QStringLiteral("After power-on, listen this many milliseconds at 4800 baud for \"*\" (default 3000)."),
         QStringLiteral("ms")},
        {QStringLiteral("silence-after"), QStringLiteral("Fault: answer nothing after n commands."),
         QStringLiteral("n")},
        {QStringLiteral("hangup-after"), QStringLiteral("Fault: hang up at the first command after n commands."),
         QStringLiteral("n")},
        {QStringLiteral("noise"), QStringLiteral("Fault: non-printing bytes before every line.")},
        {QStringLiteral("lone-lf"), QStringLiteral("Fault: an extra LF and an empty line after every line.")},
        {QStringLiteral("overlong"), QStringLiteral("Fault: data lines and the \"*\" answer 2000 characters long.")},
        {QStringLiteral("slow"), QStringLiteral("Fault: every answer this many milliseconds late."),
         QStringLiteral("ms")},
        {QStringLiteral("refuse"), QStringLiteral("Fault: refuse writes of these commands (comma-separated)."),
         QStringLiteral("cmds")},
        {QStringLiteral("ignore"),
         QStringLiteral("Fault: never answer these commands in setup mode, read or write (comma-separated)."),
         QStringLiteral("cmds")},
        {QStringLiteral("late"),
         QStringLiteral("Fault: answer these commands this many milliseconds late (CMD:MS, comma-separated)."),
         QStringLiteral("cmd:ms")},
    });
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        *help = parser.helpText();
        return true;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first());
        return false;
    }
    SimOptions &o = out->options;
    o.product = parser.isSet(QStringLiteral("product")) ? parser.value(QStringLiteral("product")) : defaultProduct;
    o.configFile = parser.value(QStringLiteral("config"));
    if (parser.isSet(QStringLiteral("data-dir")))
        o.dataDir = parser.value(QStringLiteral("data-dir"));
    out->appDataFolder =
        parser.isSet(QStringLiteral("app-data")) ? parser.value(QStringLiteral("app-data")) : DefaultAppDataFolder();
    if (!Count(parser, QStringLiteral("com"), &out->comNumber, error) ||
        !Count(parser, QStringLiteral("baud"), &o.baud, error) ||
        !Count(parser, QStringLiteral("random"), &o.randomSeed, error) ||
        !Count(parser, QStringLiteral("interval"), &o.streamIntervalMs, error) ||
        !Count(parser, QStringLiteral("power-on-after"), &o.powerOnAfterMs, error) ||
        !Count(parser, QStringLiteral("safe-window"), &o.safeWindowMs, error) ||
        !Count(parser, QStringLiteral("silence-after"), &o.faults.silenceAfter, error) ||
        !Count(parser, QStringLiteral("hangup-after"), &o.faults.hangUpAfter, error) ||
        !Count(parser, QStringLiteral("slow"), &o.faults.slowMs, error) ||
        !LateAnswers(parser, &o.faults.lateMs, error))
        return false;
    if (parser.isSet(QStringLiteral("com")) && out->comNumber < 1) {
        *error = QStringLiteral("--com wants a port number from 1");
        return false;
    }
    if (!rates.contains(o.baud)) {
        *error = QStringLiteral("--baud %1 is not one of the sensors' rates").arg(o.baud);
        return false;
    }
    if (o.streamIntervalMs < 10) {
        *error = QStringLiteral("--interval must be at least 10 ms");
        return false;
    }
    const QString echo = parser.value(QStringLiteral("echo")).toLower();
    if (parser.isSet(QStringLiteral("echo")) && echo != QLatin1String("on") && echo != QLatin1String("off")) {
        *error = QStringLiteral("--echo wants on or off");
        return false;
    }
    o.echo = echo != QLatin1String("off");
    if (parser.isSet(QStringLiteral("serial")))
        o.serial = parser.value(QStringLiteral("serial"));
    if (parser.isSet(QStringLiteral("address"))) {
        o.address = parser.value(QStringLiteral("address")).toUpper();
        if (!QRegularExpression(QStringLiteral("^[A-Z]$")).match(o.address).hasMatch()) {
            *error = QStringLiteral("--address wants one letter A to Z");
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("options"))) {
        bool ok = false;
        o.optionBits = int(parser.value(QStringLiteral("options")).toUInt(&ok, 16));
        if (!ok || o.optionBits > 0xFFFF) {
            *error = QStringLiteral("--options wants up to four hexadecimal digits");
            return false;
        }
    }
    o.faults.noise = parser.isSet(QStringLiteral("noise"));
    o.faults.loneLf = parser.isSet(QStringLiteral("lone-lf"));
    o.faults.overlong = parser.isSet(QStringLiteral("overlong"));
    o.faults.refused = parser.value(QStringLiteral("refuse")).toUpper().split(QLatin1Char(','), Qt::SkipEmptyParts);
    o.faults.ignored = parser.value(QStringLiteral("ignore")).toUpper().split(QLatin1Char(','), Qt::SkipEmptyParts);
    return true;
}
