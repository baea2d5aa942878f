#include "cli/commandline.h"

#include "cli/cliaudit.h"
#include "cli/clioutput.h"
#include "cli/cliprovision.h"
#include "cli/clisession.h"
#include "cli/configdiff.h"
#include "cli/signalwatch.h"
#include "serial/comms.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QHash>

namespace
{
struct Command {
    const char *name;
    const char *synopsis;
    const char *description;
    bool usesSensor;
    QStringList options; // of "port", "output", "mismatch", "monitor"
    int files;           // positional file arguments required
};

const QList<Command> &Commands()
{
    static const QList<Command> commands = {
        {"ports", "ports", "Lists the COM ports with their friendly names.", false, {}, 0},
        {"scan",
         "scan [--port COMn]",
         "Scans the ports (or only the given one) for a sensor and prints its port, "
         "baud rate and identity.",
         true,
         {"port"},
         0},
        {"read",
         "read [--port COMn [--baud RATE]] -o FILE.tcf",
         "Connects, reads every setting, saves them to FILE and prints the summary.",
         true,
         {"port", "output"},
         0},
        {"write",
         "write [--port COMn [--baud RATE]] FILE.tcf [--yes-mismatch]",
         "Writes the settings of FILE to the sensor and verifies them; prints what failed to verify.",
         true,
         {"port", "mismatch"},
         1},
        {"backup",
         "backup [--port COMn [--baud RATE]] -o FILE.tcf",
         "Reads every setting and keeps them in FILE, as the program's back-up.",
         true,
         {"port", "output"},
         0},
        {"restore",
         "restore [--port COMn [--baud RATE]] FILE.tcf [--yes-mismatch]",
         "Writes a back-up FILE to the sensor and verifies it, as the program's restore.",
         true,
         {"port", "mismatch"},
         1},
        {"doctor",
         "doctor [--port COMn]",
         "Explains for each port (or only the given one) whether it can be opened and, if not, why and "
         "which command fixes it: permissions, locks, programs holding it, ModemManager, brltty.",
         false,
         {"port"},
         0},
        {"monitor",
         "monitor [--port COMn [--baud RATE]] [--config FILE.tcf] [--csv FILE] [--duration SECONDS] [--raw]",
         "Finds the sensor and prints its continuous output, decoded into channels by the report of its product's "
         "template, or of a configuration read from it (or raw), without taking it into setup mode; records the "
         "decoded values to a CSV file. "
         "Stops after the duration or at Ctrl-C.",
         true,
         {"port", "monitor"},
         0},
        {"provision",
         "provision PLAN.csv [--again]",
         "Sets up every sensor of a plan (one row per unit: port or scan, expected product and serial, base "
         "file, settings to override), several ports at once: checks, backs up, writes, verifies, leaves setup "
         "mode and writes a certificate per unit; a later run skips the units verified before.",
         false,
         {"again"},
         1},
        {"audit",
         "audit verify | audit show [--serial S] [--since DATE]",
         "verify: checks that no entry of the audit log of writes was edited, deleted or reordered, and names "
         "the first broken one. show: prints the entries (of one sensor, since a UTC date or date-time).",
         false,
         {"audit"},
         0},
        {"diff",
         "diff A.tcf B.tcf",
         "Prints each setting that differs between two configuration files: command, value in A, value in B.",
         false,
         {},
         2},
    };
    return commands;
}

const char *const kStatuses =
    "Exit status: 0 success (a write only when verified; diff: no differences), 1 diff: the files differ,\n"
    "2 usage error, 3 no sensor found, 4 port cannot be opened, 5 unknown or unsupported device,\n"
    "6 incompatible file, 7 invalid entries in the file, 8 read incomplete, 9 verification failed,\n"
    "10 other failure (a file cannot be read or written, the write was refused),\n"
    "11 monitor: the sensor sent no line, 12 monitor: no line could be decoded,\n"
    "13 provision: the plan is refused, 14 provision: some units are not verified,\n"
    "20 audit: the log's chain is broken, 21 audit: there is no audit log or it cannot be read,\n"
    "130 stopped by SIGINT (Ctrl-C), 143 stopped by SIGTERM (the operation aborted, the sensor told EXIT).\n"
    "doctor: 0 every port checked can be opened, 4 a port cannot be opened or there is none.";

void PrintUsage()
{
    PrintOut(QStringLiteral("Usage: talvek-cli COMMAND [options]   (talvek-cli COMMAND --help for more)"));
    for (const Command &command : Commands())
        PrintOut(QStringLiteral("  ") + QString::fromLatin1(command.synopsis));
    PrintOut(QStringLiteral("Common options: --lang en|fr|pl"));
    PrintOut(QString::fromLatin1(kStatuses));
}

int UsageError(const QString &text)
{
    PrintError(QStringLiteral("talvek-cli: ") + text);
    PrintError(QStringLiteral("Try 'talvek-cli --help'."));
    return ExitUsage;
}

void AddOptions(QCommandLineParser &parser, const Command &command)
{
    parser.setApplicationDescription(QString::fromLatin1(command.description) + QStringLiteral("\n\n") +
                                     QString::fromLatin1(kStatuses));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("lang"), QStringLiteral("Language of the messages."), QStringLiteral("en|fr|pl")});
    if (command.options.contains(QStringLiteral("port"))) {
        const bool doctor = QString::fromLatin1(command.name) == QLatin1String("doctor");
        parser.addOption({QStringLiteral("port"),
                          doctor ? QStringLiteral("The port to check; without it every port is checked.")
                                 : QStringLiteral("The sensor's port; without it every port is scanned."),
                          QStringLiteral("COMn")});
        if (QString::fromLatin1(command.name) != QLatin1String("scan") && !doctor)
            parser.addOption({QStringLiteral("baud"),
                              QStringLiteral("The sensor's baud rate (with --port): no scan, one try at this rate."),
                              QStringLiteral("RATE")});
    }
    if (command.options.contains(QStringLiteral("output")))
        parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                          QStringLiteral("The configuration file to write."),
                          QStringLiteral("FILE")});
    if (command.options.contains(QStringLiteral("mismatch")))
        parser.addOption({QStringLiteral("yes-mismatch"),
                          QStringLiteral("Accept a protocol, heating or axis configuration mismatch.")});
    if (command.options.contains(QStringLiteral("monitor"))) {
        parser.addOption({QStringLiteral("csv"), QStringLiteral("Record the decoded values to FILE."),
                          QStringLiteral("FILE")});
        parser.addOption({QStringLiteral("duration"), QStringLiteral("Stop after this many seconds."),
                          QStringLiteral("SECONDS")});
        parser.addOption({QStringLiteral("raw"), QStringLiteral("Print the lines as received, not decoded.")});
        parser.addOption({QStringLiteral("config"),
                          QStringLiteral("Decode by the report of this configuration (one read from the sensor)."),
                          QStringLiteral("FILE")});
    }
    if (command.options.contains(QStringLiteral("again")))
        parser.addOption({QStringLiteral("again"), QStringLiteral("Redo the units verified in an earlier run.")});
    if (command.options.contains(QStringLiteral("audit")))
        AddAuditOptions(parser);
    for (int i = 0; i < command.files; ++i)
        parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A configuration file."));
}

