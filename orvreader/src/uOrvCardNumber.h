#pragma once
// Card numbers as real readers send them, turned into key numbers (TOrv_KEYNUM_C: byte 0 the count,
// then the number least significant byte first).
//
// A reader's text cannot tell its own format: ten digits may be an EM4100 number in decimal or a
// five-byte UID in hex. So every reader is configured with one TNumFormat, and a text that does not
// fit it exactly is rejected (never guessed into some number: a wrong number could bill another
// guest). The programs compare key numbers over the shorter of the two lengths (SameKeyNum), so a
// short number that keeps the low bytes of a longer one matches it:
//
//   em4100   10 decimal digits: the low 32 bits of the card (4 bytes). The "3+5" form of the same
//            card is its low 24 bits, so both give the same key for SameKeyNum.
//   3+5      facility (0..255) and card (0..65535) in decimal, "12345678" or with one separator
//            ("123,45678", ":" "/" "-" " " too): facility << 16 | card (3 bytes).
//   hex      a UID in hexadecimal in card order (UID0 first), as most readers print it; pairs may be
//            separated by ':', '-' or ' '. The key number's most significant byte is UID0, so the
//            number shown by the programs reads like the UID itself.
//   hexrev   the same for readers that print the UID bytes backwards (last UID byte first).
//   dec      a UID as one decimal number of its bytes in card order (UID0 most significant).
//   decrev   a UID as one decimal number of its bytes backwards (UID0 least significant), the
//            "10-digit" output of many cheap 13.56 MHz readers.
//
// UIDs from PC/SC readers and in dec/decrev are 4, 7 or 10 bytes (ISO 14443-3). hex and hexrev take
// 3 to 10 bytes: 125 kHz readers print 5 (the whole EM4100 number) or 3 (its Wiegand-26 part) too.
//
// Seven-byte UIDs and cheap readers: a reader that stops after the first anticollision level reports
// the four bytes "88 UID0 UID1 UID2" (0x88 is the cascade tag, never the first byte of a four-byte
// UID). That answer is kept whole, tag included, and because a UID's key has UID0 as its most
// significant byte it gives the same four-byte key whether the reader prints it in hex, backwards or
// in decimal. The tag is not stripped: a three-byte "UID0 UID1 UID2" key would sit in the low bytes
// and so match, under the shorter-length comparison, every card whose last three bytes agree. A
// reader that strips the tag itself sends three bytes, whose key matches the tagged one under that
// comparison since the tag is the most significant byte. A reader that reads all seven bytes gives a
// different (seven-byte) key for that card: it saw bits the cheap reader never did, so a card is
// registered from a reader of the kind the front desk uses.

#include "orvreader/OrvReader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Orv {

enum class TNumFormat : int { Em4100 = 0, Facility35, Hex, HexReversed, Dec, DecReversed };
inline constexpr int cNumFormatCount = 6;

// The format's name in readers.ini ("em4100", "3+5", "hex", "hexrev", "dec", "decrev").
const char* NumFormatName(TNumFormat AFormat);
// The format of a name as NumFormatName gives it (letter case ignored); false for any other text.
bool ParseNumFormat(std::string_view AName, TNumFormat& VFormat);

using TKeyNum = std::array<std::uint8_t, 16>;

struct TCardNumber {
    TKeyNum aKey{};                          // byte 0 the count, then least significant byte first
    std::uint32_t nCardType = ORVR_CD_UNDEF; // EM-Marine for the 125 kHz forms
};

// Longest reader text looked at; a longer one is rejected.
inline constexpr std::size_t cMaxNumberText = 64;

// The number in AText read in AFormat. Spaces and tabs around the text are ignored; anything else that
// does not belong to the format, an empty text, a value out of range or a UID of a length no card has
// gives false and leaves VNumber zero.
bool TextToCardNumber(std::string_view AText, TNumFormat AFormat, TCardNumber& VNumber);

// A UID as a PC/SC reader answers it (bytes in card order, UID0 first): false for a length no card
// has (only 4, 7 and 10 bytes are UIDs).
bool UidToCardNumber(const std::uint8_t* AUid, std::size_t ACount, TCardNumber& VNumber);

// The text read in every format, for the "present a card now" display: fOk false where the text does
// not fit that format.
struct TFormatReading {
    TNumFormat nFormat = TNumFormat::Hex;
    bool fOk = false;
    TCardNumber rNumber;
};
std::array<TFormatReading, cNumFormatCount> ReadInEveryFormat(std::string_view AText);

// The key number in hexadecimal, most significant byte first, as the programs show it ("" for none).
std::string KeyNumHex(const TKeyNum& AKey);

// The value of a hexadecimal digit (either case), -1 for another character.
int HexDigit(char AChar);

} // namespace Orv
