#pragma once

// Result codes of the configuration engine's operations (0 is success).
// Codes of the command session are passed through unchanged.
namespace ConfigResult
{
constexpr int Ok = 0;
constexpr int ReadFailed = 20;    // a read or conversion failed
constexpr int FileFailed = 26;    // a file is missing or could not be opened
constexpr int UnknownDevice = 27; // the device type is not recognised
constexpr int NotAChoice = 28;    // a value read is not among the template's choices
} // namespace ConfigResult
