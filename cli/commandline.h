#pragma once
#include <QStringList>

// The command-line program: the words after its name in, an exit status
// (cli/exitcodes.h) out. Needs a QApplication.
int RunCommandLine(const QStringList &arguments);

// "COM7" or "7" as 7; 0 when the text names no port.
int ParseComNumber(const QString &text);
