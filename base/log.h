#pragma once
#include <QString>
#include <functional>

// The program's debug log: every line goes to standard error with the time,
// and to the sink (the debug log window) when one is installed.
//
// Log may be called from any thread. The sink is only ever called on the
// thread of the application object, so a window can be the sink.
void Log(const QString &text);

using LogSink = std::function<void(const QString &text)>;
void SetLogSink(LogSink sink);
