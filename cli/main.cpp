// talvek-cli: the program's workflows from a shell, with no window at all.
#include "cli/commandline.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Talvek"));
    return RunCommandLine(QCoreApplication::arguments().mid(1));
}