// -1 for none; -2 for a language this program has not.
int LanguageIndex(const QCommandLineParser &parser)
{
    if (!parser.isSet(QStringLiteral("lang")))
        return -1;
    static const QStringList codes = {QStringLiteral("en"), QStringLiteral("fr"), QStringLiteral("pl")};
    const int index = codes.indexOf(parser.value(QStringLiteral("lang")).toLower());
    return index >= 0 ? index : -2;
}

bool IsBaudRate(const QString &text)
{
    QStringList rates;
    TComms(nullptr, 0, 0).GetBaudList(rates);
    return rates.contains(text);
}

// Checks the sensor options; empty when they are fine.
QString ReadTarget(const QCommandLineParser &parser, const Command &command, CliTarget &target)
{
    if (!command.options.contains(QStringLiteral("port")))
        return {};
    if (parser.isSet(QStringLiteral("port"))) {
        target.comNumber = ParseComNumber(parser.value(QStringLiteral("port")));
        if (target.comNumber <= 0)
            return QStringLiteral("--port needs a port such as COM7");
    }
    if (parser.optionNames().contains(QStringLiteral("baud")) && parser.isSet(QStringLiteral("baud"))) {
        if (!target.HasPort())
            return QStringLiteral("--baud needs --port");
        target.baud = parser.value(QStringLiteral("baud"));
        if (!IsBaudRate(target.baud))
            return QStringLiteral("--baud must be one of 4800, 9600, 19200, 38400, 57600");
    }
    return {};
}

int RunDiff(const QStringList &files)
{
    QList<SettingDifference> differences;
    QString error;
    if (!DiffConfigFiles(files.at(0), files.at(1), differences, &error)) {
        PrintError(error);
        return ExitFailed;
    }
    for (const SettingDifference &difference : differences)
        PrintOut(difference.cmd + QLatin1Char('\t') + difference.first + QLatin1Char('\t') + difference.second);
    return differences.isEmpty() ? ExitOk : ExitDifferent;
}

int RunSessionCommand(CliSession &session, const QString &name, const QString &input, const QString &output)
{
    if (name == QLatin1String("ports"))
        return session.Ports();
    if (name == QLatin1String("scan"))
        return session.Scan();
    if (name == QLatin1String("doctor"))
        return session.Doctor();
    if (name == QLatin1String("read"))
        return session.Read(output);
    if (name == QLatin1String("write"))
        return session.Write(input);
    if (name == QLatin1String("backup"))
        return session.Backup(output);
    return session.Restore(input);
}

