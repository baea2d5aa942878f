#include "app/startup.h"

#include "app/mainwindow.h"

#include <QApplication>
#include <QScreen>
#include <QStyleFactory>

void PrepareApplication(QApplication &application)
{
    QApplication::setApplicationName(QStringLiteral("Talvek"));
    QApplication::setApplicationDisplayName(QStringLiteral("Talvek"));
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    Q_UNUSED(application);
}

std::unique_ptr<TfrmMain> CreateMainWindow(const QStringList &arguments)
{
    auto window = std::make_unique<TfrmMain>(arguments);
    if (window->StartupFailed())
        return nullptr;
    window->CreateApplicationForms();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    return window;
}
