// talvek-cli: the windowed program's workflows from a shell. The windows
// still exist (the workflows live in them) but never reach a screen.
#include "app/startup.h"
#include "cli/commandline.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    PrepareApplication(application);
    return RunCommandLine(QApplication::arguments().mid(1));
}
