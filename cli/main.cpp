// talvek-cli: the program's workflows from a shell, with no window at all.
#include "cli/commandline.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <memory>

int main(int argc, char *argv[])
{
    // The provision command writes PDF certificates, which need Qt Gui's
    // fonts but no display; every other command runs without Qt Gui.
    const bool printing = argc > 1 && qstrcmp(argv[1], "provision") == 0;
    if (printing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> application =
        printing ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Talvek"));
    return RunCommandLine(QCoreApplication::arguments().mid(1));
}
