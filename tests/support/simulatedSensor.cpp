#include "tests/support/simulatedSensor.h"

std::unique_ptr<Simulator> StartSimulatedSensor(const SimOptions &options, const QString &appDataFolder, int comNumber,
                                                QString *error)
{
    auto sensor = std::make_unique<Simulator>(options);
    if (!sensor->Start(error) || !sensor->RegisterAlias(appDataFolder, comNumber, error))
        return nullptr;
    return sensor;
}

std::unique_ptr<Simulator> StartSimulatedSensor(const SimOptions &options, const QString &appDataFolder, int comNumber)
{
    QString error;
    std::unique_ptr<Simulator> sensor = StartSimulatedSensor(options, appDataFolder, comNumber, &error);
    if (!sensor)
        qWarning("%s", qPrintable(error));
    return sensor;
}
