#pragma once
#include <QString>
#include <QStringList>

// The data files the program cannot run without, in the order they are
// checked: the template of every catalogue row, the units file, the
// translations.
QStringList RequiredResourceFiles();

// The first of them missing from folder (relative name), or empty.
QString FindMissingResourceFile(const QString &folder);

// Where the shipped data is for programs whose executable is in exeFolder,
// with a trailing '/': beside the executable (a build folder), else in the
// installed data folder relative to it (bin/ -> share/talvek/). When neither
// holds the data it is the executable's own folder, so that the check of the
// shipped files names what is missing there.
QString ShippedDataFolder(const QString &exeFolder);
