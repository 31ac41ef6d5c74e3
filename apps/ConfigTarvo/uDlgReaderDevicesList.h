#pragma once
// What the "Reader devices..." dialog works on: the devices of this computer that can be card readers
// (PC/SC readers, keyboard-like input devices, serial ports) and the reader library's configuration
// file readers.ini, read and written by the library's own code (orvreader/src/uOrvReadersIni).

#include "orvreader/src/uOrvReadersIni.h"

#include <QString>

#include <vector>

namespace ConfigTarvo {

using TDeviceKind = Orv::TReaderKind;

struct TReaderDevice {
    TDeviceKind nKind = TDeviceKind::Serial;
    // What readers.ini names it by: the PC/SC reader's identity (its name without pcsc-lite's reader
    // number), or the device's /dev/input/by-id/..., /dev/serial/by-id/... or /dev/tty... path.
    QString sDevice;
};

// The devices found now: PC/SC readers from pcscd, keyboard-like input devices from
// ADevRoot/input/by-id (*-event-kbd), serial ports from ADevRoot/serial/by-id and ADevRoot/tty(USB|ACM)*.
std::vector<TReaderDevice> FindReaderDevices(const QString& ADevRoot = QStringLiteral("/dev"));

// The reader the configuration has for a device of that kind, or nullptr.
Orv::TReaderConf* FindDeviceReader(Orv::TReadersConf& AConf, TDeviceKind AKind, const QString& ADevice);
// A new reader for a device, under the first free alias, with its kind's defaults.
Orv::TReaderConf& AddDeviceReader(Orv::TReadersConf& AConf, const TReaderDevice& ADevice);
void RemoveReader(Orv::TReadersConf& AConf, const std::string& AAlias);

} // namespace ConfigTarvo
