#pragma once
#include <QString>
#include <QStringList>

// The data files the program cannot run without, in the order they are
// checked: the template of every catalogue row, the units file, the
// translations.
QStringList RequiredResourceFiles();

// The first of them missing from folder (relative name), or empty.
QString FindMissingResourceFile(const QString &folder);
