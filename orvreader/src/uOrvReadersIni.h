#pragma once
// The library's own configuration of real readers: $XDG_CONFIG_HOME/tarvo/readers.ini (else
// ~/.config/tarvo/readers.ini). One section per reader, named by its port alias:
//
//   [COM21]
//   kind=serial                     serial | keyboard | pcsc
//   device=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0
//   format=em4100                   em4100 | 3+5 | hex | hexrev | dec | decrev (uOrvCardNumber)
//   speed=9600                      serial: 2400, 4800, 9600, 19200, 38400, 57600, 115200
//   framing=lines                   serial: lines (CR or LF) | stx-etx | stx-etx-xor
//   gap=100                         ms: a partial frame or number older than this is dropped
//
//   [KBD1]
//   kind=keyboard
//   device=/dev/input/by-id/usb-Sycreader_RFID_Technology_Co.__Ltd_SYC_ID_IC_USB_Reader_08FF20140315-event-kbd
//   (or device=ffff:0035, the USB vendor:product of the reader)
//
// The alias is the port name the programs see: at most 31 characters of letters, digits, '_' and '-'.
// A serial reader is a serial port, so its alias is "COM" and a number; any other reader's alias
// must not look like one. The alias stays the same across replugs and restarts because it is kept
// here and not derived from the order devices were found in. Only the readers listed here are
// opened (PC/SC readers also work without the file). Keys the library does not know are kept when
// the file is written again.
//
// Reading never fails on the file's contents: a file of any bytes gives the sections it could read,
// and the lines it could not use are listed in aProblems for the debug log.

#include "orvreader/src/uOrvCardNumber.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Orv {

enum class TReaderKind : int { Serial = 0, Keyboard, Pcsc };
enum class TFraming : int { Lines = 0, StxEtx, StxEtxXor };

const char* ReaderKindName(TReaderKind AKind);
bool ParseReaderKind(std::string_view AName, TReaderKind& VKind);
const char* FramingName(TFraming AFraming);
bool ParseFraming(std::string_view AName, TFraming& VFraming);

inline constexpr std::size_t cMaxAlias = 31;
inline constexpr std::size_t cMaxReadersIni = 64 * 1024;
inline constexpr std::size_t cMaxReaders = 64;
inline constexpr std::size_t cMaxIniValue = 255;
inline constexpr std::size_t cMaxExtraKeys = 48; // kept unknown keys of one reader
inline constexpr std::uint32_t cDefaultSpeed = 9600;
inline constexpr std::uint32_t cDefaultSerialGapMs = 100;
inline constexpr std::uint32_t cDefaultKeyGapMs = 50;
inline constexpr std::uint32_t cMaxGapMs = 10000;

struct TReaderConf {
    std::string sAlias;
    TReaderKind nKind = TReaderKind::Serial;
    // Serial: a /dev/serial/by-id/... name or a tty path. Keyboard: a /dev/input/by-id/... name or
    // "vvvv:pppp" (hex USB vendor and product). PC/SC: the reader's name as pcsc-lite lists it.
    std::string sDevice;
    TNumFormat nFormat = TNumFormat::Hex;
    std::uint32_t nSpeed = cDefaultSpeed;
    TFraming nFraming = TFraming::Lines;
    std::uint32_t nGapMs = cDefaultSerialGapMs;
    std::vector<std::pair<std::string, std::string>> aExtra; // keys kept as they were
};

struct TReadersConf {
    std::vector<TReaderConf> aReaders;
    std::vector<std::string> aProblems;

    // The reader of an alias (letter case ignored), or nullptr.
    const TReaderConf* Find(std::string_view AAlias) const;
    // The first free alias for a new reader of a kind: NFC1, NFC2, ... for PC/SC, KBD1, ... for
    // keyboard-style readers, and COM21, COM22, ... for serial ones, clear of the numbers the
    // virtual bus and old setups use for their own ports.
    std::string FreeAlias(TReaderKind AKind) const;
};

// True for an alias a reader of that kind may have (see above).
bool ValidAlias(std::string_view AAlias, TReaderKind AKind);
// A serial port speed the serial backend supports.
bool ValidSpeed(std::uint32_t ASpeed);

// The file's path: "" when neither XDG_CONFIG_HOME nor HOME gives a folder.
std::string ReadersIniPath();

// Reads a text (any bytes; at most cMaxReadersIni are looked at, a longer text gives no readers).
TReadersConf ParseReadersIni(std::string_view AText);
// Reads the file; VExists tells whether there was one. A missing file gives no readers and ORV_OK.
std::int32_t LoadReadersIni(const std::string& APath, TReadersConf& VConf, bool* VExists = nullptr);
// The text of a configuration as SaveReadersIni writes it.
std::string FormatReadersIni(const TReadersConf& AConf);
// Writes the file atomically (a temporary file in the same folder, synced, renamed over the old
// one), creating its folder. Refuses (ORV_E_INVALID_ARG) a configuration with an invalid or
// repeated alias, or a value holding a line break.
std::int32_t SaveReadersIni(const std::string& APath, const TReadersConf& AConf);

// The serial number shown for a reader: the device's own serial when it is a decimal number that
// fits, else a stable positive number derived from the device's identity (its by-id name, USB ids
// and serial text), the same on every start.
std::int32_t StableSerial(std::string_view ADeviceSerial, std::string_view AIdentity);

} // namespace Orv
