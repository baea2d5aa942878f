#pragma once

// The main window's caption; also the version text of the about box and the
// first line of every session report.
inline constexpr const char *kProgramCaption = "Talvek Configuration Software v2.20-04";
