#pragma once
// Key number of a card: byte 0 is the count of significant bytes (0..15), bytes 1..15 the number,
// least significant byte first.

#include <QString>

#include <array>
#include <cstdint>
#include <initializer_list>

using TOrv_KEYNUM = std::array<std::uint8_t, 16>;

inline constexpr int KEYVIEW_HEX = 0;
inline constexpr int KEYVIEW_WINPAK = 1; // "WIN-PAK PROXWAY" decimal of the low three bytes

// Equal over the shorter length; length 0 equals every number.
bool SameKeyNum(const TOrv_KEYNUM& A, const TOrv_KEYNUM& B);
// -1, 0, 1: the common bytes from the most significant down, then the longer is the greater.
int CompareKeyNums(const TOrv_KEYNUM& A, const TOrv_KEYNUM& B);
// Text in key view 0 (hex) or 1 (WIN-PAK); a length above 15 is an assertion (uTarvoDoc).
QString KeyNumToStr(const TOrv_KEYNUM& ANumber, int AKeyView);
// Hex text read from its last character; false on any non-hex digit. Empty text gives length 0.
bool HexToKeyNum(const QString& AText, TOrv_KEYNUM& VNumber);

// The value of a hexadecimal digit (either case), -1 for another character.
int HexDigit(char16_t AChar);
// The user name, or "{" + key text + "}" when the name is empty.
QString UserOrKeyText(const QString& AUserName, const TOrv_KEYNUM& ANumber, int AKeyView);
// Convenience for tests and callers: a number from its bytes, least significant first.
TOrv_KEYNUM MakeKeyNum(std::initializer_list<std::uint8_t> ABytesLowFirst);
