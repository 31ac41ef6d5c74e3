#pragma once
// What the PC/SC backend makes of the answers of readers and cards, without pcsc-lite: the UID in the
// answer to GET DATA (FF CA 00 00 00), the card type in a contactless card's ATR, which reader names
// are virtual, and the stable identity of a reader behind the numbering pcsc-lite gives it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Orv {

// The GET DATA command that asks a contactless reader for the UID of the card in its field.
inline constexpr std::uint8_t cPcscGetUid[5] = {0xFF, 0xCA, 0x00, 0x00, 0x00};

// The UID in an answer to cPcscGetUid: the bytes before the status 90 00. False (no card) when the
// answer is shorter than the status, ends in another status, or has no UID bytes before it.
bool PcscUidFromAnswer(const std::uint8_t* AAnswer, std::size_t ACount, std::vector<std::uint8_t>& VUid);

// The card type (ORVR_CD_...) a contactless card's ATR names in the PC/SC registered form
// (3B 8F 80 01 80 4F 0C A0 00 00 03 06 SS NN NN ...); ORVR_CD_UNDEF for any other ATR.
std::uint32_t PcscCardTypeFromAtr(const std::uint8_t* AAtr, std::size_t ACount);

// Readers of the vpcd driver ("Virtual PCD ..."): any program on the network may put a card into
// them, so they are ignored unless AAllowVirtual (ORV_PCSC_VIRTUAL=1, for tests).
bool PcscIgnoredReader(std::string_view AName, bool AAllowVirtual);

// pcsc-lite names a reader "<name> RR SS": RR counts readers in the order they were plugged, SS is the
// slot. The identity keeps the name and slot but not RR, so a reader plugged back into another order
// keeps its identity; equal readers are told apart by their order among themselves ("#2", "#3").
// AReaders in the order pcsc-lite lists them; the result has one identity per name.
std::vector<std::string> PcscIdentities(const std::vector<std::string>& AReaders);

// A positive serial number for the reader: the decimal serial in its name when it has one (CCID
// readers add the USB serial in parentheses or brackets), else a number derived from the identity.
std::int32_t PcscSerial(std::string_view AIdentity);

} // namespace Orv
