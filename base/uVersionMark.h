#pragma once
// The version compiled into every executable of the system, stored as a mark that GetFileVersionPacked
// finds in the file: "TarvoFileVersion:" followed by major.minor.release.build and a zero byte.

#include <cstdint>

// The packed version of this build (byte 0 major, 1 minor, 2 release, 3 build).
std::uint32_t CompiledVersionPacked();
// Referencing the mark makes the linker keep it; CheckSingleInstance does so for both programs.
void TouchVersionMark();
