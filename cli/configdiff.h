#pragma once
#include <QList>
#include <QString>

// One setting whose value differs between two configuration files. A
// setting only one file has shows "-" for the other.
struct SettingDifference {
    QString cmd;
    QString first;
    QString second;
};

// The settings that differ between two configuration files, matched by
// category and command and compared on their value strings, in the first
// file's order followed by those only the second has. False and why when
// either file cannot be read as a configuration file.
bool DiffConfigFiles(const QString &first, const QString &second, QList<SettingDifference> &differences,
                     QString *error);
