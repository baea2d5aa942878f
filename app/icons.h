#pragma once
#include <QIcon>

// The menu's pictures: simple line drawings in the menu's text colour, with
// a dimmed version for disabled buttons.
enum class MenuIcon {
    ConnectAndRead,
    ConnectOnly,
    Offline,
    SaveToDevice,
    ReadFromDevice,
    OpenFile,
    SaveFile,
    Backup,
    Restore,
    LoadTemplate,
    Back,
    ViewOutput,
    History,
    About,
    Debug,
    Settings,
};

QIcon DrawMenuIcon(MenuIcon kind);
