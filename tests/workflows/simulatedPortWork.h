#pragma once
// The workflows as the workflow tests use them: short link waits, and only
// the simulated sensor's port listed (the machine's own are left alone).
#include "workflows/sensorWork.h"

#include <memory>

inline std::unique_ptr<SensorWork> WorkOnSimulatedPort(int comNumber)
{
    auto work = std::make_unique<SensorWork>(QStringLiteral(TALVEK_TEST_APP_DIR "/"), LinkTiming{100, 0, 0});
    const QString port = QStringLiteral("(COM%1)").arg(comNumber);
    work->SetPortSource([port] { return std::optional<QStringList>(QStringList{port}); });
    return work;
}
