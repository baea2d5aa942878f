// Time to decode one data line, and to take it into the channel table, for
// the lines a simulated sensor sends in each report form.
//
//   bench_decode DATA_FOLDER [LINES]   DATA_FOLDER holds the templates and
//                                      ordaDeviceUnits.tdx (BUILD/app);
//                                      LINES decoded per form (default 200000)
//
// Prints the mean time per line of each form and its slowest batch of 1000,
// as the thread's CPU time, so other programs on a busy machine do not count.
#include "engine/channelTable.h"
#include "engine/lineDecoder.h"
#include "sim/simdevice.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>

namespace
{
qint64 ThreadNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

const QString kProduct = QStringLiteral("Tempris KDX600-10 PV9");

struct Form {
    const char *name;
    const char *report;
};

const Form kForms[] = {
    {"parameter report (8 words)", "NODE DIR SPEED TEMP RH PRESS SOLARRAD STATUS"},
    {"parameter report (24 words)", "NODE DIR SPEED GUSTDIR GUSTSPEED AVGDIR AVGSPEED CDIR COMPASSH TEMP RH DEWPOINT "
                                    "AH PRESS PASL SOLARRAD SUNHOURS AN1 AN2 DIG1 VOLT STATUS TIME USERINF"},
    {"NMEA sentences (every one)", "NMEA"},
};

// The template with this report, saved where the simulated sensor reads it.
Document MakeDocument(const QString &folder, const QString &report, const QString &file)
{
    Document document;
    document.units = IXMLsensorunitsType::Load(folder + QStringLiteral("ordaDeviceUnits.tdx"));
    document.products = LoadConfigDocument(folder + QStringLiteral("tempris_type_10_pv9_template.tdx")).products;
    if (document.IsNull())
        return document;
    const IXMLdeviceType device = document.Device();
    for (int c = 0; c < device.Count(); ++c)
        for (int p = 0; p < device.Category(c).Count(); ++p) {
            IXMLparamType param = device.Category(c).Param(p);
            if (param.Cmd() == QLatin1String("REPORT")) {
                param.SetReportvalue(report);
                param.SetValuestring(report);
            }
        }
    QString error;
    return SaveConfigDocument(document.products, file, &error) ? document : Document();
}

bool BenchForm(const QString &folder, const Form &form, int count)
{
    QTemporaryDir temp;
    const QString file = temp.filePath(QStringLiteral("sensor.tcf"));
    const Document document = MakeDocument(folder, QString::fromLatin1(form.report), file);
    SimOptions options;
    options.product = kProduct;
    options.dataDir = folder;
    options.configFile = file;
    SimDevice sensor;
    QString error;
    if (document.IsNull() || !sensor.Init(options, &error)) {
        std::fprintf(stderr, "%s: %s\n", form.name, qPrintable(error));
        return false;
    }
    QStringList lines;
    for (int second = 0; lines.size() < 1000; ++second)
        lines << sensor.DataLines(second * 1000);
    LineDecoder decoder(document);
    ChannelTable table;
    qint64 decoded = 0;
    // Mean and slowest batch of 1000, in microseconds per line.
    const auto measure = [&](bool intoTable) {
        qint64 total = 0, slowest = 0;
        for (int done = 0; done < count; done += 1000) {
            const qint64 started = ThreadNanoseconds();
            for (int i = 0; i < 1000; ++i) {
                const DecodedLine line = decoder.Decode(lines[(done + i) % lines.size()]);
                decoded += line.status == LineStatus::Decoded;
                if (intoTable)
                    table.Add(line, decoder, done + i);
            }
            const qint64 batch = ThreadNanoseconds() - started;
            total += batch;
            slowest = std::max(slowest, batch);
        }
        return std::pair<double, double>(total / 1000.0 / count, slowest / 1000.0 / 1000);
    };
    const auto alone = measure(false);
    const auto withTable = measure(true);
    std::printf("%-28s decode %6.2f us/line (slowest batch %6.2f), with the table %6.2f us/line (%6.2f)\n", form.name,
                alone.first, alone.second, withTable.first, withTable.second);
    std::printf("%-28s %lld of %d decoded; a line: \"%s\"\n", "", decoded, 2 * count,
                qPrintable(lines.first().left(70)));
    return decoded == 2 * count;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: bench_decode DATA_FOLDER [LINES]\n");
        return 2;
    }
    const QString folder = arguments[1].endsWith('/') ? arguments[1] : arguments[1] + '/';
    const int count = std::max(1000, arguments.value(2, QStringLiteral("200000")).toInt() / 1000 * 1000);
    bool ok = true;
    for (const Form &form : kForms)
        ok = BenchForm(folder, form, count) && ok;
    return ok ? 0 : 1;
}
