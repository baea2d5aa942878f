#include "app/mainwindow.h"
#include "app/startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    PrepareApplication(application);
    // Only the words after the program's own name are looked at.
    std::unique_ptr<TfrmMain> window = CreateMainWindow(QApplication::arguments().mid(1));
    if (!window)
        return 0; // a fatal start-up problem has been shown to the user
    window->show();
    return QApplication::exec();
}
