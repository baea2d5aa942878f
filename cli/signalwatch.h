#pragma once
#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a signal on the event loop. The handler only
// writes the signal's number into a pipe (all it may safely do); the loop
// reads it and emits Stopped. The handler removes itself as it runs, so a
// second Ctrl-C ends the program at once. One per process.
class CliSignalWatch : public QObject
{
    Q_OBJECT
public:
    CliSignalWatch();
    ~CliSignalWatch() override;

signals:
    void Stopped(int signalNumber);

private:
    void ReadPipe();

    QSocketNotifier *notifier = nullptr;
};
