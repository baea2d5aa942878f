// talvek-sensorsim: one simulated sensor on a pseudo-terminal, until SIGINT or
// SIGTERM (or its own hang-up fault). See the README's section on it.
#include "sim/simulator.h"
#include "templates/shippedFiles.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SimCommandLine command;
    QString error, help;
    if (!ParseSimCommandLine(app.arguments(), &command, &error, &help)) {
        fprintf(stderr, "talvek-sensorsim: %s\n", qPrintable(error));
        return 2;
    }
    if (!help.isEmpty()) {
        fputs(qPrintable(help), stdout);
        return 0;
    }
    if (command.options.dataDir.isEmpty())
        command.options.dataDir = ShippedDataFolder(QCoreApplication::applicationDirPath());

    // Signals are taken from a signalfd, so the main thread only ever waits in poll().
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    const int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);

    Simulator sim(command.options);
    if (!sim.Start(&error)) {
        fprintf(stderr, "talvek-sensorsim: %s\n", qPrintable(error));
        return 1;
    }
    if (command.comNumber > 0 && !sim.RegisterAlias(command.appDataFolder, command.comNumber, &error)) {
        fprintf(stderr, "talvek-sensorsim: %s\n", qPrintable(error));
        return 1;
    }
    printf("%s\n", qPrintable(QStringLiteral("ID:") + sim.Identity()));
    if (command.comNumber > 0)
        printf("COM%d %s (%s)\n", command.comNumber, qPrintable(sim.DevicePath()), qPrintable(sim.AliasPath()));
    else
        printf("%s\n", qPrintable(sim.DevicePath()));
    fflush(stdout);

    pollfd fds[2] = {{signalFd, POLLIN, 0}, {sim.FinishedFd(), POLLIN, 0}};
    while (poll(fds, 2, -1) < 0 && errno == EINTR) {
    }
    if (fds[1].revents & POLLIN)
        fprintf(stderr, "talvek-sensorsim: hung up after %d commands\n", sim.Commands());
    sim.Stop();
    sim.RemoveAlias();
    close(signalFd);
    return 0;
}
