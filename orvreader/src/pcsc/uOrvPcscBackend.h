#pragma once
// Contactless readers on PC/SC (pcsc-lite): every reader pcscd knows is a USB port named by its alias
// (NFC1, NFC2, ...), with the reader's name (its identity, without pcsc-lite's reader number) as
// friendly text; the port opens under either. One worker thread per process waits in
// SCardGetStatusChange on the readers and on "\\?PnP?\Notification", re-lists the readers after every
// wake-up and reads the UID of a card that enters the field of an open reader. A pcscd that is missing,
// dies or restarts is looked for again every 500 ms; its readers are reported removed and back.

#include "orvreader/src/uOrvBackend.h"
#include "orvreader/src/uOrvCardNumber.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Orv {

// How often a missing pcscd is looked for again.
inline constexpr std::chrono::milliseconds cPcscReconnectPeriod{500};
// How often a card held exclusively by another program is tried again while a session waits for it.
inline constexpr std::chrono::milliseconds cPcscRetryPeriod{250};

// A reader as pcsc-lite lists it, and its identity (see PcscIdentities).
struct TPcscReaderName {
    std::string sReader, sIdentity;
};
// What a reader is called and how its UIDs become key numbers. An empty alias: the reader is not used.
struct TPcscSetup {
    std::u16string sAlias;
    TNumFormat nFormat = TNumFormat::Hex;
};
// The set-up of every reader listed, in the same order. Called by the worker after every listing,
// under no lock of the backend, so a configuration saved meanwhile counts from the next wake-up.
using TPcscSetupFunc = std::function<std::vector<TPcscSetup>(const std::vector<TPcscReaderName>&)>;

// The key number of a UID (card order, UID0 first) in a PC/SC reader's format: hex and dec give UID0 as
// the most significant byte, hexrev and decrev as the least; the 125 kHz forms do not apply to UIDs
// and read as hex. False for a length no card's UID has.
bool PcscUidToCardNumber(const std::vector<std::uint8_t>& AUid, TNumFormat AFormat, TCardNumber& VNumber);

// The backend with the library's reader configuration (readers.ini) for its set-up.
std::unique_ptr<TBackend> MakePcscBackend();
// The backend with another source of set-ups (tests).
std::unique_ptr<TBackend> MakePcscBackend(TPcscSetupFunc ASetups);

} // namespace Orv
