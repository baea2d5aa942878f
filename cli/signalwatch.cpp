#include "cli/signalwatch.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace
{
int pipeEnds[2] = {-1, -1};

void OnSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &number, 1);
    errno = savedErrno;
}

void SetHandler(void (*handler)(int))
{
    struct sigaction action {
    };
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = handler == SIG_DFL ? 0 : SA_RESETHAND | SA_RESTART;
    for (int signalNumber : {SIGINT, SIGTERM})
        ::sigaction(signalNumber, &action, nullptr);
}
} // namespace

CliSignalWatch::CliSignalWatch()
{
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // no watch: the signals keep their default effect
    notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &CliSignalWatch::ReadPipe);
    SetHandler(OnSignal);
}

CliSignalWatch::~CliSignalWatch()
{
    if (!notifier)
        return;
    SetHandler(SIG_DFL);
    delete notifier;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void CliSignalWatch::ReadPipe()
{
    unsigned char number = 0;
    while (::read(pipeEnds[0], &number, 1) == 1)
        emit Stopped(number);
}
