#pragma once
// Records of the virtual bus as they lie in its folder: key=value lines in UTF-8, one record per file.
// Every parser accepts any bytes: a file that does not read as a whole record is rejected, never half
// used, so garbage in the bus folder is skipped.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace Orv {

using TKey = std::array<std::uint8_t, 16>;

// Longest record file the bus reads; anything longer is garbage.
inline constexpr std::size_t MaxRecordBytes = 4096;
// Port names: 1..31 UTF-16 units (a 32-unit buffer with its terminator).
inline constexpr std::size_t MaxPortNameUnits = 31;

// A port with its reader (model 0: a port on which no reader answers).
struct TBusPort {
    std::u16string sName;     // canonical form (CanonicalPortName)
    std::u16string sFriendly; // serial-port name of a USB port; empty otherwise
    std::uint32_t nPortType = 0;
    std::uint32_t nModel = 0;
    std::int32_t nSn = 0;
    std::uint32_t nVersion = 0;
    std::uint64_t nPluggedMs = 0; // steady clock at the plug, for the times of the output commands

    bool operator==(const TBusPort&) const = default;
};

enum class TBusMsgKind { Card, Gone, Arrival, Removal };

// A message file of an inbox: a card for a session, the end of a session's port, or a port change
// for a detector.
struct TBusMessage {
    TBusMsgKind nKind = TBusMsgKind::Card;
    std::uint32_t nCardType = 0;
    TKey aKey{};
    TBusPort rPort; // Arrival, Removal

    bool operator==(const TBusMessage&) const = default;
};

// The outputs of a reader as its last commands left them (0 off, 1 on) and the number format.
enum TBusOutput { boGreen = 0, boRed = 1, boBeep = 2, boPower = 3, boCount = 4 };
struct TBusOutputs {
    std::array<std::uint8_t, boCount> aOn{};
    std::u16string sFormat;

    bool operator==(const TBusOutputs&) const = default;
};

std::string FormatPort(const TBusPort& APort);
bool ParsePort(std::string_view AText, TBusPort& VPort);
std::string FormatMessage(const TBusMessage& AMsg);
bool ParseMessage(std::string_view AText, TBusMessage& VMsg);
std::string FormatOutputs(const TBusOutputs& AOutputs);
bool ParseOutputs(std::string_view AText, TBusOutputs& VOutputs);

// Port names. A serial port is "COM" in any letter case followed by an integer (optional sign, 32-bit);
// every other name is a USB device.
bool IsComName(std::u16string_view AName);
// COM names with the prefix in capitals and the number in plain decimal (com5, COM05 and COM+5 are one
// port, COM5); other names unchanged.
std::u16string CanonicalPortName(std::u16string_view AName);
enum class TNameCheck { Ok, Empty, TooLong, BadChar };
// Empty, longer than 31 units, or holding a control character or a blank.
TNameCheck CheckPortName(std::u16string_view AName);
// The folder name of a port: letters, digits, '-' and '_' as they are, every other unit as %XXXX.
std::string PortFolderName(std::u16string_view AName);

// Key numbers as hexadecimal text: 1..30 digits, the last two are byte 1; the count is the number of
// digit pairs (a leading single digit makes a pair), so leading zeros are kept as bytes.
bool ParseKeyHex(std::string_view AText, TKey& VKey);
std::string KeyToHex(const TKey& AKey);

// UTF-8 <-> UTF-16. The decoder rejects invalid sequences, overlongs, surrogates and NUL.
bool Utf8ToUtf16(std::string_view AText, std::u16string& VText);
std::string Utf16ToUtf8(std::u16string_view AText);

// Decimal numbers of the records: digits only (a leading '-' for signed), no overflow.
bool ParseUInt(std::string_view AText, std::uint64_t AMax, std::uint64_t& VValue);
bool ParseInt32(std::string_view AText, std::int32_t& VValue);

} // namespace Orv
