// bench_provision: talvek-cli provision run as a user runs it (its own
// process, the program's default link timing) on one simulated sensor, then
// on four on four ports at once. Prints each run's time, the ratio of four to
// one (four ports at once should cost little more than one), and the CPU the
// provisioning process used as % of one core per sensor.
//
// Usage: bench_provision [PRODUCT]   (default "Corvix II PV4"; run from the
// build's program folder, beside talvek-cli)
#include "sim/simulator.h"
#include "tests/support/simulatedSensor.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace
{
constexpr int kBaseCom = 60;
constexpr int kFirstCom = 61;

double ChildCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Measure {
    int status = -1;
    double seconds = 0;
    double cpuSeconds = 0;
};

class Bench
{
public:
    Bench(const QString &product) : product(product), program(QCoreApplication::applicationDirPath() + "/talvek-cli") {}

    bool Prepare(QString &error)
    {
        if (!folder.isValid() || !QFile::copy(QCoreApplication::applicationDirPath() + "/TalvekDefaultSettings.tsf",
                                              folder.filePath("TalvekLastSettings.tsf"))) {
            error = "the data folder could not be prepared";
            return false;
        }
        if (!StartSensors(kBaseCom, 1, error))
            return false;
        const Measure read = Cli({"read", "--port", QStringLiteral("COM%1").arg(kBaseCom), "--baud", "19200", "-o",
                                  folder.filePath("base.tcf")});
        sensors.clear();
        if (read.status != 0)
            error = "the base file could not be read from the simulated sensor";
        return read.status == 0;
    }

    Measure Provision(int count, QString &error)
    {
        QByteArray plan = "port,base,AVGLONG\n";
        for (int i = 0; i < count; ++i)
            plan += QStringLiteral("COM%1,base.tcf,%2\n").arg(kFirstCom + i).arg(10 + i).toUtf8();
        const QString path = folder.filePath(QStringLiteral("plan%1.csv").arg(count));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(plan) != plan.size() ||
            !StartSensors(kFirstCom, count, error))
            return {};
        file.close();
        const Measure measure = Cli({"provision", path});
        sensors.clear();
        if (measure.status != 0)
            error = QStringLiteral("provisioning %1 sensor(s) ended with status %2").arg(count).arg(measure.status);
        return measure;
    }

private:
    bool StartSensors(int first, int count, QString &error)
    {
        for (int i = 0; i < count; ++i) {
            SimOptions options;
            options.product = product;
            options.dataDir = QCoreApplication::applicationDirPath();
            options.serial = QStringLiteral("B%1").arg(first + i);
            sensors.push_back(StartSimulatedSensor(options, folder.path() + "/", first + i, &error));
            if (!sensors.back())
                return false;
        }
        return true;
    }

    Measure Cli(const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TALVEK_DATA_DIR", folder.path());
        process.setProcessEnvironment(environment);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        Measure measure;
        const double cpuBefore = ChildCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        process.start(program, arguments);
        if (!process.waitForFinished(-1))
            return measure;
        measure.seconds = clock.elapsed() / 1000.0;
        measure.cpuSeconds = ChildCpuSeconds() - cpuBefore;
        measure.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return measure;
    }

    QString product;
    QString program;
    QTemporaryDir folder;
    std::vector<std::unique_ptr<Simulator>> sensors;
};
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QString product = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("Corvix II PV4");
    Bench bench(product);
    QString error;
    if (!bench.Prepare(error)) {
        std::fprintf(stderr, "bench_provision: %s\n", qPrintable(error));
        return 1;
    }
    const Measure one = bench.Provision(1, error);
    const Measure four = error.isEmpty() ? bench.Provision(4, error) : Measure();
    if (!error.isEmpty()) {
        std::fprintf(stderr, "bench_provision: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("product: %s, default link timing\n", qPrintable(product));
    std::printf("one sensor:   %.2f s, CPU %.2f s (%.1f %% of a core)\n", one.seconds, one.cpuSeconds,
                100.0 * one.cpuSeconds / one.seconds);
    std::printf("four sensors: %.2f s, CPU %.2f s (%.1f %% of a core per sensor)\n", four.seconds, four.cpuSeconds,
                100.0 * four.cpuSeconds / four.seconds / 4);
    std::printf("four / one: %.2f (target <= 1.3)\n", four.seconds / one.seconds);
    return 0;
}
