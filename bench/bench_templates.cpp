// Loading time of the device templates and the units document.
//
//   bench_templates DATA_FOLDER [RUNS]   the largest *_template.tdx there and
//                                        ordaDeviceUnits.tdx
//   bench_templates --synthetic [RUNS]   a template at the editor's limits (20
//                                        categories of 50 fully filled params)
//
// Prints the median, minimum and maximum of RUNS loads (default 200) of each.
#include "templates/ordaDeviceUnits.h"
#include "templates/ordaUserConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace
{

struct Figures {
    double median = 0, min = 0, max = 0; // milliseconds
};

Figures Measure(int runs, const std::function<bool()> &load)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!load())
            return {};
        times << timer.nsecsElapsed() / 1e6;
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front(), times.back()};
}

void Report(const QString &what, const Figures &f)
{
    std::printf("%-50s median %7.3f ms  min %7.3f ms  max %7.3f ms\n", qPrintable(what), f.median, f.min, f.max);
}

bool BenchTemplate(const QString &path, int runs)
{
    XmlLoadError error;
    const IXMLproductsType doc = IXMLproductsType::Load(path, &error);
    if (doc.IsNull()) {
        std::fprintf(stderr, "%s\n", qPrintable(error.Text()));
        return false;
    }
    int params = 0;
    for (int c = 0; c < doc.Device(0).Count(); ++c)
        params += doc.Device(0).Category(c).Count();
    const qint64 size = QFileInfo(path).size();
    Report(QStringLiteral("%1 (%2 KiB, %3 params)").arg(QFileInfo(path).fileName()).arg(size / 1024).arg(params),
           Measure(runs, [&] { return !IXMLproductsType::Load(path).IsNull(); }));
    return true;
}

bool BenchUnits(const QString &path, int runs)
{
    if (!QFileInfo::exists(path)) {
        std::printf("no units file at %s\n", qPrintable(path));
        return true;
    }
    XmlLoadError error;
    if (IXMLsensorunitsType::Load(path, &error).IsNull()) {
        std::fprintf(stderr, "%s\n", qPrintable(error.Text()));
        return false;
    }
    Report(QFileInfo(path).fileName(), Measure(runs, [&] { return !IXMLsensorunitsType::Load(path).IsNull(); }));
    return true;
}

QString LargestTemplate(const QString &folder)
{
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*_template.tdx")}, QDir::Files, QDir::Size);
    return files.isEmpty() ? QString() : files.first().absoluteFilePath();
}

void FillParam(IXMLparamType param, int index)
{
    param.SetName(QStringLiteral("Setting number %1").arg(index));
    param.SetCmd(QStringLiteral("CMD%1").arg(index));
    param.SetType(QStringLiteral("reportstr"));
    for (int i = 0; i < 8; ++i)
        param.Option().Add(QStringLiteral("CHOICE%1").arg(i));
    param.SetSelected(0);
    param.SetDesc(QStringLiteral("A help text of ordinary length that explains what this setting does."));
    param.SetValuestring(QStringLiteral("VALUE_STRING_NOT_SET"));
    param.SetValid(0);
    param.SetWarncritical(0);
    param.SetMin(0);
    param.SetMax(9999);
    param.SetValue(1);
    param.SetMeasure(QStringLiteral("WINDSPEED"));
    param.SetReportvalue(QStringLiteral("NODE DIR SPEED STATUS"));
    for (int i = 0; i < 10; ++i)
        param.Repoption().Add(QStringLiteral("REP%1").arg(i));
    param.SetMask(QStringLiteral("#990.0"));
    param.SetFloatmin(QStringLiteral("-40.0"));
    param.SetFloatmax(QStringLiteral("70.0"));
    param.SetFloatvalue(QStringLiteral("+012.5"));
    param.SetString(QStringLiteral("TEXT"));
}

QString WriteSyntheticTemplate(const QTemporaryDir &dir)
{
    IXMLproductsType doc = IXMLproductsType::Create();
    IXMLdeviceType device = doc.Devices().Add();
    device.SetName(QStringLiteral("SYNTHETIC"));
    for (int c = 0; c < TemplateLimits::Categories; ++c) {
        IXMLcategoryType category = device.Categories().Add();
        category.SetName(QStringLiteral("Page%1").arg(c));
        category.SetGroupindex(c);
        for (int p = 0; p < TemplateLimits::ParamsPerCategory; ++p)
            FillParam(category.Params().Add(), p);
    }
    const QString path = dir.filePath(QStringLiteral("synthetic_template.tdx"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(doc.XML().toUtf8()) < 0)
        return {};
    return path;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: bench_templates DATA_FOLDER|--synthetic [RUNS]\n");
        return 2;
    }
    const int runs = args.size() > 1 ? qMax(1, args[1].toInt()) : 200;
    if (args[0] == QLatin1String("--synthetic")) {
        QTemporaryDir dir;
        const QString path = WriteSyntheticTemplate(dir);
        return !path.isEmpty() && BenchTemplate(path, runs) ? 0 : 1;
    }
    const QString largest = LargestTemplate(args[0]);
    if (largest.isEmpty()) {
        std::fprintf(stderr, "no *_template.tdx in %s\n", qPrintable(args[0]));
        return 1;
    }
    const bool ok = BenchTemplate(largest, runs) && BenchUnits(QDir(args[0]).filePath("ordaDeviceUnits.tdx"), runs);
    return ok ? 0 : 1;
}
