#pragma once
#include "templates/ordaUserConfig.h"

#include <QStringList>

// The lines of the settings summary after a read: with listProblems, the
// commands whose read failed come first; then every setting read with its
// value, and the note about settings that apply after a power-up. The
// summary window shows them and the command line prints them.
QStringList SummaryLines(const IXMLdeviceType &device, bool listProblems);
