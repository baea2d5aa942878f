#pragma once
#include <QString>

// The application data folder (with a trailing '/'), published by the main
// window once it has resolved it, so that lower layers (port logs, session
// reports, working files) can use it without knowing the window.
QString GetAppDataFolder();
void SetAppDataFolder(const QString &folder);
