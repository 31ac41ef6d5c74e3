#pragma once
// What a reader of each number format sends for a card: the text of a key number in the formats of
// the reader configuration (readers.ini), so the owner sees which format gives the number another
// system shows for the card. The formats, in their order in readers.ini:
//
//   em4100   the low 32 bits in decimal, 10 digits
//   3+5      facility (third byte) and card (low two bytes): "123,45678"
//   hex      the number in hexadecimal, most significant byte first (as the programs show it)
//   hexrev   the bytes in hexadecimal, least significant first
//   dec      the number in decimal
//   decrev   the number of the bytes taken least significant first, in decimal

#include "base/uKeyNum.h"
#include "orvreader/src/uOrvCardNumber.h"

#include <QString>

inline constexpr int cCardFormatCount = Orv::cNumFormatCount;

// The format's name in readers.ini ("em4100", "3+5", "hex", "hexrev", "dec", "decrev"); "" out of range.
QString CardFormatName(int AFormat);
// The format of a name (letter case ignored), -1 for none.
int CardFormatOfName(const QString& AName);
// The key's text in a format; "" when the key has no bytes or too few for the format (em4100 needs
// four, 3+5 three).
QString KeyNumInFormat(const TOrv_KEYNUM& AKey, int AFormat);
