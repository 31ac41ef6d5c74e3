#pragma once
// Packed version numbers of executables: four 8-bit parts, byte 0 (lowest) major, byte 1 minor,
// byte 2 release, byte 3 build.

#include <QString>

#include <cstdint>

// Each part is cut to its low 8 bits.
std::uint32_t PackVersion(unsigned AMajor, unsigned AMinor, unsigned ARelease, unsigned ABuild);
// "major.minor.release.build" from byte 0 to byte 3.
QString VersionText(std::uint32_t APacked);

// The version mark of AFileName (see uVersionMark.h). A file without a mark, or one that cannot be read,
// gives 0; the first well-formed mark counts.
std::uint32_t GetFileVersionPacked(const QString& AFileName);
// Full path of the running executable.
QString RunningExecutablePath();
