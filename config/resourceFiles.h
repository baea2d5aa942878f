#pragma once
#include "templates/shippedFiles.h"

#include <QString>

// Start-up check of the program folder. At the first missing file it shows
// a box whose text is that file's name and whose caption is
// "Error - file not found" (not translated: the table may not exist yet) and
// returns false; the caller then ends the process with exit code 0 without
// showing the main window. Only existence is checked.
bool CheckResourceFiles(const QString &programFolder);