// Checks the monitor's options; empty when they are fine.
QString ReadMonitorOptions(const QCommandLineParser &parser, const Command &command, MonitorOptions &options)
{
    if (!command.options.contains(QStringLiteral("monitor")))
        return {};
    if (parser.isSet(QStringLiteral("duration"))) {
        bool ok = false;
        options.seconds = parser.value(QStringLiteral("duration")).toDouble(&ok);
        if (!ok || options.seconds <= 0)
            return QStringLiteral("--duration needs a number of seconds above 0");
    }
    if (parser.isSet(QStringLiteral("csv"))) {
        if (parser.value(QStringLiteral("csv")).isEmpty())
            return QStringLiteral("--csv needs a file name");
        options.csvFile = QFileInfo(parser.value(QStringLiteral("csv"))).absoluteFilePath();
    }
    options.raw = parser.isSet(QStringLiteral("raw"));
    if (parser.isSet(QStringLiteral("config")))
        options.configFile = QFileInfo(parser.value(QStringLiteral("config"))).absoluteFilePath();
    return {};
}

int RunOnSession(const Command &command, const QCommandLineParser &parser, const CliTarget &target,
                 const MonitorOptions &monitor)
{
    const QString name = QString::fromLatin1(command.name);
    const QString output = command.options.contains(QStringLiteral("output"))
                               ? QFileInfo(parser.value(QStringLiteral("output"))).absoluteFilePath()
                               : QString();
    const QString input =
        command.files == 1 ? QFileInfo(parser.positionalArguments().at(0)).absoluteFilePath() : QString();
    // Resolved first: the program moves to its own folder when it starts.
    CliSignalWatch signalWatch;
    CliSession session;
    QObject::connect(&signalWatch, &CliSignalWatch::Stopped, &session, &CliSession::Stop);
    if (!session.Start(LanguageIndex(parser)))
        return ExitFailed;
    session.SetTarget(target);
    session.SetAcceptMismatch(parser.optionNames().contains(QStringLiteral("yes-mismatch")) &&
                              parser.isSet(QStringLiteral("yes-mismatch")));
    const int status = name == QLatin1String("monitor") ? session.Monitor(monitor)
                                                        : RunSessionCommand(session, name, input, output);
    if (session.StoppedStatus() == 0)
        return status;
    PrintError(QStringLiteral("talvek-cli: stopped by a signal; the operation was aborted."));
    return session.StoppedStatus();
}

int RunCommand(const Command &command, const QStringList &arguments)
{
    QCommandLineParser parser;
    AddOptions(parser, command);
    if (!parser.parse(arguments))
        return UsageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        PrintOut(parser.helpText().replace(QStringLiteral("[options]"),
                                           QString::fromLatin1(command.name) + QStringLiteral(" [options]")));
        return ExitOk;
    }
    if (command.options.contains(QStringLiteral("audit")))
        return RunAudit(parser);
    if (parser.positionalArguments().size() != command.files)
        return UsageError(QString::fromLatin1(command.synopsis));
    if (command.options.contains(QStringLiteral("output")) && parser.value(QStringLiteral("output")).isEmpty())
        return UsageError(QStringLiteral("-o FILE is required"));
    if (LanguageIndex(parser) == -2)
        return UsageError(QStringLiteral("--lang must be en, fr or pl"));
    CliTarget target;
    MonitorOptions monitor;
    QString problem = ReadTarget(parser, command, target);
    if (problem.isEmpty())
        problem = ReadMonitorOptions(parser, command, monitor);
    if (!problem.isEmpty())
        return UsageError(problem);
    if (QString::fromLatin1(command.name) == QLatin1String("diff"))
        return RunDiff(parser.positionalArguments());
    if (QString::fromLatin1(command.name) == QLatin1String("provision"))
        return RunProvision({QFileInfo(parser.positionalArguments().at(0)).absoluteFilePath(),
                             parser.isSet(QStringLiteral("again")), LanguageIndex(parser)});
    return RunOnSession(command, parser, target, monitor);
}
} // namespace

int ParseComNumber(const QString &text)
{
    QString number = text.trimmed();
    if (number.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        number = number.mid(3);
    bool ok = false;
    const int value = number.toInt(&ok);
    return ok && value > 0 ? value : 0;
}

int RunCommandLine(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return UsageError(QStringLiteral("no command given"));
    const QString name = arguments.first();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        PrintUsage();
        return ExitOk;
    }
    for (const Command &command : Commands())
        if (name == QLatin1String(command.name))
            return RunCommand(command, QStringList{QStringLiteral("talvek-cli")} + arguments.mid(1));
    return UsageError(QStringLiteral("unknown command '") + name + QLatin1Char('\''));
}
