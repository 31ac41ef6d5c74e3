#pragma once
// The library's own diagnostics (rejected frames, readers.ini problems): one line each on standard
// error, where a desktop session's journal keeps them. The C API has no log of the program's.

#include <string>

namespace Orv {

void LogLine(const std::string& AText);

} // namespace Orv
