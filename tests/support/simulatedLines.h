#pragma once
// The data lines a simulated sensor sends with given settings, and the
// document that describes it as the program holds it after a read: the
// product's template with the settings applied, saved as the configuration
// file the simulated sensor starts from.
#include "engine/document.h"

#include <QHash>
#include <QStringList>

using SensorSettings = QHash<QString, QString>; // command -> value ("REPORT": the report words)

// dataDir holds the templates and ordaDeviceUnits.tdx (ends with '/').
Document MakeSensorDocument(const QString &dataDir, const QString &product, const SensorSettings &settings,
                            const QString &configFile);

struct SensorLines {
    Document document;
    QStringList lines;
};

// What the sensor sends over the first `seconds` seconds; each line has the
// LF ending the one before in front, as the link hands it over. Empty when
// the sensor could not be made.
SensorLines SimulatedLines(const QString &dataDir, const QString &product, const SensorSettings &settings,
                           const QString &folder, int seconds = 5);
