#pragma once
#include "sim/simulator.h"

#include <QString>
#include <memory>

// Starts the simulator with these options on a pseudo-terminal and makes it
// reachable as COM<comNumber> through an alias in appDataFolder (with its
// trailing '/'). Null, with error saying why, when either step fails. The
// simulator removes its alias and stops when it is destroyed.
std::unique_ptr<Simulator> StartSimulatedSensor(const SimOptions &options, const QString &appDataFolder, int comNumber,
                                                QString *error);
// The same, saying why in the test's output when it fails (the test then
// fails on the null it gets).
std::unique_ptr<Simulator> StartSimulatedSensor(const SimOptions &options, const QString &appDataFolder, int comNumber);
