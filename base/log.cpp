#include "base/log.h"

#include <QCoreApplication>
#include <QThread>
#include <QTime>
#include <cstdio>
#include <mutex>

namespace {
std::mutex sinkMutex;
LogSink sink;

void deliverToSink(const QString &text)
{
    LogSink current;
    {
        std::lock_guard lock(sinkMutex);
        current = sink;
    }
    if (current)
        current(text);
}
} // namespace

void Log(const QString &text)
{
    const QByteArray line = (QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) + QLatin1Char(' ') + text)
                                .toLocal8Bit();
    // One fprintf per line so lines from two threads never interleave.
    std::fprintf(stderr, "%s\n", line.constData());

    QCoreApplication *app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) {
        deliverToSink(text);
        return;
    }
    QMetaObject::invokeMethod(app, [text] { deliverToSink(text); }, Qt::QueuedConnection);
}

void SetLogSink(LogSink newSink)
{
    std::lock_guard lock(sinkMutex);
    sink = std::move(newSink);
}
